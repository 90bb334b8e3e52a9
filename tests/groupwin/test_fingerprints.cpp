// Fingerprints of the entries' files against the real server and disk: taken, refreshed
// as the files change, counted only for the entry they were taken for, the same content
// found across groups, and a server lost in the middle of the writing.
#include <atomic>
#include <functional>
#include <thread>
#include <set>

#include <sys/stat.h>
#include <utime.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "groupwin/fingerprintworker.h"
#include "groupwin/samecontent.h"
#include "store/fingerprints.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/cp932.h"

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Moves the file's time on, its content untouched.
void Touch(const QString& path, int seconds)
{
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
    const struct utimbuf times{st.st_atime, st.st_mtime + seconds};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

std::string Folder(const QTemporaryDir& dir) { return FromQ(dir.path() + "/").value(); }

FingerprintResult Refresh(DatabaseSession& s, std::vector<int32_t> groups, std::vector<int32_t> numbers = {})
{
    FingerprintRequest request;
    request.groups = std::move(groups);
    request.numbers = std::move(numbers);
    if (!EnsureFingerprintTable(s)) return {FingerprintResult::End::Failed, {}, 0};
    return RefreshFingerprints(s, request, {});
}

std::set<int32_t> ChangedOf(const FingerprintResult& r)
{
    std::set<int32_t> changed;
    for (const auto& [key, print] : r.prints)
        if (print.Changed()) changed.insert(key.second);
    return changed;
}

} // namespace

class TestFingerprints : public QObject {
    Q_OBJECT
private slots:
    void hashIsOfTheContentOnly();
    void fingerprintsFollowTheFiles();
    void sameContentAcrossGroups();
    void lostServerLeavesWholeRows();
    void twoWritersOfTheSameRowsBothStore();
};

void TestFingerprints::hashIsOfTheContentOnly()
{
    QTemporaryDir dir;
    Write(dir.path() + "/a", "drawing");
    Write(dir.path() + "/b", "drawing");
    Write(dir.path() + "/c", "drawinG");
    Write(dir.path() + "/big", QByteArray(3 << 20, 'x'));   // more than one read
    const auto a = HashFile(QFile::encodeName(dir.path() + "/a").toStdString());
    const auto b = HashFile(QFile::encodeName(dir.path() + "/b").toStdString());
    const auto c = HashFile(QFile::encodeName(dir.path() + "/c").toStdString());
    const auto big = HashFile(QFile::encodeName(dir.path() + "/big").toStdString());
    QVERIFY(a && b && c && big);
    QCOMPARE(a->hash.size(), size_t(32));
    QCOMPARE(a->hash, b->hash);
    QVERIFY(a->hash != c->hash);
    QCOMPARE(big->hash, HashBytes(std::string(3 << 20, 'x')));
    QCOMPARE(big->size, std::uint64_t(3 << 20));
    // No file, a folder, a stop: no content rather than a made-up one.
    QVERIFY(!HashFile(QFile::encodeName(dir.path() + "/none").toStdString()));
    QVERIFY(!HashFile(QFile::encodeName(dir.path()).toStdString()));
    QVERIFY(!HashFile(QFile::encodeName(dir.path() + "/big").toStdString(), [] { return true; }));
}

