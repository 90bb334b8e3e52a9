#include "groupwin/grouptables.h"

#include <chrono>
#include <climits>
#include <system_error>
#include <thread>
#include <unordered_map>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include "memo/jwmemo.h"
#include "text/textutil.h"

namespace {

// Entries moved by one statement (the server takes up to 1 500 values in IN).
constexpr size_t kNumbersAStatement = 500;
// Below this a second thread costs more than it saves.
constexpr size_t kRowsWorthAThread = 2000;

std::string NumberCondition(const char* column, int32_t number) { return std::string(column) + "=" + IntToStr(number); }

// Inserts the values (the first one is the number, filled in here) under the largest
// number plus one. When another copy of the program took that number between the
// maximum and the insert, the unique key refuses the row: take a fresh maximum and try
// again, a few times. The number stored, or 0.
int32_t InsertNumbered(DatabaseSession& session, const std::string& table, const std::vector<std::string>& columns,
                       std::vector<std::string> values)
{
    // Inside a unit a fresh maximum would be read in the same snapshot: one attempt.
    const int attempts = session.InWork() ? 1 : kNumberAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        std::string max;
        session.SelectMax(table, "N", "", max);
        const int32_t highest = StrToIntOrZero(max);
        if (highest == INT32_MAX) return 0;   // no number left to give
        const int32_t number = highest + 1;
        values[0] = IntToStr(number);
        if (session.InsertRecord(table, static_cast<int>(columns.size()), columns, values)) return number;
        if (session.LastFailure() != DbFailure::UniqueKey) return 0;
    }
    return 0;
}

std::vector<std::string> EntryValues(const FileRow& row)
{
    return {row.cells[kCellNumber],          TextLiteral(row.cells[kCellName]),    TextLiteral(row.cells[kCellFolder]),
            TextLiteral(row.cells[kCellMemo]), TextLiteral(row.cells[kCellAddedBy]), row.cells[kCellSubGroup]};
}

bool IsClash(DbFailure failure) { return failure == DbFailure::UniqueKey || failure == DbFailure::Conflict; }

// The statements of work in a transaction of one unit: the caller's, or one of its own.
bool InUnit(DatabaseSession& session, const std::function<bool()>& work)
{
    if (session.InWork()) return work();
    if (!session.BeginWork()) return false;
    if (work()) return session.CommitWork();
    session.RollbackWork();
    return false;
}

} // namespace

bool EnsureGroupTables(DatabaseSession& session, int32_t group)
{
    const std::string files = FileTableName(group), subGroups = SubGroupTableName(group);
    bool ok = true;
    if (!session.TableExists(files)) ok = CreateFileTable(session, files);
    if (!session.TableExists(subGroups)) ok = CreateSubGroupTable(session, subGroups) && ok;
    // Tables made before the index existed gain it at an opening; without it, every
    // registration reads the whole table for its number.
    if (ok) AddNumberIndex(session, files);
    return ok;
}

std::vector<TextRow> ReadTableRows(DatabaseSession& session, const std::string& table, const std::string& condition)
{
    return session.SelectAllRows("*", table, condition, "N");
}

std::vector<FileRow> ReadFileRows(DatabaseSession& session, int32_t group, int32_t subGroup,
                                  const NetworkPathLookup& getNetworkPath, const RootMappings* mappings)
{
    const std::string condition = subGroup > 0 ? NumberCondition("SN", subGroup) : "";
    std::vector<TextRow> rows = ReadTableRows(session, FileTableName(group), condition);
    std::vector<FileRow> list(rows.size());
    auto make = [&](size_t i, const NetworkPathLookup& lookup) {
        TextRow& r = rows[i];
        r.resize(std::max<size_t>(r.size(), kFileColumnCount));
        list[i] = MakeFileRow(StrToIntOrZero(r[kFileN]), StrToIntOrZero(r[kFileSN]), r[kFilePath] + r[kFileName],
                              r[kFileMemo], r[kFilePName], lookup, mappings);
    };
    // Probing the disk is most of the work once the rows are read: a large list
    // shares it with a second core. The drive lookup is the caller's and stays on this
    // thread, so the helper leaves drive paths as they are and they are made again below.
    const size_t half = rows.size() >= kRowsWorthAThread && std::thread::hardware_concurrency() > 1 ? rows.size() / 2 : 0;
    bool helped = false;
    std::thread helper;
    if (half > 0) {
        try {
            helper = std::thread([&] {
                try {
                    for (size_t i = half; i < rows.size(); ++i) make(i, {});
                    helped = true;
                } catch (...) {   // out of memory: this thread makes them again
                }
            });
        } catch (const std::system_error&) {   // no thread to be had: one does it all
        }
    }
    const size_t mine = helper.joinable() ? half : rows.size();
    for (size_t i = 0; i < mine; ++i) make(i, getNetworkPath);
    if (helper.joinable()) helper.join();
    if (mine < rows.size())
        for (size_t i = mine; i < rows.size(); ++i)
            if (!helped || (getNetworkPath && OnNetworkDrive(list[i].cells[kCellFolder]))) make(i, getNetworkPath);
    return list;
}

