#include "groupwin/listrows.h"

#include <cstdlib>

DrawingListEntry ListEntryOf(const FileRow& row)
{
    DrawingListEntry e;
    e.name = row.cells[kCellName];
    e.folder = row.cells[kCellFolder];
    e.memo = row.cells[kCellMemo];
    e.addedBy = row.cells[kCellAddedBy];
    e.exists = row.exists;
    if (row.exists) {
        e.time = row.cells[kCellTime];
        e.size = std::strtoull(row.cells[kCellSize].c_str(), nullptr, 10);
    }
    // The row's folder is where this system finds the file already.
    e.localPath = row.FullPath();
    return e;
}
