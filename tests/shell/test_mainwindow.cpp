// The program's start and end with the real windows: what the settings file does to
// them, the failed attach, the menu bar, and the database settings dialog with its
// refusals and its create-then-attach.
#include <functional>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "groupdlg/unit4.h"
#include "groupdlg/unit5.h"
#include "groupwin/unit3.h"
#include "groupwin/unit7.h"
#include "memo/unit6.h"
#include "search/unit8.h"
#include "shell/unit2.h"
#include "support/testdb.h"

namespace {

const QString kNoConnection = "データベース接続が出来ません。設定を確認して下さい。";
const QString kCannotCreate = "データベースが作成・接続出来ません。設定を確認して下さい。";

// Runs the database settings command; `inDialog` acts on the modal dialog while it is
// shown and must end it.
void WithSettingsDialog(Program& p, const std::function<void(TForm2*)>& inDialog)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        TForm2* d = p.windows.form2;
        QVERIFY(d->isVisible());
        ran = true;
        inDialog(d);
        if (d->isVisible()) d->reject();
    });
    p.form1.findChild<QAction*>("mnuDBset")->trigger();
    QVERIFY(ran);
}

void Type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, text);
}

QList<QByteArray> Lines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& l : lines) {
        if (l.endsWith('\r')) l.chop(1);
    }
    return lines;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void windowsAndMenuBar()
    {
        ProgramFolder folder;
        Program p(folder.programFile());
        QCOMPARE(p.form1.windowTitle(), QString("Kumolist"));
        struct Item {
            const char* name;
            QString caption;
        };
        const QList<Item> file{{"mnuMakeGroup", "グループ作成(&N)..."}, {"mnuOpenGroup", "グループを開く(&O)"},
                               {"N1", ""}, {"mnuDBset", "データベース設定(&D)..."}, {"N2", ""},
                               {"mnuExit", "終了(&X)"}};
        const QList<Item> edit{{"mnuMoveGroup", "左上へ移動(&M)"}, {"mnuLocInitGroup", "グループ位置整理(&S)"},
                               {"N4", ""}, {"mnuEditGroup", "グループ編集(&E)..."}, {"mnuCopyGroup", "グループ複製(&C)"},
                               {"N3", ""}, {"mnuDeleteGroup", "グループ削除(&D)"}, {"N5", ""},
                               {"mnuFind", "検索(&F)..."}};
        const QList<QAction*> menus = p.form1.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QString("ファイル(&F)"));
        QCOMPARE(menus[1]->text(), QString("編集(&E)"));
        const QList<Item>* expected[] = {&file, &edit};
        for (int m = 0; m < 2; ++m) {
            const QList<QAction*> items = menus[m]->menu()->actions();
            QCOMPARE(items.size(), expected[m]->size());
            for (int i = 0; i < items.size(); ++i) {
                const Item& want = expected[m]->at(i);
                QCOMPARE(items[i]->objectName(), QString(want.name));
                QCOMPARE(items[i]->isSeparator(), want.caption.isEmpty());
                if (!want.caption.isEmpty()) QCOMPARE(items[i]->text(), want.caption);
                QVERIFY(items[i]->shortcut().isEmpty());
                QVERIFY(items[i]->isEnabled());
            }
        }
        // The other seven windows exist, hidden, with their captions and sizes.
        QVERIFY(!p.windows.form2->isVisible());
        QCOMPARE(p.windows.form2->windowTitle(), QString("データベース設定"));
        QCOMPARE(p.windows.form2->size(), QSize(251, 241));
        QCOMPARE(p.windows.form3->size(), QSize(831, 331));
        QCOMPARE(p.windows.form6->windowTitle(), QString("メモ入力編集"));
        QCOMPARE(p.windows.form6->size(), QSize(445, 97));
        QCOMPARE(p.windows.form7->windowTitle(), QString("サブグループ"));
        QCOMPARE(p.windows.form7->size(), QSize(277, 85));
        QCOMPARE(p.windows.form8->windowTitle(), QString("検索"));
        QCOMPARE(p.windows.form8->size(), QSize(460, 348));
        QVERIFY(p.windows.form4 && p.windows.form5);
        // The detail fields are read-only and out of the Tab order.
        for (QLineEdit* e : {p.form1.Edit1, p.form1.Edit2, p.form1.Edit3, p.form1.Edit4, p.form1.Edit5}) {
            QVERIFY(e->isReadOnly());
            QCOMPARE(e->focusPolicy(), Qt::NoFocus);
        }
    }

    void firstStartWithoutSettingsFile()
    {
        ProgramFolder folder;
        {
            Program p(folder.programFile());
            QVERIFY(p.Show());
            QVERIFY(p.fake.messages.shown.isEmpty());
            QVERIFY(!p.form1.Session().Connected());
            QCOMPARE(p.form1.Board().slotCount, 0);
            QCOMPARE(p.form1.ProgramFolder(), folder.path());
            QCOMPARE(p.form1.SettingsPath(), folder.settingsPath());
            QCOMPARE(p.windows.form4->ProgramFolder(), folder.path());
            // The windows keep their designed places.
            QCOMPARE(p.form1.pos(), QPoint(192, 107));
            QCOMPARE(p.windows.form3->TreeWidth(), 161);

            WithSettingsDialog(p, [](TForm2* d) {
                QCOMPARE(d->Edit1->text(), QString("localhost:"));
                QCOMPARE(d->Edit2->text(), QString());
                QCOMPARE(d->Edit3->text(), QString("JWWDB.FDB"));
                QCOMPARE(d->Edit4->text(), QString("PCユーザー名"));
                QCOMPARE(d->focusWidget(), d->Edit1);
                QTest::mouseClick(d->Button2, Qt::LeftButton);
                QVERIFY(!d->isVisible());
            });
            // The command attaches again with the unchanged settings: no folder, no database.
            QVERIFY(!p.form1.Session().Connected());
            QVERIFY(p.fake.messages.shown.isEmpty());
            p.Close();
        }
        // The end of the run writes the whole file.
        const QList<QByteArray> lines = Lines(folder.SettingsBytes());
        QCOMPARE(lines.size(), 37);
        QCOMPARE(lines[0], QByteArray("localhost:"));
        QCOMPARE(lines[1], QByteArray());
        QCOMPARE(lines[2], QByteArray("JWWDB.FDB"));
        QCOMPARE(lines[3], QByteArray("PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC"));
        QCOMPARE(lines[4], QByteArray("192"));
        QCOMPARE(lines[26], QByteArray("120"));
        QCOMPARE(lines[35], QByteArray("0"));
        QCOMPARE(lines[36], QByteArray("161"));
        QCOMPARE(folder.SettingsBytes().count("\r\n"), 37);
    }

    void failedAttachIsReportedOnce()
    {
        ProgramFolder folder;
        DatabaseSettings s;
        s.DataFolder = "/nonexistent-kumolist-folder/";
        folder.WriteSettings(s);
        Program p(folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.fake.messages.shown, QStringList{kNoConnection});
        QVERIFY(!p.form1.Session().Connected());
        QCOMPARE(p.form1.Board().slotCount, 0);
        p.Close();
        QCOMPARE(p.fake.messages.shown.size(), 1);
        QCOMPARE(Lines(folder.SettingsBytes()).size(), 37);
        QCOMPARE(Lines(folder.SettingsBytes())[1], QByteArray("/nonexistent-kumolist-folder/"));
    }

    void settingsFileOfFourLines()
    {
        ProgramFolder folder;
        folder.WriteSettingsBytes("localhost:\r\n/nowhere/\r\nA.FDB\r\nuser\r\n");
        Program p(folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.form1.Settings().DataFolder, std::string("/nowhere/"));
        QCOMPARE(p.form1.Settings().UserName, std::string("user"));
        QCOMPARE(p.windows.form2->pos(), QPoint(0, 0));
        QCOMPARE(p.windows.form8->pos(), QPoint(0, 0));
        QCOMPARE(p.windows.form7->pos(), QPoint(0, 0));
        for (int c = 0; c < 9; ++c) QCOMPARE(p.windows.form3->ColumnWidth(c), 16);
        QCOMPARE(p.windows.form3->TreeWidth(), 20);
        QCOMPARE(p.windows.form3->ViewStyleIndex(), 0);
    }

    void oddNumbersAndARoundTripThroughTheWindows()
    {
        ProgramFolder folder;
        SettingsNumbers n = DefaultSettingsNumbers();
        DatabaseSettings s;
        s.DataFolder = "";
        s.UserName = "\x8E\x52\x93\x63\x91\xBE\x98\x59";   // 山田太郎
        QVERIFY(SaveSettings(folder.settingsPath(), s, n));
        QByteArray bytes = folder.SettingsBytes();
        QList<QByteArray> lines = Lines(bytes);
        lines[26] = "5";      // first column width
        lines[36] = "abc";    // tree width
        lines[35] = "2";      // details view
        lines[22] = "333";    // search window left
        lines[23] = "-20";    // search window top
        lines[24] = "500";    // search window width
        folder.WriteSettingsBytes(lines.join("\r\n") + "\r\n");

        {
            Program p(folder.programFile());
            QVERIFY(p.Show());
            QCOMPARE(p.windows.form3->ColumnWidth(0), 16);
            QCOMPARE(p.windows.form3->ColumnWidth(1), 160);
            QCOMPARE(p.windows.form3->TreeWidth(), 20);
            QCOMPARE(p.windows.form3->ViewStyleIndex(), 2);
            QCOMPARE(p.windows.form8->pos(), QPoint(333, -20));
            QCOMPARE(p.windows.form8->width(), 500);
            QCOMPARE(p.form1.Settings().UserName, s.UserName);
            p.windows.form3->SetColumnWidth(4, 222);
            p.windows.form7->move(40, 50);
            p.Close();
        }
        lines = Lines(folder.SettingsBytes());
        QCOMPARE(lines.size(), 37);
        QCOMPARE(lines[3], QByteArray("\x8E\x52\x93\x63\x91\xBE\x98\x59"));
        QCOMPARE(lines[20], QByteArray("40"));
        QCOMPARE(lines[21], QByteArray("50"));
        QCOMPARE(lines[22], QByteArray("333"));
        QCOMPARE(lines[23], QByteArray("-20"));
        QCOMPARE(lines[24], QByteArray("500"));
        QCOMPARE(lines[26], QByteArray("16"));
        QCOMPARE(lines[30], QByteArray("222"));
        QCOMPARE(lines[35], QByteArray("2"));
    }

    void settingsDialogRefusals()
    {
        ProgramFolder folder;
        Program p(folder.programFile());
        QVERIFY(p.Show());
        FakeMessages& m = p.fake.messages;
        WithSettingsDialog(p, [&](TForm2* d) {
            Type(d->Edit2, "  \t ");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("サーバーのデータのフォルダを入力して下さい"));
            QCOMPARE(d->focusWidget(), d->Edit2);
            QVERIFY(d->isVisible());

            Type(d->Edit2, "/tmp/");
            Type(d->Edit3, "   ");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("データベース名を入力して下さい"));
            QCOMPARE(d->focusWidget(), d->Edit3);

            Type(d->Edit3, "x");
            Type(d->Edit4, "O'Neil");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」を入力しないで下さい"));
            QCOMPARE(d->focusWidget(), d->Edit4);
            Type(d->Edit4, "say \"hi\"");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」を入力しないで下さい"));

            // A character that Shift-JIS cannot hold is not taken over.
            Type(d->Edit4, "ok");
            d->Edit2->setText("/tmp/\u2603/");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("Shift-JISで表せない文字を入力しないで下さい"));
            QCOMPARE(d->focusWidget(), d->Edit2);
            QCOMPARE(m.shown.size(), 5);
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        // Nothing was taken over.
        QCOMPARE(p.form1.Settings().DataFolder, std::string());
        QCOMPARE(p.form1.Settings().DatabaseFileName, std::string("JWWDB.FDB"));
        QCOMPARE(p.form1.Settings().UserName, std::string("PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC"));
    }

    void settingsDialogNamesAndFailure()
    {
        ProgramFolder folder;
        TestDatabase place;   // a folder the server may write
        const QString dataFolder = place.folder() + "/";
        Program p(folder.programFile());
        QVERIFY(p.Show());
        FakeMessages& m = p.fake.messages;

        // A folder that does not exist: neither created nor attached; the settings
        // are taken over all the same, and stay after cancel.
        WithSettingsDialog(p, [&](TForm2* d) {
            Type(d->Edit2, " /nonexistent-kumolist/ ");
            Type(d->Edit3, "my.gdb");
            Type(d->Edit4, "");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QCOMPARE(m.shown.last(), kCannotCreate);
            QCOMPARE(d->focusWidget(), d->Edit1);
            QVERIFY(d->isVisible());
            QCOMPARE(p.form1.Settings().DataFolder, std::string(" /nonexistent-kumolist/ "));
            QCOMPARE(p.form1.Settings().DatabaseFileName, std::string("MY.GDB"));
            QCOMPARE(p.form1.Settings().UserName, std::string());
            QVERIFY(!p.form1.Session().Connected());
            QTest::mouseClick(d->Button2, Qt::LeftButton);
        });
        QCOMPARE(p.form1.Settings().DatabaseFileName, std::string("MY.GDB"));
        QVERIFY(!p.form1.Session().Connected());
        QCOMPARE(m.shown.size(), 1);

        // A name typed in lower case without extension: created, attached, dialog closed.
        WithSettingsDialog(p, [&](TForm2* d) {
            QCOMPARE(d->Edit3->text(), QString("MY.GDB"));   // filled afresh from the settings
            Type(d->Edit1, "localhost:");
            Type(d->Edit2, dataFolder);
            Type(d->Edit3, "jwwdb");
            QTest::keyClick(d->Edit3, Qt::Key_Return);   // OK is the default button
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(p.form1.Settings().DatabaseFileName, std::string("JWWDB.FDB"));
        QVERIFY(QFile::exists(dataFolder + "JWWDB.FDB"));
        QVERIFY(p.form1.Session().Connected());   // the command attached again
        QCOMPARE(p.form1.Board().slotCount, 0);   // no catalogue yet
        QCOMPARE(m.shown.size(), 1);

        // A trailing period stays, and gets no extension.
        WithSettingsDialog(p, [&](TForm2* d) {
            Type(d->Edit3, "plain.");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(p.form1.Settings().DatabaseFileName, std::string("PLAIN."));
        QVERIFY(QFile::exists(dataFolder + "PLAIN."));
        p.form1.Session().CloseDatabase();
    }

    void okOnAnExistingDatabaseAndTheSelectionAfterwards()
    {
        // Two databases, each with a group 1; the program starts on the first.
        Setup first;
        QVERIFY(first.ok);
        QVERIFY(InsertGroup(first.session, 1, "first-one", "", "10", "10"));
        QVERIFY(InsertGroup(first.session, 2, "first-two", "", "100", "10"));
        first.Done();
        TestDatabase second;
        {
            DatabaseSession s(second.settings);
            QVERIFY(second.Create(s));
            QVERIFY(InsertGroup(s, 1, "second-one", "", "50", "60"));
        }
        ProgramFolder& folder = first.folder;
        Program p(folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.form1.Board().slotCount, 2);

        // Select group 2 with a click.
        QLabel* icon = p.form1.GroupIcon(2);
        QTest::mouseClick(icon, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(p.form1.Board().selectedGroup, 2);
        QCOMPARE(p.form1.Edit3->text(), QString("2"));

        // OK on the database in use: nothing changes in it, the board is rebuilt.
        WithSettingsDialog(p, [&](TForm2* d) { QTest::mouseClick(d->Button1, Qt::LeftButton); });
        QVERIFY(p.fake.messages.shown.isEmpty());
        QVERIFY(p.form1.Session().Connected());
        QCOMPARE(p.form1.Board().slotCount, 2);
        QCOMPARE(p.form1.GroupIcon(2)->pos(), QPoint(100, 10));
        // The selection and the panel were cleared with the rebuild.
        QCOMPARE(p.form1.Board().selectedGroup, 0);
        QVERIFY(p.form1.Edit1->text().isEmpty());
        QVERIFY(p.form1.Edit3->text().isEmpty());

        // Another database: its groups, and nothing of the old selection.
        QTest::mouseClick(p.form1.GroupIcon(2), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(p.form1.Edit1->text(), QString("first-two"));
        WithSettingsDialog(p, [&](TForm2* d) {
            Type(d->Edit2, second.folder() + "/");
            Type(d->Edit3, "test.fdb");
            QTest::mouseClick(d->Button1, Qt::LeftButton);
        });
        QCOMPARE(p.form1.Board().slotCount, 1);
        QCOMPARE(p.form1.GroupIcon(1)->pos(), QPoint(50, 60));
        QCOMPARE(p.form1.GroupCaption(1)->text(), QString("second-one"));
        QCOMPARE(p.form1.Board().selectedGroup, 0);
        QCOMPARE(p.form1.Board().pressedGroup, 0);
        QVERIFY(p.form1.Edit1->text().isEmpty());
        QVERIFY(p.form1.Edit3->text().isEmpty());
        p.Close();
        // The settings of the end of the run name the second database.
        QCOMPARE(Lines(folder.SettingsBytes())[1], (second.folder() + "/").toUtf8());
    }

};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
