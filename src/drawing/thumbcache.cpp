#include "drawing/thumbcache.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>
#include <QTemporaryFile>

#include "text/regularfile.h"

namespace {

const char kUriKey[] = "Thumb::URI";
const char kMTimeKey[] = "Thumb::MTime";
const QString kFailFolder = QStringLiteral("fail/kumolist");

// Thumbnails are small: a cached file larger than this is not one of them.
constexpr qint64 kMaxThumbnailFileBytes = 16 * 1024 * 1024;

// Bytes a path keeps unescaped in a file URI (as GLib writes them, which the desktop's
// file managers use): letters, digits, -._~!'()* and the path's own /&=:@+$,.
bool KeptInUri(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return QByteArrayView("-._~!'()*/&=:@+$,").contains(char(c));
}

// PNG text chunks are written and read here: Qt writes long values compressed, which
// not every reader of the cache takes, and reads a key only up to its first colon.
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);

quint32 Crc32(const QByteArray& bytes)
{
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes) c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray BigEndian(quint32 v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
    return QByteArray(bytes, 4);
}

quint32 BigEndianAt(const QByteArray& bytes, qsizetype at)
{
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 | quint32(quint8(bytes[at + 2])) << 8 |
           quint32(quint8(bytes[at + 3]));
}

// The PNG with a tEXt chunk for each key after its header chunk.
QByteArray WithTexts(const QByteArray& png, const QList<std::pair<QByteArray, QByteArray>>& texts)
{
    const qsizetype afterHeader = kPngSignature.size() + 8 + 13 + 4;
    if (png.size() < afterHeader || !png.startsWith(kPngSignature)) return {};
    QByteArray chunks;
    for (const auto& [key, value] : texts) {
        const QByteArray body = "tEXt" + key + '\0' + value;
        chunks += BigEndian(quint32(body.size() - 4)) + body + BigEndian(Crc32(body));
    }
    return png.left(afterHeader) + chunks + png.mid(afterHeader);
}

// The text chunks (tEXt, zTXt, iTXt) before the image data; false when the bytes are
// no PNG or its chunks run past its end.
bool PngTexts(const QByteArray& png, QMap<QByteArray, QByteArray>& texts)
{
    if (!png.startsWith(kPngSignature)) return false;
    qsizetype at = kPngSignature.size();
    while (at + 12 <= png.size()) {
        const quint32 length = BigEndianAt(png, at);
        const QByteArray type = png.mid(at + 4, 4);
        if (length > quint32(png.size() - at - 12)) return false;
        if (type == "IDAT" || type == "IEND") return true;
        const QByteArray body = png.mid(at + 8, qsizetype(length));
        const qsizetype nul = body.indexOf('\0');
        if (nul > 0) {
            const QByteArray key = body.left(nul);
            if (type == "tEXt") {
                texts.insert(key, body.mid(nul + 1));
            } else if (type == "zTXt" && nul + 2 <= body.size()) {
                // qUncompress wants the size first; thumbnails' texts are short.
                texts.insert(key, qUncompress(BigEndian(64 * 1024) + body.mid(nul + 2)));
            } else if (type == "iTXt" && nul + 3 <= body.size() && body[nul + 1] == 0) {
                // Uncompressed: flag, method, language tag, translated key, text.
                const qsizetype language = body.indexOf('\0', nul + 3);
                const qsizetype translated = language < 0 ? -1 : body.indexOf('\0', language + 1);
                if (translated >= 0) texts.insert(key, body.mid(translated + 1));
            }
        }
        at += 12 + qsizetype(length);
    }
    return false;
}

bool MakeFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    return ::mkdir(name.constData(), 0700) == 0 || errno == EEXIST;
}

QString CacheHome()
{
    QString base = QFile::decodeName(qgetenv("XDG_CACHE_HOME"));
    if (!QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base);
}

} // namespace

QString ThumbnailCacheRoot() { return CacheHome() + QStringLiteral("/thumbnails"); }

QString ProgramCacheRoot() { return CacheHome() + QStringLiteral("/kumolist"); }

