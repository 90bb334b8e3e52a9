#include "links/backgroundtask.h"

#include <QThread>

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask()
{
    if (!thread_) return;
    cancelled_ = true;
    thread_->wait();
    delete thread_;
}

bool BackgroundTask::Start(std::function<void(const GoOn& goOn)> work)
{
    if (thread_) return false;
    cancelled_ = false;
    done_ = 0;
    thread_ = QThread::create([this, work = std::move(work)] {
        work([this](size_t done) {
            done_ = done;
            return !cancelled_;
        });
    });
    connect(thread_, &QThread::finished, this, [this] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit Finished(cancelled_);
    });
    thread_->start();
    return true;
}
