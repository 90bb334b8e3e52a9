#pragma once
// The desktop's applications for a type of file, read from the desktop entries and the
// mimeapps.list files as freedesktop.org lays them out, every file and count bounded,
// and the way a file is to be opened: the type's own command, the desktop's default, or
// the user asked (never Kumolist itself).
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "settings/preferences.h"

// Where the desktop keeps its entries and lists, highest priority first.
struct DesktopFolders {
    QStringList dataFolders;     // $XDG_DATA_HOME, then $XDG_DATA_DIRS
    QStringList configFolders;   // $XDG_CONFIG_HOME, then $XDG_CONFIG_DIRS
    QStringList desktopNames;    // $XDG_CURRENT_DESKTOP, lower case
};
DesktopFolders DesktopFoldersFromEnvironment();

struct DesktopApp {
    QString id;     // "gimp.desktop"; entries in sub-folders as "kde-foo.desktop"
    QString name;   // the Japanese name where the entry has one
    QString icon;   // a theme name or an absolute path
    QString exec;   // the Exec line, field codes included
};

// Bounds on what is read: a desktop with more entries than this is cut, not waited for.
constexpr int kMaxDesktopEntries = 4000;
constexpr qint64 kMaxDesktopFileBytes = 256 * 1024;
constexpr int kMaxDesktopFolders = 32;

// The MIME type of a file by its name alone, and its type as the preferences key it
// (the extension in lower case; empty when it has none that can be a key).
QString FileMimeType(const QString& path);
QString FileTypeKey(const QString& path);

// The applications whose entries name the type (or one of its aliases), by name.
std::vector<DesktopApp> AppsForType(const QString& mimeType, const DesktopFolders& folders);
// The desktop's default for the type: the first installed one of the mimeapps.list
// files' [Default Applications], else of their [Added Associations], else the first the
// desktop's cache names, else the first entry that names the type. Nothing when no application takes it.
std::optional<DesktopApp> DefaultApp(const QString& mimeType, const DesktopFolders& folders);

// Kumolist's own entry, or an entry that runs it.
bool IsKumolist(const DesktopApp& app, const QString& programFile);

struct OpenPlan {
    enum Way {
        Command,   // run `command`
        Desktop,   // the desktop has no default of its own to look at: leave it the file
        Ask,       // the user chooses the program
    };
    Way way = Desktop;
    QString command;
};
// How the file opens: with its type's command, else with the desktop's default; the
// user is asked where either would run Kumolist itself.
OpenPlan PlanOpen(const QString& path, const OpenPrograms& programs, const DesktopFolders& folders,
                  const QString& programFile);
