// The settings file: what a file of another age or a broken disk does to the values,
// and that a failed write never costs the settings of the last run.
#include <csignal>
#include <sys/resource.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "settings/settingsfile.h"
#include "settings/windowplace.h"

#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Lines 5..37 as LoadSettings applied them.
struct Applied {
    std::map<int, int32_t> values;
    std::function<void(int, int32_t)> apply() { return [this](int line, int32_t v) { values[line] = v; }; }
};

const std::string kUserCp932 = "PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC";   // PCユーザー名

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Path(const char* name) { return dir_.filePath(name); }

private slots:
    void noFileKeepsDefaultsAndAppliesNothing()
    {
        DatabaseSettings s;
        s.dataFolder = "left over";
        Applied a;
        QVERIFY(!LoadSettings(Path("none.dat"), s, a.apply()));
        QCOMPARE(s.serverName, std::string("localhost:"));
        QCOMPARE(s.dataFolder, std::string());
        QCOMPARE(s.databaseFileName, std::string("JWWDB.FDB"));
        QCOMPARE(s.userName, kUserCp932);
        QVERIFY(a.values.empty());
    }

    void roundTripKeepsCp932BytesAndWritesCrLf()
    {
        DatabaseSettings s;
        s.serverName = "192.168.0.10:";
        s.dataFolder = "C:\\\x83\x66\x81\x5B\x83\x5E\\";   // C:\データ\ (CP932)
        s.databaseFileName = "\x95\x5C.FDB";              // 表.FDB: second byte is a backslash
        s.userName = "\x8E\x52\x93\x63";                   // 山田
        SettingsNumbers n{};
        for (size_t i = 0; i < n.size(); ++i) n[i] = static_cast<int32_t>(i) * 7 - 40;
        n[kFirstColumnWidth - kFirstNumberLine] = 3;
        const QString path = Path("trip.dat");
        QVERIFY(SaveSettings(path, s, n));

        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes.count("\r\n"), 37);
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count('\n'), 37);
        QVERIFY(bytes.startsWith("192.168.0.10:\r\nC:\\\x83\x66\x81\x5B\x83\x5E\\\r\n\x95\x5C.FDB\r\n"));
        QVERIFY(bytes.contains("\r\n-40\r\n-33\r\n"));

        DatabaseSettings back;
        Applied a;
        QVERIFY(LoadSettings(path, back, a.apply()));
        QCOMPARE(back.serverName, s.serverName);
        QCOMPARE(back.dataFolder, s.dataFolder);
        QCOMPARE(back.databaseFileName, s.databaseFileName);
        QCOMPARE(back.userName, s.userName);
        QCOMPARE(int(a.values.size()), 33);
        QCOMPARE(a.values[kMainLeft], -40);
        QCOMPARE(a.values[kTreeWidth], 32 * 7 - 40);
        // A column width below 16 is written as it was and raised when applied.
        QVERIFY(bytes.contains("\r\n3\r\n"));
        QCOMPARE(a.values[kFirstColumnWidth], 16);
    }

    void fourLinesGiveZerosAndTheLowerLimits()
    {
        const QString path = Path("four.dat");
        WriteAll(path, "srv:\r\n/data/\r\nMY.FDB\r\n\x8E\x52\x93\x63\r\n");
        DatabaseSettings s;
        Applied a;
        QVERIFY(LoadSettings(path, s, a.apply()));
        QCOMPARE(s.serverName, std::string("srv:"));
        QCOMPARE(s.dataFolder, std::string("/data/"));
        QCOMPARE(s.databaseFileName, std::string("MY.FDB"));
        QCOMPARE(s.userName, std::string("\x8E\x52\x93\x63"));
        QCOMPARE(int(a.values.size()), 33);
        for (int line = kMainLeft; line < kFirstColumnWidth; ++line) QCOMPARE(a.values[line], 0);
        for (int c = 0; c < kListColumnCount; ++c) QCOMPARE(a.values[kFirstColumnWidth + c], 16);
        QCOMPARE(a.values[kViewStyle], 0);
        QCOMPARE(a.values[kTreeWidth], 20);
    }

    void malformedNumbersAndALongUserName()
    {
        QByteArray text = " localhost: \r\n\r\nX\r\n";
        // 20 bytes whose 16th byte is the lead byte of a double-byte character.
        text += "ABCDEFGHIJKLMNO\x8E\x52XYZ\r\n";
        QStringList numbers;
        for (int line = 5; line <= 37; ++line) numbers << "100";
        numbers[kFirstColumnWidth - 5] = "5";
        numbers[kFirstColumnWidth + 1 - 5] = "-3";
        numbers[kTreeWidth - 5] = "abc";
        numbers[kMainLeft - 5] = "12px";
        numbers[kMainTop - 5] = "-8";
        text += numbers.join("\r\n").toLatin1() + "\r\n";
        const QString path = Path("odd.dat");
        WriteAll(path, text);

        DatabaseSettings s;
        Applied a;
        QVERIFY(LoadSettings(path, s, a.apply()));
        QCOMPARE(s.serverName, std::string(" localhost: "));   // not trimmed
        QCOMPARE(s.dataFolder, std::string());
        QCOMPARE(s.userName, std::string("ABCDEFGHIJKLMNO"));  // no half character
        QCOMPARE(a.values[kFirstColumnWidth], 16);
        QCOMPARE(a.values[kFirstColumnWidth + 1], 16);
        QCOMPARE(a.values[kFirstColumnWidth + 2], 100);
        QCOMPARE(a.values[kTreeWidth], 20);
        QCOMPARE(a.values[kMainLeft], 0);
        QCOMPARE(a.values[kMainTop], -8);
        QCOMPARE(a.values[kViewStyle], 100);
    }

    void lfOnlyLinesReadToo()
    {
        const QString path = Path("lf.dat");
        WriteAll(path, "a:\n/b/\nC.FDB\nuser\n7\n");
        DatabaseSettings s;
        Applied a;
        QVERIFY(LoadSettings(path, s, a.apply()));
        QCOMPARE(s.databaseFileName, std::string("C.FDB"));
        QCOMPARE(s.userName, std::string("user"));
        QCOMPARE(a.values[kMainLeft], 7);
    }

    void failedWriteKeepsTheOldFile()
    {
        const QString path = Path("keep.dat");
        DatabaseSettings old;
        old.dataFolder = "/old/";
        SettingsNumbers n{};
        QVERIFY(SaveSettings(path, old, n));
        const QByteArray before = ReadAll(path);

        // Files may grow to 10 bytes only: the write of the new text fails half way.
        struct rlimit saved {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 10;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        DatabaseSettings next;
        next.dataFolder = "/new/";
        const bool saved_ok = SaveSettings(path, next, n);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!saved_ok);
        QCOMPARE(ReadAll(path), before);
        // No half-written file is left beside it either.
        QCOMPARE(QDir(dir_.path()).entryList({"keep.dat*"}, QDir::Files).size(), 1);
    }

    void filesThatAreNoSettingsFiles()
    {
        // A FIFO would block open() and read() for good; a device never ends.
        const QString fifo = Path("fifo.dat");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        DatabaseSettings s;
        Applied a;
        QVERIFY(!LoadSettings(fifo, s, a.apply()));
        QVERIFY(!LoadSettings("/dev/zero", s, a.apply()));
        QVERIFY(a.values.empty());

        // Lines without ends are read a bounded part at a time: the first 4096 bytes of
        // a line count, and past a megabyte the rest reads as missing.
        QByteArray bytes = QByteArray(5000, 'a') + "\r\n/data/\r\n" + QByteArray(3 * 1024 * 1024, '7');
        WriteAll(Path("long.dat"), bytes);
        QVERIFY(LoadSettings(Path("long.dat"), s, a.apply()));
        QCOMPARE(s.serverName, std::string(4096, 'a'));
        QCOMPARE(s.dataFolder, std::string("/data/"));
        QCOMPARE(s.databaseFileName, std::string(4096, '7'));
        QCOMPARE(s.userName, std::string());
        QCOMPARE(a.values.at(kMainLeft), 0);
        QCOMPARE(a.values.at(kTreeWidth), kMinTreeWidth);
    }

    void windowsComeBackOnTheScreens_data()
    {
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("placed");
        const QList<QRect> one{QRect(0, 0, 1280, 1024)};
        // 1366 x 768 with a panel, at scale 1 and at scale 2 (device-independent pixels).
        const QList<QRect> laptop{QRect(0, 0, 1366, 740)};
        const QList<QRect> laptop2{QRect(0, 0, 683, 370)};
        const QList<QRect> two{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
        QTest::newRow("fits") << QRect(192, 107, 616, 347) << one << QRect(192, 107, 616, 347);
        QTest::newRow("partly below") << QRect(-500, 900, 616, 347) << one << QRect(0, 1024 - 32 - 347, 616, 347);
        QTest::newRow("too large") << QRect(0, 0, 2147483647, 2147483647) << one << QRect(0, 0, 1280, 1024 - 32);
        QTest::newRow("far up left") << QRect(-32767, -32767, 616, 347) << one << QRect(0, 0, 616, 347);
        QTest::newRow("far down right") << QRect(5000, 5000, 616, 347) << one
                                        << QRect(1280 - 616, 1024 - 32 - 347, 616, 347);
        QTest::newRow("above") << QRect(100, -20, 40, 40) << one << QRect(100, 0, 40, 40);
        QTest::newRow("laptop main") << QRect(192, 107, 616, 347) << laptop << QRect(192, 107, 616, 347);
        QTest::newRow("laptop group") << QRect(1000, 300, 831, 520) << laptop << QRect(1366 - 831, 740 - 32 - 520, 831, 520);
        QTest::newRow("scale 2 main") << QRect(192, 107, 616, 347) << laptop2 << QRect(683 - 616, 0, 616, 370 - 32);
        QTest::newRow("scale 2 group") << QRect(193, 109, 961, 520) << laptop2 << QRect(0, 0, 683, 370 - 32);
        QTest::newRow("second screen") << QRect(2000, 400, 800, 600) << two << QRect(2000, 400, 800, 600);
        QTest::newRow("below both") << QRect(2000, 3000, 800, 600) << two << QRect(2000, 1080 - 32 - 600, 800, 600);
        QTest::newRow("maximised right") << QRect(1280, 0, 3200, 1080) << two << QRect(1280, 0, 1920, 1080 - 32);
        QTest::newRow("no screen") << QRect(-5000, 0, 100, 100) << QList<QRect>{} << QRect(0, 0, 100, 100);
    }

    void windowsComeBackOnTheScreens()
    {
        QFETCH(QRect, stored);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, placed);
        QCOMPARE(PlaceOnScreens(stored.x(), stored.y(), stored.width(), stored.height(), screens), placed);
        // Values no QRect can hold come from damaged files too.
        QCOMPARE(PlaceOnScreens(-2147483647 - 1, 2147483647, -32767, -32767, screens.mid(0, 1)).topLeft(),
                 screens.isEmpty() ? QPoint(0, 768 - 32) : QPoint(screens[0].x(), screens[0].bottom() + 1 - 32));
    }

    void databaseExtension()
    {
        QCOMPARE(WithDatabaseExtension("JWWDB"), std::string("JWWDB.FDB"));
        QCOMPARE(WithDatabaseExtension("MY.GDB"), std::string("MY.GDB"));
        QCOMPARE(WithDatabaseExtension("DB."), std::string("DB."));
        QCOMPARE(WithDatabaseExtension("OLD.D\\DB"), std::string("OLD.D\\DB.FDB"));
        QCOMPARE(WithDatabaseExtension("OLD.D/DB"), std::string("OLD.D/DB.FDB"));
        QCOMPARE(WithDatabaseExtension("C:DB"), std::string("C:DB.FDB"));
        // 表 ends in the byte of a backslash; the period before it still counts.
        QCOMPARE(WithDatabaseExtension("A.\x95\x5C"), std::string("A.\x95\x5C"));
    }

    // Two copies of one user close one after the other: neither puts back what the
    // other changed, and each keeps what it changed itself.
    void twoCopiesKeepEachOthersChanges()
    {
        SettingsContents start;
        start.settings.dataFolder = "/srv/office/";
        start.numbers[kMainLeft - kFirstNumberLine] = 10;
        start.numbers[kViewStyle - kFirstNumberLine] = 0;
        const QString path = Path("two.dat");
        QVERIFY(SaveSettings(path, start.settings, start.numbers));

        // The first copy chose another database; the second moved its main window.
        SettingsContents first = start, second = start;
        first.settings.dataFolder = "/srv/other/";
        second.numbers[kMainLeft - kFirstNumberLine] = 300;
        second.numbers[kViewStyle - kFirstNumberLine] = 2;

        const SettingsContents afterFirst = MergeSettings(start, first, ReadSettingsContents(path));
        QVERIFY(SaveSettings(path, afterFirst.settings, afterFirst.numbers));
        const SettingsContents afterSecond = MergeSettings(start, second, ReadSettingsContents(path));
        QVERIFY(SaveSettings(path, afterSecond.settings, afterSecond.numbers));

        const std::optional<SettingsContents> end = ReadSettingsContents(path);
        QVERIFY(end);
        QCOMPARE(end->settings.dataFolder, std::string("/srv/other/"));
        QCOMPARE(end->numbers[kMainLeft - kFirstNumberLine], 300);
        QCOMPARE(end->numbers[kViewStyle - kFirstNumberLine], 2);
        // The file gone meanwhile: all of this copy's.
        QVERIFY(QFile::remove(path));
        QCOMPARE(MergeSettings(start, second, ReadSettingsContents(path)).settings.dataFolder,
                 std::string("/srv/office/"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
