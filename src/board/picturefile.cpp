#include "board/picturefile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "text/regularfile.h"

namespace {

quint32 BeU32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) << 24 | quint32(quint8(b[at + 1])) << 16 | quint32(quint8(b[at + 2])) << 8 |
           quint32(quint8(b[at + 3]));
}

// Bytes [at, at + count) of the file, fewer at its end; nothing when it cannot be read.
std::optional<QByteArray> ReadAt(QFile& file, qint64 at, qint64 count)
{
    if (!file.seek(at)) return std::nullopt;
    QByteArray bytes = file.read(count);
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

std::optional<QSize> Declared(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    return QSize(int(width), int(height));
}

// Qt's bitmap reader accepts a file whose pixel rows were cut off and fills in the
// rest; Windows refuses such a file, and so do we.
std::optional<QSize> BitmapSize(QFile& file)
{
    const std::optional<QByteArray> head = ReadAt(file, 0, 64);
    if (!head || head->size() < 26 || !head->startsWith("BM")) return std::nullopt;
    const QByteArray& d = *head;
    const qint64 length = file.size();
    const quint32 bitsAt = LeU32(d, 10);
    const quint32 infoSize = LeU32(d, 14);
    qint64 width = 0, height = 0, bitCount = 0, compression = 0, imageSize = 0;
    if (infoSize == 12) {   // OS/2 core header
        width = LeU16(d, 18);
        height = LeU16(d, 20);
        bitCount = LeU16(d, 24);
    } else {
        if (infoSize < 40 || d.size() < 38) return std::nullopt;
        width = std::abs(qint64(LeI32(d, 18)));
        height = std::abs(qint64(LeI32(d, 22)));
        bitCount = LeU16(d, 28);
        compression = LeU32(d, 30);
        imageSize = LeU32(d, 34);
    }
    const qint64 room = length - qint64(bitsAt);
    if (room < 0) return std::nullopt;
    if (compression == 0 || compression == 3) {   // plain rows, or rows with bit masks
        // Compared by division: the product of forged sizes does not fit 64 bits.
        const qint64 rowBytes = (width * bitCount + 31) / 32 * 4;
        if (rowBytes > 0 && height > room / rowBytes) return std::nullopt;
    } else if (imageSize > room) {   // run-length data: its stated size, when stated
        return std::nullopt;
    }
    return Declared(width, height);
}

// An icon file may hold several images. Windows' picture control shows an icon file at
// the system icon size, 32 x 32, so that image is taken when the file has one (the first
// such entry); otherwise the file's first image, as Windows falls back to it.
struct IconChoice {
    int index = 0;
    QSize size;   // as the chosen image's own header declares it
};

std::optional<IconChoice> ChooseIconImage(QFile& file)
{
    const std::optional<QByteArray> head = ReadAt(file, 0, 6);
    if (!head || head->size() < 6) return std::nullopt;
    const int count = LeU16(*head, 4);
    if (LeU16(*head, 0) != 0 || LeU16(*head, 2) != 1 || count == 0) return std::nullopt;
    const qint64 directoryEnd = 6 + 16 * qint64(count);
    const std::optional<QByteArray> directory = ReadAt(file, 6, directoryEnd - 6);
    if (!directory || directory->size() < directoryEnd - 6) return std::nullopt;
    const QByteArray& d = *directory;
    const qint64 length = file.size();
    int chosen = -1;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 16 * i;
        const quint32 bytes = LeU32(d, entry + 8);
        const quint32 offset = LeU32(d, entry + 12);
        if (bytes == 0 || offset < directoryEnd || qint64(offset) + bytes > length) return std::nullopt;
        if (chosen < 0 && quint8(d[entry]) == 32 && quint8(d[entry + 1]) == 32) chosen = i;
    }
    IconChoice choice;
    choice.index = chosen < 0 ? 0 : chosen;

    // The directory's one-byte sizes say nothing certain: the image's own header, a
    // bitmap header (its height counts the mask too) or a PNG's, sets what is decoded.
    const qsizetype entry = 16 * choice.index;
    const std::optional<QByteArray> image = ReadAt(file, LeU32(d, entry + 12), 24);
    if (!image || image->size() < 24) return std::nullopt;
    std::optional<QSize> size;
    if (image->startsWith("\x89PNG\r\n\x1a\n"))
        size = Declared(BeU32(*image, 16), BeU32(*image, 20));
    else
        size = Declared(std::abs(qint64(LeI32(*image, 4))), std::abs(qint64(LeI32(*image, 8))) / 2);
    if (!size) return std::nullopt;
    choice.size = *size;
    return choice;
}

