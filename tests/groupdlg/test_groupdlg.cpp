// The group create and edit dialogs, driven as a user would, against a real database.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "db/schema.h"
#include "db/session.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupdlg/picturefolderdialog.h"
#include "text/cp932.h"
#include "platform/cp932edit.h"
#include "platform/platform.h"
#include "settings/preferences.h"
#include "text/textutil.h"
#include "support/controls.h"
#include "support/fakeplatform.h"
#include "support/testdb.h"

namespace {

const QString kQuoteMessage = QStringLiteral("引用符「'」「\"」を入力しないで下さい");

std::string S(const QString& text) { return FromQ(text).value(); }

// Types text key by key; characters beyond Latin-1 come as key events carrying text,
// as a keyboard layout or an input method without preedit sends them.
void Type(QWidget* w, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(w, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A whole input method commit at once, as a Japanese input method delivers it.
void Commit(QWidget* w, const QString& text)
{
    QInputMethodEvent e;
    e.setCommitString(text);
    QApplication::sendEvent(w, &e);
}

// A program folder with its icon folder, and statements seen by the session.
struct Fixture {
    FreshSession fresh;
    DatabaseSession& db = fresh.session;
    FakePlatform fake;
    QTemporaryDir program;
    std::vector<std::string> log;

    Fixture()
    {
        QDir(program.path()).mkdir("img");
        db.SetStatementLog([this](const std::string& s) { log.push_back(s); });
    }
    QString folder() const { return program.path() + "/"; }
    void addPicture(const QString& name) const
    {
        QFile f(program.path() + "/img/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    void addGroup(int n, const std::string& name, int x = 0, int y = 0)
    {
        if (!db.TableExists(kCatalogueTable)) QVERIFY(CreateCatalogueTable(db));
        std::vector<std::string> v(kCatalogueColumnCount, "NULL");
        v[kColN] = std::to_string(n);
        v[kColGrpName] = TextLiteral(name);
        v[kColX] = std::to_string(x);
        v[kColY] = std::to_string(y);
        QVERIFY(db.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), v));
    }
    TextRow row(int n)
    {
        TextRow r(kCatalogueColumnCount);
        db.SelectRecords("*", kCatalogueTable, "N=" + std::to_string(n), "");
        db.ReadFirstRecord(r);
        db.CloseSelect();
        return r;
    }
    // Statements that wrote something, in order.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> w;
        for (const auto& s : log)
            if (s.rfind("INSERT", 0) == 0 || s.rfind("UPDATE", 0) == 0) w.push_back(s);
        return w;
    }
};

template <class Dialog> void Setup(Dialog& dlg, const Fixture& f) { dlg.SetProgramFiles(LocateProgramFiles(f.folder() + "kumolist")); }

} // namespace

class TestGroupDialogs : public QObject {
    Q_OBJECT
private slots:
    void createFirstGroupMakesCatalogue();
    void createProposesAboveHighestAndInsertsExactly();
    void createKeepsTextsForNextShowing();
    void quoteRefusedFocusOnGroupName();
    void createDetachedDisablesStore();
    void editWritesBackKeptPosition();
    void editOfMissingRowFails();
    void pictureBrowser();
    void pictureFromElsewhereCopiedIn();
    void overLongPictureNameFailsStore();
    void byteLimitCountsDoubleByteAsTwo();
    void tabOrderEnterAndEscape();
    void pictureFolderCheckedStoredAndDefault();
};

void TestGroupDialogs::createFirstGroupMakesCatalogue()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    QVERIFY(!f.db.TableExists(kCatalogueTable));
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    QVERIFY(f.db.TableExists(kCatalogueTable));
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("1"));
    QCOMPARE(dlg.authorEdit->text(), QStringLiteral("PCユーザー名"));
    QCOMPARE(dlg.focusWidget(), dlg.nameEdit);
    QVERIFY(dlg.storeButton->isEnabled());

    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown, QStringList{QStringLiteral("登録OK")});
    QVERIFY(dlg.result() == QDialog::Accepted);
    QCOMPARE(dlg.createdGroupNumber, 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(f.row(1), (TextRow{"1", "", "", "", S(QStringLiteral("PCユーザー名")), "", "", "", "", "0", "0"}));
}

