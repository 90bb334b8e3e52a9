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

// The data folder the set-up prepares, which a first start uses (see MainWindow).
inline constexpr const char* kSetupDataFolder = "/var/lib/kumolist/data/";
