#pragma once
// The link check and the contents of the files: drawings whose content changed since
// they were filed, found after the check's groups' fingerprints were refreshed, and the
// last content seen of missing entries, by which a renamed drawing is found. Texts are
// CP932. No widgets here.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/session.h"
#include "links/linkscan.h"

struct ChangedEntry {
    LinkEntry entry;
    std::int64_t time = 0;   // modification time of the content seen
};

// Refreshes the fingerprints of the groups on an attachment of its own (the caller may
// be any thread) and answers the entries whose content differs from the one filed or
// confirmed; rows of groups gone go too when allGroups. Nullopt when the database could
// not be read or written, or goOn stopped it.
std::optional<std::vector<ChangedEntry>> ChangedEntries(const DatabaseSettings& settings, const RootMappings& mappings,
                                                        const std::vector<LinkEntry>& entries,
                                                        const std::vector<std::int32_t>& groups, bool allGroups,
                                                        const GoOn& goOn);

// The content last seen of each entry that has a fingerprint of its stored path: its size
// and hash, by group and entry number. Nullopt when it could not be read.
using EntryKey = std::pair<std::int32_t, std::int32_t>;
struct KnownContent {
    std::uint64_t size = 0;
    std::string hash;
};
std::optional<std::map<EntryKey, KnownContent>> LastContents(DatabaseSession& session,
                                                             const std::vector<LinkEntry>& entries);
