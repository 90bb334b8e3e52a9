#pragma once
// The group board: one icon with a caption per group of the catalogue GRPJWW, at the
// position stored in the group's row, selected by a press and dragged with the left
// button. The board keeps the icon slot table and the selection state and runs the
// statements; the window supplies the controls through BoardHost.
#include <cstdint>
#include <string>
#include <vector>

#include "db/session.h"

// Catalogue columns in table order.
enum CatalogueColumn : int { kColN, kColGrpName, kColMTitle, kColSTitle, kColPName, kColMemo1, kColMemo2,
                             kColMemo3, kColIconP, kColX, kColY, kCatalogueColumnCount };

extern const char* const kCatalogueTable;   // "GRPJWW"

struct BoardPoint {
    int x = 0;
    int y = 0;
    bool operator==(const BoardPoint&) const = default;
};

// A group's picture control, created by the window at run time.
class BoardIcon {
public:
    virtual ~BoardIcon() = default;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void MoveTo(int left, int top) = 0;
};

// The text label under an icon.
class BoardCaption {
public:
    virtual ~BoardCaption() = default;
    virtual int Width() const = 0;
    virtual void MoveTo(int left, int top) = 0;
    // Silver while its icon is dragged, the window colour otherwise.
    virtual void SetDragMark(bool dragging) = 0;
};

// What the board needs of its window.
class BoardHost {
public:
    virtual ~BoardHost() = default;
    // True when the icon folder holds a file of that name (CP932).
    virtual bool IconFileExists(const std::string& iconFile) = 0;
    // A hidden icon of group n at x, y, sized to its picture; nullptr when the picture
    // cannot be loaded.
    virtual BoardIcon* CreateIcon(int group, int x, int y, const std::string& iconFile) = 0;
    // A hidden caption of group n holding the text, sized to it.
    virtual BoardCaption* CreateCaption(int group, const std::string& text) = 0;
    virtual void ShowControls(BoardIcon* icon, BoardCaption* caption) = 0;
    // Clears the picture and destroys both controls (either may be null).
    virtual void DestroyControls(BoardIcon* icon, BoardCaption* caption) = 0;
    // Puts the five detail fields: group name, author name, number, title, subtitle.
    virtual void ShowDetails(const std::string& name, const std::string& author, const std::string& number,
                             const std::string& title, const std::string& subtitle) = 0;
    // The client area: its width and the height left for icons above the detail panel and
    // the status bar.
    virtual int ClientWidth() const = 0;
    virtual int BoardHeight() const = 0;
};

struct IconSlot {
    int32_t X = 0;
    int32_t Y = 0;
    BoardIcon* icon = nullptr;
    BoardCaption* caption = nullptr;
    bool present = false;
};

// --- pure arithmetic ---------------------------------------------------------------

// Top left of the dragged icon: the pointer in client coordinates less the grab offset,
// first held at 0 on both axes, then at the client width and at the height above the
// bars less the icon's height (applied last, so it wins when that is negative).
BoardPoint DragPosition(BoardPoint pointer, BoardPoint clientOrigin, BoardPoint grab, int clientWidth,
                        int boardHeight, int iconHeight);

// Top left of a caption centred under its icon, 3 pixels below it.
BoardPoint CaptionPosition(int iconLeft, int iconTop, int iconWidth, int iconHeight, int captionWidth);

// Set text and condition of the position update: "X=120,Y=48", "N=7".
std::string PositionSetText(int32_t x, int32_t y);
std::string GroupCondition(int32_t group);

// --- the board -------------------------------------------------------------------------

class GroupBoard {
public:
    GroupBoard(DatabaseSession& session, BoardHost& host);
    ~GroupBoard();
    GroupBoard(const GroupBoard&) = delete;
    GroupBoard& operator=(const GroupBoard&) = delete;

    // Selection state.
    int32_t grabX = 0;
    int32_t grabY = 0;
    int32_t pressedGroup = 0;
    int32_t selectedGroup = 0;
    bool pressed = false;

    // Icon slot table: slot of group n at index n - 1. slotCount may be less than the
    // table's size after AddSlot made room for a high number.
    int32_t slotCount = 0;
    std::vector<IconSlot> iconSlots;

    // Grab offset, pressed and selected group and the pressed flag back to zero.
    void ResetSelection();
    // Destroys every present slot's controls (one failing slot does not stop the others)
    // and empties the table.
    void ReleaseIcons();
    // Full rebuild from the catalogue (empty when detached or without GRPJWW).
    void BuildBoard();
    // One more slot, and room for the slot of group n; new slots are not present.
    void AddSlot(int32_t group);
    // Builds the icon and caption of slot index at x, y (negative values shown at 0).
    // Falls back to "icon1.ico" for a missing file; a picture that cannot be loaded
    // leaves the slot without icon. index must lie inside the table.
    void AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption, const std::string& iconFile);
    // Destroys the icon and caption of group n, if it has them, and clears its flag.
    void RemoveGroupIcon(int32_t group);
    void PlaceCaption(IconSlot& slot);
    // Writes the icon's position to the catalogue when it differs from the slot's.
    void StoreIconPosition(int32_t group);
    void ShowGroupDetails(int32_t group);

    // Pointer events. IconMouseDown: a press of any button on the icon of group n, at x, y
    // inside the icon. MouseMove: motion (or a release) over the client area or an icon,
    // pointer and client origin in screen coordinates.
    void IconMouseDown(int32_t group, int x, int y);
    void MouseMove(bool leftHeld, BoardPoint pointer, BoardPoint clientOrigin);

    // The slot of group n, or nullptr when it lies outside the table or is not present.
    IconSlot* PresentSlot(int32_t group);

    // Reads the catalogue row of group n (11 texts, empty when there is none).
    TextRow ReadGroupRow(int32_t group);

private:
    // Destroys the slot's controls, errors swallowed, and marks it not present.
    void ReleaseSlot(IconSlot& slot);

    DatabaseSession& session_;
    BoardHost& host_;
};
