#include "links/linkscan.h"

#include <algorithm>
#include <unordered_map>

#include "db/schema.h"
#include "store/grouptables.h"
#include "store/reads.h"
#include "groupwin/filerow.h"
#include "text/textutil.h"

bool ReadGroups(DatabaseSession& session, int32_t group, std::vector<GroupName>& groups)
{
    groups.clear();
    const std::string condition = group > 0 ? NumberIs(group) : "";
    const std::optional<std::vector<TextRow>> rows = ReadRows(session, "N, GRPNAME", kCatalogueTable, condition, "N");
    if (!rows) return false;
    for (const TextRow& row : *rows)
        if (row.size() >= 2) groups.push_back({StrToIntOrZero(row[0]), row[1]});
    return true;
}

bool ReadLinkEntries(DatabaseSession& session, const std::vector<GroupName>& groups, std::vector<LinkEntry>& entries)
{
    entries.clear();
    std::unordered_map<int32_t, std::string> subGroupNames;
    // Any read that fails fails the whole: a group not read is no group without entries.
    auto fail = [&] {
        entries.clear();
        return false;
    };
    for (const GroupName& group : groups) {
        const std::string files = FileTableName(group.number);
        const std::optional<bool> present = TablePresent(session, files);
        if (!present) return fail();
        if (!*present) continue;
        // The first sub-group of a number names the entries filed under it, as in the tree.
        subGroupNames.clear();
        const std::optional<bool> hasSubGroups = TablePresent(session, SubGroupTableName(group.number));
        if (!hasSubGroups) return fail();
        if (*hasSubGroups) {
            const std::optional<std::vector<TextRow>> subGroups =
                ReadRows(session, "N, SGRPNAME", SubGroupTableName(group.number), "", "N");
            if (!subGroups) return fail();
            for (const TextRow& row : *subGroups)
                if (row.size() >= 2) subGroupNames.emplace(StrToIntOrZero(row[0]), row[1]);
        }
        const std::optional<std::vector<TextRow>> rows = ReadNumberedRows(session, files, "");
        if (!rows) return fail();
        for (TextRow row : *rows) {
            row.resize(std::max<size_t>(row.size(), kFileColumnCount));
            const EntryRecord record = EntryFromRow(row).value_or(EntryRecord{});
            LinkEntry e;
            e.group = group.number;
            e.groupName = group.name;
            e.number = record.number;
            e.subGroup = record.subGroup;
            if (const auto name = subGroupNames.find(e.subGroup); e.subGroup > 0 && name != subGroupNames.end())
                e.subGroupName = name->second;
            e.folder = record.folder;
            e.fileName = record.fileName;
            e.memo = record.memo;
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