// One group's entries through the life of their files: each step does something, then the
// group is refreshed; what is read again and which entries count as changed.
void TestFingerprints::fingerprintsFollowTheFiles()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir dir;
    const std::string folder = Folder(dir);
    Write(dir.path() + "/a.jww", "A1");
    Write(dir.path() + "/b.jww", "B1");
    Write(dir.path() + "/c.jww", "C1");
    Write(dir.path() + "/d.jww", "D1");
    QVERIFY(InsertGroup(s.session, 1, "A", "", "", ""));
    QVERIFY(OpenGroupTables(s.session, 1));
    for (int n = 1; n <= 3; ++n)
        QVERIFY(AddEntry(s.session, 1, n, folder, std::string(1, char('a' + n - 1)) + ".jww", "", 0));
    // Registered: every file read once, its content its reference.
    FingerprintResult r = Refresh(s.session, {1}, {1, 2, 3});
    QCOMPARE(r.end, FingerprintResult::End::Done);
    QCOMPARE(r.hashed, 3);
    QCOMPARE(r.prints.size(), size_t(3));
    QVERIFY(ChangedOf(r).empty());

    struct Step {
        const char* name;
        std::function<void()> act;
        int hashed;
        std::set<int32_t> changed;
    };
    const std::vector<Step> steps{
        {"nothing happened", [] {}, 0, {}},
        {"only touched", [&] { Touch(dir.path() + "/a.jww", 100); }, 1, {}},
        {"content changed", [&] { Write(dir.path() + "/b.jww", "B2"); Touch(dir.path() + "/b.jww", 200); }, 1, {2}},
        {"changed is read no more", [] {}, 0, {2}},
        {"confirmed", [&] { QVERIFY(AcceptContent(s.session, 1, {2})); }, 0, {}},
        {"number given to another file",
         [&] {
             QVERIFY(s.session.DeleteRecords(FileTableName(1), "N=3"));
             QVERIFY(AddEntry(s.session, 1, 3, folder, "d.jww", "", 0));
         },
         1, {}},
        {"file gone keeps its row", [&] { QFile::remove(dir.path() + "/a.jww"); }, 0, {}},
    };
    for (const Step& step : steps) {
        step.act();
        r = Refresh(s.session, {1});
        QVERIFY2(r.end == FingerprintResult::End::Done, step.name);
        QVERIFY2(r.hashed == step.hashed, step.name);
        QVERIFY2(ChangedOf(r) == step.changed, step.name);
        QVERIFY2(r.prints.size() == 3, step.name);
    }
    // An entry removed takes its row with it at the next refresh.
    QVERIFY(s.session.DeleteRecords(FileTableName(1), "N=1"));
    QCOMPARE(Refresh(s.session, {1}).prints.size(), size_t(2));
    QCOMPARE(ReadFingerprints(s.session, 1)->size(), size_t(2));
}

void TestFingerprints::sameContentAcrossGroups()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir dir;
    const std::string folder = Folder(dir);
    Write(dir.path() + "/plan.jww", "same");
    Write(dir.path() + "/plan_2.jww", "same");
    Write(dir.path() + "/other.jww", "other");
    QVERIFY(InsertGroup(s.session, 1, "A", "", "", ""));
    QVERIFY(InsertGroup(s.session, 2, "B", "", "", ""));
    QVERIFY(OpenGroupTables(s.session, 1) && OpenGroupTables(s.session, 2));
    QVERIFY(AddSubGroup(s.session, 2, 4, Sj("現場")));
    QVERIFY(AddEntry(s.session, 1, 1, folder, "plan.jww", "", 0));
    QVERIFY(AddEntry(s.session, 1, 2, folder, "other.jww", "", 0));
    QVERIFY(AddEntry(s.session, 2, 7, folder, "plan_2.jww", "", 4));
    QVERIFY(AddEntry(s.session, 2, 8, folder, "plan.jww", "", 0));
    QCOMPARE(Refresh(s.session, {1, 2}).end, FingerprintResult::End::Done);

    std::optional<std::vector<SameContentSet>> sets = DuplicateSets(s.session);
    QVERIFY(sets);
    QCOMPARE(sets->size(), size_t(1));
    const SameContentSet& set = sets->front();
    QCOMPARE(set.size(), size_t(3));
    QCOMPARE(SameContentLine(set[0]), "1\tA\t\t1\t" + folder + "plan.jww");
    QCOMPARE(SameContentLine(set[1]), "2\tB\t" + Sj("現場") + "\t7\t" + folder + "plan_2.jww");
    QCOMPARE(EntriesWithContent(s.session, set[0].hash)->size(), size_t(3));

    // Rows that no longer stand for their entry are not counted, before any refresh: an
    // entry pointed elsewhere, a group gone.
    QVERIFY(s.session.UpdateRecordText(FileTableName(2), "FILE_NAME='other.jww'", "N=7"));
    QCOMPARE(EntriesWithContent(s.session, set[0].hash)->size(), size_t(2));
    QVERIFY(s.session.DeleteRecords(kCatalogueTable, "N=2"));
    sets = DuplicateSets(s.session);
    QVERIFY(sets);
    QVERIFY(sets->empty());
}

