// The writes of the group window against the real server, with a second session playing
// another copy of the program: batches stored as one unit and tried again on a clash,
// the checks that the group and sub-group are still there, the sub-group delete as one
// unit of what was counted, and the walk through a dropped folder.
#include <thread>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "groupwin/entrybatch.h"
#include "groupwin/folderfiles.h"
#include "support/testdb.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// Group 1 ("gamma") with its tables and sub-group 1 ("s"); a second session on the same
// database; a log of what the first sends.
struct Shared {
    FreshSession f;
    DatabaseSession other{f.db.settings};
    ShownGroup shown;
    std::vector<std::string> sent;
    std::function<void(const std::string&)> before;   // runs as each statement is sent
    bool ok = false;
    Shared()
    {
        if (!f.ok || !InsertGroup(f.session, 1, "gamma", "", "10", "10") || !EnsureGroupTables(f.session, 1) ||
            !f.session.InsertRecord(SubGroupTableName(1), kSubGroupColumnCount, SubGroupColumns(), {"1", "'s'", "'u'", "0"}))
            return;
        shown = ReadShownGroup(f.session, 1).value_or(ShownGroup{});
        other.ConnectDatabase();
        f.session.SetStatementLog([this](const std::string& s) {
            sent.push_back(s);
            if (before) before(s);
        });
        ok = other.Connected() && shown.number == 1;
    }
    DatabaseSession& db() { return f.session; }
    bool Entry(DatabaseSession& s, int n, int sn)
    {
        return s.InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                              {IntToStr(n), "'e" + IntToStr(n) + "'", "'/x/'", "NULL", "'u'", IntToStr(sn)});
    }
    int Count(const std::string& condition = "") { return db().CountRecords(FileTableName(1), condition); }
    int Sent(const char* start)
    {
        int n = 0;
        for (const std::string& s : sent) n += s.rfind(start, 0) == 0;
        return n;
    }
};

std::vector<std::string> Column(const std::vector<TextRow>& rows, int column)
{
    std::vector<std::string> out;
    for (const TextRow& r : rows) out.push_back(r[column]);
    return out;
}

} // namespace

class TestGroupWrites : public QObject {
    Q_OBJECT
private slots:
    void batchIsStoredInUnitsOfOneMaximumEach()
    {
        Shared g;
        QVERIFY(g.ok);
        QVERIFY(g.Entry(g.db(), 7, 0));
        const std::string memo = "m";
        EntryBatch batch(g.db(), g.shown, 1, "u", 3);
        g.sent.clear();
        // A name that cannot be stored is refused before any statement; the drawing's memo
        // is read when none is given.
        QVERIFY(batch.Add("/x/a\tb.jww", &memo));
        QVERIFY(g.sent.empty());
        for (const char* p : {"/x/1.jww", "/x/2.jww"}) QVERIFY(batch.Add(p, &memo));
        QVERIFY(g.sent.empty());
        QVERIFY(batch.Add(KUMO_TESTDATA "/jww/Test1.jww"));   // the third: the slice is stored
        QCOMPARE(g.Sent("SELECT MAX(N)"), 1);
        QCOMPARE(g.Sent("INSERT"), 3);
        QCOMPARE(g.db().Transaction(), DatabaseSession::TransactionState::None);
        QVERIFY(batch.Add("/x/4.jww", &memo) && batch.Finish());
        QCOMPARE(g.Sent("SELECT MAX(N)"), 2);
        QCOMPARE(batch.StoredCount(), 4);
        QCOMPARE(batch.Failures().size(), size_t(1));
        QCOMPARE(batch.Failures()[0].second, EntryProblem::ControlCharacter);
        // The insert texts of single registrations, numbered on from the highest.
        const auto insert = std::find_if(g.sent.begin(), g.sent.end(), [](auto& s) { return s.rfind("INSERT", 0) == 0; });
        QCOMPARE(*insert, std::string("INSERT INTO GRP1_1 (\r\n   N,\r\n   FILE_NAME,\r\n   PATH_NAME,\r\n   FILE_MEMO,\r\n"
                                      "   PNAME,\r\n   SN\r\n   ) \r\n   VALUES (\r\n   8,\r\n   '1.jww',\r\n   '/x/',\r\n"
                                      "   'm',\r\n   'u',\r\n   1\r\n   );\r\n"));
        const std::vector<TextRow> rows = AllRows(g.db(), FileTableName(1), "SN=1");
        QCOMPARE(Column(rows, kFileN), (std::vector<std::string>{"8", "9", "10", "11"}));
        QVERIFY(!rows[2][kFileMemo].empty() && rows[2][kFileMemo] != memo);
        const std::vector<FileRow> stored = batch.TakeStored();
        QCOMPARE(stored.size(), size_t(4));
        QCOMPARE(stored[3].cells[kCellNumber], std::string("11"));
        QVERIFY(batch.TakeStored().empty());
    }

