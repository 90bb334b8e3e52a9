// The program's start and end with the real windows: what the settings file does to
// them, the failed attach, the menu bar, and the database settings dialog with its
// refusals and its create-then-attach.
#include <functional>

#include <QAction>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "search/searchwindow.h"
#include "shell/databasesettingsdialog.h"
#include "shell/program.h"
#include "support/testdb.h"

#include <QDialogButtonBox>
#include <QScreen>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kNoConnection = "データベース接続が出来ません。設定を確認して下さい。";
const QString kCannotCreate = "データベースが作成・接続出来ません。設定を確認して下さい。";

// Runs the database settings command; `inDialog` acts on the modal dialog while it is
// shown and must end it.
void WithSettingsDialog(Program& p, const std::function<void(DatabaseSettingsDialog*)>& inDialog)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        DatabaseSettingsDialog* d = p.windows.settingsDialog;
        QVERIFY(d->isVisible());
        ran = true;
        inDialog(d);
        if (d->isVisible()) d->reject();
    });
    p.mainWindow.findChild<QAction*>("mnuDBset")->trigger();
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
        QCOMPARE(p.mainWindow.windowTitle(), QString("Kumolist"));
        struct Item {
            const char* name;
            QString caption;
        };
        const QList<Item> file{{"mnuMakeGroup", "グループ作成(&N)..."}, {"mnuOpenGroup", "グループを開く(&O)"},
                               {"mnuRefresh", "最新の情報に更新(&U)"}, {"", ""}, {"mnuDBset", "データベース設定(&D)..."}, {"", ""},
                               {"mnuExit", "終了(&X)"}};
        const QList<Item> edit{{"mnuMoveGroup", "左上へ移動(&M)"}, {"mnuLocInitGroup", "グループ位置整理(&S)"},
                               {"", ""}, {"mnuEditGroup", "グループ編集(&E)..."}, {"mnuCopyGroup", "グループ複製(&C)"},
                               {"", ""}, {"mnuDeleteGroup", "グループ削除(&D)"}, {"", ""},
                               {"mnuFind", "検索(&F)..."}, {"mnuOpenPrograms", "図面を開くプログラム(&P)..."},
                               {"mnuPictureFolder", "グループの画像フォルダ(&I)..."}, {"", ""},
                               {"mnuLinkCheck", "リンク切れ確認(&L)..."}, {"mnuReplaceFolder", "フォルダの置換(&R)..."},
                               {"mnuRootMap", "Windows と共有するフォルダ(&W)..."}};
        const QList<QAction*> menus = p.mainWindow.menuBar()->actions();
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
                // The keys of a file manager's icon view, beside the mnemonics.
                static const QMap<QString, QKeySequence> keys{{"mnuOpenGroup", QKeySequence(Qt::Key_Return)},
                                                              {"mnuEditGroup", QKeySequence(Qt::Key_F2)},
                                                              {"mnuDeleteGroup", QKeySequence(Qt::Key_Delete)},
                                                              {"mnuFind", QKeySequence(QKeySequence::Find)},
                                                              {"mnuRefresh", QKeySequence(Qt::Key_F5)},
                                                              {"mnuMakeGroup", QKeySequence(QKeySequence::New)},
                                                              {"mnuExit", QKeySequence(QKeySequence::Quit)}};
                QCOMPARE(items[i]->shortcut(), keys.value(items[i]->objectName()));
                QVERIFY(items[i]->isEnabled());
            }
        }
        // The other seven windows exist, hidden, with their captions and sizes.
        QVERIFY(!p.windows.settingsDialog->isVisible());
        QCOMPARE(p.windows.settingsDialog->windowTitle(), QString("データベース設定"));
        QCOMPARE(p.windows.settingsDialog->size(), QSize(251, 241));
        // Three rows of icons.
        QCOMPARE(p.windows.groupWindow->width(), 831);
        QVERIFY(p.windows.groupWindow->height() >= 3 * 152);
        QCOMPARE(p.windows.memoDialog->windowTitle(), QString("メモ入力編集"));
        QCOMPARE(p.windows.memoDialog->size(), QSize(445, 97));
        QCOMPARE(p.windows.subGroupNameDialog->windowTitle(), QString("サブグループ"));
        QCOMPARE(p.windows.subGroupNameDialog->size(), QSize(277, 85));
        QCOMPARE(p.windows.searchWindow->windowTitle(), QString("検索"));
        QCOMPARE(p.windows.searchWindow->size(), QSize(460, 348));
        QVERIFY(p.windows.createDialog && p.windows.editDialog);
        // The detail fields are read-only and out of the Tab order.
        for (QLineEdit* e : {p.mainWindow.groupNameField, p.mainWindow.authorField, p.mainWindow.groupNumberField, p.mainWindow.titleField, p.mainWindow.subtitleField}) {
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
            QVERIFY(!p.mainWindow.Session().Connected());
            QCOMPARE(p.mainWindow.boardView->Board().slotCount, 0);
            QCOMPARE(p.mainWindow.ProgramFolder(), folder.path());
            QCOMPARE(p.mainWindow.SettingsPath(), folder.settingsPath());
            QCOMPARE(p.windows.createDialog->IconFolder(), folder.path() + "img/");
            // The windows keep their designed places, but for the edge of the offscreen
            // screen (800 x 800), which the main window would pass.
            QCOMPARE(p.mainWindow.pos(), QPoint(800 - 616, 107));
            QCOMPARE(p.windows.groupWindow->TreeWidth(), 161);

            WithSettingsDialog(p, [](DatabaseSettingsDialog* d) {
                QCOMPARE(d->serverEdit->text(), QString("localhost:"));
                QCOMPARE(d->folderEdit->text(), QString());
                QCOMPARE(d->databaseNameEdit->text(), QString("JWWDB.FDB"));
                QCOMPARE(d->userNameEdit->text(), QString("PCユーザー名"));
                QCOMPARE(d->focusWidget(), d->serverEdit);
                QTest::mouseClick(d->cancelButton, Qt::LeftButton);
                QVERIFY(!d->isVisible());
            });
            // The command attaches again with the unchanged settings: no folder, no database.
            QVERIFY(!p.mainWindow.Session().Connected());
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
        // Every window at its designed place and size, the dialogs included, but for
        // the offscreen screen (800 x 800): the main window moved left to fit, the group
        // window (three rows of icons high) cut to its width.
        SettingsNumbers defaults = DefaultSettingsNumbers();
        const int groupHeight = lines[kGroupHeight - 1].toInt();
        QVERIFY(groupHeight >= 3 * 152);
        for (auto [line, value] : {std::pair{kMainLeft, 800 - 616}, {kGroupLeft, 0},
                                   {kGroupWidth, 800}, {kGroupHeight, groupHeight}})
            defaults[static_cast<size_t>(line - kFirstNumberLine)] = value;
        // The settings dialog was shown, centred on the main window: over its middle.
        for (int line : {kDbDialogLeft, kDbDialogTop}) defaults[static_cast<size_t>(line - kFirstNumberLine)] = lines[line - 1].toInt();
        QVERIFY(std::abs(lines[kDbDialogLeft - 1].toInt() + 251 / 2 - (184 + 616 / 2)) <= 20);
        for (size_t i = 0; i < defaults.size(); ++i)
            QCOMPARE(lines[int(i) + 4], QByteArray::number(defaults[i]));
        QCOMPARE(folder.SettingsBytes().count("\r\n"), 37);
    }

    void failedAttachIsReportedOnce()
    {
        ProgramFolder folder;
        DatabaseSettings s;
        s.dataFolder = "/nonexistent-kumolist-folder/";
        folder.WriteSettings(s);
        Program p(folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.fake.messages.shown, QStringList{kNoConnection});
        // The server's own reason, for the box's details.
        QVERIFY(p.fake.messages.details.value(0).contains("nonexistent-kumolist-folder"));
        QVERIFY(!p.mainWindow.Session().Connected());
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 0);
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
        QCOMPARE(p.mainWindow.Settings().dataFolder, std::string("/nowhere/"));
        QCOMPARE(p.mainWindow.Settings().userName, std::string("user"));
        QCOMPARE(p.windows.settingsDialog->pos(), QPoint(0, 0));
        QCOMPARE(p.windows.searchWindow->pos(), QPoint(0, 0));
        QCOMPARE(p.windows.subGroupNameDialog->pos(), QPoint(0, 0));
        for (int c = 0; c < 9; ++c) QCOMPARE(p.windows.groupWindow->ColumnWidth(c), 16);
        QCOMPARE(p.windows.groupWindow->TreeWidth(), 20);
        QCOMPARE(p.windows.groupWindow->ViewStyleIndex(), 0);
    }

    void oddNumbersAndARoundTripThroughTheWindows()
    {
        ProgramFolder folder;
        SettingsNumbers n = DefaultSettingsNumbers();
        DatabaseSettings s;
        s.dataFolder = "";
        s.userName = "\x8E\x52\x93\x63\x91\xBE\x98\x59";   // 山田太郎
        QVERIFY(SaveSettings(folder.settingsPath(), s, n));
        QByteArray bytes = folder.SettingsBytes();
        QList<QByteArray> lines = Lines(bytes);
        lines[26] = "5";      // first column width
        lines[36] = "abc";    // tree width
        lines[35] = "2";      // details view
        lines[22] = "300";    // search window left
        lines[23] = "40";     // search window top
        lines[24] = "500";    // search window width
        folder.WriteSettingsBytes(lines.join("\r\n") + "\r\n");

        {
            Program p(folder.programFile());
            QVERIFY(p.Show());
            QCOMPARE(p.windows.groupWindow->ColumnWidth(0), 16);
            QCOMPARE(p.windows.groupWindow->ColumnWidth(1), 160);
            QCOMPARE(p.windows.groupWindow->TreeWidth(), 20);
            QCOMPARE(p.windows.groupWindow->ViewStyleIndex(), 2);
            QCOMPARE(p.windows.searchWindow->pos(), QPoint(300, 40));
            QCOMPARE(p.windows.searchWindow->width(), 500);
            QCOMPARE(p.mainWindow.Settings().userName, s.userName);
            p.windows.groupWindow->SetColumnWidth(4, 222);
            p.windows.subGroupNameDialog->move(40, 50);
            p.Close();
        }
        lines = Lines(folder.SettingsBytes());
        QCOMPARE(lines.size(), 37);
        QCOMPARE(lines[3], QByteArray("\x8E\x52\x93\x63\x91\xBE\x98\x59"));
        QCOMPARE(lines[20], QByteArray("40"));
        QCOMPARE(lines[21], QByteArray("50"));
        QCOMPARE(lines[22], QByteArray("300"));
        QCOMPARE(lines[23], QByteArray("40"));
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
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) {
            Type(d->folderEdit, "  \t ");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("サーバーのデータのフォルダを入力して下さい"));
            QCOMPARE(d->focusWidget(), d->folderEdit);
            QVERIFY(d->isVisible());

            Type(d->folderEdit, "/tmp/");
            Type(d->databaseNameEdit, "   ");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("データベース名を入力して下さい"));
            QCOMPARE(d->focusWidget(), d->databaseNameEdit);

            Type(d->databaseNameEdit, "x");
            Type(d->userNameEdit, "O'Neil");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」を入力しないで下さい"));
            QCOMPARE(d->focusWidget(), d->userNameEdit);
            Type(d->userNameEdit, "say \"hi\"");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」を入力しないで下さい"));

            // A character that Shift-JIS cannot hold is not taken over.
            Type(d->userNameEdit, "ok");
            d->folderEdit->setText("/tmp/\u2603/");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("Shift-JISで表せない文字を入力しないで下さい"));
            QCOMPARE(d->focusWidget(), d->folderEdit);
            QCOMPARE(m.shown.size(), 5);
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        // Nothing was taken over.
        QCOMPARE(p.mainWindow.Settings().dataFolder, std::string());
        QCOMPARE(p.mainWindow.Settings().databaseFileName, std::string("JWWDB.FDB"));
        QCOMPARE(p.mainWindow.Settings().userName, std::string("PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC"));
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
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) {
            Type(d->folderEdit, " /nonexistent-kumolist/ ");
            Type(d->databaseNameEdit, "my.gdb");
            Type(d->userNameEdit, "");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), kCannotCreate);
            QVERIFY(m.details.last().contains("nonexistent-kumolist"));   // the server's reason
            QCOMPARE(d->focusWidget(), d->serverEdit);
            QVERIFY(d->isVisible());
            QCOMPARE(p.mainWindow.Settings().dataFolder, std::string(" /nonexistent-kumolist/ "));
            QCOMPARE(p.mainWindow.Settings().databaseFileName, std::string("MY.GDB"));
            QCOMPARE(p.mainWindow.Settings().userName, std::string());
            QVERIFY(!p.mainWindow.Session().Connected());
            QTest::mouseClick(d->cancelButton, Qt::LeftButton);
        });
        QCOMPARE(p.mainWindow.Settings().databaseFileName, std::string("MY.GDB"));
        QVERIFY(!p.mainWindow.Session().Connected());
        QCOMPARE(m.shown.size(), 1);

        // A name typed in lower case without extension: created, attached, dialog closed.
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) {
            QCOMPARE(d->databaseNameEdit->text(), QString("MY.GDB"));   // filled afresh from the settings
            Type(d->serverEdit, "localhost:");
            Type(d->folderEdit, dataFolder);
            Type(d->databaseNameEdit, "jwwdb");
            QTest::keyClick(d->databaseNameEdit, Qt::Key_Return);   // OK is the default button
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(p.mainWindow.Settings().databaseFileName, std::string("JWWDB.FDB"));
        QVERIFY(QFile::exists(dataFolder + "JWWDB.FDB"));
        QVERIFY(p.mainWindow.Session().Connected());   // the command attached again
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 0);   // no catalogue yet
        QCOMPARE(m.shown.size(), 1);

        // A trailing period stays, and gets no extension.
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) {
            Type(d->databaseNameEdit, "plain.");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(p.mainWindow.Settings().databaseFileName, std::string("PLAIN."));
        QVERIFY(QFile::exists(dataFolder + "PLAIN."));
        p.mainWindow.Session().CloseDatabase();
    }

    void firstStartIsReadyToUse()
    {
        TestDatabase place;   // a data folder the server may write, no database in it yet
        const QString dataFolder = place.folder() + "/";
        ProgramFolder folder;
        {
            Program p(folder.programFile());
            p.mainWindow.SetFirstStartDataFolder(dataFolder);
            QVERIFY(p.Show());
            QVERIFY(p.fake.messages.shown.isEmpty());
            QVERIFY(p.mainWindow.Session().Connected());
            QVERIFY(QFile::exists(dataFolder + "JWWDB.FDB"));
            QCOMPARE(p.mainWindow.windowTitle(), "Kumolist - localhost:" + dataFolder + "JWWDB.FDB");
            const std::string login = ::getpwuid(::getuid())->pw_name;
            QCOMPARE(p.mainWindow.Settings().userName,
                     login.size() <= 16 ? login : std::string("PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC"));
            // The first group at once, without a visit to the settings.
            bool stored = false;
            QTimer::singleShot(0, [&] {
                QTest::mouseClick(p.windows.createDialog->storeButton, Qt::LeftButton);
                stored = !p.windows.createDialog->isVisible();
                if (!stored) p.windows.createDialog->reject();
            });
            p.mainWindow.findChild<QAction*>("mnuMakeGroup")->trigger();
            QVERIFY(stored);
            QVERIFY(p.mainWindow.boardView->GroupIcon(1));
            p.Close();
        }
        QCOMPARE(Lines(folder.SettingsBytes())[1], dataFolder.toUtf8());

        // Every later start is an ordinary one: the settings file holds the folder.
        {
            Program again(folder.programFile());
            again.mainWindow.SetFirstStartDataFolder("/nonexistent-kumolist/");
            QVERIFY(again.Show());
            QVERIFY(again.mainWindow.boardView->GroupIcon(1));
            again.Close();
        }
        // A set-up folder that is not there leaves the first start as it always was.
        ProgramFolder bare;
        Program plain(bare.programFile());
        plain.mainWindow.SetFirstStartDataFolder("/nonexistent-kumolist/");
        QVERIFY(plain.Show());
        QVERIFY(!plain.mainWindow.Session().Connected());
        QCOMPARE(plain.mainWindow.windowTitle(), QString("Kumolist"));
        QVERIFY(plain.fake.messages.shown.isEmpty());
        QVERIFY(plain.mainWindow.Settings().dataFolder.empty());
    }

    void hostileSettingsFiles()
    {
        // A FIFO under the settings file's name: no wait, no settings, and the end of the
        // run puts a real settings file in its place.
        {
            ProgramFolder folder;
            QVERIFY(::mkfifo(QFile::encodeName(folder.settingsPath()).constData(), 0600) == 0);
            Program p(folder.programFile());
            QVERIFY(p.Show());
            QCOMPARE(p.mainWindow.pos(), QPoint(800 - 616, 107));
            QVERIFY(p.fake.messages.shown.isEmpty());
            p.Close();
            QVERIFY(QFileInfo(folder.settingsPath()).isFile());
            QCOMPARE(Lines(folder.SettingsBytes()).size(), 37);
        }

        // Sizes beyond any screen and places out of sight: the windows come back within
        // the screen with their title bars on it, and so does the file.
        ProgramFolder folder;
        SettingsNumbers n = DefaultSettingsNumbers();
        n[0] = -32767;          // main window left
        n[1] = 2147483647;      // main window top
        n[2] = 2147483647;      // width
        n[3] = 2147483647;      // height
        n[18] = -2147483647 - 1;   // search window left
        n[21] = -32767;            // search window height
        QVERIFY(SaveSettings(folder.settingsPath(), DatabaseSettings{}, n));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        {
            Program p(folder.programFile());
            QVERIFY(p.Show());
            for (QWidget* w : {static_cast<QWidget*>(&p.mainWindow), static_cast<QWidget*>(p.windows.searchWindow)}) {
                QVERIFY(w->width() <= screen.width() && w->height() <= screen.height());
                QVERIFY(w->y() >= screen.top() && w->y() + 32 <= screen.bottom() + 1);
                QVERIFY(w->x() + w->width() >= screen.left() + 96 && w->x() <= screen.right() - 95);
            }
            // A window that was valid stays exactly where it was.
            QCOMPARE(p.windows.subGroupNameDialog->pos(), QPoint(202, 186));
            p.Close();
        }
        const QList<QByteArray> lines = Lines(folder.SettingsBytes());
        QVERIFY(lines[5].toInt() + 32 <= screen.bottom() + 1);
        QVERIFY(lines[6].toInt() <= screen.width());
        QCOMPARE(lines[20], QByteArray("202"));

        // Closed maximised, the window comes back at its normal size.
        {
            Program p(folder.programFile());
            QVERIFY(p.Show());
            p.mainWindow.resize(500, 300);
            p.mainWindow.showMaximized();
            QTRY_VERIFY(p.mainWindow.isMaximized());
            // The detail panel's long fields stretch with the window.
            QTRY_VERIFY(p.mainWindow.detailPanel->width() > 616);
            for (QLineEdit* e : {p.mainWindow.titleField, p.mainWindow.subtitleField})
                QCOMPARE(e->geometry().right() + 1, p.mainWindow.detailPanel->width() - 11);
            p.Close();
        }
        QCOMPARE(Lines(folder.SettingsBytes())[6], QByteArray("500"));
        QCOMPARE(Lines(folder.SettingsBytes())[7], QByteArray("300"));
    }

    void standardDialogsSpeakJapanese()
    {
        QVERIFY(InstallJapaneseTranslations(*QCoreApplication::instance()));
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("キャンセル"));
    }

    void oneFontForLatinAndJapanese()
    {
        const QFont before = QApplication::font();
        const bool noto = QFontDatabase::hasFamily("Noto Sans CJK JP");
        QCOMPARE(UseJapaneseUiFont(), noto);
        if (noto) {
            // Windows made afterwards draw both scripts in it, at their own sizes.
            MemoDialog memo(FakePlatform().platform);
            QCOMPARE(QFontInfo(memo.font()).family(), QString("Noto Sans CJK JP"));
            QCOMPARE(memo.font().pixelSize(), 12);
        } else {
            QCOMPARE(QApplication::font(), before);
        }
        QApplication::setFont(before);
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
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 2);

        // Select group 2 with a click.
        QLabel* icon = p.mainWindow.boardView->GroupIcon(2);
        QTest::mouseClick(icon, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 2);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("2"));

        // OK on the database in use: nothing changes in it, the board is rebuilt.
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) { QTest::mouseClick(d->okButton, Qt::LeftButton); });
        QVERIFY(p.fake.messages.shown.isEmpty());
        QVERIFY(p.mainWindow.Session().Connected());
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 2);
        QCOMPARE(p.mainWindow.boardView->GroupIcon(2)->pos(), QPoint(100, 10));
        // The selection and the panel were cleared with the rebuild.
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);
        QVERIFY(p.mainWindow.groupNameField->text().isEmpty());
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());

        // Another database: its groups, and nothing of the old selection.
        QTest::mouseClick(p.mainWindow.boardView->GroupIcon(2), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("first-two"));
        WithSettingsDialog(p, [&](DatabaseSettingsDialog* d) {
            Type(d->folderEdit, second.folder() + "/");
            Type(d->databaseNameEdit, "test.fdb");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        });
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 1);
        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->pos(), QPoint(50, 60));
        QCOMPARE(p.mainWindow.boardView->GroupCaption(1)->text(), QString("second-one"));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);
        QCOMPARE(p.mainWindow.boardView->Board().pressedGroup, 0);
        QVERIFY(p.mainWindow.groupNameField->text().isEmpty());
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());
        p.Close();
        // The settings of the end of the run name the second database.
        QCOMPARE(Lines(folder.SettingsBytes())[1], (second.folder() + "/").toUtf8());
    }

};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
