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

// Copies the catalogue row of group `source` to a new group (highest number + 1) 12 pixels
// right of and below it, copies its file and sub-group tables, and adds its icon.
// Returns the new group number, or 0 when nothing was made (no number left included).
int32_t DuplicateGroup(GroupBoard& board, DatabaseSession& session, int32_t source);

// Deletes the catalogue row "N=" + numberText, then the group's tables and its icon, and
// clears the selection. When the row could not be deleted nothing else is touched (the
// tables hold the group's entries) and the result is false.
bool DeleteGroup(GroupBoard& board, DatabaseSession& session, const std::string& numberText);
