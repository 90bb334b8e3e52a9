#pragma once
// Preferences that the 37-line settings file does not hold, in one INI file beside it
// (QSettings, UTF-8, "[group]" and "key=value" lines that a person can read and mend),
// so the settings file keeps exactly the lines other copies of the program expect.
#include <map>
#include <memory>
#include <optional>

#include <QRect>
#include <QSettings>
#include <QString>

#include "text/rootmap.h"

// A larger file is no file of ours: it is neither read nor overwritten.
constexpr qint64 kMaxPreferencesBytes = 1 << 20;
// Longer texts (a folder, say) are taken as damage and read as empty.
constexpr int kMaxPreferenceText = 4096;

// The preferences file for reading and writing; nullptr when the path is empty or names
// something other than a regular file of at most kMaxPreferencesBytes. A missing file
// is made, with its folder, when a value is written.
std::unique_ptr<QSettings> OpenPreferences(const QString& path);

// The add dialog of the group window starts where the last files were added, across
// restarts.
struct AddDialogPlace {
    QString folder;   // empty: none yet
    int filter = 0;   // the filter then in use; never negative
};
AddDialogPlace LoadAddDialogPlace(const QString& path);
// False when the value was not stored.
bool SaveAddDialogPlace(const QString& path, const AddDialogPlace& place);

// Folders shared with Windows PCs (text/rootmap.h). Pairs that are damaged, not CP932 or
// longer than a stored folder may be are left out; at most kMaxRootMappings are read.
constexpr int kMaxRootMappings = 64;
RootMappings LoadRootMappings(const QString& path);
// False when the table was not stored.
bool SaveRootMappings(const QString& path, const RootMappings& mappings);

// A picture folder that every PC of the office shares (an absolute folder, ending in "/"
// when read); empty: none set, or damaged.
QString LoadPictureFolder(const QString& path);
bool SavePictureFolder(const QString& path, const QString& folder);

// Whether the group window shows its preview pane, across restarts.
bool LoadPreviewShown(const QString& path);
bool SavePreviewShown(const QString& path, bool shown);

// How the search window last searched, across restarts: the column (0 folder, 1 file
// name, 2 memo, 3 drawing text, 4 all) and its two options. Damage reads as the defaults (folder, both off).
struct SearchWay {
    int column = 0;
    bool ignoreCase = false;
    bool literal = false;
};
SearchWay LoadSearchWay(const QString& path);
bool SaveSearchWay(const QString& path, const SearchWay& way);

// Where a window that the settings file has no lines for stood (frame left and top, inner
// width and height), under its name, across restarts. Nothing when none is stored or the
// numbers are damaged; numbers beyond any screen are cut to kMaxWindowPlace.
constexpr int kMaxWindowPlace = 1000000;
std::optional<QRect> LoadWindowPlace(const QString& path, const QString& window);
bool SaveWindowPlace(const QString& path, const QString& window, const QRect& place);

// The program each type of file opens in (the extension, lower case, without the dot,
// mapped to a command whose %f stands for the file); a type not listed opens with the
// desktop's choice. Keys that are no extension, empty or overlong commands are damage
// and left out; at most kMaxOpenProgramTypes are read.
constexpr int kMaxOpenProgramTypes = 256;
constexpr int kMaxFileTypeLength = 16;
using OpenPrograms = std::map<QString, QString>;
// True for a file type as the table keys it: 1 to kMaxFileTypeLength of a-z, 0-9, _ and -.
bool IsFileTypeKey(const QString& type);
OpenPrograms LoadOpenPrograms(const QString& path);
// Stores the command for the type; an empty command gives the type back to the
// desktop's choice. False when it was not stored.
bool SaveOpenProgram(const QString& path, const QString& type, const QString& command);
