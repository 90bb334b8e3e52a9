#include "search/searchworker.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include <QDeadlineTimer>

#include "search/textsearch.h"

namespace {

class StopFlag : public EscapeKey {
public:
    explicit StopFlag(const std::atomic<bool>& stop) : stop_(stop) {}
    bool IsDown() const override { return stop_.load(); }

private:
    const std::atomic<bool>& stop_;
};

} // namespace

SearchWorker::SearchWorker(SearchRequest request, QObject* parent) : QThread(parent), request_(std::move(request))
{
    cancelAgain_.setInterval(kCancelRepeatMs);
    connect(&cancelAgain_, &QTimer::timeout, this, [this] {
        if (isFinished())
            cancelAgain_.stop();
        else
            Cancel();
    });
}

SearchWorker::~SearchWorker()
{
    Stop();
    wait();
}

void SearchWorker::Stop()
{
    stop_ = true;
    Cancel();
    if (QThread::currentThread() == thread() && !isFinished()) cancelAgain_.start();
}

void SearchWorker::Cancel()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (session_) session_->CancelOperation();
}

std::vector<SearchLine> SearchWorker::TakeLines()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(pending_, {});
}

bool SearchWorker::Retire(SearchWorker* worker, int waitMs)
{
    if (!worker) return true;
    worker->disconnect();
    worker->setParent(nullptr);
    worker->Stop();
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (worker->wait(QDeadlineTimer(std::min<qint64>(kCancelRepeatMs, deadline.remainingTime())))) {
            delete worker;
            return true;
        }
        if (deadline.hasExpired()) break;
        worker->Cancel();
    }
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    // It may have ended between the wait and the connection.
    if (worker->isFinished()) worker->deleteLater();
    return false;
}

void SearchWorker::run()
{
    DatabaseSession session(request_.settings);
    if (request_.statementLog) session.SetStatementLog(request_.statementLog);
    session.ConnectDatabase();
    if (!session.Connected()) {
        // The main session was attached a moment ago: the server went away since.
        end_ = stop_ ? SearchEnd::Stopped : SearchEnd::ConnectionLost;
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        session_ = &session;
    }
    const StopFlag flag(stop_);
    const SearchSink sink = [this](std::vector<SearchLine>& lines) {
                               bool first = false;
                               {
                                   const std::lock_guard<std::mutex> lock(mutex_);
                                   first = pending_.empty();
                                   if (first)
                                       pending_ = std::move(lines);
                                   else
                                       std::move(lines.begin(), lines.end(), std::back_inserter(pending_));
                               }
                               lines.clear();
                               if (first) emit LinesReady();
                           };
    // The texts' index is brought up to date here too, off the windows' thread.
    const bool throughIndex = request_.column == SearchColumn::DrawingText || request_.column == SearchColumn::Everything;
    end_ = throughIndex ? SearchTexts(session, request_.textIndexFolder, request_.column, request_.text, request_.options, flag, sink)
                        : SearchAllGroups(session, request_.column, request_.text, request_.options, flag, sink);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        session_ = nullptr;
    }
    session.CloseDatabase();
}
