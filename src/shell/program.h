#pragma once
// The windows of the program besides the main window, created once in their fixed
// order and owned by the main window.
#include <QCoreApplication>

#include "platform/platform.h"
#include "shell/mainwindow.h"

// Creates DatabaseSettingsDialog, GroupWindow, GroupEditDialog, GroupCreateDialog, MemoDialog, SubGroupNameDialog and SearchWindow (in that order),
// hidden, as windows of mainWindow, and hands them to it.
ProgramWindows CreateProgramWindows(MainWindow& mainWindow, const Platform& platform);

// Qt's own texts (the buttons and labels of standard dialogs) in Japanese, whatever the
// system's locale: every other text of the program is Japanese. False when Qt's
// translations are not installed.
bool InstallJapaneseTranslations(QCoreApplication& app);

// Noto Sans CJK JP (the set-up installs it) as the font of every window, when the system
// has it: it holds Latin and Japanese alike, where the system's default would draw Latin
// text in one font and Japanese in another. False (the system's font stays) otherwise.
bool UseJapaneseUiFont();

// The data folder the set-up prepares, which a first start uses (see MainWindow).
inline constexpr const char* kSetupDataFolder = "/var/lib/kumolist/data/";
