// The search from a terminal: its lines, its CSV and its exit codes for each way of
// searching, against the real server and an index in a folder of the test's own.
#include <sstream>

#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "drawingtexttable.h"
#include "entries.h"
#include "shell/searchcommand.h"
#include "support/testdb.h"

class TestSearchCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linesAndExitCodes_data();
    void linesAndExitCodes();

private:
    FreshSession fresh_;
    QTemporaryDir cache_;
};

void TestSearchCommand::initTestCase()
{
    QVERIFY(fresh_.ok);
    DatabaseSession& db = fresh_.session;
    const std::string folder = Sj("C:\\図面\\");
    QVERIFY(InsertGroup(db, 1, Sj("平面図集"), "", "0", "0") && InsertGroup(db, 2, Sj("控え"), "", "0", "0"));
    QVERIFY(OpenGroupTables(db, 1) && OpenGroupTables(db, 2));
    QVERIFY(AddSubGroup(db, 1, 1, Sj("1階")));
    QVERIFY(AddEntry(db, 1, 1, folder, "a.jww", Sj("岡田邸"), 1));
    QVERIFY(AddEntry(db, 1, 2, folder, "b.jww", "", 0));
    QVERIFY(AddEntry(db, 2, 1, folder, "a.jww", "", 0));
    QVERIFY(CreateDrawingTextTable(db));
    QVERIFY(StoreDrawingTexts(db, folder, "a.jww", {{"和室\t六畳", 1, 2, 3, 4}}));
    QVERIFY(StoreDrawingTexts(db, folder, "b.jww", {{"洋室 ＬＤＫ", 1, 2, 3, 4}}));
}

void TestSearchCommand::linesAndExitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("out");   // lines joined by '|'; tabs as they are

    const QString a1 = "1\t平面図集\t1階\tC:\\図面\\\ta.jww", a2 = "2\t控え\t\tC:\\図面\\\ta.jww", b1 = "1\t平面図集\t\tC:\\図面\\\tb.jww";
    QTest::newRow("text, by relevance, each entry of the drawing")
        << QStringList{"--search", "和室", "--in", "text"} << 0 << a1 + "\t《和室》 六畳|" + a2 + "\t《和室》 六畳";
    QTest::newRow("text folds width and case") << QStringList{"--search", "ldk", "--in", "text"} << 0 << b1 + "\t洋室 《ＬＤＫ》";
    QTest::newRow("text, nothing") << QStringList{"--search", "浴室", "--in", "text"} << 1 << "";
    QTest::newRow("memo runs the statement") << QStringList{"--search", "岡田", "--in", "memo"} << 0 << a1;
    QTest::newRow("name") << QStringList{"--search", "b.j", "--in", "name"} << 0 << b1;
    QTest::newRow("folder, case counts") << QStringList{"--search", "c:", "--in", "folder"} << 1 << "";
    QTest::newRow("all: text hits, then the others once")
        << QStringList{"--search", "和室 OR 岡田"} << 0 << a1 + "\t《和室》 六畳|" + a2 + "\t《和室》 六畳";
    QTest::newRow("all: a memo hit without text") << QStringList{"--search", "岡田", "--in", "all"} << 0 << a1;
    QTest::newRow("phrase in all") << QStringList{"--search", "\"洋室\""} << 0 << b1 + "\t《洋室》 ＬＤＫ";
    QTest::newRow("csv") << QStringList{"--search", "洋室", "--csv"} << 0
                         << "\xEF\xBB\xBFグループ,サブグループ,フォルダ,ファイル名,メモ,登録者,番号\r|平面図集,,C:\\図面\\,b.jww,,tester,2\r";
    QTest::newRow("quote refused by the statements") << QStringList{"--search", "\"a\"", "--in", "name"} << 2 << "";
    QTest::newRow("unknown way") << QStringList{"--search", "a", "--in", "body"} << 2 << "";
    QTest::newRow("blank") << QStringList{"--search", " "} << 2 << "";
    QTest::newRow("no index") << QStringList{"--search", "和室", "unwritable"} << 2 << "";
    QTest::newRow("not attached") << QStringList{"--search", "和室", "detached"} << 2 << "";
}

void TestSearchCommand::linesAndExitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QString, out);
    // The last two rows stand for a failure of the index and of the server.
    QString indexFolder = cache_.path() + "/index";
    const bool detached = args.removeOne("detached");
    if (args.removeOne("unwritable")) indexFolder = "/proc/kumolist-index";
    std::ostringstream o, e;
    const std::optional<SearchCommand> command = ParseSearchCommand(QStringList{"kumolist"} + args, e);
    int code = 2;
    if (command) {
        if (detached) {
            DatabaseSession other(fresh_.db.settings);
            code = RunSearchCommand(*command, other, indexFolder, o, e);
        } else {
            code = RunSearchCommand(*command, fresh_.session, indexFolder, o, e);
        }
    }
    QStringList lines = QString::fromStdString(o.str()).split('\n');
    if (lines.back().isEmpty()) lines.removeLast();
    QCOMPARE(lines.join('|'), out);
    QCOMPARE(code, exit);
    QCOMPARE(code == 2, !e.str().empty());
}

QTEST_GUILESS_MAIN(TestSearchCommand)
#include "test_searchcommand.moc"
