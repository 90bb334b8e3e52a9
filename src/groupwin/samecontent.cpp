#include "groupwin/samecontent.h"

#include <algorithm>
#include <map>
#include <set>

#include "db/schema.h"
#include "store/fingerprints.h"
#include "store/reads.h"
#include "text/textutil.h"

namespace {

// The entries of the fingerprints that still stand for their entry, with their group's
// and sub-group's names. Groups whose tables are gone count no entries.
std::optional<SameContentSet> Resolve(DatabaseSession& session, const std::vector<Fingerprint>& prints)
{
    std::map<std::int32_t, std::vector<const Fingerprint*>> byGroup;
    for (const Fingerprint& f : prints)
        if (!f.hash.empty()) byGroup[f.group].push_back(&f);
    SameContentSet found;
    for (const auto& [group, list] : byGroup) {
        const std::optional<GroupRecord> record = ReadGroupRecord(session, group);
        if (!record) return std::nullopt;
        if (record->number == 0) continue;
        const std::optional<bool> present = TablePresent(session, FileTableName(group));
        if (!present) return std::nullopt;
        if (!*present) continue;
        std::string numbers;
        for (const Fingerprint* f : list) numbers += (numbers.empty() ? "" : ",") + IntToStr(f->number);
        // The groups hold few fingerprints of one content: one list of numbers is short.
        const std::optional<std::vector<TextRow>> rows =
            ReadRows(session, "*", FileTableName(group), "N IN (" + numbers + ")", "N");
        if (!rows) return std::nullopt;
        std::map<std::int32_t, EntryRecord> entries;
        for (const TextRow& row : *rows)
            if (const std::optional<EntryRecord> e = EntryFromRow(row)) entries[e->number] = *e;
        std::map<std::int32_t, std::string> subGroups;
        const std::optional<bool> hasTree = TablePresent(session, SubGroupTableName(group));
        if (!hasTree) return std::nullopt;
        if (*hasTree) {
            const std::optional<std::vector<TextRow>> tree = ReadRows(session, "*", SubGroupTableName(group), "", "N");
            if (!tree) return std::nullopt;
            for (const TextRow& row : *tree)
                if (const std::optional<SubGroupRecord> s = SubGroupFromRow(row)) subGroups[s->number] = s->name;
        }
        for (const Fingerprint* f : list) {
            const auto e = entries.find(f->number);
            if (e == entries.end() || PathKey(e->second.StoredPath()) != f->pathKey) continue;
            SameContentEntry entry{group, record->name, f->number, e->second.subGroup, {}, e->second.folder,
                                   e->second.fileName, f->hash};
            const auto s = subGroups.find(entry.subGroup);
            if (s != subGroups.end()) entry.subGroupName = s->second;
            found.push_back(std::move(entry));
        }
    }
    return found;
}

} // namespace

std::optional<SameContentSet> EntriesWithContent(DatabaseSession& session, const std::string& hash)
{
    if (hash.empty()) return SameContentSet{};
    const std::optional<std::vector<Fingerprint>> prints = ReadFingerprints(session, 0, {}, hash);
    if (!prints) return std::nullopt;
    return Resolve(session, *prints);
}

std::optional<std::vector<SameContentSet>> DuplicateSets(DatabaseSession& session)
{
    const std::optional<std::vector<std::string>> hashes = SharedHashes(session);
    if (!hashes) return std::nullopt;
    std::vector<SameContentSet> sets;
    for (const std::string& hash : *hashes) {
        std::optional<SameContentSet> set = EntriesWithContent(session, hash);
        if (!set) return std::nullopt;
        if (set->size() > 1) sets.push_back(std::move(*set));
    }
    std::sort(sets.begin(), sets.end(), [](const SameContentSet& a, const SameContentSet& b) {
        return std::make_pair(a.front().group, a.front().number) < std::make_pair(b.front().group, b.front().number);
    });
    return sets;
}

std::string SameContentLine(const SameContentEntry& e)
{
    return IntToStr(e.group) + "\t" + e.groupName + "\t" + e.subGroupName + "\t" + IntToStr(e.number) + "\t" +
           e.folder + e.fileName;
}
