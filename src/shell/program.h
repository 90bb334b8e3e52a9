#pragma once
// The windows of the program besides the main window, created once in their fixed
// order and owned by the main window.
#include "platform/platform.h"
#include "shell/mainwindow.h"

// Creates DatabaseSettingsDialog, GroupWindow, GroupEditDialog, GroupCreateDialog, MemoDialog, SubGroupNameDialog and SearchWindow (in that order),
// hidden, as windows of mainWindow, and hands them to it.
ProgramWindows CreateProgramWindows(MainWindow& mainWindow, const Platform& platform);
