#include "board/board.h"

#include <algorithm>

#include "text/textutil.h"

const char* const kCatalogueTable = "GRPJWW";

namespace {

const char* const kDefaultIcon = "icon1.ico";

} // namespace

BoardPoint DragPosition(BoardPoint pointer, BoardPoint clientOrigin, BoardPoint grab, int clientWidth,
                        int boardHeight, int iconHeight)
{
    BoardPoint p{pointer.x - clientOrigin.x - grab.x, pointer.y - clientOrigin.y - grab.y};
    if (p.x < 0) p.x = 0;
    if (p.y < 0) p.y = 0;
    // The icon's own width is not subtracted: it may be pushed out of sight to the right
    // (the move command brings it back); downwards it always stays above the panel.
    if (p.x > clientWidth) p.x = clientWidth;
    const int bottom = boardHeight - iconHeight;
    if (p.y > bottom) p.y = bottom;
    return p;
}

BoardPoint CaptionPosition(int iconLeft, int iconTop, int iconWidth, int iconHeight, int captionWidth)
{
    // C++ integer division truncates toward zero, as the layout asks.
    return {iconLeft + iconWidth / 2 - captionWidth / 2, iconTop + iconHeight + 3};
}

std::string PositionSetText(int32_t x, int32_t y) { return "X=" + IntToStr(x) + "," + "Y=" + IntToStr(y); }

std::string GroupCondition(int32_t group) { return "N=" + IntToStr(group); }

GroupBoard::GroupBoard(DatabaseSession& session, BoardHost& host) : session_(session), host_(host) {}

GroupBoard::~GroupBoard() = default;

void GroupBoard::ResetSelection()
{
    grabX = 0;
    grabY = 0;
    pressedGroup = 0;
    selectedGroup = 0;
    pressed = false;
}

void GroupBoard::ReleaseIcons()
{
    for (IconSlot& slot : iconSlots)
        if (slot.present) ReleaseSlot(slot);
    slotCount = 0;
    iconSlots.clear();
}

void GroupBoard::BuildBoard()
{
    ReleaseIcons();
    if (!session_.Connected() || !session_.TableExists(kCatalogueTable)) return;

    std::string max;
    session_.SelectMax(kCatalogueTable, "N", "", max);
    slotCount = StrToIntOrZero(max);
    if (slotCount < 0) slotCount = 0;
    iconSlots.assign(static_cast<size_t>(slotCount), IconSlot{});

    const int count = session_.CountRecords(kCatalogueTable, "");
    session_.SelectRecords("*", kCatalogueTable, "", "N");
    // Rows are copied first: building an icon runs no statement today, but the result
    // must not depend on that.
    std::vector<TextRow> rows;
    TextRow row(kCatalogueColumnCount);
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            session_.ReadFirstRecord(row);
        else
            session_.ReadNextRecord(row);
        rows.push_back(row);
    }
    session_.CloseSelect();

    for (const TextRow& r : rows) {
        if (r.size() < kCatalogueColumnCount) continue;
        const int32_t n = StrToIntOrZero(r[kColN]);
        if (n < 1 || n > slotCount) continue;
        AddGroupIcon(n - 1, StrToIntOrZero(r[kColX]), StrToIntOrZero(r[kColY]), r[kColGrpName], r[kColIconP]);
    }
}

void GroupBoard::AddSlot(int32_t group)
{
    ++slotCount;
    const size_t want = static_cast<size_t>(std::max<int32_t>({slotCount, group, 0}));
    if (iconSlots.size() < want) iconSlots.resize(want);
}

void GroupBoard::AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption,
                              const std::string& iconFile)
{
    if (index < 0 || static_cast<size_t>(index) >= iconSlots.size()) return;
    const int group = index + 1;
    const std::string file = host_.IconFileExists(iconFile) ? iconFile : std::string(kDefaultIcon);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    IconSlot& slot = iconSlots[static_cast<size_t>(index)];
    slot.X = x;
    slot.Y = y;

    BoardIcon* icon = host_.CreateIcon(group, x, y, file);
    if (!icon) {
        slot.icon = nullptr;
        slot.caption = nullptr;
        slot.present = false;
        return;
    }
    slot.icon = icon;
    slot.caption = host_.CreateCaption(group, caption);
    PlaceCaption(slot);
    if (slot.caption) slot.caption->SetDragMark(false);
    host_.ShowControls(slot.icon, slot.caption);
    slot.present = true;
}

