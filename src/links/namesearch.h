#pragma once
// Files looked for by name below a folder, for entries whose file moved: every level,
// symbolic links not followed (a link loop or a link to "/" would never end), each
// folder entered once, bounded in time, in entries read and in depth. Texts are CP932;
// names that CP932 cannot hold cannot be stored and are passed over.
#include <chrono>
#include <cstdint>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "links/folderreplace.h"
#include "links/linkscan.h"

struct NameSearchLimits {
    std::chrono::milliseconds time{120000};
    size_t entries = 2000000;   // directory entries read
    int depth = 64;
    size_t pathsPerName = 10;   // more places of one name tell nothing more
};

enum class NameSearchEnd { Complete, Stopped, TimeUp, TooMany, NoFolder };

struct NameSearchResult {
    NameSearchEnd end = NameSearchEnd::Complete;
    // For each name looked for that was found: the full paths, in the order found.
    std::map<std::string, std::vector<std::string>> found;
    // For each content looked for that was found: the full paths, in the order found.
    std::map<std::string, std::vector<std::string>> foundByContent;
};

// Contents looked for besides the names: for each file size, the hashes of that size. A
// file of such a size is read and hashed; others are never read.
using WantedContents = std::map<std::uint64_t, std::set<std::string>>;

// goOn is told the number of entries read so far, now and then.
NameSearchResult FindFilesByName(const std::string& folder, const std::set<std::string>& names,
                                 const NameSearchLimits& limits, const GoOn& goOn,
                                 const WantedContents& contents = {});

// The entries of the names to look for (each name once).
std::set<std::string> NamesOf(const std::vector<LinkEntry>& entries);

// What a search offers: each entry whose name was found exactly once relinked to that
// folder (stored in the Windows form below a shared folder), the others kept aside.
struct RelinkPlan {
    ReplacementPlan relinks;
    std::vector<LinkEntry> ambiguous;   // found in more than one place
    std::vector<LinkEntry> notFound;
};
// An entry not found by its name is relinked, its name too, to the one file found that
// holds its last content seen (contents: by group and entry number).
RelinkPlan PlanRelink(const std::vector<LinkEntry>& missing, const NameSearchResult& search,
                      const RootMappings& mappings,
                      const std::map<std::pair<int32_t, int32_t>, std::string>& contents = {});
