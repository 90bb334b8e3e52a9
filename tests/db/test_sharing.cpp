// Two attachments on one database, and a server that goes away: bounded waits, units of
// work, updates that find no row, and a lost connection told once and attached again.
#include <QElapsedTimer>
#include <QtTest>

#include "db/schema.h"
#include "db/session.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/textutil.h"

namespace {

using TS = DatabaseSession::TransactionState;

// The longest a statement may take when another attachment holds what it needs.
constexpr qint64 kBoundMs = (kLockTimeoutSeconds + 3) * 1000;

// A second program on the same database.
struct Other {
    explicit Other(const DatabaseSettings& s) : settings(s) { session.ConnectDatabase(); }
    DatabaseSettings settings;
    DatabaseSession session{settings};
};

void MakeTable(DatabaseSession& db, const std::string& name, int rows)
{
    QVERIFY(db.ExecuteStatement({"CREATE TABLE " + name + " (N INTEGER NOT NULL UNIQUE, A VARCHAR(20));"}));
    for (int i = 1; i <= rows; ++i) QVERIFY(db.InsertRecord(name, 2, {"N", "A"}, {IntToStr(i), "'r'"}));
}

} // namespace

class TestSharing : public QObject {
    Q_OBJECT
private slots:
    void waitsForAnotherCopyEnd()
    {
        FreshSession a;
        QVERIFY(a.ok);
        MakeTable(a.session, "T", 2);
        QVERIFY(CreateFileTable(a.session, FileTableName(1)));
        QVERIFY(CreateFileTable(a.session, FileTableName(2)));
        Other b(a.db.settings);
        QVERIFY(b.session.Connected());

        // A row that the other copy holds in an open transaction: a failure after the
        // lock time-out, told apart as a conflict, then the write goes through.
        QVERIFY(b.session.BeginWork());
        QVERIFY(b.session.UpdateRecordText("T", "A='b'", "N=1"));
        QElapsedTimer t;
        t.start();
        QVERIFY(!a.session.UpdateRecordText("T", "A='a'", "N=1"));
        QVERIFY(t.elapsed() < kBoundMs);
        QCOMPARE(a.session.LastFailure(), DbFailure::Conflict);
        b.session.RollbackWork();
        QVERIFY(a.session.UpdateRecordText("T", "A='a'", "N=1"));

        // The other copy read both tables and goes on reading: its read transaction
        // keeps both tables in use. A unit that drops one gives up at the commit instead
        // of waiting for ever, and leaves everything as it was.
        QCOMPARE(b.session.SelectRecords("*", FileTableName(1), "", ""), 0);
        QCOMPARE(b.session.CountRecords(FileTableName(2), ""), 0);
        t.restart();
        QVERIFY(a.session.BeginWork());
        QVERIFY(a.session.DeleteRecords("T", "N=2"));
        QVERIFY(a.session.DropTable(FileTableName(1)));   // DDL waits for the commit
        QVERIFY(!a.session.CommitWork());
        QVERIFY(t.elapsed() < kBoundMs);
        QCOMPARE(a.session.LastFailure(), DbFailure::Conflict);
        QVERIFY(!a.session.InWork());
        QCOMPARE(b.session.CountRecords("T", "N=2"), 1);
        QVERIFY(b.session.TableExists(FileTableName(1)));

        // Waiting for its user, the other copy ends its read and keeps no statement
        // prepared: the tables are free, while what it read stays at hand.
        QCOMPARE(b.session.SelectRecords("*", FileTableName(2), "", ""), 0);
        b.session.EndRead();
        QVERIFY(b.session.ResultOpen());
        QVERIFY2(a.session.DropTable(FileTableName(1)), a.session.LastError().c_str());
        QVERIFY(a.session.DropTable(FileTableName(2)));
    }