QByteArray FileUri(const QString& path)
{
    const QByteArray name = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    QByteArray uri = "file://";
    static const char kHex[] = "0123456789ABCDEF";
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (KeptInUri(c)) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

ThumbnailFlavour FlavourFor(int size)
{
    if (size <= 128) return {QStringLiteral("normal"), 128};
    if (size <= 256) return {QStringLiteral("large"), 256};
    if (size <= 512) return {QStringLiteral("x-large"), 512};
    if (size <= kDesktopThumbnailPixels) return {QStringLiteral("xx-large"), kDesktopThumbnailPixels};
    return {QStringLiteral("preview-2048"), kLargestThumbnailPixels};
}

namespace {

QByteArray KeyedPng(const QImage& image, const QByteArray& uri, qint64 mtime)
{
    if (image.isNull()) return {};
    QByteArray plain;
    QBuffer buffer(&plain);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return WithTexts(plain, {{kUriKey, uri}, {kMTimeKey, QByteArray::number(mtime)}, {"Software", "Kumolist"}});
}

} // namespace

bool WriteThumbnailPngInPlace(const QString& path, const QImage& image, const QByteArray& uri, qint64 mtime)
{
    const QByteArray png = KeyedPng(image, uri, mtime);
    if (png.isEmpty()) return false;
    const QByteArray name = QFile::encodeName(path);
    bool made = false;
    int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        made = fd >= 0;
    }
    if (fd < 0) return false;
    // Only a regular file: a FIFO or device under the name takes no thumbnail.
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) == 0;
    for (qsizetype at = 0; ok && at < png.size();) {
        const ssize_t n = ::write(fd, png.constData() + at, std::size_t(png.size() - at));
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        at += ok ? n : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok && made) ::unlink(name.constData());
    return ok;
}

