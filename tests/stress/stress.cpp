// Two copies of the program's core on one database at once, for tests/stress/run.sh:
//
//   kumo_stress init  SERVER FOLDER                   a database with the groups 1 and 2
//   kumo_stress work  SERVER FOLDER W SECONDS JOURNAL copy W (1 or 2) works for SECONDS
//   kumo_stress check SERVER FOLDER JOURNAL1 JOURNAL2 what the database holds afterwards
//
// Each copy files entries in its own group (W) and in group 3, which both share,
// duplicates its own group, deletes duplicates (its own and the other copy's), and reads
// group tables as an open group window does. Every
// outcome goes to the journal, one line each, written before the next step: what was
// reported done must be there, what was reported not done must not, and what met a lost
// connection may be either ("in doubt"). The check fails loudly on any difference.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "board/commands.h"
#include "db/schema.h"
#include "db/session.h"
#include "groupwin/grouptables.h"
#include "support/testdb.h"
#include "text/textutil.h"

namespace {

using Clock = std::chrono::steady_clock;

// The group that both copies file entries in; never duplicated or deleted.
constexpr int kSharedGroup = 3;

// A board without a window: no icons, only the slot table and the selection.
class NoWindow : public BoardHost {
public:
    bool IconFileExists(const std::string&) override { return false; }
    BoardIcon* CreateIcon(int, int, int, const std::string&) override { return nullptr; }
    BoardCaption* CreateCaption(int, const std::string&) override { return nullptr; }
    void ShowControls(BoardIcon*, BoardCaption*) override {}
    void DestroyControls(BoardIcon*, BoardCaption*) override {}
    void ShowDetails(const GroupRecord&) override {}
    int ClientWidth() const override { return 608; }
    int BoardHeight() const override { return 206; }
};

DatabaseSettings Settings(const std::string& server, const std::string& folder)
{
    DatabaseSettings s;
    s.serverName = server;
    s.dataFolder = folder;
    s.databaseFileName = "STRESS.FDB";
    s.userName = "stress";
    return s;
}

[[noreturn]] void Die(const std::string& why)
{
    std::fprintf(stderr, "kumo_stress: %s\n", why.c_str());
    std::exit(2);
}

enum class Outcome { Done, NotDone, InDoubt };

// What a failure means for whether the work was stored: a lost connection may have
// taken the commit with it, any other failure stored nothing.
Outcome Failure(DatabaseSession& session)
{
    return session.LastFailure() == DbFailure::LostConnection ? Outcome::InDoubt : Outcome::NotDone;
}

const char* Mark(Outcome o) { return o == Outcome::Done ? "" : o == Outcome::InDoubt ? "?" : "-"; }

// Registers one file in a group through the group window's own function. The memo is
// one a crafted drawing could hold: a lead byte before a quotation mark.
Outcome RegisterFile(DatabaseSession& session, int group, const std::string& file)
{
    const EntryOutcome o = StoreEntry(session, group, 0, "/stress/" + file, "memo\x81'x", "stress");
    return o.Stored() ? Outcome::Done : Failure(session);
}

// --- init ---------------------------------------------------------------------------------

int Init(const DatabaseSettings& settings)
{
    DatabaseSession session(settings);
    session.CreateDatabase();
    if (!session.Connected()) Die("cannot create the database: " + session.LastError());
    if (!CreateCatalogueTable(session)) Die("cannot create the catalogue");
    for (int w = 1; w <= kSharedGroup; ++w) {
        const std::string n = IntToStr(w);
        std::vector<std::string> values(kCatalogueColumnCount, "NULL");
        values[kColN] = n;
        values[kColGrpName] = "'copy " + n + "'";
        values[kColMTitle] = "'w" + n + "'";
        values[kColPName] = "'stress'";
        values[kColX] = values[kColY] = "0";
        if (!session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), values) ||
            !CreateFileTable(session, FileTableName(w)) || !CreateSubGroupTable(session, SubGroupTableName(w)) ||
            !session.InsertRecord(SubGroupTableName(w), kSubGroupColumnCount, SubGroupColumns(),
                                  {"1", "'sub'", "'stress'", "0"}))
            Die("cannot make group " + n + ": " + session.LastError());
    }
    return 0;
}

// --- work ---------------------------------------------------------------------------------

