#pragma once
// What the group window does with a group's two tables: its file table (one row per
// file entry) and its sub-group table (the tree under the group), both in db/schema.h.
// The window asks the user and shows the results; these build and run the statements.
// Texts are CP932.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/commands.h"
#include "db/schema.h"
#include "db/session.h"
#include "groupwin/filerow.h"

// How often a new row is tried with a fresh number when another copy of the program
// took the number first (a single insert outside a unit of work).
inline constexpr int kNumberAttempts = 5;

// How long a write of the group window that clashes with another copy (a number taken
// meanwhile, a row it holds) is tried again before it gives up.
inline constexpr int kClashRetryMs = 20000;

// Creates whichever of the group's two tables is missing. True when both exist after.
bool EnsureGroupTables(DatabaseSession& session, int32_t group);

// Every row of the table ("*", ordered by N), as many as the select found.
std::vector<TextRow> ReadTableRows(DatabaseSession& session, const std::string& table, const std::string& condition);

// The list of a group: every entry when subGroup is 0, else the entries filed directly
// under that sub-group; by entry number, each file probed on disk.
// Paths below a root shared with Windows PCs are shown where this system finds them.
std::vector<FileRow> ReadFileRows(DatabaseSession& session, int32_t group, int32_t subGroup,
                                  const NetworkPathLookup& getNetworkPath, const RootMappings* mappings = nullptr);

// --- the sub-group tree --------------------------------------------------------------

struct SubGroupNode {
    int32_t number = 0;
    std::string name;
    std::string label;    // name + " :" + number, the root "root :0"
    int parent = -1;      // index of the parent node; -1 for the root
    std::vector<int> children;   // in increasing number
};

// Label of a node: name, blank, colon, number.
std::string NodeLabel(const std::string& name, const std::string& numberText);

// Nodes in the order made, the root first: every row under the node of its PARENT_N,
// or under the root when no node has that number yet (0, NULL, a missing parent).
// Rows come ordered by N.
std::vector<SubGroupNode> BuildSubGroupTree(const std::vector<TextRow>& subGroupRows);
std::vector<SubGroupNode> ReadSubGroupTree(DatabaseSession& session, int32_t group);

// Inserts a row of the sub-group table; the number of the new sub-group, 0 when
// nothing was stored. Inside a unit of work a number taken meanwhile is not tried
// again: the unit's snapshot would not see it (RunGroupWrite tries the unit again).
int32_t CreateSubGroup(DatabaseSession& session, int32_t group, const std::string& name,
                       const std::string& userName, int32_t parent);
bool RenameSubGroup(DatabaseSession& session, int32_t group, int32_t number, const std::string& name);
// Entries filed directly under the sub-group; -1 when the count failed.
int CountSubGroupEntries(DatabaseSession& session, int32_t group, int32_t number);
// Deletes the sub-group's row and the entries filed directly under it, both or neither:
// in the caller's unit of work, or in one of its own. found: whether the row was there;
// entries: how many entries went. False when a statement failed.
bool DeleteSubGroup(DatabaseSession& session, int32_t group, int32_t number, bool* found = nullptr,
                    long* entries = nullptr);

// --- file entries --------------------------------------------------------------------

// Why a file was not registered.
enum class EntryProblem {
    None,
    ControlCharacter,   // its name or folder holds a control character
    TooLong,            // its name or folder is longer than its column
    NotStored,          // the database refused it
};

// Whether a file name and folder can be stored as they are. Quotation marks can: the
// literals double a single one.
EntryProblem CheckEntryNames(const std::string& fileName, const std::string& folder);

struct EntryOutcome {
    EntryProblem problem = EntryProblem::NotStored;
    FileRow row;   // the row as stored, when stored
    bool Stored() const { return problem == EntryProblem::None; }
};

// The entry as it would be stored under the sub-group, its number not yet given: the
// path split as the list shows it, the memo cleaned and cut to its column at a
// character boundary. Below a folder shared with Windows PCs the folder is the Windows
// form that is stored (ShowLocally gives the list's back). problem says whether its
// names can be stored.
EntryOutcome PrepareEntry(int32_t subGroup, const std::string& fullPath, const std::string& memo,
                          const std::string& userName, const NetworkPathLookup& getNetworkPath,
                          const RootMappings* mappings = nullptr);
