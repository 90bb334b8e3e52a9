// The database session against the real server: statement texts, failure values and
// the transaction discipline.
#include <QtTest>

#include "db/schema.h"
#include "db/session.h"
#include "text/cp932.h"
#include "text/textutil.h"
#include "support/testdb.h"

namespace {

using TS = DatabaseSession::TransactionState;

struct Logged {
    FreshSession fresh;
    std::vector<std::string> sent;
    Logged()
    {
        fresh.session.SetStatementLog([this](const std::string& s) { sent.push_back(s); });
    }
    DatabaseSession& db() { return fresh.session; }
    std::string last() const { return sent.empty() ? std::string() : sent.back(); }
};

// A small table with an integer, two texts and an integer, like the per-group tables.
void MakeTable(DatabaseSession& db, const std::string& name)
{
    QVERIFY(db.ExecuteStatement({"CREATE TABLE " + name + " (N INTEGER NOT NULL UNIQUE, A VARCHAR(20), B VARCHAR(20), SN INTEGER);"}));
}

std::vector<std::string> Cols() { return {"N", "A", "B", "SN"}; }

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void createAndAttach()
    {
        TestDatabase t;
        DatabaseSession db(t.settings);
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        db.CreateDatabase();
        QVERIFY2(db.Connected(), db.LastError().c_str());
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0], "CREATE DATABASE '" + t.settings.DatabaseName() +
                              "' USER \"SYSDBA\"\r\nPASSWORD \"copperelk\"\r\nPAGE_SIZE 4096\r\n");
        QVERIFY(CreateCatalogueTable(db));
        db.CloseDatabase();
        QVERIFY(!db.Connected());

        // Creating over the existing file fails harmlessly: detached, the table still there.
        db.CreateDatabase();
        QVERIFY(!db.Connected());
        db.ConnectDatabase();
        QVERIFY(db.Connected());
        QVERIFY(db.TableExists(kCatalogueTable));
        QVERIFY(db.TableExists("grpjww"));
        QVERIFY(!db.TableExists("GRPJW"));

        // Attached: a change of settings takes effect only at the next attach.
        t.settings.databaseFileName = "OTHER.FDB";
        db.ConnectDatabase();
        QVERIFY(db.Connected());
        QVERIFY(db.TableExists(kCatalogueTable));
        db.CloseDatabase();
        db.ConnectDatabase();
        QVERIFY(!db.Connected());
        QCOMPARE(db.Transaction(), TS::None);
        QVERIFY(!db.ResultOpen());

        // A data folder named in Japanese: the settings hold CP932, the file system UTF-8.
        const QString japanese = t.folder() + QStringLiteral("/図面データ");
        QVERIFY(QDir().mkdir(japanese));
        QFile::setPermissions(japanese, QFile::permissions(t.folder()));
        DatabaseSettings js = t.settings;
        js.dataFolder = Utf8ToCp932(japanese.toStdString() + "/").value();
        js.databaseFileName = Utf8ToCp932("図面.FDB").value();
        DatabaseSession jdb(js);
        jdb.CreateDatabase();
        QVERIFY2(jdb.Connected(), jdb.LastError().c_str());
        QVERIFY(CreateCatalogueTable(jdb));
        jdb.CloseDatabase();
        QVERIFY(QFileInfo::exists(japanese + QStringLiteral("/図面.FDB")));
        jdb.ConnectDatabase();
        QVERIFY2(jdb.Connected(), jdb.LastError().c_str());
        QVERIFY(jdb.TableExists("GRPJWW"));
    }

    void detachedFailureValues()
    {
        DatabaseSettings s;
        s.dataFolder = "/nonexistent/folder/";
        DatabaseSession db(s);
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& x) { sent.push_back(x); });
        db.ConnectDatabase();
        QVERIFY(!db.Connected());
        QVERIFY(!db.InsertRecord("T", 1, {"N"}, {"1"}));
        QVERIFY(!db.UpdateRecord("T", 1, {"N"}, {"1"}, ""));
        QVERIFY(!db.UpdateRecordText("T", "N=1", ""));
        QVERIFY(!db.DeleteRecords("T", ""));
        QVERIFY(!db.ExecuteStatement({"CREATE TABLE T (N INTEGER);"}));
        QVERIFY(!CreateCatalogueTable(db));
        QVERIFY(!db.DropTable("T"));
        QVERIFY(!db.TableExists("T"));
        QCOMPARE(db.CountRecords("T", ""), -1);
        QCOMPARE(db.CountFields("T"), -1);
        std::string max = "stale";
        db.SelectMax("T", "N", "", max);
        QCOMPARE(max, std::string());
        QCOMPARE(db.SelectRecords("*", "T", "", ""), 0);
        TextRow row{"kept"};
        db.ReadFirstRecord(row);
        QCOMPARE(row[0], std::string("kept"));
        QVERIFY(sent.empty());
    }

    void writeStatementTexts()
    {
        Logged l;
        QVERIFY(l.fresh.ok);
        MakeTable(l.db(), "T1");

        QVERIFY(l.db().InsertRecord("T1", 1, {"N"}, {"1"}));
        QCOMPARE(l.last(), std::string("INSERT INTO T1 (\r\n   N\r\n   ) \r\n   VALUES (\r\n   1\r\n   );\r\n"));

        QVERIFY(l.db().InsertRecord("T1", 4, Cols(), {"2", "'a'", "NULL", "0"}));
        QCOMPARE(l.last(), std::string("INSERT INTO T1 (\r\n   N,\r\n   A,\r\n   B,\r\n   SN\r\n   ) \r\n"
                                       "   VALUES (\r\n   2,\r\n   'a',\r\n   NULL,\r\n   0\r\n   );\r\n"));

        QVERIFY(l.db().UpdateRecord("T1", 2, {"A", "SN"}, {"'x'", "5"}, "N=2"));
        QCOMPARE(l.last(), std::string("UPDATE T1 SET \r\n   A='x',\r\n   SN=5\r\n   WHERE N=2\r\n   ;\r\n"));

        // No condition: every row.
        QVERIFY(l.db().UpdateRecord("T1", 1, {"B"}, {"'all'"}, ""));
        QCOMPARE(l.last(), std::string("UPDATE T1 SET \r\n   B='all'\r\n   ;\r\n"));
        QCOMPARE(l.db().CountRecords("T1", "B='all'"), 2);

        QVERIFY(l.db().UpdateRecordText("T1", "X=120,Y=48", "N=7") == false);   // no such columns
        QCOMPARE(l.last(), std::string("UPDATE T1 SET \r\n   X=120,Y=48\r\n   WHERE N=7\r\n   ;\r\n"));
        QVERIFY(l.db().UpdateRecordText("T1", "SN=9", ""));
        QCOMPARE(l.last(), std::string("UPDATE T1 SET \r\n   SN=9\r\n   ;\r\n"));

        QVERIFY(l.db().DeleteRecords("T1", "N=7"));
        QCOMPARE(l.last(), std::string("DELETE FROM T1 WHERE N=7 ;\r\n"));
        QVERIFY(l.db().DeleteRecords("T1", ""));
        QCOMPARE(l.last(), std::string("DELETE FROM T1 ;\r\n"));
        QCOMPARE(l.db().CountRecords("T1", ""), 0);

        // A write that fails is rolled back and reported, nothing half done.
        QVERIFY(l.db().InsertRecord("T1", 2, {"N", "A"}, {"1", "'ok'"}));
        QVERIFY(!l.db().InsertRecord("T1", 2, {"N", "A"}, {"1", "'dup'"}));
        QCOMPARE(l.db().LastFailure(), DbFailure::UniqueKey);   // a taken number is told apart
        QVERIFY(!l.db().InsertRecord("T1", 2, {"N", "A"}, {"3", ""}));          // empty value
        QCOMPARE(l.db().LastFailure(), DbFailure::Other);
        QVERIFY(!l.db().InsertRecord("T1", 2, {"N", "A"}, {"3", "'" + std::string(21, 'x') + "'"}));  // too long
        QCOMPARE(l.db().CountRecords("T1", ""), 1);
        QCOMPARE(l.db().LastFailure(), DbFailure::None);
        QCOMPARE(l.db().Transaction(), TS::Read);
    }

    void readStatementTextsAndRows()
    {
        Logged l;
        QVERIFY(l.fresh.ok);
        MakeTable(l.db(), "T2");
        for (int i = 1; i <= 3; ++i)
            QVERIFY(l.db().InsertRecord("T2", 4, Cols(), {IntToStr(i), "'r" + IntToStr(i) + "'", i == 2 ? "NULL" : "'b'", "-" + IntToStr(i)}));

        QCOMPARE(l.db().CountRecords("T2", ""), 3);
        QCOMPARE(l.last(), std::string("SELECT * \r\n   FROM T2 \r\n   ;\r\n"));
        QCOMPARE(l.db().CountRecords("T2", "N>1"), 2);
        QCOMPARE(l.last(), std::string("SELECT * \r\n   FROM T2 \r\n   WHERE N>1 \r\n   ;\r\n"));
        QCOMPARE(l.db().CountFields("T2"), 4);
        QCOMPARE(l.last(), std::string("SELECT * \r\n   FROM T2 ;\r\n"));

        std::string max;
        l.db().SelectMax("T2", "N", "", max);
        QCOMPARE(max, std::string("3"));
        QCOMPARE(l.last(), std::string("SELECT MAX(N) \r\n   FROM T2 \r\n   ;\r\n"));
        l.db().SelectMax("T2", "N", "N<0", max);
        QCOMPARE(max, std::string());
        QCOMPARE(l.last(), std::string("SELECT MAX(N) \r\n   FROM T2 \r\n   WHERE N<0 \r\n   ;\r\n"));

        QCOMPARE(l.db().SelectRecords("*", "T2", "N>=2", "N DESC"), 2);
        QCOMPARE(l.last(), std::string("SELECT * \r\n   FROM T2 \r\n   WHERE N>=2 \r\n   ORDER BY N DESC \r\n   ;\r\n"));
        TextRow names(4), row(5, "untouched");
        l.db().GetFieldNames(names);
        QCOMPARE(names, (TextRow{"N", "A", "B", "SN"}));
        l.db().ReadFirstRecord(row);
        QCOMPARE(row, (TextRow{"3", "r3", "b", "-3", "untouched"}));
        l.db().ReadNextRecord(row);
        QCOMPARE(row, (TextRow{"2", "r2", "", "-2", "untouched"}));
        l.db().ReadNextRecord(row);   // past the last row
        QCOMPARE(row, (TextRow{"", "", "", "", "untouched"}));
        l.db().ReadNextRecord(row);
        QCOMPARE(row[0], std::string());
        l.db().ReadFirstRecord(row);  // back to the first
        QCOMPARE(row[0], std::string("3"));

        QCOMPARE(l.db().SelectRecords("N, A", "T2", "", "N"), 3);
        QCOMPARE(l.last(), std::string("SELECT N, A \r\n   FROM T2 \r\n   ORDER BY N \r\n   ;\r\n"));
        TextRow two(2);
        l.db().ReadNextRecord(two);   // without ReadFirstRecord: the second row
        QCOMPARE(two, (TextRow{"2", "r2"}));

        // A table that does not exist.
        QCOMPARE(l.db().CountRecords("NOPE", ""), -1);
        QCOMPARE(l.db().CountFields("NOPE"), -1);
        QCOMPARE(l.db().SelectRecords("*", "NOPE", "", ""), 0);
        max = "stale";
        l.db().SelectMax("NOPE", "N", "", max);
        QCOMPARE(max, std::string());
        TextRow prepared(2);
        l.db().ReadFirstRecord(prepared);
        QCOMPARE(prepared, TextRow(2));
        QVERIFY(!l.db().ResultOpen());
    }

    void transactionDiscipline()
    {
        Logged l;
        QVERIFY(l.fresh.ok);
        MakeTable(l.db(), "T3");
        QCOMPARE(l.db().Transaction(), TS::None);

        QVERIFY(l.db().InsertRecord("T3", 2, {"N", "SN"}, {"1", "0"}));
        QCOMPARE(l.db().Transaction(), TS::None);
        QVERIFY(!l.db().ResultOpen());

        QCOMPARE(l.db().CountRecords("T3", ""), 1);
        QCOMPARE(l.db().Transaction(), TS::Read);
        QVERIFY(!l.db().ResultOpen());

        // Each read sees what another user committed since the read before it.
        DatabaseSession other(l.fresh.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.InsertRecord("T3", 2, {"N", "SN"}, {"2", "0"}));
        QCOMPARE(l.db().CountRecords("T3", ""), 2);
        QVERIFY(other.DeleteRecords("T3", "N=2"));
        other.CloseDatabase();

        QCOMPARE(l.db().SelectRecords("*", "T3", "", ""), 1);
        QCOMPARE(l.db().Transaction(), TS::Read);
        QVERIFY(l.db().ResultOpen());

        // The table lookup runs on its own: the open result survives it.
        QVERIFY(l.db().TableExists("T3"));
        QVERIFY(l.db().ResultOpen());
        TextRow row(4);
        l.db().ReadFirstRecord(row);
        QCOMPARE(row[0], std::string("1"));

        // An empty statement is refused without touching anything.
        QVERIFY(!l.db().ExecuteStatement({}));
        QVERIFY(l.db().ResultOpen());

        l.db().CloseSelect();
        QVERIFY(!l.db().ResultOpen());
        QCOMPARE(l.db().Transaction(), TS::Read);

        // The read transaction is rolled back by the next statement, which then sees fresh data.
        QVERIFY(l.db().DeleteRecords("T3", ""));
        QCOMPARE(l.db().Transaction(), TS::None);
        QCOMPARE(l.db().CountRecords("T3", ""), 0);

        QCOMPARE(l.db().Transaction(), TS::Read);
        l.db().EndRead();
        QCOMPARE(l.db().Transaction(), TS::None);

        QCOMPARE(l.db().SelectRecords("*", "T3", "", ""), 0);
        l.db().CloseDatabase();
        QVERIFY(!l.db().Connected());
        QCOMPARE(l.db().Transaction(), TS::None);
        QVERIFY(!l.db().ResultOpen());
    }

    void cp932BytesRoundTrip()
    {
        Logged l;
        QVERIFY(l.fresh.ok);
        MakeTable(l.db(), "T4");
        // 表 and ソ end in 0x5C, the backslash byte; ｱ is a half-width katakana.
        const std::string hyo = "\x95\x5C", so = "\x83\x5C", kana = "\xB1", bar = "\x83\x7C";  // 表 ソ ｱ ポ
        const std::string text = hyo + so + kana + bar + "x";
        QVERIFY(l.db().InsertRecord("T4", 4, Cols(), {"1", TextLiteral(text), TextLiteral(kana), "0"}));
        QCOMPARE(l.db().SelectRecords("*", "T4", "A=" + TextLiteral(text), ""), 1);
        TextRow row(4);
        l.db().ReadFirstRecord(row);
        QCOMPARE(row[1], text);
        QCOMPARE(row[2], kana);
        l.db().CloseSelect();
    }

    void dropAfterRead()
    {
        Logged l;
        QVERIFY(l.fresh.ok);
        QVERIFY(CreateFileTable(l.db(), FileTableName(1)));
        QCOMPARE(l.db().SelectRecords("*", FileTableName(1), "", ""), 0);
        QVERIFY(l.db().DropTable(FileTableName(1)));
        QCOMPARE(l.last(), std::string("DROP TABLE GRP1_1;\r\n"));
        QVERIFY(!l.db().TableExists(FileTableName(1)));
        QVERIFY(!l.db().DropTable(FileTableName(1)));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
