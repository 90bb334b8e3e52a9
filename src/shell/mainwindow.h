#pragma once
// The main window: menu bar, the group board with its detail panel, and the life cycle
// of the program (settings file, database session).
#include <memory>
#include <string>

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QString>

#include "board/board.h"
#include "board/commands.h"
#include "board/picture.h"
#include "db/session.h"
#include "groupwin/grouptables.h"
#include "platform/platform.h"
#include "settings/settings.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollArea;
class QStatusBar;
class DatabaseSettingsDialog;
class GroupWindow;
class GroupCreateDialog;
class GroupEditDialog;
class MemoDialog;
class SubGroupNameDialog;
class SearchWindow;

// The other windows of the program, created after the main window and handed to it.
struct ProgramWindows {
    DatabaseSettingsDialog* settingsDialog = nullptr;
    GroupWindow* groupWindow = nullptr;
    GroupEditDialog* editDialog = nullptr;
    GroupCreateDialog* createDialog = nullptr;
    MemoDialog* memoDialog = nullptr;
    SubGroupNameDialog* subGroupNameDialog = nullptr;
    SearchWindow* searchWindow = nullptr;
};

class MainWindow : public QMainWindow, private BoardHost {
    Q_OBJECT
public:
    // programFilePath: the program file; its folder holds the settings file and img/.
    MainWindow(const Platform& platform, const QString& programFilePath, QWidget* parent = nullptr);
    ~MainWindow() override;

    void SetWindows(const ProgramWindows& windows);
    const ProgramWindows& Windows() const { return windows_; }

    // --- program-wide values --------------------------------------------------------
    DatabaseSession& Session() { return session_; }
    DatabaseSettings& Settings() { return settings_; }
    // Entries copied in a group window, for pasting into this group or another.
    EntryClipboard& Clipboard() { return clipboard_; }
    const Platform& GetPlatform() const { return platform_; }
    QString ProgramFolder() const { return programFolder_; }   // with a trailing "/"
    QString SettingsPath() const { return settingsPath_; }
    QString IconFolder() const { return programFolder_ + "img/"; }
    // The data folder a first start (no settings file yet) uses when it exists: the one
    // the set-up prepares. Empty: a first start stays as the settings dialog leaves it.
    void SetFirstStartDataFolder(const QString& folderWithTrailingSlash) { firstStartFolder_ = folderWithTrailingSlash; }

    // --- settings file ------------------------------------------------------------------
    // False when there was no settings file to read (the windows keep their places).
    bool LoadSettings(const QString& path);
    bool SaveSettings(const QString& path);

    // --- group board --------------------------------------------------------------------
    GroupBoard& Board() { return board_; }
    PictureCache& Pictures() { return pictures_; }
    void BuildBoard();
    void AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption, const std::string& iconFile);
    void PlaceCaption(IconSlot& slot) { board_.PlaceCaption(slot); }
    void StoreIconPosition(int32_t group) { board_.StoreIconPosition(group); }
    void ShowGroupDetails(int32_t group) { board_.ShowGroupDetails(group); }
    // Empties the five fields of the detail panel.
    void ClearDetails();
    // The icon and caption controls of group n (tests, commands); nullptr when none.
    QLabel* GroupIcon(int32_t group) const;
    QLabel* GroupCaption(int32_t group) const;
    // The tooltip of group n: its name, title and author in full.
    QString GroupTip(int32_t group);

    // Pointer events of the board (icons and client area call these).
    void IconMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseMove(QObject* sender, Qt::MouseButtons buttons, QPoint globalPos);

    // --- controls ------------------------------------------------------------------------
    QWidget* clientArea = nullptr;   // the board above the detail panel and the status bar
    QScrollArea* boardView = nullptr;   // scrolls when icons lie beyond what is visible
    QWidget* boardCanvas = nullptr;     // white; holds icons and captions at board positions
    QFrame* detailPanel = nullptr;
    QLineEdit* groupNameField = nullptr;
    QLineEdit* authorField = nullptr;
    QLineEdit* groupNumberField = nullptr;   // what the group commands act on
    QLineEdit* titleField = nullptr;
    QLineEdit* subtitleField = nullptr;
    QStatusBar* statusLine = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuMakeGroup = nullptr;
    QAction* mnuOpenGroup = nullptr;
    QAction* mnuDBset = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuMoveGroup = nullptr;
    QAction* mnuLocInitGroup = nullptr;
    QAction* mnuEditGroup = nullptr;
    QAction* mnuCopyGroup = nullptr;
    QAction* mnuDeleteGroup = nullptr;
    QAction* mnuFind = nullptr;

