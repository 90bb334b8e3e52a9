// Moved drawings found again as a user does it: the missing-file check and the folder
// replacement from the group window, the search by name from the check's list, the
// check of all groups from the menu and its open command.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QListView>
#include <QMenu>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/groupwindow.h"
#include "support/controls.h"
#include "links/folderreplacedialog.h"
#include "links/linkcheckwindow.h"
#include "links/rootmapdialog.h"
#include "settings/preferences.h"
#include "support/fakeplatform.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/cp932.h"

namespace {

std::string Cp(const QString& s) { return FromQ(s).value(); }

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

std::string StoredFolder(DatabaseSession& s, int group, int n)
{
    const auto rows = AllRows(s, FileTableName(group), "N=" + std::to_string(n), "PATH_NAME");
    return rows.empty() ? "<none>" : rows[0][0];
}

} // namespace

class TestLinkWindows : public QObject {
    Q_OBJECT
private slots:
    void movedEntriesFoundAgain();
    void sharedFolderTableIsCheckedAndKept();
    void checkWindowComesBackWhereItWas();
    void lostServerLeavesNothingHalfShown();
};

void TestLinkWindows::movedEntriesFoundAgain()
{
    QTemporaryDir disk;
    const QString d = disk.path() + "/";
    Touch(d + "here.jww");
    Touch(d + "new/p/a.jww");
    Touch(d + QString::fromUtf8("moved/現場/b.jww"));
    Setup set;
    QVERIFY(set.ok);
    QVERIFY(InsertGroup(set.session, 1, "A", "", "10", "10"));
    QVERIFY(InsertGroup(set.session, 2, "B", "", "100", "10"));
    QVERIFY(OpenGroupTables(set.session, 1));
    QVERIFY(OpenGroupTables(set.session, 2));
    QVERIFY(AddEntry(set.session, 1, 1, Cp(d), "here.jww", "", 0));
    QVERIFY(AddEntry(set.session, 1, 2, "/mnt/old/p/", "a.jww", Sj("メモ"), 0));
    QVERIFY(AddEntry(set.session, 1, 3, "/gone/", "b.jww", "", 0));
    QVERIFY(AddEntry(set.session, 2, 1, "/mnt/old/p/", "c.jww", "", 0));
    QVERIFY(AddEntry(set.session, 1, 4, "z:\\", "here.jww", "", 0));   // from a Windows PC
    QVERIFY(SaveRootMappings(set.folder.path() + "kumolist.ini", {{"Z:\\", Cp(d)}}));
    set.Done();
    Program p(set.folder.programFile());
    QVERIFY(p.Show());
    GroupWindow* w = p.windows.groupWindow;
    Select(p, 1);
    Trigger(p, "mnuOpenGroup");
    QVERIFY(w->isVisible());

    // The group's check, from the list's menu even with nothing selected, lists its two
    // missing entries.
    QMenu* menu = w->PrepareContextMenu(Control<QListView>(w, "fileIconView"));
    QAction* linkCheck = Control<QAction>(w, "linkCheckAction");
    QAction* replaceFolder = Control<QAction>(w, "replaceFolderAction");
    QVERIFY(menu->actions().contains(linkCheck) && menu->actions().contains(replaceFolder));
    QVERIFY(linkCheck->isEnabled() && replaceFolder->isEnabled());
    linkCheck->trigger();
    LinkCheckWindow* check = p.mainWindow.linkCheckWindow;
    QVERIFY(check && check->isVisible());
    QTRY_VERIFY(!check->Busy());
    QCOMPARE(check->list->topLevelItemCount(), 2);
    QCOMPARE(check->statusLabel->text(), QString("リンク切れ: 2 件（確認したエントリ 4 件）"));
    QCOMPARE(check->list->topLevelItem(0)->text(4), QString("メモ"));

    // The folder replaced in this group only, after the counts were shown and confirmed.
    FolderReplaceDialog* replace = p.mainWindow.folderReplaceDialog;
    p.fake.messages.nextAnswers = {true};
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = replace->isVisible();
        QVERIFY(!replace->selectedScope->isEnabled());
        QVERIFY(replace->groupScope->isChecked());
        replace->oldFolderEdit->setText("/mnt/old");
        p.fake.fileDialogs.nextFolders = {d + "new"};   // picked, not typed
        replace->browseButton->click();
        replace->replaceButton->click();
        QTRY_VERIFY(!replace->isVisible());
    });
    replaceFolder->trigger();
    QVERIFY(ran);
    QVERIFY(p.fake.messages.asked.last().startsWith("置換するエントリ: 1 件（置換後にファイルがあるもの 1 件）"));
    QCOMPARE(p.fake.messages.shown.last(), QString("置換したエントリ: 1 件"));
    DatabaseSession& db = p.mainWindow.Session();
    QCOMPARE(StoredFolder(db, 1, 2), std::string("Z:\\new\\p\\"));   // below the shared folder
    QCOMPARE(StoredFolder(db, 2, 1), std::string("/mnt/old/p/"));
    QCOMPARE(Control<FileSortModel>(w, "fileSortModel")->Row(1).cells[kCellTime] == "<No File>", false);

    // The last one is found by name below a folder and relinked.
    check->recheckButton->click();
    QTRY_VERIFY(!check->Busy());
    QCOMPARE(check->list->topLevelItemCount(), 1);
    QVERIFY(check->openButton->isEnabled() && check->findButton->isEnabled());
    p.fake.fileDialogs.nextFolders = {d};
    p.fake.messages.nextAnswers = {true};
    check->findButton->click();
    QTRY_VERIFY(!check->Busy() && check->list->topLevelItemCount() == 0);
    // Nothing left to open or look for: greyed, as the group window's commands are.
    QVERIFY(!check->openButton->isEnabled() && !check->findButton->isEnabled() && check->recheckButton->isEnabled());
    QVERIFY(p.fake.messages.asked.last().contains("1 件のエントリを見つかったファイルに付け替えます。"));
    QCOMPARE(StoredFolder(db, 1, 3), "Z:\\moved\\" + Sj("現場") + "\\");
    QCOMPARE(check->statusLabel->text(), QString("リンク切れ: 0 件（確認したエントリ 4 件）"));

    // A drawing saved with another content is listed after the missing ones, under both
    // entries that name it; opened from there like them.
    {
        QFile f(d + "here.jww");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
        f.write("changed");
    }
    check->recheckButton->click();
    QTRY_VERIFY(!check->Busy());
    QCOMPARE(check->list->topLevelItemCount(), 2);
    QVERIFY(check->list->topLevelItem(0)->text(5).startsWith("内容の変更 "));
    QCOMPARE(check->statusLabel->text(), QString("リンク切れ: 0 件（確認したエントリ 4 件）　内容の変更: 2 件"));
    QVERIFY(!check->findButton->isEnabled());
    // Saved back as it was filed: no longer a change, whatever its time.
    QVERIFY(QFile::resize(d + "here.jww", 0));

    // The Windows PC's entry opens where this system finds it; a file added below the
    // shared folder is stored the Windows way.
    Control<FileSortModel>(w, "fileSortModel")->sort(-1);
    QCOMPARE(Control<FileSortModel>(w, "fileSortModel")->Row(3).FullPath(), Cp(d + "here.jww"));
    QVERIFY(w->SelectEntry(4));
    w->OpenFirstSelected();
    QCOMPARE(p.fake.desktop.opened.last(), d + "here.jww");
    // From the list's menu the selected entry's folder is proposed as stored; a relative
    // new folder is refused and the dialog stays open.
    QString proposed;
    bool stayed = false;
    QTimer::singleShot(0, [&] {
        proposed = replace->oldFolderEdit->text();
        replace->newFolderEdit->setText("rel/dir");
        replace->replaceButton->click();
        stayed = replace->isVisible();
        replace->reject();
    });
    replaceFolder->trigger();
    QCOMPARE(proposed, QString("z:\\"));
    QVERIFY(stayed && p.fake.messages.shown.last().startsWith("置換後のフォルダは絶対パス"));
    QCOMPARE(StoredFolder(db, 1, 4), std::string("z:\\"));
    p.fake.fileDialogs.nextFileNames = {{d + "new/p/a.jww"}};
    Control<QPushButton>(w, "addFilesButton")->click();
    QCOMPARE(StoredFolder(db, 1, 5), std::string("Z:\\new\\p\\"));

    // All groups from the menu; the open command shows the group at the entry.
    Trigger(p, "mnuLinkCheck");
    QTRY_VERIFY(!check->Busy());
    QCOMPARE(check->list->topLevelItemCount(), 1);
    QCOMPARE(check->list->topLevelItem(0)->text(0), QString("B(N:2)"));
    check->list->setCurrentItem(check->list->topLevelItem(0));
    check->openButton->click();
    QCOMPARE(w->currentGroupNumber, 2);
    QCOMPARE(w->SelectedRows().size(), size_t(1));
    QCOMPARE(Control<FileSortModel>(w, "fileSortModel")->Row(w->SelectedRows().front()).cells[kCellName],
             std::string("c.jww"));
    // A group another copy deleted since the list was made is said so, and its tables
    // are not made again.
    w->CloseWindow();
    QVERIFY(db.DeleteRecords(kCatalogueTable, "N=2"));
    QVERIFY(db.DropTable(FileTableName(2)) && db.DropTable(SubGroupTableName(2)));
    check->openButton->click();
    QCOMPARE(p.fake.messages.shown.last(), QString("他の利用者がグループを削除しました。"));
    QVERIFY(!w->isVisible() && !db.TableExists(FileTableName(2)));
    check->close();
}

