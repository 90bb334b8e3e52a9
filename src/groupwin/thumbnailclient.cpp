#include "groupwin/thumbnailclient.h"

#include <atomic>
#include <deque>
#include <optional>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>

#include "board/limitedprocess.h"
#include "drawing/thumbcache.h"

namespace {

// Cache look-ups run in slices this long, so that a new order of the rows in view is
// taken up between them.
constexpr int kLookupSliceMs = 20;
// An answer line is a word and a path; more than this without a line end is not ours.
constexpr qsizetype kMaxAnswerBytes = 64 * 1024;
// Times in a row a thumbnailer that never answered may die before it is taken for broken
// (its program missing a library, say): the files after that are answered without a
// thumbnail. Until it has answered once, a death is not held against the file either.
constexpr int kMaxDeathsInARow = 3;
constexpr int kStartWaitMs = 5000;
// Pictures past the desktop's sizes kept in the program's own cache (about 200 KB to a
// few MB each), the newest ones.
constexpr int kKeptLargePictures = 100;
// Time-outs of one drawing (as of its time) before it counts as failed; the
// thumbnailer's exit code for a file that ran out of its time.
constexpr int kMaxTimeouts = 3;
constexpr int kOutOfTimeExit = 75;

QString DefaultRoot(int size) { return size > kDesktopThumbnailPixels ? ProgramCacheRoot() : ThumbnailCacheRoot(); }

} // namespace

class ThumbnailWorker : public QObject {
public:
    ThumbnailWorker(ThumbnailClientOptions options, ThumbnailClient* client)
        : o_(std::move(options)), client_(client),
          cache_(o_.cacheRoot.isEmpty() ? DefaultRoot(o_.size) : o_.cacheRoot),
          timeouts_(o_.timeoutsFolder.isEmpty() ? TimeoutRecords() : TimeoutRecords(o_.timeoutsFolder)), watchdog_(new QTimer(this))
    {
        watchdog_->setSingleShot(true);
        QObject::connect(watchdog_, &QTimer::timeout, this, [this] { OnTimeout(); });
    }

    void Add(const QStringList& files, bool ahead)
    {
        if (ahead) {
            for (qsizetype i = files.size() - 1; i >= 0; --i) {
                const QString& file = files[i];
                if (busy_ && busy_->file == file) continue;
                const auto drawn = std::find_if(draws_.begin(), draws_.end(), [&](const Waiting& w) { return w.file == file; });
                if (drawn != draws_.end()) {
                    const Waiting w = *drawn;
                    draws_.erase(drawn);
                    draws_.push_front(w);
                    continue;
                }
                if (lookupSet_.contains(file)) lookups_.erase(std::find(lookups_.begin(), lookups_.end(), file));
                lookupSet_.insert(file);
                lookups_.push_front(file);
            }
        } else {
            for (const QString& file : files) {
                if (lookupSet_.contains(file) || (busy_ && busy_->file == file) ||
                    std::any_of(draws_.begin(), draws_.end(), [&](const Waiting& w) { return w.file == file; }))
                    continue;
                lookupSet_.insert(file);
                lookups_.push_back(file);
            }
        }
        Schedule();
    }

    void Clear()
    {
        lookups_.clear();
        lookupSet_.clear();
        draws_.clear();
    }

    void Shutdown()
    {
        watchdog_->stop();
        Clear();
        busy_.reset();
        process_ = nullptr;
        for (QProcess* p : findChildren<QProcess*>()) {
            p->disconnect(this);
            p->kill();
            p->waitForFinished(1000);
            delete p;
        }
    }

    std::atomic<int> started{0};

private:
    struct Waiting {
        QString file;
        qint64 mtime = -1;
    };

    void Schedule()
    {
        if (stepPosted_) return;
        stepPosted_ = true;
        QMetaObject::invokeMethod(this, [this] { Step(); }, Qt::QueuedConnection);
    }

