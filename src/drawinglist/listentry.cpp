#include "drawinglist/listentry.h"

#include <cstdio>
#include <ctime>

#include <sys/stat.h>

#include "text/cp932.h"

DrawingListEntry ProbedListEntry(const std::string& folder, const std::string& name, const std::string& memo,
                                 const std::string& addedBy, const RootMappings* mappings)
{
    DrawingListEntry e;
    e.name = name;
    e.memo = memo;
    e.addedBy = addedBy;
    e.localPath = mappings ? LocalPath(folder + name, *mappings) : folder + name;
    e.folder = e.localPath.substr(0, e.localPath.size() - name.size());
    struct stat st {};
    // Only an absolute path names a file here; a folder is no drawing.
    if (!e.localPath.empty() && e.localPath[0] == '/' && ::stat(ToFsName(e.localPath).c_str(), &st) == 0 &&
        !S_ISDIR(st.st_mode)) {
        e.exists = true;
        e.size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
        char text[32];
        struct tm local {};
        const time_t t = st.st_mtime;
        if (localtime_r(&t, &local) && std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local)) e.time = text;
    }
    return e;
}

std::string TodayText()
{
    const time_t now = std::time(nullptr);
    struct tm local {};
    char text[16] = "";
    if (localtime_r(&now, &local)) std::strftime(text, sizeof text, "%Y/%m/%d", &local);
    return text;
}

std::string SizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024ull * 1024) {
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024));
    }
    return text;
}
