// Reading the drawings' texts into the shared table as the program and `kumolist --index`
// do: the real thumbnailer on real drawings, read once, read again only when changed,
// unreadable and missing files remembered, rows no entry names dropped, the exit codes
// (a lost server among them), and the status bar's count with its cancel.
#include <sstream>

#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "drawing/drawingtexts.h"
#include "entries.h"
#include "shell/admincommands.h"
#include "shell/drawingtextreader.h"
#include "shell/drawingtextreading.h"
#include "store/drawingtexts.h"
#include "support/testdb.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

const QString kThumbnailer = QStringLiteral(KUMO_THUMBNAILER);

// A folder of drawings as a file server holds them.
struct Disk {
    QTemporaryDir dir;
    std::string folder;   // CP932, with its last "/"
    Disk() : folder(FromQ(dir.path() + "/").value()) {}
    bool Copy(const char* real, const QString& as)
    {
        return QFile::copy(QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(real), dir.path() + "/" + as);
    }
    bool Write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.path() + "/" + name);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    bool Touch(const QString& name, time_t when)
    {
        const utimbuf times{when, when};
        return ::utime(QFile::encodeName(dir.path() + "/" + name).constData(), &times) == 0;
    }
};

// The stored texts of a file, as stored (read as bytes: a cast to text without a
// character set turns every byte above ASCII into a dot); "<none>" without a row, "" for NULL.
std::string Texts(DatabaseSession& s, const std::string& name)
{
    std::vector<TextRow> rows;
    if (!s.SelectStatement({"SELECT CAST(TEXTS AS VARCHAR(32000) CHARACTER SET OCTETS) FROM KUMO_DRAWINGTEXT WHERE FNAME = " +
                                TextLiteral(name) + ";"},
                           rows))
        return "<failed>";
    return rows.empty() ? "<none>" : rows[0][0];
}

QStringList Utf8(const std::vector<std::string>& paths)
{
    QStringList out;
    for (const std::string& p : paths) out << ToQ(p);
    return out;
}

} // namespace