class Copy {
public:
    Copy(const DatabaseSettings& settings, int me, const std::string& journal)
        : settings_(settings), me_(me), journal_(std::fopen(journal.c_str(), "w")),
          rng_(static_cast<unsigned>(me * 7919 + Clock::now().time_since_epoch().count()))
    {
        if (!journal_) Die("cannot write " + journal);
        session_.SetConnectionLostHandler([this] { ++losses_; });
    }
    ~Copy() { std::fclose(journal_); }

    int Run(int seconds)
    {
        session_.ConnectDatabase();
        if (!session_.Connected()) Die("copy " + IntToStr(me_) + " cannot attach");
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            const auto start = Clock::now();
            Step();
            session_.EndRead();   // as the program does while it waits for its user
            longest_ = std::max(longest_, Clock::now() - start);
        }
        // run.sh kills the server in the middle: a copy that never noticed tested nothing.
        if (losses_ == 0) Fault("never met the server going away");
        // Another copy at work may make a command fail now and then, not often.
        const int tried = duplicates_[0] + duplicates_[1] + deletes_[0] + deletes_[1];
        if (tried == 0 || (duplicates_[1] + deletes_[1]) * 10 > tried)
            Fault(IntToStr(duplicates_[1] + deletes_[1]) + " of " + IntToStr(tried) + " duplicates and deletes failed");
        if (longest_ > std::chrono::seconds(4 * kLockTimeoutSeconds)) Fault("a step took too long");
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(longest_).count();
        std::printf("copy %d: %d entries (%d in doubt, %d not stored), %d duplicates (%d in doubt, %d failed), "
                    "%d deletes (%d refused as changed, %d in doubt, %d failed), %d reads, %d losses, "
                    "%d attaches again, longest step %lld ms\n",
                    me_, entries_[0], entries_[2], entries_[1], duplicates_[0], duplicates_[2], duplicates_[1],
                    deletes_[0], changed_, deletes_[2], deletes_[1], reads_, losses_, reattaches_,
                    static_cast<long long>(ms));
        return faults_ == 0 ? 0 : 1;
    }

private:
    void Step()
    {
        if (session_.ConnectionLost()) {
            // The program attaches again at the next command; the server may need a moment.
            if (session_.Reattach())
                ++reattaches_;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return;
        }
        const int r = static_cast<int>(rng_() % 100);
        if (r < 30)
            AddEntry(me_, "");
        else if (r < 50)
            AddEntry(kSharedGroup, "s");
        else if (r < 70)
            Duplicate();
        else if (r < 90)
            Delete();
        else
            Read();
    }

    void Log(const std::string& line)
    {
        std::fprintf(journal_, "%s\n", line.c_str());
        std::fflush(journal_);
    }

    void AddEntry(int group, const std::string& tag)
    {
        const std::string file = "w" + IntToStr(me_) + tag + "-" + IntToStr(++seq_) + ".jww";
        const Outcome o = RegisterFile(session_, group, file);
        ++entries_[static_cast<int>(o)];
        Log(std::string("E") + Mark(o) + " " + file);
    }

    // A title of its own for every duplicate, so that each group can be told by it.
    void Duplicate()
    {
        const std::string title = "w" + IntToStr(me_) + "-d" + IntToStr(++dups_);
        if (!session_.UpdateRecordText(kCatalogueTable, "MTITLE='" + title + "'", GroupCondition(me_))) return;
        const std::optional<GroupRecord> row = board_.ReadGroup(me_);
        if (!row || row->title != title) return;   // the read met a loss
        int32_t made = 0;
        const WriteOutcome g = DuplicateGroup(board_, session_, me_, ShownFromRecord(*row), 608, &made);
        if (g == WriteOutcome::GroupChanged) Fault("own group " + IntToStr(me_) + " reported changed");
        const Outcome o = g == WriteOutcome::Done ? Outcome::Done : Failure(session_);
        if (o == Outcome::NotDone) std::fprintf(stderr, "copy %d: duplicate failed: %s\n", me_, session_.LastError().c_str());
        ++duplicates_[static_cast<int>(o)];
        Log(std::string("D") + Mark(o) + " " + title + " " + IntToStr(made));
    }

    void Delete()
    {
        const std::vector<TextRow> rows = AllRows(session_, kCatalogueTable, "N>" + IntToStr(kSharedGroup));
        if (rows.empty()) return;
        const TextRow& row = rows[rng_() % rows.size()];
        // The user reads the question before answering it.
        std::this_thread::sleep_for(std::chrono::milliseconds(rng_() % 20));
        const WriteOutcome g = DeleteGroup(board_, session_, StrToIntOrZero(row[kColN]), ShownFromRow(row));
        if (g == WriteOutcome::GroupChanged) {
            ++changed_;
            return;
        }
        const Outcome o = g == WriteOutcome::Done ? Outcome::Done : Failure(session_);
        if (o == Outcome::NotDone) std::fprintf(stderr, "copy %d: delete failed: %s\n", me_, session_.LastError().c_str());
        ++deletes_[static_cast<int>(o)];
        Log(std::string("X") + Mark(o) + " " + row[kColMTitle]);
    }

    // An open group window reads the group's table and keeps the rows.
    void Read()
    {
        const std::vector<TextRow> rows = AllRows(session_, kCatalogueTable, "", "N");
        if (rows.empty()) return;
        AllRows(session_, FileTableName(StrToIntOrZero(rows[rng_() % rows.size()][0])));
        ++reads_;
    }

    void Fault(const std::string& what)
    {
        std::fprintf(stderr, "copy %d: %s\n", me_, what.c_str());
        ++faults_;
    }

    DatabaseSettings settings_;
    DatabaseSession session_{settings_};
    NoWindow window_;
    GroupBoard board_{session_, window_};
    int me_;
    std::FILE* journal_;
    std::mt19937 rng_;
    int seq_ = 0, dups_ = 0;
    int entries_[3] = {}, duplicates_[3] = {}, deletes_[3] = {};
    int changed_ = 0, reads_ = 0, losses_ = 0, reattaches_ = 0, faults_ = 0;
    Clock::duration longest_{};
};

