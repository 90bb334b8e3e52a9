#pragma once
// The texts of the drawings the entries name, read once for every copy of the program
// (the table: db/schema.h). A row is keyed by an entry's folder and file name as stored,
// and remembers the file's size and time when it was read, so that a changed file is
// read again and an unchanged one never. Texts of the key are CP932; the texts stored
// are the thumbnailer's line of JSON (UTF-8).
#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "store/writes.h"

struct DrawingTextKey {
    std::string folder;   // PATH_NAME
    std::string name;     // FILE_NAME
    auto operator<=>(const DrawingTextKey&) const = default;
};

enum class DrawingTextState : int { Read = 0, Unreadable = 1, Missing = 2 };

// A row as the planning needs it (the texts themselves are not read).
struct StoredDrawingText {
    std::int64_t size = -1, time = -1;
    int state = 0;
    std::string stamp;   // as stored; empty for NULL
};
using StoredDrawingTexts = std::map<DrawingTextKey, StoredDrawingText>;

// The file as this PC sees it. A missing file is stored with size and time -1.
struct DrawingFileSeen {
    bool present = false;
    std::int64_t size = -1, time = -1;
};

// Whether a key can be stored: within its columns, without a zero byte.
bool StorableDrawingTextKey(const DrawingTextKey& key);

// Makes the table (and its stamp sequence) when missing; true when it is there after.
// Two copies making it at once: the one that loses finds the other's.
bool EnsureDrawingTextTable(DatabaseSession& session);

// Every row but its texts; nullopt when the table could not be read.
std::optional<StoredDrawingTexts> ReadStoredDrawingTexts(DatabaseSession& session);

// What to do with one file: read it (no row, or its size or time changed, a file that
// was unreadable or missing included), store it as missing (no row yet), or leave the
// row. A file this PC does not find never replaces a row: another PC may reach it.
enum class DrawingTextPlan { Read, StoreMissing, Keep };
DrawingTextPlan PlanDrawingText(const StoredDrawingText* row, const DrawingFileSeen& file);

// One file's result. texts: the line read (UTF-8), for a file read.
struct DrawingTextResult {
    DrawingTextKey key;
    DrawingFileSeen file;
    DrawingTextState state = DrawingTextState::Read;
    std::string_view texts;
};

// One file's result, inserted or updated as one statement with a new stamp: all or
// nothing. Another copy storing the same file at once is no failure: after a clash the
// row is written once more, and when it clashes again the other's row stands (Yielded).
enum class DrawingTextStored { Stored, Yielded, Failed, Lost };
DrawingTextStored StoreDrawingText(DatabaseSession& session, const DrawingTextResult& result,
                                   const ClashPause& pause = SleepPause);

// Several results in one unit of work, each whole, so that a server's commit is not
// waited for once per file; after a clash or a refused result each is stored alone as
// above. Lost: none of them was stored.
DrawingTextStored StoreDrawingTexts(DatabaseSession& session, const std::vector<DrawingTextResult>& results,
                                    const ClashPause& pause = SleepPause);

// Deletes the rows of `seen` that no key of `named` (the entries of every group) names,
// each only while it still has the stamp seen: a row stored again since is left. The
// number deleted; nullopt when a delete failed (those before it stay deleted).
std::optional<long> DropUnnamedDrawingTexts(DatabaseSession& session, const StoredDrawingTexts& seen,
                                            const std::set<DrawingTextKey>& named);
