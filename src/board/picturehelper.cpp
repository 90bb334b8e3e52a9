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

#include "board/metafile.h"
#include "board/picturefile.h"

// libemf2svg calls FcFini() after text drawn by glyph index, which tears fontconfig
// down while Qt still holds on to it, and the process aborts. Here fontconfig simply
// stays up until the process ends.
extern "C" void FcFini() {}

namespace {

// Qt reads a few megabytes here at most; a bitmap that declares more than this is
// given up (and the program's memory limit stands behind it).
constexpr int kAllocationLimitMb = 256;

bool WriteAll(const QByteArray& bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
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
    case PictureKind::Other: break;
    }
    if (image.isNull()) return 1;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return 1;
    return WriteAll(png) ? 0 : 1;
}
