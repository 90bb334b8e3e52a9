// The group window at the keyboard and the mouse: its actions with their keys and the
// one place that decides which are enabled, its context menus, the count of entries in
// the status bar, and the dialogs it lends.
#include "groupwin/groupwindow.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include "groupwin/comparewindow.h"
#include "groupwin/filelistmodel.h"

namespace {


QAction* KeyAction(QWidget* owner, const char* name, const QString& text, const QList<QKeySequence>& keys)
{
    auto* a = new QAction(text, owner);
    a->setObjectName(name);
    a->setShortcuts(keys);
    // Only while the focus is in the view it belongs to: Delete removes entries in the
    // list and the sub-group in the tree, as in a file manager.
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(a);
    return a;
}

// The button's tooltip names the key of the action it shares its command with.
void Tip(QPushButton* button, const QString& opening, const QAction* action)
{
    button->setToolTip(opening + action->shortcut().toString(QKeySequence::NativeText) + ")");
}

} // namespace

void GroupWindow::BuildActions()
{
    auto on = [this](QAction* a, void (GroupWindow::*command)()) {
        connect(a, &QAction::triggered, this, command);
        return a;
    };
    openAction = on(KeyAction(fileList, "openAction", "開く", {Qt::Key_Return, Qt::Key_Enter}), &GroupWindow::OpenFirstSelected);
    openWithAction = on(KeyAction(fileList, "openWithAction", "プログラムを指定して開く...", {}), &GroupWindow::OpenFirstSelectedWith);
    openFolderAction = on(KeyAction(fileList, "openFolderAction", "保存場所のフォルダを開く", {}), &GroupWindow::OpenFolderOfFirstSelected);
    editMemoAction = on(KeyAction(fileList, "editMemoAction", "メモ入力編集", {Qt::Key_F2}), &GroupWindow::EditMemo);
    readMemosAction = on(KeyAction(fileList, "readMemosAction", "JWメモ取得", {}), &GroupWindow::ReadDrawingMemos);
    copyAction = on(KeyAction(fileList, "copyAction", "コピー", {QKeySequence::Copy}), &GroupWindow::CopyEntries);
    pasteAction = on(KeyAction(fileList, "pasteAction", "貼付", {QKeySequence::Paste}), &GroupWindow::PasteEntries);
    removeAction = on(KeyAction(fileList, "removeAction", "削除", {Qt::Key_Delete}), &GroupWindow::RemoveEntries);
    copyPathsAction = on(KeyAction(fileList, "copyPathsAction", "パスをコピー", {}), &GroupWindow::CopyPaths);
    selectAllAction = KeyAction(fileList, "selectAllAction", "全て選択", {QKeySequence::SelectAll});
    connect(selectAllAction, &QAction::triggered, fileDetailView, &QAbstractItemView::selectAll);

    createSubGroupAction = on(KeyAction(subGroupTree, "createSubGroupAction", "作成", {}), &GroupWindow::CreateSubGroupCommand);
    editSubGroupAction = on(KeyAction(subGroupTree, "editSubGroupAction", "編集", {Qt::Key_F2}), &GroupWindow::EditSubGroupCommand);
    deleteSubGroupAction = on(KeyAction(subGroupTree, "deleteSubGroupAction", "削除", {Qt::Key_Delete}), &GroupWindow::DeleteSubGroupCommand);
    pasteIntoNodeAction = on(KeyAction(subGroupTree, "pasteIntoNodeAction", "貼付", {QKeySequence::Paste}), &GroupWindow::PasteEntries);
    readAgainAction = on(KeyAction(this, "readAgainAction", "最新の情報に更新", {Qt::Key_F5}), &GroupWindow::ReadAgain);
    // Ctrl+1, 2 and 3 pick the view style anywhere in the window, as in the desktop's file
    // managers.
    for (int style = 0; style < viewStyleBox->count(); ++style) {
        QAction* pick = KeyAction(this, "", viewStyleBox->itemText(style), {QKeySequence(Qt::CTRL | (Qt::Key_1 + style))});
        connect(pick, &QAction::triggered, this, [this, style] { SetViewStyleIndex(style); });
    }
    viewStyleBox->setToolTip("表示の切替 (Ctrl+1 / Ctrl+2 / Ctrl+3)");
    // In the list's menu rather than the bar, which they would make too wide.
    linkCheckAction = on(KeyAction(fileList, "linkCheckAction", "リンク切れ確認...", {}), &GroupWindow::RequestLinkCheck);
    replaceFolderAction = on(KeyAction(fileList, "replaceFolderAction", "フォルダの置換...", {}), &GroupWindow::RequestFolderReplace);
    compareAction = KeyAction(fileList, "compareAction", "図面を比較(&D)", {});
    compareWithAction = KeyAction(fileList, "compareWithAction", "比較するファイルを選ぶ...", {});
    connect(compareAction, &QAction::triggered, this, [this] { CompareSelectedDrawings(false); });
    connect(compareWithAction, &QAction::triggered, this, [this] { CompareSelectedDrawings(true); });
    printListAction = KeyAction(fileList, "printListAction", "図面リストを印刷...", {});
    pdfListAction = KeyAction(fileList, "pdfListAction", "図面リストをPDFに出力...", {});
    connect(printListAction, &QAction::triggered, this, [this] { DrawingList(false); });
    connect(pdfListAction, &QAction::triggered, this, [this] { DrawingList(true); });
    filterAction = KeyAction(this, "filterAction", "絞り込み", {QKeySequence::Find});
    connect(filterAction, &QAction::triggered, this, [this] {
        filterEdit->setFocus(Qt::ShortcutFocusReason);
        filterEdit->selectAll();
    });
    filterEdit->setToolTip("ファイル名かメモに含む文字で絞り込み (Ctrl+F、Esc で解除)");

    fileMenu = new QMenu(this);
    fileMenu->setObjectName("fileMenu");
    fileMenu->addActions({openAction, openWithAction, openFolderAction});
    fileMenu->addSeparator();
    fileMenu->addActions({editMemoAction, readMemosAction});
    fileMenu->addSeparator();
    fileMenu->addActions({copyAction, pasteAction, removeAction});
    fileMenu->addSeparator();
    fileMenu->addAction(copyPathsAction);
    fileMenu->addSeparator();
    fileMenu->addActions({linkCheckAction, replaceFolderAction});
    fileMenu->addSeparator();
    fileMenu->addActions({compareAction, compareWithAction});
    fileMenu->addSeparator();
    fileMenu->addActions({printListAction, pdfListAction});
    treeMenu = new QMenu(this);
    treeMenu->setObjectName("treeMenu");
    treeMenu->addActions({createSubGroupAction, editSubGroupAction, deleteSubGroupAction});

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(fileIconView),
                                    static_cast<QAbstractItemView*>(fileDetailView),
                                    static_cast<QAbstractItemView*>(subGroupTree)}) {
        // Right-click and the menu key alike.
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->installEventFilter(this);   // tells the menu key from a right-click
        view->viewport()->installEventFilter(this);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            QPoint at = view->viewport()->mapToGlobal(pos);
            // The menu key opens the menu at the current entry or node, as Explorer does,
            // not wherever the mouse pointer happens to be.
            const QRect current = view->visualRect(view->currentIndex());
            if (std::exchange(menuByKey_, false) && current.intersects(view->viewport()->rect()))
                at = view->viewport()->mapToGlobal(current.center());
            PrepareContextMenu(view)->popup(at);
        });
    }

    closeButton->setToolTip("閉じる (Esc)");
    addFilesButton->setToolTip("ファイル追加登録 (Alt+A)");
    createSubGroupButton->setToolTip("サブグループの作成");
    Tip(editMemoButton, "メモ入力編集 (", editMemoAction);
    Tip(copyButton, "コピー (", copyAction);
    Tip(pasteButton, "貼付 (", pasteAction);
    Tip(removeButton, "削除 (", removeAction);
    Tip(editSubGroupButton, "サブグループの編集 (ツリーで ", editSubGroupAction);
    Tip(deleteSubGroupButton, "サブグループの削除 (ツリーで ", deleteSubGroupAction);

    countLabel = new QLabel(statusLine);
    countLabel->setObjectName("countLabel");
    statusLine->addWidget(countLabel);
    // Counted once the rows and the selection have settled: a command that removes a
    // thousand rows would otherwise count a thousand times.
    auto* countLater = new QTimer(this);
    countLater->setSingleShot(true);
    countLater->setInterval(0);
    connect(countLater, &QTimer::timeout, this, &GroupWindow::UpdateCount);
    auto recount = [countLater] { countLater->start(); };
    connect(this, &GroupWindow::entriesChanged, this, recount);
    connect(this, &GroupWindow::selectionChanged, this, recount);
    connect(this, &GroupWindow::selectionChanged, this, &GroupWindow::UpdateActions);
    connect(subGroupTree, &QTreeWidget::currentItemChanged, this, &GroupWindow::UpdateActions);
    UpdateActions();
    UpdateCount();
}

