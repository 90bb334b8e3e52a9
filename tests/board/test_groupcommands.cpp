// The group commands of the main window's menus, driven as a user drives them: select
// an icon with the mouse, choose the menu item, answer the question; then look at the
// board and at what the database holds.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "text/cp932.h"
#include "text/textutil.h"
#include "support/testdb.h"

namespace {

int Writes(const std::vector<std::string>& statements)
{
    return int(std::count_if(statements.begin(), statements.end(), [](const std::string& t) {
        return t.rfind("UPDATE", 0) == 0 || t.rfind("INSERT", 0) == 0 || t.rfind("DELETE", 0) == 0 ||
               t.rfind("DROP", 0) == 0 || t.rfind("CREATE", 0) == 0;
    }));
}

} // namespace

class TestGroupCommands : public QObject {
    Q_OBJECT

private slots:
    void createAndEditThroughTheMenus()
    {
        Setup set;
        QVERIFY(set.ok);   // no catalogue yet
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 0);

        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [](GroupCreateDialog* d) {
            QCOMPARE(d->numberEdit->text(), QString("1"));
            TypeCommitted(d->nameEdit, "図面");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
        });
        QCOMPARE(p.fake.messages.shown, QStringList{"登録OK"});
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 1);
        QLabel* icon = p.mainWindow.boardView->GroupIcon(1);
        QVERIFY(icon && icon->isVisible());
        // The first place of the tidy grid, stored as shown.
        QCOMPARE(icon->pos(), QPoint(16, 0));
        QCOMPARE(StoredX(p.mainWindow.Session(), 1) + "," + StoredY(p.mainWindow.Session(), 1), std::string("16,0"));
        QCOMPARE(p.mainWindow.boardView->GroupCaption(1)->text(), QString("図面"));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);   // the selection does not change

        // Closing the dialog without storing adds nothing.
        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [](GroupCreateDialog* d) { d->CloseDialog(); });
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 1);

        // Edit: the icon comes back at its place with the new name.
        auto& db = p.mainWindow.Session();
        QVERIFY(db.UpdateRecordText(kCatalogueTable, "X=100,Y=40", "N=1"));
        p.mainWindow.boardView->BuildBoard();
        Select(p, 1);
        WithDialog<GroupEditDialog>(p, "mnuEditGroup", p.windows.editDialog, [](GroupEditDialog* d) {
            QCOMPARE(d->nameEdit->text(), QString("図面"));
            TypeCommitted(d->nameEdit, "改訂図面");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
        });
        QCOMPARE(p.fake.messages.shown.last(), QString("編集登録OK"));
        QVERIFY(p.mainWindow.boardView->GroupIcon(1));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->pos(), QPoint(100, 40));
        QCOMPARE(p.mainWindow.boardView->GroupCaption(1)->text(), QString("改訂図面"));
        QCOMPARE(StoredX(db, 1), std::string("100"));
        QCOMPARE(p.mainWindow.findChildren<QLabel*>("groupIcon1").size(), 1);   // the old icon is gone
        p.Close();
    }

    void duplicateCopiesRowTablesAndIcon()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 3, "\x90\x7D\x96\xCA", "", "40", "30", "\x8E\x52\x93\x63", "", "sub"));   // 図面, 山田
        QVERIFY(InsertGroup(set.session, 9, "nine", "", "200", "0"));
        QVERIFY(CreateFileTable(set.session, FileTableName(3)));
        QVERIFY(set.session.InsertRecord(FileTableName(3), kFileColumnCount, FileColumns(),
                                         {"1", "'a.jww'", "'/d/'", "NULL", "'u'", "0"}));
        QVERIFY(set.session.InsertRecord(FileTableName(3), kFileColumnCount, FileColumns(),
                                         {"4", "'b.jww'", "'/d/'", "'m'", "'u'", "2"}));
        QVERIFY(CreateSubGroupTable(set.session, SubGroupTableName(3)));
        QVERIFY(set.session.InsertRecord(SubGroupTableName(3), kSubGroupColumnCount, SubGroupColumns(),
                                         {"2", "'s'", "'u'", "0"}));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 3);
        // No: nothing changes.
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.asked, QStringList{"グループ「図面」を複製します。よろしいですか？"});
        QCOMPARE(db.CountRecords(kCatalogueTable, ""), 2);

        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        const auto copy = AllRows(db, kCatalogueTable, "N=10");
        QCOMPARE(copy.size(), size_t(1));
        QCOMPARE(copy[0], (TextRow{"10", "\x90\x7D\x96\xCA", "", "sub", "\x8E\x52\x93\x63", "", "", "", "", "52", "42"}));
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=10 AND MTITLE IS NULL AND MEMO1 IS NULL AND ICONP IS NULL"), 1);
        QCOMPARE(AllRows(db, FileTableName(10)), AllRows(db, FileTableName(3)));
        QCOMPARE(AllRows(db, SubGroupTableName(10)), AllRows(db, SubGroupTableName(3)));
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 10);
        QVERIFY(p.mainWindow.boardView->GroupIcon(10));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(10)->pos(), QPoint(52, 42));
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("3"));   // the selection stays on the source

        // A group never opened has no tables; its copy has none either.
        Select(p, 9);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=11 AND X=212 AND Y=12"), 1);
        QVERIFY(!db.TableExists(FileTableName(11)) && !db.TableExists(SubGroupTableName(11)));
        p.Close();
    }

    void numbersAndPositionsAtTheirLimits()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "edge", "", "2147483647", "2147483640"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();
        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->pos(), QPoint(kMaxBoardPosition, kMaxBoardPosition));

        // The offset of the copy stops at the largest number instead of wrapping round.
        Select(p, 1);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=2 AND X=2147483647 AND Y=2147483647"), 1);

        // With the largest number taken, create and duplicate refuse, and say why.
        QVERIFY(db.InsertRecord(kCatalogueTable, 2, {"N", "GRPNAME"}, {"2147483647", "'max'"}));
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = p.windows.createDialog->isVisible();
            p.windows.createDialog->reject();
        });
        Trigger(p, "mnuMakeGroup");
        QCoreApplication::processEvents();   // the check above runs now if no dialog ran it
        QVERIFY(!shown);
        QCOMPARE(p.fake.messages.shown, QStringList{"グループ番号が上限に達しています"});
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.shown.size(), 2);
        QVERIFY(p.fake.messages.asked.size() == 1);   // refused before asking
        QCOMPARE(db.CountRecords(kCatalogueTable, ""), 3);
        QVERIFY(db.CountRecords(kCatalogueTable, "N<0") == 0);

        // The dialog itself refuses too, for a number taken after it was shown.
        QVERIFY(db.DeleteRecords(kCatalogueTable, "N=2147483647"));
        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [&](GroupCreateDialog* d) {
            QCOMPARE(d->numberEdit->text(), QString("3"));
            QVERIFY(db.InsertRecord(kCatalogueTable, 2, {"N", "GRPNAME"}, {"2147483647", "'max'"}));
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
            QVERIFY(d->isVisible());
        });
        QCOMPARE(p.fake.messages.shown.last(), QString("グループ番号が上限に達しています"));
        QCOMPARE(db.CountRecords(kCatalogueTable, ""), 3);
    }

    void anotherCopyChangedTheCatalogue()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "", ""));   // X and Y NULL, as old tools wrote them
        QVERIFY(InsertGroup(set.session, 2, "old two", "", "300", "40"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        // The edit of a row without a position stores, keeps it NULL, and the panel
        // shows the stored name at once.
        Select(p, 1);
        WithDialog<GroupEditDialog>(p, "mnuEditGroup", p.windows.editDialog, [](GroupEditDialog* d) {
            TypeCommitted(d->nameEdit, "renamed");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
        });
        QCOMPARE(p.fake.messages.shown, QStringList{"編集登録OK"});
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=1 AND X IS NULL AND Y IS NULL AND GRPNAME='renamed'"), 1);
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("renamed"));

        // Another copy deleted group 2; this copy's next group gets number 2 again. The
        // old icon goes, and no ghost is left to drag the new group.
        QVERIFY(db.DeleteRecords(kCatalogueTable, "N=2"));
        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [](GroupCreateDialog* d) {
            TypeCommitted(d->nameEdit, "new two");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
        });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(p.mainWindow.boardView->canvas->findChildren<QLabel*>("groupIcon2").size(), 1);
        QCOMPARE(p.mainWindow.boardView->canvas->findChildren<QLabel*>("groupCaption2").size(), 1);
        QCOMPARE(p.mainWindow.boardView->GroupCaption(2)->text(), QString("new two"));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(2)->pos(), QPoint(80, 0));   // beside group 1

        // Moved to the top left, group 1 comes out on top of any group there.
        Select(p, 1);
        Trigger(p, "mnuMoveGroup");
        const QObjectList stack = p.mainWindow.boardView->canvas->children();
        QVERIFY(stack.indexOf(p.mainWindow.boardView->GroupIcon(1)) > stack.indexOf(p.mainWindow.boardView->GroupIcon(2)));
        QVERIFY(stack.indexOf(p.mainWindow.boardView->GroupCaption(1)) > stack.indexOf(p.mainWindow.boardView->GroupCaption(2)));
    }

    void deleteDropsTablesAndFreesTheHighestNumber()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 3, "three", "", "0", "0"));
        QVERIFY(InsertGroup(set.session, 4, "four", "", "100", "0"));
        QVERIFY(CreateFileTable(set.session, FileTableName(4)));
        QVERIFY(CreateSubGroupTable(set.session, SubGroupTableName(4)));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 4);
        Trigger(p, "mnuDeleteGroup");   // answered No
        QCOMPARE(p.fake.messages.asked, QStringList{"グループ「four」を削除します。よろしいですか？"});
        QVERIFY(p.mainWindow.boardView->GroupIcon(4));

        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuDeleteGroup");
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=4"), 0);
        QVERIFY(!db.TableExists(FileTableName(4)) && !db.TableExists(SubGroupTableName(4)));
        QVERIFY(!p.mainWindow.boardView->GroupIcon(4));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);
        for (QLineEdit* e : {p.mainWindow.groupNameField, p.mainWindow.authorField, p.mainWindow.groupNumberField, p.mainWindow.titleField, p.mainWindow.subtitleField})
            QVERIFY(e->text().isEmpty());
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 4);

        // Right after a delete the commands that need a selection do nothing.
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& t) { sent.push_back(t); });
        p.fake.messages.nextAnswers = {true, true};
        Trigger(p, "mnuMoveGroup");
        Trigger(p, "mnuCopyGroup");
        Trigger(p, "mnuDeleteGroup");
        QCOMPARE(p.fake.messages.asked.size(), 2);
        QCOMPARE(Writes(sent), 0);
        p.fake.messages.nextAnswers.clear();

        // The deleted highest number is given out again.
        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [](GroupCreateDialog* d) {
            QCOMPARE(d->numberEdit->text(), QString("4"));
            TypeCommitted(d->nameEdit, "again");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
        });
        QVERIFY(p.mainWindow.boardView->GroupIcon(4));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(4)->pos(), QPoint(80, 0));   // clear of the others
        p.Close();
    }

    // Duplicate and delete act on the group selected on the board, with the row its panel
    // shows, whatever text the panel's fields hold.
    void commandsActOnTheBoardsSelection()
    {
        for (const char* command : {"mnuCopyGroup", "mnuDeleteGroup"}) {
            Setup set;
            QVERIFY(set.ok);
            QVERIFY(InsertGroup(set.session, 3, "three", "", "0", "0") && InsertGroup(set.session, 4, "four", "", "100", "0"));
            QVERIFY(GiveTables(set.session, 3, 1) && GiveTables(set.session, 4, 1));
            set.Done();
            Program p(set.folder.programFile());
            QVERIFY(p.Show());
            auto& db = p.mainWindow.Session();
            Select(p, 4);
            p.mainWindow.groupNumberField->setText("3");
            p.mainWindow.groupNameField->setText("three");
            p.fake.messages.nextAnswers = {true};
            Trigger(p, command);
            const bool copy = std::string(command) == "mnuCopyGroup";
            QCOMPARE(p.fake.messages.asked,
                     QStringList{QString("グループ「four」を%1します。よろしいですか？").arg(copy ? "複製" : "削除")});
            QVERIFY(p.fake.messages.shown.isEmpty());
            QCOMPARE(db.CountRecords(kCatalogueTable, "N=3"), 1);
            QCOMPARE(db.CountRecords(kCatalogueTable, "N=4"), copy ? 1 : 0);
            QCOMPARE(db.CountRecords(kCatalogueTable, "N=5 AND " + CatalogueColumns()[kColGrpName] + "='four'"), copy ? 1 : 0);
            p.Close();
        }
    }

    void failedRowDeleteKeepsTheGroup()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 2, "kept", "", "10", "10"));
        QVERIFY(CreateFileTable(set.session, FileTableName(2)));
        QVERIFY(set.session.InsertRecord(FileTableName(2), kFileColumnCount, FileColumns(),
                                         {"1", "'a.jww'", "'/d/'", "NULL", "'u'", "0"}));
        // The server refuses to delete catalogue rows.
        QVERIFY(set.session.ExecuteStatement({"CREATE EXCEPTION NO_DELETE 'refused';"}));
        QVERIFY(set.session.ExecuteStatement({"CREATE TRIGGER KEEP_GROUPS FOR " + std::string(kCatalogueTable) +
                                                  " BEFORE DELETE AS",
                                              "BEGIN EXCEPTION NO_DELETE; END"}));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 2);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuDeleteGroup");
        QCOMPARE(p.fake.messages.shown, QStringList{"グループ削除失敗"});
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=2"), 1);
        QCOMPARE(db.CountRecords(FileTableName(2), ""), 1);
        QVERIFY(p.mainWindow.boardView->GroupIcon(2));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 2);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("2"));
        p.Close();
    }

    void moveAndTidyStoreOnlyWhatChanged()
    {
        Setup set;
        QVERIFY(set.ok);
        // 25 groups among the numbers 1 to 27: 5 and 12 are missing.
        for (int n = 1; n <= 27; ++n)
            if (n != 5 && n != 12) QVERIFY(InsertGroup(set.session, n, "g" + IntToStr(n), "", IntToStr(300 + n), "7"));
        set.Done();
        Program p(set.folder.programFile());
        p.mainWindow.resize(616, 347);
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& t) { sent.push_back(t); });

        Select(p, 27);
        Trigger(p, "mnuMoveGroup");
        QCOMPARE(p.mainWindow.boardView->GroupIcon(27)->pos(), QPoint(0, 0));
        QCOMPARE(Writes(sent), 1);
        QCOMPARE(std::count(sent.begin(), sent.end(), std::string("UPDATE GRPJWW SET \r\n   X=0,Y=0\r\n   WHERE N=27\r\n   ;\r\n")), 1L);
        Trigger(p, "mnuMoveGroup");   // already there
        QCOMPARE(Writes(sent), 1);

        const int columns = p.mainWindow.clientArea->width() / 64 + 1;
        QCOMPARE(columns, 10);
        sent.clear();
        Trigger(p, "mnuLocInitGroup");
        QCOMPARE(Writes(sent), 25);
        int k = 0;
        for (int n = 1; n <= 27; ++n) {
            if (n == 5 || n == 12) continue;
            const QPoint want((k % columns) * 64 + 16, (k / columns) * 64);
            QCOMPARE(p.mainWindow.boardView->GroupIcon(n)->pos(), want);
            QCOMPARE(StoredX(db, n), IntToStr(want.x()));
            QCOMPARE(StoredY(db, n), IntToStr(want.y()));
            ++k;
        }
        QCOMPARE(p.mainWindow.boardView->GroupIcon(27)->pos(), QPoint(16 + 4 * 64, 128));   // the 25th icon
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 27);

        sent.clear();
        Trigger(p, "mnuLocInitGroup");
        QCOMPARE(Writes(sent), 0);
        p.Close();
    }

    void newGroupsAndDuplicatesStandClearOfOthers()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "a", "", "16", "0"));
        QVERIFY(InsertGroup(set.session, 2, "b", "", "80", "0"));
        QVERIFY(InsertGroup(set.session, 3, "far", "", "400", "900"));   // beyond the visible board
        QVERIFY(InsertGroup(set.session, 4, "src", "", "300", "130"));
        set.Done();
        Program p(set.folder.programFile());
        p.mainWindow.resize(616, 347);
        QVERIFY(p.Show());
        BoardView* board = p.mainWindow.boardView;
        auto& db = p.mainWindow.Session();
        auto create = [&](const QString& name) {
            WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [&](GroupCreateDialog* d) {
                TypeCommitted(d->nameEdit, name);
                QTest::mouseClick(d->storeButton, Qt::LeftButton);
            });
        };
        // Every group's icon and caption clear of every other group's; stored as shown.
        auto checkClear = [&](std::pair<int, int> allowed = {}) {
            QList<std::pair<int, QRect>> parts;
            for (const auto& [n, slot] : board->Board().iconSlots) {
                if (!slot.present) continue;
                parts.append({n, board->GroupIcon(n)->geometry()});
                parts.append({n, board->GroupCaption(n)->geometry()});
                QCOMPARE(StoredX(db, n) + "," + StoredY(db, n),
                         IntToStr(board->GroupIcon(n)->x()) + "," + IntToStr(board->GroupIcon(n)->y()));
            }
            for (const auto& [n, r] : parts)
                for (const auto& [m, q] : parts)
                    if (n != m && r.intersects(q) && std::pair(n, m) != allowed && std::pair(m, n) != allowed) QFAIL(qPrintable(QString("groups %1 and %2 overlap").arg(n).arg(m)));
        };

        create("c");
        create("d");
        QCOMPARE(board->GroupIcon(5)->pos(), QPoint(144, 0));   // the first free places, in reading order
        QCOMPARE(board->GroupIcon(6)->pos(), QPoint(208, 0));
        checkClear();

        // A duplicate stands 12 pixels off its original; a second one, where the first
        // stands, goes to the free grid place nearest that.
        p.fake.messages.nextAnswers = {true, true};
        Select(p, 4);
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(board->GroupIcon(7)->pos(), QPoint(312, 142));
        Select(p, 4);
        Trigger(p, "mnuCopyGroup");
        const QPoint second = board->GroupIcon(8)->pos();
        QCOMPARE((second.x() - 16) % 64, 0);
        QCOMPARE(second.y() % 64, 0);
        QVERIFY2(QLineF(second, QPoint(312, 142)).length() < 100, qPrintable(QString("%1,%2").arg(second.x()).arg(second.y())));
        QCOMPARE(StoredX(db, 8) + "," + StoredY(db, 8), IntToStr(second.x()) + "," + IntToStr(second.y()));

        // The visible board full: the next group goes below it, and the board scrolls there.
        for (int i = 0; i < 30; ++i) create(QString("n%1").arg(i));
        checkClear({4, 7});   // the duplicate covers a corner of its original, as it always did
        const int last = board->Board().slotCount;
        const QRect lastIcon = board->GroupIcon(last)->geometry();
        QVERIFY(lastIcon.bottom() > board->viewport()->height());
        QVERIFY(lastIcon.right() < board->viewport()->width());
        QVERIFY(QRect(-board->canvas->pos(), board->viewport()->size()).contains(lastIcon));
        p.Close();
    }

    void tidyKeepsLongNamesApart()
    {
        Setup set;
        QVERIFY(set.ok);
        const QStringList names{"a", "図面一式　新築建物　１階", "b", "a rather long group name", "c", "d", "e", "f",
                                "g", "h", "i", "j", "k", "another quite long group name", "l"};
        int n = 0;
        for (const QString& name : names) QVERIFY(InsertGroup(set.session, ++n, FromQ(name).value(), "", "0", "0"));
        set.Done();
        Program p(set.folder.programFile());
        p.mainWindow.resize(616, 347);
        QVERIFY(p.Show());
        BoardView* board = p.mainWindow.boardView;
        Trigger(p, "mnuLocInitGroup");
        QList<QRect> captions, icons;
        for (int g = 1; g <= n; ++g) {
            captions << board->GroupCaption(g)->geometry();
            icons << board->GroupIcon(g)->geometry();
        }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                if (i == j) continue;
                // Apart by a gap, so that two names never read as one.
                QVERIFY2(!captions[i].adjusted(-4, 0, 4, 0).intersects(captions[j].adjusted(-4, 0, 4, 0)),
                         qPrintable(QString("captions %1 and %2").arg(i + 1).arg(j + 1)));
                QVERIFY2(!captions[i].intersects(icons[j]), qPrintable(QString("caption %1, icon %2").arg(i + 1).arg(j + 1)));
            }
        // Cells where the names fit keep the plain grid: the first group, and the rest of
        // a row after a wide cell only moves right.
        QCOMPARE(icons[0].topLeft(), QPoint(16, 0));
        QVERIFY(icons[2].left() > captions[1].right());
        QCOMPARE(icons[2].top(), 0);
        // No row runs past the plain grid's last cell.
        for (const QRect& r : captions) QVERIFY(r.right() < 640);
        // Tidied twice: nothing moves.
        std::vector<std::string> sent;
        p.mainWindow.Session().SetStatementLog([&](const std::string& t) { sent.push_back(t); });
        Trigger(p, "mnuLocInitGroup");
        QCOMPARE(Writes(sent), 0);
        p.Close();
    }

    void everyCommandSilentWhileDetached()
    {
        ProgramFolder folder;   // no settings: the program starts detached
        Program p(folder.programFile());
        QVERIFY(p.Show());
        QVERIFY(!p.mainWindow.Session().Connected());
        p.fake.messages.nextAnswers = {true, true};
        for (const char* a : {"mnuMoveGroup", "mnuLocInitGroup", "mnuEditGroup", "mnuCopyGroup", "mnuDeleteGroup"})
            Trigger(p, a);
        QVERIFY(p.fake.messages.asked.isEmpty());
        QVERIFY(p.fake.messages.shown.isEmpty());

        // The create dialog opens but cannot store.
        WithDialog<GroupCreateDialog>(p, "mnuMakeGroup", p.windows.createDialog, [](GroupCreateDialog* d) { QVERIFY(!d->storeButton->isEnabled()); });
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 0);
        p.Close();
    }
};

QTEST_MAIN(TestGroupCommands)
#include "test_groupcommands.moc"
