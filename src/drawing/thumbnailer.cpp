// kumolist-thumbnailer: thumbnails of Jw_cad drawings, for the program and for the
// desktop's file managers, and of the photos and scans (PNG, JPEG, BMP, GIF, TIFF,
// WebP) the program's groups hold beside them.
//
//   kumolist-thumbnailer -s SIZE INPUT OUTPUT.png   one thumbnail (the desktop's convention)
//   kumolist-thumbnailer --info INPUT               one line of JSON: format, version, counts, extents, the frame pictures fit
//   kumolist-thumbnailer --compare A B [--png OUT.png -s SIZE]   two drawings compared (comparemode.cpp)
//   kumolist-thumbnailer --text INPUT               one line of JSON: the memo and every text
//   kumolist-thumbnailer --batch [--file-seconds N] lines "SIZE<TAB>INPUT<TAB>OUTPUT" on
//       standard input, one answer "ok<TAB>INPUT" or "fail<TAB>INPUT" per line
//
// Drawings come from anywhere, so the process limits itself (no core files, bounded
// memory and time) besides the limits its starter sets; in batch mode every file has
// its own time, and a file that runs over it ends the process with exit code 75, which
// the program then starts again for the files after it. Thumbnails carry the keys of the desktop's
// thumbnail cache and are written through a temporary file, readable by the owner only.
#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>

#include "drawing/drawingfile.h"
#include "drawing/drawingrender.h"
#include "drawing/drawingtexts.h"
#include "drawing/pdfdocument.h"
#include "drawing/picturethumb.h"
#include "drawing/thumbcache.h"
#include "text/sanitized.h"

int CompareMode(int argc, char* argv[]);

