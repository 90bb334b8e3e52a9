#include "board/commands.h"

#include <algorithm>
#include <limits>

#include "db/schema.h"
#include "text/textutil.h"

namespace {

constexpr int kPitch = 64;
constexpr int kDuplicateOffset = 12;
// Between two captions side by side: more than a full-width space, so that two names
// never read as one name that holds spaces; and below the lowest caption of a row.
constexpr int kCaptionGap = 16;
constexpr int kRowGap = 4;
// The caption stands 3 pixels below its icon.
constexpr int kCaptionDrop = 3;

int Columns(int clientWidth) { return std::max(clientWidth, 0) / kPitch + 1; }

GroupSize SizeOf(const IconSlot& slot)
{
    GroupSize size{slot.icon->Width(), slot.icon->Height(), 0, 0};
    if (slot.caption) {
        size.captionWidth = slot.caption->Width();
        size.captionHeight = slot.caption->Height();
    }
    return size;
}

} // namespace

bool CatalogueReady(DatabaseSession& session) { return session.Connected() && session.TableExists(kCatalogueTable); }

NextNumbers NextGroupNumber(DatabaseSession& session) { return NextNumbersOf(session, kCatalogueTable); }

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
    const int columns = Columns(clientWidth);
    const int64_t rowEnd = int64_t(columns) * kPitch;
    int64_t cellLeft = 0, rowTop = 0, rowHeight = kPitch;
    int inRow = 0;
    for (const auto& entry : board.iconSlots) {
        const int32_t group = entry.first;
        IconSlot* slot = board.PresentSlot(group);
        if (!slot) continue;
        const GroupSize size = SizeOf(*slot);
        // The plain cell where the group fits in it, with room to spare for its neighbours.
        int64_t cellWidth = kPitch;
        int64_t left = kPitch / 4;
        const int64_t captionLeft = left + size.iconWidth / 2 - size.captionWidth / 2;
        const bool fits = left + size.iconWidth <= kPitch && captionLeft >= kCaptionGap / 2 &&
                          captionLeft + size.captionWidth <= kPitch - kCaptionGap / 2;
        if (!fits) {
            cellWidth = int64_t(std::max(size.iconWidth, size.captionWidth)) + kCaptionGap;
            left = (cellWidth - size.iconWidth) / 2;
        }
        if (inRow > 0 && (inRow >= columns || cellLeft + cellWidth > rowEnd)) {
            rowTop += rowHeight;
            cellLeft = 0;
            rowHeight = kPitch;
            inRow = 0;
        }
        left += cellLeft;
        rowHeight = std::max<int64_t>(rowHeight, int64_t(size.iconHeight) + kCaptionDrop + size.captionHeight + kRowGap);
        // Held on the board: a thousand groups of huge pictures must not overflow it.
        slot->icon->MoveTo(int(std::min<int64_t>(left, kMaxBoardPosition)), int(std::min<int64_t>(rowTop, kMaxBoardPosition)));
        board.PlaceCaption(*slot);
        board.StoreIconPosition(group);
        cellLeft += cellWidth;
        ++inRow;
    }
}

BoardRect GroupRect(int64_t left, int64_t top, const GroupSize& size)
{
    // The caption is centred under the icon and may stand out on either side.
    const int64_t captionLeft = left + size.iconWidth / 2 - size.captionWidth / 2;
    const int64_t l = std::min(left, captionLeft);
    const int64_t r = std::max(left + size.iconWidth, captionLeft + size.captionWidth);
    const int64_t bottom = size.captionHeight > 0 ? top + size.iconHeight + kCaptionDrop + size.captionHeight
                                                  : top + size.iconHeight;
    return {l, top, r - l, bottom - top};
}

CoveredBoard::CoveredBoard(GroupBoard& board, int32_t except)
{
    for (const auto& entry : board.iconSlots) {
        if (entry.first == except) continue;
        const IconSlot* slot = board.PresentSlot(entry.first);
        if (!slot) continue;
        std::vector<BoardRect> parts{{slot->icon->Left(), slot->icon->Top(), slot->icon->Width(), slot->icon->Height()}};
        if (auto* c = slot->caption) {
            const BoardPoint p = CaptionPosition(slot->icon->Left(), slot->icon->Top(), slot->icon->Width(),
                                                 slot->icon->Height(), c->Width());
            parts.push_back({p.x, p.y, c->Width(), c->Height()});
        }
        for (const BoardRect& r : parts) {
            if (r.width <= 0 || r.height <= 0) continue;
            for (int64_t band = r.top / kPitch; band <= (r.top + r.height - 1) / kPitch; ++band) bands_[band].push_back(r);
            bottom_ = std::max(bottom_, r.top + r.height);
        }
    }
}

