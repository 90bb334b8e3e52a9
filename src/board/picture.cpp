#include "board/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QScopeGuard>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

namespace {

// Metafiles measure themselves in physical units; the board shows them at the size
// Windows gives them on a standard screen of 96 pixels per inch.
constexpr double kScreenDpi = 96.0;
// A picture larger than this per side is shrunk to it, keeping its proportions: no
// group picture needs more, and a forged header must not make us allocate gigabytes.
constexpr int kMaxSide = 1024;
// Metafiles are read whole into memory; real group pictures are a few kilobytes.
constexpr qint64 kMaxMetafileBytes = 32 * 1024 * 1024;
// Zero bytes after the copy handed to the C decoders, so that a record that reads a few
// fields past its declared end reads zeros instead of foreign memory.
constexpr int kTailPadding = 4096;

quint16 LeU16(const QByteArray& b, qsizetype at) {
    return quint16(quint8(b[at])) | quint16(quint8(b[at + 1])) << 8;
}
quint32 LeU32(const QByteArray& b, qsizetype at) {
    return quint32(LeU16(b, at)) | quint32(LeU16(b, at + 2)) << 16;
}
qint32 LeI32(const QByteArray& b, qsizetype at) { return qint32(LeU32(b, at)); }
qint16 LeI16(const QByteArray& b, qsizetype at) { return qint16(LeU16(b, at)); }

// Physical extent (in units of which `perInch` make an inch) to screen pixels, rounded
// like Windows' MulDiv; shrunk to kMaxSide keeping the proportions; at least 1 pixel.
QSize PixelSize(double width, double height, double perInch) {
    if (!(width > 0) || !(height > 0) || !(perInch > 0)) return {};
    double w = width * kScreenDpi / perInch;
    double h = height * kScreenDpi / perInch;
    double longer = std::max(w, h);
    if (longer > kMaxSide) {
        w = w * kMaxSide / longer;
        h = h * kMaxSide / longer;
    }
    auto side = [](double v) { return std::clamp(int(std::lround(v)), 1, kMaxSide); };
    return {side(w), side(h)};
}

QPixmap RenderSvg(const QByteArray& svg, QSize size) {
    if (svg.isEmpty() || !size.isValid()) return {};
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return QPixmap::fromImage(image);
}

std::optional<QByteArray> ReadMetafile(const QString& fsPath) {
    QFile file(fsPath);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    if (file.size() > kMaxMetafileBytes) return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return data;
}

// ---- Bitmaps and icons: Qt's own readers, held to the kind the extension names ----

std::optional<QByteArray> ReadHead(const QString& fsPath, qint64* fileSize) {
    QFile file(fsPath);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    *fileSize = file.size();
    return file.read(64 * 1024);
}

// Qt's bitmap reader accepts a file whose pixel rows were cut off and fills in the
// rest; Windows refuses such a file, and so do we.
bool BitmapComplete(const QString& fsPath) {
    qint64 length = 0;
    const std::optional<QByteArray> head = ReadHead(fsPath, &length);
    if (!head || head->size() < 26 || !head->startsWith("BM")) return false;
    const QByteArray& d = *head;
    const quint32 bitsAt = LeU32(d, 10);
    const quint32 infoSize = LeU32(d, 14);
    qint64 width = 0, height = 0, bitCount = 0, compression = 0, imageSize = 0;
    if (infoSize == 12) {   // OS/2 core header
        width = LeU16(d, 18);
        height = LeU16(d, 20);
        bitCount = LeU16(d, 24);
    } else {
        if (infoSize < 40 || d.size() < 38) return false;
        width = std::abs(qint64(LeI32(d, 18)));
        height = std::abs(qint64(LeI32(d, 22)));
        bitCount = LeU16(d, 28);
        compression = LeU32(d, 30);
        imageSize = LeU32(d, 34);
    }
    qint64 needed = 0;
    if (compression == 0 || compression == 3)   // plain rows, or rows with bit masks
        needed = (width * bitCount + 31) / 32 * 4 * height;
    else
        needed = imageSize;   // run-length data: its stated size, when stated
    return qint64(bitsAt) + needed <= length;
}

QPixmap LoadBitmap(const QString& fsPath) {
    if (!BitmapComplete(fsPath)) return {};
    QImageReader reader(fsPath, "bmp");
    reader.setAutoDetectImageFormat(false);   // a PNG named .bmp is not a bitmap
    QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

// An icon file may hold several images. Windows' picture control shows an icon file at
// the system icon size, 32 x 32, so that image is taken when the file has one (the first
// such entry); otherwise the file's first image, as Windows falls back to it. Returns
// the index of that image, or nothing when the directory points outside the file.
std::optional<int> ChooseIconImage(const QString& fsPath) {
    qint64 length = 0;
    const std::optional<QByteArray> head = ReadHead(fsPath, &length);
    if (!head || head->size() < 6) return std::nullopt;
    const QByteArray& d = *head;
    const int count = LeU16(d, 4);
    if (LeU16(d, 0) != 0 || LeU16(d, 2) != 1 || count == 0) return std::nullopt;
    const qint64 directoryEnd = 6 + 16 * qint64(count);
    if (d.size() < directoryEnd) return std::nullopt;
    std::optional<int> chosen;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const quint32 bytes = LeU32(d, entry + 8);
        const quint32 offset = LeU32(d, entry + 12);
        if (bytes == 0 || offset < directoryEnd || qint64(offset) + bytes > length)
            return std::nullopt;
        if (!chosen && quint8(d[entry]) == 32 && quint8(d[entry + 1]) == 32) chosen = i;
    }
    return chosen.value_or(0);
}

QPixmap LoadIcon(const QString& fsPath) {
    const std::optional<int> index = ChooseIconImage(fsPath);
    if (!index) return {};
    QImageReader reader(fsPath, "ico");
    reader.setAutoDetectImageFormat(false);
    if (!reader.jumpToImage(*index)) return {};
    QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

// ---- Enhanced metafiles (libemf2svg) ----

constexpr quint32 kEmrHeader = 1;
constexpr quint32 kEmrEof = 14;
constexpr quint32 kEmfSignature = 0x464D4520;   // " EMF"
constexpr qsizetype kEmfHeaderBytes = 88;

bool LooksLikeEmf(const QByteArray& d) {
    return d.size() >= kEmfHeaderBytes && LeU32(d, 0) == kEmrHeader && LeU32(d, 40) == kEmfSignature;
}

struct EmfShape {
    QSize size;
    bool blank = false;   // no drawing bounds: an empty picture of the frame's size
};

// Checks the header and the chain of records up to EOF before the library sees the
// bytes: the library trusts record sizes in places and reads past the end otherwise.
std::optional<EmfShape> CheckEmf(const QByteArray& d) {
    if (!LooksLikeEmf(d)) return std::nullopt;
    const qsizetype len = d.size();
    bool eof = false;
    qsizetype off = 0;
    while (len - off >= 8) {
        const quint32 type = LeU32(d, off);
        const quint32 size = LeU32(d, off + 4);
        if (size < 8 || size % 4 != 0 || size > quint64(len - off)) return std::nullopt;
        if ((off == 0) != (type == kEmrHeader)) return std::nullopt;
        if (off == 0 && size < kEmfHeaderBytes) return std::nullopt;
        if (type == kEmrEof) {
            eof = true;
            break;
        }
        off += size;
    }
    if (!eof) return std::nullopt;

    // rclBounds: the drawing's extent in device pixels, inclusive.
    const qint64 boundsW = qint64(LeI32(d, 16)) - LeI32(d, 8) + 1;
    const qint64 boundsH = qint64(LeI32(d, 20)) - LeI32(d, 12) + 1;
    // rclFrame: the picture's extent in 0.01 mm, which sets its natural size.
    const qint64 frameW = qint64(LeI32(d, 32)) - LeI32(d, 24);
    const qint64 frameH = qint64(LeI32(d, 36)) - LeI32(d, 28);

    EmfShape shape;
    shape.blank = boundsW <= 0 || boundsH <= 0;
    if (frameW > 0 && frameH > 0)
        shape.size = PixelSize(double(frameW), double(frameH), 2540.0);
    else if (!shape.blank)
        shape.size = PixelSize(double(boundsW), double(boundsH), kScreenDpi);
    if (!shape.size.isValid()) return std::nullopt;
    return shape;
}

QPixmap LoadEmf(const QByteArray& data) {
    const std::optional<EmfShape> shape = CheckEmf(data);
    if (!shape) return {};
    if (shape->blank) {
        QPixmap empty(shape->size);
        empty.fill(Qt::transparent);
        return empty;
    }

    QByteArray copy = data;   // the library takes a writable buffer
    copy.append(QByteArray(kTailPadding, '\0'));
    generatorOptions options{};
    options.nameSpace = nullptr;
    options.verbose = false;
    options.emfplus = false;   // GDI plays only the plain records, and so do we
    options.svgDelimiter = true;
    options.imgWidth = 0;      // keep the drawing's own device units; scaled when drawn
    options.imgHeight = 0;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(copy.data(), size_t(data.size()), &out, &outLength, &options);
    const QByteArray svg = (ok && out) ? QByteArray(out, qsizetype(outLength)) : QByteArray();
    std::free(out);
    return RenderSvg(svg, shape->size);
}

// ---- Windows metafiles (libwmf) ----

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qsizetype kPlaceableBytes = 22;
constexpr qsizetype kWmfHeaderBytes = 18;
// Spare room, in 16-bit words, given to libwmf's record buffer beyond the largest record.
constexpr quint32 kRecordSlack = 256;

struct WmfShape {
    bool placeable = false;
    qsizetype headerAt = 0;
    quint32 largestRecord = 0;   // in 16-bit words
    QSize size;                  // placeable files only
};

// Checks the headers and the chain of records up to the end record before libwmf sees
// the bytes, and takes the natural size from the placeable header when there is one.
std::optional<WmfShape> CheckWmf(const QByteArray& d) {
    WmfShape shape;
    const qsizetype len = d.size();
    shape.placeable = len >= kPlaceableBytes && LeU32(d, 0) == kPlaceableKey;
    shape.headerAt = shape.placeable ? kPlaceableBytes : 0;
    const qsizetype h = shape.headerAt;
    if (len < h + kWmfHeaderBytes) return std::nullopt;
    const quint16 type = LeU16(d, h);
    if ((type != 1 && type != 2) || LeU16(d, h + 2) != 9) return std::nullopt;

    bool eof = false;
    qsizetype off = h + kWmfHeaderBytes;
    while (len - off >= 6) {
        const quint32 words = LeU32(d, off);
        const quint16 function = LeU16(d, off + 4);
        if (words < 3 || quint64(words) * 2 > quint64(len - off)) return std::nullopt;
        shape.largestRecord = std::max(shape.largestRecord, words);
        if (words == 3 && function == 0) {
            eof = true;
            break;
        }
        off += qsizetype(words) * 2;
    }
    if (!eof) return std::nullopt;

    if (shape.placeable) {
        const int width = std::abs(int(LeI16(d, 10)) - int(LeI16(d, 6)));
        const int height = std::abs(int(LeI16(d, 12)) - int(LeI16(d, 8)));
        const int unitsPerInch = LeU16(d, 14);
        shape.size = PixelSize(width, height, unitsPerInch);
        if (!shape.size.isValid()) return std::nullopt;
    }
    return shape;
}

QPixmap LoadWmf(const QByteArray& data) {
    const std::optional<WmfShape> shape = CheckWmf(data);
    if (!shape) return {};

    // libwmf sizes its record buffer from the header's largest-record field and checks
    // records against it; a field smaller than the real records, or one that claims far
    // more, is replaced by what the walk above measured, with some slack, and the zero
    // tail makes room for that slack.
    QByteArray copy = data;
    copy.append(QByteArray(kTailPadding, '\0'));
    const quint32 maxRecord = shape->largestRecord + kRecordSlack;
    const qsizetype field = shape->headerAt + 12;
    for (int i = 0; i < 4; ++i) copy[field + i] = char((maxRecord >> (8 * i)) & 0xFF);

    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR |
                                WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None || !api) return {};
    // Frees everything the library allocated, the SVG text included.
    auto destroy = qScopeGuard([api] { wmf_api_destroy(api); });

    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(copy.data()), long(copy.size())) !=
        wmf_E_None)
        return {};
    wmfD_Rect bbox{};
    if (wmf_scan(api, 0, &bbox) != wmf_E_None) return {};
    if (!(bbox.BR.x > bbox.TL.x) || !(bbox.BR.y > bbox.TL.y)) return {};

    // libwmf measures the drawing itself, not the frame the placeable header states:
    // the drawing's extent is fitted to the picture's natural size, as its own
    // converters do.
    QSize size = shape->size;
    if (!shape->placeable) {
        // Without a placeable header the file states no size; libwmf estimates one.
        unsigned int width = 0, height = 0;
        if (wmf_display_size(api, &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None)
            return {};
        size = PixelSize(width, height, kScreenDpi);
        if (!size.isValid()) return {};
    }

    wmf_svg_t* device = WMF_SVG_GetData(api);
    device->out = wmf_stream_create(api, nullptr);
    if (!device->out) return {};
    device->bbox = bbox;
    device->width = unsigned(size.width());
    device->height = unsigned(size.height());
    device->flags |= WMF_SVG_INLINE_IMAGES;   // never write image files beside us

    const wmf_error_t played = wmf_play(api, 0, &bbox);
    char* text = nullptr;
    unsigned long textLength = 0;
    wmf_stream_destroy(api, device->out, &text, &textLength);
    device->out = nullptr;
    if (played != wmf_E_None || !text) return {};
    return RenderSvg(QByteArray(text, qsizetype(textLength)), size);
}