void TestGroupDialogs::createProposesAboveHighestAndInsertsExactly()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    for (int n : {1, 2, 5}) f.addGroup(n, "g");
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("6"));   // gaps are not filled

    // Another client takes 6 while the dialog is open: the store takes the next one.
    f.addGroup(6, "other");
    Type(dlg.nameEdit, QStringLiteral("図面"));
    f.log.clear();
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("7"));
    QCOMPARE(f.fake.messages.shown, QStringList{QStringLiteral("登録OK")});
    QCOMPARE(dlg.createdGroupNumber, 7);

    const std::string expected = JoinLines({"INSERT INTO GRPJWW (", "   N,", "   GRPNAME,", "   MTITLE,", "   STITLE,",
                                            "   PNAME,", "   MEMO1,", "   MEMO2,", "   MEMO3,", "   ICONP,",
                                            "   X,", "   Y", "   ) ", "   VALUES (", "   7,",
                                            "   '" + S(QStringLiteral("図面")) + "',", "   NULL,", "   NULL,",
                                            "   '" + S(QStringLiteral("PCユーザー名")) + "',", "   NULL,",
                                            "   NULL,", "   NULL,", "   NULL,", "   0,", "   0", "   );"});
    QCOMPARE(f.writes(), std::vector<std::string>{expected});
    QCOMPARE(f.row(7), (TextRow{"7", S(QStringLiteral("図面")), "", "", S(QStringLiteral("PCユーザー名")), "", "",
                                "", "", "0", "0"}));
}

void TestGroupDialogs::createKeepsTextsForNextShowing()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    Type(dlg.nameEdit, QStringLiteral("A"));
    Type(dlg.titleEdit, QStringLiteral("  "));   // blanks are text, not empty
    Type(dlg.authorEdit, QStringLiteral("x"));
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QVERIFY(dlg.result() == QDialog::Accepted);
    QCOMPARE(f.row(1)[kColMTitle], std::string("  "));
    QCOMPARE(f.row(1)[kColPName], S(QStringLiteral("PCユーザー名x")));

    dlg.show();
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("2"));
    QCOMPARE(dlg.nameEdit->text(), QStringLiteral("A"));
    QCOMPARE(dlg.authorEdit->text(), QStringLiteral("PCユーザー名"));

    // The clear button leaves the number alone; all empty texts are stored as NULL.
    QTest::mouseClick(dlg.clearButton, Qt::LeftButton);
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("2"));
    for (QLineEdit* e : {dlg.nameEdit, dlg.titleEdit, dlg.subtitleEdit, dlg.authorEdit, dlg.memo1Edit, dlg.memo2Edit, dlg.memo3Edit, dlg.pictureEdit})
        QVERIFY(e->text().isEmpty());
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QVERIFY(dlg.result() == QDialog::Accepted);
    QCOMPARE(f.row(2), (TextRow{"2", "", "", "", "", "", "", "", "", "0", "0"}));
    QVERIFY(f.writes().back().find("VALUES (\r\n   2,\r\n   NULL,\r\n   NULL,") != std::string::npos);
}

void TestGroupDialogs::quoteRefusedFocusOnGroupName()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    Type(dlg.nameEdit, QStringLiteral("name"));
    Type(dlg.memo2Edit, QStringLiteral("say \"hi\""));
    dlg.memo2Edit->setFocus();
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown, QStringList{kQuoteMessage});
    QCOMPARE(dlg.focusWidget(), dlg.nameEdit);
    QVERIFY(dlg.result() != QDialog::Accepted);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.memo2Edit->text(), QStringLiteral("say \"hi\""));
    QVERIFY(f.writes().empty());
    QCOMPARE(f.db.CountRecords(kCatalogueTable, ""), 0);

    // The edit dialog refuses the same way, here an apostrophe in the picture name.
    f.addGroup(3, "g", 10, 20);
    GroupEditDialog edit(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(edit, f);
    edit.editedGroupNumber = 3;
    edit.show();
    Type(edit.pictureEdit, QStringLiteral("it's.bmp"));
    f.log.clear();
    QTest::mouseClick(edit.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown.last(), kQuoteMessage);
    QCOMPARE(edit.focusWidget(), edit.nameEdit);
    QVERIFY(edit.result() != QDialog::Accepted);
    QVERIFY(f.writes().empty());
}

