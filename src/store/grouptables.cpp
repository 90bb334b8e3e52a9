#include "store/grouptables.h"

#include <algorithm>

#include "db/schema.h"
#include "store/reads.h"
#include "text/textutil.h"

namespace {

// Entries moved by one statement (the server takes up to 1 500 values in IN).
constexpr size_t kNumbersAStatement = 500;

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
    const std::optional<bool> hasFiles = TablePresent(session, files);
    if (!hasFiles) return false;
    bool ok = *hasFiles || CreateFileTable(session, files);
    const std::optional<bool> hasSubGroups = TablePresent(session, subGroups);
    if (!hasSubGroups) return false;
    if (!*hasSubGroups) ok = CreateSubGroupTable(session, subGroups) && ok;
    // Tables made before the index existed gain it at an opening; without it, every
    // registration reads the whole table for its number.
    if (ok) AddNumberIndex(session, files);
    return ok;
}

std::optional<std::vector<TextRow>> ReadNumberedRows(DatabaseSession& session, const std::string& table,
                                                     const std::string& condition)
{
    return ReadRows(session, "*", table, condition, "N");
}

// --- sub-groups ----------------------------------------------------------------------

int32_t CreateSubGroup(DatabaseSession& session, int32_t group, const std::string& name, const std::string& userName,
                       int32_t parent)
{
    return InsertNumbered(session, SubGroupTableName(group), SubGroupColumns(),
                          SubGroupValues({0, CleanText(name), CleanText(userName), parent}));
}

bool RenameSubGroup(DatabaseSession& session, int32_t group, int32_t number, const std::string& name)
{
    return session.UpdateRecordText(SubGroupTableName(group), "SGRPNAME=" + TextLiteral(name), NumberIs(number));
}

int CountSubGroupEntries(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.CountRecords(FileTableName(group), SubGroupIs(number));
}

bool DeleteSubGroup(DatabaseSession& session, int32_t group, int32_t number, bool* found, long* entries)
{
    // A row deleted without its entries would hand them to the next sub-group of that number.
    bool had = false;
    long went = 0;
    const bool ok = InUnit(session, [&] {
        if (!session.DeleteRecords(SubGroupTableName(group), NumberIs(number))) return false;
        had = session.RowsAffected() > 0;
        if (!session.DeleteRecords(FileTableName(group), SubGroupIs(number))) return false;
        went = session.RowsAffected();
        return true;
    });
    if (found) *found = ok && had;
    if (entries) *entries = ok ? went : 0;
    return ok;
}

WriteOutcome DeleteSubGroupAsCounted(DatabaseSession& session, const ShownGroup& group, int32_t number, int counted)
{
    bool changed = false;
    const WriteOutcome out = RunGroupWrite(session, group, number, false, [&] {
        const int now = CountSubGroupEntries(session, group.number, number);
        long went = 0;
        changed = now >= 0 && now != counted;
        return !changed && now >= 0 && DeleteSubGroup(session, group.number, number, nullptr, &went) &&
               went == counted;
    });
    return out == WriteOutcome::Failed && changed ? WriteOutcome::CountChanged : out;
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

bool RemoveEntry(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.DeleteRecords(FileTableName(group), NumberIs(number));
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
        if (session.UpdateRecordText(FileTableName(group), SubGroupIs(subGroup), "N IN (" + list + ")"))
            *moved += static_cast<int>(session.RowsAffected());
        else if (session.LastFailure() != DbFailure::NoRow)
            return false;
    }
    return true;
}

bool UpdateEntryMemo(DatabaseSession& session, int32_t group, int32_t number, const std::string& storedMemo)
{
    return session.UpdateRecordText(FileTableName(group), "FILE_MEMO=" + TextLiteral(storedMemo), NumberIs(number));
}

WriteOutcome StoreEntryRecords(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                               std::vector<EntryRecord>& entries, const ClashPause& pause)
{
    if (entries.empty()) return WriteOutcome::Done;
    const std::string table = FileTableName(group.number);
    const std::vector<std::string>& columns = FileColumns();
    const WriteOutcome out = RunGroupWrite(
        session, WriteTarget{group, subGroup, nullptr}, true,
        [&] {
            // A maximum that could not be read is no empty table: numbering from 1
            // would clash with every stored entry.
            const NextNumbers next = NextNumbersOf(session, table, static_cast<int32_t>(entries.size()));
            if (!next.Ok()) return false;
            for (size_t i = 0; i < entries.size(); ++i) {
                entries[i].number = next.first + static_cast<int32_t>(i);
                entries[i].subGroup = subGroup;
                if (!session.InsertRecord(table, static_cast<int>(columns.size()), columns, EntryValues(entries[i])))
                    return false;
            }
            return true;
        },
        pause);
    if (out != WriteOutcome::Done)
        for (EntryRecord& e : entries) e.number = 0;
    return out;
}
