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

// What follows the leading folder (taken whole, as AsFolder gives it); nullopt when the
// folder does not begin with it. Equal bytes up to a separator of its own: the folder's
// characters start where the leading folder's do, so the match ends on a character
// boundary.
std::optional<std::string> RestBelow(std::string_view folder, std::string_view leading)
{
    if (folder.substr(0, leading.size()) != leading) return std::nullopt;
    return std::string(folder.substr(leading.size()));
}

// A folder as this system sees it, so that the forms of one folder compare equal: a
// shared folder's Windows form read as its Linux folder; another Windows form with "\"
// for "/" and its drive letter in upper case, as Windows takes them alike.
std::string SeenForm(std::string_view folder, const RootMappings& mappings)
{
    std::string seen = LocalPath(folder, mappings);
    if (!IsWindowsPath(seen)) return seen;
    seen = SwapSeparators(seen, '/', '\\');
    if (seen[0] >= 'a' && seen[0] <= 'z') seen[0] = static_cast<char>(seen[0] - 'a' + 'A');
    return seen;
}

bool BelowSharedFolder(std::string_view folder, const RootMappings& mappings)
{
    for (const RootMapping& m : mappings)
        if (IsUsableMapping(m) && RestBelow(folder, AsFolder(m.linuxFolder))) return true;
    return false;
}

} // namespace

std::optional<std::string> ReplaceLeadingFolder(std::string_view folder, std::string_view oldFolder,
                                                std::string_view newFolder)
{
    if (oldFolder.empty()) return std::nullopt;
    const std::optional<std::string> rest = RestBelow(folder, AsFolder(oldFolder));
    if (!rest) return std::nullopt;
    return AsFolder(newFolder) + *rest;
}

bool IsAbsoluteFolder(std::string_view folder)
{
    if (!folder.empty() && folder[0] == '/') return true;
    if (folder.size() >= 3 && folder[0] != '\\' && IsWindowsPath(folder) && (folder[2] == '\\' || folder[2] == '/'))
        return true;   // a drive letter and its root
    if (folder.size() < 2 || folder[0] != '\\' || folder[1] != '\\') return false;
    // "\\server\share": a server and a share, each named.
    int names = 0;
    size_t length = 0;
    for (size_t i = 2; i < folder.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(folder[i]))) {
            ++i;
            ++length;
        } else if (folder[i] == '\\' || folder[i] == '/') {
            if (length == 0) return false;
            if (++names == 2) return true;
            length = 0;
        } else {
            ++length;
        }
    }
    return names == 1 && length > 0;
}

int ReplacementPlan::Changing() const
{
    int n = 0;
    for (const FolderChange& c : changes) n += c.Storable();
    return n;
}

int ReplacementPlan::Refused() const { return static_cast<int>(changes.size()) - Changing(); }

int ReplacementPlan::Existing() const
{
    int n = 0;
    for (const FolderChange& c : changes) n += c.Storable() && c.fileExists;
    return n;
}

ReplacementPlan PlanReplacement(const std::vector<LinkEntry>& entries, std::string_view oldFolder,
                                std::string_view newFolder, const RootMappings& mappings)
{
    ReplacementPlan plan;
    if (oldFolder.empty()) return plan;
    const std::string from = SeenForm(AsFolder(oldFolder), mappings);
    const std::string to = SeenForm(AsFolder(newFolder), mappings);
    const bool toWindows = IsWindowsPath(to);
    for (const LinkEntry& e : entries) {
        const std::string seen = SeenForm(e.folder, mappings);
        std::optional<std::string> rest = RestBelow(seen, from);
        if (!rest) continue;
        FolderChange change{e, {}};
        // The rest's separators become the new folder's kind; a Linux name holding "\"
        // or ":" has no Windows form.
        if (toWindows && !IsWindowsPath(seen)) {
            if (HoldsCharacter(*rest, "\\:")) change.form = FormProblem::NotWindowsName;
            rest = SwapSeparators(*rest, '/', '\\');
        } else if (!toWindows && IsWindowsPath(seen)) {
            rest = SwapSeparators(*rest, '\\', '/');
        }
        const std::string local = to + *rest;
        if (toWindows) {
            change.newFolder = local;   // a Windows folder that no Linux folder stands for
        } else {
            change.newFolder = PathFolder(StoredPath(local + e.fileName, mappings));
            // Colleagues on Windows PCs find the entry only in the form it has.
            if (IsWindowsPath(e.folder) && !IsWindowsPath(change.newFolder))
                change.form = BelowSharedFolder(to, mappings) ? FormProblem::NotWindowsName : FormProblem::NoSharedFolder;
        }
        // Nothing to do where the entry already names the new place: the same stored
        // folder, or a form it cannot leave for one it cannot take.
        if (change.form == FormProblem::None ? change.newFolder == e.folder : local == seen) continue;
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
        if (c.Storable()) c.fileExists = StoredFileExists(c.newFolder + c.entry.fileName, mappings);
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
                if (!c.Storable()) continue;
                // The folder read before must still be there: another copy may have
                // changed the entry since, and its change is not overwritten.
                const std::string was = c.entry.folder.empty() ? "(PATH_NAME IS NULL OR PATH_NAME='')"
                                                                : "PATH_NAME=" + TextLiteral(c.entry.folder);
                std::string set = "PATH_NAME=" + TextLiteral(c.newFolder);
                std::string where = NumberIs(c.entry.number) + " AND " + was;
                if (!c.newFileName.empty()) {
                    set += ", FILE_NAME=" + TextLiteral(c.newFileName);
                    where += " AND FILE_NAME=" + TextLiteral(c.entry.fileName);
                }
                if (!session.UpdateRecordText(table, set, where))
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