    void unitCommitsOrRollsBackWhole()
    {
        FreshSession a;
        QVERIFY(a.ok);
        auto& db = a.session;
        MakeTable(db, "T", 2);
        QVERIFY(CreateFileTable(db, FileTableName(5)));
        Other b(a.db.settings);
        std::vector<std::string> sent;
        db.SetStatementLog([&](const std::string& s) { sent.push_back(s); });

        for (bool commit : {false, true}) {
            QVERIFY(db.BeginWork());
            QVERIFY(!db.BeginWork());   // no unit inside a unit
            QCOMPARE(db.Transaction(), TS::Write);
            QVERIFY(db.DeleteRecords("T", "N=1"));
            QCOMPARE(db.RowsAffected(), 1L);
            // Reads inside the unit see its own changes and leave it open.
            QCOMPARE(db.CountRecords("T", ""), 1);
            QVERIFY(db.TableExists(FileTableName(5)));
            QVERIFY(db.DropTable(FileTableName(5)));
            QVERIFY(db.InWork());
            // Nothing is visible to the other copy before the commit.
            QCOMPARE(b.session.CountRecords("T", ""), 2);
            if (commit) {
                QVERIFY(db.CommitWork());
            } else {
                db.RollbackWork();
            }
            QVERIFY(!db.InWork());
            QCOMPARE(db.Transaction(), TS::None);
            QCOMPARE(b.session.CountRecords("T", ""), commit ? 1 : 2);
            QCOMPARE(b.session.TableExists(FileTableName(5)), !commit);
        }
        // The statement texts are those of the single helpers.
        QCOMPARE(sent[0], std::string("DELETE FROM T WHERE N=1 ;\r\n"));
        QCOMPARE(sent[2], std::string("DROP TABLE GRP1_5;\r\n"));
        QVERIFY(!db.CommitWork());   // none open

        db.CloseDatabase();
        QVERIFY(!db.BeginWork());
    }

    void updateThatFindsNoRowFails()
    {
        FreshSession a;
        QVERIFY(a.ok);
        auto& db = a.session;
        MakeTable(db, "T", 3);
        QVERIFY(!db.UpdateRecord("T", 1, {"A"}, {"'x'"}, "N=9"));
        QCOMPARE(db.LastFailure(), DbFailure::NoRow);
        QVERIFY(!db.UpdateRecordText("T", "A='x'", "N=9"));
        QCOMPARE(db.LastFailure(), DbFailure::NoRow);
        QVERIFY(db.UpdateRecordText("T", "A='x'", "N>1"));
        QCOMPARE(db.RowsAffected(), 2L);
        QVERIFY(db.DeleteRecords("T", "N=9"));   // a delete of nothing is no failure
        QCOMPARE(db.RowsAffected(), 0L);
    }

    void lostConnectionToldOnceAndRejoined()
    {
        TcpForwarder relay;
        TestDatabase t;
        t.settings.serverName = relay.ServerName();
        DatabaseSession db(t.settings);
        int told = 0;
        db.SetConnectionLostHandler([&] { ++told; });
        QVERIFY(t.Create(db));
        MakeTable(db, "T", 1);
        QCOMPARE(db.SelectRecords("*", "T", "", ""), 1);   // a read transaction left open

        relay.Cut();
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(db.CountRecords("T", ""), -1);
        QCOMPARE(db.LastFailure(), DbFailure::LostConnection);
        QVERIFY(db.ConnectionLost());
        QVERIFY(!db.Connected());
        QVERIFY(!db.InsertRecord("T", 2, {"N", "A"}, {"2", "'x'"}));
        QVERIFY(!db.TableExists("T"));
        QCOMPARE(told, 1);
        QVERIFY(timer.elapsed() < 5000);

        // Still away: the session stays lost, and is not told again.
        relay.Refuse(true);
        QVERIFY(!db.Reattach());
        QVERIFY(db.ConnectionLost());
        relay.Refuse(false);
        QVERIFY(db.Reattach());
        QVERIFY(!db.ConnectionLost());
        QCOMPARE(db.CountRecords("T", ""), 1);

        // A loss inside a unit: nothing of it is stored.
        QVERIFY(db.BeginWork());
        QVERIFY(db.InsertRecord("T", 2, {"N", "A"}, {"2", "'x'"}));
        relay.Cut();
        QVERIFY(!db.CommitWork());
        QCOMPARE(db.LastFailure(), DbFailure::LostConnection);
        QCOMPARE(told, 2);
        QVERIFY(db.Reattach());
        QCOMPARE(db.CountRecords("T", ""), 1);

        // Closed on purpose, the session is not lost any more.
        relay.Cut();
        QCOMPARE(db.CountFields("T"), -1);
        db.CloseDatabase();
        QVERIFY(!db.ConnectionLost());
    }
};

QTEST_GUILESS_MAIN(TestSharing)
#include "test_sharing.moc"
