#include "links/linkscan.h"

#include <algorithm>
#include <unordered_map>

#include "db/schema.h"
#include "groupwin/filerow.h"
#include "text/textutil.h"

bool ReadGroups(DatabaseSession& session, int32_t group, std::vector<GroupName>& groups)
{
    groups.clear();
    const std::string condition = group > 0 ? "N=" + IntToStr(group) : "";
    const std::vector<TextRow> rows = session.SelectAllRows("N, GRPNAME", kCatalogueTable, condition, "N");
    if (rows.empty() && session.LastFailure() != DbFailure::None) return false;
    for (const TextRow& row : rows)
        if (row.size() >= 2) groups.push_back({StrToIntOrZero(row[0]), row[1]});
    return true;
}

bool ReadLinkEntries(DatabaseSession& session, const std::vector<GroupName>& groups, std::vector<LinkEntry>& entries)
{
    entries.clear();
    std::unordered_map<int32_t, std::string> subGroupNames;
    for (const GroupName& group : groups) {
        const std::string files = FileTableName(group.number);
        if (!session.TableExists(files)) continue;
        // The first sub-group of a number names the entries filed under it, as in the tree.
        subGroupNames.clear();
        for (const TextRow& row : session.SelectAllRows("N, SGRPNAME", SubGroupTableName(group.number), "", "N"))
            if (row.size() >= 2) subGroupNames.emplace(StrToIntOrZero(row[0]), row[1]);
        const std::vector<TextRow> rows = session.SelectAllRows("*", files, "", "N");
        if (rows.empty() && session.LastFailure() != DbFailure::None) return false;
        for (TextRow row : rows) {
            row.resize(std::max<size_t>(row.size(), kFileColumnCount));
            LinkEntry e;
            e.group = group.number;
            e.groupName = group.name;
            e.number = StrToIntOrZero(row[kFileN]);
            e.subGroup = StrToIntOrZero(row[kFileSN]);
            if (const auto name = subGroupNames.find(e.subGroup); e.subGroup > 0 && name != subGroupNames.end())
                e.subGroupName = name->second;
            e.folder = row[kFilePath];
            e.fileName = row[kFileName];
            e.memo = row[kFileMemo];
            entries.push_back(std::move(e));
        }
    }
    return true;
}

bool StoredFileExists(const std::string& storedPath, const RootMappings& mappings)
{
    return FileExists(LocalPath(storedPath, mappings));
}

std::optional<std::vector<LinkEntry>> MissingEntries(const std::vector<LinkEntry>& entries,
                                                     const RootMappings& mappings, const GoOn& goOn)
{
    std::vector<LinkEntry> missing;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (goOn && !goOn(i)) return std::nullopt;
        if (!StoredFileExists(entries[i].StoredPath(), mappings)) missing.push_back(entries[i]);
    }
    return missing;
}
