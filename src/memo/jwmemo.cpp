#include "memo/jwmemo.h"

#include <cerrno>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>

#include "memo/countedstring.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

constexpr std::string_view kOldDrawingMagic = "jw_cad(c)data.......";
constexpr std::string_view kOldSymbolMagic = "jw_cad(c)sym........";
constexpr std::string_view kDrawingMagic = "JwwData.";

// Where the old layouts keep their two memo fields: after the magic and 20 unused bytes.
constexpr std::size_t kOldUnusedBytes = 20;
constexpr std::size_t kOldMemoField = 32;
// The version number between the magic and the memo of the newer layout.
constexpr std::size_t kDrawingUnusedBytes = 4;

// The 65 535-byte plain form that a 16-bit length of 0xFFFF has always been read as.
constexpr std::size_t kLongestPlainLegacy = 0xFFFF;

unsigned Byte(const std::string& bytes, std::size_t i) { return static_cast<unsigned char>(bytes[i]); }

unsigned ReadByte(MemoFile& file) { return Byte(file.Read(1), 0); }

unsigned ReadWord(MemoFile& file)
{
    const std::string b = file.Read(2);
    return Byte(b, 0) | Byte(b, 1) << 8;
}

std::uint32_t DWord(const std::string& b)
{
    return static_cast<std::uint32_t>(Byte(b, 0) | Byte(b, 1) << 8 | Byte(b, 2) << 16) |
           static_cast<std::uint32_t>(Byte(b, 3)) << 24;
}

// The Unicode form: `units` UTF-16LE code units.
std::string ReadUnicodeUnits(MemoFile& file, std::uint32_t units)
{
    if (units > kMaxMemoRead / 2) throw MemoReadError("Unicode memo longer than a memo can be");
    const std::string raw = file.Read(static_cast<std::size_t>(units) * 2);
    std::u16string text(static_cast<std::size_t>(units), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(Byte(raw, 2 * i) | Byte(raw, 2 * i + 1) << 8);
    return FromQLossy(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

// A field of the old layouts: its text ends at the first zero byte, if any.
std::string UpToZero(const std::string& field) { return field.substr(0, field.find('\0')); }

bool ReadOldLayout(const std::string& cp932Path, std::string_view magic, std::string& memo) noexcept
{
    memo.clear();
    try {
        MemoFile file(cp932Path);
        if (!file.IsOpen()) return false;
        // The magic holds no zero byte, so "text up to the first zero equals the magic"
        // is plain equality of the bytes.
        if (file.Read(magic.size()) != magic) return false;
        file.Read(kOldUnusedBytes);
        const std::string part1 = UpToZero(file.Read(kOldMemoField));
        const std::string part2 = UpToZero(file.Read(kOldMemoField));
        memo = CleanText(part1) + " " + CleanText(part2);
        return true;
    } catch (...) {
        memo.clear();
        return false;
    }
}

// Extension of the file name (not of a folder) from its last full stop, upper-cased;
// empty when the name has none. '/' and '.' never occur inside a CP932 double-byte
// character, so a byte search is safe.
std::string UpperExtension(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return UpperText(name.substr(dot));
}

} // namespace

MemoFile::MemoFile(const std::string& cp932Path)
{
    const std::string fsName = ToFsName(cp932Path);
    // A zero byte would cut the name short and open some other file.
    if (fsName.empty() || fsName.find('\0') != std::string::npos) return;
    // Read-only and without any lock, so Jw_cad may have the drawing open for writing
    // while we read it (on Linux a plain open does not keep others out). O_NONBLOCK
    // keeps a FIFO under a drawing's name from hanging the open; only regular files
    // are read, and for them the flag changes nothing.
    const int fd = ::open(fsName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return;
    }
    fd_ = fd;
}

MemoFile::~MemoFile()
{
    if (fd_ >= 0) ::close(fd_);
}

std::uint64_t MemoFile::Remaining() const
{
    if (fd_ < 0) return 0;
    struct stat st {};
    const off_t pos = ::lseek(fd_, 0, SEEK_CUR);
    if (::fstat(fd_, &st) != 0 || pos < 0 || st.st_size < pos) return 0;
    return static_cast<std::uint64_t>(st.st_size - pos);
}

std::string MemoFile::Read(std::size_t count)
{
    if (fd_ < 0) throw MemoReadError("file not open");
    if (count > Remaining()) throw MemoReadError("file ends early");
    std::string out(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd_, out.data() + got, count - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw MemoReadError("read failed");
        }
        if (n == 0) throw MemoReadError("file ends early");   // cut while we read
        got += static_cast<std::size_t>(n);
    }
    return out;
}

std::string ReadCountedString(MemoFile& file)
{
    const CountedLength length = ReadCountedLength([&] { return ReadByte(file); }, [&] { return ReadWord(file); },
                                                   [&] { return DWord(file.Read(4)); });
    if (length.unicode) return ReadUnicodeUnits(file, length.count);
    if (!length.longForm) return file.Read(length.count);
    // 0xFF 0xFFFF is both the start of the 32-bit length form and, as files have always
    // been read here, a plain 65 535-byte text. The 32-bit form is taken when its
    // length is one a memo can have and the file holds it; otherwise the old reading.
    // A plain text rarely starts with the two zero bytes that a length within the bound
    // needs.
    if (length.count <= kMaxMemoRead && length.count <= file.Remaining()) return file.Read(length.count);
    std::string head(4, '\0');
    for (int i = 0; i < 4; ++i) head[i] = static_cast<char>(length.count >> (8 * i) & 0xFF);
    return head + file.Read(kLongestPlainLegacy - head.size());
}

bool ReadJwcMemo(const std::string& cp932Path, std::string& memo) noexcept
{
    return ReadOldLayout(cp932Path, kOldDrawingMagic, memo);
}

bool ReadJwkMemo(const std::string& cp932Path, std::string& memo) noexcept
{
    return ReadOldLayout(cp932Path, kOldSymbolMagic, memo);
}

bool ReadJwwMemo(const std::string& cp932Path, std::string& memo) noexcept
{
    memo.clear();
    try {
        MemoFile file(cp932Path);
        if (!file.IsOpen()) return false;
        if (file.Read(kDrawingMagic.size()) != kDrawingMagic) return false;
        file.Read(kDrawingUnusedBytes);
        memo = ReadCountedString(file);
        return true;
    } catch (...) {
        memo.clear();
        return false;
    }
}

std::string ReadJwMemo(const std::string& cp932Path) noexcept
{
    try {
        const std::string ext = UpperExtension(cp932Path);
        std::string memo;
        if (ext == ".JWC") return ReadJwcMemo(cp932Path, memo) ? memo : std::string();
        if (ext == ".JWK") return ReadJwkMemo(cp932Path, memo) ? memo : std::string();
        if (ext == ".JWW" || ext == ".JW$") return ReadJwwMemo(cp932Path, memo) ? memo : std::string();
        // Backups keep the extension of neither kind: try the old drawing, then the newer.
        if (ext == ".BAK" || ext.compare(0, 3, ".BK") == 0) {
            if (ReadJwcMemo(cp932Path, memo)) return memo;
            if (ReadJwwMemo(cp932Path, memo)) return memo;
        }
        return {};
    } catch (...) {
        return {};
    }
}