    void Step()
    {
        stepPosted_ = false;
        QElapsedTimer clock;
        clock.start();
        while (!lookups_.empty() && clock.elapsed() < kLookupSliceMs) {
            const QString file = lookups_.front();
            lookups_.pop_front();
            lookupSet_.remove(file);
            const qint64 mtime = FileMTime(file);
            if (mtime < 0) {
                Answer(file, {});
                continue;
            }
            QImage image;
            switch (cache_.Find(file, mtime, o_.size, &image)) {
            case ThumbnailCache::State::Valid: Answer(file, image); break;
            case ThumbnailCache::State::Failed: Answer(file, {}); break;
            case ThumbnailCache::State::Missing: draws_.push_back({file, mtime}); break;
            }
        }
        SendNext();
        if (!lookups_.empty()) Schedule();
    }

    void Answer(const QString& file, const QImage& image)
    {
        QMetaObject::invokeMethod(client_, [c = client_, file, image] { emit c->Ready(file, image); }, Qt::QueuedConnection);
    }

    void AnswerAllWaiting()
    {
        for (const Waiting& w : draws_) Answer(w.file, {});
        draws_.clear();
    }

    void SendNext()
    {
        while (!busy_ && !draws_.empty()) {
            if (broken_ || (!foldersMade_ && !(foldersMade_ = cache_.MakeFolders(o_.size))) || (!process_ && !StartProcess())) {
                // No thumbnailer, or no cache to write to: nothing can be drawn.
                broken_ = true;
                AnswerAllWaiting();
                return;
            }
            const Waiting w = draws_.front();
            draws_.pop_front();
            const QByteArray name = QFile::encodeName(w.file);
            if (name.contains('\n') || name.contains('\t') || name.contains('\r')) {
                Answer(w.file, {});   // cannot be said in the thumbnailer's lines
                continue;
            }
            const QByteArray line = QByteArray::number(o_.size) + '\t' + name + '\t' +
                                    QFile::encodeName(cache_.ThumbnailPath(w.file, o_.size)) +
                                    (o_.page > 1 ? '\t' + QByteArray::number(o_.page) : QByteArray()) + '\n';
            busy_ = w;
            watchdog_->start(o_.fileWallMs);
            process_->write(line);
        }
    }

    bool StartProcess()
    {
        auto* p = new QProcess(this);
        p->setProgram(o_.thumbnailer);
        p->setArguments({QStringLiteral("--batch"), QStringLiteral("--file-seconds"), QString::number(o_.fileSeconds)});
        ProcessLimits limits;
        limits.memoryBytes = o_.memoryBytes;
        // Each file has its own CPU time inside the process; this bounds all of them.
        limits.timeoutMs = (o_.fileSeconds * o_.filesPerProcess + 30) * 1000;
        LimitProcess(*p, limits);
        QObject::connect(p, &QProcess::readyReadStandardOutput, this, [this, p] { OnOutput(p); });
        QObject::connect(p, &QProcess::finished, this, [this, p] { OnFinished(p); });
        p->start();
        if (!p->waitForStarted(kStartWaitMs)) {
            p->disconnect(this);
            p->kill();
            p->waitForFinished(1000);
            delete p;
            return false;
        }
        ++started;
        process_ = p;
        processFiles_ = 0;
        output_.clear();
        return true;
    }

    void OnOutput(QProcess* p)
    {
        if (p != process_) {
            p->readAllStandardOutput();
            return;
        }
        output_ += p->readAllStandardOutput();
        qsizetype end;
        while ((end = output_.indexOf('\n')) >= 0) {
            const QByteArray line = output_.left(end);
            output_.remove(0, end + 1);
            if (busy_) Answered(line);
            if (p != process_) return;   // retired or killed while answering
        }
        if (output_.size() > kMaxAnswerBytes) KillBusy();
        SendNext();
    }

