#include "shell/mainwindow.h"

#include <algorithm>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <pwd.h>
#include <unistd.h>

#include "db/schema.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupdlg/picturefolderdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "links/linkcheckwindow.h"
#include "memo/memodialog.h"
#include "opening/openprogramsdialog.h"
#include "search/searchwindow.h"
#include "text/cp932.h"
#include "settings/preferences.h"
#include "settings/settingsfile.h"
#include "text/textutil.h"
#include "shell/databasesettingsdialog.h"
#include "shell/drawingtextreader.h"

namespace {

const QColor kSilver(192, 192, 192);
constexpr int kPanelHeight = 76;
constexpr int kStatusBarHeight = 19;
// The right edge of the panel's fields at the designed width, and their margin there.
constexpr int kPanelFieldsRight = 605;
constexpr int kPanelRightMargin = 11;

QFont BoardFont()
{
    QFont f("Noto Sans CJK JP");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    return f;
}

QLineEdit* DetailField(QWidget* parent, const char* name, int x, int y, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, width, 21);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);   // Tab skips the panel
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, kSilver);
    edit->setPalette(p);
    return edit;
}

void DetailCaption(QWidget* parent, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    label->resize(label->width(), 21);
}

} // namespace

MainWindow::MainWindow(const Platform& platform, const QString& programFilePath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      platform_(platform), programFilePath_(programFilePath)
{
    setObjectName("MainWindow");
    setWindowTitle("Kumolist");
    setFont(BoardFont());
    BuildMenu();
    BuildClientArea();
    BuildContextMenus();
    resize(616, 347);
    move(192, 107);
    session_.SetConnectionLostHandler([this] { ReportLostConnection(); });
    // Waiting for its user, the program keeps no read transaction open: it would keep
    // every table it read in use, and another copy could not delete those groups.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { session_.EndRead(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::SetWindows(const ProgramWindows& windows)
{
    windows_ = windows;
    if (GroupCreateDialog* dialog = windows_.createDialog)
        dialog->SetPlacement([this](const std::string& name, const std::string& iconFile) {
            return boardView->PlaceForNewGroup(name, iconFile);
        });
    if (GroupWindow* groupWindow = windows_.groupWindow) {
        groupWindow->SetSubGroupNameDialog(windows_.subGroupNameDialog);
        MemoDialog* memoDialog = windows_.memoDialog;
        groupWindow->SetMemoEditor([memoDialog](const std::string& filePath, std::string& memo) {
            return memoDialog && memoDialog->Edit(filePath, memo);
        });
        groupWindow->SetCommandGate([this] { return ReattachIfLost(); });
        groupWindow->SetRootMappings(&rootMappings_);
        groupWindow->SetEntryOpener([this](int32_t group, int32_t entry) { OpenGroupAt(group, entry); });
        connect(groupWindow, &GroupWindow::LinkCheckRequested, this, &MainWindow::CheckLinks);
        connect(groupWindow, &GroupWindow::FolderReplaceRequested, this, &MainWindow::ReplaceFolder);
        // Entries registered there: their drawings' texts are read.
        connect(groupWindow, &GroupWindow::entriesChanged, this,
                [this, groupWindow] { ReadDrawingTexts(groupWindow->currentGroupNumber); });
    }
    if (SearchWindow* search = windows_.searchWindow) {
        search->SetCommandGate([this] { return ReattachIfLost(); });
        search->SetRootMappings(&rootMappings_);
        search->SetGroupOpener([this](int32_t group, int32_t entry) { OpenGroupAt(group, entry); });
        search->SetTextHitOpener([this](int32_t group, int32_t entry, const std::optional<std::array<double, 4>>& box) {
            OpenGroupAt(group, entry);
            GroupWindow* window = windows_.groupWindow;
            if (window && window->isVisible() && window->currentGroupNumber == group) window->PreviewText(box);
        });
    }
}

void MainWindow::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (MainWindow::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };

    mnuFile = bar->addMenu("ファイル(&F)");
    mnuFile->setObjectName("mnuFile");
    mnuMakeGroup = item(mnuFile, "mnuMakeGroup", "グループ作成(&N)...", &MainWindow::mnuMakeGroupClick);
    mnuOpenGroup = item(mnuFile, "mnuOpenGroup", "グループを開く(&O)", &MainWindow::mnuOpenGroupClick);
    mnuRefresh = item(mnuFile, "mnuRefresh", "最新の情報に更新(&U)", &MainWindow::mnuRefreshClick);
    mnuFile->addSeparator();
    mnuDBset = item(mnuFile, "mnuDBset", "データベース設定(&D)...", &MainWindow::mnuDBsetClick);
    mnuFile->addSeparator();
    mnuExit = item(mnuFile, "mnuExit", "終了(&X)", &MainWindow::mnuExitClick);

    mnuEdit = bar->addMenu("編集(&E)");
    mnuEdit->setObjectName("mnuEdit");
    mnuMoveGroup = item(mnuEdit, "mnuMoveGroup", "左上へ移動(&M)", &MainWindow::mnuMoveGroupClick);
    mnuLocInitGroup = item(mnuEdit, "mnuLocInitGroup", "グループ位置整理(&S)", &MainWindow::mnuLocInitGroupClick);
    mnuEdit->addSeparator();
    mnuEditGroup = item(mnuEdit, "mnuEditGroup", "グループ編集(&E)...", &MainWindow::mnuEditGroupClick);
    mnuCopyGroup = item(mnuEdit, "mnuCopyGroup", "グループ複製(&C)", &MainWindow::mnuCopyGroupClick);
    mnuEdit->addSeparator();
    mnuDeleteGroup = item(mnuEdit, "mnuDeleteGroup", "グループ削除(&D)", &MainWindow::mnuDeleteGroupClick);
    mnuEdit->addSeparator();
    mnuFind = item(mnuEdit, "mnuFind", "検索(&F)...", &MainWindow::mnuFindClick);
    mnuOpenPrograms = mnuEdit->addAction("図面を開くプログラム(&P)...", this,
                                         [this] { EditOpenPrograms(this, platform_, files_.preferencesFile); });
    mnuOpenPrograms->setObjectName("mnuOpenPrograms");
    mnuPictureFolder = mnuEdit->addAction("グループの画像フォルダ(&I)...", this, &MainWindow::ChangePictureFolder);
    mnuPictureFolder->setObjectName("mnuPictureFolder");
    BuildLinkMenu();

    // The keys a file manager's icon view answers; the board holds the focus, and the
    // read-only panel has nothing that Enter or Delete could mean there.
    mnuOpenGroup->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    mnuEditGroup->setShortcut(QKeySequence(Qt::Key_F2));
    mnuDeleteGroup->setShortcut(QKeySequence(QKeySequence::Delete));
    mnuFind->setShortcut(QKeySequence(QKeySequence::Find));
    // Other copies add, change and remove groups; a file manager's key shows their work.
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    mnuMakeGroup->setShortcut(QKeySequence(QKeySequence::New));
    mnuExit->setShortcut(QKeySequence(QKeySequence::Quit));
}

void MainWindow::BuildContextMenus()
{
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (MainWindow::*handler)(),
                       const QAction* shortcutOf) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        if (shortcutOf) {
            // Shown beside the item; the window's own action answers the key.
            a->setShortcut(shortcutOf->shortcut());
            a->setShortcutContext(Qt::WidgetShortcut);
            a->setShortcutVisibleInContextMenu(true);
        }
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    groupMenu = new QMenu(this);
    groupMenu->setObjectName("groupMenu");
    item(groupMenu, "groupMenuOpen", "開く(&O)", &MainWindow::mnuOpenGroupClick, mnuOpenGroup);
    item(groupMenu, "groupMenuEdit", "編集(&E)...", &MainWindow::mnuEditGroupClick, mnuEditGroup);
    item(groupMenu, "groupMenuCopy", "複製(&C)", &MainWindow::mnuCopyGroupClick, nullptr);
    groupMenu->addSeparator();
    item(groupMenu, "groupMenuDelete", "削除(&D)", &MainWindow::mnuDeleteGroupClick, mnuDeleteGroup);

    boardMenu = new QMenu(this);
    boardMenu->setObjectName("boardMenu");
    item(boardMenu, "boardMenuMake", "グループ作成(&N)...", &MainWindow::mnuMakeGroupClick, mnuMakeGroup);
    item(boardMenu, "boardMenuTidy", "グループ位置整理(&S)", &MainWindow::mnuLocInitGroupClick, nullptr);
    boardMenu->addSeparator();
    item(boardMenu, "boardMenuRefresh", "最新の情報に更新(&U)", &MainWindow::mnuRefreshClick, mnuRefresh);

    connect(boardView, &BoardView::GroupMenuRequested, this, [this](QPoint at) { groupMenu->exec(at); });
    connect(boardView, &BoardView::BoardMenuRequested, this, [this](QPoint at) { boardMenu->exec(at); });
}