void TestGroupDialogs::createDetachedDisablesStore()
{
    TestDatabase notCreated;
    DatabaseSession db(notCreated.settings);
    FakePlatform fake;
    GroupCreateDialog dlg(db, notCreated.settings, fake.platform);
    dlg.numberEdit->setText(QStringLiteral("12"));
    dlg.show();
    QVERIFY(!dlg.storeButton->isEnabled());
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("12"));
    QVERIFY(fake.messages.shown.isEmpty());
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QVERIFY(fake.messages.shown.isEmpty());
    QVERIFY(dlg.isVisible());
}

void TestGroupDialogs::editWritesBackKeptPosition()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    f.addGroup(4, S(QStringLiteral("旧名")), 130, 64);
    QVERIFY(f.db.UpdateRecordText(kCatalogueTable, "MEMO2='m2', ICONP='a.bmp'", "N=4"));
    GroupEditDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.titleEdit->setText(QStringLiteral("left over"));
    dlg.editedGroupNumber = 4;
    dlg.show();
    QCOMPARE(dlg.numberEdit->text(), QStringLiteral("4"));
    QCOMPARE(dlg.nameEdit->text(), QStringLiteral("旧名"));
    QVERIFY(dlg.titleEdit->text().isEmpty());
    QCOMPARE(dlg.memo2Edit->text(), QStringLiteral("m2"));
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("a.bmp"));
    QCOMPARE(dlg.focusWidget(), dlg.nameEdit);

    dlg.nameEdit->selectAll();
    Type(dlg.nameEdit, QStringLiteral("新名"));
    f.log.clear();
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown, QStringList{QStringLiteral("編集登録OK")});
    QVERIFY(dlg.result() == QDialog::Accepted);
    QCOMPARE(dlg.editedGroupNumber, 4);
    QVERIFY(!dlg.isVisible());
    const std::string expected =
        JoinLines({"UPDATE GRPJWW SET ", "   N=4,", "   GRPNAME='" + S(QStringLiteral("新名")) + "',", "   MTITLE=NULL,",
                   "   STITLE=NULL,", "   PNAME=NULL,", "   MEMO1=NULL,", "   MEMO2='m2',", "   MEMO3=NULL,",
                   "   ICONP='a.bmp',", "   X=130,", "   Y=64", "   WHERE N=4", "   ;"});
    QCOMPARE(f.writes(), std::vector<std::string>{expected});
    QCOMPARE(f.row(4), (TextRow{"4", S(QStringLiteral("新名")), "", "", "", "", "m2", "", "a.bmp", "130", "64"}));
}

void TestGroupDialogs::editOfMissingRowFails()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    f.addGroup(1, "g");
    GroupEditDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.memo1Edit->setText(QStringLiteral("stale"));
    dlg.editedGroupNumber = 9;
    dlg.show();
    for (QLineEdit* e : dlg.findChildren<QLineEdit*>()) QVERIFY(e->text().isEmpty());
    Type(dlg.nameEdit, QStringLiteral("x"));
    QTest::mouseClick(dlg.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown, QStringList{QStringLiteral("編集登録失敗")});
    QVERIFY(dlg.result() != QDialog::Accepted);
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.nameEdit->text(), QStringLiteral("x"));
    QCOMPARE(f.row(1)[kColGrpName], std::string("g"));
}

