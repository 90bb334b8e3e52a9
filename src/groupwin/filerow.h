#pragma once
// One row of the group window's file list: a file entry as the disk shows it now.
// Texts are CP932, as the file table holds them. No widgets here, so that opening a
// group can be tested and timed without a window.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "text/pathname.h"
#include "text/rootmap.h"

// The nine cells of a row, in column order.
enum FileCell : int {
    kCellName,       // file name (the row's caption)
    kCellFolder,     // folder, ending with its separator
    kCellSize,       // bytes, "0" when the file is not found
    kCellType,       // extension with its dot, lower case
    kCellTime,       // "yyyy/mm/dd hh:mm:ss", "<No File>" when not found
    kCellMemo,
    kCellAddedBy,
    kCellNumber,     // entry number N
    kCellSubGroup,   // sub-group number SN
    kFileCellCount
};

struct FileRow {
    std::array<std::string, kFileCellCount> cells;
    bool exists = false;   // a file was found at the path: the row shows its type's icon

    // Folder + file name: what the row refers to.
    std::string FullPath() const { return cells[kCellFolder] + cells[kCellName]; }
};

// --- paths ---------------------------------------------------------------------------

// --- the disk ------------------------------------------------------------------------

struct FileProbe {
    bool found = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;   // seconds since the epoch
};

// Looks the file up without reading it. Only an absolute path names a file here: a
// relative one (such as a Windows path) would be looked up in the current folder.
// Folders are not files.
FileProbe ProbeFile(const std::string& cp932Path);
bool FileExists(const std::string& cp932Path);

// "yyyy/mm/dd hh:mm:ss" in local time.
std::string FormatFileTime(std::int64_t secondsSinceEpoch);

// The row of one entry: probes the file at fullPath, splits the path into folder and
// name. A path below a root shared with Windows PCs
// is probed and shown where this system finds it (text/rootmap.h).
FileRow MakeFileRow(int32_t number, int32_t subGroup, const std::string& fullPath, const std::string& memo,
                    const std::string& addedBy, const RootMappings* mappings = nullptr);

// --- order ---------------------------------------------------------------------------

// Text order of the list: ASCII letters without regard to case, every other byte by
// its value (double-byte characters whole), a prefix before the longer text.
int CompareListText(std::string_view a, std::string_view b);

// -1, 0 or 1: size, entry number and sub-group number as numbers, the other columns as
// text. Sorting is always ascending.
int CompareFileRows(const FileRow& a, const FileRow& b, int column);