// A .emf or .wmf file is read by its content, as Windows' metafile picture does: either
// extension may hold either format.
QPixmap LoadMetafile(const QString& fsPath) {
    const std::optional<QByteArray> data = ReadMetafile(fsPath);
    if (!data) return {};
    return LooksLikeEmf(*data) ? LoadEmf(*data) : LoadWmf(*data);
}

}  // namespace

QPixmap LoadGroupPicture(const QString& fsPath) {
    const QFileInfo info(fsPath);
    if (!info.isFile()) return {};
    const QString extension = info.suffix().toLower();
    if (extension == QLatin1String("bmp")) return LoadBitmap(fsPath);
    if (extension == QLatin1String("ico")) return LoadIcon(fsPath);
    if (extension == QLatin1String("emf") || extension == QLatin1String("wmf"))
        return LoadMetafile(fsPath);
    return {};
}

QPixmap PictureCache::Load(const QString& fsPath) {
    const auto found = pictures_.constFind(fsPath);
    if (found != pictures_.constEnd()) return *found;
    ++decodes_;
    QPixmap picture = LoadGroupPicture(fsPath);
    pictures_.insert(fsPath, picture);
    return picture;
}

void PictureCache::Clear() { pictures_.clear(); }

int PictureCache::DecodeCount() const { return decodes_; }
