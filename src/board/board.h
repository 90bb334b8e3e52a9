#pragma once
// The group board: one icon with a caption per group of the group catalogue, at the
// position stored in the group's row, selected by a press and dragged with the left
// button. The board keeps the icon slot table and the selection state and runs the
// statements; the window supplies the controls through BoardHost.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/schema.h"
#include "db/session.h"
#include "store/records.h"

extern const char* const kDefaultIcon;      // "icon1.ico"

// Icons are shown at most this far from the board's origin: a stored position beyond it
// (a row written by hand or by another tool) must neither overflow the arithmetic of
// the window nor put the group out of reach. Stored values stay as they are.
constexpr int32_t kMaxBoardPosition = 1000000;

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
    virtual int Height() const = 0;
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
    // Every picture file the board is about to show (names inside the icon folder, each
    // once), so that the host can decode them together before the icons are built.
    virtual void PreparePictures(const std::vector<std::string>& iconFiles) { (void)iconFiles; }
    // A hidden icon of group n at x, y, sized to its picture; nullptr when the picture
    // cannot be loaded. An empty file name asks for the plain placeholder picture, which
    // never fails.
    virtual BoardIcon* CreateIcon(int group, int x, int y, const std::string& iconFile) = 0;
    // A hidden caption of group n holding the text, sized to it.
    virtual BoardCaption* CreateCaption(int group, const std::string& text) = 0;
    virtual void ShowControls(BoardIcon* icon, BoardCaption* caption) = 0;
    // At a rebuild, the shown controls of a group still in the catalogue take the picture,
    // place and text new ones would have, as CreateIcon and CreateCaption make them. False
    // when the icon cannot take the picture: the board then makes new controls.
    virtual bool RefreshIcon(BoardIcon* icon, int x, int y, const std::string& iconFile)
    {
        (void)icon, (void)x, (void)y, (void)iconFile;
        return false;
    }
    virtual void RefreshCaption(BoardCaption* caption, const std::string& text) { (void)caption, (void)text; }
    // Clears the picture and destroys both controls (either may be null).
    virtual void DestroyControls(BoardIcon* icon, BoardCaption* caption) = 0;
    // Puts the five detail fields: group name, author name, number, title, subtitle (all
    // empty for a record numbered 0: no such group).
    virtual void ShowDetails(const GroupRecord& group) = 0;
    // The group's row could not be read: no fields may pass for its own.
    virtual void DetailsUnread(int32_t group) { (void)group; }
    // The client area: its width and the height left for icons above the detail panel and
    // the status bar.
    virtual int ClientWidth() const = 0;
    virtual int BoardHeight() const = 0;
};

struct IconSlot {
    int32_t x = 0;
    int32_t y = 0;
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

// A stored position as the board shows it: within 0 ... kMaxBoardPosition.
int32_t ShownPosition(int32_t stored);

// True for a picture name that stays inside the icon folder: no path delimiter ("/" or
// "\\" outside a double-byte character) and not "." or "..".
bool PictureNameInFolder(const std::string& iconFile);

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

    // Icon slot table. Conceptually one slot per number 1 ... slotCount; only the slots
    // that were given an icon are kept, by group number, so the table does not grow with
    // the highest number in the catalogue.
    int32_t slotCount = 0;
    std::map<int32_t, IconSlot> iconSlots;

    // Grab offset, pressed and selected group and the pressed flag back to zero.
    void ResetSelection();
    // Destroys every present slot's controls (one failing slot does not stop the others)
    // and empties the table.
    void ReleaseIcons();
    // Full rebuild from the catalogue (empty when detached or without the catalogue). The
    // controls of groups still there are kept and refreshed, the others released.
    void BuildBoard();
    // One more slot, and at least as many as group n needs; new slots are not present.
    void AddSlot(int32_t group);
    // Builds the icon and caption of slot index (group index + 1) at x, y, shown within
    // 0 ... kMaxBoardPosition. A missing file, or a name that leaves the icon folder,
    // shows "icon1.ico"; so does a picture that cannot be decoded, and when not even that
    // can be had, a plain placeholder: every group stays in reach. Controls the slot
    // already held are released first. index must lie inside the table.
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

    // The catalogue row of group n: numbered 0 when there is none, nullopt when it could
    // not be read.
    std::optional<GroupRecord> ReadGroup(int32_t group);

private:
    // Destroys the slot's controls, errors swallowed, and marks it not present.
    void ReleaseSlot(IconSlot& slot);
    // The picture file shown for a stored picture name.
    std::string ShownPictureFile(const std::string& iconFile);
    // Moves a kept slot of group n back into the table with the row's picture, place and
    // caption; false (the slot untouched) when its icon cannot take the picture.
    bool RefreshSlot(IconSlot& kept, int32_t group, int32_t x, int32_t y, const std::string& caption,
                     const std::string& iconFile);

    DatabaseSession& session_;
    BoardHost& host_;
};

// The group the arrow keys move the selection to from group `from`, as in a file
// manager's icon view: the nearest icon whose centre lies ahead in direction (dx, dy)
// (one of them -1 or 1, the other 0), a step sideways counting double, those within 45
// degrees of the direction before all others. Without a
// present `from`, the first group in reading order. 0 when there is none.
int32_t NearestGroup(GroupBoard& board, int32_t from, int dx, int dy);