void TestLinkWindows::sharedFolderTableIsCheckedAndKept()
{
    Setup set;
    QVERIFY(set.ok);
    QVERIFY(InsertGroup(set.session, 1, "A", "", "10", "10"));
    set.Done();
    Program p(set.folder.programFile());
    QVERIFY(p.Show());
    const QString preferences = set.folder.path() + "kumolist.ini";
    auto fill = [](RootMapDialog* dialog, const QStringList& cells) {
        dialog->table->setRowCount(0);
        for (int i = 0; i + 1 < cells.size(); i += 2) {
            dialog->addButton->click();
            dialog->table->setItem(i / 2, 0, new QTableWidgetItem(cells[i]));
            dialog->table->setItem(i / 2, 1, new QTableWidgetItem(cells[i + 1]));
        }
        dialog->okButton->click();
    };
    // A relative Linux folder or a root that is no Windows path is refused with its row;
    // empty rows are dropped; what is confirmed is kept and used at once.
    bool ran = false;
    QTimer::singleShot(0, [&] {
        RootMapDialog* dialog = p.mainWindow.rootMapDialog;
        ran = dialog && dialog->isVisible();
        fill(dialog, {"Z:\\", "mnt/z", "", ""});
        QCOMPARE(p.fake.messages.shown.last().left(6), QString("1 行目: "));
        fill(dialog, {"", "", "zumen", "/mnt/z"});
        QCOMPARE(p.fake.messages.shown.last().left(6), QString("2 行目: "));
        QVERIFY(dialog->isVisible());
        fill(dialog, {"", "", "\\\\server\\share", "/mnt/share", "Z:", "/mnt/" + QString::fromUtf8("図面")});
        QVERIFY(!dialog->isVisible());
    });
    Trigger(p, "mnuRootMap");
    QVERIFY(ran);
    const RootMappings kept = LoadRootMappings(preferences);
    QCOMPARE(kept.size(), size_t(2));
    QCOMPARE(kept[0].windowsRoot, std::string("\\\\server\\share"));
    QCOMPARE(kept[1].linuxFolder, "/mnt/" + Sj("図面"));
    // Shown again as kept; cancelling changes nothing.
    ran = false;
    QTimer::singleShot(0, [&] {
        RootMapDialog* dialog = p.mainWindow.rootMapDialog;
        ran = dialog->table->rowCount() == 2 && dialog->table->item(1, 0)->text() == "Z:";
        dialog->table->removeRow(0);
        dialog->cancelButton->click();
    });
    Trigger(p, "mnuRootMap");
    QVERIFY(ran);
    QCOMPARE(LoadRootMappings(preferences).size(), size_t(2));
}

