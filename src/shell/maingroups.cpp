// The main window's commands on groups: make, open, edit, move, tidy, duplicate and
// delete. They act on the group selected on the board, with the row its panel shows.
#include "shell/mainwindow.h"

#include <QDialog>

#include "db/schema.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "text/cp932.h"
#include "text/textutil.h"

void MainWindow::OpenSelectedGroup()
{
    boardView->EndPress();
    const int32_t group = CommandGroup();
    if (group == 0) return;
    OpenGroupWindow(group, shownGroup_.name, 0);
}

void MainWindow::OpenGroupWindow(int32_t group, const std::string& groupName, int32_t entry, const ShownGroup* row)
{
    if (!ReattachIfLost()) return;
    // A group's tables come with its first opening, not with its creation.
    EnsureGroupTables(session_, group);
    GroupWindow* window = windows_.groupWindow;
    if (!window) return;
    // A later open replaces the group shown: closing empties the window, showing fills it.
    window->CloseWindow();
    window->currentGroupNumber = group;
    window->currentGroupName = groupName;
    // The row just read, or the one the board shows; where that one differs in number,
    // the window reads its row itself.
    window->currentGroup = row ? *row : shownGroup_;
    window->show();
    window->raise();
    window->activateWindow();
    if (entry != 0) window->SelectEntry(entry);
}

void MainWindow::RegisterOnGroup(int32_t group, const QStringList& files)
{
    // In the group's window, which shows what was registered and says what was not, as a
    // drop on its list does.
    OpenGroupAt(group, 0);
    GroupWindow* window = windows_.groupWindow;
    if (!window || !window->isVisible() || window->currentGroupNumber != group) return;
    window->RegisterDroppedFiles(files, 0);
}

void MainWindow::OpenGroupAt(int32_t group, int32_t entry)
{
    if (!CatalogueCommandReady()) return;
    // The group as it is now: another copy may have renamed or deleted it since the list
    // was made, and a deleted group must not get its tables again.
    // The row read here is the one the window's writes check against: it is not read twice.
    const std::optional<ShownGroup> read = ReadShownGroup(session_, group);
    if (!read) return;   // not read: a lost connection is told by its own message
    const ShownGroup& row = *read;
    if (row.number == 0) {
        platform_.messages->ShowMessage(this, "他の利用者がグループを削除しました。");
        return;
    }
    OpenGroupWindow(group, row.name, entry, &row);
}

bool MainWindow::RefuseWithoutNumber()
{
    if (!CatalogueReady(session_) || NextGroupNumber(session_).status != NextNumbers::Status::Full) return false;
    platform_.messages->ShowMessage(this, QString::fromUtf8(kNoGroupNumberLeft));
    return true;
}

int32_t MainWindow::CommandGroup()
{
    if (!CatalogueCommandReady()) return 0;
    const int32_t group = boardView->SelectedGroup();
    // The panel holds the group's row as shown, which duplicate and delete check the
    // stored one against: it must be this group's.
    return group != 0 && shownGroup_.number == group ? group : 0;
}

void MainWindow::ReportChangedGroup(const QString& name)
{
    platform_.messages->ShowMessage(
        this, "他の利用者がグループ「" + name + "」を変更または削除しました。グループの表示を更新します。");
    boardView->Board().ResetSelection();
    ClearDetails();
    boardView->BuildBoard();
}

void MainWindow::mnuMakeGroupClick()
{
    GroupCreateDialog* dialog = windows_.createDialog;
    if (!dialog || !ReattachIfLost() || RefuseWithoutNumber()) return;
    if (dialog->exec() != QDialog::Accepted) return;
    const int32_t group = dialog->createdGroupNumber;
    GroupBoard& board = boardView->Board();
    const std::optional<GroupRecord> record = board.ReadGroup(group);
    board.AddSlot(group);
    if (!record) {
        // Created but not read back: the next reading of the board shows it.
        ShowGroupUnread();
        return;
    }
    boardView->AddGroupIconFromRecord(*record);
    boardView->EnsureGroupVisible(group);
}

void MainWindow::mnuEditGroupClick()
{
    GroupEditDialog* dialog = windows_.editDialog;
    GroupBoard& board = boardView->Board();
    if (!dialog || !CatalogueCommandReady() || boardView->SelectedGroup() == 0) return;
    const int32_t group = boardView->SelectedGroup();
    dialog->editedGroupNumber = group;
    if (dialog->exec() != QDialog::Accepted) return;
    const std::optional<GroupRecord> record = board.ReadGroup(group);
    if (!record) {
        // Stored but not read back: the icon stays as it was, the panel shows nothing.
        ShowGroupUnread();
        return;
    }
    // The open group window checks its group before each write: this user's own edit is
    // no other user's change.
    GroupWindow* window = windows_.groupWindow;
    if (window && window->currentGroupNumber == group && record->number == group)
        window->currentGroup = ShownFromRecord(*record);
    board.RemoveGroupIcon(group);
    boardView->AddGroupIconFromRecord(*record);
    // The panel shows what was stored, not the values from before the edit.
    if (boardView->SelectedGroup() == group) board.ShowGroupDetails(group);
}

void MainWindow::mnuMoveGroupClick()
{
    const int32_t group = CommandGroup();
    if (group == 0) return;
    MoveGroupToTopLeft(boardView->Board(), group);
    // At the top left it may lie under an older icon there; it is the one wanted.
    boardView->RaiseGroup(group);
    boardView->AfterBoardCommand();
}

void MainWindow::mnuLocInitGroupClick()
{
    if (!CatalogueCommandReady()) return;
    TidyGroups(boardView->Board(), clientArea->width());
    boardView->AfterBoardCommand();
}

void MainWindow::mnuCopyGroupClick()
{
    const int32_t group = CommandGroup();
    if (group == 0 || RefuseWithoutNumber()) return;
    const QString name = ToQ(shownGroup_.name);
    if (!platform_.messages->Confirm(this, "グループ「" + name + "」を複製します。よろしいですか？")) return;
    int32_t made = 0;
    switch (DuplicateGroup(boardView->Board(), session_, group, shownGroup_,
                           clientArea->width(), &made)) {
    case WriteOutcome::Done:
        boardView->AfterBoardCommand();
        boardView->EnsureGroupVisible(made);
        break;
    case WriteOutcome::GroupChanged: ReportChangedGroup(name); break;
    default: platform_.messages->ShowMessage(this, "グループ複製失敗"); break;
    }
}

void MainWindow::mnuDeleteGroupClick()
{
    const int32_t group = CommandGroup();
    if (group == 0) return;
    const QString name = ToQ(shownGroup_.name);
    if (!platform_.messages->Confirm(this, "グループ「" + name + "」を削除します。よろしいですか？")) return;
    switch (DeleteGroup(boardView->Board(), session_, group, shownGroup_)) {
    case WriteOutcome::Done:
        ClearDetails();
        boardView->AfterBoardCommand();
        break;
    case WriteOutcome::GroupChanged: ReportChangedGroup(name); break;
    default:
        // Nothing was deleted: the group keeps its entries, its icon and the selection.
        platform_.messages->ShowMessage(this, "グループ削除失敗");
        break;
    }
}

void MainWindow::mnuOpenGroupClick() { OpenSelectedGroup(); }
