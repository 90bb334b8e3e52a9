#pragma once
// The search over all groups: one column of every group's file table is matched against
// a text with LIKE '%text%', and every matching entry is listed under its group. No
// widgets: the search window shows the lines, and the search can be timed without it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "platform/escape.h"

// The column a search looks in.
enum class SearchColumn { Folder, FileName, Memo };

// "PATH_NAME", "FILE_NAME" or "FILE_MEMO".
const char* SearchColumnName(SearchColumn column);

// Why a search text is refused before anything is read.
enum class SearchRefusal {
    None,
    Blank,   // empty, or only blanks and control characters
    Quote,   // holds a single or a double quotation mark
};
SearchRefusal CheckSearchText(std::string_view text);

// Receives result lines (CP932, without line ends), in the order found.
using SearchSink = std::function<void(std::vector<std::string>& lines)>;

// Searches the file tables of all groups of the catalogue, in ascending group number,
// for entries whose column holds the text (untrimmed; "%" and "_" keep their wildcard
// meaning). Each group with matches gives its header line, then its entry lines in
// ascending entry number. Tables that cannot be read count as empty.
//
// The Escape key is polled before every row read and around every group; once it is
// seen down the search ends at once and the result is true. The lines found so far
// have reached the sink by then. Lines reach it in batches: at the end of a group once
// some time has passed since the last batch, and at the end of the search, so that a
// window can show them as they come without repainting for each.
//
// A text that CheckSearchText refuses runs nothing and gives false.
bool SearchAllGroups(DatabaseSession& session, SearchColumn column, const std::string& text,
                     const EscapeKey& escape, const SearchSink& sink);
