#include "links/backgroundtask.h"

#include <QThread>

namespace {

constexpr int kEndWaitMs = 5000;

} // namespace

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask()
{
    if (!thread_) return;
    state_->cancelled = true;
    disconnect(thread_, nullptr, this, nullptr);
    if (thread_->wait(kEndWaitMs))
        delete thread_;
    else
        thread_->setParent(nullptr);   // still in a system call; it ends with the process
}

bool BackgroundTask::Start(std::function<void(const GoOn& goOn)> work)
{
    if (thread_) return false;
    state_ = std::make_shared<State>();
    thread_ = QThread::create([state = state_, work = std::move(work)] {
        work([state](size_t done) {
            state->done = done;
            return !state->cancelled;
        });
    });
    connect(thread_, &QThread::finished, this, [this] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit Finished(state_->cancelled);
    });
    thread_->start();
    return true;
}
