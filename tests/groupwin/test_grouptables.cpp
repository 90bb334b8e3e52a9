// The group window's logic without the window: rows of the file list as the disk shows
// them, their order, the sub-group tree, and the statements of the entry and sub-group
// commands against the real server.
#include <algorithm>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "db/schema.h"
#include "groupwin/grouptables.h"
#include "support/testdb.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

const std::string kA = "\x82\xA0";      // あ
const std::string kUser = "\x8E\x52\x93\x63";   // 山田

std::string Cp(const QString& s) { return FromQ(s).value(); }

// A file of the size given, last written at the time given.
void PutFile(const QString& path, qint64 size, time_t modified)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(f.resize(size));
    f.close();
    struct utimbuf times {modified, modified};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

FileRow Row(const std::string& name, const std::string& size, const std::string& number = "1")
{
    FileRow r;
    r.cells[kCellName] = name;
    r.cells[kCellSize] = size;
    r.cells[kCellNumber] = number;
    return r;
}

std::vector<std::string> Names(const std::vector<FileRow>& rows)
{
    std::vector<std::string> names;
    for (const FileRow& r : rows) names.push_back(r.cells[kCellName]);
    return names;
}

// The names of the rows in the list's order of the column (a stable sort, as the
// list's own).
std::vector<std::string> SortedNames(std::vector<FileRow> rows, int column)
{
    std::stable_sort(rows.begin(), rows.end(),
                     [column](const FileRow& a, const FileRow& b) { return CompareFileRows(a, b, column) < 0; });
    return Names(rows);
}

// A group with its two tables and a log of the statements sent.
struct Group {
    FreshSession f;
    std::vector<std::string> sent;
    Group()
    {
        if (!f.ok || !EnsureGroupTables(f.session, 1)) return;
        f.session.SetStatementLog([this](const std::string& s) { sent.push_back(s); });
    }
    DatabaseSession& db() { return f.session; }
    bool Entry(int n, const std::string& name, const std::string& folder, int sn, const std::string& memo = "")
    {
        return db().InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                 {IntToStr(n), TextLiteral(name), TextLiteral(folder), TextLiteral(memo), "'u'",
                                  IntToStr(sn)});
    }
};

} // namespace

class TestGroupTables : public QObject {
    Q_OBJECT
private slots:
    void rowsProbeTheDisk()
    {
        QTemporaryDir dir;
        const QString name = QString::fromUtf8("敷地ソ.JWW");
        const time_t when = 1700000001;   // an odd second stays odd
        PutFile(dir.filePath(name), 1234, when);
        const std::string folder = Cp(dir.path()) + "/";

        const FileRow found = MakeFileRow(7, 3, folder + Cp(name), "memo", kUser);
        const std::array<std::string, kFileCellCount> want{
            Cp(name), folder, "1234", ".jww",
            QDateTime::fromSecsSinceEpoch(when).toString("yyyy/MM/dd hh:mm:ss").toStdString(),
            "memo", kUser, "7", "3"};
        QCOMPARE(found.cells, want);
        QVERIFY(found.exists);
        QCOMPARE(found.FullPath(), folder + Cp(name));

        // Missing, a folder, a relative or Windows path (on a drive letter too): no file,
        // type from the name, the path as stored.
        QVERIFY(QDir(dir.path()).mkdir("sub.d"));
        for (const std::string& path : {folder + "gone.Txt", folder + "sub.d", std::string("rel/a.txt"),
                                        std::string("C:\\a\\b.txt"), std::string("E:\\a\\b.txt")}) {
            const FileRow missing = MakeFileRow(1, 0, path, "", "");
            QVERIFY(!missing.exists);
            QCOMPARE(missing.cells[kCellSize], std::string("0"));
            QCOMPARE(missing.cells[kCellTime], std::string("<No File>"));
            QCOMPARE(missing.FullPath(), path);
        }
        QCOMPARE(MakeFileRow(1, 0, folder + "gone.Txt", "", "").cells[kCellType], std::string(".txt"));
        for (const qint64 s : {qint64(0), qint64(981173106), qint64(4102444799)})   // single digits, 2099
            QCOMPARE(FormatFileTime(s), QDateTime::fromSecsSinceEpoch(s).toString("yyyy/MM/dd hh:mm:ss").toStdString());
    }

