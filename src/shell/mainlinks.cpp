// The main window's commands on moved files: the check of missing files and the folder
// replacement for all groups (and for the group window's group), and the table of
// folders shared with Windows PCs.
#include "shell/mainwindow.h"

#include <QAction>
#include <QMenu>

#include "groupwin/groupwindow.h"
#include "links/folderreplacedialog.h"
#include "links/linkcheckwindow.h"
#include "links/rootmapdialog.h"
#include "platform/dialogplace.h"
#include "text/cp932.h"

void MainWindow::BuildLinkMenu()
{
    auto item = [this](const char* name, const QString& caption, void (MainWindow::*handler)()) {
        QAction* a = mnuEdit->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    mnuEdit->addSeparator();
    mnuLinkCheck = item("mnuLinkCheck", "リンク切れ確認(&L)...", &MainWindow::mnuLinkCheckClick);
    mnuReplaceFolder = item("mnuReplaceFolder", "フォルダの置換(&R)...", &MainWindow::mnuReplaceFolderClick);
    mnuRootMap = item("mnuRootMap", "Windows と共有するフォルダ(&W)...", &MainWindow::mnuRootMapClick);
}

void MainWindow::MakeLinkWindows()
{
    if (linkCheckWindow) return;
    linkCheckWindow = new LinkCheckWindow(session_, platform_, rootMappings_, this);
    RestoreWindowPlace(*linkCheckWindow, files_.preferencesFile);
    folderReplaceDialog = new FolderReplaceDialog(session_, platform_, rootMappings_, this);
    rootMapDialog = new RootMapDialog(platform_, this);
    CentreWhenShown(*folderReplaceDialog);
    CentreWhenShown(*rootMapDialog);
    connect(linkCheckWindow, &LinkCheckWindow::OpenEntryRequested, this, &MainWindow::OpenGroupAt);
    // Entries pointed elsewhere show so at once in the open group.
    connect(linkCheckWindow, &LinkCheckWindow::EntriesChanged, this, [this](int32_t group) {
        GroupWindow* window = windows_.groupWindow;
        if (window && window->isVisible() && (group == 0 || group == window->currentGroupNumber)) window->FillFileList();
    });
}

void MainWindow::mnuLinkCheckClick() { CheckLinks(0); }

void MainWindow::mnuReplaceFolderClick() { ReplaceFolder(0, {}); }

void MainWindow::CheckLinks(int32_t group)
{
    if (!CatalogueCommandReady()) return;
    MakeLinkWindows();
    linkCheckWindow->show();
    linkCheckWindow->raise();
    linkCheckWindow->activateWindow();
    linkCheckWindow->Check(group);
}

void MainWindow::ReplaceFolder(int32_t group, const std::vector<int32_t>& selected)
{
    if (!CatalogueCommandReady()) return;
    MakeLinkWindows();
    if (!folderReplaceDialog->Run(group, selected)) return;
    GroupWindow* window = windows_.groupWindow;
    if (window && window->isVisible()) window->FillFileList();
}

void MainWindow::mnuRootMapClick()
{
    MakeLinkWindows();
    if (!rootMapDialog->Edit(files_.preferencesFile, rootMappings_)) return;
    GroupWindow* window = windows_.groupWindow;
    if (window && window->isVisible()) window->FillFileList();
    // Entries below a folder just shared may be found now: a list on screen says so.
    if (linkCheckWindow->isVisible() && !linkCheckWindow->Busy()) linkCheckWindow->Check(linkCheckWindow->CheckedGroup());
}
