#include "board/board.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "store/reads.h"
#include "text/textutil.h"

const char* const kDefaultIcon = "icon1.ico";

namespace {

// A picture that cannot be had gives way to the default picture, and that to the plain
// placeholder (""): every group stays in reach.
template <typename Attempt>
auto WithFallbackPictures(const std::string& file, Attempt attempt)
{
    auto shown = attempt(file);
    if (!shown && file != kDefaultIcon) shown = attempt(kDefaultIcon);
    if (!shown) shown = attempt("");
    return shown;
}

} // namespace

int32_t ShownPosition(int32_t stored) { return std::clamp<int32_t>(stored, 0, kMaxBoardPosition); }

bool PictureNameInFolder(const std::string& iconFile)
{
    if (iconFile == "." || iconFile == "..") return false;
    for (size_t i = 0; i < iconFile.size(); ++i) {
        const auto c = static_cast<unsigned char>(iconFile[i]);
        if (IsLeadByte(c)) {
            ++i;   // the second byte of ソ and others is a backslash
            continue;
        }
        if (c == '/' || c == '\\') return false;
    }
    return true;
}

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

int32_t NearestGroup(GroupBoard& board, int32_t from, int dx, int dy)
{
    // 64-bit sums: positions are shown within a million, but sizes come from pictures.
    auto centre = [](const IconSlot& s) {
        return std::pair<int64_t, int64_t>{int64_t(s.icon->Left()) * 2 + s.icon->Width(),
                                           int64_t(s.icon->Top()) * 2 + s.icon->Height()};
    };
    const IconSlot* start = board.PresentSlot(from);
    // Groups within 45 degrees of the direction come first (the same row or column, as
    // the eye reads the board); the others only when there is none.
    int32_t best = 0, bestAside = 0;
    int64_t bestScore = 0, bestAsideScore = 0;
    std::pair<int64_t, int64_t> bestCentre;
    for (const auto& [group, slot] : board.iconSlots) {
        if (group == from || !board.PresentSlot(group)) continue;
        const auto c = centre(slot);
        if (!start) {
            // Reading order: top first, then left.
            if (!best || std::pair(c.second, c.first) < std::pair(bestCentre.second, bestCentre.first)) {
                best = group;
                bestCentre = c;
            }
            continue;
        }
        const auto s = centre(*start);
        const int64_t ahead = (c.first - s.first) * dx + (c.second - s.second) * dy;
        if (ahead <= 0) continue;
        const int64_t aside = dx ? std::abs(c.second - s.second) : std::abs(c.first - s.first);
        const int64_t score = ahead + 2 * aside;
        if (aside < ahead) {
            if (!best || score < bestScore) best = group, bestScore = score;
        } else if (!bestAside || score < bestAsideScore) {
            bestAside = group, bestAsideScore = score;
        }
    }
    return best ? best : bestAside;
}

std::string PositionSetText(int32_t x, int32_t y) { return "X=" + IntToStr(x) + "," + "Y=" + IntToStr(y); }

std::string GroupCondition(int32_t group) { return NumberIs(group); }

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
    for (auto& [group, slot] : iconSlots)
        if (slot.present) ReleaseSlot(slot);
    slotCount = 0;
    iconSlots.clear();
}

