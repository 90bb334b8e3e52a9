#include "drawing/picturethumb.h"

#include <algorithm>
#include <array>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>

namespace {

constexpr std::array<std::string_view, 8> kPictureTypes = {".png", ".jpg",  ".jpeg", ".bmp",
                                                            ".gif", ".tif", ".tiff", ".webp"};
// Qt's reader names for the same kinds, checked on the bytes: a PNG named .jpg is read,
// an SVG or anything else named .png is not. TIFF and WebP come with Qt's image formats
// package; without it those files keep their type icon.
constexpr std::array<const char*, 6> kReaderFormats = {"png", "jpeg", "bmp", "gif", "tiff", "webp"};
// Readers that decode straight to the size asked for (JPEG through its own scaling, PNG
// a row at a time). The others (TIFF, WebP, BMP, GIF) decode the whole picture and scale
// it after, at four bytes a pixel and a copy or two more: a picture that would need
// more than kMaxWholeDecodeBytes so is refused from its header, before decoding. A TIFF
// of a few hundred kilobytes may claim 8000 by 8000 pixels.
constexpr std::array<const char*, 2> kScalingReaders = {"jpeg", "png"};
constexpr std::int64_t kMaxWholeDecodeBytes = std::int64_t(128) * 1024 * 1024;
// Larger files are no photos of the site; reading them would only cost time.
constexpr off_t kMaxPictureBytes = off_t(256) * 1024 * 1024;
constexpr int kMaxSide = 65535;

} // namespace

bool IsPictureFileType(std::string_view type)
{
    return std::find(kPictureTypes.begin(), kPictureTypes.end(), type) != kPictureTypes.end();
}

QImage ReadPictureThumbnail(const std::string& fsPath, int size, std::int64_t* mtime)
{
    if (mtime) *mtime = 0;
    if (size < 1 || fsPath.empty() || fsPath.find('\0') != std::string::npos) return {};
    // As for drawings: a FIFO under a picture's name never holds the open up.
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxPictureBytes) {
        ::close(fd);
        return {};
    }
    if (mtime) *mtime = static_cast<std::int64_t>(st.st_mtime);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    const QByteArray format = QImageReader::imageFormat(&file);
    if (std::none_of(kReaderFormats.begin(), kReaderFormats.end(), [&](const char* f) { return format == f; })) return {};
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty() || stored.width() > kMaxSide || stored.height() > kMaxSide ||
        std::int64_t(stored.width()) * stored.height() > kMaxPicturePixels)
        return {};
    const bool scales = std::any_of(kScalingReaders.begin(), kScalingReaders.end(), [&](const char* f) { return format == f; }) &&
                        reader.supportsOption(QImageIOHandler::ScaledSize);
    if (!scales && std::int64_t(stored.width()) * stored.height() * 4 > kMaxWholeDecodeBytes) return {};
    // The longer side at most `size`, whichever way the camera held it.
    const QSize fitted = stored.width() > size || stored.height() > size ? stored.scaled(size, size, Qt::KeepAspectRatio) : stored;
    reader.setScaledSize(fitted.expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull()) return {};
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}
