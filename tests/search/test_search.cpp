// The search over all groups against the real server: the lines it lists, the
// statements it sends with the Escape checks between them, what the pattern means,
// and where Escape stops it; the same search on its worker thread.
#include <chrono>
#include <thread>

#include <QElapsedTimer>

#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "search/search.h"
#include "search/searchworker.h"
#include "text/cp932.h"
#include "support/tcpforwarder.h"
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
    std::vector<SearchLine> full;
    int batches = 0;
    SearchEnd end = SearchEnd::Finished;
    bool stopped() const { return end == SearchEnd::Stopped; }
};

Run Search(DatabaseSession& db, SearchColumn column, const std::string& text, const EscapeKey& escape,
           SearchOptions options = {})
{
    Run r;
    r.end = SearchAllGroups(db, column, text, options, escape, [&r](std::vector<SearchLine>& batch) {
        ++r.batches;
        QVERIFY(!batch.empty());
        for (SearchLine& line : batch) {
            r.lines.push_back(line.text);
            r.full.push_back(line);
        }
    });
    return r;
}

Run Search(DatabaseSession& db, SearchColumn column, const char* utf8Text, SearchOptions options = {})
{
    static const Key up;
    return Search(db, column, Sj(utf8Text), up, options);
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

// Groups 1..count with one entry each (file "g<N>.jww", memo "x"), their tables made in one unit.
void ManyGroups(DatabaseSession& db, int count)
{
    QVERIFY(CreateCatalogueTable(db));
    QVERIFY(db.BeginWork());
    for (int g = 1; g <= count; ++g) {
        QVERIFY(InsertGroup(db, g, "G" + IntToStr(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, g));
    }
    QVERIFY(db.CommitWork());
    QVERIFY(db.BeginWork());
    for (int g = 1; g <= count; ++g) QVERIFY(AddEntry(db, g, 1, "/d/", "g" + IntToStr(g) + ".jww", "x", 0));
    QVERIFY(db.CommitWork());
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    // Hostile names, sub-groups deleted, groups without tables: the lines of the Part, in
    // its order, from one statement for every 50 groups, with Escape looked at between.
    void linesAndStatements()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        QVERIFY(InsertGroup(db, 3, Sj("設備'%_"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 1, Sj("新築Ａ棟"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 2, Sj("未使用"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 4, Sj("表だけ"), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(AddSubGroup(db, 1, 2, Sj("立面図")));
        QVERIFY(AddSubGroup(db, 1, 1, Sj("平面図")));
        QVERIFY(AddSubGroup(db, 1, 5, ""));   // stored NULL by another copy: brackets, nothing in them
        // In the root; in a sub-group; in a sub-group deleted since; not matching; no memo.
        QVERIFY(AddEntry(db, 1, 3, Sj("C:\\表\\"), Sj("ソポ'1.jww"), Sj("平面図 1F"), 1));
        QVERIFY(AddEntry(db, 1, 1, "C:\\x\\", "a%1.jww", Sj("配置図"), 0));
        QVERIFY(AddEntry(db, 1, 4, "C:\\x\\", "a_4.jww", Sj("断面図"), 7));
        QVERIFY(AddEntry(db, 1, 2, "C:\\x\\", "a2.jww", Sj("写真"), 2));
        QVERIFY(AddEntry(db, 1, 6, "C:\\x\\", "a6.jww", Sj("図"), 5));
        QVERIFY(OpenGroupTables(db, 3));
        QVERIFY(AddEntry(db, 3, 1, "D:\\e\\", "b1.jww", Sj("系統図"), 0));
        QVERIFY(AddEntry(db, 3, 2, "D:\\e\\", "b2.jww", Sj("図"), 1));
        // A file table without its sub-group table.
        QVERIFY(CreateFileTable(db, FileTableName(4)));
        QVERIFY(AddEntry(db, 4, 1, "E:\\", "c.jww", Sj("図"), 1));

        std::vector<std::string> sent;
        db.SetStatementLog([&sent](const std::string& s) { sent.push_back(s); });
        TracedEscape escape(&sent);
        const Run r = Search(db, SearchColumn::Memo, Sj("図"), escape);
        QCOMPARE(r.end, SearchEnd::Finished);
        QCOMPARE(Readable(r.lines),
                 (QStringList{"グループ【新築Ａ棟】(N:1)", "C:\\x\\a%1.jww(N:1) 『配置図』",
                              "C:\\表\\ソポ'1.jww(N:3) 【平面図】『平面図 1F』", "C:\\x\\a_4.jww(N:4) 『断面図』",
                              "C:\\x\\a6.jww(N:6) 【】『図』", "グループ【設備'%_】(N:3)", "D:\\e\\b1.jww(N:1) 『系統図』",
                              "D:\\e\\b2.jww(N:2) 『図』", "グループ【表だけ】(N:4)", "E:\\c.jww(N:1) 『図』"}));
        // What each line names.
        const SearchLine& entry = r.full[2];
        QVERIFY(!entry.isGroup && r.full[0].isGroup && r.full[5].isGroup);
        QCOMPARE(entry.group, 1);
        QCOMPARE(entry.entry, 3);
        QCOMPARE(entry.subGroup, 1);
        QCOMPARE(ToQ(entry.subGroupName), QString("平面図"));
        QCOMPARE(ToQ(entry.groupName), QString("新築Ａ棟"));
        QCOMPARE(entry.addedBy, std::string("tester"));

        // The catalogue, its tables, one statement for the groups, Escape between them.
        QCOMPARE(sent.size(), size_t(6));
        QCOMPARE(sent[2], kPoll);
        QVERIFY(sent[3].find("UNION ALL") != std::string::npos);
        QCOMPARE(sent[4], kPoll);   // before its rows are listed
        QCOMPARE(sent[5], kPoll);
        QVERIFY(!db.ResultOpen());

        // 120 groups: three statements; a table dropped by another copy under the
        // search costs only its own group.
        FreshSession g;
        QVERIFY(g.ok);
        ManyGroups(g.session, 120);
        sent.clear();
        DatabaseSession other(g.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.Connected());
        g.session.SetStatementLog([&](const std::string& s) {
            sent.push_back(s);
            if (s.find("UNION ALL SELECT 52 ") != std::string::npos && sent.size() < 5) {
                QVERIFY(other.DropTable(FileTableName(60)));
            }
        });
        const Run many = Search(g.session, SearchColumn::FileName, ".jww", Key());
        QCOMPARE(many.lines.size(), size_t(2 * 119));
        QCOMPARE(Readable(many.lines).mid(116, 4),
                 (QStringList{"グループ【G59】(N:59)", "/d/g59.jww(N:1) 『x』", "グループ【G61】(N:61)",
                              "/d/g61.jww(N:1) 『x』"}));
        int unions = 0;
        for (const std::string& s : sent) unions += s.find("UNION ALL") != std::string::npos;
        QCOMPARE(unions, 3);   // the failed one tried again group by group, without a union
    }

    // A hit is one of whole characters; the options fold case and width and take % and _
    // as themselves; each column is its own; refused texts and a detached session list nothing.
    void matchingAndOptions()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        const char* files[] = {"アイ.jww", "表.jww", "ソポ.jww", "genba.jww", "Plan_01.jww", "planA01.jww",
                               "50%off.jww", "50xoff.jww", "5図0.jww", "ガス.jww", "a!b.jww", "x.JWW"};
        int n = 0;
        for (const char* file : files) QVERIFY(AddEntry(db, 1, ++n, Sj("C:\\b 図\\"), Sj(file), Sj(" 図面"), 0));

        struct Case {
            const char* text;
            bool fold, literal;
            QList<int> entries;
        };
        const Case cases[] = {
            {"A", false, false, {6}},                // ア is 83 41
            {"\\", false, false, {}},                // 表 is 95 5C
            {"|", false, false, {}},                 // ポ is 83 7C
            {"表", false, false, {2}},
            {"ＧＥＮＢＡ", false, false, {}},
            {"ＧＥＮＢＡ", true, false, {4}},
            {"plan", false, false, {6}},
            {"plan", true, false, {5, 6}},
            {"ｶﾞｽ", true, false, {10}},              // half-width katakana
            {"plan_01", false, false, {6}},          // _ is any one character
            {"plan_01", true, true, {5}},
            {"50%", false, false, {7, 8}},
            {"50%o", false, true, {7}},
            {"5_0", false, false, {9}},              // a character of two bytes
            {"5_0", false, true, {}},
            {"a!b", false, true, {11}},
            {"jww", false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
            {"JWW", false, false, {12}},
        };
        for (const Case& k : cases) {
            SearchOptions options;
            options.ignoreCaseAndWidth = k.fold;
            options.literalWildcards = k.literal;
            const Run r = Search(db, SearchColumn::FileName, k.text, options);
            QList<int> got;
            for (const SearchLine& line : r.full)
                if (!line.isGroup) got << line.entry;
            QVERIFY2(got == k.entries, k.text);
            QCOMPARE(r.lines.empty(), k.entries.isEmpty());
        }
        QCOMPARE(Search(db, SearchColumn::Memo, " 図").lines.size(), size_t(13));
        QVERIFY(Search(db, SearchColumn::Memo, "図 ").lines.empty());
        QCOMPARE(Search(db, SearchColumn::Folder, "b 図").lines.size(), size_t(13));
        QVERIFY(Search(db, SearchColumn::Folder, "plan").lines.empty());

        std::vector<std::string> sent;
        db.SetStatementLog([&sent](const std::string& s) { sent.push_back(s); });
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

        FreshSession none;
        QVERIFY(none.ok);
        const Run noCatalogue = Search(none.session, SearchColumn::Folder, "x");
        QVERIFY(noCatalogue.lines.empty() && noCatalogue.end == SearchEnd::Finished);
        // A catalogue that cannot be read is a failure, not an empty database.
        QVERIFY(none.session.ExecuteStatement({"CREATE TABLE GRPJWW (X INTEGER, N COMPUTED BY (X / 0))"}));
        QVERIFY(none.session.ExecuteStatement({"INSERT INTO GRPJWW (X) VALUES (1)"}));
        const Run unreadable = Search(none.session, SearchColumn::Folder, "x");
        QVERIFY(unreadable.lines.empty() && unreadable.end == SearchEnd::ReadFailed);
    }

    // Escape held at the start lists nothing; pressed while a later statement runs it
    // keeps what the earlier ones found; the result is closed in every case.
    void escapeStops()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        ManyGroups(db, 60);
        Key held;
        held.down = true;
        Run r = Search(db, SearchColumn::FileName, "jww", held);
        QVERIFY(r.stopped() && r.lines.empty());
        QVERIFY(!db.ResultOpen());

        Key pressed;
        db.SetStatementLog([&](const std::string& s) {
            if (s.find("SELECT 51 ") != std::string::npos) pressed.down = true;
        });
        r = Search(db, SearchColumn::FileName, "jww", pressed);
        QVERIFY(r.stopped());
        QCOMPARE(r.lines.size(), size_t(100));
        QVERIFY(!db.ResultOpen());
    }

    // The server lost under a search: it ends at once with what it had, and says why.
    void lostConnectionEnds()
    {
        TcpForwarder relay;
        FreshSession f;
        QVERIFY(f.ok);
        ManyGroups(f.session, 60);
        f.session.CloseDatabase();
        DatabaseSettings viaRelay = f.db.settings;
        viaRelay.serverName = relay.ServerName();
        DatabaseSession db(viaRelay);
        db.ConnectDatabase();
        QVERIFY(db.Connected());
        db.SetStatementLog([&](const std::string& s) {
            if (s.find("SELECT 51 ") != std::string::npos) relay.Cut();
        });
        const Run r = Search(db, SearchColumn::FileName, "jww", Key());
        QCOMPARE(r.end, SearchEnd::ConnectionLost);
        QCOMPARE(r.lines.size(), size_t(100));
        QVERIFY(db.ConnectionLost());
    }

    // A stop while the rows of a long statement are read ends the search at once (the
    // cancel reaches the server), not once they are all read.
    void stopCancelsALongRead()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        QVERIFY(CreateCatalogueTable(db));
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(db.ExecuteStatement({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 200000) DO BEGIN",
                                     "INSERT INTO " + FileTableName(1) + " VALUES (:I, 'f' || :I, 'C:\\', 'x', NULL, 0);",
                                     "I = I + 1; END END"}));
        std::atomic<bool> reading{false};
        SearchRequest request;
        request.settings = f.db.settings;
        request.text = "f";
        request.column = SearchColumn::FileName;
        request.options.ignoreCaseAndWidth = true;   // every row comes to the program
        request.statementLog = [&reading](const std::string& s) { reading = s.find("SELECT 1 ") != std::string::npos; };
        QElapsedTimer clock;
        clock.start();
        {
            SearchWorker whole(request);
            whole.start();
            QVERIFY(whole.wait(120000));
            QCOMPARE(whole.TakeLines().size(), size_t(200001));
        }
        const qint64 wholeMs = clock.elapsed();
        auto* stopped = new SearchWorker(request);
        stopped->start();
        QTRY_VERIFY(reading);
        QTest::qWait(int(wholeMs / 4));
        clock.restart();
        QVERIFY(SearchWorker::Retire(stopped, SearchWorker::kEndWaitMs));
        QVERIFY2(clock.elapsed() < wholeMs / 4, qPrintable(QString("%1 of %2 ms").arg(clock.elapsed()).arg(wholeMs)));
        QTRY_COMPARE(OtherAttachments(db), 0);
    }

    // On its worker: an attachment of its own, gone when the search ends however it ends;
    // the lines of the calling thread; a stop or a lost server at each step.
    void onTheWorker()
    {
        TcpForwarder relay;
        FreshSession f;
        QVERIFY(f.ok);
        ManyGroups(f.session, 60);
        DatabaseSettings viaRelay = f.db.settings;
        viaRelay.serverName = relay.ServerName();
        const Run here = Search(f.session, SearchColumn::FileName, "jww");
        QCOMPARE(here.lines.size(), size_t(120));

        enum Act { None, StopFirst, Stop, Cut, Refuse };
        struct Case {
            Act act;
            std::string at;   // the statement it happens before
            SearchEnd end;
            size_t lines;
        };
        const Case cases[] = {
            {None, "", SearchEnd::Finished, 120},
            {StopFirst, "", SearchEnd::Stopped, 0},
            {Stop, kCatalogueTable, SearchEnd::Stopped, 0},
            {Stop, "SELECT 51 ", SearchEnd::Stopped, 100},
            {Cut, kCatalogueTable, SearchEnd::ConnectionLost, 0},
            {Cut, "RDB$RELATIONS", SearchEnd::ConnectionLost, 0},
            {Cut, "SELECT 51 ", SearchEnd::ConnectionLost, 100},
            {Refuse, "", SearchEnd::ConnectionLost, 0},
        };
        for (const Case& k : cases) {
            const QByteArray name = QByteArray::number(int(k.act)) + " " + k.at.c_str();
            SearchWorker* worker = nullptr;
            std::vector<std::string> sent;
            SearchRequest request;
            request.settings = viaRelay;
            request.column = SearchColumn::FileName;
            request.text = "jww";
            request.statementLog = [&](const std::string& s) {
                sent.push_back(s);
                if (k.at.empty() || s.find(k.at) == std::string::npos) return;
                if (k.act == Stop) worker->Stop();
                if (k.act == Cut) relay.Cut();
            };
            worker = new SearchWorker(request);
            if (k.act == StopFirst) worker->Stop();
            relay.Refuse(k.act == Refuse);
            worker->start();
            QVERIFY2(worker->wait(30000), name);
            relay.Refuse(false);
            QVERIFY2(worker->Ended() == k.end, name);
            const std::vector<SearchLine> lines = worker->TakeLines();
            QVERIFY2(lines.size() == k.lines, name);
            for (size_t i = 0; i < lines.size(); ++i) QCOMPARE(lines[i].text, here.lines[i]);
            if (k.act == None) {
                QCOMPARE(sent.size(), size_t(4));   // catalogue, tables, two unions: as on the calling thread
                QVERIFY(sent[3].find("UNION ALL") != std::string::npos);
            }
            delete worker;
            QTRY_VERIFY2(OtherAttachments(f.session) == 0, name);
        }
    }

    // An entry deleted by another user before the search is simply not listed; a slow
    // search hands its lines over while it runs, each once and in order.
    void otherUsersAndBatches()
    {
        FreshSession f;
        QVERIFY(f.ok);
        DatabaseSession& db = f.session;
        ThreeGroups(db);
        for (int n = 3; n <= 40; ++n) QVERIFY(AddEntry(db, 2, n, "C:\\", "f" + IntToStr(n), "x", 0));
        DatabaseSession other(f.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.DeleteRecords(FileTableName(2), "N=2"));
        const Run quick = Search(db, SearchColumn::FileName, "f");
        QCOMPARE(quick.lines.size(), size_t(3 + 1 + 39 + 3));

        // Many rows, listed slowly: the Escape key is asked now and then, and each ask is slow.
        class SlowEscape : public EscapeKey {
        public:
            bool IsDown() const override
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                return false;
            }
        } slow;
        QVERIFY(db.ExecuteStatement({"EXECUTE BLOCK AS DECLARE I INTEGER = 41; BEGIN WHILE (I <= 1100) DO BEGIN",
                                     "INSERT INTO " + FileTableName(2) + " VALUES (:I, 'f' || :I, 'C:\\', 'x', NULL, 0);",
                                     "I = I + 1; END END"}));
        const Run all = Search(db, SearchColumn::FileName, "f");
        const Run r = Search(db, SearchColumn::FileName, "f", slow);
        QCOMPARE(r.lines, all.lines);
        QVERIFY2(r.batches > 1, qPrintable(QString::number(r.batches)));
    }
};

QTEST_GUILESS_MAIN(TestSearch)
#include "test_search.moc"