void GroupBoard::BuildBoard()
{
    // A server gone away, before or during the reads, is no empty catalogue: the board
    // keeps what it shows until the program attaches again, which builds it anew.
    const std::optional<bool> present = TablePresent(session_, kCatalogueTable);
    if (!present && (session_.Connected() || session_.ConnectionLost())) return;
    const bool catalogue = present.value_or(false);
    // Making, showing and destroying a window control costs far more than giving one a
    // new place or text, and a rebuild mostly finds the groups it already shows.
    std::map<int32_t, IconSlot> kept = std::move(iconSlots);
    const int32_t keptCount = slotCount;
    iconSlots.clear();
    slotCount = 0;
    auto releaseKept = [&] {
        for (auto& [group, slot] : kept)
            if (slot.present) ReleaseSlot(slot);
    };
    if (!catalogue) {
        releaseKept();
        return;
    }

    // Every row is read before the first icon is built: building one runs no statement
    // today, but the board must not depend on that.
    const std::optional<int32_t> max = MaxNumber(session_, kCatalogueTable);
    const std::optional<std::vector<TextRow>> read =
        max ? ReadRows(session_, "*", kCatalogueTable, "", "N") : std::nullopt;
    if (!read) {
        iconSlots = std::move(kept);
        slotCount = keptCount;
        return;
    }
    slotCount = std::max<int32_t>(*max, 0);
    const std::vector<TextRow>& rows = *read;

    std::vector<std::string> pictures;
    std::set<std::string> seen;
    std::vector<GroupRecord> groups;
    groups.reserve(rows.size());
    for (const TextRow& r : rows)
        if (std::optional<GroupRecord> g = GroupFromRow(r)) groups.push_back(std::move(*g));
    for (const GroupRecord& g : groups) {
        std::string file = ShownPictureFile(g.picture);
        if (seen.insert(file).second) pictures.push_back(std::move(file));
    }
    host_.PreparePictures(pictures);

    for (const GroupRecord& g : groups) {
        const int32_t n = g.number;
        if (n < 1 || n > slotCount) continue;
        const int32_t x = g.x.value_or(0), y = g.y.value_or(0);
        const auto old = kept.find(n);
        if (old != kept.end() && RefreshSlot(old->second, n, x, y, g.name, g.picture)) {
            kept.erase(old);
            continue;
        }
        AddGroupIcon(n - 1, x, y, g.name, g.picture);
    }
    // Groups gone from the catalogue, and those whose controls could not be kept.
    releaseKept();
}

bool GroupBoard::RefreshSlot(IconSlot& kept, int32_t group, int32_t x, int32_t y, const std::string& caption,
                             const std::string& iconFile)
{
    if (!kept.present || !kept.icon || !kept.caption) return false;
    x = ShownPosition(x);
    y = ShownPosition(y);
    if (!WithFallbackPictures(ShownPictureFile(iconFile),
                              [&](const std::string& f) { return host_.RefreshIcon(kept.icon, x, y, f); }))
        return false;
    host_.RefreshCaption(kept.caption, caption);
    IconSlot& slot = iconSlots[group];
    slot = kept;
    slot.x = x;
    slot.y = y;
    PlaceCaption(slot);
    slot.caption->SetDragMark(false);
    return true;
}

void GroupBoard::AddSlot(int32_t group)
{
    // A number taken by another copy of the program may lie above the count plus one:
    // its group must still be inside the table, or it could not be dragged.
    if (slotCount < INT32_MAX) ++slotCount;
    slotCount = std::max(slotCount, group);
}

std::string GroupBoard::ShownPictureFile(const std::string& iconFile)
{
    return PictureNameInFolder(iconFile) && host_.IconFileExists(iconFile) ? iconFile : std::string(kDefaultIcon);
}

void GroupBoard::AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption,
                              const std::string& iconFile)
{
    if (index < 0 || index >= slotCount) return;
    const int group = index + 1;
    const std::string file = ShownPictureFile(iconFile);
    x = ShownPosition(x);
    y = ShownPosition(y);
    IconSlot& slot = iconSlots[group];
    // Another copy may have deleted this number and handed it out again: the old
    // group's controls must not stay behind as a ghost that drags the new group.
    if (slot.present) ReleaseSlot(slot);
    slot.x = x;
    slot.y = y;

    BoardIcon* icon = WithFallbackPictures(file, [&](const std::string& f) { return host_.CreateIcon(group, x, y, f); });
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
    const auto found = iconSlots.find(group);
    if (found != iconSlots.end() && found->second.present) ReleaseSlot(found->second);
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
    const auto found = iconSlots.find(group);
    if (found == iconSlots.end()) return nullptr;
    IconSlot& slot = found->second;
    return slot.present && slot.icon ? &slot : nullptr;
}

void GroupBoard::StoreIconPosition(int32_t group)
{
    IconSlot* slot = PresentSlot(group);
    if (!slot) return;
    const int left = slot->icon->Left();
    const int top = slot->icon->Top();
    if (left == slot->x && top == slot->y) return;
    slot->x = left;
    slot->y = top;
    // The result is not looked at: the icon stays where it was dropped; a failed update
    // was rolled back and the next full build shows the stored position.
    session_.UpdateRecordText(kCatalogueTable, PositionSetText(slot->x, slot->y), GroupCondition(group));
}

std::optional<GroupRecord> GroupBoard::ReadGroup(int32_t group) { return ReadGroupRecord(session_, group); }

void GroupBoard::ShowGroupDetails(int32_t group)
{
    const std::optional<GroupRecord> record = ReadGroup(group);
    if (!record) {
        host_.DetailsUnread(group);
        return;
    }
    host_.ShowDetails(*record);
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
