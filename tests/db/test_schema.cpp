// Table shapes and the copy of a group's tables, against the real server.
#include <QtTest>

#include "db/schema.h"
#include "db/session.h"
#include "text/textutil.h"
#include "support/testdb.h"

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void createStatements()
    {
        FreshSession f;
        QVERIFY(f.ok);
        std::vector<std::string> sent;
        f.session.SetStatementLog([&](const std::string& s) { sent.push_back(s); });

        QVERIFY(CreateCatalogueTable(f.session));
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRPJWW (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  GRPNAME VARCHAR(32),\r\n"
                                          "  MTITLE  VARCHAR(80),\r\n  STITLE  VARCHAR(80),\r\n  PNAME   VARCHAR(16),\r\n"
                                          "  MEMO1   VARCHAR(80),\r\n  MEMO2   VARCHAR(80),\r\n  MEMO3   VARCHAR(80),\r\n"
                                          "  ICONP   VARCHAR(40),\r\n  X INTEGER,\r\n  Y INTEGER\r\n  );\r\n"));
        QVERIFY(!CreateCatalogueTable(f.session));   // exists already

        QVERIFY(CreateFileTable(f.session, FileTableName(3)));
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRP1_3 (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  FILE_NAME VARCHAR(255),\r\n"
                                          "  PATH_NAME VARCHAR(255),\r\n  FILE_MEMO VARCHAR(255),\r\n  PNAME VARCHAR(16),\r\n"
                                          "  SN INTEGER\r\n  );\r\n"));
        QVERIFY(CreateSubGroupTable(f.session, SubGroupTableName(3)));
        QCOMPARE(sent.back(), std::string("CREATE TABLE GRP2_3 (\r\n  N INTEGER NOT NULL UNIQUE,\r\n  SGRPNAME VARCHAR(32),\r\n"
                                          "  PNAME    VARCHAR(16),\r\n  PARENT_N INTEGER\r\n  );\r\n"));

        // Column order is what callers rely on when they read by position: the names
        // the server returns for "SELECT *" are the lists callers insert by, and the
        // positions callers read by name the right columns.
        auto columnsOf = [&](const std::string& table) {
            TextRow names(static_cast<size_t>(std::max(f.session.CountFields(table), 0)));
            f.session.SelectRecords("*", table, "", "");
            f.session.GetFieldNames(names);
            f.session.CloseSelect();
            return names;
        };
        const TextRow catalogue = columnsOf(kCatalogueTable);
        QCOMPARE(catalogue, (TextRow{"N", "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1", "MEMO2", "MEMO3", "ICONP", "X", "Y"}));
        QCOMPARE(catalogue, CatalogueColumns());
        QCOMPARE(catalogue.size(), size_t(kCatalogueColumnCount));
        QCOMPARE(catalogue[kColIconP] + catalogue[kColX], std::string("ICONPX"));
        const TextRow files = columnsOf(FileTableName(3));
        QCOMPARE(files, FileColumns());
        QCOMPARE(files.size(), size_t(kFileColumnCount));
        QCOMPARE(files[kFileMemo] + files[kFileSN], std::string("FILE_MEMOSN"));
        const TextRow subGroups = columnsOf(SubGroupTableName(3));
        QCOMPARE(subGroups, SubGroupColumns());
        QCOMPARE(subGroups.size(), size_t(kSubGroupColumnCount));
        QCOMPARE(subGroups[kSubName] + subGroups[kSubParent], std::string("SGRPNAMEPARENT_N"));
        QVERIFY(f.session.TableExists("grp1_3") && f.session.TableExists("GRP2_3"));
    }

    void tablesCopiedRowByRowKeepNumbersAndNulls()
    {
        FreshSession f;
        QVERIFY(f.ok);
        auto& db = f.session;
        // As a duplicate copies a group's tables: every row read, then inserted as read.
        auto copy = [&db](const std::string& source, const std::string& target) {
            TextRow names;
            std::vector<TextRow> rows;
            return db.ReadTable(source, names, rows) && db.InsertRows(target, names, rows);
        };
        QVERIFY(CreateFileTable(db, FileTableName(3)));
        QVERIFY(db.InsertRecord(FileTableName(3), kFileColumnCount, FileColumns(),
                                {"1", "'a.jww'", "'/d/'", "NULL", "'\x95\x5C'", "0"}));
        QVERIFY(db.InsertRecord(FileTableName(3), kFileColumnCount, FileColumns(),
                                {"5", TextLiteral("it's \"b\".jww"), "NULL", "'m'", "NULL", "2"}));
        QVERIFY(db.InsertRecord(FileTableName(3), kFileColumnCount, FileColumns(),
                                {"7", "NULL", "NULL", "NULL", "NULL", "NULL"}));

        QVERIFY(CreateFileTable(db, FileTableName(10)));
        QVERIFY(copy(FileTableName(3), FileTableName(10)));
        auto src = AllRows(db, FileTableName(3)), dst = AllRows(db, FileTableName(10));
        QCOMPARE(dst.size(), size_t(3));
        QCOMPARE(dst, src);
        QCOMPARE(dst[1][kFileName], std::string("it's \"b\".jww"));   // a quotation mark survives the copy
        QCOMPARE(db.CountRecords(FileTableName(10), "FILE_MEMO IS NULL"), 2);
        QCOMPARE(db.CountRecords(FileTableName(10), "SN IS NULL"), 1);

        // Sub-group shape.
        QVERIFY(CreateSubGroupTable(db, SubGroupTableName(3)) && CreateSubGroupTable(db, SubGroupTableName(10)));
        QVERIFY(db.InsertRecord(SubGroupTableName(3), kSubGroupColumnCount, SubGroupColumns(),
                                {"2", "'s'", "NULL", "1"}));
        QVERIFY(copy(SubGroupTableName(3), SubGroupTableName(10)));
        QCOMPARE(AllRows(db, SubGroupTableName(10)), AllRows(db, SubGroupTableName(3)));

        // An empty source gives an empty target; a missing one cannot be read.
        QVERIFY(CreateFileTable(db, FileTableName(4)) && CreateFileTable(db, FileTableName(11)));
        QVERIFY(copy(FileTableName(4), FileTableName(11)));
        QCOMPARE(db.CountRecords(FileTableName(11), ""), 0);
        QVERIFY(!copy(FileTableName(8), FileTableName(11)));
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