// The server goes while the second slice of rows is written: the first slice stays,
// every row whole; the rest is written by the next refresh.
void TestFingerprints::lostServerLeavesWholeRows()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir dir;
    const std::string folder = Folder(dir);
    QVERIFY(InsertGroup(s.session, 1, "A", "", "", ""));
    QVERIFY(OpenGroupTables(s.session, 1));
    const int count = int(kFingerprintSlice) + 40;
    QVERIFY(s.session.BeginWork());
    for (int n = 1; n <= count; ++n) {
        Write(dir.path() + QString("/%1.jww").arg(n), QByteArray::number(n));
        QVERIFY(AddEntry(s.session, 1, n, folder, std::to_string(n) + ".jww", "", 0));
    }
    QVERIFY(s.session.CommitWork());
    QVERIFY(EnsureFingerprintTable(s.session));

    TcpForwarder relay;
    DatabaseSettings viaRelay = s.db.settings;
    viaRelay.serverName = relay.ServerName();
    DatabaseSession db(viaRelay);
    db.ConnectDatabase();
    QVERIFY(db.Connected());
    // The blocks of rows of the first slice, then the second's first.
    const int blocksASlice = int(kFingerprintSlice + 39) / 40;
    int blocks = 0;
    db.SetStatementLog([&](const std::string& sent) {
        if (sent.find("UPDATE OR INSERT") != std::string::npos && ++blocks == blocksASlice + 1) relay.Cut();
    });
    FingerprintRequest request;
    request.groups = {1};
    const FingerprintResult r = RefreshFingerprints(db, request, {});
    QCOMPARE(r.end, FingerprintResult::End::Lost);

    const auto rows = AllRows(s.session, kFingerprintTable, "", "*", "GRP, N");
    QCOMPARE(rows.size(), kFingerprintSlice);
    for (const TextRow& row : rows) {
        QCOMPARE(row[kPrintHash].size(), size_t(32));
        QCOMPARE(row[kPrintRefHash], row[kPrintHash]);
    }
    const FingerprintResult again = Refresh(s.session, {1});
    QCOMPARE(again.hashed, 40);
    QCOMPARE(AllRows(s.session, kFingerprintTable, "", "*", "GRP, N").size(), size_t(count));
}

// The group window's worker and the link check's store the same rows at once: the later
// waits for the earlier's commit and stores its rows over them, rather than failing.
void TestFingerprints::twoWritersOfTheSameRowsBothStore()
{
    FreshSession s;
    QVERIFY(s.ok);
    QVERIFY(EnsureFingerprintTable(s.session));
    DatabaseSession other(s.db.settings);
    other.ConnectDatabase();
    QVERIFY(other.Connected());
    std::vector<Fingerprint> rows(3);
    for (int n = 0; n < 3; ++n) rows[size_t(n)] = NextFingerprint({}, 1, n + 1, PathKey("p" + std::to_string(n)), {7, 1, HashBytes("x")});

    QVERIFY(other.BeginWork());
    QVERIFY(StoreFingerprints(other, rows));   // held, uncommitted
    std::atomic<bool> stored = false;
    std::thread later([&] { stored = StoreFingerprints(s.session, rows); });
    QThread::msleep(500);
    QVERIFY(other.CommitWork());
    later.join();
    QVERIFY(stored);
    QCOMPARE(AllRows(s.session, kFingerprintTable, "", "*", "GRP, N").size(), size_t(3));
}

QTEST_GUILESS_MAIN(TestFingerprints)
#include "test_fingerprints.moc"
