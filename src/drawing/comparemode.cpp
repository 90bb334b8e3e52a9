// The thumbnailer's --compare mode: two drawings compared, told as one line of JSON and,
// asked for, drawn over each other into a PNG. Exit codes as cmp's: 0 the same, 1
// different, 2 trouble (a drawing that cannot be read whole, a picture not written).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <QFileInfo>
#include <QSaveFile>

#include "drawing/comparerender.h"
#include "drawing/drawingfile.h"

int CompareMode(int argc, char* argv[]);

namespace {

constexpr int kMinSize = 16;
constexpr int kMaxSize = 4096;

int Trouble(const char* what, const char* path)
{
    std::fprintf(stderr, "kumolist-thumbnailer: %s: %s\n", path, what);
    return 2;
}

} // namespace

// argv: program --compare A B [--png OUT -s SIZE] [--show first|second|both] [--no-legend] [--details]
//       [--view X0 Y0 X1 Y1] (the part of the paper drawn, millimetres; else all of it)
int CompareMode(int argc, char* argv[])
{
    if (argc < 4) return Trouble("two drawings are needed", "--compare");
    const char* paths[2] = {argv[2], argv[3]};
    const char* png = nullptr;
    int size = 1024;
    OverlayLayers layers;
    bool legend = true, details = false;
    DrawingBox view;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--png" && more) {
            png = argv[++i];
        } else if (a == "-s" && more) {
            const char* v = argv[++i];
            const auto [ptr, ec] = std::from_chars(v, v + std::strlen(v), size);
            if (ec != std::errc() || *ptr || size < kMinSize || size > kMaxSize) return Trouble("no size", v);
        } else if (a == "--show" && more) {
            const std::string v = argv[++i];
            layers.first = v != "second";
            layers.second = v != "first";
            if (v != "first" && v != "second" && v != "both") return Trouble("first, second or both", "--show");
        } else if (a == "--view" && i + 4 < argc) {
            double v[4];
            for (double& n : v) {
                const char* text = argv[++i];
                const auto [ptr, ec] = std::from_chars(text, text + std::strlen(text), n);
                if (ec != std::errc() || *ptr || !(std::fabs(n) < 1e9)) return Trouble("no view", text);
            }
            if (!(v[2] - v[0] > 1e-6 && v[3] - v[1] > 1e-6)) return Trouble("an empty view", "--view");
            view.Add(v[0], v[1]);
            view.Add(v[2], v[3]);
        } else if (a == "--no-legend") {
            legend = false;
        } else if (a == "--details") {
            details = true;
        } else {
            return Trouble("unknown option", argv[i]);
        }
    }
    JwwDrawing drawings[2];
    for (int k = 0; k < 2; ++k) {
        if (!ReadDrawingFile(paths[k], drawings[k])) return Trouble("not a drawing this program can read", paths[k]);
        // Comparing what was read before damage would call a damaged copy the same.
        if (!drawings[k].complete) return Trouble("damaged: it cannot be read to its end", paths[k]);
    }
    const DrawingComparison c = CompareDrawings(std::move(drawings[0]), std::move(drawings[1]));
    if (png) {
        const DrawingBox frame = view.empty ? ComparisonFrame(c) : view;
        const QString first = QFileInfo(QFile::decodeName(paths[0])).fileName();
        const QString second = QFileInfo(QFile::decodeName(paths[1])).fileName();
        const QImage image = RenderComparison(c, frame, ComparisonPictureSize(frame, size), layers, legend ? first : QString(),
                                              legend ? second : QString());
        QSaveFile out(QFile::decodeName(png));
        if (image.isNull() || !out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG") || !out.commit())
            return Trouble("the picture could not be written", png);
    }
    std::printf("%s\n", ComparisonJson(c, details).c_str());
    if (std::fflush(stdout) != 0) return 2;
    return c.Same() ? 0 : 1;
}