    void largeListsReadOnTwoThreadsAsOnOne()
    {
        // A list large enough for a second thread: every row in its place, real files
        // probed, paths on a drive letter as stored.
        Group g;
        QTemporaryDir dir;
        PutFile(dir.filePath("f7.jww"), 5, 1700000001);
        PutFile(dir.filePath("f2999.jww"), 9, 1700000001);
        g.db().SetStatementLog({});
        QVERIFY(g.db().ExecuteStatement(
            {"EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= 3000) DO BEGIN INSERT INTO GRP1_1 VALUES (:i, "
             "'f' || :i || '.jww', TRIM(IIF(MOD(:i, 100) = 50, 'E:\\d\\', " + TextLiteral(Cp(dir.path()) + "/") +
             ")), 'm', 'u', MOD(:i, 3)); i = i + 1; END END"}));
        const std::vector<FileRow> rows = ReadFileRows(g.db(), 1, 0).value();
        QCOMPARE(rows.size(), size_t(3000));
        for (size_t i = 0; i < rows.size(); ++i) {
            const int n = int(i) + 1;
            QCOMPARE(rows[i].cells[kCellNumber], IntToStr(n));
            QCOMPARE(rows[i].cells[kCellName], "f" + IntToStr(n) + ".jww");
            QCOMPARE(rows[i].cells[kCellSubGroup], IntToStr(n % 3));
            QCOMPARE(rows[i].cells[kCellFolder], n % 100 == 50 ? std::string("E:\\d\\") : Cp(dir.path()) + "/");
            QCOMPARE(rows[i].exists, n == 7 || n == 2999);
        }
        QCOMPARE(rows[2998].cells[kCellSize], std::string("9"));
    }

    void movesGoByTheHundredAndCountWhatMoved()
    {
        Group g;
        QVERIFY(g.db().ExecuteStatement({"EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= 1200) DO BEGIN "
                                         "INSERT INTO GRP1_1 (N, FILE_NAME, SN) VALUES (:i, 'f', 0); i = i + 1; END END"}));
        std::vector<int32_t> numbers;
        for (int32_t n = 1; n <= 1200; ++n) numbers.push_back(n);
        numbers.push_back(5000);   // another copy removed it meanwhile
        g.sent.clear();
        int moved = -1;
        QVERIFY(MoveEntries(g.db(), 1, numbers, 4, &moved));
        QCOMPARE(moved, 1200);
        QCOMPARE(g.sent.size(), size_t(3));
        QCOMPARE(g.db().CountRecords(FileTableName(1), "SN=4"), 1200);
        // None of them there any more: nothing moved, and no failure.
        QVERIFY(MoveEntries(g.db(), 1, {5000, 5001}, 2, &moved));
        QCOMPARE(moved, 0);
    }

    void sortingIsStableAscendingAndNumeric()
    {
        // Sizes as numbers, missing files (size 0) first.
        std::vector<FileRow> rows{Row("ten", "10"), Row("nine", "9"), Row("gone", "0"), Row("nine2", "9")};
        QCOMPARE(SortedNames(rows, kCellSize), (std::vector<std::string>{"gone", "nine", "nine2", "ten"}));
        rows = {Row("a", "0", "10"), Row("b", "0", "9"), Row("c", "0", "x")};
        QCOMPARE(SortedNames(rows, kCellNumber), (std::vector<std::string>{"c", "b", "a"}));

        // Names: ASCII letters without case, equal names keep their order, a prefix first,
        // bytes above 0x7F by value, the second byte of ア/ヂ (0x41/0x61) not a letter.
        rows = {Row("b.jww", "0"), Row("A.jww", "0"), Row("B.JWW", "0"), Row("a.jww", "0"), Row("a", "0"),
                Row("\x83\x61", "0"), Row("\x83\x41", "0"), Row("_x", "0")};
        QCOMPARE(SortedNames(rows, kCellName),
                 (std::vector<std::string>{"a", "A.jww", "a.jww", "b.jww", "B.JWW", "_x", "\x83\x41", "\x83\x61"}));
        QCOMPARE(CompareFileRows(rows[0], rows[2], kCellName), 0);
        QCOMPARE(CompareFileRows(rows[0], rows[1], 99), 0);
    }

    void treeFromSubGroupRows()
    {
        // (N, name, user, PARENT_N), by N: children under their parents, orphans, NULL
        // and parents that come later under the root.
        const std::vector<TextRow> rows{{"1", "a", "u", "0"}, {"2", "b", "u", "1"}, {"3", "c", "u", "1"},
                                        {"4", "orphan", "u", "99"}, {"5", "", "u", ""}, {"6", "early", "u", "7"},
                                        {"7", "late", "u", "3"}, {"8", "short"}};
        const std::vector<SubGroupNode> nodes = BuildSubGroupTree(rows);
        QCOMPARE(nodes.size(), size_t(8));
        QCOMPARE(nodes[0].label, std::string("root :0"));
        QCOMPARE(nodes[0].children, (std::vector<int>{1, 4, 5, 6}));
        QCOMPARE(nodes[1].label, std::string("a :1"));
        QCOMPARE(nodes[1].children, (std::vector<int>{2, 3}));
        QCOMPARE(nodes[3].children, (std::vector<int>{7}));
        QCOMPARE(nodes[5].label, std::string(" :5"));
        QCOMPARE(nodes[7].number, 7);
        QCOMPARE(nodes[7].name, std::string("late"));
        QCOMPARE(nodes[7].parent, 3);
    }

