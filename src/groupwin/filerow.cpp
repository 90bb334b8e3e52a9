#include "groupwin/filerow.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <sys/stat.h>

#include "text/cp932.h"
#include "text/textutil.h"

namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

bool IsNumberColumn(int column) { return column == kCellSize || column == kCellNumber || column == kCellSubGroup; }

} // namespace

FileProbe ProbeFile(const std::string& cp932Path)
{
    FileProbe probe;
    if (cp932Path.empty() || cp932Path[0] != '/') return probe;
    struct stat st {};
    if (::stat(ToFsName(cp932Path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return probe;
    probe.found = true;
    probe.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    probe.modified = static_cast<std::int64_t>(st.st_mtime);
    return probe;
}

bool FileExists(const std::string& cp932Path) { return ProbeFile(cp932Path).found; }

std::string FormatFileTime(std::int64_t secondsSinceEpoch)
{
    const auto t = static_cast<std::time_t>(secondsSinceEpoch);
    struct tm local {};
    if (!localtime_r(&t, &local)) return {};
    const int year = local.tm_year + 1900;
    if (year < 0 || year > 9999) return {};
    // By hand: a group of ten thousand entries formats ten thousand times, and
    // snprintf costs more than reading the row did.
    std::string text = "0000/00/00 00:00:00";
    auto put = [&text](size_t at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    put(0, year, 4);
    put(5, local.tm_mon + 1, 2);
    put(8, local.tm_mday, 2);
    put(11, local.tm_hour, 2);
    put(14, local.tm_min, 2);
    put(17, local.tm_sec, 2);
    return text;
}

FileRow MakeFileRow(int32_t number, int32_t subGroup, const std::string& storedPath, const std::string& memo,
                    const std::string& addedBy, const RootMappings* mappings)
{
    const std::string fullPath = mappings ? LocalPath(storedPath, *mappings) : storedPath;
    FileRow row;
    const FileProbe probe = ProbeFile(fullPath);
    row.exists = probe.found;

    auto& c = row.cells;
    c[kCellFolder] = PathFolder(fullPath);
    c[kCellName] = PathFileName(fullPath);
    c[kCellSize] = probe.found ? std::to_string(probe.size) : "0";
    c[kCellType] = FileTypeOf(c[kCellName]);
    c[kCellTime] = probe.found ? FormatFileTime(probe.modified) : "<No File>";
    c[kCellMemo] = memo;
    c[kCellAddedBy] = addedBy;
    c[kCellNumber] = IntToStr(number);
    c[kCellSubGroup] = IntToStr(subGroup);
    return row;
}

int CompareListText(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    bool trail = false;   // the byte is the second of a double-byte character: no letter
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (!trail) {
            x = FoldAscii(x);
            y = FoldAscii(y);
        }
        if (x != y) return x < y ? -1 : 1;
        // Equal bytes so far, so both texts agree on where characters start.
        trail = !trail && IsLeadByte(static_cast<unsigned char>(a[i]));
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int CompareFileRows(const FileRow& a, const FileRow& b, int column)
{
    if (column < 0 || column >= kFileCellCount) return 0;
    const std::string& x = a.cells[static_cast<size_t>(column)];
    const std::string& y = b.cells[static_cast<size_t>(column)];
    if (IsNumberColumn(column)) {
        const int32_t p = StrToIntOrZero(x), q = StrToIntOrZero(y);
        return q < p ? 1 : (p == q ? 0 : -1);
    }
    return CompareListText(x, y);
}