// The check's window comes back at its place and size from the preferences file (the
// settings file keeps its lines); a place off every screen or damaged numbers do not
// lose the window.
void TestLinkWindows::checkWindowComesBackWhereItWas()
{
    Setup set;
    QVERIFY(set.ok);
    QVERIFY(InsertGroup(set.session, 1, "A", "", "10", "10"));
    set.Done();
    const QString preferences = set.folder.path() + "kumolist.ini";
    auto run = [&](auto then) {
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        Trigger(p, "mnuLinkCheck");
        LinkCheckWindow* check = p.mainWindow.linkCheckWindow;
        QVERIFY(check && check->isVisible());
        QTRY_VERIFY(!check->Busy());
        then(check);
        p.Close();
    };
    run([](LinkCheckWindow* check) {
        check->move(30, 40);
        check->resize(600, 320);
    });
    const QByteArray settings = set.folder.SettingsBytes();
    run([](LinkCheckWindow* check) {
        QCOMPARE(QRect(check->pos(), check->size()), QRect(30, 40, 600, 320));
        check->move(100000, 100000);
    });
    QCOMPARE(set.folder.SettingsBytes(), settings);
    run([](LinkCheckWindow* check) {
        const QRect screen = check->screen()->availableGeometry();
        QVERIFY(screen.contains(check->pos()));
        QCOMPARE(check->size(), QSize(600, 320));
    });
    {
        QSettings raw(preferences, QSettings::IniFormat);
        raw.setValue("LinkCheckWindow/Width", "wide");
    }
    run([](LinkCheckWindow* check) { QCOMPARE(check->size(), QSize(760, 360)); });
}

QTEST_MAIN(TestLinkWindows)
#include "test_linkwindows.moc"

// The server lost while the check reads the entries: the window says the database could
// not be read and lists none of the groups read before.
void TestLinkWindows::lostServerLeavesNothingHalfShown()
{
    FreshSession s;
    QVERIFY(s.ok);
    for (int g = 1; g <= 3; ++g) {
        QVERIFY(InsertGroup(s.session, g, "G" + std::to_string(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(s.session, g));
        QVERIFY(AddEntry(s.session, g, 1, "/gone/", "a.jww", "", 0));
    }
    TcpForwarder relay;
    DatabaseSettings viaRelay = s.db.settings;
    viaRelay.serverName = relay.ServerName();
    DatabaseSession db(viaRelay);
    db.ConnectDatabase();
    FakePlatform fake;
    const RootMappings none;
    LinkCheckWindow check(db, fake.platform, none);
    check.Check(0);
    QTRY_VERIFY(!check.Busy());
    QCOMPARE(check.list->topLevelItemCount(), 3);
    db.SetStatementLog([&](const std::string& sent) {
        if (sent.find("FROM GRP1_2 ") != std::string::npos) relay.Cut();
    });
    check.Check(0);
    QTRY_VERIFY(!check.Busy());
    QCOMPARE(check.list->topLevelItemCount(), 0);
    QCOMPARE(check.statusLabel->text(), QString("データベースから読めませんでした"));
}
