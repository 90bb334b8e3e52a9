#pragma once
// The memo that Jw_cad keeps inside its drawing and symbol files, read so that it can
// become the memo of a file entry. Paths and memos are CP932 byte strings. Only the
// few bytes in front of the memo are read; the file is never written.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// Most bytes read for one memo in the longer length forms (the 32-bit plain form and
// the Unicode form). A memo is a few lines of text; a larger length is not a memo, and
// the bound keeps a damaged file from making us allocate or read much.
inline constexpr std::size_t kMaxMemoRead = 64 * 1024;

// Memo of the file, the reader chosen by the extension (case-insensitive): .JWC, .JWK,
// .JWW and .JW$, and .BAK/.BK* (old drawing first, then the newer one). Empty when the
// file has none, is of another kind, is too short or cannot be opened. Never throws.
std::string ReadJwMemo(const std::string& cp932Path) noexcept;

// One layout each: old drawing ("jw_cad(c)data......."), old symbol
// ("jw_cad(c)sym........"), drawing ("JwwData."). True and the memo when the layout is
// found and the memo read completely; otherwise false and an empty memo.
// The old layouts give their two memo fields cleaned and joined by one space; the
// newer one gives the memo as stored (callers clean it), Unicode memos as CP932.
bool ReadJwcMemo(const std::string& cp932Path, std::string& memo) noexcept;
bool ReadJwkMemo(const std::string& cp932Path, std::string& memo) noexcept;
bool ReadJwwMemo(const std::string& cp932Path, std::string& memo) noexcept;

// A file that ends early, a read error, or a length that cannot be a memo.
class MemoReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A drawing file opened for reading; closed when the object goes.
class MemoFile {
public:
    explicit MemoFile(const std::string& cp932Path);
    ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    // False when the file is missing, not a regular file, or cannot be opened.
    bool IsOpen() const { return fd_ >= 0; }

    // Exactly count bytes from the current position; MemoReadError when the file ends
    // first (checked before reading, so a huge count costs nothing) or a read fails.
    std::string Read(std::size_t count);

    // Bytes between the current position and the end of the file.
    std::uint64_t Remaining() const;

private:
    int fd_ = -1;
};

// The length-prefixed string at the file's position: one length byte; 0xFF and a
// 16-bit length; 0xFF, 0xFFFF and a 32-bit length; or, after 0xFF 0xFFFE, the same
// length forms counting UTF-16LE code units, returned as CP932 ("?" for a character
// CP932 lacks). Throws MemoReadError.
std::string ReadCountedString(MemoFile& file);
