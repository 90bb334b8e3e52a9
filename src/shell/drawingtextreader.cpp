#include "shell/drawingtextreader.h"

#include <atomic>
#include <mutex>

#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>
#include <unistd.h>

#include "db/session.h"
#include "shell/drawingtextreading.h"

namespace {

constexpr int kEndWaitMs = 5000;
constexpr int kShowEndMs = 15000;
// The reading thread yields to the windows and to other programs.
constexpr int kThreadNiceness = 10;

} // namespace

// What the thread and the window share; the thread keeps it alive should it outlast the
// window.
struct DrawingTextReader::Shared {
    std::mutex mutex;
    DrawingTextReader* owner = nullptr;      // null once the reader is gone
    DatabaseSession* session = nullptr;      // while attached, for the cancel
    std::atomic<bool> stop{false};
    std::atomic<bool> noticePending{false};
    std::size_t done = 0, total = 0;
    DrawingTextCounts counts;
    DrawingTextEnd end = DrawingTextEnd::Finished;
    std::string failure;
    QThread* thread = nullptr;

    // From the thread: the window hears of it once the notice before was taken.
    void Notify(bool last)
    {
        std::lock_guard lock(mutex);
        if (!owner) return;
        if (!last && noticePending.exchange(true)) return;
        DrawingTextReader* to = owner;
        QMetaObject::invokeMethod(to, last ? &DrawingTextReader::Finish : &DrawingTextReader::ShowProgress,
                                  Qt::QueuedConnection);
    }
};

DrawingTextReader::DrawingTextReader(QStatusBar* statusBar, QObject* parent) : QObject(parent)
{
    panel_ = new QWidget;
    panel_->setObjectName("drawingTextPanel");
    auto* layout = new QHBoxLayout(panel_);
    layout->setContentsMargins(0, 0, 0, 0);
    label_ = new QLabel(panel_);
    cancel_ = new QToolButton(panel_);
    cancel_->setText("中止");
    cancel_->setToolTip("図面の文字の読み込みを止めます");
    cancel_->setAutoRaise(true);
    layout->addWidget(label_);
    layout->addWidget(cancel_);
    if (statusBar)
        statusBar->addPermanentWidget(panel_);
    else
        panel_->setParent(nullptr);
    panel_->hide();
    hide_ = new QTimer(this);
    hide_->setSingleShot(true);
    connect(hide_, &QTimer::timeout, panel_, &QWidget::hide);
    launch_ = new QTimer(this);
    launch_->setSingleShot(true);
    connect(launch_, &QTimer::timeout, this, &DrawingTextReader::Launch);
    connect(cancel_, &QToolButton::clicked, this, &DrawingTextReader::Cancel);
}

DrawingTextReader::~DrawingTextReader()
{
    if (panel_ && !panel_->parent()) delete panel_.data();
    if (!shared_) return;
    QThread* thread = nullptr;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
        shared_->stop = true;
        if (shared_->session) shared_->session->CancelOperation();
        thread = shared_->thread;
    }
    // One that a dead server keeps longer is let go, with all it owns.
    if (thread && thread->wait(kEndWaitMs)) delete thread;
}

bool DrawingTextReader::Running() const { return shared_ != nullptr; }

void DrawingTextReader::Start(const DatabaseSettings& settings, const QString& thumbnailer,
                              const RootMappings& mappings, int32_t group)
{
    if (cancelled_ || settings.dataFolder.empty()) return;
    settings_ = settings;
    thumbnailer_ = thumbnailer;
    mappings_ = mappings;
    queued_.insert(group);
    if (!Running() && !launch_->isActive()) launch_->start(kLaunchDelayMs);
}

void DrawingTextReader::Cancel()
{
    cancelled_ = true;
    queued_.clear();
    launch_->stop();
    if (!shared_) return;
    std::lock_guard lock(shared_->mutex);
    shared_->stop = true;
    if (shared_->session) shared_->session->CancelOperation();
}

