#pragma once
// Entries pointed at new folders: a leading folder replaced (a server or a project
// folder moved), or single entries relinked to a file found elsewhere. The change is
// planned first (how many entries change, how many then name an existing file), then
// written one group at a time, each group in one transaction. Texts are CP932.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "store/grouptables.h"
#include "links/linkscan.h"

// The folder with its leading folder oldFolder replaced by newFolder; nullopt when it
// does not begin with oldFolder as whole folders ("/mnt/a" is "/mnt/a/" and does not
// begin "/mnt/ab/"). Both are taken as ending with a separator ("\" for a Windows path,
// "/" otherwise); a separator's byte that is a second byte (ソ, 表) is none. Bytes are
// compared as stored.
std::optional<std::string> ReplaceLeadingFolder(std::string_view folder, std::string_view oldFolder,
                                                std::string_view newFolder);

// Whether the folder names one place wherever the program runs: a Linux path from "/",
// a drive's root ("X:\" or "X:/") or a network share ("\\server\share"). A relative one
// would be read from wherever each copy happens to start.
bool IsAbsoluteFolder(std::string_view folder);

// Why a change cannot be written in the form its entry was stored in.
enum class FormProblem {
    None,
    NoSharedFolder,   // stored in the Windows form; the new folder lies below no shared folder
    NotWindowsName,   // the Windows form is needed, but a name holds "\" or ":"
};

struct FolderChange {
    LinkEntry entry;
    std::string newFolder;
    std::string newFileName = {};                 // empty: the name stays (a renamed file found by content)
    EntryProblem problem = EntryProblem::None;   // why the new folder cannot be stored
    FormProblem form = FormProblem::None;        // why it cannot be stored in the entry's form
    bool fileExists = false;                     // a file is found at the new path
    bool Storable() const { return problem == EntryProblem::None && form == FormProblem::None; }
};

struct ReplacementPlan {
    std::vector<FolderChange> changes;   // in group order
    int Changing() const;                // changes that can be stored
    int Refused() const;                 // changes refused (control character, too long, form)
    int Existing() const;                // storable changes whose new path names a file
};

// The change of every entry whose folder begins with oldFolder where this system sees
// both (LocalPath: a shared folder in either form, a drive letter in either case, "/"
// and "\" alike in Windows forms), as the check of missing files sees them. An entry
// stored in the Windows form keeps it, and is refused (form) when the new folder has
// none; any other is stored as registration stores it: in the Windows form below a
// shared folder.
ReplacementPlan PlanReplacement(const std::vector<LinkEntry>& entries, std::string_view oldFolder,
                                std::string_view newFolder, const RootMappings& mappings);

// Probes the new path of each storable change; false when goOn stopped it.
bool ProbeNewPaths(ReplacementPlan& plan, const RootMappings& mappings, const GoOn& goOn);

struct ApplyResult {
    int changed = 0;                          // entries written
    std::vector<GroupName> failedGroups;      // left as they were
    bool lost = false;                        // the connection was lost: the groups from there on are among them
};

// Writes the storable changes, one transaction per group: a group whose update fails
// (another copy holds a row, or deleted or changed the entry meanwhile) is rolled back
// whole and named; the other groups stay written. A group deleted or renamed meanwhile is
// left as it is too.
ApplyResult ApplyFolderChanges(DatabaseSession& session, const std::vector<FolderChange>& changes);
