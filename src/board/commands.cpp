#include "board/commands.h"

#include <limits>

#include "text/textutil.h"

namespace {

constexpr int kPitch = 64;
constexpr int kDuplicateOffset = 12;

std::string FileTable(const std::string& n) { return "GRP1_" + n; }
std::string SubGroupTable(const std::string& n) { return "GRP2_" + n; }

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

int32_t DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source)
{
    TextRow row = board.ReadGroupRow(source);
    // No row for that number (another copy of the program deleted it): a copy of nothing
    // would be a group of empty fields.
    if (row[kColN].empty()) return 0;

    const std::optional<int32_t> next = NextGroupNumber(session);
    if (!next) return 0;
    const int32_t target = *next;
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
    values[kColN] = IntToStr(target);
    for (int c = kColGrpName; c <= kColIconP; ++c) values[c] = TextLiteral(row[c]);
    values[kColX] = IntToStr(x);
    values[kColY] = IntToStr(y);
    const std::vector<std::string> columns{"N", "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1",
                                           "MEMO2", "MEMO3", "ICONP", "X", "Y"};
    if (!session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, columns, values)) return 0;

    const std::string from = IntToStr(source), to = IntToStr(target);
    session.CopyTable(false, FileTable(from), FileTable(to));
    session.CopyTable(true, SubGroupTable(from), SubGroupTable(to));

    board.AddSlot(target);
    board.AddGroupIcon(target - 1, x, y, name, iconFile);
    return target;
}

bool DeleteGroup(GroupBoard& board, DatabaseSession& session, const std::string& numberText)
{
    if (!session.DeleteRecords(kCatalogueTable, "N=" + numberText)) return false;
    for (const std::string& table : {FileTable(numberText), SubGroupTable(numberText)})
        if (session.TableExists(table)) session.DropTable(table);
    board.RemoveGroupIcon(StrToIntOrZero(numberText));
    board.selectedGroup = 0;
    board.pressedGroup = 0;
    return true;
}