bool CoveredBoard::Free(const BoardRect& r) const
{
    if (r.height <= 0) return true;
    for (auto band = bands_.lower_bound(r.top / kPitch); band != bands_.end() && band->first <= (r.top + r.height - 1) / kPitch;
         ++band)
        for (const BoardRect& other : band->second)
            if (r.Intersects(other)) return false;
    return true;
}

namespace {

// A grid place is free when a new caption there keeps the gap to its neighbours' too.
bool FreeWithGap(const CoveredBoard& covered, BoardRect r)
{
    r.left -= kCaptionGap / 2;
    r.width += kCaptionGap;
    return covered.Free(r);
}

BoardPoint GridPlace(int column, int64_t row)
{
    return {kPitch / 4 + column * kPitch, int(std::min<int64_t>(row * kPitch, kMaxBoardPosition))};
}

} // namespace

BoardPoint PlaceForNewGroup(const CoveredBoard& covered, const BoardRect& visible, int clientWidth,
                            const GroupSize& size)
{
    const int columns = Columns(clientWidth);
    const int64_t firstRow = std::clamp<int64_t>(visible.top, 0, kMaxBoardPosition) / kPitch;
    // Below everything covered every place is free: the search ends there at the latest.
    const int64_t lastRow = std::max(covered.Bottom(), firstRow * kPitch) / kPitch + 1;
    // With the visible part full, the first free place below it that is not cut off at
    // the sides (the board scrolls down to it), else the first free place at all.
    std::optional<BoardPoint> firstAcross, firstFree;
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        if (firstAcross && row * kPitch >= visible.top + visible.height) break;
        for (int c = 0; c < columns; ++c) {
            const BoardPoint place = GridPlace(c, row);
            const BoardRect r = GroupRect(place.x, place.y, size);
            if (!FreeWithGap(covered, r)) continue;
            if (visible.Contains(r)) return place;
            if (!firstAcross && r.left >= visible.left && r.left + r.width <= visible.left + visible.width)
                firstAcross = place;
            if (!firstFree) firstFree = place;
        }
    }
    return firstAcross ? *firstAcross : firstFree.value_or(GridPlace(0, lastRow));
}

BoardPoint PlaceForDuplicate(const CoveredBoard& others, const CoveredBoard& covered, BoardPoint wanted, int clientWidth,
                             const GroupSize& size)
{
    if (others.Free(GroupRect(wanted.x, wanted.y, size))) return wanted;
    const int columns = Columns(clientWidth);
    const int64_t wantedRow = std::max(wanted.y, 0) / kPitch;
    const int64_t lastRow = covered.Bottom() / kPitch + 1;
    std::optional<BoardPoint> best;
    int64_t bestDistance = 0;
    // Rows outward from the wanted one, until no row further off can hold a nearer place.
    for (int64_t step = 0;; ++step) {
        const int64_t nearest = std::max<int64_t>(step - 1, 0) * kPitch;
        if (best && nearest * nearest > bestDistance) break;
        const int64_t up = wantedRow - step, down = wantedRow + step;
        if (up < 0 && down > lastRow) break;
        const int64_t rows[2] = {up, down};
        for (int i = 0; i < (step ? 2 : 1); ++i) {
            const int64_t row = rows[i];
            if (row < 0 || row > lastRow) continue;
            for (int c = 0; c < columns; ++c) {
                const BoardPoint place = GridPlace(c, row);
                if (!FreeWithGap(covered, GroupRect(place.x, place.y, size))) continue;
                const int64_t dx = int64_t(place.x) - wanted.x, dy = int64_t(place.y) - wanted.y;
                if (!best || dx * dx + dy * dy < bestDistance) {
                    best = place;
                    bestDistance = dx * dx + dy * dy;
                }
            }
        }
    }
    return best.value_or(wanted);
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
Step CopyGroup(DatabaseSession& session, int32_t source, const ShownGroup& shown, const GroupRecord& copy)
{
    const int32_t target = copy.number;
    std::vector<TableCopy> tables{{FileTableName(source), FileTableName(target), false},
                                  {SubGroupTableName(source), SubGroupTableName(target), true}};
    for (TableCopy& t : tables) {
        const std::optional<bool> sourceExists = TablePresent(session, t.source);
        const std::optional<bool> targetExisted = sourceExists ? TablePresent(session, t.target) : std::nullopt;
        if (!targetExisted) return Step::Failed;
        t.sourceExists = *sourceExists;
        t.targetExisted = *targetExisted;
    }

    auto failed = [&](bool lost) {
        DropMadeTables(session, tables, target);
        return lost ? Step::Failed : Step::Again;
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
        if (!ok) return failed(FailureOutcome(session) == WriteOutcome::Lost);
        for (TableCopy& t : tables) t.made = t.sourceExists && !t.targetExisted;
    }

    // Read again inside the unit: what is copied is the group the user chose.
    const WriteOutcome out = RunGroupWrite(session, shown, 0, false, [&] {
        bool ok = true;
        for (const TableCopy& t : tables) {
            // Rows of an earlier group of the new number must not pass to the duplicate.
            if (ok && t.targetExisted) ok = session.DeleteRecords(t.target, "");
            if (ok && t.sourceExists) {
                TextRow names;
                std::vector<TextRow> rows;
                ok = session.ReadTable(t.source, names, rows) && session.InsertRows(t.target, names, rows);
            }
        }
        return ok && session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), GroupValues(copy));
    });
    switch (out) {
    case WriteOutcome::Done: return Step::Done;
    case WriteOutcome::GroupChanged:
        DropMadeTables(session, tables, target);
        return Step::Changed;
    case WriteOutcome::Lost: return failed(true);
    default: return failed(false);
    }
}

} // namespace

