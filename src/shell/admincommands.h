#pragma once
// Commands for administrators, from a terminal and without a window, after a file
// server moved:
//   kumolist --check-links [--group N]
//     one line per entry whose file is missing: group number, entry number, full path;
//     exit 1 when there is one, 0 when there is none.
//   kumolist --replace-folder OLD NEW [--group N] [--dry-run]
//     the leading folder OLD of the entries replaced by NEW, as the window does it; the
//     counts printed, each entry found but not replaced named with why; exit 1 when a
//     change was refused or a group left as it was. NEW must be absolute.
//   kumolist --index [--group N]
//     the texts of the drawings read into the database (shell/indexcommand.h).
//   kumolist --search TEXT [--in folder|name|memo|text|all] [--csv]
//     the search window's search (shell/searchcommand.h).
//   kumolist --duplicates
//     the sets of entries whose files hold the same content (by their fingerprints),
//     one entry a line (group number, group name, sub-group, entry number, stored path,
//     tab-separated), one set a paragraph; exit 0.
//   kumolist --drawing-list --group N [--sub-group S] --pdf OUT.pdf [--paper A4|A3] [--landscape]
//     the drawing list of the group (or of the entries filed directly under its
//     sub-group S) as PDF, with the pictures drawn; exit 1 when there is no entry (no
//     file written). Painted without a display: the caller runs it in a QGuiApplication.
// All read the settings of the user who runs them, where the program reads them; exit 2
// when the command is wrong or the database cannot be reached, and when the connection
// is lost on the way (nothing then counts as missing that was not read).
#include <ostream>

#include <QString>
#include <QStringList>

#include "db/session.h"
#include "text/rootmap.h"

// Whether the arguments (the program's name first) ask for one of these commands.
bool IsAdminCommand(const QStringList& arguments);

// Runs the command; the exit code.
int RunAdminCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out,
                    std::ostream& err);

bool IsDrawingListCommand(const QStringList& arguments);
int RunDrawingListCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out,
                          std::ostream& err);
// Its work on a session attached already, the pictures drawn by the thumbnailer given.
int RunDrawingListOn(const QStringList& arguments, DatabaseSession& session, const RootMappings& mappings,
                     const QString& thumbnailer, std::ostream& out, std::ostream& err);

// The command's work on a session attached already, with the folders shared with
// Windows PCs: what RunAdminCommand does once attached. thumbnailer: the program that
// reads the drawings (--index).
int RunAdminCommandOn(const QStringList& arguments, DatabaseSession& session, const RootMappings& mappings,
                      std::ostream& out, std::ostream& err, const QString& thumbnailer = {});