    void clashWithAnotherCopyIsTriedAgainUntilStored()
    {
        Shared g;
        QVERIFY(g.ok);
        // The other copy takes the next number between our maximum and our first insert,
        // three times over.
        int clashes = 3;
        bool afterMax = false;
        g.before = [&](const std::string& s) {
            const bool insert = s.rfind("INSERT", 0) == 0;
            if (insert && afterMax && clashes > 0) {
                --clashes;
                std::string max;
                g.other.SelectMax(FileTableName(1), "N", "", max);
                QVERIFY(g.Entry(g.other, StrToIntOrZero(max) + 1, 0));
            }
            afterMax = s.rfind("SELECT MAX", 0) == 0;
        };
        std::vector<EntryRecord> rows;
        for (const char* p : {"/x/a.jww", "/x/b.jww"})
            rows.push_back(PrepareEntry(0, p, "", "u").record);
        QCOMPARE(StoreEntryRecords(g.db(), g.shown, 0, rows), WriteOutcome::Done);
        QCOMPARE(g.Sent("SELECT MAX(N)"), 4);
        QCOMPARE(rows[0].number, 4);
        QCOMPARE(Column(AllRows(g.db(), FileTableName(1)), kFileName),
                 (std::vector<std::string>{"e1", "e2", "e3", "a.jww", "b.jww"}));
    }

    void twoCopiesRegisteringAtOnceBothStoreAll()
    {
        Shared g;
        QVERIFY(g.ok);
        g.db().SetStatementLog({});
        constexpr int kEach = 400;
        int stored[2] = {0, 0};
        auto work = [&](DatabaseSession& s, int copy) {
            EntryBatch batch(s, g.shown, 1, "u");
            const std::string memo;
            for (int i = 0; i < kEach; ++i)
                batch.Add("/c" + IntToStr(copy) + "/" + IntToStr(i) + ".jww", &memo);
            batch.Finish();
            stored[copy] = batch.StoredCount();
        };
        std::thread a(work, std::ref(g.db()), 0), b(work, std::ref(g.other), 1);
        a.join();
        b.join();
        QCOMPARE(stored[0], kEach);
        QCOMPARE(stored[1], kEach);
        QCOMPARE(g.Count(), 2 * kEach);
        QCOMPARE(g.Count("PATH_NAME='/c0/'"), kEach);
    }

    void writesNeedTheGroupAndSubGroupStillThere()
    {
        Shared g;
        QVERIFY(g.ok);
        std::vector<EntryRecord> rows{PrepareEntry(1, "/x/a.jww", "", "u").record};
        // The other copy deletes the sub-group: nothing is filed under its number.
        QVERIFY(g.other.DeleteRecords(SubGroupTableName(1), "N=1"));
        QCOMPARE(StoreEntryRecords(g.db(), g.shown, 1, rows), WriteOutcome::SubGroupGone);
        QCOMPARE(rows[0].number, 0);
        QCOMPARE(g.Count(), 0);
        QCOMPARE(StoreEntryRecords(g.db(), g.shown, 0, rows), WriteOutcome::Done);

        // It deletes the group and makes another under its number, or renames it.
        QVERIFY(g.other.DeleteRecords(kCatalogueTable, "N=1") && InsertGroup(g.other, 1, "delta", "", "0", "0"));
        int written = 0;
        QCOMPARE(RunGroupWrite(g.db(), g.shown, 0, false, [&] { return ++written > 0; }), WriteOutcome::GroupChanged);
        QCOMPARE(written, 0);
        ShownGroup delta = ReadShownGroup(g.db(), 1).value_or(ShownGroup{});
        QCOMPARE(delta.name, std::string("delta"));
        QCOMPARE(RunGroupWrite(g.db(), delta, 0, false, [&] { return ++written > 0; }), WriteOutcome::Done);
        // Deleted with its tables: told as a changed group, not as a failed write.
        QVERIFY(g.other.DeleteRecords(kCatalogueTable, "N=1") && g.other.DropTable(FileTableName(1)));
        QCOMPARE(StoreEntryRecords(g.db(), delta, 0, rows), WriteOutcome::GroupChanged);
        QCOMPARE(ReadShownGroup(g.db(), 1)->number, 0);
    }