public slots:
    void FormShow();
    void FormClose();
    void mnuMakeGroupClick();
    void mnuOpenGroupClick();
    void mnuDBsetClick();
    void mnuExitClick();
    void mnuMoveGroupClick();
    void mnuLocInitGroupClick();
    void mnuEditGroupClick();
    void mnuCopyGroupClick();
    void mnuDeleteGroupClick();
    void mnuFindClick();
    // Double-click on an icon and the open command.
    void OpenSelectedGroup();

public:
    // The first step of every command, in every window: after a lost connection it
    // attaches again and rebuilds the board, or says that the server cannot be reached.
    // False when the command cannot go on.
    bool ReattachIfLost();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // BoardHost
    bool IconFileExists(const std::string& iconFile) override;
    BoardIcon* CreateIcon(int group, int x, int y, const std::string& iconFile) override;
    BoardCaption* CreateCaption(int group, const std::string& text) override;
    void ShowControls(BoardIcon* icon, BoardCaption* caption) override;
    void DestroyControls(BoardIcon* icon, BoardCaption* caption) override;
    void ShowDetails(const std::string& name, const std::string& author, const std::string& number,
                     const std::string& title, const std::string& subtitle) override;
    void PreparePictures(const std::vector<std::string>& iconFiles) override;
    int ClientWidth() const override;
    int BoardHeight() const override;

    // The board's canvas as large as the visible board, or larger to hold every icon
    // and caption; while dragging it only grows, so the view does not jump.
    void UpdateBoardExtent(bool mayShrink = true);
    // Marks the caption of the selected group, and only that one.
    void UpdateSelectionMark();
    // Keeps every restored window's title bar on a screen and its size within it.
    void PlaceWindowsOnScreens();
    // No settings file yet: the set-up's data folder and the login name, the database
    // created there when it is missing.
    void PrepareFirstStart();
    // Attaches with the settings; a failure is told once, with the server's reason.
    void ConnectAtStart();

    // AddGroupIcon with the texts of a catalogue row.
    void AddGroupIconFromRow(const TextRow& row);
    // The group number as the detail panel shows it, in CP932.
    std::string ShownGroupText() const;
    // Attached, catalogue present, a group selected and its number shown.
    bool GroupCommandReady();
    // Tells the user and returns true when the catalogue has no group number left.
    bool RefuseWithoutNumber();
    // The canvas and the selection mark after a command changed icons.
    void AfterBoardCommand();
    // Attached (again, after a lost connection) and the catalogue present.
    bool CatalogueCommandReady();

    // Called by the session when the connection is lost; the message waits until the
    // operation that met the loss has ended.
    void ReportLostConnection();
    // Another copy changed or deleted the group the user chose: say so, show the board anew.
    void ReportChangedGroup(const QString& name);

    void BuildMenu();
    void BuildClientArea();
    void EmptyEntryClipboard();
    void ApplySetting(int line, int32_t value);
    QString IconPath(const std::string& iconFile) const;

    const Platform& platform_;
    QString programFilePath_;
    QString programFolder_;
    QString settingsPath_;
    QString firstStartFolder_;
    DatabaseSettings settings_;
    DatabaseSession session_{settings_};
    PictureCache pictures_;
    GroupBoard board_{session_, *this};
    EntryClipboard clipboard_;
    ProgramWindows windows_;
    QPointer<QWidget> markedCaption_;
    // The group in the detail panel, as stored when it was shown.
    ShownGroup shownGroup_;
};
