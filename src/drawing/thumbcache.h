#pragma once
// The desktop's shared thumbnail cache, as the freedesktop thumbnail convention lays it
// out: PNG files named by the MD5 of the file's URI under $XDG_CACHE_HOME/thumbnails/
// (normal 128, large 256, x-large 512, xx-large 1024 pixels), each holding the keys
// Thumb::URI and Thumb::MTime; failures under fail/kumolist/. File managers read the
// same entries, and a file whose time changed is drawn again. Pictures larger than the
// desktop's largest (the preview zoomed in) are kept the same way in a cache of the
// program's own, which file managers never read.
#include <QByteArray>
#include <QImage>
#include <QString>

// $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when that is unset or relative.
QString ThumbnailCacheRoot();
// $XDG_CACHE_HOME/kumolist (likewise): the sizes past the desktop's, and their failures.
QString ProgramCacheRoot();

// The desktop's largest size; larger ones live only below ProgramCacheRoot().
constexpr int kDesktopThumbnailPixels = 1024;
// The largest the thumbnailer draws.
constexpr int kLargestThumbnailPixels = 2048;

// The file:// URI of a path (made absolute and clean), escaped as the desktop escapes it.
QByteArray FileUri(const QString& path);

// The cache's size folder for a thumbnail of at most `size` pixels, and its pixels
// (past the desktop's sizes: preview-2048).
struct ThumbnailFlavour {
    QString folder;
    int pixels = 0;
};
ThumbnailFlavour FlavourFor(int size);

// Writes image as PNG with the keys, through a temporary file beside path renamed into
// place, readable by its owner only. False, with nothing left behind, on failure.
bool WriteThumbnailPng(const QString& path, const QImage& image, const QByteArray& uri, qint64 mtime);
// The same written into the file at path itself, truncated (made, owner only, when
// missing): a file manager may have made it and read it back through the handle it
// holds, which a file renamed over it would never reach. False on failure, a file made
// here removed again.
bool WriteThumbnailPngInPlace(const QString& path, const QImage& image, const QByteArray& uri, qint64 mtime);

class ThumbnailCache {
public:
    explicit ThumbnailCache(QString root = ThumbnailCacheRoot());
    const QString& Root() const { return root_; }

    // Where the thumbnail of the file for the size, and its failure record, lie.
    QString ThumbnailPath(const QString& file, int size) const;
    QString FailurePath(const QString& file) const;

    enum class State { Missing, Valid, Failed };
    // Valid (with the image) when a thumbnail of the file as of mtime is kept; Failed
    // when drawing the file as of mtime failed before; Missing otherwise.
    State Find(const QString& file, qint64 mtime, int size, QImage* image = nullptr) const;

    // Makes the folders (owner only) for a thumbnail of the size and for failures; never
    // a folder past the desktop's sizes in the desktop's cache.
    bool MakeFolders(int size) const;
    bool Store(const QString& file, qint64 mtime, int size, const QImage& image) const;
    bool StoreFailure(const QString& file, qint64 mtime) const;
    // Removes the oldest thumbnails of the size past the newest `keep`: for the program's
    // own cache, which no one else cleans.
    void Trim(int size, int keep) const;

private:
    QString root_;
};

// Drawings that ran out of time, how often, as of their file's time and for a size: a
// drawing that a busy machine could not finish is tried again, a few times, before it
// counts as failed. One small file each, under the program's own cache folder (file
// managers have no part in it), the oldest removed past kKeptTimeoutRecords.
class TimeoutRecords {
public:
    explicit TimeoutRecords(QString folder = ProgramCacheRoot() + QStringLiteral("/timeouts"));
    // One more time-out of the file as of mtime at the size; how many there have been,
    // this one included (a file whose time changed starts again at 1); kUncounted when
    // it could not be recorded (then nothing bounds the tries: take it as the last).
    int Add(const QString& file, qint64 mtime, int size) const;
    static constexpr int kUncounted = 1 << 30;
    void Forget(const QString& file, int size) const;

    static constexpr int kKeptTimeoutRecords = 1000;

private:
    QString RecordPath(const QString& file, int size) const;
    QString folder_;
};

// Modification time (seconds) of a file as the cache keys it; -1 when it cannot be read.
qint64 FileMTime(const QString& path);