    void subGroupDeleteIsOneUnitOfWhatWasCounted()
    {
        Shared g;
        QVERIFY(g.ok);
        QVERIFY(g.Entry(g.db(), 1, 1) && g.Entry(g.db(), 2, 1) && g.Entry(g.db(), 3, 0));
        // Another copy filed one more meanwhile: the user was asked about two.
        QVERIFY(g.Entry(g.other, 4, 1));
        QCOMPARE(DeleteSubGroupAsCounted(g.db(), g.shown, 1, 2), WriteOutcome::CountChanged);
        QCOMPARE(g.Count(), 4);
        QCOMPARE(g.db().CountRecords(SubGroupTableName(1), ""), 1);

        // The entries' delete fails (another copy holds one of them) after the row's
        // delete worked: neither stays deleted.
        QVERIFY(g.other.BeginWork() && g.other.UpdateRecordText(FileTableName(1), "FILE_MEMO='x'", "N=4"));
        QCOMPARE(DeleteSubGroupAsCounted(g.db(), g.shown, 1, 3), WriteOutcome::Failed);
        g.other.RollbackWork();
        QCOMPARE(g.Count("SN=1"), 3);
        QCOMPARE(g.db().CountRecords(SubGroupTableName(1), ""), 1);

        QCOMPARE(DeleteSubGroupAsCounted(g.db(), g.shown, 1, 3), WriteOutcome::Done);
        QCOMPARE(g.Count(), 1);
        QCOMPARE(g.db().CountRecords(SubGroupTableName(1), ""), 0);
        QCOMPARE(DeleteSubGroupAsCounted(g.db(), g.shown, 1, 0), WriteOutcome::SubGroupGone);
    }

    void folderWalkIsBoundedAndLeavesLinksAndDevicesOut()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("a/b/c") && QDir(dir.path()).mkpath(".hidden"));
        for (const char* name : {"top.jww", "a/one.jww", "a/b/c/deep.jww", ".hidden/no.jww", "a/.no.jww"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(dir.filePath("a"), dir.filePath("loop")) && QFile::link(dir.filePath("top.jww"), dir.filePath("l.jww")));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600) == 0);
        FolderFiles found = ListFolderFiles(dir.path(), {});
        QCOMPARE(found.files, (QStringList{dir.filePath("a/b/c/deep.jww"), dir.filePath("a/one.jww"), dir.filePath("top.jww")}));
        QVERIFY(!found.more && !found.stopped);
        QVERIFY(ListFolderFiles(dir.path(), {}, 2).more);
        QVERIFY(ListFolderFiles(dir.path(), {}, 100, 3).more);
        // Asked now and then: a no stops the walk.
        QVERIFY(QDir(dir.path()).mkdir("many"));
        for (int i = 0; i < 100; ++i) {
            QFile f(dir.filePath("many/" + QString::number(i)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        int asked = 0;
        found = ListFolderFiles(dir.path(), [&](int) { return ++asked < 1; });
        QVERIFY(found.stopped && asked == 1 && found.files.size() < 100);
    }
};

QTEST_GUILESS_MAIN(TestGroupWrites)
#include "test_groupwrites.moc"