class DrawingTextReadingTest : public QObject {
    Q_OBJECT
private slots:
    void readOnceAndAgainWhenChanged()
    {
        Disk disk;
        QVERIFY(disk.Copy("サンプル.jww", "サンプル.jww") && disk.Copy("Test1.jww", "t1.JWW"));
        QVERIFY(disk.Write("broken.jww", "no drawing") && disk.Write("note.txt", "text"));
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& s = f.session;
        const std::string& d = disk.folder;
        QVERIFY(InsertGroup(s, 1, "A", "", "0", "0") && InsertGroup(s, 2, "B", "", "0", "0"));
        QVERIFY(OpenGroupTables(s, 1) && OpenGroupTables(s, 2));
        QVERIFY(AddEntry(s, 1, 1, d, Sj("サンプル.jww"), "", 0) && AddEntry(s, 1, 2, d, "t1.JWW", "", 0) &&
                AddEntry(s, 1, 3, d, "broken.jww", "", 0) && AddEntry(s, 1, 4, d, "gone.jww", "", 0) &&
                AddEntry(s, 1, 5, d, "note.txt", "", 0) && AddEntry(s, 2, 1, d, "t1.JWW", "", 0));
        const DrawingTextJob job{kThumbnailer, {}, 0};

        // Each drawing once, whichever groups file it; the rest remembered as such.
        DrawingTextCounts c;
        std::vector<std::size_t> seen;
        QCOMPARE(ReadDrawingTexts(s, job, c, [&](const DrawingTextCounts& now) {
                     seen.push_back(now.done);
                     return true;
                 }),
                 DrawingTextEnd::Finished);
        QCOMPARE(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
        QVERIFY(c.toRead == 4 && c.stored == 2 && c.unchanged == 0);
        QCOMPARE(Utf8(c.unreadable), QStringList{ToQ(d + "broken.jww")});
        QCOMPARE(Utf8(c.missing), QStringList{ToQ(d + "gone.jww")});
        const std::string sample = ReadDrawingTextsJson(disk.dir.path().toStdString() + "/サンプル.jww").value();
        QCOMPARE(Texts(s, Sj("サンプル.jww")), sample);
        QCOMPARE(Texts(s, "broken.jww"), std::string());
        QCOMPARE(Texts(s, "note.txt"), std::string("<none>"));
        const StoredDrawingTexts first = ReadStoredDrawingTexts(s).value();
        QCOMPARE(first.size(), std::size_t(4));

        // Nothing changed: nothing read, the unreadable and missing still told.
        QCOMPARE(ReadDrawingTexts(s, job, c, {}), DrawingTextEnd::Finished);
        QVERIFY(c.toRead == 0 && c.unchanged == 4 && c.unreadable.size() == 1 && c.missing.size() == 1);

        // A changed drawing is read again, and a file that is a drawing now too.
        QVERIFY(disk.Touch("t1.JWW", 1600000000));
        QVERIFY(disk.Copy("Test2.jww", "b2.jww") && QFile::remove(disk.dir.path() + "/broken.jww") &&
                QFile::rename(disk.dir.path() + "/b2.jww", disk.dir.path() + "/broken.jww"));
        QCOMPARE(ReadDrawingTexts(s, job, c, {}), DrawingTextEnd::Finished);
        QVERIFY(c.toRead == 2 && c.stored == 2 && c.unreadable.empty());
        const StoredDrawingTexts second = ReadStoredDrawingTexts(s).value();
        const DrawingTextKey t1{d, "t1.JWW"}, sampleKey{d, Sj("サンプル.jww")};
        QCOMPARE(second.at(t1).time, 1600000000LL);
        QVERIFY(std::stoll(second.at(t1).stamp) > std::stoll(first.at(t1).stamp));
        QCOMPARE(second.at(sampleKey).stamp, first.at(sampleKey).stamp);

        // One group alone drops nothing; every group drops the rows no entry names.
        QVERIFY(s.DeleteRecords(FileTableName(1), "N IN (2, 3)"));
        QCOMPARE(ReadDrawingTexts(s, {kThumbnailer, {}, 1}, c, {}), DrawingTextEnd::Finished);
        QCOMPARE(c.dropped, std::size_t(0));
        QCOMPARE(ReadDrawingTexts(s, job, c, {}), DrawingTextEnd::Finished);
        QCOMPARE(c.dropped, std::size_t(1));   // broken.jww; t1.JWW is still in group 2
        QCOMPARE(Texts(s, "broken.jww"), std::string("<none>"));

        // The terminal command: 1 while a drawing is missing (listed), 0 once none is, 2
        // without its helper or its server.
        std::ostringstream out, err;
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index"}, s, {}, out, err, kThumbnailer), 1);
        QVERIFY2(QString::fromStdString(out.str()).endsWith(QString("見つからない図面\t") + ToQ(d) + "gone.jww\n"),
                 out.str().c_str());
        QVERIFY(s.DeleteRecords(FileTableName(1), "N = 4"));
        out.str("");
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index", "--group", "1"}, s, {}, out, err, kThumbnailer), 0);
        QVERIFY2(out.str().starts_with("図面の文字: 読み込み 0、変更なし 1、"), out.str().c_str());
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index"}, s, {}, out, err, "/nonexistent/thumbnailer"), 2);
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index", "--group"}, s, {}, out, err, kThumbnailer), 2);
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index", "--group", "9"}, s, {}, out, err, kThumbnailer), 2);
        s.CloseDatabase();
        err.str("");
        QCOMPARE(RunAdminCommandOn({"kumolist", "--index"}, s, {}, out, err, kThumbnailer), 2);
        QCOMPARE(QString::fromStdString(err.str()), QString("データベースとの接続が切れました。\n"));
    }

    // The status bar counts while reading and ends with a summary; the cancel stops it
    // and holds.
    void statusBarCountsAndCancels()
    {
        Disk disk;
        FreshSession f;
        QVERIFY(f.ok);
        QVERIFY(InsertGroup(f.session, 1, "A", "", "0", "0") && OpenGroupTables(f.session, 1));
        for (int i = 1; i <= 40; ++i) {
            const QString name = QString("d%1.jww").arg(i);
            QVERIFY(disk.Copy("Test1.jww", name) && AddEntry(f.session, 1, i, disk.folder, name.toStdString(), "", 0));
        }
        f.session.EndRead();
        QStatusBar bar;
        DrawingTextReader reader(&bar);
        QSignalSpy ended(&reader, &DrawingTextReader::Ended);
        reader.Start(f.db.settings, kThumbnailer, {}, 1);
        QTRY_VERIFY_WITH_TIMEOUT(reader.Label()->text().startsWith("図面の文字を読み込み中 "), 20000);
        QVERIFY(reader.Label()->text().endsWith(" / 40"));
        QVERIFY(reader.Panel()->isVisibleTo(&bar) && reader.CancelButton()->isVisibleTo(&bar));
        reader.CancelButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        QCOMPARE(reader.Label()->text(), QString("図面の文字の読み込みを中止しました"));
        const std::size_t stored = ReadStoredDrawingTexts(f.session).value_or(StoredDrawingTexts{}).size();
        QVERIFY(stored < 40);
        reader.Start(f.db.settings, kThumbnailer, {}, 0);   // a cancel holds
        QTest::qWait(DrawingTextReader::kLaunchDelayMs + 500);
        QVERIFY(!reader.Running());

        DrawingTextReader again(&bar);
        QSignalSpy againEnded(&again, &DrawingTextReader::Ended);
        again.Start(f.db.settings, kThumbnailer, {}, 0);
        QTRY_COMPARE_WITH_TIMEOUT(againEnded.count(), 1, 60000);
        QCOMPARE(again.Label()->text(), QString("図面の文字を読み込みました %1 件（読めない図面 0、見つからない図面 0）")
                                            .arg(40 - stored));
    }

    void groupedNumbers()
    {
        const std::pair<std::size_t, const char*> cases[] = {
            {0, "0"}, {999, "999"}, {1000, "1 000"}, {4000, "4 000"}, {1234567, "1 234 567"}};
        for (const auto& [n, text] : cases) QCOMPARE(GroupedNumber(n), std::string(text));
        QCOMPARE(DrawingTextProgressText(120, 4000), std::string("図面の文字を読み込み中 120 / 4 000"));
    }
};

QTEST_MAIN(DrawingTextReadingTest)
#include "test_drawingtextreading.moc"
