#pragma once
// Work on the disk off the user-interface thread: a file server may take seconds per
// folder, and the windows must repaint and offer their cancel meanwhile. The work gets a
// GoOn that counts what it did and says when the user cancelled; Finished comes back on
// the thread that started it. The work must not touch the database session or a widget.
#include <atomic>
#include <functional>

#include <QObject>

#include "links/linkscan.h"

class QThread;

class BackgroundTask : public QObject {
    Q_OBJECT
public:
    explicit BackgroundTask(QObject* parent = nullptr);
    // Cancels and waits for the work, which asks GoOn often.
    ~BackgroundTask() override;

    // False when a work is running already.
    bool Start(std::function<void(const GoOn& goOn)> work);
    void Cancel() { cancelled_ = true; }
    bool Running() const { return thread_ != nullptr; }
    size_t Done() const { return done_; }

signals:
    // cancelled: the user asked to stop before the work ended.
    void Finished(bool cancelled);

private:
    QThread* thread_ = nullptr;
    std::atomic<bool> cancelled_{false};
    std::atomic<size_t> done_{0};
};
