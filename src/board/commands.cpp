#include "board/commands.h"

#include <algorithm>
#include <limits>

#include "db/schema.h"
#include "text/textutil.h"

namespace {

constexpr int kPitch = 64;
constexpr int kDuplicateOffset = 12;

} // namespace

bool CatalogueReady(DatabaseSession& session) { return session.Connected() && session.TableExists(kCatalogueTable); }

std::optional<int32_t> NextGroupNumber(DatabaseSession& session)
{
    std::string max;
    session.SelectMax(kCatalogueTable, "N", "", max);
    const int32_t highest = StrToIntOrZero(max);
    if (highest == std::numeric_limits<int32_t>::max()) return std::nullopt;
    return highest + 1;
}

void MoveGroupToTopLeft(GroupBoard& board, int32_t group)
{
    IconSlot* slot = board.PresentSlot(group);
    if (!slot) return;
    slot->icon->MoveTo(0, 0);
    board.PlaceCaption(*slot);
    board.StoreIconPosition(group);
}

void TidyGroups(GroupBoard& board, int clientWidth)
{
    const int columns = clientWidth / kPitch + 1;
    int k = 0;
    for (const auto& entry : board.iconSlots) {
        const int32_t group = entry.first;
        IconSlot* slot = board.PresentSlot(group);
        if (!slot) continue;
        slot->icon->MoveTo((k % columns) * kPitch + kPitch / 4, (k / columns) * kPitch);
        board.PlaceCaption(*slot);
        board.StoreIconPosition(group);
        ++k;
    }
}

ShownGroup ShownFromRow(const TextRow& row)
{
    return {row[kColGrpName], row[kColPName], row[kColN], row[kColMTitle], row[kColSTitle]};
}

bool StillShown(const TextRow& row, const ShownGroup& shown)
{
    return !row[kColN].empty() && row[kColN] == shown.number && row[kColGrpName] == shown.name &&
           row[kColPName] == shown.author && row[kColMTitle] == shown.title && row[kColSTitle] == shown.subtitle;
}

namespace {

// A clash with another copy that makes a group at the same moment is tried again with a
// higher number; a few tries are plenty.
constexpr int kDuplicateAttempts = 4;

enum class Step { Done, Changed, Failed, Again };

// One of the two tables of a duplicate.
struct TableCopy {
    std::string source, target;
    bool subGroupShape = false;
    bool sourceExists = false;
    bool targetExisted = false;   // left behind by an earlier group of that number
    bool made = false;
};

// Tables made for a duplicate that did not come about are dropped, unless another copy
// has given its own group that number meanwhile (they are its tables now).
void DropMadeTables(DatabaseSession& session, const std::vector<TableCopy>& tables, int32_t target)
{
    if (std::none_of(tables.begin(), tables.end(), [](const TableCopy& t) { return t.made; })) return;
    if (!session.Connected() || !session.BeginWork()) return;
    bool ok = session.CountRecords(kCatalogueTable, GroupCondition(target)) == 0;
    for (const TableCopy& t : tables)
        if (ok && t.made) ok = session.DropTable(t.target);
    if (ok)
        session.CommitWork();
    else
        session.RollbackWork();
}

// Makes group `target` as a copy of group `source`: first the missing tables (DDL must
// commit before rows can go in), then the rows and the catalogue row in one unit, so the
// duplicate appears whole or not at all.
Step CopyGroup(GroupBoard& board, DatabaseSession& session, int32_t source, int32_t target, const ShownGroup& shown,
               const std::vector<std::string>& values)
{
    std::vector<TableCopy> tables{{FileTableName(source), FileTableName(target), false},
                                  {SubGroupTableName(source), SubGroupTableName(target), true}};
    for (TableCopy& t : tables) {
        t.sourceExists = session.TableExists(t.source);
        if (session.LastFailure() != DbFailure::None) return Step::Failed;
        t.targetExisted = session.TableExists(t.target);
        if (session.LastFailure() != DbFailure::None) return Step::Failed;
    }

    auto failed = [&] {
        const DbFailure why = session.LastFailure();
        DropMadeTables(session, tables, target);
        return why == DbFailure::LostConnection ? Step::Failed : Step::Again;
    };

    if (std::any_of(tables.begin(), tables.end(), [](const TableCopy& t) { return t.sourceExists && !t.targetExisted; })) {
        if (!session.BeginWork()) return Step::Failed;
        bool ok = true;
        for (TableCopy& t : tables) {
            if (!ok || !t.sourceExists || t.targetExisted) continue;
            ok = t.subGroupShape ? CreateSubGroupTable(session, t.target) : CreateFileTable(session, t.target);
        }
        if (ok)
            ok = session.CommitWork();
        else
            session.RollbackWork();
        if (!ok) return failed();
        for (TableCopy& t : tables) t.made = t.sourceExists && !t.targetExisted;
    }

    if (!session.BeginWork()) return failed();
    // Read again inside the unit: what is copied is the group the user chose.
    const TextRow row = board.ReadGroupRow(source);
    if (session.LastFailure() == DbFailure::None && !StillShown(row, shown)) {
        session.RollbackWork();
        DropMadeTables(session, tables, target);
        return Step::Changed;
    }
    bool ok = session.LastFailure() == DbFailure::None;
    for (const TableCopy& t : tables) {
        // Rows of an earlier group of the new number must not pass to the duplicate.
        if (ok && t.targetExisted) ok = session.DeleteRecords(t.target, "");
        if (ok && t.sourceExists) {
            TextRow names;
            std::vector<TextRow> rows;
            ok = session.ReadTable(t.source, names, rows) && session.InsertRows(t.target, names, rows);
        }
    }
    if (ok) ok = session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), values);
    if (ok)
        ok = session.CommitWork();
    else
        session.RollbackWork();
    return ok ? Step::Done : failed();
}

} // namespace

