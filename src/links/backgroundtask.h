#pragma once
// Work on the disk off the user-interface thread: a file server may take seconds per
// folder, and the windows must repaint and offer their cancel meanwhile. The work gets a
// GoOn that counts what it did and says when the user cancelled; Finished comes back on
// the thread that started it. The work must not touch the database session or a widget,
// and keeps what it uses (shared or copied), for it may outlive its starter.
#include <atomic>
#include <functional>
#include <memory>

#include <QObject>

#include "links/linkscan.h"

class QThread;

class BackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit BackgroundTask(QObject* parent = nullptr);
    // Cancels and waits a few seconds for the work; a file server that does not answer
    // at all is left to the end of the process rather than hold the program.
    ~BackgroundTask() override;

    // False when a work is running already.
    bool Start(std::function<void(const GoOn& goOn)> work);
    void Cancel() { state_->cancelled = true; }
    bool Running() const { return thread_ != nullptr; }
    size_t Done() const { return state_->done; }

signals:
    // cancelled: the user asked to stop before the work ended.
    void Finished(bool cancelled);

private:
    struct State {
        std::atomic<bool> cancelled{false};
        std::atomic<size_t> done{0};
    };
    QThread* thread_ = nullptr;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};