QImage Bounded(QImage image)
{
    if (image.isNull() || (image.width() <= kMaxPictureSide && image.height() <= kMaxPictureSide)) return image;
    return image.scaled(BoundedSize(image.width(), image.height()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace

PictureKind PictureKindOf(const QString& fsPath)
{
    const QString extension = QFileInfo(fsPath).suffix().toLower();
    if (extension == QLatin1String("bmp")) return PictureKind::Bitmap;
    if (extension == QLatin1String("ico")) return PictureKind::Icon;
    if (extension == QLatin1String("emf") || extension == QLatin1String("wmf")) return PictureKind::Metafile;
    if (extension == QLatin1String("png") || extension == QLatin1String("jpg") || extension == QLatin1String("jpeg"))
        return PictureKind::Photo;
    if (extension == QLatin1String("svg")) return PictureKind::Svg;
    return PictureKind::Other;
}

QSize BoundedSize(double width, double height)
{
    if (!(width > 0) || !(height > 0)) return {};
    const double longer = std::max(width, height);
    if (longer > kMaxPictureSide) {
        width = width * kMaxPictureSide / longer;
        height = height * kMaxPictureSide / longer;
    }
    auto side = [](double v) { return int(std::clamp(std::lround(v), 1L, long(kMaxPictureSide))); };
    return {side(width), side(height)};
}

std::optional<QSize> DeclaredRasterSize(const QString& fsPath, PictureKind kind)
{
    QFile file;
    if (!OpenRegularFile(file, fsPath)) return std::nullopt;
    if (kind == PictureKind::Bitmap) return BitmapSize(file);
    if (kind == PictureKind::Icon) {
        const std::optional<IconChoice> choice = ChooseIconImage(file);
        if (choice) return choice->size;
    }
    return std::nullopt;
}

QImage DecodeRaster(const QString& fsPath, PictureKind kind, int allocationLimitMb)
{
    QFile file;
    if (!OpenRegularFile(file, fsPath)) return {};
    int index = 0;
    if (kind == PictureKind::Bitmap) {
        if (!BitmapSize(file)) return {};
    } else if (kind == PictureKind::Icon) {
        const std::optional<IconChoice> choice = ChooseIconImage(file);
        if (!choice) return {};
        index = choice->index;
    } else {
        return {};
    }
    file.seek(0);
    QImageReader reader(&file, kind == PictureKind::Bitmap ? "bmp" : "ico");
    reader.setAutoDetectImageFormat(false);   // a PNG named .bmp is not a bitmap
    // One limit for the whole process, read by the thumbnail threads too: written only
    // when it changes, which in the program is once.
    if (QImageReader::allocationLimit() != allocationLimitMb) QImageReader::setAllocationLimit(allocationLimitMb);
    if (index > 0 && !reader.jumpToImage(index)) return {};
    return Bounded(reader.read());
}

QImage DecodePhoto(const QString& fsPath, int allocationLimitMb)
{
    QFile file;
    if (!OpenRegularFile(file, fsPath)) return {};
    QImageReader reader(&file);
    reader.setAllocationLimit(allocationLimitMb);
    // Only the two decoders named, whatever other format the bytes may be in.
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg") return {};
    const QSize declared = reader.size();
    const QSize bounded = BoundedSize(declared.width(), declared.height());
    if (!bounded.isValid()) return {};
    if (bounded != declared) reader.setScaledSize(bounded);
    return Bounded(reader.read());
}
