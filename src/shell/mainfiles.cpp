// The main window's answer to files handed over from outside: a file manager's "open
// with", the desktop entry's actions, a second start of the program.
#include "shell/mainwindow.h"

#include <QFileInfo>

#include "links/filedentries.h"
#include "links/filedwindow.h"
#include "text/cp932.h"

void MainWindow::TakeArguments(const QStringList& arguments)
{
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    QStringList paths;
    for (const QString& a : arguments) {
        // The desktop entry's actions name what the user asked for; both show the list,
        // from which the files not filed are registered.
        if (a.startsWith("--")) continue;
        const QFileInfo info(a);
        if (info.isFile()) paths << info.absoluteFilePath();
    }
    if (paths.isEmpty() || !CatalogueCommandReady()) return;

    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    if (!ReadGroups(session_, 0, groups) || !ReadLinkEntries(session_, groups, entries)) {
        platform_.messages->ShowMessage(this, "データベースから読めませんでした");
        return;
    }
    std::vector<std::string> named;
    QStringList unnamed;
    for (const QString& path : paths) {
        if (const std::optional<std::string> cp932 = FromQExact(path))
            named.push_back(*cp932);
        else
            unnamed << path;
    }
    if (!filedWindow) {
        filedWindow = new FiledWindow(this);
        connect(filedWindow, &FiledWindow::OpenEntryRequested, this, &MainWindow::OpenGroupAt);
        connect(filedWindow, &FiledWindow::RegisterRequested, this, &MainWindow::RegisterOnGroup);
    }
    filedWindow->Show(WhereFiled(entries, named, rootMappings_), groups, unnamed);
}
