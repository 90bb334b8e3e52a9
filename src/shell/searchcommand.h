#pragma once
// The search from a terminal, for administrators and scripts:
//   kumolist --search TEXT [--in folder|name|memo|text|all] [--csv]
// one hit a line, tab-separated: group number, group name, sub-group name, folder, file
// name, and for a hit in the drawing's texts the text around the match; with --csv the
// lines of the search window's CSV export instead. folder, name and memo run the search
// window's statements (as typed: case and width count); text and all (the default) bring
// the index of the texts up to date first. Exit 0 with hits, 1 without, 2 on a failure.
#include <optional>
#include <ostream>

#include <QString>
#include <QStringList>

#include "db/session.h"
#include "search/search.h"

struct SearchCommand {
    SearchColumn column = SearchColumn::Everything;
    std::string text;   // CP932
    bool csv = false;
};

bool IsSearchCommand(const QStringList& arguments);
// nullopt, with the reason on err, when the arguments are wrong.
std::optional<SearchCommand> ParseSearchCommand(const QStringList& arguments, std::ostream& err);
// indexFolder: the texts' index (empty: the user's cache folder for the database).
int RunSearchCommand(const SearchCommand& command, DatabaseSession& session, const QString& indexFolder,
                     std::ostream& out, std::ostream& err);
