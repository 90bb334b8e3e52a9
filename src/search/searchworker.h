#pragma once
// The search over all groups on a thread of its own, with an attachment of its own made
// from the main session's settings, so that the windows and the main session stay free
// while it runs. Its lines are handed over in batches; a stop is seen between rows and
// statements, and cancels a statement the server is working on.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include <QThread>
#include <QTimer>

#include "db/session.h"
#include "search/search.h"

struct SearchRequest {
    DatabaseSettings settings;
    SearchColumn column = SearchColumn::Folder;
    std::string text;
    SearchOptions options;
    // The index of the drawings' texts (empty: the user's cache folder for the database).
    QString textIndexFolder;
    // Hears every statement text of the worker's attachment, on the worker's thread (tests).
    std::function<void(const std::string&)> statementLog;
};

class SearchWorker : public QThread {
    Q_OBJECT
public:
    explicit SearchWorker(SearchRequest request, QObject* parent = nullptr);
    // Only once ended (Retire): a thread object destroyed while it runs ends the program.
    ~SearchWorker() override;

    // Any thread: the search ends at its next look, and a statement running on the
    // server is cancelled. Ended() then tells Stopped (or what it met before). From the
    // thread that made the worker, the cancel is repeated until the search has ended
    // (by that thread's event loop, or by Retire's wait): the server forgets a cancel
    // that comes between two fetches of the rows, where most of a long read is spent.
    void Stop();
    // The lines found since the last call, in order.
    std::vector<SearchLine> TakeLines();
    // How the search ended; meaningful once the thread has finished.
    SearchEnd Ended() const { return end_; }

    // A worker no longer wanted: its signals reach nobody any more, it is stopped and
    // deleted once it has ended, at once when that happens within waitMs. One that has not
    // ended by then (a server answering nothing, not even the cancel) ends on its own,
    // owning all it uses; true when it has ended.
    static bool Retire(SearchWorker* worker, int waitMs);
    static constexpr int kEndWaitMs = 5000;
    static constexpr int kCancelRepeatMs = 20;

signals:
    // Lines wait in TakeLines. Sent again only after they were taken: however fast rows
    // come, the event loop holds at most one of these.
    void LinesReady();

protected:
    void run() override;

private:
    void Cancel();

    const SearchRequest request_;
    std::atomic<bool> stop_{false};
    SearchEnd end_ = SearchEnd::Finished;
    QTimer cancelAgain_;
    std::mutex mutex_;                    // guards the two below
    DatabaseSession* session_ = nullptr;   // while attached
    std::vector<SearchLine> pending_;
};
