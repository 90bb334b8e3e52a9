#include "board/metafile.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include <QFile>
#include <QPainter>
#include <QScopeGuard>
#include <QSvgRenderer>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>

#include "board/picturefile.h"
#include "text/regularfile.h"

namespace {

// Metafiles measure themselves in physical units; the board shows them at the size
// Windows gives them on a standard screen of 96 pixels per inch.
constexpr double kScreenDpi = 96.0;
// Zero bytes after the copy handed to the C decoders, so that a record that reads a few
// fields past its declared end reads zeros instead of foreign memory.
constexpr int kTailPadding = 4096;

// Physical extent (in units of which `perInch` make an inch) to screen pixels, rounded
// like Windows' MulDiv, within the bound.
QSize PixelSize(double width, double height, double perInch)
{
    if (!(perInch > 0)) return {};
    return BoundedSize(width * kScreenDpi / perInch, height * kScreenDpi / perInch);
}

QImage RenderSvg(const QByteArray& svg, QSize size)
{
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
    return image;
}

// ---- Enhanced metafiles (libemf2svg) ----

constexpr quint32 kEmrHeader = 1;
constexpr quint32 kEmrEof = 14;
constexpr quint32 kEmfSignature = 0x464D4520;   // " EMF"
constexpr qsizetype kEmfHeaderBytes = 88;

bool LooksLikeEmf(const QByteArray& d)
{
    return d.size() >= kEmfHeaderBytes && LeU32(d, 0) == kEmrHeader && LeU32(d, 40) == kEmfSignature;
}

struct EmfShape {
    QSize size;
    bool blank = false;   // no drawing bounds: an empty picture of the frame's size
};

// Checks the header and the chain of records up to EOF before the library sees the
// bytes: the library trusts record sizes in places and reads past the end otherwise.
std::optional<EmfShape> CheckEmf(const QByteArray& d)
{
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

QImage DecodeEmf(const QByteArray& data)
{
    const std::optional<EmfShape> shape = CheckEmf(data);
    if (!shape) return {};
    if (shape->blank) {
        QImage empty(shape->size, QImage::Format_ARGB32_Premultiplied);
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

// Where the device-independent bitmap starts in a record that carries one (bytes after
// the record's 6-byte head), or -1 for records without one.
qsizetype BitmapAt(quint16 function, quint32 words)
{
    // Records of the blit kind carry a bitmap only when they are longer than their
    // bare form, (function >> 8) + 3 words.
    const bool longerThanBare = words != quint32(function >> 8) + 3;
    switch (function) {
    case 0x0940: return longerThanBare ? 16 : -1;   // DIBBITBLT
    case 0x0B41: return longerThanBare ? 20 : -1;   // DIBSTRETCHBLT
    case 0x0F43: return 22;                         // STRETCHDIB
    case 0x0D33: return 18;                         // SETDIBTODEV
    case 0x0142: return 4;                          // DIBCREATEPATTERNBRUSH
    default: return -1;
    }
}

// libwmf spins without end on a bitmap whose header size is below its own, reads past
// the record on one that claims more than the record holds, and allocates what the
// header declares, however little the record holds.
constexpr qint64 kMaxBitmapPixels = 16 * 1024 * 1024;

bool BitmapHeaderFits(const QByteArray& d, qsizetype recordAt, quint32 words, quint16 function)
{
    const qsizetype at = BitmapAt(function, words);
    if (at < 0) return true;
    const qsizetype start = recordAt + 6 + at;
    const qint64 room = recordAt + qint64(words) * 2 - start;
    if (room < 12) return false;
    const quint32 headerSize = LeU32(d, start);
    if ((headerSize != 12 && headerSize < 40) || qint64(headerSize) > room) return false;
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0, colours = 0;
    if (headerSize == 12) {   // OS/2 core header
        width = LeU16(d, start + 4);
        height = LeU16(d, start + 6);
        bits = LeU16(d, start + 10);
    } else {
        width = LeI32(d, start + 4);
        height = std::abs(qint64(LeI32(d, start + 8)));
        bits = LeU16(d, start + 14);
        compression = LeU32(d, start + 16);
        imageSize = LeU32(d, start + 20);
        colours = LeU32(d, start + 32);
    }
    if (width <= 0 || height <= 0 || width * height > kMaxBitmapPixels) return false;
    // The colour table and the pixel data lie in the record: the table's stated length,
    // the data's stated size, and the size of plain rows.
    const qint64 data = room - headerSize;
    if (imageSize > data || colours * 4 > data) return false;
    const bool plainRows = compression == 0 || compression == 3;
    if (plainRows && (width * bits + 31) / 32 * 4 * height > data) return false;
    return true;
}

// Checks the headers and the chain of records up to the end record before libwmf sees
// the bytes, and takes the natural size from the placeable header when there is one.
std::optional<WmfShape> CheckWmf(const QByteArray& d)
{
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
        if (!BitmapHeaderFits(d, off, words, function)) return std::nullopt;
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

QImage DecodeWmf(const QByteArray& data)
{
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
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None || !api) return {};
    // Frees everything the library allocated, the SVG text included.
    auto destroy = qScopeGuard([api] { wmf_api_destroy(api); });

    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(copy.data()), long(copy.size())) != wmf_E_None) return {};
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
        if (wmf_display_size(api, &width, &height, kScreenDpi, kScreenDpi) != wmf_E_None) return {};
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

} // namespace

QImage DecodeMetafile(const QByteArray& bytes)
{
    return LooksLikeEmf(bytes) ? DecodeEmf(bytes) : DecodeWmf(bytes);
}

QImage DecodeMetafileFile(const QString& fsPath)
{
    QFile file;
    if (!OpenRegularFile(file, fsPath) || file.size() > kMaxMetafileBytes) return {};
    const QByteArray data = file.read(kMaxMetafileBytes + 1);
    if (file.error() != QFileDevice::NoError || data.size() > kMaxMetafileBytes) return {};
    return DecodeMetafile(data);
}
