#pragma once
// The windows' part of the settings file (lines 5-37): where each window stands and how
// large it is, and the group window's column widths, view style and tree width. Read
// into the windows at start, collected from them at the end.
#include <cstdint>

#include "settings/settingsfile.h"

class QString;
class QWidget;
class DatabaseSettingsDialog;
class GroupWindow;
class GroupCreateDialog;
class GroupEditDialog;
class MemoDialog;
class SubGroupNameDialog;
class SearchWindow;

// The other windows of the program, created after the main window and handed to it.
struct ProgramWindows {
    DatabaseSettingsDialog* settingsDialog = nullptr;
    GroupWindow* groupWindow = nullptr;
    GroupEditDialog* editDialog = nullptr;
    GroupCreateDialog* createDialog = nullptr;
    MemoDialog* memoDialog = nullptr;
    SubGroupNameDialog* subGroupNameDialog = nullptr;
    SearchWindow* searchWindow = nullptr;
};

// Puts the number of one line into the window it belongs to (a window that does not
// exist takes nothing). Places and sizes are held within reach of Qt's arithmetic.
void ApplyWindowSetting(QWidget& mainWindow, const ProgramWindows& windows, int line, int32_t value);

// Keeps every restored window's title bar on a screen and its size within it.
void PlaceWindowsOnScreens(QWidget& mainWindow, const ProgramWindows& windows);

// The numbers of lines 5-37 as the windows stand; a window that does not exist gives
// zeros. A maximised main window gives the place it returns to.
SettingsNumbers CollectWindowSettings(QWidget& mainWindow, const ProgramWindows& windows);

// A window that the settings file has no lines for (the link check) keeps its place and
// size in the preferences file instead, under its object name: restored there, kept on
// the screens, and stored from there.
void RestoreWindowPlace(QWidget& window, const QString& preferencesFile);
void StoreWindowPlace(const QWidget& window, const QString& preferencesFile);