void MainWindow::BuildClientArea()
{
    clientArea = new QWidget(this);
    clientArea->setObjectName("clientArea");
    setCentralWidget(clientArea);

    boardView = new BoardView(session_, clientArea);
    connect(boardView, &BoardView::GroupShown, this, &MainWindow::ShowGroup);
    connect(boardView, &BoardView::GroupUnread, this, &MainWindow::ShowGroupUnread);
    connect(boardView, &BoardView::OpenRequested, this, &MainWindow::OpenSelectedGroup);
    connect(boardView, &BoardView::ReattachRequested, this, &MainWindow::ReattachIfLost);
    connect(boardView, &BoardView::FilesDroppedOnGroup, this, &MainWindow::RegisterOnGroup);

    detailPanel = new QFrame(clientArea);
    detailPanel->setObjectName("detailPanel");
    detailPanel->setFrameShape(QFrame::Panel);
    detailPanel->setFrameShadow(QFrame::Raised);
    detailPanel->setFixedHeight(kPanelHeight);
    detailPanel->setAutoFillBackground(true);
    QPalette panelPalette = detailPanel->palette();
    panelPalette.setColor(QPalette::Window, QColor(240, 240, 240));
    detailPanel->setPalette(panelPalette);
    // The panel is a control of its own: motion over it is not motion over the board.
    detailPanel->setAttribute(Qt::WA_NoMousePropagation);

    DetailCaption(detailPanel, "グループ名", 8, 3);
    groupNameField = DetailField(detailPanel, "groupNameField", 80, 3, 225);
    DetailCaption(detailPanel, "作成者名", 314, 3);
    authorField = DetailField(detailPanel, "authorField", 376, 3, 137);
    groupNumberField = DetailField(detailPanel, "groupNumberField", 520, 3, 85);
    DetailCaption(detailPanel, "表題", 8, 27);
    titleField = DetailField(detailPanel, "titleField", 80, 27, 525);
    DetailCaption(detailPanel, "副題", 8, 51);
    subtitleField = DetailField(detailPanel, "subtitleField", 80, 51, 525);

    // The two long fields reach to the panel's right edge, however wide the window is.
    detailPanel->installEventFilter(this);

    statusLine = new QStatusBar(clientArea);
    statusLine->setObjectName("statusLine");
    statusLine->setSizeGripEnabled(false);
    statusLine->setFixedHeight(kStatusBarHeight);
    statusLine->setStyleSheet("QStatusBar { background: rgb(192, 220, 192); }");
    statusLine->setAttribute(Qt::WA_NoMousePropagation);
    textReader = new DrawingTextReader(statusLine, this);

    auto* layout = new QVBoxLayout(clientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(boardView, 1);
    layout->addWidget(detailPanel);
    layout->addWidget(statusLine);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == detailPanel && event->type() == QEvent::Resize) {
        const int right = std::max(detailPanel->width() - kPanelRightMargin, kPanelFieldsRight);
        for (QLineEdit* e : {titleField, subtitleField}) e->resize(right - e->x(), e->height());
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- life cycle ------------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Restoring from the task bar is no new showing.
    if (!event->spontaneous()) FormShow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void MainWindow::ChangePictureFolder()
{
    const QString folder = EditPictureFolder(this, platform_, files_.preferencesFile, defaultPictureFolder_);
    if (folder.isEmpty() || folder == files_.pictureFolder) return;
    files_.pictureFolder = folder;
    if (windows_.createDialog) windows_.createDialog->SetProgramFiles(files_);
    if (windows_.editDialog) windows_.editDialog->SetProgramFiles(files_);
    boardView->SetPictureFiles(files_.iconFolder, files_.pictureHelper, files_.pictureFolder);
    boardView->Board().ReleaseIcons();
    boardView->BuildBoard();
}

void MainWindow::EmptyEntryClipboard() { clipboard_.Clear(); }

void MainWindow::FormShow()
{
    EmptyEntryClipboard();
    programFolder_ = QFileInfo(programFilePath_).absolutePath() + "/";
    files_ = LocateProgramFiles(programFilePath_);
    defaultPictureFolder_ = files_.pictureFolder;
    // A folder the office shares, where the preferences name one.
    if (const QString shared = LoadPictureFolder(files_.preferencesFile); !shared.isEmpty())
        files_.pictureFolder = shared;
    settingsPath_ = files_.settingsFile;
    if (windows_.createDialog) windows_.createDialog->SetProgramFiles(files_);
    if (windows_.editDialog) windows_.editDialog->SetProgramFiles(files_);
    if (windows_.groupWindow) {
        windows_.groupWindow->SetPreferencesFile(files_.preferencesFile);
        windows_.groupWindow->SetThumbnailer(files_.thumbnailer);
    }
    if (windows_.searchWindow) windows_.searchWindow->SetPreferencesFile(files_.preferencesFile);
    rootMappings_ = LoadRootMappings(files_.preferencesFile);
    boardView->SetPictureFiles(files_.iconFolder, files_.pictureHelper, files_.pictureFolder);

    const QFileInfo settingsFile(settingsPath_);
    const bool firstStart = !settingsFile.exists() && !settingsFile.isSymLink();
    LoadSettings(settingsPath_);
    // The first places too: designed for one screen, they may not fit this one or its scale.
    PlaceWindowsOnScreens(*this, windows_);
    if (firstStart) PrepareFirstStart();
    settingsAtStart_.settings = settings_;
    ConnectAtStart();
    ShowDatabaseInTitle();

    boardView->Board().ResetSelection();
    ClearDetails();
    boardView->Board().ReleaseIcons();
    boardView->BuildBoard();
    ReadDrawingTexts(0);
}

void MainWindow::ReadDrawingTexts(int32_t group)
{
    if (session_.Connected()) textReader->Start(settings_, files_.thumbnailer, rootMappings_, group);
}

void MainWindow::FormClose()
{
    EmptyEntryClipboard();
    boardView->Board().ReleaseIcons();
    session_.CloseDatabase();
    if (!settingsPath_.isEmpty()) SaveSettings(settingsPath_);
    // Made only when used: a window never made keeps the place stored before.
    if (linkCheckWindow) StoreWindowPlace(*linkCheckWindow, files_.preferencesFile);
}

void MainWindow::mnuExitClick() { close(); }

void MainWindow::ConnectAtStart()
{
    if (settings_.dataFolder.empty()) return;
    {
        BusyCursor busy;
        session_.ConnectDatabase();
    }
    if (session_.Connected()) return;
    // The server's own words tell a missing folder from a wrong address or password.
    const QString reason = ToQ(session_.LastError());
    session_.CloseDatabase();
    platform_.messages->ShowMessageWithDetail(this, "データベース接続が出来ません。設定を確認して下さい。", reason);
}

void MainWindow::PrepareFirstStart()
{
    if (firstStartFolder_.isEmpty() || !QFileInfo(firstStartFolder_).isDir()) return;
    const std::optional<std::string> folder = FromQ(firstStartFolder_);
    if (!folder) return;
    const DatabaseSettings before = settings_;
    settings_.dataFolder = *folder;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_name) {
        const std::optional<std::string> login = Utf8ToCp932(user->pw_name);
        if (login && !login->empty() && login->size() <= kUserNameWidth && !HasQuote(*login))
            settings_.userName = *login;
    }
    // As the settings dialog does it: creating fails harmlessly where the database
    // exists, and the attach decides. A folder of no use leaves an ordinary first start.
    BusyCursor busy;
    session_.CreateDatabase();
    session_.ConnectDatabase();
    if (session_.Connected()) return;
    session_.CloseDatabase();
    settings_ = before;
}

// --- settings file ---------------------------------------------------------------------

bool MainWindow::LoadSettings(const QString& path)
{
    settingsAtStart_ = {};
    return ::LoadSettings(path, settings_, [this](int line, int32_t value) {
        settingsAtStart_.numbers[static_cast<size_t>(line - kFirstNumberLine)] = value;
        ApplyWindowSetting(*this, windows_, line, value);
    });
}

bool MainWindow::SaveSettings(const QString& path)
{
    const SettingsContents now{settings_, CollectWindowSettings(*this, windows_)};
    const SettingsContents merged = MergeSettings(settingsAtStart_, now, ReadSettingsContents(path));
    return ::SaveSettings(path, merged.settings, merged.numbers);
}

// --- the detail panel ----------------------------------------------------------------------

void MainWindow::ClearDetails()
{
    for (QLineEdit* e : {groupNameField, authorField, groupNumberField, titleField, subtitleField}) e->clear();
    shownGroup_ = {};
}

void MainWindow::ShowGroup(const ShownGroup& group)
{
    groupNameField->setText(ToQ(group.name));
    authorField->setText(ToQ(group.author));
    groupNumberField->setText(group.number != 0 ? QString::number(group.number) : QString());
    titleField->setText(ToQ(group.title));
    subtitleField->setText(ToQ(group.subtitle));
    shownGroup_ = group;
}

void MainWindow::ShowGroupUnread()
{
    // Empty fields alone would pass for a group that has none; the commands on the
    // selected group wait for a panel that shows it.
    ClearDetails();
    statusLine->showMessage("データベースから読めませんでした", 15000);
}


// --- commands --------------------------------------------------------------------------

void MainWindow::ShowDatabaseInTitle()
{
    // Several databases may be in use on one PC (an office's and a test one): the title
    // says which one this copy shows.
    setWindowTitle(session_.Connected() ? QString("Kumolist - ") + ToQ(settings_.DatabaseName()) : QString("Kumolist"));
}

void MainWindow::mnuDBsetClick()
{
    session_.CloseDatabase();
    if (windows_.settingsDialog) windows_.settingsDialog->exec();
    {
        BusyCursor busy;
        session_.ConnectDatabase();
    }
    ShowDatabaseInTitle();
    // The dialog may have pointed the program at another database: a group selected
    // before would let the next command act on an unrelated group of that number.
    boardView->Board().ResetSelection();
    ClearDetails();
    boardView->BuildBoard();
}

void MainWindow::mnuRefreshClick()
{
    // Attaching again rebuilds the board already.
    if (!session_.ConnectionLost()) boardView->BuildBoard();
    else if (!ReattachIfLost()) return;
    // Lost during the read: the board and the panel stay as they were, and the user is
    // told of the loss.
    if (session_.ConnectionLost()) return;
    // The group selected keeps its place in the panel with what is stored for it now,
    // unless another copy removed it.
    GroupBoard& board = boardView->Board();
    const int32_t selected = boardView->SelectedGroup();
    if (selected > 0 && board.PresentSlot(selected)) {
        board.ShowGroupDetails(selected);
    } else {
        board.ResetSelection();
        ClearDetails();
    }
    boardView->AfterBoardCommand();
}



bool MainWindow::CatalogueCommandReady() { return ReattachIfLost() && CatalogueReady(session_); }

void MainWindow::ReportLostConnection()
{
    QTimer::singleShot(0, this, [this] {
        platform_.messages->ShowMessage(this, "データベースとの接続が切れました。次の操作のときに接続し直します。");
    });
}

bool MainWindow::ReattachIfLost()
{
    if (!session_.ConnectionLost()) return true;
    if (!session_.Reattach()) {
        platform_.messages->ShowMessage(
            this, "データベースに接続できません。サーバーが動いているか確認して下さい。");
        return false;
    }
    // Same database: the selection stays; commands check that its group is still the same.
    boardView->BuildBoard();
    statusLine->showMessage("データベースに接続し直しました。", 15000);
    return true;
}


void MainWindow::mnuFindClick()
{
    SearchWindow* window = windows_.searchWindow;
    if (!window || !CatalogueCommandReady()) return;
    // Left open, it comes to the front as it is.
    window->show();
    window->raise();
    window->activateWindow();
}