// --- check --------------------------------------------------------------------------------

struct Journal {
    std::vector<std::string> entries[3];          // own group, by outcome: done, not done, in doubt
    std::vector<std::string> shared[3];           // the shared group, likewise
    std::map<std::string, size_t> knownBefore;    // duplicate title -> entries journaled before it
    std::vector<std::string> order;               // every entry name, in journal order
    std::set<std::string> made, madeInDoubt, notMade, deleted, deletedInDoubt;
};

Journal ReadJournal(const std::string& path)
{
    std::ifstream in(path);
    if (!in) Die("cannot read " + path);
    Journal j;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind, name;
        words >> kind >> name;
        const int o = kind.size() < 2 ? 0 : kind[1] == '-' ? 1 : 2;
        if (kind[0] == 'E' && name.find("s-") != std::string::npos) {
            j.shared[o].push_back(name);
        } else if (kind[0] == 'E') {
            j.entries[o].push_back(name);
            j.order.push_back(name);
        } else if (kind[0] == 'D') {
            (o == 0 ? j.made : o == 1 ? j.notMade : j.madeInDoubt).insert(name);
            j.knownBefore[name] = j.order.size();
        } else if (kind[0] == 'X') {
            (o == 0 ? j.deleted : j.deletedInDoubt).insert(name);
        }
    }
    return j;
}