    void Answered(const QByteArray& line)
    {
        const Waiting w = *busy_;
        const QByteArray name = QFile::encodeName(w.file);
        const bool ok = line == "ok\t" + name;
        if (!ok && line != "fail\t" + name) {
            KillBusy();   // out of step with what was asked
            return;
        }
        watchdog_->stop();
        busy_.reset();
        deathsInARow_ = 0;
        proven_ = true;
        QImage image;
        if (ok) {
            timeouts_.Forget(w.file, o_.size);
            // The thumbnailer keyed it with the file's time as it read it.
            cache_.Find(w.file, FileMTime(w.file), o_.size, &image);
            if (o_.size > kDesktopThumbnailPixels) cache_.Trim(o_.size, kKeptLargePictures);
        } else {
            cache_.StoreFailure(w.file, w.mtime);
        }
        Answer(w.file, image);
        if (++processFiles_ >= o_.filesPerProcess) {
            // Its CPU bound covers this many files: it ends at the end of its input, and
            // the next file starts a fresh one.
            process_->closeWriteChannel();
            process_ = nullptr;
        }
    }

    void OnFinished(QProcess* p)
    {
        p->deleteLater();
        if (p != process_) return;
        process_ = nullptr;
        output_.clear();
        if (busy_) BusyFailed(p->exitStatus() == QProcess::NormalExit && p->exitCode() == kOutOfTimeExit);
        SendNext();
    }

    void OnTimeout()
    {
        if (busy_) KillBusy(true);
        SendNext();
    }

    // The file being drawn stopped the thumbnailer, or ran out of its time.
    void KillBusy(bool outOfTime = false)
    {
        if (QProcess* p = process_) {
            process_ = nullptr;
            p->disconnect(this);
            p->kill();
            p->waitForFinished(1000);
            p->deleteLater();
        }
        output_.clear();
        if (busy_) BusyFailed(outOfTime);
    }

    // A file that stopped the thumbnailer is recorded as failed; one that ran out of time
    // (the machine may have been busy) only at its last try.
    void BusyFailed(bool outOfTime)
    {
        watchdog_->stop();
        const Waiting w = *busy_;
        busy_.reset();
        if (++deathsInARow_ >= kMaxDeathsInARow && !proven_) broken_ = true;
        // Time-outs count even before the thumbnailer has answered once: they are
        // bounded by their own count.
        if (outOfTime ? timeouts_.Add(w.file, w.mtime, o_.size) >= kMaxTimeouts : proven_) {
            cache_.StoreFailure(w.file, w.mtime);
            if (outOfTime) timeouts_.Forget(w.file, o_.size);
        }
        Answer(w.file, {});
    }

    ThumbnailClientOptions o_;
    ThumbnailClient* client_;
    ThumbnailCache cache_;
    TimeoutRecords timeouts_;
    QTimer* watchdog_;
    std::deque<QString> lookups_;
    QSet<QString> lookupSet_;
    std::deque<Waiting> draws_;
    std::optional<Waiting> busy_;
    QProcess* process_ = nullptr;
    QByteArray output_;
    int processFiles_ = 0;
    int deathsInARow_ = 0;
    bool stepPosted_ = false;
    bool foldersMade_ = false;
    bool broken_ = false;
    bool proven_ = false;
};

ThumbnailClient::ThumbnailClient(ThumbnailClientOptions options, QObject* parent)
    : QObject(parent), thread_(new QThread), worker_(new ThumbnailWorker(std::move(options), this))
{
    worker_->moveToThread(thread_);
    thread_->start();
}

ThumbnailClient::~ThumbnailClient()
{
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->Shutdown(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
    delete worker_;
    delete thread_;
}

void ThumbnailClient::Request(const QStringList& files)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, files] { w->Add(files, false); }, Qt::QueuedConnection);
}

void ThumbnailClient::Prioritise(const QStringList& files)
{
    QMetaObject::invokeMethod(worker_, [w = worker_, files] { w->Add(files, true); }, Qt::QueuedConnection);
}

void ThumbnailClient::Clear()
{
    QMetaObject::invokeMethod(worker_, [w = worker_] { w->Clear(); }, Qt::QueuedConnection);
}

int ThumbnailClient::ProcessesStarted() const { return worker_->started.load(); }