WriteOutcome DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source, const ShownGroup& shown,
                            int clientWidth, int32_t* made)
{
    const std::optional<GroupRecord> row = ReadGroupRecord(session, source);
    if (!row) return FailureOutcome(session);
    if (!StillShown(*row, shown)) return WriteOutcome::GroupChanged;

    // Held at the largest number rather than wrapped round.
    auto offset = [](const std::optional<int32_t>& stored) {
        return int32_t(std::min<int64_t>(int64_t(stored.value_or(0)) + kDuplicateOffset,
                                         std::numeric_limits<int32_t>::max()));
    };
    int32_t x = offset(row->x);
    int32_t y = offset(row->y);
    // Next to its original unless another group stands there (an earlier duplicate):
    // a duplicate must not hide under, or hide, another group.
    const IconSlot* original = board.PresentSlot(source);
    const GroupSize size = original ? SizeOf(*original) : GroupSize{};
    const BoardPoint wanted{ShownPosition(x), ShownPosition(y)};
    const BoardPoint place =
        PlaceForDuplicate(CoveredBoard(board, source), CoveredBoard(board), wanted, clientWidth, size);
    if (place != wanted) {
        x = place.x;
        y = place.y;
    }
    GroupRecord copy = *row;
    copy.x = x;
    copy.y = y;

    int32_t target = 0;
    for (int attempt = 0; attempt < kDuplicateAttempts; ++attempt) {
        const NextNumbers next = NextGroupNumber(session);
        if (!next.Ok()) return next.status == NextNumbers::Status::Full ? WriteOutcome::Failed : FailureOutcome(session);
        if (target == std::numeric_limits<int32_t>::max()) return WriteOutcome::Failed;
        // After a clash the number tried is likely another copy's group in the making,
        // whose row is not in yet: the next try goes above it.
        target = std::max(next.first, target + 1);
        copy.number = target;

        switch (CopyGroup(session, source, shown, copy)) {
        case Step::Done:
            board.AddSlot(target);
            board.AddGroupIcon(target - 1, x, y, copy.name, copy.picture);
            if (made) *made = target;
            return WriteOutcome::Done;
        case Step::Changed:
            return WriteOutcome::GroupChanged;
        case Step::Failed:
            return FailureOutcome(session);
        case Step::Again:
            break;
        }
    }
    return WriteOutcome::Failed;
}

WriteOutcome DeleteGroup(GroupBoard& board, DatabaseSession& session, int32_t group, const ShownGroup& shown)
{
    if (group == 0 || group != shown.number) return WriteOutcome::GroupChanged;
    // The row and both tables go together or not at all: a row deleted without its
    // tables would hand the group's entries to the next group of that number.
    bool conflict = false;
    const WriteOutcome out = RunGroupWrite(session, shown, 0, false, [&] {
        if (!session.DeleteRecords(kCatalogueTable, NumberIs(group))) {
            // Another copy changed or deleted the row after it was read here.
            conflict = session.LastFailure() == DbFailure::Conflict;
            return false;
        }
        for (const std::string& table : {FileTableName(group), SubGroupTableName(group)}) {
            const std::optional<bool> exists = TablePresent(session, table);
            if (!exists || (*exists && !session.DropTable(table))) return false;
        }
        // DROP TABLE waits at the commit for another copy that still uses the table, at
        // most the lock time-out; then nothing is deleted.
        return true;
    });
    if (out == WriteOutcome::Failed && conflict) return WriteOutcome::GroupChanged;
    if (out != WriteOutcome::Done) return out;

    board.RemoveGroupIcon(group);
    board.selectedGroup = 0;
    board.pressedGroup = 0;
    return WriteOutcome::Done;
}