namespace {

// Thumbnails the desktop asks for are 128 to 1024 pixels; the program's preview, zoomed
// in, up to 2048 (16 MB of pixels, well inside the address space below).
constexpr int kMinSize = 16;
constexpr int kMaxSize = kLargestThumbnailPixels;
constexpr int kDefaultFileSeconds = 5;
constexpr int kMaxFileSeconds = 600;
// One request line: a size and two paths.
constexpr std::size_t kMaxRequestBytes = 3 * 16384;
constexpr rlim_t kAddressSpace = rlim_t(1024) * 1024 * 1024;
// A picture of the most pixels read (256 MB) and what Qt holds beside it.
constexpr int kPictureAllocationMb = 320;

// The exit code of a file that ran out of its time (EX_TEMPFAIL): the program tries
// such a drawing again later rather than taking it for damaged.
constexpr int kOutOfTimeExit = 75;

void OutOfTime(int) { ::_exit(kOutOfTimeExit); }

void LimitSelf()
{
    struct sigaction timeUp {};
    timeUp.sa_handler = OutOfTime;
    ::sigemptyset(&timeUp.sa_mask);
    ::sigaction(SIGXCPU, &timeUp, nullptr);
    ::sigaction(SIGALRM, &timeUp, nullptr);
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    rlimit space{};
    // The sanitizers reserve terabytes of address space for themselves.
    if (!kSanitized && ::getrlimit(RLIMIT_AS, &space) == 0 && (space.rlim_max == RLIM_INFINITY || space.rlim_max > kAddressSpace)) {
        space.rlim_cur = space.rlim_max = kAddressSpace;
        ::setrlimit(RLIMIT_AS, &space);
    }
}

// From now on this process may spend `seconds` more of CPU time and of wall time; past
// either the kernel ends it.
void AllowSeconds(int seconds)
{
    rusage used{};
    rlimit cpu{};
    if (::getrusage(RUSAGE_SELF, &used) == 0 && ::getrlimit(RLIMIT_CPU, &cpu) == 0) {
        const rlim_t spent = rlim_t(used.ru_utime.tv_sec + used.ru_stime.tv_sec) + 1;
        rlim_t want = spent + rlim_t(seconds);
        if (cpu.rlim_max != RLIM_INFINITY && want > cpu.rlim_max) want = cpu.rlim_max;
        cpu.rlim_cur = want;
        ::setrlimit(RLIMIT_CPU, &cpu);
    }
    ::alarm(unsigned(seconds) * 2);
}

bool ParseInt(const std::string& text, int& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string Number(double v)
{
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

bool IsPdf(const std::string& input) { return DrawingFormatOfPath(input) == DrawingFormat::Pdf; }

// A plot's texts, given to the one writer of the --text line as the texts of a drawing:
// each box from the page's lower left, as a drawing's paper lies.
std::optional<std::string> PdfTextsJson(const std::string& input)
{
    std::vector<PdfText> found;
    int pages = 0;
    double width = 0, height = 0;
    if (!ReadPdfInfo(input, pages, width, height) || !ReadPdfTexts(input, found)) return std::nullopt;
    JwwDrawing plot;
    plot.entities.texts.reserve(found.size());
    for (const PdfText& t : found) {
        DrawingText text;
        const QString content = QString::fromUtf8(t.text.data(), qsizetype(t.text.size()));
        text.content = {std::string(reinterpret_cast<const char*>(content.utf16()), std::size_t(content.size()) * 2), true};
        text.x1 = t.x;
        text.x2 = t.x + t.width;
        text.y1 = text.y2 = height - (t.y + t.height);
        text.sizeY = t.height;
        plot.entities.texts.push_back(std::move(text));
    }
    return DrawingTextsJson(plot, "pdf");
}

int PdfInfo(const char* input)
{
    int pages = 0;
    double w = 0, h = 0;
    if (!ReadPdfInfo(input, pages, w, h)) {
        std::fprintf(stderr, "kumolist-thumbnailer: %s: not a drawing this program can read\n", input);
        return 1;
    }
    std::printf("{\"format\": \"pdf\", \"pages\": %d, \"extents_mm\": [0, 0, %s, %s]}\n", pages, Number(w).c_str(),
                Number(h).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Info(const char* input)
{
    if (IsPdf(input)) return PdfInfo(input);
    JwwDrawing d;
    if (!ReadDrawingFile(input, d)) {
        std::fprintf(stderr, "kumolist-thumbnailer: %s: not a drawing this program can read\n", input);
        return 1;
    }
    const DrawingEntities& e = d.entities;
    const DrawingBox box = DrawingExtents(d, BoxOf::Everything);
    const std::string format = DrawingFormatName(DrawingFormatOfPath(input));
    // The old format has no version field.
    std::string json = "{\"format\": \"" + format + "\", " +
                       (format == "jwc" ? std::string() : "\"version\": " + std::to_string(d.version) + ", ") +
                       "\"entities\": {\"line\": " + std::to_string(e.lines.size()) + ", \"arc\": " + std::to_string(e.arcs.size()) +
                       ", \"point\": " + std::to_string(e.points.size()) + ", \"text\": " + std::to_string(e.texts.size()) +
                       ", \"solid\": " + std::to_string(e.solids.size()) + ", \"block_insert\": " +
                       std::to_string(e.inserts.size()) + ", \"dimension\": " + std::to_string(e.dimensions.size()) +
                       "}, \"block_definitions\": " + std::to_string(d.blocks.size()) + ", \"extents_mm\": ";
    json += box.empty ? std::string("null")
                      : "[" + Number(box.minX) + ", " + Number(box.minY) + ", " + Number(box.maxX) + ", " + Number(box.maxY) + "]";
    const DrawingBox frame = PictureFrame(d);
    json += ", \"frame_mm\": [" + Number(frame.minX) + ", " + Number(frame.minY) + ", " + Number(frame.maxX) + ", " +
            Number(frame.maxY) + "]";
    std::printf("%s}\n", json.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// One thumbnail of input into output; false when the file is no drawing (or, by its
// name, no picture) or the thumbnail could not be written. inPlace: output is a file
// manager's, written as it stands; else the program's cache, written by a rename.
bool Thumbnail(int size, const std::string& input, const std::string& output, bool inPlace, int page = 1)
{
    const QString in = QFile::decodeName(input.c_str());
    std::int64_t mtime = 0;
    QImage image;
    if (IsPictureFileType(("." + QFileInfo(in).suffix().toLower()).toStdString())) {
        image = ReadPictureThumbnail(input, size, &mtime);
    } else if (IsPdf(input)) {
        image = RenderPdfPage(input, page, size, &mtime);
    } else {
        JwwDrawing d;
        if (!ReadDrawingFile(input, d, &mtime)) return false;
        image = RenderThumbnail(d, size);
    }
    const QString out = QFile::decodeName(output.c_str());
    return inPlace ? WriteThumbnailPngInPlace(out, image, FileUri(in), mtime) : WriteThumbnailPng(out, image, FileUri(in), mtime);
}

bool ReadRequest(std::string& line)
{
    line.clear();
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (line.size() <= kMaxRequestBytes) line += char(c);
    }
    return c != EOF || !line.empty();
}

int Batch(int fileSeconds)
{
    std::string line;
    while (ReadRequest(line)) {
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string::npos ? tab1 : line.find('\t', tab1 + 1);
        const std::string input = tab2 == std::string::npos ? std::string() : line.substr(tab1 + 1, tab2 - tab1 - 1);
        const std::size_t tab3 = tab2 == std::string::npos ? tab2 : line.find('\t', tab2 + 1);
        int size = 0, page = 1;
        bool ok = tab2 != std::string::npos && line.size() <= kMaxRequestBytes && ParseInt(line.substr(0, tab1), size) &&
                  size >= kMinSize && size <= kMaxSize &&
                  (tab3 == std::string::npos || (ParseInt(line.substr(tab3 + 1), page) && page >= 1));
        if (ok) {
            AllowSeconds(fileSeconds);
            ok = Thumbnail(size, input, line.substr(tab2 + 1, tab3 == std::string::npos ? tab3 : tab3 - tab2 - 1), false, page);
            ::alarm(0);
        }
        std::printf("%s\t%s\n", ok ? "ok" : "fail", input.c_str());
        if (std::fflush(stdout) != 0) return 1;
    }
    return 0;
}

// A runtime folder Qt takes as it is: ours alone, and there. GNOME's sandbox passes the
// desktop's on but does not bind it.
bool UsableRuntimeFolder(const QByteArray& folder)
{
    struct stat st {};
    return folder.startsWith('/') && ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: kumolist-thumbnailer -s SIZE INPUT OUTPUT.png\n"
                 "       kumolist-thumbnailer --info INPUT\n"
                 "       kumolist-thumbnailer --text INPUT\n"
                 "       kumolist-thumbnailer --batch [--file-seconds N]\n"
                 "       kumolist-thumbnailer --compare A B [--png OUT.png -s SIZE]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    LimitSelf();
    // Nothing on standard output but answers; a broken pipe ends the process quietly.
    ::signal(SIGPIPE, SIG_DFL);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--info" && argc == 3) {
        AllowSeconds(kDefaultFileSeconds * 2);
        return Info(argv[2]);
    }
    if (mode == "--text" && argc == 3) {
        AllowSeconds(kDefaultFileSeconds * 2);
        const std::optional<std::string> texts = IsPdf(argv[2]) ? PdfTextsJson(argv[2]) : ReadDrawingTextsJson(argv[2]);
        if (!texts) return 1;
        std::printf("%s\n", texts->c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    int size = 0, fileSeconds = kDefaultFileSeconds;
    const bool single = mode == "-s" && argc == 5 && ParseInt(argv[2], size) && size >= kMinSize && size <= kMaxSize;
    const bool batch = mode == "--batch" &&
                       (argc == 2 || (argc == 4 && std::strcmp(argv[2], "--file-seconds") == 0 &&
                                      ParseInt(argv[3], fileSeconds) && fileSeconds >= 1 && fileSeconds <= kMaxFileSeconds));
    const bool compare = mode == "--compare";
    if (!single && !batch && !compare) return Usage();
    if (single || compare) AllowSeconds(kDefaultFileSeconds * 2);

    // Texts need the font database of a GUI application, never a display. The paths
    // stay out of Qt's option parsing.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    // Starting, Qt looks into the runtime folder and makes one (with a warning) where the
    // environment names none or one that is not there, as in file managers' sandboxes
    // (which bind none), and those keep it: it looks into a folder of its own here, gone
    // again once Qt has started.
    std::string runtime;
    if (!UsableRuntimeFolder(qgetenv("XDG_RUNTIME_DIR"))) {
        const QByteArray tmp = qgetenv("TMPDIR");
        std::string pattern = (tmp.startsWith('/') ? tmp.toStdString() : std::string("/tmp")) + "/kumolist-thumbnailer-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            runtime = pattern;
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
        }
    }
    QGuiApplication app(qtArgc, qtArgv);
    if (!runtime.empty()) ::rmdir(runtime.c_str());
    QImageReader::setAllocationLimit(kPictureAllocationMb);
    if (batch) return Batch(fileSeconds);
    if (compare) return CompareMode(argc, argv);
    return Thumbnail(size, argv[3], argv[4], true) ? 0 : 1;
}