bool WriteThumbnailPng(const QString& path, const QImage& image, const QByteArray& uri, qint64 mtime)
{
    const QByteArray png = KeyedPng(image, uri, mtime);
    if (png.isEmpty()) return false;
    // Readers (other programs among them) see either the old entry or the whole new one.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(true);
    if (!temp.open()) return false;
    if (!temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) return false;
    if (temp.write(png) != png.size() || !temp.flush()) return false;
    if (::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return false;
    temp.setAutoRemove(false);
    return true;
}

ThumbnailCache::ThumbnailCache(QString root) : root_(std::move(root)) {}

QString ThumbnailCache::ThumbnailPath(const QString& file, int size) const
{
    const QByteArray md5 = QCryptographicHash::hash(FileUri(file), QCryptographicHash::Md5).toHex();
    return root_ + '/' + FlavourFor(size).folder + '/' + QString::fromLatin1(md5) + QStringLiteral(".png");
}

QString ThumbnailCache::FailurePath(const QString& file) const
{
    const QByteArray md5 = QCryptographicHash::hash(FileUri(file), QCryptographicHash::Md5).toHex();
    return root_ + '/' + kFailFolder + '/' + QString::fromLatin1(md5) + QStringLiteral(".png");
}

ThumbnailCache::State ThumbnailCache::Find(const QString& file, qint64 mtime, int size, QImage* image) const
{
    const QByteArray uri = FileUri(file);
    const auto keyedFor = [&](const QString& path, QImage* out) {
        // The cache folder is the user's own, but entries come from any program: only a
        // regular file of thumbnail size is read.
        QFile entry;
        if (!OpenRegularFile(entry, path) || entry.size() > kMaxThumbnailFileBytes) return false;
        const QByteArray png = entry.read(kMaxThumbnailFileBytes);
        QMap<QByteArray, QByteArray> texts;
        if (!PngTexts(png, texts) || texts.value(kUriKey) != uri) return false;
        bool ok = false;
        if (texts.value(kMTimeKey).toLongLong(&ok) != mtime || !ok) return false;
        if (!out) return true;
        QBuffer buffer;
        buffer.setData(png);
        QImageReader reader(&buffer, "png");
        const QSize stored = reader.size();
        const int most = FlavourFor(size).pixels;
        if (!stored.isValid() || stored.width() > most || stored.height() > most) return false;
        return reader.read(out);
    };
    QImage found;
    if (keyedFor(ThumbnailPath(file, size), &found)) {
        if (image) *image = found;
        return State::Valid;
    }
    return keyedFor(FailurePath(file), nullptr) ? State::Failed : State::Missing;
}

bool ThumbnailCache::MakeFolders(int size) const
{
    // File managers would take a larger picture there for one of theirs.
    if (size > kDesktopThumbnailPixels && QDir::cleanPath(root_) == ThumbnailCacheRoot()) return false;
    const QString parent = QFileInfo(root_).path();
    if (!QDir().mkpath(parent)) return false;
    return MakeFolder(root_) && MakeFolder(root_ + '/' + FlavourFor(size).folder) &&
           MakeFolder(root_ + QStringLiteral("/fail")) && MakeFolder(root_ + '/' + kFailFolder);
}

bool ThumbnailCache::Store(const QString& file, qint64 mtime, int size, const QImage& image) const
{
    return MakeFolders(size) && WriteThumbnailPng(ThumbnailPath(file, size), image, FileUri(file), mtime);
}

bool ThumbnailCache::StoreFailure(const QString& file, qint64 mtime) const
{
    QImage blank(1, 1, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    return MakeFolders(128) && WriteThumbnailPng(FailurePath(file), blank, FileUri(file), mtime);
}

void ThumbnailCache::Trim(int size, int keep) const
{
    // Newest first; the temporary files of writes cut short go too, but not one that
    // another copy of the program may be writing now.
    const QFileInfoList files = QDir(root_ + '/' + FlavourFor(size).folder)
                                    .entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Time);
    const QDateTime settled = QDateTime::currentDateTime().addSecs(-60);
    for (qsizetype i = std::max<qsizetype>(keep, 0); i < files.size(); ++i)
        if (files[i].lastModified() < settled) QFile::remove(files[i].absoluteFilePath());
}

qint64 FileMTime(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return qint64(st.st_mtime);
}

TimeoutRecords::TimeoutRecords(QString folder) : folder_(std::move(folder)) {}

QString TimeoutRecords::RecordPath(const QString& file, int size) const
{
    const QByteArray md5 = QCryptographicHash::hash(FileUri(file), QCryptographicHash::Md5).toHex();
    return folder_ + '/' + QString::fromLatin1(md5) + '-' + QString::number(FlavourFor(size).pixels);
}

int TimeoutRecords::Add(const QString& file, qint64 mtime, int size) const
{
    const QString path = RecordPath(file, size);
    // "mtime count": anything else, or a record of another time, starts again.
    int count = 0;
    QFile old;
    if (OpenRegularFile(old, path)) {
        const QList<QByteArray> fields = old.read(64).trimmed().split(' ');
        bool timeOk = false, countOk = false;
        const int was = fields.size() == 2 ? fields[1].toInt(&countOk) : 0;
        if (fields.size() == 2 && fields[0].toLongLong(&timeOk) == mtime && timeOk && countOk && was > 0 && was < 1000)
            count = was;
        old.close();
    } else {
        // A new record: the oldest go past the bound, the folder never grows without end.
        if (!QDir().mkpath(folder_)) return kUncounted;
        QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QFileInfoList records = QDir(folder_).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Time);
        for (qsizetype i = kKeptTimeoutRecords - 1; i < records.size(); ++i) QFile::remove(records[i].absoluteFilePath());
    }
    ++count;
    const QByteArray text = QByteArray::number(mtime) + ' ' + QByteArray::number(count) + '\n';
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    if (!temp.open() || temp.write(text) != text.size() || !temp.flush() ||
        ::rename(QFile::encodeName(temp.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return kUncounted;
    temp.setAutoRemove(false);
    return count;
}

void TimeoutRecords::Forget(const QString& file, int size) const { QFile::remove(RecordPath(file, size)); }
