// Another copy of the program on the same database, and a server that goes away under
// the program: the group commands act only on the group the user saw, change all or
// nothing, never wait for ever, and say what happened.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include "boardfixture.h"
#include "board/boardview.h"
#include "catalogue.h"
#include "db/schema.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "search/searchwindow.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/textutil.h"

namespace {

QString Changed(const QString& name)
{
    return "他の利用者がグループ「" + name + "」を変更または削除しました。グループの表示を更新します。";
}

// Another person's copy of the program, attached to the same database.
struct OtherCopy {
    explicit OtherCopy(const DatabaseSettings& s) : settings(s) { session.ConnectDatabase(); }
    DatabaseSettings settings;
    DatabaseSession session{settings};
};

// Lets the event loop run until it has nothing to do and waits, as it does while the
// user reads the screen.
void WaitForUser()
{
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

void StoreEdit(Program& p, const QString& name)
{
    WithDialog<GroupEditDialog>(p, "mnuEditGroup", p.windows.editDialog, [&](GroupEditDialog* d) {
        TypeCommitted(d->nameEdit, name);
        QTest::mouseClick(d->storeButton, Qt::LeftButton);
    });
}

// Groups 1 and 2, and the program's settings pointing at the database through the relay.
bool TwoGroupsThrough(const TcpForwarder& relay, Setup& set)
{
    if (!set.ok || !InsertGroup(set.session, 1, "one", "", "0", "0") || !InsertGroup(set.session, 2, "two", "", "100", "0"))
        return false;
    DatabaseSettings viaRelay = set.db.settings;
    viaRelay.serverName = relay.ServerName();
    set.folder.WriteSettings(viaRelay);
    return true;
}

} // namespace

class TestTwoCopies : public QObject {
    Q_OBJECT
private slots:
    void commandsActOnlyOnTheGroupShown()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 2, "old two", "", "10", "10", "me"));
        QVERIFY(GiveTables(set.session, 2, 2));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();
        OtherCopy other(set.db.settings);

        // The other copy deletes group 2 and makes a new group, which receives number 2.
        Select(p, 2);
        QVERIFY(other.session.DeleteRecords(kCatalogueTable, "N=2"));
        QVERIFY(other.session.DropTable(FileTableName(2)) && other.session.DropTable(SubGroupTableName(2)));
        QVERIFY(InsertGroup(other.session, 2, "new two", "", "50", "50", "you"));
        QVERIFY(GiveTables(other.session, 2, 1));

        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.shown, QStringList{Changed("old two")});
        QCOMPARE(db.CountRecords(kCatalogueTable, ""), 1);
        QCOMPARE(p.mainWindow.boardView->GroupCaption(2)->text(), QString("new two"));   // the board as stored now
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());

        // Both refuse as well when another copy changed any one thing the panel showed:
        // the name, the author, the title or the subtitle.
        QString shownName = "new two";
        std::string value = "v";
        for (const char* command : {"mnuCopyGroup", "mnuDeleteGroup"})
            for (int column : {kColGrpName, kColPName, kColMTitle, kColSTitle}) {
                Select(p, 2);
                value += "v";   // unlike every value before
                QVERIFY(other.session.UpdateRecordText(kCatalogueTable, CatalogueColumns()[column] + "='" + value + "'",
                                                       "N=2"));
                const auto told = p.fake.messages.shown.size();
                p.fake.messages.nextAnswers = {true};
                Trigger(p, command);
                QCOMPARE(p.fake.messages.shown.size(), told + 1);
                QCOMPARE(p.fake.messages.shown.last(), Changed(shownName));
                QCOMPARE(db.CountRecords(kCatalogueTable, ""), 1);
                QCOMPARE(db.CountRecords(FileTableName(2), ""), 1);
                if (column == kColGrpName) shownName = QString::fromStdString(value);
            }

        // This copy's own edit changes no identity: the delete goes on without a new click.
        Select(p, 2);
        StoreEdit(p, "mine");
        QCOMPARE(p.fake.messages.shown.last(), QString("編集登録OK"));
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuDeleteGroup");
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=2"), 0);
        QVERIFY(!db.TableExists(FileTableName(2)) && !db.TableExists(SubGroupTableName(2)));
        QVERIFY(!p.mainWindow.boardView->GroupIcon(2));
        p.Close();
    }

    void deleteIsOneUnitThatNeverWaitsForEver()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 2, "two", "", "0", "0"));
        QVERIFY(GiveTables(set.session, 2, 3));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 2);
        // Another copy has just read the sub-group table and is still reading: the drop
        // cannot commit while its read transaction keeps the table in use.
        OtherCopy other(set.db.settings);
        QCOMPARE(other.session.CountRecords(SubGroupTableName(2), ""), 1);
        p.fake.messages.nextAnswers = {true};
        QElapsedTimer t;
        t.start();
        Trigger(p, "mnuDeleteGroup");
        QVERIFY(t.elapsed() < (kLockTimeoutSeconds + 3) * 1000);
        QCOMPARE(p.fake.messages.shown, QStringList{"グループ削除失敗"});
        // Nothing is gone: not the row, not the file table dropped before the failure.
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=2"), 1);
        QCOMPARE(db.CountRecords(FileTableName(2), ""), 3);
        QVERIFY(db.TableExists(SubGroupTableName(2)));
        QVERIFY(p.mainWindow.boardView->GroupIcon(2));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 2);

        // This program read those tables too, and then waited for its user: its own read
        // keeps nothing from the other copy.
        OtherCopy third(set.db.settings);
        other.session.EndRead();
        Trigger(p, "mnuOpenGroup");
        WaitForUser();
        QVERIFY(third.session.BeginWork());
        QVERIFY(third.session.DropTable(SubGroupTableName(2)));
        QVERIFY2(third.session.CommitWork(), third.session.LastError().c_str());

        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuDeleteGroup");
        QCOMPARE(p.fake.messages.shown.size(), 1);
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=2"), 0);
        QVERIFY(!db.TableExists(FileTableName(2)) && !db.TableExists(SubGroupTableName(2)));
        p.Close();
    }

    void duplicateAppearsWholeOrNotAtAll()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 3, "three", "", "0", "0"));
        QVERIFY(GiveTables(set.session, 3, 4));
        // The server refuses new catalogue rows, after the tables of the copy are made.
        QVERIFY(set.session.ExecuteStatement({"CREATE EXCEPTION NO_INSERT 'refused';"}));
        QVERIFY(set.session.ExecuteStatement({"CREATE TRIGGER NO_NEW_GROUPS FOR " + std::string(kCatalogueTable) +
                                                  " BEFORE INSERT AS",
                                              "BEGIN EXCEPTION NO_INSERT; END"}));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 3);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.shown, QStringList{"グループ複製失敗"});
        QCOMPARE(db.CountRecords(kCatalogueTable, ""), 1);
        for (int n = 4; n <= 8; ++n)   // the tables made for each try are dropped again
            QVERIFY(!db.TableExists(FileTableName(n)) && !db.TableExists(SubGroupTableName(n)));
        QVERIFY(!p.mainWindow.boardView->GroupIcon(4));
        QVERIFY(db.ExecuteStatement({"DROP TRIGGER NO_NEW_GROUPS;"}));

        // A table left behind by an old group 4, which no sub-group row fits: the copy
        // goes to the next number and leaves the old table alone.
        QVERIFY(db.ExecuteStatement({"CREATE TABLE " + SubGroupTableName(4) + " (N INTEGER);"}));
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.shown.size(), 1);
        QCOMPARE(AllRows(db, FileTableName(5)), AllRows(db, FileTableName(3)));
        QCOMPARE(AllRows(db, SubGroupTableName(5)), AllRows(db, SubGroupTableName(3)));
        QVERIFY(!db.TableExists(FileTableName(4)));
        QCOMPARE(db.CountFields(SubGroupTableName(4)), 1);

        // Another copy takes number 6 just before the duplicate's row goes in: the
        // duplicate becomes group 7, and the stranger's group receives none of the entries.
        OtherCopy other(set.db.settings);
        bool interfered = false;
        db.SetStatementLog([&](const std::string& text) {
            if (interfered || text.rfind("INSERT INTO " + std::string(kCatalogueTable), 0) != 0) return;
            interfered = true;
            QVERIFY(InsertGroup(other.session, 6, "stranger", "", "0", "0"));
        });
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QVERIFY(interfered);
        QCOMPARE(p.fake.messages.shown.size(), 1);
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=7 AND GRPNAME='three'"), 1);
        QCOMPARE(AllRows(db, FileTableName(7)), AllRows(db, FileTableName(3)));
        QCOMPARE(db.CountRecords(FileTableName(6), ""), 0);   // kept for the stranger, empty
        QVERIFY(p.mainWindow.boardView->GroupIcon(7));
        p.Close();
    }

    void editStoresOnlyWhatTheUserChanged()
    {
        Setup set;
        QVERIFY(set.ok);
        // A title with bytes that CP932 does not map, and no position at all.
        QVERIFY(InsertGroup(set.session, 1, "one", "", "", "", "", "\x80\xA0" "ab"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        auto& db = p.mainWindow.Session();

        Select(p, 1);
        StoreEdit(p, "ichi");
        QCOMPARE(p.fake.messages.shown, QStringList{"編集登録OK"});
        QCOMPARE(AllRows(db, kCatalogueTable)[0], (TextRow{"1", "ichi", "\x80\xA0" "ab", "", "", "", "", "", "", "", ""}));

        // Meanwhile another copy deletes the group and gives its number to a new one:
        // the edit is not written over the stranger's row.
        OtherCopy other(set.db.settings);
        WithDialog<GroupEditDialog>(p, "mnuEditGroup", p.windows.editDialog, [&](GroupEditDialog* d) {
            QVERIFY(other.session.DeleteRecords(kCatalogueTable, "N=1"));
            QVERIFY(InsertGroup(other.session, 1, "stranger", "", "0", "0"));
            TypeCommitted(d->nameEdit, "mine");
            QTest::mouseClick(d->storeButton, Qt::LeftButton);
            QVERIFY(d->isVisible());
        });
        const QString changed = "他の利用者がこのグループを変更または削除しました。閉じてから開き直して下さい。";
        QCOMPARE(p.fake.messages.shown.last(), changed);
        QCOMPARE(db.CountRecords(kCatalogueTable, "N=1 AND GRPNAME='stranger'"), 1);

        // So does a change by another copy to any other field the dialog showed: a field
        // the user left alone would write the old value back over it.
        for (int column = kColGrpName; column <= kColIconP; ++column) {
            const std::string set = CatalogueColumns()[column] + "='other'";
            const auto told = p.fake.messages.shown.size();
            WithDialog<GroupEditDialog>(p, "mnuEditGroup", p.windows.editDialog, [&](GroupEditDialog* d) {
                QVERIFY(other.session.UpdateRecordText(kCatalogueTable, set, "N=1"));
                TypeCommitted(d->memo1Edit, "mine");
                QTest::mouseClick(d->storeButton, Qt::LeftButton);
            });
            QCOMPARE(p.fake.messages.shown.size(), told + 1);
            QCOMPARE(p.fake.messages.shown.last(), changed);
            QCOMPARE(db.CountRecords(kCatalogueTable, "N=1 AND " + set), 1);
        }
        p.Close();
    }

    // F5 shows what another copy did: a new group, one removed, the selected group's new
    // title in the panel, and an empty panel once the selected group is gone. With the
    // server away the board and the panel stay as they were, and the user is told.
    void refreshShowsOtherCopiesWork()
    {
        TcpForwarder relay;
        Setup set;
        QVERIFY(TwoGroupsThrough(relay, set));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        OtherCopy other(set.db.settings);
        BoardView* board = p.mainWindow.boardView;

        Select(p, 1);
        QVERIFY(InsertGroup(other.session, 3, "three", "", "200", "0"));
        QVERIFY(other.session.DeleteRecords(kCatalogueTable, "N=2"));
        QVERIFY(other.session.UpdateRecordText(kCatalogueTable, CatalogueColumns()[kColMTitle] + "='new title'", "N=1"));
        QTest::keyClick(board, Qt::Key_F5);
        QVERIFY(board->GroupIcon(3) && !board->GroupIcon(2));
        QCOMPARE(board->Board().selectedGroup, 1);
        QCOMPARE(p.mainWindow.titleField->text(), QString("new title"));
        QVERIFY(other.session.DeleteRecords(kCatalogueTable, "N=1"));
        Trigger(p, "mnuRefresh");
        QVERIFY(!board->GroupIcon(1));
        QCOMPARE(board->Board().selectedGroup, 0);
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());

        Select(p, 3);
        relay.Cut();
        relay.Refuse(true);
        Trigger(p, "mnuRefresh");
        QTRY_COMPARE(p.fake.messages.shown, QStringList{"データベースとの接続が切れました。次の操作のときに接続し直します。"});
        Trigger(p, "mnuRefresh");
        QCOMPARE(p.fake.messages.shown.last(), QString("データベースに接続できません。サーバーが動いているか確認して下さい。"));
        QVERIFY(board->GroupIcon(3));
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("three"));
        relay.Refuse(false);
        Trigger(p, "mnuRefresh");
        QCOMPARE(p.mainWindow.statusLine->currentMessage(), QString("データベースに接続し直しました。"));
        QVERIFY(board->GroupIcon(3) && board->Board().selectedGroup == 3);
        p.Close();
    }

    void lostServerIsToldAndRejoined()
    {
        TcpForwarder relay;
        Setup set;
        QVERIFY(TwoGroupsThrough(relay, set));
        QVERIFY(GiveTables(set.session, 2, 2));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QVERIFY(p.mainWindow.Session().Connected());
        const QString lost = "データベースとの接続が切れました。次の操作のときに接続し直します。";
        const QString away = "データベースに接続できません。サーバーが動いているか確認して下さい。";

        // The server goes away: the next click cannot read the group, and the user is told once.
        relay.Cut();
        Select(p, 1);
        QTRY_COMPARE(p.fake.messages.shown, QStringList{lost});
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());

        // Still away: a command says that it cannot reach the database, and asks nothing.
        relay.Refuse(true);
        // A click only tries to attach again: the icon it hit is replaced when that works.
        QTest::mouseClick(p.mainWindow.boardView->GroupIcon(2), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(p.fake.messages.shown.last(), away);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        QCOMPARE(p.fake.messages.shown.size(), 3);
        QVERIFY(p.fake.messages.asked.isEmpty());

        // Back: the next command attaches again, rebuilds the board and goes on.
        relay.Refuse(false);
        Trigger(p, "mnuLocInitGroup");
        QCOMPARE(p.mainWindow.statusLine->currentMessage(), QString("データベースに接続し直しました。"));
        QVERIFY(p.mainWindow.boardView->GroupIcon(2));
        Select(p, 2);
        p.fake.messages.nextAnswers = {true};
        Trigger(p, "mnuCopyGroup");
        auto& db = p.mainWindow.Session();
        QCOMPARE(db.CountRecords(FileTableName(3), ""), 2);
        QCOMPARE(p.fake.messages.shown.size(), 3);

        // The group window's commands attach again the same way.
        Trigger(p, "mnuOpenGroup");
        GroupWindow* window = p.windows.groupWindow;
        QVERIFY(window->isVisible());
        const QString drawing = KUMO_TESTDATA "/jww/Test1.jww";
        relay.Cut();
        p.fake.fileDialogs.nextFileNames = {{drawing}};
        window->AddFiles();
        QCOMPARE(db.CountRecords(FileTableName(2), ""), -1);
        QTRY_COMPARE(p.fake.messages.shown.last(), lost);
        p.fake.fileDialogs.nextFileNames = {{drawing}};
        window->AddFiles();
        QCOMPARE(db.CountRecords(FileTableName(2), ""), 3);

        // The search attaches on its own: a cut before it costs it nothing.
        SearchWindow* search = p.windows.searchWindow;
        search->fileNameOption->setChecked(true);
        search->searchEdit->setText("e1");
        relay.Cut();
        search->RunSearch();
        QTRY_VERIFY(!search->Searching());
        QVERIFY(search->ResultText().contains("e1.jww"));
        p.Close();
    }

    // A read that the lost server cut is said, never shown as an empty group: the group
    // window opened empty, a node's list emptied, F5 keeping tree and list as they were,
    // the board's panel emptied; each with the failure in its status bar.
    void failedReadsAreSaidNotShownAsEmpty()
    {
        TcpForwarder relay;
        Setup set;
        QVERIFY(TwoGroupsThrough(relay, set));
        QVERIFY(GiveTables(set.session, 1, 2));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        GroupWindow* window = p.windows.groupWindow;
        auto& db = p.mainWindow.Session();
        auto* windowStatus = window->findChild<QStatusBar*>("statusLine");
        auto tree = [&] { return window->findChild<QTreeWidget*>("subGroupTree"); };
        auto listed = [&] { return window->findChild<QTreeView*>("fileDetailView")->model()->rowCount(); };
        auto openOne = [&] {
            Select(p, 1);
            Trigger(p, "mnuOpenGroup");
        };
        auto clickSub = [&] {
            const QList<QTreeWidgetItem*> found = tree()->findItems("sub :1", Qt::MatchExactly | Qt::MatchRecursive);
            QVERIFY(!found.isEmpty());
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(found.first()).center());
        };
        const QString unread = "データベースから読めませんでした";
        struct Case {
            const char* name;
            std::function<void()> before, act;
            const char* cutAt;   // the statement before which the server goes
            int nodes, rows;     // what the window shows after; -1: not looked at
            bool panel;          // the main window's panel and status bar, not the group window's
        };
        const Case cases[] = {
            {"opening, its entries", {}, openOne, "FROM GRP1_1", 0, 0, false},
            {"opening, its sub-groups", {}, openOne, "FROM GRP2_1", 0, 0, false},
            {"a node's list", openOne, clickSub, "FROM GRP1_1", 2, 0, false},
            {"read again", openOne, [&] { window->ReadAgain(); }, "FROM GRP2_1", 2, 2, false},
            {"the board's panel", {}, [&] { Select(p, 2); }, "FROM GRPJWW", -1, -1, true},
        };
        for (const Case& c : cases) {
            window->CloseWindow();
            Select(p, 1);
            Trigger(p, "mnuRefresh");   // attached again after the last case's loss
            if (c.before) c.before();
            QVERIFY2(db.Connected(), c.name);
            windowStatus->clearMessage();
            p.mainWindow.statusLine->clearMessage();
            db.SetStatementLog([&](const std::string& sent) {
                if (sent.find(c.cutAt) != std::string::npos) relay.Cut();
            });
            c.act();
            db.SetStatementLog({});
            QVERIFY2(db.ConnectionLost(), c.name);
            if (c.panel) {
                QCOMPARE(p.mainWindow.statusLine->currentMessage(), unread);
                QVERIFY2(p.mainWindow.groupNumberField->text().isEmpty(), c.name);
                QVERIFY2(p.mainWindow.groupNameField->text().isEmpty(), c.name);
                continue;
            }
            QCOMPARE(windowStatus->currentMessage(), unread);
            int nodes = 0;
            for (QTreeWidgetItemIterator it(tree()); *it; ++it) ++nodes;
            QVERIFY2(nodes == c.nodes, c.name);
            QVERIFY2(listed() == c.rows, c.name);
        }
        p.Close();
    }
};

QTEST_MAIN(TestTwoCopies)
#include "test_twocopies.moc"
