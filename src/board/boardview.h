#pragma once
// The group board as the main window shows it: a scroll area over a white canvas that
// holds a picture and a caption per group. It owns the board's logic and the pictures,
// lends the board its controls (BoardHost), and tells the main window by signals what
// the user did with a group; the main window keeps the detail panel and the commands.
#include <cstdint>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QPoint>
#include <QPointer>
#include <QScrollArea>
#include <QString>

#include "board/board.h"
#include "board/commands.h"
#include "board/picture.h"
#include "db/session.h"

class QLabel;

class BoardView : public QScrollArea, private BoardHost {
    Q_OBJECT
public:
    explicit BoardView(DatabaseSession& session, QWidget* parent = nullptr);
    ~BoardView() override;

    GroupBoard& Board() { return board_; }
    // The group selected on the board, which the group commands act on; 0: none.
    int32_t SelectedGroup() const { return board_.selectedGroup; }
    PictureCache& Pictures() { return pictures_; }
    // The folder of the group pictures (with its trailing "/") and the picture helper,
    // beside the program or in the installed layout (settings/programfiles.h).
    // A picture's name is looked up in pictureFolder first (empty: none), then in iconFolder.
    void SetPictureFiles(const QString& iconFolder, const QString& helperPath, const QString& pictureFolder = {});

    // Every icon afresh from the catalogue; each picture file is decoded once per build,
    // and a replaced file shows at the next.
    void BuildBoard();
    // The icon of one catalogue row, in place of the one its group had; a row without a
    // number a slot can have (another copy deleted it) adds nothing.
    void AddGroupIconFromRecord(const GroupRecord& record);
    // The canvas and the selection mark after a command moved, added or removed icons.
    void AfterBoardCommand();
    // Where a new group of that name and picture (CP932) goes: the first free place of the
    // tidy grid in the visible part of the board (board/commands.h).
    BoardPoint PlaceForNewGroup(const std::string& name, const std::string& iconFile);
    // Scrolls the board so that the group's icon and caption are in view.
    void EnsureGroupVisible(int32_t group);
    // Puts the icon and caption of the group above every other.
    void RaiseGroup(int32_t group);
    // Ends a pending press without a drop: a double-click never leaves a drag behind.
    void EndPress();

    // The icon and caption controls of group n (tests, commands); nullptr when none.
    QLabel* GroupIcon(int32_t group) const;
    QLabel* GroupCaption(int32_t group) const;
    // The tooltip of group n: its name, title and author in full, read when asked.
    QString GroupTip(int32_t group);

    // What the controls report: a press on the icon or caption of the group (x, y inside
    // its icon), motion or a release over the board, a double-click on a group.
    void PressOnGroup(int32_t group, int x, int y);
    void PointerMoved(Qt::MouseButtons buttons, QPoint globalPos);
    void DoubleClickOnGroup();
    // A context menu asked for on a group (right-click or the menu key): the group becomes
    // the selected one first, then the main window is asked for its menu there.
    void MenuOnGroup(int32_t group, QPoint globalPos);

    // Selects group n as a press would, shows it and scrolls it into view.
    void SelectGroup(int32_t group);
    // Where a menu for the selected group stands: the middle of its icon (screen).
    QPoint SelectedGroupMenuPlace() const;
    // Marks the name of the group that files dragged over the board would go to (0: none).
    void MarkDropTarget(int32_t group);

    QWidget* canvas = nullptr;   // white; holds icons and captions at board positions

signals:
    // The board showed a group (a press, a drag, a drop): the five fields as stored.
    void GroupShown(const ShownGroup& group);
    // The group's row could not be read when the board would have shown it.
    void GroupUnread();
    // A double-click on a group's icon or caption.
    void OpenRequested();
    // A press after the connection was lost: the main window attaches again, which
    // rebuilds the board; the icon pressed has then been replaced.
    void ReattachRequested();
    // Context menus: on a group (already selected) and on the empty board.
    void GroupMenuRequested(QPoint globalPos);
    void BoardMenuRequested(QPoint globalPos);
    // Files from a file manager dropped on a group, to be registered there.
    void FilesDroppedOnGroup(int32_t group, const QStringList& files);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The arrow keys move the selection between groups (not the scroll bars); the menu key
    // opens the menu of the selected group, or of the board when none is.
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // BoardHost
    bool IconFileExists(const std::string& iconFile) override;
    BoardIcon* CreateIcon(int group, int x, int y, const std::string& iconFile) override;
    BoardCaption* CreateCaption(int group, const std::string& text) override;
    void ShowControls(BoardIcon* icon, BoardCaption* caption) override;
    bool RefreshIcon(BoardIcon* icon, int x, int y, const std::string& iconFile) override;
    void RefreshCaption(BoardCaption* caption, const std::string& text) override;
    void DestroyControls(BoardIcon* icon, BoardCaption* caption) override;
    void ShowDetails(const GroupRecord& group) override;
    void DetailsUnread(int32_t group) override;
    void PreparePictures(const std::vector<std::string>& iconFiles) override;
    int ClientWidth() const override;
    int BoardHeight() const override;

    // The canvas as large as the visible board, or larger to hold every icon and
    // caption; while dragging it only grows, so the view does not jump.
    void UpdateBoardExtent(bool mayShrink = true);
    // Marks the caption of the selected group, and only that one.
    void UpdateSelectionMark();
    QString IconPath(const std::string& iconFile) const;
    // The picture CreateIcon shows for a file name ("" for the placeholder); null when it
    // cannot be loaded.
    QPixmap IconPicture(const std::string& iconFile);

    DatabaseSession& session_;
    PictureCache pictures_;
    GroupBoard board_{session_, *this};
    QString iconFolder_;
    QString pictureFolder_;
    QPointer<QWidget> markedCaption_;
    QPointer<QWidget> dropCaption_;   // marked while files are dragged over its group
    // Letters typed on the board select the group whose name begins with them.
    bool SelectByTyping(const QString& text);
    QString typed_;
    QElapsedTimer typedClock_;
};
