// What is stored, against the real server with a second session playing another copy of
// the program: the write protocol meeting every way a window's group can have gone
// stale, the sub-group lock, a lost server and a failed maximum told as failures.
#include <atomic>
#include <thread>

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "store/grouptables.h"
#include "store/reads.h"
#include "store/writes.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/textutil.h"

namespace {

// Group 1 ("g", by "u", titles "t" and "s") with its tables and sub-group 1; a second
// session on the same database.
struct Shared {
    FreshSession f;
    DatabaseSession other{f.db.settings};
    ShownGroup shown;
    GroupRecord whole;
    bool ok = false;
    Shared()
    {
        if (!f.ok || !InsertGroup(f.session, 1, "g", "", "10", "10", "u", "t", "s") || !EnsureGroupTables(f.session, 1) ||
            !CreateSubGroup(f.session, 1, "sub", "u", 0))
            return;
        whole = ReadGroupRecord(f.session, 1).value_or(GroupRecord{});
        shown = ShownFromRecord(whole);
        other.ConnectDatabase();
        ok = other.Connected() && shown.number == 1 && shown.title == "t";
    }
    DatabaseSession& db() { return f.session; }
    int Entries() { return db().CountRecords(FileTableName(1), ""); }
    // One entry under the sub-group, as a window's write would file it.
    std::function<bool()> AddEntry(int subGroup)
    {
        return [this, subGroup] {
            return InsertNumbered(db(), FileTableName(1), FileColumns(),
                                  EntryValues({0, "a.jww", "/x/", "", "u", subGroup})) != 0;
        };
    }
};

} // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void writeProtocolMeetsEveryStaleWindow()
    {
        struct Case {
            const char* name;
            std::function<bool(Shared&)> meanwhile;   // what the other copy did
            int subGroup;
            enum { Shown, Whole, NameOnly } target;
            WriteOutcome expected;
        };
        auto sql = [](const char* table, const char* set, const char* where) {
            return [=](Shared& g) { return g.other.UpdateRecordText(table, set, where); };
        };
        const std::vector<Case> cases{
            {"unchanged", [](Shared&) { return true; }, 0, Case::Shown, WriteOutcome::Done},
            {"unchanged, in a sub-group", [](Shared&) { return true; }, 1, Case::Shown, WriteOutcome::Done},
            {"renamed", sql(kCatalogueTable, "GRPNAME='h'", "N=1"), 0, Case::Shown, WriteOutcome::GroupChanged},
            {"author", sql(kCatalogueTable, "PNAME='v'", "N=1"), 1, Case::Shown, WriteOutcome::GroupChanged},
            {"title", sql(kCatalogueTable, "MTITLE='x'", "N=1"), 0, Case::Shown, WriteOutcome::GroupChanged},
            {"memo, not shown", sql(kCatalogueTable, "MEMO1='x'", "N=1"), 0, Case::Shown, WriteOutcome::Done},
            {"memo, shown whole", sql(kCatalogueTable, "MEMO1='x'", "N=1"), 0, Case::Whole, WriteOutcome::GroupChanged},
            {"moved, shown whole", sql(kCatalogueTable, "X=99", "N=1"), 0, Case::Whole, WriteOutcome::Done},
            {"title, name only", sql(kCatalogueTable, "MTITLE='x'", "N=1"), 0, Case::NameOnly, WriteOutcome::Done},
            {"renamed, name only", sql(kCatalogueTable, "GRPNAME='h'", "N=1"), 0, Case::NameOnly,
             WriteOutcome::GroupChanged},
            {"deleted", [](Shared& g) { return g.other.DeleteRecords(kCatalogueTable, "N=1"); }, 0, Case::Shown,
             WriteOutcome::GroupChanged},
            {"deleted and made anew under its number",
             [](Shared& g) {
                 return g.other.DeleteRecords(kCatalogueTable, "N=1") && InsertGroup(g.other, 1, "g", "", "0", "0", "w");
             },
             0, Case::Shown, WriteOutcome::GroupChanged},
            {"deleted with its tables",
             [](Shared& g) {
                 return g.other.DeleteRecords(kCatalogueTable, "N=1") && g.other.DropTable(FileTableName(1)) &&
                        g.other.DropTable(SubGroupTableName(1));
             },
             1, Case::Shown, WriteOutcome::GroupChanged},
            {"sub-group deleted", [](Shared& g) { return g.other.DeleteRecords(SubGroupTableName(1), "N=1"); }, 1,
             Case::Shown, WriteOutcome::SubGroupGone},
            {"other sub-group deleted",
             [](Shared& g) { return CreateSubGroup(g.other, 1, "b", "u", 0) == 2 && g.other.DeleteRecords(SubGroupTableName(1), "N=2"); },
             1, Case::Shown, WriteOutcome::Done},
        };
        for (const Case& c : cases) {
            Shared g;
            QVERIFY(g.ok);
            QVERIFY2(c.meanwhile(g), c.name);
            WriteTarget target{g.shown, c.subGroup, c.target == Case::Whole ? &g.whole : nullptr,
                               c.target == Case::NameOnly};
            const WriteOutcome out = RunGroupWrite(g.db(), target, false, g.AddEntry(c.subGroup));
            QVERIFY2(out == c.expected, c.name);
            QVERIFY2(g.db().Transaction() != DatabaseSession::TransactionState::Write, c.name);
            // Written exactly when Done.
            const int stored = g.db().TableExists(FileTableName(1)) ? g.Entries() : 0;
            QVERIFY2(stored == (c.expected == WriteOutcome::Done ? 1 : 0), c.name);
        }
        // A write that fails is no changed group, and leaves nothing.
        Shared g;
        QVERIFY(g.ok);
        QCOMPARE(RunGroupWrite(g.db(), g.shown, 0, false, [&] { return g.AddEntry(0)() && false; }), WriteOutcome::Failed);
        QCOMPARE(g.Entries(), 0);
    }

    // The sub-group a write files under cannot be deleted under it, nor can the write file
    // under a sub-group whose delete is on its way.
    void subGroupIsLockedForTheWrite()
    {
        Shared g;
        QVERIFY(g.ok);
        // The window holds the lock while it writes: the other copy's delete waits, and
        // then finds the row changed under it.
        std::atomic<bool> deleted{false}, deleteEnded{false};
        std::thread deleter;
        const WriteOutcome out = RunGroupWrite(g.db(), g.shown, 1, false, [&] {
            deleter = std::thread([&] {
                deleted = g.other.DeleteRecords(SubGroupTableName(1), "N=1");
                deleteEnded = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            return !deleteEnded && g.AddEntry(1)();
        });
        deleter.join();
        QCOMPARE(out, WriteOutcome::Done);
        QVERIFY(!deleted);
        QCOMPARE(g.db().CountRecords(SubGroupTableName(1), ""), 1);
        QCOMPARE(g.Entries(), 1);

        // The other copy deletes it and commits a moment later: the window's write waits
        // for the lock, then finds the sub-group gone and files nothing.
        QVERIFY(g.other.BeginWork() && g.other.DeleteRecords(SubGroupTableName(1), "N=1"));
        std::thread committer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            g.other.CommitWork();
        });
        QElapsedTimer clock;
        clock.start();
        const WriteOutcome late = RunGroupWrite(g.db(), g.shown, 1, false, g.AddEntry(1));
        const qint64 waited = clock.elapsed();
        committer.join();
        QCOMPARE(late, WriteOutcome::SubGroupGone);
        QVERIFY(waited >= 400);
        QCOMPARE(g.Entries(), 1);
    }

    // A server gone away is no absent table, no empty table and no failed write.
    void lostServerIsToldAsLost()
    {
        Shared g;
        QVERIFY(g.ok);
        TcpForwarder relay;
        DatabaseSettings viaRelay = g.f.db.settings;
        viaRelay.serverName = relay.ServerName();
        struct Case {
            const char* name;
            std::function<bool(DatabaseSession&)> failsAsLost;
        };
        const std::vector<Case> cases{
            {"table present", [](DatabaseSession& s) { return !TablePresent(s, FileTableName(1)); }},
            {"maximum", [](DatabaseSession& s) { return !MaxNumber(s, FileTableName(1)); }},
            {"next number", [](DatabaseSession& s) { return NextNumbersOf(s, kCatalogueTable).status == NextNumbers::Status::Failed; }},
            {"rows", [](DatabaseSession& s) { return !ReadRows(s, "*", kCatalogueTable, "", "N"); }},
            {"group", [](DatabaseSession& s) { return !ReadGroupRecord(s, 1) && !ReadShownGroup(s, 1); }},
            {"ensure tables", [](DatabaseSession& s) { return !EnsureGroupTables(s, 2); }},
            {"write", [&](DatabaseSession& s) { return RunGroupWrite(s, g.shown, 1, true, [] { return true; }) == WriteOutcome::Lost; }},
            {"entries",
             [&](DatabaseSession& s) {
                 std::vector<EntryRecord> rows{{0, "a.jww", "/x/", "", "u", 0}};
                 return StoreEntryRecords(s, g.shown, 0, rows) == WriteOutcome::Lost && rows[0].number == 0;
             }},
        };
        for (const Case& c : cases) {
            DatabaseSession s(viaRelay);
            s.ConnectDatabase();
            QVERIFY(s.Connected());
            relay.Cut();
            // Met first by the call itself, then asked again while detached.
            QVERIFY2(c.failsAsLost(s), c.name);
            QVERIFY2(c.failsAsLost(s), c.name);
        }
        QCOMPARE(g.Entries(), 0);
    }

    // A maximum that could not be read is no empty table: nothing is numbered from 1.
    void failedMaximumIsAFailure()
    {
        Shared g;
        QVERIFY(g.ok);
        QCOMPARE(MaxNumber(g.db(), FileTableName(1)), std::optional<int32_t>(0));
        QCOMPARE(NextNumbersOf(g.db(), FileTableName(1)).first, 1);
        QVERIFY(!MaxNumber(g.db(), FileTableName(9)));
        QCOMPARE(NextNumbersOf(g.db(), FileTableName(9)).status, NextNumbers::Status::Failed);
        QCOMPARE(InsertNumbered(g.db(), FileTableName(9), FileColumns(), EntryValues({})), 0);
        QVERIFY(g.db().InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                    EntryValues({INT32_MAX - 1, "a", "/x/", "", "u", 0})));
        QCOMPARE(NextNumbersOf(g.db(), FileTableName(1), 1).first, INT32_MAX);
        QCOMPARE(NextNumbersOf(g.db(), FileTableName(1), 2).status, NextNumbers::Status::Full);
    }

    // A clash is tried again after the caller's pause; the window's pause keeps its events
    // running.
    void clashPauseIsTheCallers()
    {
        Shared g;
        QVERIFY(g.ok);
        QVERIFY(g.other.InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(), EntryValues({1, "b", "/x/", "", "u", 0})));
        int tries = 0;
        std::vector<int> pauses;
        const WriteOutcome out = RunGroupWrite(
            g.db(), g.shown, 0, true,
            [&] {
                // The first try takes the other copy's number.
                return g.db().InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                           EntryValues({++tries, "a", "/x/", "", "u", 0}));
            },
            [&](int ms) { pauses.push_back(ms); });
        QCOMPARE(out, WriteOutcome::Done);
        QCOMPARE(tries, 2);
        QCOMPARE(pauses.size(), size_t(1));
        QVERIFY(pauses[0] >= 10 && pauses[0] < 40);

        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        QElapsedTimer clock;
        clock.start();
        WaitInEventLoop(60);
        QVERIFY(ran);
        QVERIFY(clock.elapsed() >= 50);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
