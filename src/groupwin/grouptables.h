#pragma once
// What the group window needs of a group's two tables (their statements are in
// store/grouptables.h): the file list as rows probed on disk, the sub-group tree, the
// entries prepared for registration, and the entry clipboard. Texts are CP932.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/schema.h"
#include "db/session.h"
#include "groupwin/filerow.h"
#include "store/grouptables.h"
#include "store/writes.h"

// The list of a group: every entry when subGroup is 0, else the entries filed directly
// under that sub-group; by entry number, each file probed on disk.
// Paths below a root shared with Windows PCs are shown where this system finds them.
// nullopt when the entries could not be read (never an empty list for a failed read).
std::optional<std::vector<FileRow>> ReadFileRows(DatabaseSession& session, int32_t group, int32_t subGroup,
                                                 const RootMappings* mappings = nullptr);

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
// nullopt when the sub-groups could not be read.
std::optional<std::vector<SubGroupNode>> ReadSubGroupTree(DatabaseSession& session, int32_t group);

// --- file entries --------------------------------------------------------------------

struct EntryOutcome {
    EntryProblem problem = EntryProblem::NotStored;
    FileRow row;          // the row as the list shows it
    EntryRecord record;   // the row as it is stored (numbered when stored)
    bool Stored() const { return problem == EntryProblem::None; }
};

// The entry as it would be stored under the sub-group, its number not yet given: the
// path split as the list shows it, the memo cleaned and cut to its column at a
// character boundary. Below a folder shared with Windows PCs the folder is the Windows
// form that is stored (ShowLocally gives the list's back). problem says whether its
// names can be stored.
EntryOutcome PrepareEntry(int32_t subGroup, const std::string& fullPath, const std::string& memo,
                          const std::string& userName, const RootMappings* mappings = nullptr);
// The folder of a prepared row as this system finds it, for the list.
void ShowLocally(FileRow& row, const RootMappings* mappings);

// Files one entry under the sub-group: the largest entry number plus one (taken
// afresh when another copy of the program took it meanwhile), the path split as the
// list shows it, the memo cleaned and cut to its column at a character boundary. A path
// below a folder shared with Windows PCs is stored in its Windows form (the row keeps
// this system's).
EntryOutcome StoreEntry(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                        const std::string& memo, const std::string& userName,
                        const RootMappings* mappings = nullptr);
// StoreEntry with the memo that the drawing holds.
EntryOutcome RegisterFile(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                          const std::string& userName, const RootMappings* mappings = nullptr);

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