QMenu* GroupWindow::PrepareContextMenu(QWidget* view)
{
    UpdateActions();
    return view == subGroupTree || view == subGroupTree->viewport() ? treeMenu : fileMenu;
}

void GroupWindow::UpdateActions()
{
    // Disabled, not hidden: the user sees what the menu holds and why it cannot act.
    const bool selected = fileIconView->selectionModel()->hasSelection();
    for (QAction* a : {openAction, openWithAction, openFolderAction, editMemoAction, readMemosAction, copyAction, removeAction,
                       copyPathsAction})
        a->setEnabled(selected);
    const std::vector<int> rows = SelectedRows();
    const bool drawings = !thumbnailer_.isEmpty() && std::all_of(rows.begin(), rows.end(), [this](int r) {
        return IsComparedType(fileSortModel->Row(r).cells[kCellType]);
    });
    compareAction->setEnabled(drawings && rows.size() == 2);
    compareWithAction->setEnabled(drawings && rows.size() == 1);
    pasteAction->setEnabled(clipboard_.Count() > 0);
    pasteIntoNodeAction->setEnabled(clipboard_.Count() > 0);
    const QTreeWidgetItem* node = SelectedNode();
    const bool subGroup = node && node != subGroupTree->topLevelItem(0);
    editSubGroupAction->setEnabled(subGroup);
    printListAction->setEnabled(fileSortModel->rowCount() > 0);
    pdfListAction->setEnabled(fileSortModel->rowCount() > 0);
    deleteSubGroupAction->setEnabled(subGroup);
}

