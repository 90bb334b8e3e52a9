#include "links/namesearch.h"

#include <optional>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/fingerprints.h"
#include "text/cp932.h"
#include "text/pathname.h"

namespace {

struct Folder {
    std::string fsPath;      // UTF-8, without a last "/": a link named "z/" would be followed
    std::string cp932Path;   // as an entry stores it, ending with "/"
    int depth = 0;
};

} // namespace

NameSearchResult FindFilesByName(const std::string& folder, const std::set<std::string>& names,
                                 const NameSearchLimits& limits, const GoOn& goOn, const WantedContents& contents)
{
    NameSearchResult result;
    std::string start = folder;
    if (start.empty() || start[0] != '/') {
        result.end = NameSearchEnd::NoFolder;
        return result;
    }
    if (start.back() != '/') start += '/';
    struct stat st {};
    std::string fsStart = ToFsName(start);
    while (fsStart.size() > 1 && fsStart.back() == '/') fsStart.pop_back();
    if (::lstat(fsStart.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        result.end = NameSearchEnd::NoFolder;
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    std::set<std::pair<dev_t, ino_t>> entered{{st.st_dev, st.st_ino}};
    std::vector<Folder> pending{{fsStart, start, 0}};
    size_t read = 0;
    while (!pending.empty()) {
        const Folder here = std::move(pending.back());
        pending.pop_back();
        // O_NOFOLLOW: the folder may have been swapped for a link since it was seen.
        const int fd = ::open(here.fsPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) continue;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            continue;
        }
        while (const dirent* d = ::readdir(dir)) {
            const std::string name = d->d_name;
            if (name == "." || name == "..") continue;
            if (++read > limits.entries) result.end = NameSearchEnd::TooMany;
            else if (std::chrono::steady_clock::now() > deadline) result.end = NameSearchEnd::TimeUp;
            else if (read % 256 == 0 && goOn && !goOn(read)) result.end = NameSearchEnd::Stopped;
            if (result.end != NameSearchEnd::Complete) break;

            struct stat entry {};
            if (::fstatat(fd, d->d_name, &entry, AT_SYMLINK_NOFOLLOW) != 0) continue;
            const std::optional<std::string> cp932 = Utf8ToCp932(name);
            if (!cp932) continue;
            if (S_ISDIR(entry.st_mode)) {
                if (here.depth + 1 <= limits.depth && entered.insert({entry.st_dev, entry.st_ino}).second)
                    pending.push_back({(here.fsPath == "/" ? "" : here.fsPath) + "/" + name, here.cp932Path + *cp932 + "/",
                                       here.depth + 1});
            } else if (S_ISREG(entry.st_mode)) {
                if (names.count(*cp932)) {
                    std::vector<std::string>& paths = result.found[*cp932];
                    if (paths.size() < limits.pathsPerName) paths.push_back(here.cp932Path + *cp932);
                }
                const auto sized = contents.find(static_cast<std::uint64_t>(entry.st_size));
                if (sized == contents.end()) continue;
                // Read only when the size is one looked for, and within the search's time.
                const std::optional<FileContent> content =
                    HashFile((here.fsPath == "/" ? "" : here.fsPath) + "/" + name,
                             [&deadline] { return std::chrono::steady_clock::now() > deadline; });
                if (!content || !sized->second.count(content->hash)) continue;
                std::vector<std::string>& paths = result.foundByContent[content->hash];
                if (paths.size() < limits.pathsPerName) paths.push_back(here.cp932Path + *cp932);
            }
        }
        ::closedir(dir);
        if (result.end != NameSearchEnd::Complete) break;
    }
    return result;
}

std::set<std::string> NamesOf(const std::vector<LinkEntry>& entries)
{
    std::set<std::string> names;
    for (const LinkEntry& e : entries) names.insert(e.fileName);
    return names;
}

RelinkPlan PlanRelink(const std::vector<LinkEntry>& missing, const NameSearchResult& search,
                      const RootMappings& mappings, const std::map<std::pair<int32_t, int32_t>, std::string>& contents)
{
    RelinkPlan plan;
    for (const LinkEntry& e : missing) {
        const auto found = search.found.find(e.fileName);
        const auto content = contents.find({e.group, e.number});
        const auto same = content == contents.end() ? search.foundByContent.end()
                                                     : search.foundByContent.find(content->second);
        if (found == search.found.end() && same != search.foundByContent.end()) {
            if (same->second.size() != 1) {
                plan.ambiguous.push_back(e);
                continue;
            }
            const std::string stored = StoredPath(same->second.front(), mappings);
            FolderChange change{e, PathFolder(stored)};
            change.newFileName = PathFileName(stored);
            change.problem = CheckEntryNames(change.newFileName, change.newFolder);
            change.fileExists = true;
            plan.relinks.changes.push_back(std::move(change));
        } else if (found == search.found.end()) {
            plan.notFound.push_back(e);
        } else if (found->second.size() != 1) {
            plan.ambiguous.push_back(e);
        } else {
            FolderChange change{e, PathFolder(StoredPath(found->second.front(), mappings))};
            change.problem = CheckEntryNames(e.fileName, change.newFolder);
            change.fileExists = true;
            plan.relinks.changes.push_back(std::move(change));
        }
    }
    return plan;
}
