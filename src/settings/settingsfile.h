#pragma once
// The settings file: 37 lines of CP932 text, CR LF (where it lies: programfiles.h).
// Lines 1-4 hold the database settings, lines 5-37 integers for window geometry and the
// group window's view settings. The windows layer applies and collects the integers.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include <QString>

#include "settings/settings.h"

constexpr int kSettingsLineCount = 37;
constexpr int kFirstNumberLine = 5;
constexpr int kNumberLineCount = kSettingsLineCount - kFirstNumberLine + 1;   // 33

// Line numbers (1-based) of the integers, in file order.
enum SettingsLine : int {
    kMainLeft = 5, kMainTop, kMainWidth, kMainHeight,
    kDbDialogLeft = 9, kDbDialogTop,
    kGroupLeft = 11, kGroupTop, kGroupWidth, kGroupHeight,
    kCreateDialogLeft = 15, kCreateDialogTop,
    kEditDialogLeft = 17, kEditDialogTop,
    kMemoDialogLeft = 19, kMemoDialogTop,
    kNameDialogLeft = 21, kNameDialogTop,
    kSearchLeft = 23, kSearchTop, kSearchWidth, kSearchHeight,
    kFirstColumnWidth = 27,   // nine columns: 27 to 35
    kViewStyle = 36,
    kTreeWidth = 37,
};

constexpr int kListColumnCount = 9;
constexpr int kMinColumnWidth = 16;
constexpr int kMinTreeWidth = 20;

// Integers of lines 5-37; index 0 is line 5.
using SettingsNumbers = std::array<int32_t, kNumberLineCount>;

// The value a line takes when applied: column widths at least 16, the tree at least 20,
// everything else as read.
int32_t SettingsValueForLine(int line, int32_t value);

// Resets the database settings to their defaults, then, when the file exists, reads it
// line by line: lines 1-3 unchanged, line 4 cut to 16 bytes, lines 5-37 as integers
// (empty, missing or malformed lines read 0), each handed to apply(line, value) at once
// with its lower limit already applied. A read error stops the reading; what was read
// before stays applied. Returns false when there was no file or it could not be read.
bool LoadSettings(const QString& path, DatabaseSettings& settings,
                  const std::function<void(int line, int32_t value)>& apply);

// Writes the 37 lines. The new text goes to a file beside the old one, which is replaced
// only when the new one is complete, so a failed write keeps the settings of the last
// run. The file's folder is made when it is missing. Returns false when nothing was
// replaced.
bool SaveSettings(const QString& path, const DatabaseSettings& settings, const SettingsNumbers& numbers);

// The four texts and the 33 numbers of the file.
struct SettingsContents {
    DatabaseSettings settings;
    SettingsNumbers numbers{};
};

// The file as it is now, the numbers as LoadSettings applies them; nothing when there is
// no file or it could not be read.
std::optional<SettingsContents> ReadSettingsContents(const QString& path);

// What a copy of the program writes when it ends. Another copy of the same user may have
// written the file since this one read it (or took its first-start settings): each line
// this copy changed since `baseline` is written as `current` has it, every other line
// as the file holds it now, so that one copy never puts back what another changed. All
// of `current` when there is no file now.
SettingsContents MergeSettings(const SettingsContents& baseline, const SettingsContents& current,
                               const std::optional<SettingsContents>& onDisk);

// The database file name with ".FDB" appended when it has no extension: no period after
// its last path delimiter ("\", "/" or ":"). Double-byte characters are kept whole.
std::string WithDatabaseExtension(const std::string& name);
