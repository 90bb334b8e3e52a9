// The board at the keyboard and with the right mouse button: the context menus and the
// keys reach the main window's commands (with their questions) for the right group.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "groupdlg/groupeditdialog.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/groupwindow.h"
#include "support/controls.h"
#include "support/testdb.h"

namespace {

// Runs `open` (which pops a menu up and waits in it), checks the menu's items and
// chooses the item of that object name with Enter, as a user does.
QStringList ChooseFromMenu(const std::function<void()>& open, const char* item, QPoint* shownAt = nullptr)
{
    QStringList texts;
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        shown = true;
        if (shownAt) *shownAt = menu->pos();
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text() + (a->shortcut().isEmpty() ? "" : "\t" + a->shortcut().toString());
        QAction* chosen = item ? menu->findChild<QAction*>(item) : nullptr;
        if (!chosen) {
            menu->close();
            return;
        }
        menu->setActiveAction(chosen);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    open();
    if (!shown) QTest::qWait(50);
    return texts;
}

void RightClick(QWidget* w, QPoint at)
{
    QTest::mousePress(w, Qt::RightButton, {}, at);
    // Qt opens the menu at the press; the release then belongs to the menu.
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &e);
}

// The menu key as the X11 platform delivers it: a context menu event of the keyboard to
// the focus widget (the offscreen platform does not make one).
void MenuKey(QWidget* w)
{
    QContextMenuEvent e(QContextMenuEvent::Keyboard, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(w, &e);
}

struct ThreeGroups {
    Setup set;
    ThreeGroups()
    {
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "16", "0", "a"));
        QVERIFY(InsertGroup(set.session, 2, "two", "", "80", "0", "b"));
        QVERIFY(InsertGroup(set.session, 3, "three", "", "16", "64", "c"));
        QVERIFY(InsertGroup(set.session, 4, "four", "", "216", "64", "d"));
        set.Done();
    }
};

bool ShowActive(Program& p)
{
    if (!p.Show()) return false;
    p.mainWindow.activateWindow();
    return QTest::qWaitForWindowActive(&p.mainWindow);
}

} // namespace

class TestBoardKeys : public QObject {
    Q_OBJECT

private slots:
    void groupMenuActsOnTheGroupClicked()
    {
        ThreeGroups g;
        Program p(g.set.folder.programFile());
        QVERIFY(ShowActive(p));
        BoardView* board = p.mainWindow.boardView;
        Select(p, 1);

        // The group right-clicked becomes the selected group before its menu shows.
        QLabel* two = board->GroupIcon(2);
        const QStringList items = ChooseFromMenu([&] { RightClick(two, {5, 5}); }, "groupMenuDelete");
        QCOMPARE(items, (QStringList{"開く(&O)\tReturn", "編集(&E)...\tF2", "複製(&C)", "削除(&D)\tDel"}));
        QCOMPARE(board->Board().selectedGroup, 2);
        QVERIFY(!board->Board().pressed);
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("two"));
        QCOMPARE(p.fake.messages.asked, QStringList{"グループ「two」を削除します。よろしいですか？"});
        QVERIFY(board->GroupIcon(2));   // answered No

        p.fake.messages.nextAnswers = {true};
        ChooseFromMenu([&] { RightClick(board->GroupCaption(3), {2, 2}); }, "groupMenuCopy");
        QCOMPARE(p.fake.messages.asked.last(), QString("グループ「three」を複製します。よろしいですか？"));
        QVERIFY(board->GroupIcon(5));

        ChooseFromMenu([&] { RightClick(board->GroupIcon(1), {5, 5}); }, "groupMenuOpen");
        QVERIFY(p.windows.groupWindow->isVisible());
        QCOMPARE(p.windows.groupWindow->currentGroupNumber, 1);
        p.windows.groupWindow->close();

        bool edited = false;
        ChooseFromMenu(
            [&] {
                QTimer::singleShot(0, [&] {
                    edited = p.windows.editDialog->isVisible();
                    QCOMPARE(p.windows.editDialog->nameEdit->text(), QString("two"));
                    p.windows.editDialog->reject();
                });
                RightClick(board->GroupIcon(2), {5, 5});
            },
            "groupMenuEdit");
        QVERIFY(edited);

