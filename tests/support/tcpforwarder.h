#pragma once
// A local TCP relay to the Firebird server that a test can cut: the client then meets the
// same network errors as when the server dies, while the shared server runs on for the
// other tests.
#include <atomic>
#include <string>
#include <thread>

class TcpForwarder {
public:
    explicit TcpForwarder(int targetPort = 3050);
    ~TcpForwarder();
    TcpForwarder(const TcpForwarder&) = delete;
    TcpForwarder& operator=(const TcpForwarder&) = delete;

    int Port() const { return port_; }
    // Server prefix of a database name that goes through the relay: "127.0.0.1/PORT:".
    std::string ServerName() const;

    // Closes every relayed connection (the server is gone); new ones are still taken.
    void Cut();
    // While refused, new connections are closed at once (the server is not back yet).
    void Refuse(bool refuse);

private:
    void Run();

    int target_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<int> cuts_{0};
    std::atomic<bool> refuse_{false};
    std::thread thread_;
};
