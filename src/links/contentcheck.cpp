#include "links/contentcheck.h"

#include <set>

#include "groupwin/fingerprintworker.h"
#include "store/fingerprints.h"

std::optional<std::vector<ChangedEntry>> ChangedEntries(const DatabaseSettings& settings, const RootMappings& mappings,
                                                        const std::vector<LinkEntry>& entries,
                                                        const std::vector<std::int32_t>& groups, bool allGroups,
                                                        const GoOn& goOn)
{
    DatabaseSession session(settings);
    session.ConnectDatabase();
    if (!session.Connected()) return std::nullopt;
    FingerprintRequest request;
    request.mappings = mappings;
    request.groups = groups;
    request.dropGoneGroups = allGroups;
    const FingerprintResult result = RefreshFingerprints(session, request, [&goOn, &entries] { return goOn && !goOn(entries.size()); });
    session.CloseDatabase();
    if (result.end != FingerprintResult::End::Done) return std::nullopt;
    std::vector<ChangedEntry> changed;
    for (const LinkEntry& e : entries) {
        const auto f = result.prints.find({e.group, e.number});
        if (f != result.prints.end() && f->second.Changed() && f->second.pathKey == PathKey(e.StoredPath()))
            changed.push_back({e, f->second.time});
    }
    return changed;
}

std::optional<std::map<EntryKey, KnownContent>> LastContents(DatabaseSession& session,
                                                             const std::vector<LinkEntry>& entries)
{
    std::map<std::int32_t, std::vector<std::int32_t>> byGroup;
    for (const LinkEntry& e : entries) byGroup[e.group].push_back(e.number);
    std::map<EntryKey, std::string> keys;
    for (const LinkEntry& e : entries) keys[{e.group, e.number}] = PathKey(e.StoredPath());
    std::map<EntryKey, KnownContent> known;
    for (const auto& [group, numbers] : byGroup) {
        const std::optional<std::vector<Fingerprint>> prints = ReadFingerprints(session, group, numbers);
        if (!prints) return std::nullopt;
        for (const Fingerprint& f : *prints) {
            const auto key = keys.find({f.group, f.number});
            if (key != keys.end() && key->second == f.pathKey && !f.hash.empty() && f.size >= 0)
                known[key->first] = {static_cast<std::uint64_t>(f.size), f.hash};
        }
    }
    return known;
}
