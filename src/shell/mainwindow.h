#pragma once
// The main window: menu bar, the group board (a view of its own) with the detail panel
// of the group it shows, the commands on groups, and the life cycle of the program
// (settings file, database session).
#include <string>

#include <QMainWindow>
#include <QString>

#include "board/boardview.h"
#include "board/commands.h"
#include "db/session.h"
#include "groupwin/grouptables.h"
#include "platform/platform.h"
#include "settings/programfiles.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/windowsettings.h"
#include "text/rootmap.h"

class DrawingTextReader;
class FolderReplaceDialog;
class LinkCheckWindow;
class FiledWindow;
class RootMapDialog;
class QAction;
class QFrame;
class QLineEdit;
class QMenu;
class QStatusBar;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // programFilePath: the program file; its own files lie beside it or in the installed
    // layout (settings/programfiles.h).
    MainWindow(const Platform& platform, const QString& programFilePath, QWidget* parent = nullptr);
    ~MainWindow() override;

    void SetWindows(const ProgramWindows& windows);
    const ProgramWindows& Windows() const { return windows_; }

    // --- program-wide values --------------------------------------------------------
    DatabaseSession& Session() { return session_; }
    DatabaseSettings& Settings() { return settings_; }
    // Entries copied in a group window, for pasting into this group or another.
    EntryClipboard& Clipboard() { return clipboard_; }
    QString ProgramFolder() const { return programFolder_; }   // with a trailing "/"
    QString SettingsPath() const { return settingsPath_; }
    // The data folder a first start (no settings file yet) uses when it exists: the one
    // the set-up prepares. Empty: a first start stays as the settings dialog leaves it.
    void SetFirstStartDataFolder(const QString& folderWithTrailingSlash) { firstStartFolder_ = folderWithTrailingSlash; }

    // --- settings file ------------------------------------------------------------------
    // False when there was no settings file to read (the windows keep their places).
    bool LoadSettings(const QString& path);
    bool SaveSettings(const QString& path);

    // Empties the five fields of the detail panel.
    void ClearDetails();

    // --- controls ------------------------------------------------------------------------
    QWidget* clientArea = nullptr;   // the board above the detail panel and the status bar
    BoardView* boardView = nullptr;   // the group board; scrolls when icons lie beyond what is visible
    QFrame* detailPanel = nullptr;
    QLineEdit* groupNameField = nullptr;
    QLineEdit* authorField = nullptr;
    QLineEdit* groupNumberField = nullptr;
    QLineEdit* titleField = nullptr;
    QLineEdit* subtitleField = nullptr;
    QStatusBar* statusLine = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuMakeGroup = nullptr;
    QAction* mnuOpenGroup = nullptr;
    QAction* mnuRefresh = nullptr;
    QAction* mnuDBset = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuMoveGroup = nullptr;
    QAction* mnuLocInitGroup = nullptr;
    QAction* mnuEditGroup = nullptr;
    QAction* mnuCopyGroup = nullptr;
    QAction* mnuDeleteGroup = nullptr;
    QAction* mnuFind = nullptr;
    QAction* mnuOpenPrograms = nullptr;   // the program each type of file opens in
    QAction* mnuPictureFolder = nullptr;  // where group pictures are kept
    QAction* mnuLinkCheck = nullptr;
    QAction* mnuReplaceFolder = nullptr;
    QAction* mnuRootMap = nullptr;
    // The windows of moved files, made at their first use.
    LinkCheckWindow* linkCheckWindow = nullptr;
    FiledWindow* filedWindow = nullptr;   // made when first used
    FolderReplaceDialog* folderReplaceDialog = nullptr;
    RootMapDialog* rootMapDialog = nullptr;

    // The drawings' texts read in the background, shown at the right of the status bar.
    DrawingTextReader* textReader = nullptr;

    // The board's context menus: on a group, and on the empty board.
    QMenu* groupMenu = nullptr;
    QMenu* boardMenu = nullptr;

