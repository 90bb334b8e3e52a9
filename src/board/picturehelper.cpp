// kumolist-picture FILE: decodes one group picture and writes it to standard output as
// PNG, exit code 0 only then. The program starts it from its own folder for every
// metafile, and for bitmaps and icons too large to read in the program, with a time
// and a memory limit: a file that crashes, hangs or bloats a decoder costs only this
// process, and the board shows the default picture for it.
#include <cstdio>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "board/metafile.h"
#include "board/picturefile.h"
#include "text/regularfile.h"

// libemf2svg calls FcFini() after text drawn by glyph index, which tears fontconfig
// down while Qt still holds on to it, and the process aborts. Here fontconfig simply
// stays up until the process ends.
extern "C" void FcFini() {}

namespace {

// Qt reads a few megabytes here at most; a bitmap that declares more than this is
// given up (and the program's memory limit stands behind it).
constexpr int kAllocationLimitMb = 256;
// An SVG file is read whole; a larger one is no group picture.
constexpr qint64 kMaxSvgBytes = 16 << 20;

bool WriteAll(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

// An SVG drawing at its own size, bounded, on a transparent ground; one of no size is
// drawn at the size of the board's pictures.
QImage DecodeSvg(const QString& path)
{
    QFile file;
    if (!OpenRegularFile(file, path)) return {};
    QSvgRenderer renderer(file.read(kMaxSvgBytes));
    if (!renderer.isValid()) return {};
    QSize size = renderer.defaultSize();
    if (size.isEmpty()) size = QSize(32, 32);
    size = BoundedSize(size.width(), size.height());
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kumolist-picture FILE\n");
        return 2;
    }
    const QString path = QFile::decodeName(argv[1]);
    // Pictures are drawn into memory; text in a metafile needs the font database of a
    // GUI application, never a display. The file name stays out of Qt's option parsing.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);

    QImage image;
    switch (const PictureKind kind = PictureKindOf(path)) {
    case PictureKind::Metafile: image = DecodeMetafileFile(path); break;
    case PictureKind::Bitmap:
    case PictureKind::Icon: image = DecodeRaster(path, kind, kAllocationLimitMb); break;
    case PictureKind::Photo: image = DecodePhoto(path, kAllocationLimitMb); break;
    case PictureKind::Svg: image = DecodeSvg(path); break;
    case PictureKind::Other: break;
    }
    if (image.isNull()) return 1;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return 1;
    return WriteAll(png) ? 0 : 1;
}