GroupOutcome DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source, const ShownGroup& shown,
                            int32_t* made)
{
    TextRow row = board.ReadGroupRow(source);
    if (session.LastFailure() != DbFailure::None) return GroupOutcome::Failed;
    if (!StillShown(row, shown)) return GroupOutcome::Changed;

    // Held at the largest number rather than wrapped round.
    auto offset = [](const std::string& stored) {
        return int32_t(std::min<int64_t>(int64_t(StrToIntOrZero(stored)) + kDuplicateOffset,
                                         std::numeric_limits<int32_t>::max()));
    };
    const int32_t x = offset(row[kColX]);
    const int32_t y = offset(row[kColY]);
    const std::string name = row[kColGrpName];
    const std::string iconFile = row[kColIconP];

    std::vector<std::string> values(kCatalogueColumnCount);
    for (int c = kColGrpName; c <= kColIconP; ++c) values[c] = TextLiteral(row[c]);
    values[kColX] = IntToStr(x);
    values[kColY] = IntToStr(y);

    int32_t target = 0;
    for (int attempt = 0; attempt < kDuplicateAttempts; ++attempt) {
        const std::optional<int32_t> next = NextGroupNumber(session);
        if (session.LastFailure() != DbFailure::None || !next) return GroupOutcome::Failed;
        if (target == std::numeric_limits<int32_t>::max()) return GroupOutcome::Failed;
        // After a clash the number tried is likely another copy's group in the making,
        // whose row is not in yet: the next try goes above it.
        target = std::max(*next, target + 1);
        values[kColN] = IntToStr(target);

        switch (CopyGroup(board, session, source, target, shown, values)) {
        case Step::Done:
            board.AddSlot(target);
            board.AddGroupIcon(target - 1, x, y, name, iconFile);
            if (made) *made = target;
            return GroupOutcome::Done;
        case Step::Changed:
            return GroupOutcome::Changed;
        case Step::Failed:
            return GroupOutcome::Failed;
        case Step::Again:
            break;
        }
    }
    return GroupOutcome::Failed;
}

GroupOutcome DeleteGroup(GroupBoard& board, DatabaseSession& session, const std::string& numberText,
                         const ShownGroup& shown)
{
    // The row and both tables go together or not at all: a row deleted without its
    // tables would hand the group's entries to the next group of that number.
    const int32_t group = StrToIntOrZero(numberText);
    if (!session.BeginWork()) return GroupOutcome::Failed;
    const TextRow row = board.ReadGroupRow(group);
    bool ok = session.LastFailure() == DbFailure::None;
    if (ok && !StillShown(row, shown)) {
        session.RollbackWork();
        return GroupOutcome::Changed;
    }
    if (ok && !session.DeleteRecords(kCatalogueTable, "N=" + numberText)) {
        ok = false;
        // Another copy changed or deleted the row after it was read here.
        if (session.LastFailure() == DbFailure::Conflict) {
            session.RollbackWork();
            return GroupOutcome::Changed;
        }
    }
    for (const std::string& table : {FileTableName(group), SubGroupTableName(group)}) {
        if (!ok) break;
        const bool exists = session.TableExists(table);
        ok = session.LastFailure() == DbFailure::None && (!exists || session.DropTable(table));
    }
    // DROP TABLE waits at the commit for another copy that still uses the table, at most
    // the lock time-out; then nothing is deleted.
    if (ok)
        ok = session.CommitWork();
    else
        session.RollbackWork();
    if (!ok) return GroupOutcome::Failed;

    board.RemoveGroupIcon(group);
    board.selectedGroup = 0;
    board.pressedGroup = 0;
    return GroupOutcome::Done;
}
