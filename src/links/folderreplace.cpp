#include "links/folderreplace.h"

#include "db/schema.h"
#include "text/pathname.h"
#include "text/textutil.h"

namespace {

// The folder ending with a separator of its kind, as a character of its own.
std::string AsFolder(std::string_view folder)
{
    const char separator = IsWindowsPath(folder) ? '\\' : '/';
    bool ends = false;
    for (size_t i = 0; i < folder.size(); ++i) {
        ends = folder[i] == separator || (separator == '\\' && folder[i] == '/');
        if (IsLeadByte(static_cast<unsigned char>(folder[i]))) {
            ++i;
            ends = false;
        }
    }
    std::string out(folder);
    if (!ends) out += separator;
    return out;
}

} // namespace

std::optional<std::string> ReplaceLeadingFolder(std::string_view folder, std::string_view oldFolder,
                                                std::string_view newFolder)
{
    if (oldFolder.empty()) return std::nullopt;
    const std::string from = AsFolder(oldFolder);
    if (folder.substr(0, from.size()) != from) return std::nullopt;
    // Equal bytes up to a separator of its own: the folder's characters start where
    // the old folder's do, so the match ends on a character boundary.
    return AsFolder(newFolder) + std::string(folder.substr(from.size()));
}

int ReplacementPlan::Changing() const
{
    int n = 0;
    for (const FolderChange& c : changes) n += c.problem == EntryProblem::None;
    return n;
}

int ReplacementPlan::Refused() const { return static_cast<int>(changes.size()) - Changing(); }

int ReplacementPlan::Existing() const
{
    int n = 0;
    for (const FolderChange& c : changes) n += c.problem == EntryProblem::None && c.fileExists;
    return n;
}

ReplacementPlan PlanReplacement(const std::vector<LinkEntry>& entries, std::string_view oldFolder,
                                std::string_view newFolder, const RootMappings& mappings)
{
    ReplacementPlan plan;
    for (const LinkEntry& e : entries) {
        const std::optional<std::string> replaced = ReplaceLeadingFolder(e.folder, oldFolder, newFolder);
        if (!replaced) continue;
        std::string stored = PathFolder(StoredPath(*replaced + e.fileName, mappings));
        if (stored == e.folder) continue;
        FolderChange change{e, std::move(stored)};
        change.problem = CheckEntryNames(e.fileName, change.newFolder);
        plan.changes.push_back(std::move(change));
    }
    return plan;
}

bool ProbeNewPaths(ReplacementPlan& plan, const RootMappings& mappings, const GoOn& goOn)
{
    for (size_t i = 0; i < plan.changes.size(); ++i) {
        if (goOn && !goOn(i)) return false;
        FolderChange& c = plan.changes[i];
        if (c.problem == EntryProblem::None) c.fileExists = StoredFileExists(c.newFolder + c.entry.fileName, mappings);
    }
    return true;
}

ApplyResult ApplyFolderChanges(DatabaseSession& session, const std::vector<FolderChange>& changes)
{
    ApplyResult result;
    size_t i = 0;
    while (i < changes.size()) {
        const LinkEntry& first = changes[i].entry;
        size_t end = i;
        while (end < changes.size() && changes[end].entry.group == first.group) ++end;
        if (result.lost) {
            result.failedGroups.push_back({first.group, first.groupName});
            i = end;
            continue;
        }
        int written = 0;
        const std::string table = FileTableName(first.group);
        WriteTarget target;
        target.group.number = first.group;
        target.group.name = first.groupName;
        target.nameOnly = true;
        const WriteOutcome out = RunGroupWrite(session, target, false, [&] {
            written = 0;
            for (size_t k = i; k < end; ++k) {
                const FolderChange& c = changes[k];
                if (c.problem != EntryProblem::None) continue;
                // The folder read before must still be there: another copy may have
                // changed the entry since, and its change is not overwritten.
                const std::string was = c.entry.folder.empty() ? "(PATH_NAME IS NULL OR PATH_NAME='')"
                                                                : "PATH_NAME=" + TextLiteral(c.entry.folder);
                if (!session.UpdateRecordText(table, "PATH_NAME=" + TextLiteral(c.newFolder),
                                              NumberIs(c.entry.number) + " AND " + was))
                    return false;
                ++written;
            }
            return true;
        });
        if (out == WriteOutcome::Done) {
            result.changed += written;
        } else {
            result.lost = out == WriteOutcome::Lost;
            result.failedGroups.push_back({first.group, first.groupName});
        }
        i = end;
    }
    return result;
}