void GroupBoard::RemoveGroupIcon(int32_t group)
{
    if (group < 1 || static_cast<size_t>(group) > iconSlots.size()) return;
    IconSlot& slot = iconSlots[static_cast<size_t>(group - 1)];
    if (slot.present) ReleaseSlot(slot);
}

void GroupBoard::ReleaseSlot(IconSlot& slot)
{
    try {
        host_.DestroyControls(slot.icon, slot.caption);
    } catch (...) {
        // One slot that cannot be released must not keep the others alive.
    }
    slot.icon = nullptr;
    slot.caption = nullptr;
    slot.present = false;
}

void GroupBoard::PlaceCaption(IconSlot& slot)
{
    if (!slot.icon || !slot.caption) return;
    const BoardPoint p = CaptionPosition(slot.icon->Left(), slot.icon->Top(), slot.icon->Width(),
                                         slot.icon->Height(), slot.caption->Width());
    slot.caption->MoveTo(p.x, p.y);
}

IconSlot* GroupBoard::PresentSlot(int32_t group)
{
    if (group < 1 || static_cast<size_t>(group) > iconSlots.size()) return nullptr;
    IconSlot& slot = iconSlots[static_cast<size_t>(group - 1)];
    return slot.present && slot.icon ? &slot : nullptr;
}

void GroupBoard::StoreIconPosition(int32_t group)
{
    IconSlot* slot = PresentSlot(group);
    if (!slot) return;
    const int left = slot->icon->Left();
    const int top = slot->icon->Top();
    if (left == slot->X && top == slot->Y) return;
    slot->X = left;
    slot->Y = top;
    // The result is not looked at: the icon stays where it was dropped; a failed update
    // was rolled back and the next full build shows the stored position.
    session_.UpdateRecordText(kCatalogueTable, PositionSetText(slot->X, slot->Y), GroupCondition(group));
}

TextRow GroupBoard::ReadGroupRow(int32_t group)
{
    TextRow row(kCatalogueColumnCount);
    session_.SelectRecords("*", kCatalogueTable, GroupCondition(group), "");
    session_.ReadFirstRecord(row);
    session_.CloseSelect();
    if (row.size() < kCatalogueColumnCount) row.resize(kCatalogueColumnCount);
    return row;
}

void GroupBoard::ShowGroupDetails(int32_t group)
{
    const TextRow row = ReadGroupRow(group);
    host_.ShowDetails(row[kColGrpName], row[kColPName], row[kColN], row[kColMTitle], row[kColSTitle]);
}

void GroupBoard::IconMouseDown(int32_t group, int x, int y)
{
    if (pressed) return;
    grabX = x;
    grabY = y;
    pressedGroup = group;
    pressed = true;
}

void GroupBoard::MouseMove(bool leftHeld, BoardPoint pointer, BoardPoint clientOrigin)
{
    if (leftHeld) {
        if (!pressed || pressedGroup < 1 || pressedGroup > slotCount) return;
        IconSlot* slot = PresentSlot(pressedGroup);
        if (!slot) return;
        const BoardPoint p = DragPosition(pointer, clientOrigin, {grabX, grabY}, host_.ClientWidth(),
                                          host_.BoardHeight(), slot->icon->Height());
        slot->icon->MoveTo(p.x, p.y);
        PlaceCaption(*slot);
        if (slot->caption) slot->caption->SetDragMark(true);
        if (pressedGroup != selectedGroup) ShowGroupDetails(pressedGroup);
        selectedGroup = pressedGroup;
        return;
    }

    if (!pressed) return;
    StoreIconPosition(pressedGroup);
    if (IconSlot* slot = PresentSlot(pressedGroup); slot && slot->caption) slot->caption->SetDragMark(false);
    ShowGroupDetails(pressedGroup);
    pressed = false;
    selectedGroup = pressedGroup;
    pressedGroup = 0;
}
