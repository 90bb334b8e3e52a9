// The shared table of the drawings' texts against the real server, with a second
// session playing another copy: what is read again, stamps, two copies storing one
// drawing at once, a server lost while a large text is written, rows no entry names.
#include <atomic>
#include <thread>

#include <QtTest>

#include "db/schema.h"
#include "store/drawingtexts.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"

namespace {

const DrawingFileSeen kFile{true, 100, 1700000000};

std::optional<StoredDrawingText> Row(DatabaseSession& s, const DrawingTextKey& key)
{
    const std::optional<StoredDrawingTexts> rows = ReadStoredDrawingTexts(s);
    if (!rows || !rows->count(key)) return std::nullopt;
    return rows->at(key);
}

// The stored texts' length, -1 without a row, -2 for NULL.
long long TextsLength(DatabaseSession& s, const DrawingTextKey& key)
{
    std::vector<TextRow> rows;
    std::string name;
    for (char c : key.name) name += c == '\'' ? std::string("''") : std::string(1, c);
    if (!s.SelectStatement({"SELECT COALESCE(OCTET_LENGTH(TEXTS), -2) FROM KUMO_DRAWINGTEXT WHERE FNAME = '" + name + "';"},
                           rows))
        return -3;
    return rows.empty() ? -1 : std::stoll(rows[0][0]);
}

} // namespace