    void openCreatesTheTablesOnceAndReadsByNode()
    {
        FreshSession f;
        QVERIFY(f.ok);
        std::vector<std::string> sent;
        f.session.SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        QVERIFY(EnsureGroupTables(f.session, 12));
        QCOMPARE(sent.size(), size_t(5));
        QVERIFY(sent[0].rfind("CREATE TABLE GRP1_12 (", 0) == 0 && sent[1].rfind("CREATE TABLE GRP2_12 (", 0) == 0);
        QCOMPARE(sent[4], std::string("CREATE DESCENDING INDEX GRP1_12_NDESC ON GRP1_12 (N);\r\n"));
        sent.clear();
        QVERIFY(EnsureGroupTables(f.session, 12));
        QCOMPARE(sent.size(), size_t(1));   // only the look for the index
        sent.clear();

        // A table made before the index gains it at an opening, but not while another
        // copy holds uncommitted writes in it: the index build would wait for them.
        QVERIFY(f.session.DropTable(FileTableName(12)) && CreateFileTable(f.session, FileTableName(12)));
        DatabaseSession other(f.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.BeginWork() && other.InsertRecord(FileTableName(12), 1, {"N"}, {"7"}));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(EnsureGroupTables(f.session, 12));
        QVERIFY(clock.elapsed() < 900);
        QCOMPARE(f.session.CountRecords("RDB$INDICES", "RDB$INDEX_NAME = 'GRP1_12_NDESC'"), 0);
        QVERIFY(other.CommitWork());
        QVERIFY(EnsureGroupTables(f.session, 12));
        QCOMPARE(f.session.CountRecords("RDB$INDICES", "RDB$INDEX_NAME = 'GRP1_12_NDESC'"), 1);
        std::string max;
        f.session.SelectMax(FileTableName(12), "N", "", max);
        QCOMPARE(max, std::string("7"));
        f.session.SetStatementLog({});
        QVERIFY(f.session.DeleteRecords(FileTableName(12), ""));
        QVERIFY(ReadFileRows(f.session, 12, 0).value().empty());
        QCOMPARE(ReadSubGroupTree(f.session, 12).value().size(), size_t(1));

        Group g;
        QVERIFY(g.Entry(1, "a.jww", "/x/", 0) && g.Entry(2, "b.jww", "/x/", 2) && g.Entry(4, "c.jww", "/x/", 3) &&
                g.Entry(3, "d.jww", "/x/", 2));
        g.sent.clear();
        std::vector<FileRow> rows = ReadFileRows(g.db(), 1, 0).value();
        QCOMPARE(Names(rows), (std::vector<std::string>{"a.jww", "b.jww", "d.jww", "c.jww"}));
        rows = ReadFileRows(g.db(), 1, 2).value();
        QCOMPARE(Names(rows), (std::vector<std::string>{"b.jww", "d.jww"}));
        QCOMPARE(g.sent, (std::vector<std::string>{"SELECT * \r\n   FROM GRP1_1 \r\n   ORDER BY N \r\n   ;\r\n",
                                                   "SELECT * \r\n   FROM GRP1_1 \r\n   WHERE SN=2 \r\n   ORDER BY N \r\n   ;\r\n"}));
        QCOMPARE(rows[1].cells[kCellNumber], std::string("3"));
        QCOMPARE(rows[1].cells[kCellAddedBy], std::string("u"));
    }