void DrawingTextReader::Launch()
{
    if (queued_.empty() || Running()) return;
    // Every group covers each one.
    const int32_t group = queued_.count(0) ? 0 : *queued_.begin();
    if (group == 0)
        queued_.clear();
    else
        queued_.erase(group);
    auto shared = std::make_shared<Shared>();
    shared->owner = this;
    shared_ = shared;
    DrawingTextJob job{thumbnailer_, mappings_, group};
    shared->thread = QThread::create([shared, settings = settings_, job = std::move(job)] {
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kThreadNiceness);
        DatabaseSession session(settings);
        session.ConnectDatabase();
        if (session.Connected()) {
            {
                std::lock_guard lock(shared->mutex);
                shared->session = &session;
            }
            DrawingTextCounts counts;
            std::string failure;
            const DrawingTextEnd end = ReadDrawingTexts(session, job, counts,
                                                        [&shared](const DrawingTextCounts& c) {
                                                            {
                                                                std::lock_guard lock(shared->mutex);
                                                                shared->done = c.done;
                                                                shared->total = c.toRead;
                                                            }
                                                            shared->Notify(false);
                                                            return !shared->stop.load();
                                                        },
                                                        &failure);
            std::lock_guard lock(shared->mutex);
            shared->session = nullptr;
            shared->counts = std::move(counts);
            shared->end = shared->stop ? DrawingTextEnd::Stopped : end;
            shared->failure = std::move(failure);
        } else {
            std::lock_guard lock(shared->mutex);
            shared->end = DrawingTextEnd::Lost;
        }
        session.CloseDatabase();
        shared->Notify(true);
    });
    shared->thread->start();
}

void DrawingTextReader::ShowProgress()
{
    if (!shared_) return;
    std::size_t done = 0, total = 0;
    {
        std::lock_guard lock(shared_->mutex);
        done = shared_->done;
        total = shared_->total;
        shared_->noticePending = false;
    }
    if (!panel_ || total == 0) return;
    hide_->stop();
    label_->setText(QString::fromStdString(DrawingTextProgressText(done, total)));
    cancel_->show();
    panel_->show();
}

void DrawingTextReader::Finish()
{
    if (!shared_) return;
    QThread* thread = nullptr;
    DrawingTextEnd end = DrawingTextEnd::Finished;
    QString text;
    {
        std::lock_guard lock(shared_->mutex);
        thread = shared_->thread;
        shared_->thread = nullptr;
        end = shared_->end;
        const DrawingTextCounts& c = shared_->counts;
        if (end == DrawingTextEnd::Lost)
            text = "図面の文字の読み込みを止めました（データベースに接続できません）";
        else if (end == DrawingTextEnd::Failed)
            text = "図面の文字を読み込めませんでした: " + QString::fromStdString(shared_->failure);
        else if (end == DrawingTextEnd::Stopped)
            text = "図面の文字の読み込みを中止しました";
        else if (c.toRead > 0)
            text = QString::fromStdString("図面の文字を読み込みました " + GroupedNumber(c.stored) + " 件（読めない図面 " +
                                          GroupedNumber(c.unreadable.size()) + "、見つからない図面 " +
                                          GroupedNumber(c.missing.size()) + "）");
    }
    if (thread) {
        thread->wait();
        delete thread;
    }
    shared_.reset();
    if (panel_) {
        if (text.isEmpty()) {
            panel_->hide();
        } else {
            label_->setText(text);
            cancel_->hide();
            panel_->show();
            hide_->start(kShowEndMs);
        }
    }
    emit Ended();
    // Requests that came meanwhile; none after a loss until one comes anew.
    if (end == DrawingTextEnd::Lost || end == DrawingTextEnd::Failed) queued_.clear();
    if (!cancelled_ && !queued_.empty()) launch_->start(kLaunchDelayMs);
}
