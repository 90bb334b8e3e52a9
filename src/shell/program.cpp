#include "shell/program.h"

#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "search/searchwindow.h"
#include "shell/databasesettingsdialog.h"

ProgramWindows CreateProgramWindows(MainWindow& mainWindow, const Platform& platform)
{
    ProgramWindows w;
    w.settingsDialog = new DatabaseSettingsDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.groupWindow = new GroupWindow(mainWindow.Session(), mainWindow.Settings(), platform, mainWindow.Clipboard(),
                                    &mainWindow);
    w.editDialog = new GroupEditDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.createDialog = new GroupCreateDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.memoDialog = new MemoDialog(platform, &mainWindow);
    w.subGroupNameDialog = new SubGroupNameDialog(platform, &mainWindow);
    w.searchWindow = new SearchWindow(mainWindow.Session(), platform, &mainWindow);
    mainWindow.SetWindows(w);
    return w;
}
