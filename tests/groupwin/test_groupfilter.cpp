// The group window's filter box as a user types into it, in each view style, and the
// commands that then act on what it shows: the selection and the drawing list.
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "groupcontrols.h"
#include "groupwin/groupwindow.h"
#include "store/grouptables.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

const char* const kNames[] = {"ガス配管図.jww", "ｶﾞｽ系統.jww", "平面図.jww", "Genba-A.JWW", "表紙.jww", "立面図.jww"};
const char* const kMemos[] = {"１階", "", "ガス 予備", "", "", "南面"};

std::string Cp(const QString& s) { return FromQ(s).value(); }

QStringList ShownNames(GroupWindow* w)
{
    QStringList names;
    for (int r = 0; r < ShownRows(w)->rowCount(); ++r) names << ShownRows(w)->index(r, kCellName).data().toString();
    return names;
}

} // namespace

class TestGroupFilter : public QObject {
    Q_OBJECT
private slots:
    void filterShowsWhatIsTyped();
};

void TestGroupFilter::filterShowsWhatIsTyped()
{
    // The first entry is a real drawing: its picture must reach the drawing list.
    QTemporaryDir disk;
    QVERIFY(QFile::copy(QString(KUMO_TESTDATA) + "/jww/Test1.jww", disk.filePath(kNames[0])));
    Setup set;
    QVERIFY(set.ok && InsertGroup(set.session, 1, "g", "", "10", "10") && EnsureGroupTables(set.session, 1));
    for (int i = 0; i < 6; ++i)
        QVERIFY(set.session.InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                         {IntToStr(i + 1), TextLiteral(Cp(kNames[i])),
                                          TextLiteral(i == 0 ? Cp(disk.path() + "/") : "/nowhere/"),
                                          TextLiteral(Cp(kMemos[i])), "'u'", "0"}));
    set.Done();
    Program p(set.folder.programFile());
    QVERIFY(p.Show());
    GroupWindow* w = p.windows.groupWindow;
    Select(p, 1);
    Trigger(p, "mnuOpenGroup");
    QVERIFY(QTest::qWaitForWindowExposed(w));
    auto* filter = Control<QLineEdit>(w, "filterEdit");
    auto count = [w] {
        QCoreApplication::processEvents();
        return Control<QLabel>(w, "countLabel")->text();
    };

    struct Case {
        const char* typed;
        QStringList shown;
    };
    const Case cases[] = {
        {"がす", {kNames[0], kNames[1], kNames[2]}},   // kana and width, in names and a memo
        {"ＧＥＮＢＡ", {kNames[3]}},                    // width and case
        {"1階", {kNames[0]}},                           // a full-width digit in a memo
        {"\\", {}},                                     // never the second byte of 表
        {"面", {kNames[2], kNames[5]}},
        {"", {kNames[0], kNames[1], kNames[2], kNames[3], kNames[4], kNames[5]}},
    };
    for (int style = 0; style < 3; ++style) {
        w->SetViewStyleIndex(style);
        for (const Case& c : cases) {
            if (*c.typed)
                TypeCommitted(filter, QString::fromUtf8(c.typed));
            else
                filter->clear();
            QCOMPARE(ShownNames(w), c.shown);
            QCOMPARE(count(), *c.typed ? QString("6 件中 %1 件を表示").arg(c.shown.size()) : QString("6 件"));
        }
    }

    // A sort stays through the filter: the rows shown keep the order chosen, and those
    // it brings back stand where that order put them.
    w->SortByColumn(kCellMemo);
    w->SortByColumn(kCellMemo);   // descending, equal memos in the order before
    const QStringList sorted = ShownNames(w);
    QCOMPARE(sorted, (QStringList{kNames[5], kNames[2], kNames[0], kNames[1], kNames[3], kNames[4]}));
    TypeCommitted(filter, "図");
    QStringList kept = sorted;
    kept.removeIf([](const QString& name) { return !name.contains("図"); });
    QCOMPARE(ShownNames(w), kept);
    filter->clear();
    QCOMPARE(ShownNames(w), sorted);

    // The commands see only what is shown: select all, then the drawing list as PDF.
    w->SetViewStyleIndex(2);
    TypeCommitted(filter, "がす");
    QTest::keyClick(DetailView(w), Qt::Key_A, Qt::ControlModifier);
    std::vector<int32_t> selected = w->SelectedEntries();
    std::sort(selected.begin(), selected.end());
    QCOMPARE(selected, (std::vector<int32_t>{1, 2, 3}));
    QCOMPARE(count(), QString("6 件中 3 件を表示（3 件選択）"));
    QTemporaryDir out;
    p.fake.fileDialogs.nextSaveNames.push_back(out.filePath("list.pdf"));
    w->SetListSetupAsker([](QWidget*) { return std::optional<ListPageSetup>(ListPageSetup{}); });
    Control<QAction>(w, "pdfListAction")->trigger();
    QProcess text;
    text.start("pdftotext", {out.filePath("list.pdf"), "-"});
    QVERIFY(text.waitForFinished(60000));
    const QString pdf = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(pdf.contains(QString::fromUtf8(kNames[i]).normalized(QString::NormalizationForm_KC)), i < 3);
    QCOMPARE(Control<QStatusBar>(w, "statusLine")->currentMessage(), QString("図面リスト 3 件を PDF に出力しました"));
    QProcess images;
    images.start("pdfimages", {"-list", out.filePath("list.pdf")});
    QVERIFY(images.waitForFinished(60000));
    QCOMPARE(images.readAllStandardOutput().count('\n'), 3);   // two heading lines, one picture

    // Cancelled while the pictures are drawn or the pages written: the file named keeps
    // what it held.
    FakeProgress& progress = p.fake.progress;
    QCOMPARE(progress.totals.front(), 3);
    for (const QString stopIn : {"図面の縮小図を作成しています...", "PDFを書き込んでいます..."}) {
        QFile old(out.filePath("list.pdf"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        progress.cancelAt = -1;
        progress.onUpdate = [&](int) {
            if (progress.labels.back() == stopIn) progress.cancelAt = 0;
        };
        p.fake.fileDialogs.nextSaveNames.push_back(out.filePath("list.pdf"));
        Control<QAction>(w, "pdfListAction")->trigger();
        QCOMPARE(Control<QStatusBar>(w, "statusLine")->currentMessage(), QString("図面リストを中止しました"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        old.close();
    }
    progress.onUpdate = {};
    progress.cancelAt = -1;

    // Ctrl+F goes to the box; Esc there clears it, a second Esc closes the window.
    DetailView(w)->setFocus();
    QTest::keyClick(DetailView(w), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(filter->hasFocus());
    QTest::keyClick(filter, Qt::Key_Escape);
    QCOMPARE(filter->text(), QString());
    QCOMPARE(ShownRows(w)->rowCount(), 6);
    QVERIFY(w->isVisible());
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
}

QTEST_MAIN(TestGroupFilter)
#include "test_groupfilter.moc"
