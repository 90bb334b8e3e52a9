#include "support/tcpforwarder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Moves what one side has to the other; false when either side is done.
bool Relay(int from, int to)
{
    char buf[16384];
    const ssize_t n = read(from, buf, sizeof buf);
    if (n <= 0) return false;
    for (ssize_t done = 0; done < n;) {
        const ssize_t w = write(to, buf + done, static_cast<size_t>(n - done));
        if (w <= 0) return false;
        done += w;
    }
    return true;
}

} // namespace

TcpForwarder::TcpForwarder(int targetPort) : target_(targetPort)
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener_, 16);
    socklen_t len = sizeof a;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { Run(); });
}

TcpForwarder::~TcpForwarder()
{
    stop_ = true;
    if (wake_[1] >= 0) (void)!write(wake_[1], "x", 1);
    thread_.join();
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

std::string TcpForwarder::ServerName() const { return "127.0.0.1/" + std::to_string(port_) + ":"; }

void TcpForwarder::Cut()
{
    ++cuts_;
    (void)!write(wake_[1], "x", 1);
    // Wait until the relay thread has closed them, so the test's next call meets the cut.
    for (int i = 0; i < 200 && cuts_ > 0; ++i) usleep(5000);
}

void TcpForwarder::Refuse(bool refuse) { refuse_ = refuse; }

void TcpForwarder::Run()
{
    struct Pair {
        int client, server;
    };
    std::vector<Pair> pairs;
    auto closeAll = [&pairs] {
        for (const Pair& p : pairs) {
            shutdown(p.client, SHUT_RDWR);
            close(p.client);
            close(p.server);
        }
        pairs.clear();
    };
    while (!stop_) {
        if (cuts_ > 0) {
            closeAll();
            cuts_ = 0;
        }
        std::vector<pollfd> fds{{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        for (const Pair& p : pairs) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), 100) <= 0) continue;
        if (fds[1].revents) {
            char drain[64];
            while (read(wake_[0], drain, sizeof drain) > 0) {}
        }
        std::vector<Pair> alive;
        if (fds[0].revents & POLLIN) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                const int server = refuse_ ? -1 : Connect(target_);
                if (server < 0)
                    close(client);
                else
                    alive.push_back({client, server});
            }
        }
        for (size_t i = 0; i < pairs.size(); ++i) {
            const Pair& p = pairs[i];
            const short c = fds[2 + 2 * i].revents, s = fds[3 + 2 * i].revents;
            bool ok = true;
            if (c) ok = Relay(p.client, p.server);
            if (ok && s) ok = Relay(p.server, p.client);
            if (ok) {
                alive.push_back(p);
            } else {
                close(p.client);
                close(p.server);
            }
        }
        pairs.swap(alive);
    }
    closeAll();
}
