#pragma once
// Thumbnails of drawings for the windows, never waited for on the window thread: each
// file is answered from the desktop's thumbnail cache when it holds the file as it is
// now, else drawn by one kumolist-thumbnailer process in batch mode under limits (started
// again when it dies). A file that the thumbnailer finds damaged, or that kills it, is
// recorded as failed (once the thumbnailer has shown that it works at all), so it is not
// tried again until it changes; one that runs over its time, as on a busy machine, is
// tried again when asked for again, and recorded as failed only at its third time-out.
#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

class QThread;
class ThumbnailWorker;

struct ThumbnailClientOptions {
    QString thumbnailer;                        // path of kumolist-thumbnailer
    QString cacheRoot;                          // empty: the desktop's cache, or past its
                                                // sizes the program's own (ProgramCacheRoot)
    QString timeoutsFolder;                     // empty: ProgramCacheRoot()/timeouts
    int size = 128;                             // pixels on the longer side
    int page = 1;                               // of a PDF; past the first, keep the
                                                // pictures in a cacheRoot of their own
    int fileSeconds = 5;                        // CPU time the thumbnailer may give one file
    int fileWallMs = 15000;                     // wall time for one file, then it is killed
    qint64 memoryBytes = 1024LL * 1024 * 1024;  // the thumbnailer's address space
    int filesPerProcess = 500;                  // then a fresh process (its total CPU is bounded)
};

class ThumbnailClient : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailClient(ThumbnailClientOptions options, QObject* parent = nullptr);
    ~ThumbnailClient() override;

    // Asks for the thumbnails of the files (absolute file-system paths), the first ones
    // first, after those asked for before; a file already waiting keeps its place.
    void Request(const QStringList& files);
    // Puts the files ahead of every other waiting one, in this order (the rows now in
    // view); files not yet asked for are asked for.
    void Prioritise(const QStringList& files);
    // Forgets every file not yet answered.
    void Clear();

    // Thumbnailer processes started so far (for tests).
    int ProcessesStarted() const;

signals:
    // Once per file asked for: its thumbnail, or a null image when it has none.
    void Ready(const QString& file, const QImage& image);

private:
    QThread* thread_;
    ThumbnailWorker* worker_;
};
