#pragma once
// Entries whose files moved away: the entries of one group or of all, read from the
// database, and the disk probed for each (off the user-interface thread: a file server
// may answer slowly). Texts are CP932. No widgets here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/session.h"
#include "text/rootmap.h"

struct GroupName {
    int32_t number = 0;
    std::string name;
};

// One entry as stored, with the names of its group and sub-group.
struct LinkEntry {
    int32_t group = 0;
    std::string groupName;
    int32_t number = 0;
    int32_t subGroup = 0;
    std::string subGroupName;   // empty for the root
    std::string folder;         // PATH_NAME
    std::string fileName;       // FILE_NAME
    std::string memo;
    std::string StoredPath() const { return folder + fileName; }
};

// Told how many items are done; false stops the work.
using GoOn = std::function<bool(size_t done)>;

// The groups of the catalogue by number: the one given, or all when group is 0. False
// when the catalogue could not be read.
bool ReadGroups(DatabaseSession& session, int32_t group, std::vector<GroupName>& groups);

// The entries of the groups, in group and entry order; a group whose tables were never
// made has none. False, with no entries, when anything could not be read, whether a
// table exists included: a group not read is no group without entries.
bool ReadLinkEntries(DatabaseSession& session, const std::vector<GroupName>& groups, std::vector<LinkEntry>& entries);

// Whether a file (not a folder) is found where this system sees the stored path.
bool StoredFileExists(const std::string& storedPath, const RootMappings& mappings);

// The entries whose file is not found, in their order; nullopt when goOn stopped it.
std::optional<std::vector<LinkEntry>> MissingEntries(const std::vector<LinkEntry>& entries,
                                                     const RootMappings& mappings, const GoOn& goOn);