int Check(const DatabaseSettings& settings, const std::string& journal1, const std::string& journal2)
{
    DatabaseSession session(settings);
    session.ConnectDatabase();
    if (!session.Connected()) Die("cannot attach for the check");
    const Journal journals[2] = {ReadJournal(journal1), ReadJournal(journal2)};
    int faults = 0;
    auto fault = [&faults](const std::string& what) {
        std::fprintf(stderr, "FAULT: %s\n", what.c_str());
        ++faults;
    };

    // Entries of a group: each name once, none outside `allowed`, every name of `stored`
    // that is allowed there, none of `refused`.
    using Names = std::vector<std::string>;
    auto checkEntries = [&](const std::string& group, const std::set<std::string>& allowed, const Names& stored,
                            const Names& refused) {
        std::map<std::string, int> seen;
        for (const TextRow& r : AllRows(session, FileTableName(StrToIntOrZero(group)), "", "FILE_NAME")) ++seen[r[0]];
        for (const auto& [name, times] : seen) {
            if (times > 1) fault("group " + group + ": entry " + name + " stored " + IntToStr(times) + " times");
            if (!allowed.count(name)) fault("group " + group + ": entry " + name + " does not belong here");
        }
        int lost = 0;
        for (const std::string& name : stored)
            if (allowed.count(name) && !seen.count(name)) ++lost;
        if (lost) fault("group " + group + ": " + IntToStr(lost) + " entries reported stored are missing");
        for (const std::string& name : refused)
            if (seen.count(name)) fault("group " + group + ": entry " + name + " reported not stored is there");
        return seen.size();
    };
    // The own entries a copy had journaled before the first `count`.
    auto ownBefore = [](const Journal& j, size_t count) {
        return std::set<std::string>(j.order.begin(), j.order.begin() + static_cast<long>(count));
    };

    const std::vector<TextRow> groups = AllRows(session, kCatalogueTable, "", "N, MTITLE");
    std::set<std::string> groupTables, titles;
    size_t copies = 0, copiedEntries = 0;
    for (const TextRow& g : groups) {
        const std::string& n = g[0];
        const std::string& title = g[1];
        const int32_t number = StrToIntOrZero(n);
        for (const std::string& table : {FileTableName(number), SubGroupTableName(number)}) {
            groupTables.insert(table);
            if (!session.TableExists(table)) fault("group " + n + " (" + title + ") has no table " + table);
        }
        if (StrToIntOrZero(n) <= kSharedGroup) continue;   // the copies' own groups carry the last title given
        if (!titles.insert(title).second) fault("two groups hold " + title);
        const Journal& j = journals[title.size() > 1 && title[1] == '2' ? 1 : 0];
        if (!j.made.count(title) && !j.madeInDoubt.count(title)) {
            fault("group " + n + " (" + title + ") was never reported made");
            continue;
        }
        copiedEntries += checkEntries(n, ownBefore(j, j.knownBefore.at(title)), j.entries[0], j.entries[1]);
        if (AllRows(session, SubGroupTableName(number), "", "N").size() != 1) fault("group " + n + " lacks its sub-group");
        ++copies;
    }
    for (int w = 1; w <= 2; ++w) {
        const Journal& j = journals[w - 1];
        checkEntries(IntToStr(w), ownBefore(j, j.order.size()), j.entries[0], j.entries[1]);
        auto deletedByAny = [&](const std::string& t) {
            return journals[0].deleted.count(t) || journals[1].deleted.count(t) ||
                   journals[0].deletedInDoubt.count(t) || journals[1].deletedInDoubt.count(t);
        };
        for (const std::string& t : j.made)
            if (!titles.count(t) && !deletedByAny(t)) fault("duplicate " + t + " reported made is missing");
        for (const std::string& t : j.notMade)
            if (titles.count(t)) fault("duplicate " + t + " reported failed is there");
        for (const std::string& t : j.deleted)
            if (titles.count(t)) fault("group " + t + " reported deleted is there");
    }

    Names stored, refused;
    std::set<std::string> shared;
    for (const Journal& j : journals) {
        stored.insert(stored.end(), j.shared[0].begin(), j.shared[0].end());
        refused.insert(refused.end(), j.shared[1].begin(), j.shared[1].end());
        for (const Names& names : j.shared) shared.insert(names.begin(), names.end());
    }
    const size_t sharedEntries = checkEntries(IntToStr(kSharedGroup), shared, stored, refused);

    // Tables without a group: only the empty ones of a duplicate that a lost connection
    // cut short may be left.
    int orphans = 0;
    for (TextRow& r : AllRows(session, "RDB$RELATIONS", "RDB$SYSTEM_FLAG = 0", "RDB$RELATION_NAME", "")) {
        std::string table = r[0];
        while (!table.empty() && table.back() == ' ') table.pop_back();
        // The program makes no tables but the catalogue and those of the groups.
        if (table == kCatalogueTable || groupTables.count(table)) continue;
        ++orphans;
        if (session.CountRecords(table, "") != 0) fault(table + " holds rows but belongs to no group");
    }

    std::printf("check: %zu groups (%zu duplicates holding %zu entries), own entries reported stored: "
                "%zu and %zu, shared group: %zu entries, %d empty tables left by cut-short duplicates, "
                "%d faults\n",
                groups.size(), copies, copiedEntries, journals[0].entries[0].size(), journals[1].entries[0].size(),
                sharedEntries, orphans, faults);
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 3 && a[0] == "init") return Init(Settings(a[1], a[2]));
    if (a.size() == 6 && a[0] == "work") {
        const int me = StrToIntOrZero(a[3]);
        if (me != 1 && me != 2) Die("the copy is 1 or 2");
        return Copy(Settings(a[1], a[2]), me, a[5]).Run(StrToIntOrZero(a[4]));
    }
    if (a.size() == 5 && a[0] == "check") return Check(Settings(a[1], a[2]), a[3], a[4]);
    std::fprintf(stderr, "usage: kumo_stress init|work|check ... (see tests/stress/run.sh)\n");
    return 2;
}
