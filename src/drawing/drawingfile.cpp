#include "drawing/drawingfile.h"

#include "drawing/jwcdrawing.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "drawing/dxfdrawing.h"

namespace {

bool SameType(std::string_view type, std::string_view lower)
{
    return type.size() == lower.size() &&
           std::equal(type.begin(), type.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
           });
}

std::string_view TypeOfPath(const std::string& fsPath)
{
    const std::size_t slash = fsPath.rfind('/');
    const std::size_t dot = fsPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return std::string_view(fsPath).substr(dot);
}

} // namespace

DrawingFormat DrawingFormatOfType(std::string_view type)
{
    if (SameType(type, ".jww")) return DrawingFormat::Jww;
    if (SameType(type, ".jwc")) return DrawingFormat::Jwc;
    if (SameType(type, ".dxf")) return DrawingFormat::Dxf;
    if (SameType(type, ".pdf")) return DrawingFormat::Pdf;
    return DrawingFormat::Unknown;
}

DrawingFormat DrawingFormatOfPath(const std::string& fsPath) { return DrawingFormatOfType(TypeOfPath(fsPath)); }

const char* DrawingFormatName(DrawingFormat format)
{
    switch (format) {
    case DrawingFormat::Jwc: return "jwc";
    case DrawingFormat::Dxf: return "dxf";
    case DrawingFormat::Pdf: return "pdf";
    case DrawingFormat::Jww:
    case DrawingFormat::Unknown: break;
    }
    return "jww";
}

bool ReadDrawingBytes(const std::string& fsPath, std::string& bytes, std::int64_t* mtime) noexcept
{
    bytes.clear();
    if (mtime) *mtime = 0;
    if (fsPath.empty() || fsPath.find('\0') != std::string::npos) return false;
    // Never waits: O_NONBLOCK keeps a FIFO under a drawing's name from hanging the open,
    // and only a regular file is read.
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    if (mtime) *mtime = static_cast<std::int64_t>(st.st_mtime);
    try {
        bytes.resize(static_cast<std::size_t>(std::min<off_t>(st.st_size, off_t(kMaxDrawingBytes))));
    } catch (...) {
        ::close(fd);
        return false;
    }
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;                            // cut while we read: what came is read
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return true;
}

bool ReadDrawingFile(const std::string& fsPath, JwwDrawing& drawing, std::int64_t* mtime) noexcept
{
    drawing = JwwDrawing{};
    std::string bytes;
    if (!ReadDrawingBytes(fsPath, bytes, mtime)) return false;
    switch (DrawingFormatOfPath(fsPath)) {
    case DrawingFormat::Jww:
    case DrawingFormat::Unknown: return ReadJwwDrawing(bytes, drawing);
    case DrawingFormat::Jwc: return ReadJwcDrawing(bytes, drawing);
    case DrawingFormat::Dxf: return ReadDxfDrawing(bytes, drawing);
    case DrawingFormat::Pdf: return false;
    }
    return false;
}