    void registerRealDrawings()
    {
        Group g;
        QVERIFY(g.sent.empty());
        const std::string jww = Cp(QStringLiteral(KUMO_TESTDATA "/jww/"));
        const std::string sample = Cp(QString::fromUtf8("サンプル.jww"));
        EntryOutcome first = RegisterFile(g.db(), 1, 0, jww + "Test1.jww", kUser);
        QVERIFY(first.Stored());
        const std::string memo = "\x93\xfa\x89\x65\x90\x7d\x81\x40\x82\x73\x82\x64\x82\x72\x82\x73\x97\x70\x83\x66\x81"
                                 "\x5b\x83\x5e\x81\x69\x97\xa4\x89\xae\x8d\xaa\x81\x6a";   // 日影図　ＴＥＳＴ用データ（陸屋根）
        QCOMPARE(g.sent, (std::vector<std::string>{
                             "SELECT MAX(N) \r\n   FROM GRP1_1 \r\n   ;\r\n",
                             "INSERT INTO GRP1_1 (\r\n   N,\r\n   FILE_NAME,\r\n   PATH_NAME,\r\n   FILE_MEMO,\r\n"
                             "   PNAME,\r\n   SN\r\n   ) \r\n   VALUES (\r\n   1,\r\n   'Test1.jww',\r\n   '" +
                                 jww + "',\r\n   '" + memo + "',\r\n   '" + kUser + "',\r\n   0\r\n   );\r\n"}));
        QCOMPARE(first.row.cells[kCellMemo], memo);
        QCOMPARE(first.row.cells[kCellNumber], std::string("1"));
        QVERIFY(first.row.exists);

        // Three at once under sub-group 2: consecutive numbers, memos of their own.
        for (const std::string& name : {sample, std::string("non_block.jww"), std::string("README.md")})
            QVERIFY(RegisterFile(g.db(), 1, 2, jww + name, kUser).Stored());
        const std::vector<TextRow> rows = AllRows(g.db(), FileTableName(1));
        QCOMPARE(rows.size(), size_t(4));
        QCOMPARE(rows[1], (TextRow{"2", sample, jww, "\x8e\x96\x96\xb1\x8f\x8a\x8a\xee\x8f\x80\x8a\x4b\x95\xbd\x96\xca\x90\x7d",
                                   kUser, "2"}));
        QCOMPARE(rows[2][kFileMemo], std::string());   // an empty memo is stored as NULL
        QCOMPARE(rows[3], (TextRow{"4", "README.md", jww, "", kUser, "2"}));
        QCOMPARE(g.db().CountRecords(FileTableName(1), "FILE_MEMO IS NULL"), 2);
    }

    void takenNumbersAreTakenAfresh()
    {
        Group g;
        DatabaseSession other(g.f.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.Connected());
        QVERIFY(g.Entry(1, "one", "/x/", 0));
        // Another copy of the program stores an entry under the number just taken,
        // between the maximum and the insert; once, then every time.
        int clashes = 1;
        g.db().SetStatementLog([&](const std::string& s) {
            if (clashes <= 0 || s.rfind("INSERT", 0) != 0) return;
            --clashes;
            std::string max;
            other.SelectMax(FileTableName(1), "N", "", max);
            QVERIFY(other.InsertRecord(FileTableName(1), 2, {"N", "FILE_NAME"}, {IntToStr(StrToIntOrZero(max) + 1), "'other'"}));
        });
        EntryOutcome out = StoreEntry(g.db(), 1, 0, "/x/mine.jww", "", "u");
        QVERIFY(out.Stored());
        QCOMPARE(out.row.cells[kCellNumber], std::string("3"));
        std::vector<TextRow> rows = AllRows(g.db(), FileTableName(1));
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[1][kFileName], std::string("other"));
        QCOMPARE(rows[2][kFileName], std::string("mine.jww"));

        clashes = 1000;
        QCOMPARE(StoreEntry(g.db(), 1, 0, "/x/lost.jww", "", "u").problem, EntryProblem::NotStored);
        QCOMPARE(g.db().CountRecords(FileTableName(1), "FILE_NAME='lost.jww'"), 0);
        QCOMPARE(g.db().CountRecords(FileTableName(1), ""), 3 + kNumberAttempts);