// The folder of a prepared row as this system finds it, for the list.
void ShowLocally(FileRow& row, const RootMappings* mappings);

// Files one entry under the sub-group: the largest entry number plus one (taken
// afresh when another copy of the program took it meanwhile), the path split as the
// list shows it, the memo cleaned and cut to its column at a character boundary. A path
// below a folder shared with Windows PCs is stored in its Windows form (the row keeps
// this system's).
EntryOutcome StoreEntry(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                        const std::string& memo, const std::string& userName, const NetworkPathLookup& getNetworkPath,
                        const RootMappings* mappings = nullptr);
// StoreEntry with the memo that the drawing holds.
EntryOutcome RegisterFile(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                          const std::string& userName, const NetworkPathLookup& getNetworkPath,
                          const RootMappings* mappings = nullptr);

bool RemoveEntry(DatabaseSession& session, int32_t group, int32_t number);
// Files the entries under another sub-group (SN), a few hundred by each update; entries
// another copy removed meanwhile are passed over. moved: how many were moved. False when an update
// failed otherwise.
bool MoveEntries(DatabaseSession& session, int32_t group, const std::vector<int32_t>& numbers, int32_t subGroup,
                 int* moved);

// The memo as it is stored: cleaned, cut to the column at a character boundary.
std::string StoredMemo(const std::string& memo);
bool UpdateEntryMemo(DatabaseSession& session, int32_t group, int32_t number, const std::string& storedMemo);

// --- the writes of the group window ------------------------------------------------

// How a write of the group window ended; nothing is written unless Done.
enum class WriteOutcome {
    Done,
    GroupChanged,   // the group is no longer the one the window shows: another copy
                    // deleted it, perhaps giving its number to a new group
    SubGroupGone,   // another copy deleted the sub-group it files under
    CountChanged,   // a sub-group delete found another number of entries than was asked about
    Failed,
};

// The group as the window shows it, read from the catalogue (empty when there is none).
ShownGroup ReadShownGroup(DatabaseSession& session, int32_t group);

// Inside the caller's unit of work: the group's catalogue row still holds what was
// shown, and sub-group subGroup (above 0) still exists, its row locked until the unit
// ends so that no other copy deletes it under the entries filed there.
WriteOutcome CheckWriteTarget(DatabaseSession& session, const ShownGroup& group, int32_t subGroup);

// Runs write as one unit of work after CheckWriteTarget, committed when write returns
// true, else rolled back. retryClashes: when a number that another copy took meanwhile
// or a row it holds stops the unit, the unit is tried again, after a short random pause,
// for at most kClashRetryMs. A failure whose cause was the group or sub-group going
// away is told as such.
WriteOutcome RunGroupWrite(DatabaseSession& session, const ShownGroup& group, int32_t subGroup, bool retryClashes,
                           const std::function<bool()>& write);

// Deletes sub-group `number` and its entries as one unit, only while it holds exactly
// `counted` entries (the number the user was asked about); CountChanged otherwise.
WriteOutcome DeleteSubGroupAsCounted(DatabaseSession& session, const ShownGroup& group, int32_t number, int counted);

// Stores entries prepared by PrepareEntry (names checked) under the sub-group as one unit:
// one SELECT MAX(N), one insert each with the following numbers, one commit; a clash
// with another copy is tried again with a fresh maximum. The numbers are written into
// the rows when they are stored.
WriteOutcome StoreEntryRows(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                            std::vector<FileRow>& rows);

// Entries copied for pasting, in this group or another: full path and memo of each.
// Program-wide; the main window owns it.
struct CopiedEntry {
    std::string path;
    std::string memo;
};

class EntryClipboard {
public:
    void Clear() { entries_.clear(); }
    void Add(std::string path, std::string memo) { entries_.push_back({std::move(path), std::move(memo)}); }
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::vector<CopiedEntry>& Entries() const { return entries_; }

private:
    std::vector<CopiedEntry> entries_;
};
