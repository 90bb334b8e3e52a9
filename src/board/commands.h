#pragma once
// The commands that act on whole groups from the board: move to the top left, tidy,
// duplicate and delete. The window checks the preconditions and asks the user; these run
// the statements and adjust the icons they touch.
#include <cstdint>
#include <optional>
#include <string>

#include "board/board.h"
#include "db/session.h"

// Attached and the catalogue present: what every group command needs first.
bool CatalogueReady(DatabaseSession& session);

// The number a new group gets: the highest in the catalogue plus one, 1 for an empty
// one; nothing when the highest is already the largest a number can be.
std::optional<int32_t> NextGroupNumber(DatabaseSession& session);

// What the windows say when create or duplicate finds no number left (UTF-8).
inline constexpr const char* kNoGroupNumberLeft = "グループ番号が上限に達しています";

// Puts the icon of the group at 0, 0 and stores the position when it changed.
void MoveGroupToTopLeft(GroupBoard& board, int32_t group);

// Lays every present icon out in a grid of 64-pixel cells, clientWidth div 64 + 1
// columns, starting 16 pixels in; stores the positions that changed.
void TidyGroups(GroupBoard& board, int clientWidth);

// How a duplicate or a delete ended.
enum class GroupOutcome {
    Done,
    Changed,   // the group is no longer the one the user saw: another copy changed or deleted it
    Failed,    // nothing was changed
};

// What the detail panel showed of a group when the user chose it, as stored: the
// duplicate and delete commands act only on a group that still holds it, since another
// copy may have deleted that group and given its number to a new one.
struct ShownGroup {
    std::string name, author, number, title, subtitle;
};
ShownGroup ShownFromRow(const TextRow& catalogueRow);
bool StillShown(const TextRow& catalogueRow, const ShownGroup& shown);

// Copies the catalogue row of group `source` to a new group (highest number + 1) 12 pixels
// right of and below it, with its file and sub-group tables, and adds its icon. The copy
// appears whole or not at all; a number or table that another copy takes meanwhile is
// tried again with the next number. `made` receives the new number. Failed also when no
// number is left.
GroupOutcome DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source, const ShownGroup& shown,
                            int32_t* made = nullptr);

// Deletes the catalogue row "N=" + numberText and the group's two tables as one unit,
// then its icon, and clears the selection. Nothing is deleted unless the row still holds
// what was shown.
GroupOutcome DeleteGroup(GroupBoard& board, DatabaseSession& session, const std::string& numberText,
                         const ShownGroup& shown);
