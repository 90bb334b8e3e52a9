// libFuzzer target for the memo reader. Each input is written to one file, which is
// then read under every extension (through links to it) and by each reader directly,
// and the results are checked against each other.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "memo/jwmemo.h"

namespace {

namespace fs = std::filesystem;

const char* const kExtensions[] = {".jww", ".JW$", ".JWC", ".jwk", ".BAK", ".bk1", ".jws", ""};

// A folder of this process with the file "f" and links "f.jww", "f.JWC", ... to it.
// ASCII names, so the CP932 path and the file-system name are the same.
const std::string& Folder()
{
    static const std::string folder = [] {
        const fs::path dir = fs::temp_directory_path() / ("kumo-fuzz-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        for (const char* ext : kExtensions) {
            if (*ext == '\0') continue;
            const fs::path link = dir / (std::string("f") + ext);
            fs::remove(link);
            fs::create_symlink("f", link);
        }
        return dir.string();
    }();
    return folder;
}

void Check(bool ok)
{
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file = Folder() + "/f";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    std::string jwc, jwk, jww;
    const bool c = ReadJwcMemo(file, jwc);
    const bool k = ReadJwkMemo(file, jwk);
    const bool w = ReadJwwMemo(file, jww);
    Check(c || jwc.empty());
    Check(k || jwk.empty());
    Check(w || jww.empty());
    Check(!(c && k));
    Check(jwc.size() <= 65 && jwk.size() <= 65);
    // Plain memos are bytes of the file after its 13-byte head; a Unicode memo takes at
    // most two bytes of CP932 for each two bytes of UTF-16 it was read from.
    Check(!w || jww.size() + 13 <= size);
    Check(jww.size() <= kMaxMemoRead);

    const std::string backup = c ? jwc : jww;
    const std::string expected[] = {jww, jww, jwc, jwk, backup, backup, "", ""};
    for (std::size_t i = 0; i < std::size(kExtensions); ++i)
        Check(ReadJwMemo(file + kExtensions[i]) == expected[i]);

    // The counted string on its own, from the start of the file, twice in a row.
    MemoFile counted(file);
    Check(counted.IsOpen());
    try {
        const std::string first = ReadCountedString(counted);
        Check(first.size() < size);
        ReadCountedString(counted);
    } catch (const MemoReadError&) {
    }
    return 0;
}
