#pragma once
// File entries written as CSV for a spreadsheet: UTF-8 with a byte order mark (what
// current Excel needs to read it as UTF-8 rather than as the system code page), CR LF
// line ends, fields quoted where RFC 4180 asks for it.
#include <string>
#include <vector>

#include <QString>

// One entry as exported; texts CP932 as stored.
struct CsvEntry {
    std::string group, subGroup, folder, file, memo, addedBy, number;
};

// The heading line and one line per entry, written to a file beside the target and
// swapped in when complete; false (and the target as it was) when it could not be.
bool WriteEntriesCsv(const QString& path, const std::vector<CsvEntry>& entries);
// The same text, for a terminal.
std::string EntriesCsvText(const std::vector<CsvEntry>& entries);

// One field as CSV: after an apostrophe when it begins as a formula would (=, +, -, @,
// a tab or a CR), then quoted, with its quotes doubled, when it holds a comma, a quote
// or a line end.
std::string CsvField(const std::string& utf8);