void TestGroupDialogs::pictureBrowser()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    f.addPicture("house.ico");
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    dlg.pictureEdit->setText(QStringLiteral("old.bmp"));

    // The picture in the icon folder is named as it is.
    f.fake.fileDialogs.nextFileNames.push_back({f.folder() + "img/house.ico"});
    QTest::mouseClick(dlg.browseButton, Qt::LeftButton);
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("house.ico"));
    QCOMPARE(f.fake.fileDialogs.requests.size(), size_t(1));
    const OpenFileRequest& r = f.fake.fileDialogs.requests[0];
    QCOMPARE(r.folder, f.folder() + "img/");
    QCOMPARE(r.proposedName, QStringLiteral("old.bmp"));
    QVERIFY(r.preview);
    QVERIFY(!r.multiSelect);
    QCOMPARE(r.filters, (QStringList{QStringLiteral("すべてのファイル (*.bmp;*.ico;*.emf;*.wmf;*.png;*.jpg;*.jpeg;*.svg)"),
                                     QStringLiteral("ビットマップ (*.bmp)"), QStringLiteral("アイコン (*.ico)"),
                                     QStringLiteral("エンハンス メタファイル (*.emf)"),
                                     QStringLiteral("メタファイル (*.wmf)"), QStringLiteral("PNG・JPEG (*.png;*.jpg;*.jpeg)"),
                                     QStringLiteral("SVG (*.svg)")}));

    // Cancelled: nothing changes.
    QTest::mouseClick(dlg.browseButton, Qt::LeftButton);
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("house.ico"));

    QVERIFY(f.fake.messages.shown.isEmpty());
    QVERIFY(f.fake.messages.asked.isEmpty());
}

