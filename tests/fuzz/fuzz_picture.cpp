// libFuzzer target for the picture decoders the helper runs: the metafile checks and
// libraries, and the bitmap and icon readers with their header checks. Every picture
// that comes out must keep within the size bound.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <unistd.h>

#include "board/metafile.h"
#include "board/picturefile.h"

// As in the helper: fontconfig stays up for Qt.
extern "C" void FcFini() {}

namespace {

namespace fs = std::filesystem;

void Check(bool ok)
{
    if (!ok) __builtin_trap();
}

bool Bounded(const QImage& image)
{
    return image.isNull() || (image.width() >= 1 && image.height() >= 1 && image.width() <= kMaxPictureSide &&
                              image.height() <= kMaxPictureSide);
}

// f.bmp and f.ico in a folder of this process, rewritten for each input.
const std::string& Folder()
{
    static const std::string folder = [] {
        const fs::path dir = fs::temp_directory_path() / ("kumo-fuzz-picture-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        return dir.string();
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Text in metafiles needs a GUI application's font database; no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    static QGuiApplication app(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(Bounded(DecodeMetafile(bytes)));

    for (const char* name : {"f.bmp", "f.ico"}) {
        const std::string path = Folder() + "/" + name;
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(bytes.constData(), std::streamsize(bytes.size()));
        }
        const QString file = QString::fromStdString(path);
        const PictureKind kind = PictureKindOf(file);
        const std::optional<QSize> declared = DeclaredRasterSize(file, kind);
        const QImage image = DecodeRaster(file, kind, 64);
        Check(Bounded(image));
        Check(image.isNull() || declared);   // nothing is decoded that the checks refused
    }
    return 0;
}