class DrawingTextStoreTest : public QObject {
    Q_OBJECT
private slots:
    void plan_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("present");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("time");
        QTest::addColumn<int>("plan");
        const int read = int(DrawingTextPlan::Read), keep = int(DrawingTextPlan::Keep),
                  missing = int(DrawingTextPlan::StoreMissing);
        QTest::newRow("new file") << false << 0 << true << qint64(100) << qint64(5) << read;
        QTest::newRow("unchanged") << true << 0 << true << qint64(100) << qint64(5) << keep;
        QTest::newRow("size changed") << true << 0 << true << qint64(101) << qint64(5) << read;
        QTest::newRow("time changed") << true << 0 << true << qint64(100) << qint64(6) << read;
        QTest::newRow("unreadable, unchanged") << true << 1 << true << qint64(100) << qint64(5) << keep;
        QTest::newRow("unreadable, changed") << true << 1 << true << qint64(100) << qint64(7) << read;
        QTest::newRow("missing, found again") << true << 2 << true << qint64(100) << qint64(5) << read;
        QTest::newRow("missing, first seen") << false << 0 << false << qint64(-1) << qint64(-1) << missing;
        // Another PC may reach what this one does not: its row stands.
        QTest::newRow("read, not found here") << true << 0 << false << qint64(-1) << qint64(-1) << keep;
    }
    void plan()
    {
        QFETCH(bool, hasRow);
        QFETCH(int, state);
        QFETCH(bool, present);
        QFETCH(qint64, size);
        QFETCH(qint64, time);
        QFETCH(int, plan);
        StoredDrawingText row{state == 2 ? -1 : 100, state == 2 ? -1 : 5, state, "1"};
        QCOMPARE(int(PlanDrawingText(hasRow ? &row : nullptr, DrawingFileSeen{present, size, time})), plan);
    }

    // Stored, stored again with a later stamp; unreadable rows without texts; keys with
    // quotation marks and an empty folder.
    void storeAndStamp()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& s = f.session;
        QCOMPARE(ReadStoredDrawingTexts(s), std::nullopt);   // no table is no empty table
        QVERIFY(EnsureDrawingTextTable(s));
        QVERIFY(EnsureDrawingTextTable(s));
        const DrawingTextKey a{"Z:\\図'面\\", "a'.jww"}, b{"", "b.jww"};
        const std::string big(3 * 1024 * 1024 + 7, 'x');
        QCOMPARE(StoreDrawingText(s, {a, kFile, DrawingTextState::Read, big}), DrawingTextStored::Stored);
        QCOMPARE(StoreDrawingText(s, {b, {}, DrawingTextState::Missing, {}}), DrawingTextStored::Stored);
        const StoredDrawingText first = Row(s, a).value_or(StoredDrawingText{});
        QVERIFY(first.size == 100 && first.time == 1700000000 && first.state == 0);
        QCOMPARE(TextsLength(s, a), qint64(big.size()));
        QVERIFY(Row(s, b) && Row(s, b)->state == 2 && Row(s, b)->size == -1);
        QCOMPARE(TextsLength(s, b), -2LL);

        QCOMPARE(StoreDrawingText(s, {a, {true, 200, 5}, DrawingTextState::Unreadable, {}}), DrawingTextStored::Stored);
        const StoredDrawingText second = Row(s, a).value_or(StoredDrawingText{});
        QVERIFY(second.size == 200 && second.state == 1);
        QVERIFY(std::stoll(second.stamp) > std::stoll(first.stamp));
        QCOMPARE(TextsLength(s, a), -2LL);
        QCOMPARE(ReadStoredDrawingTexts(s)->size(), size_t(2));
        QVERIFY(!StorableDrawingTextKey({std::string(256, 'f'), "a.jww"}));
        QCOMPARE(StoreDrawingText(s, {{"f", std::string("a\0b", 3)}, kFile, DrawingTextState::Read, "{}"}),
                 DrawingTextStored::Failed);
    }

    // Two copies make the table and store the same drawing at the same moment, again
    // and again: each ends stored or yielding, never failed, and one row of it stands.
    void twoCopiesAtOnce()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession other(f.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.Connected());
        const DrawingTextKey key{"/d/", "same.jww"};
        std::atomic<int> ready{0};
        std::atomic<int> failures{0};
        // Alone, and together with a drawing of each copy's own in one unit.
        auto copy = [&](DatabaseSession& s, const std::string& texts) {
            ++ready;
            while (ready < 2) std::this_thread::yield();
            if (!EnsureDrawingTextTable(s)) ++failures;
            for (int i = 0; i < 6; ++i) {
                const DrawingTextResult shared{key, {true, 100 + i, 1}, DrawingTextState::Read, texts};
                const DrawingTextStored r =
                    i % 2 ? StoreDrawingText(s, shared, [](int) {})
                          : StoreDrawingTexts(s, {{{"/own/", texts.substr(0, 1)}, kFile, DrawingTextState::Read, texts}, shared},
                                              [](int) {});
                if (r != DrawingTextStored::Stored && r != DrawingTextStored::Yielded) ++failures;
            }
        };
        std::thread second([&] { copy(other, std::string(200000, 'b')); });
        copy(f.session, std::string(100000, 'a'));
        second.join();
        QCOMPARE(failures.load(), 0);
        const std::optional<StoredDrawingTexts> rows = ReadStoredDrawingTexts(f.session);
        QVERIFY(rows && rows->size() == 3);
        QCOMPARE(rows->at(key).size, 105LL);
        const long long length = TextsLength(f.session, key);
        QVERIFY(length == 100000 || length == 200000);
    }

    // The server goes while a large text is being written: the rows stored together are
    // whole or absent.
    void lostWhileWriting()
    {
        TcpForwarder relay;
        TestDatabase t;
        t.settings.serverName = relay.ServerName();
        DatabaseSession s(t.settings);
        QVERIFY(t.Create(s));
        QVERIFY(EnsureDrawingTextTable(s));
        const std::string huge(48 * 1024 * 1024, 'h');
        const DrawingTextKey key{"/d/", "huge.jww"};
        std::thread cut([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            relay.Cut();
        });
        const DrawingTextKey small{"/d/", "small.jww"};
        const DrawingTextStored result = StoreDrawingTexts(
            s, {{small, kFile, DrawingTextState::Read, "{}"}, {key, kFile, DrawingTextState::Read, huge}});
        cut.join();
        DatabaseSession check(t.settings);
        check.ConnectDatabase();
        QVERIFY(check.Connected());
        if (result == DrawingTextStored::Stored) {
            QCOMPARE(TextsLength(check, key), qint64(huge.size()));
            QCOMPARE(TextsLength(check, small), 2LL);
        } else {
            QCOMPARE(TextsLength(check, key), -1LL);
            QCOMPARE(TextsLength(check, small), -1LL);
        }
        QVERIFY(result == DrawingTextStored::Stored || result == DrawingTextStored::Lost);
        if (result == DrawingTextStored::Stored) qInfo("the text was stored before the server went");
        QVERIFY(result == DrawingTextStored::Stored || s.ConnectionLost());
    }

    // Rows no entry names go, but not one stored again since they were seen.
    void dropUnnamed()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& s = f.session;
        QVERIFY(EnsureDrawingTextTable(s));
        for (const char* name : {"named.jww", "gone.jww", "again.jww"})
            QCOMPARE(StoreDrawingText(s, {{"/d/", name}, kFile, DrawingTextState::Read, "{}"}), DrawingTextStored::Stored);
        const StoredDrawingTexts seen = ReadStoredDrawingTexts(s).value();
        QCOMPARE(StoreDrawingText(s, {{"/d/", "again.jww"}, kFile, DrawingTextState::Read, "{}"}), DrawingTextStored::Stored);
        QCOMPARE(DropUnnamedDrawingTexts(s, seen, {{"/d/", "named.jww"}}), std::optional<long>(1));
        const StoredDrawingTexts left = ReadStoredDrawingTexts(s).value();
        QVERIFY(left.size() == 2 && left.count({"/d/", "named.jww"}) && left.count({"/d/", "again.jww"}));
        s.CloseDatabase();
        QCOMPARE(DropUnnamedDrawingTexts(s, left, {}), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(DrawingTextStoreTest)
#include "test_drawingtexts.moc"