// --- sub-groups ------------------------------------------------------------------------

std::string NodeLabel(const std::string& name, const std::string& numberText) { return name + " :" + numberText; }

std::vector<SubGroupNode> BuildSubGroupTree(const std::vector<TextRow>& subGroupRows)
{
    std::vector<SubGroupNode> nodes(1);
    nodes[0].label = NodeLabel("root", "0");
    // The first node of each number; the root comes first, so it keeps number 0.
    std::unordered_map<int32_t, int> byNumber{{0, 0}};
    for (const TextRow& row : subGroupRows) {
        if (row.size() < kSubGroupColumnCount) continue;
        SubGroupNode node;
        node.number = StrToIntOrZero(row[kSubN]);
        node.name = row[kSubName];
        node.label = NodeLabel(row[kSubName], row[kSubN]);
        const auto parent = byNumber.find(StrToIntOrZero(row[kSubParent]));
        node.parent = parent == byNumber.end() ? 0 : parent->second;
        const int index = static_cast<int>(nodes.size());
        nodes[static_cast<size_t>(node.parent)].children.push_back(index);
        byNumber.emplace(node.number, index);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<SubGroupNode> ReadSubGroupTree(DatabaseSession& session, int32_t group)
{
    return BuildSubGroupTree(ReadTableRows(session, SubGroupTableName(group), ""));
}

int32_t CreateSubGroup(DatabaseSession& session, int32_t group, const std::string& name, const std::string& userName,
                       int32_t parent)
{
    return InsertNumbered(session, SubGroupTableName(group), SubGroupColumns(),
                          {"", TextLiteral(CleanText(name)), TextLiteral(CleanText(userName)), IntToStr(parent)});
}

bool RenameSubGroup(DatabaseSession& session, int32_t group, int32_t number, const std::string& name)
{
    return session.UpdateRecordText(SubGroupTableName(group), "SGRPNAME=" + TextLiteral(name),
                                    NumberCondition("N", number));
}

int CountSubGroupEntries(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.CountRecords(FileTableName(group), NumberCondition("SN", number));
}

bool DeleteSubGroup(DatabaseSession& session, int32_t group, int32_t number, bool* found, long* entries)
{
    // A row deleted without its entries would hand them to the next sub-group of that number.
    bool had = false;
    long went = 0;
    const bool ok = InUnit(session, [&] {
        if (!session.DeleteRecords(SubGroupTableName(group), NumberCondition("N", number))) return false;
        had = session.RowsAffected() > 0;
        if (!session.DeleteRecords(FileTableName(group), NumberCondition("SN", number))) return false;
        went = session.RowsAffected();
        return true;
    });
    if (found) *found = ok && had;
    if (entries) *entries = ok ? went : 0;
    return ok;
}

// --- file entries --------------------------------------------------------------------

EntryProblem CheckEntryNames(const std::string& fileName, const std::string& folder)
{
    for (const std::string* text : {&fileName, &folder}) {
        // Second bytes of double-byte characters start at 0x40: every low byte is a control.
        for (char c : *text)
            if (static_cast<unsigned char>(c) < 0x20) return EntryProblem::ControlCharacter;
        if (text->size() > kFileTextWidth) return EntryProblem::TooLong;
    }
    return EntryProblem::None;
}

std::string StoredMemo(const std::string& memo) { return CutBytes(CleanText(memo), kFileTextWidth); }

EntryOutcome PrepareEntry(int32_t subGroup, const std::string& fullPath, const std::string& memo,
                          const std::string& userName, const NetworkPathLookup& getNetworkPath,
                          const RootMappings* mappings)
{
    EntryOutcome out;
    out.row = MakeFileRow(0, subGroup, fullPath, StoredMemo(memo), CleanText(userName), getNetworkPath);
    out.row.cells[kCellNumber].clear();
    // Where the stored folder is decided: the Windows form below a shared folder, so that
    // colleagues on Windows PCs find the file too, and checked in that form, which is the
    // one the column must hold. The file name stays as it is.
    if (mappings) {
        const std::string stored = StoredPath(out.row.FullPath(), *mappings);
        if (stored != out.row.FullPath()) out.row.cells[kCellFolder] = PathFolder(stored);
    }
    out.problem = CheckEntryNames(out.row.cells[kCellName], out.row.cells[kCellFolder]);
    return out;
}

void ShowLocally(FileRow& row, const RootMappings* mappings)
{
    if (mappings) row.cells[kCellFolder] = PathFolder(LocalPath(row.FullPath(), *mappings));
}

EntryOutcome StoreEntry(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                        const std::string& memo, const std::string& userName, const NetworkPathLookup& getNetworkPath,
                        const RootMappings* mappings)
{
    EntryOutcome out = PrepareEntry(subGroup, fullPath, memo, userName, getNetworkPath, mappings);
    if (out.problem != EntryProblem::None) return out;
    const int32_t number = InsertNumbered(session, FileTableName(group), FileColumns(), EntryValues(out.row));
    ShowLocally(out.row, mappings);
    if (number == 0) {
        out.problem = EntryProblem::NotStored;
        return out;
    }
    out.row.cells[kCellNumber] = IntToStr(number);
    return out;
}

EntryOutcome RegisterFile(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                          const std::string& userName, const NetworkPathLookup& getNetworkPath,
                          const RootMappings* mappings)
{
    return StoreEntry(session, group, subGroup, fullPath, ReadJwMemo(fullPath), userName, getNetworkPath, mappings);
}

bool RemoveEntry(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.DeleteRecords(FileTableName(group), NumberCondition("N", number));
}

bool MoveEntries(DatabaseSession& session, int32_t group, const std::vector<int32_t>& numbers, int32_t subGroup,
                 int* moved)
{
    *moved = 0;
    // A few hundred numbers a statement: a move of thousands costs a handful of round
    // trips, and the list stays well inside the server's limit for IN.
    for (size_t from = 0; from < numbers.size(); from += kNumbersAStatement) {
        const size_t to = std::min(numbers.size(), from + kNumbersAStatement);
        std::string list;
        for (size_t i = from; i < to; ++i) list += (i > from ? "," : "") + IntToStr(numbers[i]);
        if (session.UpdateRecordText(FileTableName(group), "SN=" + IntToStr(subGroup), "N IN (" + list + ")"))
            *moved += static_cast<int>(session.RowsAffected());
        else if (session.LastFailure() != DbFailure::NoRow)
            return false;
    }
    return true;
}

bool UpdateEntryMemo(DatabaseSession& session, int32_t group, int32_t number, const std::string& storedMemo)
{
    return session.UpdateRecordText(FileTableName(group), "FILE_MEMO=" + TextLiteral(storedMemo),
                                    NumberCondition("N", number));
}

// --- the writes of the group window --------------------------------------------------------

ShownGroup ReadShownGroup(DatabaseSession& session, int32_t group)
{
    const std::vector<TextRow> rows = session.SelectAllRows("*", kCatalogueTable, GroupCondition(group), "");
    if (rows.empty() || rows[0].size() < kCatalogueColumnCount) return {};
    return ShownFromRow(rows[0]);
}

WriteOutcome CheckWriteTarget(DatabaseSession& session, const ShownGroup& group, int32_t subGroup)
{
    const int32_t number = StrToIntOrZero(group.number);
    if (number == 0) return WriteOutcome::GroupChanged;
    std::vector<TextRow> rows = session.SelectAllRows("*", kCatalogueTable, GroupCondition(number), "");
    if (session.LastFailure() != DbFailure::None) return WriteOutcome::Failed;
    if (rows.empty() || rows[0].size() < kCatalogueColumnCount || !StillShown(rows[0], group))
        return WriteOutcome::GroupChanged;
    if (subGroup <= 0) return WriteOutcome::Done;
    rows = session.LockRecords(SubGroupTableName(number), NumberCondition("N", subGroup));
    if (session.LastFailure() != DbFailure::None) return WriteOutcome::Failed;
    return rows.empty() ? WriteOutcome::SubGroupGone : WriteOutcome::Done;
}

namespace {

// One try of a unit: the checks, then the write. The failure that ended it, if any.
WriteOutcome TryGroupWrite(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                           const std::function<bool()>& write, DbFailure& failure)
{
    failure = DbFailure::None;
    if (!session.BeginWork()) {
        failure = session.LastFailure();
        return WriteOutcome::Failed;
    }
    WriteOutcome out = CheckWriteTarget(session, group, subGroup);
    if (out == WriteOutcome::Done) {
        if (!write())
            out = WriteOutcome::Failed;
        else if (!session.CommitWork())
            out = WriteOutcome::Failed;
    }
    if (out == WriteOutcome::Failed) failure = session.LastFailure();
    session.RollbackWork();   // nothing to roll back after a commit
    return out;
}

// A short pause of random length, so that two copies that clashed do not meet again.
void PauseAfterClash(int attempt)
{
    const int upTo = 20 + 20 * std::min(attempt, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(QRandomGenerator::global()->bounded(10, upTo)));
}

} // namespace

WriteOutcome RunGroupWrite(DatabaseSession& session, const ShownGroup& group, int32_t subGroup, bool retryClashes,
                           const std::function<bool()>& write)
{
    QElapsedTimer clock;
    clock.start();
    for (int attempt = 0;; ++attempt) {
        DbFailure failure = DbFailure::None;
        const WriteOutcome out = TryGroupWrite(session, group, subGroup, write, failure);
        if (out != WriteOutcome::Failed) return out;
        if (failure == DbFailure::LostConnection || !session.Connected()) return out;
        if (retryClashes && IsClash(failure) && !clock.hasExpired(kClashRetryMs)) {
            PauseAfterClash(attempt);
            continue;
        }
        // A group deleted after the check, its tables with it, fails the write: say that.
        DbFailure ignored;
        const WriteOutcome again = TryGroupWrite(session, group, subGroup, [] { return false; }, ignored);
        return again == WriteOutcome::GroupChanged || again == WriteOutcome::SubGroupGone ? again : out;
    }
}

WriteOutcome DeleteSubGroupAsCounted(DatabaseSession& session, const ShownGroup& group, int32_t number, int counted)
{
    bool changed = false;
    const WriteOutcome out = RunGroupWrite(session, group, number, false, [&] {
        const int now = CountSubGroupEntries(session, StrToIntOrZero(group.number), number);
        long went = 0;
        changed = now >= 0 && now != counted;
        return !changed && now >= 0 && DeleteSubGroup(session, StrToIntOrZero(group.number), number, nullptr, &went) &&
               went == counted;
    });
    return out == WriteOutcome::Failed && changed ? WriteOutcome::CountChanged : out;
}

WriteOutcome StoreEntryRows(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                            std::vector<FileRow>& rows)
{
    if (rows.empty()) return WriteOutcome::Done;
    const int32_t number = StrToIntOrZero(group.number);
    const std::string table = FileTableName(number);
    const std::vector<std::string>& columns = FileColumns();
    const WriteOutcome out = RunGroupWrite(session, group, subGroup, true, [&] {
        std::string max;
        session.SelectMax(table, "N", "", max);
        if (session.LastFailure() != DbFailure::None) return false;
        const int32_t highest = StrToIntOrZero(max);
        if (int64_t(highest) + int64_t(rows.size()) > INT32_MAX) return false;   // no numbers left
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].cells[kCellNumber] = IntToStr(highest + 1 + static_cast<int32_t>(i));
            rows[i].cells[kCellSubGroup] = IntToStr(subGroup);
            if (!session.InsertRecord(table, static_cast<int>(columns.size()), columns, EntryValues(rows[i])))
                return false;
        }
        return true;
    });
    if (out != WriteOutcome::Done)
        for (FileRow& row : rows) row.cells[kCellNumber].clear();
    return out;
}
