#pragma once
// The group window: one group's sub-group tree beside the list of its file entries,
// with the commands on entries and sub-groups. Created once at start and shown
// modelessly by the open command. Its column widths, view style and tree width are
// kept in the settings file.
#include <array>
#include <cstdint>
#include <optional>
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "db/session.h"
#include "drawinglist/drawinglistcommand.h"
#include "groupwin/entrybatch.h"
#include "groupwin/grouptables.h"
#include "platform/platform.h"
#include "settings/settings.h"

class QAbstractItemDelegate;
class QAbstractItemView;
class QAction;
class QComboBox;
class QDialog;
class QLabel;
class QMenu;
class QLineEdit;
class QListView;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class DrawingThumbnails;
class FileListModel;
class FileSortModel;
class GroupFingerprints;
class SameContentWindow;
class PreviewPane;
class SubGroupNameDialog;

// What a registration or paste says: while it works, as the heading of the files not
// stored, and when n were stored.
struct BatchTexts {
    QString working, heading;
    QString (*done)(int n);
};

class GroupWindow : public QWidget {
    Q_OBJECT
public:
    GroupWindow(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
                EntryClipboard& clipboard, QWidget* parent = nullptr);

    static constexpr int kColumnCount = kFileCellCount;

    // Set by the open command before the window is shown.
    int32_t currentGroupNumber = 0;
    std::string currentGroupName;   // CP932, for the caption
    // The catalogue row the window was opened for: every write first checks that the
    // group still holds it, since another copy may have deleted the group and given its
    // number to a new one. Read when the window is shown if the opener left it empty.
    ShownGroup currentGroup;
    // Entries stored in one unit of work at most by a registration or paste.
    size_t entrySlice = kEntrySlice;

    // Edits a memo: the full path of the entry's file and its memo in; true and the new
    // memo out when the user confirmed. The main window lends its memo dialog.
    using MemoEditor = std::function<bool(const std::string& filePath, std::string& memo)>;
    void SetMemoEditor(MemoEditor editor) { memoEditor_ = std::move(editor); }
    void SetSubGroupNameDialog(SubGroupNameDialog* dialog) { nameDialog_ = dialog; }
    // Asked first by every command that uses the database: after a lost connection the
    // main window attaches again; false when it could not, and the command does nothing.
    using CommandGate = std::function<bool()>;
    void SetCommandGate(CommandGate gate) { commandGate_ = std::move(gate); }

    // The add dialog starts where the last files were added, also after a restart: the
    // preferences file keeps its folder and filter, and whether the preview is shown.
    void SetPreferencesFile(const QString& path);
    // Folders shared with Windows PCs: entries below them are probed, listed and opened
    // where this system finds them and registered in their Windows form. The main window
    // keeps the table; nullptr: none.
    void SetRootMappings(const RootMappings* mappings) { rootMappings_ = mappings; }
    // The program that draws the drawings' thumbnails and previews; empty: none.
    void SetThumbnailer(const QString& path);

    // Opens an entry of any group, as a search hit is opened ("同じ内容のファイル").
    using EntryOpener = std::function<void(int32_t group, int32_t entry)>;
    void SetEntryOpener(EntryOpener opener) { entryOpener_ = std::move(opener); }

    // What the settings file keeps.
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    int ViewStyleIndex() const;          // 0 icons, 1 list, 2 details
    void SetViewStyleIndex(int index);
    int TreeWidth() const;
    void SetTreeWidth(int width);

    // --- the window ----------------------------------------------------------------
    void FormShow();                 // caption, list and tree of the current group
    void FormClose();                // empties list and tree
    void CloseWindow();              // FormClose, then hidden (also when hidden already)
    // The tree as stored; false when it could not be read: the tree stays as it was and
    // the failure is said.
    bool BuildSubGroupTree();
    // For the selected node (the tree's click); a failed read empties the list and says so.
    void FillFileList();
    void ApplyViewStyle();           // as the combo box shows
    // A header click: ascending, the same column again descending, then ascending again.
    void SortByColumn(int column);
    // Number of the current node, whose entries the list shows; 0 for the root, for none
    // and for an empty tree.
    int32_t CurrentSubGroup() const;

    // Shows the entry of that number on its sub-group's node (the root's when the
    // sub-group is gone), selected; false when the group holds no such entry.
    bool SelectEntry(int32_t entryNumber);
    // The preview pane opened on the current entry, zoomed to a text of its drawing (paper
    // mm) when there is one.
    void PreviewText(const std::optional<std::array<double, 4>>& box);

    // Selected rows of the list, in its current order.
    std::vector<int> SelectedRows() const;
    // The numbers of the selected entries, in the list's order.
    std::vector<int32_t> SelectedEntries() const;

    // Shows the dialog, whenever it is shown, over this window as a dialog of it (no
    // minimise or maximise button) and brings this window to the front when it closes.
    void KeepInFront(QDialog* dialog);

