#pragma once
// The search over all groups: one column of every group's file table is matched against
// a text, and every matching entry is listed under its group. No widgets: the search
// window shows the lines, and the search can be timed without it.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "platform/escape.h"

// The column a search looks in; the drawings' texts and all four at once go through the
// index of the texts (search/textsearch.h).
enum class SearchColumn { Folder, FileName, Memo, DrawingText, Everything };

// "PATH_NAME", "FILE_NAME" or "FILE_MEMO" (the folder's for the ways through the index).
const char* SearchColumnName(SearchColumn column);

// Why a search text is refused before anything is read.
enum class SearchRefusal {
    None,
    Blank,   // empty, or only blanks and control characters
    Quote,   // holds a single or a double quotation mark
};
SearchRefusal CheckSearchText(std::string_view text);

struct SearchOptions {
    // Case and the width of letters, digits and katakana do not count (NFKC, then case
    // folding, on both sides).
    bool ignoreCaseAndWidth = false;
    // "%" and "_" are characters like any other, not wildcards.
    bool literalWildcards = false;
    // A second text whose matches count as well, read with the same options: the folder
    // typed in the form the other PCs store it under (a root shared with Windows PCs).
    // Empty, or refused by CheckSearchText: none.
    std::string alsoText;
};

// One line of the result, with what it names (CP932 texts as stored).
struct SearchLine {
    std::string text;          // the line as shown
    bool isGroup = false;      // a group's header; else an entry of the group above it
    int32_t group = 0;
    std::string groupName;
    int32_t entry = 0;         // the entry's number (entry lines)
    std::string entryNumber;   // as stored
    int32_t subGroup = 0;      // the entry's SN
    std::string subGroupName;  // empty when SN names no sub-group
    std::string folder, file, memo, addedBy;
    // A hit in the drawing's texts: the text around the match, the match between 《 and 》
    // (CP932, what it cannot hold as "?"), and the paper box (mm) of the text that holds it.
    std::string around;
    std::optional<std::array<double, 4>> box;
};

// Receives result lines in the order found.
using SearchSink = std::function<void(std::vector<SearchLine>& lines)>;

enum class SearchEnd {
    Finished,
    Stopped,          // the Escape key (or the window's stop) was seen
    ConnectionLost,   // the server went away; the lines before stay
    ReadFailed,       // the catalogue could not be read
    IndexFailed,      // the index of the drawings' texts could not be opened or written
};

// Searches the file tables of all groups of the catalogue, in ascending group number,
// for entries whose column holds the text (untrimmed; "%" and "_" are wildcards for any
// run of characters and any one character unless the options say otherwise). A match
// is one of whole characters: a byte pair is never matched by half. Each group with
// matches gives its header line, then its entry lines in ascending entry number. Groups
// whose tables are missing or cannot be read add nothing.
//
// Up to kGroupsPerStatement groups are read with one statement; the Escape key is
// polled between statements and now and then while the rows are listed. Lines reach
// the sink in batches (after some time has passed since the last, before each statement
// and at the end), so that a window can show them as they come without repainting for each.
//
// A text that CheckSearchText refuses runs nothing and gives Finished.
constexpr int kGroupsPerStatement = 50;
SearchEnd SearchAllGroups(DatabaseSession& session, SearchColumn column, const std::string& text,
                          const SearchOptions& options, const EscapeKey& escape, const SearchSink& sink);
