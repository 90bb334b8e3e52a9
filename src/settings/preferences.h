#pragma once
// Preferences that the 37-line settings file does not hold, in one INI file beside it
// (QSettings, UTF-8, "[group]" and "key=value" lines that a person can read and mend),
// so the settings file keeps exactly the lines other copies of the program expect.
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

// Where a window that the settings file has no lines for stood (frame left and top, inner
// width and height), under its name, across restarts. Nothing when none is stored or the
// numbers are damaged; numbers beyond any screen are cut to kMaxWindowPlace.
constexpr int kMaxWindowPlace = 1000000;
std::optional<QRect> LoadWindowPlace(const QString& path, const QString& window);
bool SaveWindowPlace(const QString& path, const QString& window, const QRect& place);