    // --- keys and context menus --------------------------------------------------------
    // The menu that a right-click or the menu key over the view opens (the file list's
    // views or the tree), its items enabled as they can act now; not shown.
    QMenu* PrepareContextMenu(QWidget* view);

    // --- commands ------------------------------------------------------------------
    // Reads the group again: the tree, and the list of the current node, which stays
    // current while it exists.
    void ReadAgain();
    // The drawing's own memo stored as the memo of each selected entry that has one.
    void ReadDrawingMemos();
    void OpenFolderOfFirstSelected();
    void CopyPaths();
    void AddFiles();
    void EditMemo();
    void CopyEntries();
    void PasteEntries();
    void RemoveEntries();
    void OpenFirstSelected();
    // Asks for the program first (the desktop's applications for the type, or a command).
    void OpenFirstSelectedWith();
    void CreateSubGroupCommand();
    void EditSubGroupCommand();
    void DeleteSubGroupCommand();
    // The check of missing files and the folder replacement, for this group (the main
    // window shows their windows).
    void RequestLinkCheck();
    void RequestFolderReplace();
    // Files and folders dropped from a file manager, registered under the sub-group;
    // a folder's files are counted and asked about first.
    void RegisterDroppedFiles(const QStringList& files, int32_t subGroup);
    // Entries of this group filed under another sub-group, as one unit.
    void MoveEntriesTo(const std::vector<int32_t>& numbers, int32_t subGroup);
    // The sub-group number of a node of the tree; 0 for the root and for none.
    int32_t NodeNumber(const QTreeWidgetItem* node) const;
    // The entries the list shows, in its order, as CSV to a file the user chooses.
    void ExportCsv();
    // The two selected drawings, or the one and a file chosen then, in a compare window.
    void CompareSelectedDrawings(bool chooseSecond);
    // The drawing list of the selected entries, else of those the list shows, printed
    // after its preview or written as PDF (groupdrawinglist.cpp). Tests answer the page setup.
    void DrawingList(bool toPdf);
    void SetListSetupAsker(ListSetupAsker ask) { listSetupAsker_ = std::move(ask); }

signals:
    // The rows of the list changed: read, added, removed or a memo stored.
    void entriesChanged();
    // The entries selected in the list changed.
    void selectionChanged();
    void LinkCheckRequested(int32_t group);
    // selected: the numbers of the selected entries.
    void FolderReplaceRequested(int32_t group, const std::vector<int32_t>& selected);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    DatabaseSession& db_;
    const DatabaseSettings& settings_;
    const Platform& platform_;
    QString thumbnailer_;   // draws, compares and lists drawings

private:
    // The context menus of the list and of the tree.
    QMenu* fileMenu = nullptr;
    QMenu* treeMenu = nullptr;
    // On the file list's entries (the menu and the keys there).
    QAction* openAction = nullptr;          // Enter
    QAction* openWithAction = nullptr;
    QAction* openFolderAction = nullptr;
    QAction* editMemoAction = nullptr;      // F2
    QAction* readMemosAction = nullptr;
    QAction* copyAction = nullptr;          // Ctrl+C
    QAction* pasteAction = nullptr;         // Ctrl+V
    QAction* removeAction = nullptr;        // Delete
    QAction* copyPathsAction = nullptr;
    QAction* selectAllAction = nullptr;     // Ctrl+A
    // On the tree's sub-groups (its menu; F2, Delete and Ctrl+V there).
    QAction* createSubGroupAction = nullptr;
    QAction* editSubGroupAction = nullptr;    // F2
    QAction* deleteSubGroupAction = nullptr;  // Delete
    QAction* pasteIntoNodeAction = nullptr;   // Ctrl+V: into the node
    QAction* readAgainAction = nullptr;       // F5, anywhere in the window
    QAction* linkCheckAction = nullptr;       // the list's menu: this group's missing files
    QAction* replaceFolderAction = nullptr;   // the list's menu: a moved folder
    QAction* compareAction = nullptr;         // the list's menu: two drawings compared
    QAction* compareWithAction = nullptr;     // the list's menu: one compared with a file chosen
    QAction* printListAction = nullptr;       // the list's menu: the drawing list
    QAction* pdfListAction = nullptr;
    QAction* filterAction = nullptr;          // Ctrl+F: to the filter box
    // The number of entries shown and selected, while no command's message stands.
    QLabel* countLabel = nullptr;