        // The menu key opens the selected group's menu at its icon.
        QPoint at;
        ChooseFromMenu([&] { MenuKey(board); }, nullptr, &at);
        QVERIFY(QRect(board->GroupIcon(2)->mapToGlobal(QPoint(0, 0)), QSize(32, 32)).contains(at));
    }

    void boardMenuOnTheEmptyBoard()
    {
        ThreeGroups g;
        Program p(g.set.folder.programFile());
        QVERIFY(ShowActive(p));
        BoardView* board = p.mainWindow.boardView;
        const QStringList items =
            ChooseFromMenu([&] { RightClick(board->canvas, {300, 150}); }, "boardMenuTidy");
        QCOMPARE(items, (QStringList{"グループ作成(&N)...\tCtrl+N", "グループ位置整理(&S)", "最新の情報に更新(&U)\tF5"}));
        QCOMPARE(board->GroupIcon(3)->pos(), QPoint(144, 0));   // tidied into the first row

        bool shown = false;
        ChooseFromMenu(
            [&] {
                QTimer::singleShot(0, [&] {
                    shown = p.windows.createDialog->isVisible();
                    p.windows.createDialog->reject();
                });
                RightClick(board->canvas, {300, 150});
            },
            "boardMenuMake");
        QVERIFY(shown);

        // Nothing selected: the menu key gives the board's menu.
        const QStringList viaKey = ChooseFromMenu([&] { MenuKey(board); }, nullptr);
        QCOMPARE(viaKey.size(), 3);
    }

    // Files from a file manager dragged over the board: taken in, allowed and marked
    // only over a group, and registered in that group's window when dropped there;
    // anything without local files is not taken in.
    void filesDroppedOnAGroup()
    {
        ThreeGroups g;
        Program p(g.set.folder.programFile());
        QVERIFY(ShowActive(p));
        BoardView* board = p.mainWindow.boardView;
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(KUMO_TESTDATA "/jww/Test1.jww"), QUrl("https://example.org/plan.jww")});
        const auto send = [&](QEvent::Type type, QPoint at, const QMimeData* data) {
            const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
            if (type == QEvent::DragEnter) {
                QDragEnterEvent e(at, actions, data, Qt::LeftButton, {});
                QCoreApplication::sendEvent(board->canvas, &e);
                return e.isAccepted();
            }
            if (type == QEvent::DragMove) {
                QDragMoveEvent e(at, actions, data, Qt::LeftButton, {});
                QCoreApplication::sendEvent(board->canvas, &e);
                return e.isAccepted();
            }
            QDropEvent e(at, actions, data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(board->canvas, &e);
            return e.isAccepted() && e.dropAction() == Qt::CopyAction;
        };
        const auto marked = [&](int group) {
            return board->GroupCaption(group)->palette().color(QPalette::Window) ==
                   board->palette().color(QPalette::Active, QPalette::Highlight);
        };
        const QPoint onTwo = board->GroupIcon(2)->geometry().center(), empty(300, 150);

        QMimeData text;
        text.setText("plan.jww");
        QVERIFY(!send(QEvent::DragEnter, empty, &text));
        QVERIFY(send(QEvent::DragEnter, empty, &files));
        QVERIFY(!send(QEvent::DragMove, empty, &files));
        QVERIFY(!send(QEvent::Drop, empty, &files));
        QVERIFY(send(QEvent::DragEnter, empty, &files));   // a drag anew
        QVERIFY(send(QEvent::DragMove, onTwo, &files));
        QVERIFY(marked(2) && !marked(1));
        QVERIFY(send(QEvent::DragMove, board->GroupCaption(1)->geometry().center(), &files));
        QVERIFY(marked(1) && !marked(2));
        QVERIFY(send(QEvent::Drop, onTwo, &files));
        QVERIFY(!marked(1) && !marked(2));
        GroupWindow* window = p.windows.groupWindow;
        QTRY_VERIFY(window->isVisible());
        QCOMPARE(window->currentGroupNumber, 2);
        QCOMPARE(p.mainWindow.Session().CountRecords(FileTableName(2), "SN=0"), 1);
        QCOMPARE(Control<FileListModel>(window, "fileModel")->rowCount(), 1);
        p.Close();
    }

    void keysOfTheBoard()
    {
        ThreeGroups g;
        Program p(g.set.folder.programFile());
        QVERIFY(ShowActive(p));
        BoardView* board = p.mainWindow.boardView;
        QVERIFY(board->hasFocus());
        GroupBoard& b = board->Board();

        // Arrows: nothing selected takes the first group, then the nearest one ahead.
        QTest::keyClick(board, Qt::Key_Down);
        QCOMPARE(b.selectedGroup, 1);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("1"));
        QTest::keyClick(board, Qt::Key_Right);
        QCOMPARE(b.selectedGroup, 2);
        QTest::keyClick(board, Qt::Key_Down);
        QCOMPARE(b.selectedGroup, 3);
        // Along the row, not back to the nearer group diagonally above.
        QTest::keyClick(board, Qt::Key_Right);
        QCOMPARE(b.selectedGroup, 4);
        QTest::keyClick(board, Qt::Key_Right);   // nothing further right
        QCOMPARE(b.selectedGroup, 4);
        QTest::keyClick(board, Qt::Key_Up);
        QCOMPARE(b.selectedGroup, 2);
        QTest::keyClick(board, Qt::Key_Left);
        QCOMPARE(b.selectedGroup, 1);
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("one"));
        QCOMPARE(board->GroupCaption(1)->palette().color(QPalette::Window),
                 board->GroupCaption(1)->palette().color(QPalette::Active, QPalette::Highlight));

        // The menu bar's items carry the keys, their mnemonics unchanged.
        QCOMPARE(p.mainWindow.mnuOpenGroup->text(), QString("グループを開く(&O)"));
        QCOMPARE(p.mainWindow.mnuOpenGroup->shortcut(), QKeySequence(Qt::Key_Return));
        QCOMPARE(p.mainWindow.mnuEditGroup->shortcut(), QKeySequence(Qt::Key_F2));
        QCOMPARE(p.mainWindow.mnuDeleteGroup->shortcut(), QKeySequence(Qt::Key_Delete));

        QTest::keyClick(board, Qt::Key_Return);
        QVERIFY(p.windows.groupWindow->isVisible());
        QCOMPARE(p.windows.groupWindow->currentGroupNumber, 1);
        p.windows.groupWindow->close();
        p.mainWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&p.mainWindow));

        p.fake.messages.nextAnswers = {true};
        QTest::keyClick(board, Qt::Key_Delete);
        QCOMPARE(p.fake.messages.asked, QStringList{"グループ「one」を削除します。よろしいですか？"});
        QVERIFY(!board->GroupIcon(1));
        QCOMPARE(b.selectedGroup, 0);
        // With nothing selected, Delete asks nothing.
        QTest::keyClick(board, Qt::Key_Delete);
        QCOMPARE(p.fake.messages.asked.size(), 1);

        QTest::keyClick(board, Qt::Key_Right);   // the first group left
        QCOMPARE(b.selectedGroup, 2);
        bool edited = false;
        QTimer::singleShot(0, [&] {
            edited = p.windows.editDialog->isVisible() && p.windows.editDialog->editedGroupNumber == 2;
            p.windows.editDialog->reject();
        });
        QTest::keyClick(board, Qt::Key_F2);
        QVERIFY(edited);

        // Letters select by name in the board's reading order (two, three, four): one
        // letter goes on to the next name it begins, round the board; a longer beginning
        // may stay; a pause starts anew; what no name begins with leaves the selection.
        QTest::keyClick(board, Qt::Key_T);
        QCOMPARE(b.selectedGroup, 3);
        QTest::keyClick(board, Qt::Key_T);
        QCOMPARE(b.selectedGroup, 2);
        QTest::qWait(1100);
        QTest::keyClicks(board, "th");
        QCOMPARE(b.selectedGroup, 3);
        QTest::qWait(1100);
        QTest::keyClicks(board, "FOx");
        QCOMPARE(b.selectedGroup, 4);
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("four"));
    }
};

QTEST_MAIN(TestBoardKeys)
#include "test_boardkeys.moc"
