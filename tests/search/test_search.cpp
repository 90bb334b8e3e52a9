// The search over all groups against the real server: the lines it lists, the
// statements it sends with the Escape checks between them, what the pattern means,
// and where Escape stops it.
#include <chrono>
#include <thread>

#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "search/search.h"
#include "support/testdb.h"
#include "text/textutil.h"

namespace {

const std::string kPoll = "Escape?";

// Writes each poll into the statement trace; goes down after `upFor` polls (never when negative).
class TracedEscape : public EscapeKey {
public:
    explicit TracedEscape(std::vector<std::string>* trace = nullptr) : trace_(trace) {}
    bool IsDown() const override
    {
        if (trace_) trace_->push_back(kPoll);
        if (upFor < 0) return false;
        return upFor-- == 0;
    }
    mutable int upFor = -1;

private:
    std::vector<std::string>* trace_;
};

class Key : public EscapeKey {
public:
    bool IsDown() const override { return down; }
    bool down = false;
};

struct Run {
    std::vector<std::string> lines;
    int batches = 0;
    bool stopped = false;
};

Run Search(DatabaseSession& db, SearchColumn column, const std::string& text, const EscapeKey& escape)
{
    Run r;
    r.stopped = SearchAllGroups(db, column, text, escape, [&r](std::vector<std::string>& batch) {
        ++r.batches;
        QVERIFY(!batch.empty());
        r.lines.insert(r.lines.end(), batch.begin(), batch.end());
    });
    return r;
}

Run Search(DatabaseSession& db, SearchColumn column, const char* utf8Text)
{
    static const Key up;
    return Search(db, column, Sj(utf8Text), up);
}

std::string Count(const std::string& table, const std::string& condition = "")
{
    return "SELECT * \r\n   FROM " + table + " \r\n" + (condition.empty() ? "" : "   WHERE " + condition + " \r\n") +
           "   ;\r\n";
}

std::string Select(const std::string& table, const std::string& condition = "")
{
    return "SELECT * \r\n   FROM " + table + " \r\n" + (condition.empty() ? "" : "   WHERE " + condition + " \r\n") +
           "   ORDER BY N \r\n   ;\r\n";
}

// Groups 1, 2 and 3, each opened, with one sub-group and two entries whose memos hold 図.
void ThreeGroups(DatabaseSession& db)
{
    for (int g = 1; g <= 3; ++g) {
        QVERIFY(InsertGroup(db, g, Sj("班") + IntToStr(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, g));
        QVERIFY(AddSubGroup(db, g, 1, "S"));
        for (int n = 1; n <= 2; ++n) QVERIFY(AddEntry(db, g, n, "C:\\", "f" + IntToStr(n), Sj("図"), 1));
    }
}

QStringList ThreeGroupLines(int groups)
{
    QStringList lines;
    for (int g = 1; g <= groups; ++g)
        lines << QString("グループ【班%1】(N:%1)").arg(g) << "C:\\f1(N:1) 【S】『図』" << "C:\\f2(N:2) 【S】『図』";
    return lines;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    // Three groups, the second never opened: the lines, and every statement and Escape
    // check in the order they happen.
    void linesStatementsAndChecks()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        QVERIFY(InsertGroup(db, 3, Sj("設備"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 1, Sj("新築Ａ棟"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 2, Sj("未使用"), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(AddSubGroup(db, 1, 2, Sj("立面図")));
        QVERIFY(AddSubGroup(db, 1, 1, Sj("平面図")));
        // In the root; in a sub-group; in a sub-group deleted since; not matching.
        QVERIFY(AddEntry(db, 1, 3, Sj("C:\\表\\"), "a3.jww", Sj("平面図 1F"), 1));
        QVERIFY(AddEntry(db, 1, 1, "C:\\x\\", "a1.jww", Sj("配置図"), 0));
        QVERIFY(AddEntry(db, 1, 4, "C:\\x\\", "a4.jww", Sj("断面図"), 7));
        QVERIFY(AddEntry(db, 1, 2, "C:\\x\\", "a2.jww", Sj("写真"), 2));
        QVERIFY(OpenGroupTables(db, 3));
        QVERIFY(AddEntry(db, 3, 1, "D:\\e\\", "b1.jww", Sj("系統図"), 0));
        QVERIFY(AddEntry(db, 3, 2, "D:\\e\\", "b2.jww", Sj("図"), 1));

        std::vector<std::string> trace;
        db.SetStatementLog([&trace](const std::string& s) { trace.push_back(s); });
        TracedEscape escape(&trace);
        const Run r = Search(db, SearchColumn::Memo, Sj("図"), escape);
        QVERIFY(!r.stopped);
        QCOMPARE(Readable(r.lines), (QStringList{"グループ【新築Ａ棟】(N:1)", "C:\\x\\a1.jww(N:1) 『配置図』",
                                                 "C:\\表\\a3.jww(N:3) 【平面図】『平面図 1F』",
                                                 "C:\\x\\a4.jww(N:4) 『断面図』", "グループ【設備】(N:3)",
                                                 "D:\\e\\b1.jww(N:1) 『系統図』", "D:\\e\\b2.jww(N:2) 『図』"}));

        const std::string like = "FILE_MEMO LIKE '%" + Sj("図") + "%'";
        std::vector<std::string> want{Count(kCatalogueTable), Select(kCatalogueTable), kPoll, kPoll, kPoll};
        auto group = [&](int g, int subGroups, int matches) {
            const std::string n = IntToStr(g);
            want.insert(want.end(), {kPoll, Count("GRP2_" + n), Select("GRP2_" + n)});
            want.insert(want.end(), static_cast<size_t>(subGroups), kPoll);
            want.insert(want.end(), {kPoll, Count("GRP1_" + n, like), Select("GRP1_" + n, like)});
            want.insert(want.end(), static_cast<size_t>(matches), kPoll);
            want.push_back(kPoll);
        };
        group(1, 2, 3);
        group(2, 0, 0);
        group(3, 0, 2);
        QCOMPARE(trace, want);
        QVERIFY(!db.ResultOpen());
    }

    // The text goes into LIKE as typed: wildcards work, blanks count, case counts; each
    // option searches its own column. Refused texts, a missing catalogue and a detached
    // session list nothing.
    void patternsAndNothingToSearch()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        std::vector<std::string> sent;
        db.SetStatementLog([&sent](const std::string& s) { sent.push_back(s); });
        const Run noCatalogue = Search(db, SearchColumn::Folder, "x");
        QVERIFY(noCatalogue.lines.empty() && !noCatalogue.stopped);
        QCOMPARE(sent, (std::vector<std::string>{Count(kCatalogueTable), Select(kCatalogueTable)}));

        QVERIFY(CreateCatalogueTable(db));
        QVERIFY(Search(db, SearchColumn::Folder, "x").lines.empty());
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(AddEntry(db, 1, 1, "C:\\a\\", "plan50x.jww", "ABC", 0));
        QVERIFY(AddEntry(db, 1, 2, Sj("C:\\b 図\\"), "p5_0.jww", "", 0));
        QVERIFY(AddEntry(db, 1, 3, "C:\\c\\", "x.JWW", Sj(" 図面"), 0));

        const QString a = "C:\\a\\plan50x.jww(N:1) 『ABC』", b = "C:\\b 図\\p5_0.jww(N:2) 『』",
                      c = "C:\\c\\x.JWW(N:3) 『 図面』", header = "グループ【G】(N:1)";
        struct Case {
            SearchColumn column;
            const char* text;
            QStringList lines;
        };
        const Case cases[] = {
            {SearchColumn::FileName, "50%", {header, a}},
            {SearchColumn::FileName, "5%0", {header, a, b}},
            {SearchColumn::FileName, "5_0", {header, b}},
            {SearchColumn::FileName, "jww", {header, a, b}},
            {SearchColumn::FileName, "JWW", {header, c}},
            {SearchColumn::Memo, " 図", {header, c}},
            {SearchColumn::Memo, "図 ", {}},
            {SearchColumn::Memo, "abc", {}},
            {SearchColumn::Folder, "b 図", {header, b}},
            {SearchColumn::Folder, "plan", {}},
        };
        for (const Case& k : cases) QCOMPARE(Readable(Search(db, k.column, k.text).lines), k.lines);

        sent.clear();
        for (const char* refused : {"", "   ", "\t ", "a'b", "\"", " ' "}) {
            QVERIFY(CheckSearchText(Sj(refused)) != SearchRefusal::None);
            QVERIFY(Search(db, SearchColumn::Folder, refused).lines.empty());
        }
        QCOMPARE(CheckSearchText(" \t"), SearchRefusal::Blank);
        QCOMPARE(CheckSearchText(" ' "), SearchRefusal::Quote);
        QCOMPARE(CheckSearchText(Sj("　")), SearchRefusal::None);   // a full-width blank is a character
        QVERIFY(sent.empty());

        db.CloseDatabase();
        QVERIFY(Search(db, SearchColumn::Folder, "C").lines.empty());
        QVERIFY(sent.empty());
    }

    // Escape held at the start lists nothing; pressed in the third group it keeps the
    // first two; pressed among a group's entries it keeps those read. The open result
    // is closed in every case.
    void escapeStops()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        ThreeGroups(db);
        std::vector<std::string> sent;
        db.SetStatementLog([&sent](const std::string& s) { sent.push_back(s); });

        Key held;
        held.down = true;
        Run r = Search(db, SearchColumn::Memo, Sj("図"), held);
        QVERIFY(r.stopped && r.lines.empty());
        QCOMPARE(sent, (std::vector<std::string>{Count(kCatalogueTable), Select(kCatalogueTable)}));
        QVERIFY(!db.ResultOpen());

        // Pressed as the third group's sub-groups are counted.
        Key pressed;
        db.SetStatementLog([&](const std::string& s) {
            sent.push_back(s);
            if (s.find(SubGroupTableName(3)) != std::string::npos) pressed.down = true;
        });
        sent.clear();
        r = Search(db, SearchColumn::Memo, Sj("図"), pressed);
        QVERIFY(r.stopped);
        QCOMPARE(Readable(r.lines), ThreeGroupLines(2));
        for (const std::string& s : sent) QVERIFY(s.find(FileTableName(3)) == std::string::npos);
        QVERIFY(!db.ResultOpen());

        // Pressed after the first entry of group 2 was read.
        TracedEscape later;
        db.SetStatementLog([&](const std::string& s) {
            if (s.find("ORDER BY") != std::string::npos && s.find(FileTableName(2)) != std::string::npos) later.upFor = 1;
        });
        r = Search(db, SearchColumn::Memo, Sj("図"), later);
        QVERIFY(r.stopped);
        QCOMPARE(Readable(r.lines), ThreeGroupLines(2).mid(0, 5));
        QVERIFY(!db.ResultOpen());
    }

    // An entry deleted by another user between the count and the select is not listed
    // as an empty line.
    void entryDeletedBetweenCountAndSelect()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        ThreeGroups(db);
        DatabaseSession other(f.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.Connected());
        bool deleted = false;
        db.SetStatementLog([&](const std::string& s) {
            if (!deleted && s.find(FileTableName(2)) != std::string::npos && s.find("ORDER BY") != std::string::npos)
                deleted = other.DeleteRecords(FileTableName(2), "N=2");
        });
        const Run r = Search(db, SearchColumn::Memo, "%");
        QVERIFY(deleted);
        QStringList want = ThreeGroupLines(3);
        want.removeAt(5);
        QCOMPARE(Readable(r.lines), want);
    }

    // A slow search hands its lines over while it runs, each once and in order.
    void linesComeInBatches()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        ThreeGroups(db);
        for (int n = 3; n <= 40; ++n) QVERIFY(AddEntry(db, 2, n, "C:\\", "f" + IntToStr(n), "x", 0));
        class SlowEscape : public EscapeKey {
        public:
            bool IsDown() const override
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                return false;
            }
        } slow;
        const Run quick = Search(db, SearchColumn::FileName, "f");
        const Run r = Search(db, SearchColumn::FileName, "f", slow);
        QCOMPARE(quick.lines.size(), size_t(3 + 2 + 40 + 2));
        QCOMPARE(r.lines, quick.lines);
        QVERIFY2(r.batches > 1, qPrintable(QString::number(r.batches)));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
