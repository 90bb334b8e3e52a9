#pragma once
// The commands that act on whole groups from the board: move to the top left, tidy,
// duplicate and delete. The window checks the preconditions and asks the user; these run
// the statements and adjust the icons they touch.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>
#include <string>

#include "board/board.h"
#include "db/session.h"
#include "store/reads.h"
#include "store/writes.h"

// Attached and the catalogue present: what every group command needs first.
bool CatalogueReady(DatabaseSession& session);

// The number a new group gets: the highest in the catalogue plus one, 1 for an empty
// one; Full when the highest is already the largest a number can be, Failed when the
// catalogue could not be read.
NextNumbers NextGroupNumber(DatabaseSession& session);

// What the windows say when create or duplicate finds no number left (UTF-8).
inline constexpr const char* kNoGroupNumberLeft = "グループ番号が上限に達しています";

// Puts the icon of the group at 0, 0 and stores the position when it changed.
void MoveGroupToTopLeft(GroupBoard& board, int32_t group);

// Lays every present icon out in a grid of 64-pixel cells, clientWidth div 64 + 1
// columns, starting 16 pixels in; stores the positions that changed. A cell whose caption
// (or picture) does not fit is widened to hold it and the cells after it move right, a
// row as tall as its tallest group needs, so that no two names run into each other; a
// row ends after as many cells as the plain grid has, or earlier where a widened cell
// would end past the plain grid's last one.
void TidyGroups(GroupBoard& board, int clientWidth);

// --- places for new groups ---------------------------------------------------------------

// A rectangle of the board; 64-bit, so that no sum of positions and sizes overflows.
struct BoardRect {
    int64_t left = 0, top = 0, width = 0, height = 0;
    bool Intersects(const BoardRect& o) const
    {
        return left < o.left + o.width && o.left < left + width && top < o.top + o.height && o.top < top + height;
    }
    bool Contains(const BoardRect& o) const
    {
        return o.left >= left && o.top >= top && o.left + o.width <= left + width && o.top + o.height <= top + height;
    }
};

// What a group covers: its picture's size and its caption's.
struct GroupSize {
    int iconWidth = 32, iconHeight = 32, captionWidth = 0, captionHeight = 0;
};
// The icon and caption of a group whose icon stands at left, top, as one rectangle.
BoardRect GroupRect(int64_t left, int64_t top, const GroupSize& size);

// What the present groups cover (icons and captions), all but group `except`.
class CoveredBoard {
public:
    explicit CoveredBoard(GroupBoard& board, int32_t except = 0);
    bool Free(const BoardRect& r) const;
    int64_t Bottom() const { return bottom_; }

private:
    // By bands of 64 pixels down the board, so that a look-up reads only its neighbours.
    std::map<int64_t, std::vector<BoardRect>> bands_;
    int64_t bottom_ = 0;
};

// Where a new group goes: the first place of the tidy grid (clientWidth div 64 + 1 columns,
// 64-pixel cells, 16 pixels in) that lies wholly in the visible part of the board and
// where it covers no other group; when the visible part has none, the first free place
// below it that lies within the visible width (the first free one at all when none can).
BoardPoint PlaceForNewGroup(const CoveredBoard& covered, const BoardRect& visible, int clientWidth,
                            const GroupSize& size);

// Where a duplicate goes: `wanted` (12 pixels right of and below its original) when it
// covers none of the `others` (every group but the original); otherwise the place of the
// tidy grid nearest to it that covers no group at all.
BoardPoint PlaceForDuplicate(const CoveredBoard& others, const CoveredBoard& all, BoardPoint wanted, int clientWidth,
                             const GroupSize& size);

// Copies the catalogue row of group `source` to a new group (highest number + 1) 12 pixels
// right of and below it (or, where another group stands there, at the nearest free place
// of the tidy grid on a board clientWidth wide), with its file and sub-group tables, and adds its icon. The copy
// appears whole or not at all; a number or table that another copy takes meanwhile is
// tried again with the next number. `made` receives the new number. Failed also when no
// number is left. Nothing is copied unless the group still holds what was shown.
WriteOutcome DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source, const ShownGroup& shown,
                            int clientWidth, int32_t* made = nullptr);

// Deletes the catalogue row of the group and its two tables as one unit, then its icon,
// and clears the selection. Nothing is deleted unless the row still holds what was shown.
WriteOutcome DeleteGroup(GroupBoard& board, DatabaseSession& session, int32_t group, const ShownGroup& shown);
