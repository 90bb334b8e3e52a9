// The drawing list as PDF, made from a group the test fills with real drawings: read back
// with poppler's tools, as anyone who receives the file would read it.
#include <sstream>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "drawinglist/listpainter.h"
#include "drawinglist/listthumbs.h"
#include "entries.h"
#include "groupwin/grouptables.h"
#include "groupwin/listrows.h"
#include "shell/admincommands.h"
#include "support/testdb.h"
#include "text/cp932.h"

namespace {

QString Run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return QStringLiteral("<failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PageCount(const QString& pdf)
{
    const QString info = Run("pdfinfo", {pdf});
    const qsizetype at = info.indexOf("Pages:");
    return at < 0 ? -1 : info.mid(at + 6).section('\n', 0, 0).trimmed().toInt();
}

// The text of each page. Qt names some kanji by their radicals' code points (面 as ⾯,
// the same glyph), which NFKC takes back, as PDF viewers do when they search.
QStringList PageTexts(const QString& pdf, int pages)
{
    QStringList texts;
    for (int n = 1; n <= pages; ++n)
        texts << Run("pdftotext", {"-f", QString::number(n), "-l", QString::number(n), pdf, "-"})
                     .normalized(QString::NormalizationForm_KC);
    return texts;
}

int ImageCount(const QString& pdf)
{
    // Two heading lines, then one line per picture.
    return static_cast<int>(Run("pdfimages", {"-list", pdf}).split('\n', Qt::SkipEmptyParts).size()) - 2;
}

const char* const kDrawings[] = {"Test1.jww", "Test2.jww", "non_block.jww", "サンプル.jww", "敷地図.jww"};

} // namespace

class TestDrawingList : public QObject {
    Q_OBJECT
private slots:
    void groupAsPdf();
};

// Group 1: 17 drawings (copies of the real ones under names of their own), a text file
// and a missing drawing, the last four filed under sub-group 1; group 2 is empty. Each
// page holds whole rows: an entry's name, memo and the mark of a missing file stand on
// one page, every entry on exactly one.
void TestDrawingList::groupAsPdf()
{
    QTemporaryDir disk;
    Setup s;
    QVERIFY(s.ok);
    QVERIFY(InsertGroup(s.session, 1, Sj("現場A"), "", "0", "0", "", Sj("新築工事")));
    QVERIFY(InsertGroup(s.session, 2, Sj("空"), "", "0", "0"));
    QVERIFY(OpenGroupTables(s.session, 1) && OpenGroupTables(s.session, 2));
    QVERIFY(AddSubGroup(s.session, 1, 1, Sj("設備")));
    QStringList names, memos;
    for (int i = 1; i <= 19; ++i) {
        const QString name = i == 18 ? "仕様書-18.txt" : QString("平面図-%1.jww").arg(i, 2, 10, QChar('0'));
        const QString path = disk.filePath(name);
        if (i <= 17) QVERIFY(QFile::copy(QString(KUMO_TESTDATA) + "/jww/" + kDrawings[i % 5], path));
        if (i == 18) QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        names << name;
        memos << QString("メモ%1 一階").arg(i);
        QVERIFY(AddEntry(s.session, 1, i, FromQ(disk.path() + "/").value(), FromQ(name).value(), FromQ(memos.last()).value(),
                         i >= 16 ? 1 : 0));
    }
    const QString out = disk.filePath("list.pdf");
    struct Case {
        QStringList args;
        int code, pages, entries, images;
        QString heading;
    };
    const Case cases[] = {
        {{"--group", "1"}, 0, 3, 19, 17, "新築工事"},
        {{"--group", "1", "--landscape"}, 0, 4, 19, 17, "現場A"},
        {{"--group", "1", "--sub-group", "1", "--paper", "A3"}, 0, 1, 4, 2, "サブグループ: 設備"},
        {{"--group", "2"}, 1, 0, 0, 0, ""},
        {{"--group", "1", "--sub-group", "7"}, 2, 0, 0, 0, ""},
        {{"--group", "1", "--paper", "B5"}, 2, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        QFile::remove(out);
        std::ostringstream o, e;
        const QStringList args = QStringList{"kumolist", "--drawing-list"} + c.args + QStringList{"--pdf", out};
        QCOMPARE(RunDrawingListOn(args, s.session, {}, KUMO_THUMBNAILER, o, e), c.code);
        QCOMPARE(QFile::exists(out), c.code == 0);
        if (c.code != 0) {
            QVERIFY(!e.str().empty());
            continue;
        }
        QCOMPARE(PageCount(out), c.pages);
        QCOMPARE(ImageCount(out), c.images);
        const QStringList pages = PageTexts(out, c.pages);
        QVERIFY2(pages.first().contains(c.heading), qPrintable(pages.first()));
        // "3 / 3": pdftotext may take the narrow blanks for none.
        QVERIFY(QString(pages.last()).remove(' ').contains(QString("%1/%1").arg(c.pages)));
        int listed = 0;
        for (int i = 0; i < names.size(); ++i) {
            QList<int> on;
            for (int p = 0; p < pages.size(); ++p)
                if (pages[p].contains(names[i])) on << p;
            if (on.isEmpty()) continue;
            ++listed;
            QCOMPARE(on.size(), 1);
            QVERIFY2(pages[on[0]].contains(memos[i]), qPrintable(names[i]));
            if (i == 18) QVERIFY(pages[on[0]].contains("ファイルなし"));
        }
        QCOMPARE(listed, c.entries);
    }

    // A grid of thumbnails, 2 × 3 a page; a thumbnailer that cannot start leaves the
    // pictures out and the list whole.
    const std::optional<std::vector<FileRow>> rows = ReadFileRows(s.session, 1, 0);
    QVERIFY(rows);
    for (const QString& thumbnailer : {QString(KUMO_THUMBNAILER), disk.filePath("none")}) {
        DrawingList list;
        for (const FileRow& row : *rows) list.entries.push_back(ListEntryOf(row));
        ListPageSetup grid;
        grid.style = ListStyle::Grid;
        grid.columns = 2;
        grid.rows = 3;
        ListThumbnails thumbnails(thumbnailer, ThumbnailPixels(LayOut(grid), grid, kListDpi));
        QVERIFY(DrawListPictures(list.entries, thumbnails, list.pictures, {}));
        QCOMPARE(WriteDrawingListPdf(out, list, grid, kListDpi), PdfOutcome::Written);
        QCOMPARE(PageCount(out), 4);
        QCOMPARE(ImageCount(out), thumbnailer == KUMO_THUMBNAILER ? 17 : 0);
        const QStringList pages = PageTexts(out, 4);
        QVERIFY(pages[3].contains(names[18]) && pages[3].contains("ファイルなし"));
    }

    // The program itself, from a terminal without a display, with the thumbnailer beside it.
    s.Done();
    QVERIFY(QFile::copy(QStringLiteral(KUMO_PROGRAM), s.folder.programFile()));
    for (const auto& [group, code] : {std::pair{"1", 0}, std::pair{"2", 1}}) {
        QFile::remove(out);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        program.setProcessEnvironment(env);
        program.start(s.folder.programFile(), {"--drawing-list", "--group", group, "--pdf", out});
        QVERIFY(program.waitForFinished(120000));
        QCOMPARE(program.exitCode(), code);
        QCOMPARE(QFile::exists(out), code == 0);
        if (code == 0) {
            QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), "19 件、3 ページ: " + out + "\n");
            QCOMPARE(ImageCount(out), 17);
        }
    }
}

QTEST_MAIN(TestDrawingList)
#include "test_drawinglist.moc"
