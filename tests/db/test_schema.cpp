// Table shapes and the copy of a group's tables, against the real server.
#include <QtTest>

#include "db/session.h"
#include "text/textutil.h"
#include "support/testdb.h"

namespace {
const std::vector<std::string> kFileCols{"N", "FILE_NAME", "PATH_NAME", "FILE_MEMO", "PNAME", "SN"};

} // namespace

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void createStatements()
    {
        FreshSession f;
        QVERIFY(f.ok);
        std::vector<std::string> sent;
        f.session.SetStatementLog([&](const std::string& s) { sent.push_back(s); });

        QVERIFY(f.session.CreateCatalogueTable());
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRPJWW (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  GRPNAME VARCHAR(32),\r\n"
                                          "  MTITLE  VARCHAR(80),\r\n  STITLE  VARCHAR(80),\r\n  PNAME   VARCHAR(16),\r\n"
                                          "  MEMO1   VARCHAR(80),\r\n  MEMO2   VARCHAR(80),\r\n  MEMO3   VARCHAR(80),\r\n"
                                          "  ICONP   VARCHAR(40),\r\n  X INTEGER,\r\n  Y INTEGER\r\n  );\r\n"));
        QVERIFY(!f.session.CreateCatalogueTable());   // exists already

        QVERIFY(f.session.CreateFileTable("GRP1_3"));
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRP1_3 (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  FILE_NAME VARCHAR(255),\r\n"
                                          "  PATH_NAME VARCHAR(255),\r\n  FILE_MEMO VARCHAR(255),\r\n  PNAME VARCHAR(16),\r\n"
                                          "  SN INTEGER\r\n  );\r\n"));
        QVERIFY(f.session.CreateSubGroupTable("GRP2_3"));
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRP2_3 (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  SGRPNAME VARCHAR(32),\r\n"
                                          "  PNAME    VARCHAR(16),\r\n  PARENT_N INTEGER\r\n  );\r\n"));

        // Column order is what callers rely on when they read by position.
        QCOMPARE(f.session.CountFields("GRPJWW"), 11);
        QCOMPARE(f.session.SelectRecords("*", "GRPJWW", "", ""), 0);
        TextRow names(11);
        f.session.GetFieldNames(names);
        QCOMPARE(names, (TextRow{"N", "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1", "MEMO2", "MEMO3", "ICONP", "X", "Y"}));
        f.session.CloseSelect();
        QVERIFY(f.session.TableExists("grp1_3") && f.session.TableExists("GRP2_3"));
    }

    void copyKeepsNumbersAndNulls()
    {
        FreshSession f;
        QVERIFY(f.ok);
        auto& db = f.session;
        QVERIFY(db.CreateFileTable("GRP1_3"));
        QVERIFY(db.InsertRecord("GRP1_3", 6, kFileCols, {"1", "'a.jww'", "'/d/'", "NULL", "'\x95\x5C'", "0"}));
        QVERIFY(db.InsertRecord("GRP1_3", 6, kFileCols, {"5", TextLiteral("it's \"b\".jww"), "NULL", "'m'", "NULL", "2"}));
        QVERIFY(db.InsertRecord("GRP1_3", 6, kFileCols, {"7", "NULL", "NULL", "NULL", "NULL", "NULL"}));

        db.CopyTable(false, "GRP1_3", "GRP1_10");
        QVERIFY(db.TableExists("GRP1_10"));
        auto src = AllRows(db, "GRP1_3"), dst = AllRows(db, "GRP1_10");
        QCOMPARE(dst.size(), size_t(3));
        QCOMPARE(dst, src);
        QCOMPARE(dst[1][1], std::string("it's \"b\".jww"));   // a quotation mark survives the copy
        QCOMPARE(db.CountRecords("GRP1_10", "FILE_MEMO IS NULL"), 2);
        QCOMPARE(db.CountRecords("GRP1_10", "SN IS NULL"), 1);

        // Onto an existing target: its rows go first.
        QVERIFY(db.DeleteRecords("GRP1_3", "N=7"));
        QVERIFY(db.InsertRecord("GRP1_10", 2, {"N", "SN"}, {"99", "0"}));
        db.CopyTable(false, "GRP1_3", "GRP1_10");
        QCOMPARE(AllRows(db, "GRP1_10"), AllRows(db, "GRP1_3"));

        // Sub-group shape, created when missing.
        QVERIFY(db.CreateSubGroupTable("GRP2_3"));
        QVERIFY(db.InsertRecord("GRP2_3", 4, {"N", "SGRPNAME", "PNAME", "PARENT_N"}, {"2", "'s'", "NULL", "1"}));
        db.CopyTable(true, "GRP2_3", "GRP2_10");
        QCOMPARE(db.CountFields("GRP2_10"), 4);
        QCOMPARE(AllRows(db, "GRP2_10"), AllRows(db, "GRP2_3"));

        // An empty source gives an empty target.
        QVERIFY(db.CreateFileTable("GRP1_4"));
        db.CopyTable(false, "GRP1_4", "GRP1_11");
        QVERIFY(db.TableExists("GRP1_11"));
        QCOMPARE(db.CountRecords("GRP1_11", ""), 0);
    }

    void copyRefusals()
    {
        FreshSession f;
        QVERIFY(f.ok);
        auto& db = f.session;
        QVERIFY(db.CreateFileTable("GRP1_3"));
        QVERIFY(db.InsertRecord("GRP1_3", 2, {"N", "SN"}, {"1", "0"}));
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& s) { sent.push_back(s); });

        db.CopyTable(false, "GRP1_3", "grp1_3");      // same table, other case
        db.CopyTable(false, "GRP1_3", "  GRP1_3\t");  // same table, blanks around
        db.CopyTable(false, "", "GRP1_9");
        db.CopyTable(false, "GRP1_8", "GRP1_9");      // source never made
        QVERIFY(sent.empty());
        QCOMPARE(db.CountRecords("GRP1_3", ""), 1);
        QVERIFY(!db.TableExists("GRP1_9"));

        db.CloseDatabase();
        sent.clear();
        db.CopyTable(false, "GRP1_3", "GRP1_9");
        QVERIFY(sent.empty());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
