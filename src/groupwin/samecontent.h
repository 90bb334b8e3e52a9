#pragma once
// Entries whose files hold the same content, by their fingerprints: those of one content
// (an entry's "同じ内容のファイル"), or every set across the database (the terminal's
// --duplicates). A fingerprint counts only while its entry is there with the stored path
// it was taken for. Texts are CP932.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/session.h"

struct SameContentEntry {
    std::int32_t group = 0;
    std::string groupName;
    std::int32_t number = 0;
    std::int32_t subGroup = 0;
    std::string subGroupName;   // empty under the group itself
    std::string folder, fileName;
    std::string hash;
};

using SameContentSet = std::vector<SameContentEntry>;   // in group and entry order

// The entries whose fingerprint holds this content. Nullopt when anything could not be read.
std::optional<SameContentSet> EntriesWithContent(DatabaseSession& session, const std::string& hash);

// Every content that two entries or more hold, one set each, in the order of their first
// entry. Nullopt when anything could not be read.
std::optional<std::vector<SameContentSet>> DuplicateSets(DatabaseSession& session);

// One line of an entry for a terminal: group number, group name, sub-group name, entry
// number and stored path, tab-separated (CP932).
std::string SameContentLine(const SameContentEntry& entry);