void TestGroupDialogs::pictureFromElsewhereCopiedIn()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    QTemporaryDir elsewhere;
    auto put = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    const QString img = f.folder() + "img/";
    put(elsewhere.filePath("家.bmp"), "BM new");
    put(img + "家.bmp", "BM old");
    put(elsewhere.filePath("tree.ico"), "tree");
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    auto choose = [&](const QString& path, std::deque<bool> answers) {
        f.fake.messages.asked.clear();
        f.fake.messages.shown.clear();
        f.fake.messages.nextAnswers = answers;
        f.fake.fileDialogs.nextFileNames.push_back({path});
        QTest::mouseClick(dlg.browseButton, Qt::LeftButton);
    };

    // Asked, answered Yes: copied in and named.
    choose(elsewhere.filePath("tree.ico"), {true});
    QCOMPARE(f.fake.messages.asked, QStringList{"画像「tree.ico」をグループアイコンのフォルダにコピーしますか？"});
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("tree.ico"));
    QCOMPARE(bytesOf(img + "tree.ico"), QByteArray("tree"));
    QVERIFY(QFileInfo(img + "tree.ico").permissions() & QFile::ReadOther);

    // The same bytes under the same name: nothing to copy, nothing asked.
    dlg.pictureEdit->setText("x.bmp");
    choose(elsewhere.filePath("tree.ico"), {});
    QVERIFY(f.fake.messages.asked.isEmpty());
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("tree.ico"));

    // Another picture of that name in the folder: replaced only when the user says so.
    choose(elsewhere.filePath("家.bmp"), {true, false});
    QCOMPARE(f.fake.messages.asked.size(), 2);
    QVERIFY(f.fake.messages.asked[1].contains("置き換えますか？"));
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("tree.ico"));
    QCOMPARE(bytesOf(img + "家.bmp"), QByteArray("BM old"));
    choose(elsewhere.filePath("家.bmp"), {false});   // not even copied
    QCOMPARE(bytesOf(img + "家.bmp"), QByteArray("BM old"));
    choose(elsewhere.filePath("家.bmp"), {true, true});
    QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("家.bmp"));
    QCOMPARE(bytesOf(img + "家.bmp"), QByteArray("BM new"));

    // Names that ICONP cannot hold are refused with the reason, before anything is asked.
    const QString tooLong = QString(37, QLatin1Char('p')) + ".bmp";   // 41 bytes
    const QString notCp932 = QStringLiteral("\u00e9t\u00e9.bmp");
    const QString quoted = QStringLiteral("it's.bmp");
    for (const QString& name : {tooLong, notCp932, quoted, QStringLiteral("plan.gif")}) {
        put(elsewhere.filePath(name), "x");
        choose(elsewhere.filePath(name), {true, true});
        QVERIFY2(f.fake.messages.asked.isEmpty(), qPrintable(name));
        QCOMPARE(f.fake.messages.shown.size(), 1);
        QVERIFY(f.fake.messages.shown[0].startsWith("「" + name + "」はグループアイコン画像に使えません。"));
        QVERIFY(!QFileInfo::exists(img + name));
        QCOMPARE(dlg.pictureEdit->text(), QStringLiteral("家.bmp"));
    }
    QCOMPARE(PictureNameRefusal(tooLong), QStringLiteral("名前が長すぎます（シフトJISで40バイトまで）。"));
    QVERIFY(PictureNameRefusal(QString(36, QLatin1Char('p')) + ".bmp").isEmpty());   // 40 bytes fit
    QVERIFY(!PictureNameRefusal(QStringLiteral("a\\b.bmp")).isEmpty());

    // No leftovers of the copies in the folder.
    QCOMPARE(QDir(img).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestGroupDialogs::overLongPictureNameFailsStore()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    const QString longName = QString(41, QLatin1Char('p')) + ".bmp";   // 45 bytes, the column holds 40
    f.addPicture(longName);
    f.addGroup(2, "g", 5, 6);

    GroupCreateDialog create(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(create, f);
    create.show();
    f.fake.fileDialogs.nextFileNames.push_back({f.folder() + "img/" + longName});
    QTest::mouseClick(create.browseButton, Qt::LeftButton);
    QCOMPARE(create.pictureEdit->text(), longName);
    // Kept whole, but the user still cannot type beyond it.
    Type(create.pictureEdit, QStringLiteral("x"));
    QCOMPARE(create.pictureEdit->text(), longName);
    QTest::mouseClick(create.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown, QStringList{QStringLiteral("登録失敗")});
    QVERIFY(create.result() != QDialog::Accepted);
    QVERIFY(create.isVisible());
    QCOMPARE(create.pictureEdit->text(), longName);
    QCOMPARE(f.db.CountRecords(kCatalogueTable, ""), 1);

    GroupEditDialog edit(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(edit, f);
    edit.editedGroupNumber = 2;
    edit.show();
    f.fake.fileDialogs.nextFileNames.push_back({f.folder() + "img/" + longName});
    QTest::mouseClick(edit.browseButton, Qt::LeftButton);
    QTest::mouseClick(edit.storeButton, Qt::LeftButton);
    QCOMPARE(f.fake.messages.shown.last(), QStringLiteral("編集登録失敗"));
    QVERIFY(edit.result() != QDialog::Accepted);
    QCOMPARE(f.row(2), (TextRow{"2", "g", "", "", "", "", "", "", "", "5", "6"}));
}

void TestGroupDialogs::byteLimitCountsDoubleByteAsTwo()
{
    QLineEdit e;
    SetByteLimit(&e, 5);
    Type(&e, QStringLiteral("a図面b"));
    QCOMPARE(e.text(), QStringLiteral("a図面"));   // 5 bytes; "b" would make 6
    e.clear();
    Type(&e, QStringLiteral("図面図"));
    QCOMPARE(e.text(), QStringLiteral("図面"));
    Type(&e, QStringLiteral("z"));
    QCOMPARE(e.text(), QStringLiteral("図面z"));
    e.clear();
    Commit(&e, QStringLiteral("図面図"));   // too long as a whole: not taken
    QVERIFY(e.text().isEmpty());
    Commit(&e, QStringLiteral("図面"));
    QCOMPARE(e.text(), QStringLiteral("図面"));

    // A character CP932 cannot hold would not survive storing: it is not taken.
    e.clear();
    Type(&e, QStringLiteral("한x"));
    QCOMPARE(e.text(), QStringLiteral("x"));

    // Text put in by the program stays whole; the user may shorten it but not lengthen it.
    e.setText(QStringLiteral("図面図面"));
    QCOMPARE(e.text(), QStringLiteral("図面図面"));
    QVERIFY(e.hasAcceptableInput());
    e.end(false);
    Type(&e, QStringLiteral("a"));
    QCOMPARE(e.text(), QStringLiteral("図面図面"));
    QTest::keyClick(&e, Qt::Key_Backspace);
    Type(&e, QStringLiteral("a"));
    QCOMPARE(e.text(), QStringLiteral("図面図"));
    QTest::keyClick(&e, Qt::Key_Backspace);
    Type(&e, QStringLiteral("ab"));
    QCOMPARE(e.text(), QStringLiteral("図面a"));
    e.setText(QStringLiteral("한"));
    QCOMPARE(e.text(), QStringLiteral("한"));
    e.end(false);
    Type(&e, QStringLiteral("한a"));
    QCOMPARE(e.text(), QStringLiteral("한a"));

    // The dialogs' fields: 32 bytes for the group name, 16 for the author.
    FakePlatform fake;
    TestDatabase notCreated;
    DatabaseSession db(notCreated.settings);
    GroupCreateDialog dlg(db, notCreated.settings, fake.platform);
    Type(dlg.nameEdit, QString(20, QChar(0x56F3)));   // 20 × 図
    QCOMPARE(dlg.nameEdit->text(), QString(16, QChar(0x56F3)));
    dlg.authorEdit->clear();
    Type(dlg.authorEdit, QStringLiteral("PCユーザー名abcdefgh"));
    QCOMPARE(Cp932Length(dlg.authorEdit->text()), 16);
    QCOMPARE(dlg.authorEdit->text(), QStringLiteral("PCユーザー名abcd"));
    QVERIFY(dlg.numberEdit->isReadOnly());
}

void TestGroupDialogs::tabOrderEnterAndEscape()
{
    Fixture f;
    QVERIFY(f.fresh.ok);
    GroupCreateDialog dlg(f.db, f.fresh.db.settings, f.fake.platform);
    Setup(dlg, f);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(QApplication::focusWidget(), dlg.nameEdit);
    const QList<QWidget*> order{dlg.titleEdit, dlg.subtitleEdit, dlg.authorEdit,   dlg.memo1Edit,   dlg.memo2Edit,   dlg.memo3Edit,
                                dlg.pictureEdit, dlg.browseButton, dlg.storeButton, dlg.clearButton, dlg.closeButton, dlg.nameEdit};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }

    // Enter in a field stores (the store button is the default).
    Type(dlg.nameEdit, QStringLiteral("enter"));
    QTest::keyClick(dlg.nameEdit, Qt::Key_Return);
    QVERIFY(dlg.result() == QDialog::Accepted);
    QCOMPARE(f.row(1)[kColGrpName], std::string("enter"));

    // Esc closes without storing: the dialog ends rejected.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(f.db.CountRecords(kCatalogueTable, ""), 1);
}

void TestGroupDialogs::pictureFolderCheckedStoredAndDefault()
{
    QTemporaryDir dir;
    const QString shared = dir.path() + "/共有/絵";
    QVERIFY(QDir().mkpath(shared));
    const QString defaultFolder = dir.path() + "/mine/";
    const QString prefs = dir.path() + "/kumolist.ini";
    FakePlatform fake;
    struct Case {
        QString typed;
        bool accepted;
        QString folder;   // what the dialog answers
    };
    const Case cases[] = {
        {shared, true, shared + "/"},
        {"  " + shared + "//", true, shared + "/"},
        {"", true, ""},                                   // the default
        {dir.path() + "/gone", false, {}},                // a folder that is not there loses pictures
        {"relative/folder", false, {}},
    };
    for (const Case& c : cases) {
        PictureFolderDialog dialog(fake.platform, {}, defaultFolder);
        Control<QLineEdit>(&dialog, "folderEdit")->setText(c.typed);
        const int shownBefore = int(fake.messages.shown.size());
        dialog.accept();
        QCOMPARE(dialog.result() == QDialog::Accepted, c.accepted);
        QCOMPARE(int(fake.messages.shown.size()) - shownBefore, c.accepted ? 0 : 1);
        if (c.accepted) QCOMPARE(dialog.Folder(), c.folder);
    }

    // Stored in the preferences, then back to the default; each answer is the folder in use.
    for (const auto& [typed, inUse] : {std::pair{shared, shared + "/"}, std::pair{QString(), defaultFolder}}) {
        QTimer::singleShot(0, [typed] {
            auto* dialog = qobject_cast<PictureFolderDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Control<QLineEdit>(dialog, "folderEdit")->setText(typed);
            dialog->accept();
        });
        QCOMPARE(EditPictureFolder(nullptr, fake.platform, prefs, defaultFolder), inUse);
        QCOMPARE(LoadPictureFolder(prefs), typed.isEmpty() ? QString() : inUse);
    }
}

QTEST_MAIN(TestGroupDialogs)
#include "test_groupdlg.moc"