        // Other failures are not tried again: a group without tables, whose maximum
        // fails before any insert is sent.
        clashes = 0;
        std::vector<std::string> sent;
        g.db().SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        QCOMPARE(StoreEntry(g.db(), 9, 0, "/x/a.jww", "", "u").problem, EntryProblem::NotStored);
        QCOMPARE(CreateSubGroup(g.db(), 9, "s", "u", 0), 0);
        QCOMPARE(sent.size(), size_t(2));
    }

    void namesAndMemosStoredWhole()
    {
        Group g;
        QTemporaryDir dir;
        const QString odd = QString::fromUtf8("it's \"x\".jww");
        PutFile(dir.filePath(odd), 5, 1700000000);
        const std::string folder = Cp(dir.path()) + "/";
        // A memo past the column is cut before a character that would not fit whole.
        std::string longMemo;
        for (int i = 0; i < 150; ++i) longMemo += kA;
        QVERIFY(StoreEntry(g.db(), 1, 0, folder + Cp(odd), longMemo + "'\r\n", "u").Stored());
        QVERIFY(StoreEntry(g.db(), 1, 0, "/x/b.jww", "a" + longMemo, "u").Stored());
        std::vector<FileRow> rows = ReadFileRows(g.db(), 1, 0).value();
        QCOMPARE(rows[0].cells[kCellName], Cp(odd));
        QVERIFY(rows[0].exists);
        QCOMPARE(rows[0].cells[kCellSize], std::string("5"));
        QCOMPARE(rows[0].cells[kCellMemo], longMemo.substr(0, 254));
        QCOMPARE(rows[1].cells[kCellMemo], "a" + longMemo.substr(0, 254));

        QVERIFY(UpdateEntryMemo(g.db(), 1, 2, StoredMemo(longMemo)));
        QCOMPARE(AllRows(g.db(), FileTableName(1), "N=2")[0][kFileMemo], longMemo.substr(0, 254));
        g.sent.clear();
        QVERIFY(UpdateEntryMemo(g.db(), 1, 2, ""));
        QVERIFY(RemoveEntry(g.db(), 1, 1));
        QCOMPARE(g.sent, (std::vector<std::string>{"UPDATE GRP1_1 SET \r\n   FILE_MEMO=NULL\r\n   WHERE N=2\r\n   ;\r\n",
                                                   "DELETE FROM GRP1_1 WHERE N=1 ;\r\n"}));

        // Names that cannot be stored as they are: nothing is sent for them.
        g.sent.clear();
        QCOMPARE(StoreEntry(g.db(), 1, 0, "/x/a\tb.jww", "", "u").problem, EntryProblem::ControlCharacter);
        QCOMPARE(StoreEntry(g.db(), 1, 0, "/" + std::string(255, 'd') + "/a.jww", "", "u").problem,
                 EntryProblem::TooLong);
        QCOMPARE(StoreEntry(g.db(), 1, 0, "/x/" + std::string(256, 'n'), "", "u").problem, EntryProblem::TooLong);
        QVERIFY(StoreEntry(g.db(), 1, 0, "/" + std::string(253, 'd') + "/" + std::string(255, 'n'), "", "u").Stored());
        QCOMPARE(g.sent.size(), size_t(2));
    }

    void subGroupStatements()
    {
        Group g;
        QCOMPARE(CreateSubGroup(g.db(), 1, "a", kUser, 0), 1);
        QCOMPARE(CreateSubGroup(g.db(), 1, "b", kUser, 1), 2);
        QCOMPARE(CreateSubGroup(g.db(), 1, "", "", 1), 3);
        QCOMPARE(g.sent[1], std::string("INSERT INTO GRP2_1 (\r\n   N,\r\n   SGRPNAME,\r\n   PNAME,\r\n   PARENT_N\r\n"
                                        "   ) \r\n   VALUES (\r\n   1,\r\n   'a',\r\n   '" + kUser + "',\r\n   0\r\n   );\r\n"));
        QCOMPARE(AllRows(g.db(), SubGroupTableName(1)),
                 (std::vector<TextRow>{{"1", "a", kUser, "0"}, {"2", "b", kUser, "1"}, {"3", "", "", "1"}}));

        QVERIFY(g.Entry(1, "e1", "/x/", 3) && g.Entry(2, "e2", "/x/", 3) && g.Entry(3, "e3", "/x/", 2));
        g.sent.clear();
        QVERIFY(RenameSubGroup(g.db(), 1, 2, "z"));
        QCOMPARE(CountSubGroupEntries(g.db(), 1, 3), 2);
        QVERIFY(DeleteSubGroup(g.db(), 1, 3));
        QCOMPARE(g.sent, (std::vector<std::string>{"UPDATE GRP2_1 SET \r\n   SGRPNAME='z'\r\n   WHERE N=2\r\n   ;\r\n",
                                                   "SELECT * \r\n   FROM GRP1_1 \r\n   WHERE SN=3 \r\n   ;\r\n",
                                                   "DELETE FROM GRP2_1 WHERE N=3 ;\r\n",
                                                   "DELETE FROM GRP1_1 WHERE SN=3 ;\r\n"}));
        QCOMPARE(AllRows(g.db(), FileTableName(1)).size(), size_t(1));
        // The number of the deleted highest sub-group is given out again.
        QCOMPARE(CreateSubGroup(g.db(), 1, "c", "", 0), 3);
    }
};

QTEST_GUILESS_MAIN(TestGroupTables)
#include "test_grouptables.moc"