void GroupWindow::UpdateCount()
{
    const qsizetype selected = fileIconView->selectionModel()->selectedRows(kCellName).size();
    QString text = fileSortModel->Filtered()
                       ? QString("%1 件中 %2 件を表示").arg(fileModel->Count()).arg(fileSortModel->rowCount())
                       : QString::number(fileSortModel->rowCount()) + " 件";
    if (selected > 0) text += "（" + QString::number(selected) + " 件選択）";
    countLabel->setText(text);
}

void GroupWindow::KeepInFront(QDialog* dialog)
{
    // A dialog of this window: its window manager puts it over this window and gives
    // the focus back to it, and the dialog has no minimise or maximise button.
    dialog->setParent(this, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->installEventFilter(this);
}

bool GroupWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == filterEdit && event->type() == QEvent::FocusIn) fileModel->FoldAll();
    if (watched == filterEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !filterEdit->text().isEmpty()) {
        filterEdit->clear();   // a second Esc closes the window, as anywhere in it
        return true;
    }
    if (event->type() == QEvent::ContextMenu)
        menuByKey_ = static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    if (event->type() == QEvent::Hide && watched->parent() == this && isVisible()) {
        // Closed: this window stays in front, not the board.
        raise();
        activateWindow();
    }
    return QWidget::eventFilter(watched, event);
}

