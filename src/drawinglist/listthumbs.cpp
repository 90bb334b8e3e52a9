#include "drawinglist/listthumbs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include "board/limitedprocess.h"
#include "text/cp932.h"

namespace {

constexpr int kFilesPerProcess = 500;   // then a fresh process: its total CPU is bounded
constexpr int kMaxDeathsInARow = 3;     // a thumbnailer that never answered is taken for broken
constexpr qsizetype kMaxAnswerBytes = 64 * 1024;
constexpr int kStartWaitMs = 5000;

} // namespace

ListThumbnails::ListThumbnails(QString thumbnailer, int pixels) : thumbnailer_(std::move(thumbnailer)), pixels_(pixels)
{
    broken_ = thumbnailer_.isEmpty() || !folder_.isValid();
}

ListThumbnails::~ListThumbnails() { Stop(); }

void ListThumbnails::Stop()
{
    if (!process_) return;
    process_->closeWriteChannel();
    if (!process_->waitForFinished(1000)) {
        process_->kill();
        process_->waitForFinished(1000);
    }
    process_.reset();
}

bool ListThumbnails::Start()
{
    process_ = std::make_unique<QProcess>();
    process_->setProgram(thumbnailer_);
    process_->setArguments({QStringLiteral("--batch"), QStringLiteral("--file-seconds"), QString::number(fileSeconds)});
    ProcessLimits limits;
    limits.timeoutMs = (fileSeconds * kFilesPerProcess + 30) * 1000;
    LimitProcess(*process_, limits);
    process_->start();
    if (!process_->waitForStarted(kStartWaitMs)) {
        process_.reset();
        return false;
    }
    drawn_ = 0;
    return true;
}

QString ListThumbnails::Draw(const QString& file)
{
    if (broken_) return {};
    const QByteArray name = QFile::encodeName(file);
    if (name.isEmpty() || name.contains('\n') || name.contains('\t') || name.contains('\r')) return {};
    if (!process_ && !Start()) {
        broken_ = true;
        return {};
    }
    const QString out = folder_.filePath(QString::number(++made_) + ".png");
    ++drawn_;
    process_->write(QByteArray::number(pixels_) + '\t' + name + '\t' + QFile::encodeName(out) + '\n');
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && answer.size() <= kMaxAnswerBytes && clock.elapsed() < fileWallMs &&
           process_->state() == QProcess::Running) {
        if (process_->bytesAvailable() == 0) process_->waitForReadyRead(static_cast<int>(fileWallMs - clock.elapsed()));
        answer += process_->readAllStandardOutput();
    }
    const qsizetype end = answer.indexOf('\n');
    if (end < 0 || answer.left(end) != (answer.startsWith("ok\t") ? "ok\t" : "fail\t") + name) {
        // Dead, over its time or out of step: the next file gets a fresh process.
        process_->kill();
        process_->waitForFinished(1000);
        process_.reset();
        if (!answered_ && ++deathsInARow_ >= kMaxDeathsInARow) broken_ = true;
        return {};
    }
    answered_ = true;
    deathsInARow_ = 0;
    if (drawn_ >= kFilesPerProcess) Stop();
    return answer.startsWith("ok\t") && QFile::exists(out) ? out : QString();
}

bool DrawListPictures(const std::vector<DrawingListEntry>& entries, ListThumbnails& thumbnails,
                      std::vector<QString>& pictures, const std::function<bool(int done)>& progress)
{
    pictures.assign(entries.size(), QString());
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].exists) pictures[i] = thumbnails.Draw(QString::fromStdString(ToFsName(entries[i].localPath)));
        if (progress && !progress(static_cast<int>(i + 1))) return false;
    }
    return true;
}
