#include "links/filedentries.h"

#include <algorithm>
#include <unordered_map>

std::vector<FiledFile> WhereFiled(const std::vector<LinkEntry>& entries, const std::vector<std::string>& paths,
                                  const RootMappings& mappings)
{
    std::vector<FiledFile> files;
    std::unordered_map<std::string, size_t> byPath;
    for (const std::string& path : paths) {
        if (byPath.count(path)) continue;
        byPath.emplace(path, files.size());
        files.push_back({path, {}});
    }
    // An entry stored as "Z:\図面\a.jww" names /mnt/zumen/図面/a.jww here, as the link
    // check sees it.
    for (const LinkEntry& e : entries) {
        const auto found = byPath.find(LocalPath(e.StoredPath(), mappings));
        if (found != byPath.end()) files[found->second].entries.push_back(e);
    }
    return files;
}