public slots:
    void FormShow();
    void FormClose();
    void mnuMakeGroupClick();
    void mnuOpenGroupClick();
    void mnuRefreshClick();   // F5: the board as the database holds it now
    void mnuDBsetClick();
    void mnuExitClick();
    void mnuMoveGroupClick();
    void mnuLocInitGroupClick();
    void mnuEditGroupClick();
    void mnuCopyGroupClick();
    void mnuDeleteGroupClick();
    void mnuFindClick();
    void mnuLinkCheckClick();         // all groups
    void mnuReplaceFolderClick();     // all groups
    void mnuRootMapClick();
    // The missing files of a group (0: of all groups).
    void CheckLinks(int32_t group);
    void ReplaceFolder(int32_t group, const std::vector<int32_t>& selected);
    // Shows the group window at the entry (0: none) for a list made earlier (a search
    // hit, a missing file): the group's row is read again first, and a group deleted
    // since is said so.
    void OpenGroupAt(int32_t group, int32_t entry);
    // Files dropped on a group's icon: registered in its top sub-group, in its window.
    void RegisterOnGroup(int32_t group, const QStringList& files);
    // Double-click on an icon and the open command.
    void OpenSelectedGroup();
    // The arguments of this copy's start or of a later one's (singleinstance.h): the
    // window comes to the front, and the files named are shown where they are filed.
    void TakeArguments(const QStringList& arguments);

public:
    // The first step of every command, in every window: after a lost connection it
    // attaches again and rebuilds the board, or says that the server cannot be reached.
    // False when the command cannot go on.
    bool ReattachIfLost();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // No settings file yet: the set-up's data folder and the login name, the database
    // created there when it is missing.
    void PrepareFirstStart();
    // Attaches with the settings; a failure is told once, with the server's reason.
    void ConnectAtStart();

    // The group the group commands act on: attached, catalogue present, and the group
    // selected on the board, whose row the detail panel shows; 0 when none is.
    int32_t CommandGroup();
    // Reads the texts of the group's drawings (0: of every group) in the background.
    void ReadDrawingTexts(int32_t group);
    // Tells the user and returns true when the catalogue has no group number left.
    bool RefuseWithoutNumber();
    // Attached (again, after a lost connection) and the catalogue present.
    bool CatalogueCommandReady();

    // Called by the session when the connection is lost; the message waits until the
    // operation that met the loss has ended.
    void ReportLostConnection();
    // Another copy changed or deleted the group the user chose: say so, show the board anew.
    void ReportChangedGroup(const QString& name);

    // The group's window, as the open command opens it, with an entry selected (0: none).
    // row: the group's catalogue row as just read; without one, the row the board shows.
    void OpenGroupWindow(int32_t group, const std::string& groupName, int32_t entry, const ShownGroup* row = nullptr);

    void BuildMenu();
    void BuildLinkMenu();
    void MakeLinkWindows();
    void BuildContextMenus();
    void BuildClientArea();
    // "Kumolist - server:folder/file" while attached, else "Kumolist".
    void ShowDatabaseInTitle();
    void EmptyEntryClipboard();
    void ChangePictureFolder();   // asks for the folder of group pictures, then shows the board with it
    // The detail panel shows the group the board showed.
    void ShowGroup(const ShownGroup& group);
    // The selected group's row could not be read: the panel emptied, the failure said.
    void ShowGroupUnread();

    const Platform& platform_;
    QString programFilePath_;
    QString programFolder_;
    QString settingsPath_;
    ProgramFiles files_;
    QString defaultPictureFolder_;   // the picture folder where the preferences name none
    QString firstStartFolder_;
    DatabaseSettings settings_;
    // The settings file as read at the start (with a first start's settings): at the end
    // only what this copy changed since is written over what the file holds then.
    SettingsContents settingsAtStart_;
    DatabaseSession session_{settings_};
    EntryClipboard clipboard_;
    // Folders shared with Windows PCs, from the preferences file.
    RootMappings rootMappings_;
    ProgramWindows windows_;
    // The group in the detail panel, as stored when it was shown.
    ShownGroup shownGroup_;
};