    QSplitter* splitter = nullptr;
    QTreeWidget* subGroupTree = nullptr;
    QStackedWidget* fileList = nullptr;   // shows one of the two views below
    QListView* fileIconView = nullptr;    // icon and list styles
    QTreeView* fileDetailView = nullptr;  // details style
    FileListModel* fileModel = nullptr;       // the rows as read
    FileSortModel* fileSortModel = nullptr;   // the rows as the views show them
    QComboBox* viewStyleBox = nullptr;
    QPushButton* previewButton = nullptr;   // shows and hides the preview pane
    QSplitter* listSplitter = nullptr;      // the list beside the preview pane
    PreviewPane* previewPane = nullptr;
    DrawingThumbnails* drawingThumbnails = nullptr;   // in the icon view
    QPushButton* closeButton = nullptr;
    QPushButton* createSubGroupButton = nullptr;
    QPushButton* editSubGroupButton = nullptr;
    QPushButton* deleteSubGroupButton = nullptr;
    QPushButton* addFilesButton = nullptr;
    QPushButton* editMemoButton = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* pasteButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* csvButton = nullptr;
    QLineEdit* filterEdit = nullptr;   // 絞り込み: only the entries holding its text are shown
    QStatusBar* statusLine = nullptr;

    // What a node of the sub-group tree keeps besides its label.
    static constexpr int kNumberRole = Qt::UserRole;       // its sub-group number
    static constexpr int kNameRole = Qt::UserRole + 1;     // its name, CP932

    // Draws the list's cells, in every view style (grouplist.cpp).
    static QAbstractItemDelegate* CellDelegate(QAbstractItemView* view);
    // The list style's cell: the widest name (within a bound) beside a small icon.
    QSize ListCellSize() const;
    void MeasureListCells(int first, int last);
    void BuildActions();
    void UpdateActions();
    void UpdateCount();
    QTreeWidgetItem* FindNode(int32_t number) const;
    QTreeWidgetItem* SelectedNode() const;
    // The selected node when it is a sub-group (not the root), else nullptr.
    QTreeWidgetItem* SelectedSubGroupNode() const;
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const SubGroupNode& node);
    // The list afresh, in the order read, without a sort mark.
    void ShowRows(std::vector<FileRow> rows);
    // Files one entry per path under the sub-group as one batch, with a progress dialog
    // for more than a handful, and tells in one message which could not be stored and in
    // the status bar how many were. memos: the memo of each path, or none to read it
    // from the file.
    // Pasted or dropped files the sub-group holds already: the user says whether they are
    // left out (the default) or filed again. False when nothing is to be stored (he
    // cancelled, or what the sub-group holds could not be read: said so, with the files
    // refused before).
    bool LeaveOutHeld(std::vector<std::string>& paths, std::vector<std::string>* memos, int32_t subGroup,
                      const BatchTexts& texts, QStringList refused);
    void TellRefused(const BatchTexts& texts, const QStringList& refused);
    void StoreEntries(const std::vector<std::string>& paths, const std::vector<std::string>* memos,
                      QStringList refused, int32_t subGroup, const BatchTexts& texts);
    // After a write that did not happen because another copy deleted the group or the
    // sub-group: says so, then closes the window or reads the tree again. False when
    // the write was done.
    bool ToldGone(WriteOutcome outcome, int32_t subGroup);
    // What the last command did, in the status bar.
    void Say(const QString& text);
    // A read of the group that failed, in the status bar.
    void SayUnread();

    // The first selected entry's file as this system names it; empty, and said, when
    // there is none on disk.
    QString FirstSelectedFile();
    bool MayRun() const { return !commandGate_ || commandGate_(); }

    // Thumbnails and the preview pane (groupdrawings.cpp).
    void SetUpDrawingViews();
    void ShowPreview(bool shown, bool remember);
    void PreviewCurrent();

    // The contents of the entries' files (contentcommands.cpp): fingerprints refreshed
    // when the group is opened (opened) or let go when it is closed.
    void SetUpFingerprints();
    void RefreshFingerprints(bool opened);
    std::vector<int32_t> ShownEntryNumbers() const;
    void AcceptChangedContent();
    void ShowSameContent();
    GroupFingerprints* fingerprints_ = nullptr;
    SameContentWindow* sameContentWindow_ = nullptr;
    QAction* acceptChangeAction = nullptr;
    QAction* sameContentAction = nullptr;
    EntryOpener entryOpener_;

    EntryClipboard& clipboard_;
    ListSetupAsker listSetupAsker_ = AskListSetup;
    MemoEditor memoEditor_;
    CommandGate commandGate_;
    SubGroupNameDialog* nameDialog_ = nullptr;
    QString preferencesFile_;
    const RootMappings* rootMappings_ = nullptr;
    QString lastAddFolder_;
    int lastAddFilter_ = 0;
    int treeWidth_ = 161;
    int listNameWidth_ = 0;
    int32_t shownSubGroup_ = 0;     // the node whose entries the list shows
    bool refilledByPress_ = false;
    bool menuByKey_ = false;   // the context menu asked for is the menu key's
    int sortColumn_ = -1;           // the last column sorted by, -1 for the order read
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool laidOut_ = false;
    // The detail view's columns are sized to their contents once, at their first showing
    // with rows, unless the settings file held widths of the user's or he set them.
    bool userColumnWidths_ = false;
    bool columnsFitted_ = false;
    void FitColumnsOnce();
    static constexpr QSize kIconCell{128, 152};
};
