#pragma once
// What a drawing list shows of one entry and of the list as a whole. Texts are CP932,
// as stored; the file is looked at where this system finds it.
#include <cstdint>
#include <string>
#include <vector>

#include "text/rootmap.h"

struct DrawingListEntry {
    std::string name, folder, memo, addedBy;
    std::string place;          // group and sub-group, where entries of several groups are listed
    std::string time;           // "yyyy/mm/dd hh:mm:ss" of the file
    std::uint64_t size = 0;
    bool exists = false;        // false: listed as missing, without a picture
    std::string localPath;      // the file as this system names it (CP932)
};

struct DrawingListHeading {
    std::string title;      // the group's name, or what the hits are
    std::string subtitle;   // the group's title
    std::string subGroup;   // the sub-group listed, or empty
    std::string date;       // the day the list was made, "yyyy/mm/dd"
};

// An entry from its stored folder and name, its file probed where this system finds it
// (below a folder shared with Windows PCs: there).
DrawingListEntry ProbedListEntry(const std::string& folder, const std::string& name, const std::string& memo,
                                 const std::string& addedBy, const RootMappings* mappings);

// "yyyy/mm/dd" of today, local time.
std::string TodayText();

// A size as the list prints it: "12.3 KB", "1.2 MB"; bytes below a kilobyte.
std::string SizeText(std::uint64_t bytes);
