#include "shell/mainwindow.h"

#include <functional>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtMath>

#include <pwd.h>
#include <unistd.h>

#include "db/schema.h"
#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "search/searchwindow.h"
#include "text/cp932.h"
#include "settings/settingsfile.h"
#include "settings/windowplace.h"
#include "text/textutil.h"
#include "shell/databasesettingsdialog.h"

namespace {

const QColor kWindowColour(255, 255, 255);
const QColor kSilver(192, 192, 192);
const QColor kStatusGreen(192, 220, 192);
constexpr int kPanelHeight = 76;
constexpr int kStatusBarHeight = 19;
constexpr int32_t kMaxWindowValue = 1000000;

QFont BoardFont()
{
    QFont f("Noto Sans CJK JP");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    return f;
}

// Icons and captions both stand for their group: a press on either selects it, the
// left button drags its icon, a double-click opens it, and a tooltip shows the group in
// full (captions of long names overlap at the tidy pitch).
class GroupLabel : public QLabel {
public:
    GroupLabel(MainWindow* form, QWidget* parent) : QLabel(parent), form_(form) { setMouseTracking(true); }

protected:
    // A press position as the board takes it: inside the group's icon.
    virtual QPoint IconLocal(QPoint local) const { return local; }

    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint p = IconLocal(e->position().toPoint());
        form_->IconMouseDown(this, e->button(), e->modifiers(), p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        form_->FormMouseMove(this, e->buttons(), e->globalPosition().toPoint());
    }
    // Qt sends no motion when a button is released, so the drop is taken here at once
    // rather than at the next motion: a click selects its group without a further move.
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        form_->FormMouseMove(this, e->buttons(), e->globalPosition().toPoint());
    }
    void mouseDoubleClickEvent(QMouseEvent*) override { form_->OpenSelectedGroup(); }
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::ToolTip) return QLabel::event(e);
        // Read when asked, so that it shows what another copy may have stored meanwhile.
        const QString tip = form_->GroupTip(property("tag").toInt());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), tip, this);
        return true;
    }

    MainWindow* form_;
};

// The picture of one group.
class IconLabel : public GroupLabel, public BoardIcon {
public:
    using GroupLabel::GroupLabel;
    int Left() const override { return x(); }
    int Top() const override { return y(); }
    int Width() const override { return width(); }
    int Height() const override { return height(); }
    void MoveTo(int left, int top) override { move(left, top); }
};

class CaptionLabel : public GroupLabel, public BoardCaption {
public:
    using GroupLabel::GroupLabel;
    int Width() const override { return width(); }
    void MoveTo(int left, int top) override { move(left, top); }
    void SetDragMark(bool dragging) override
    {
        dragging_ = dragging;
        Colour();
    }
    // The selected group's caption in the style's selection colours.
    void SetSelectedMark(bool selected)
    {
        selected_ = selected;
        Colour();
    }

protected:
    QPoint IconLocal(QPoint local) const override
    {
        const QLabel* icon = form_->GroupIcon(property("tag").toInt());
        return icon ? pos() + local - icon->pos() : local;
    }

private:
    void Colour()
    {
        QPalette p = parentWidget() ? parentWidget()->palette() : palette();
        if (dragging_) {
            p.setColor(QPalette::Window, kSilver);
        } else if (selected_) {
            p.setColor(QPalette::Window, p.color(QPalette::Active, QPalette::Highlight));
            p.setColor(QPalette::WindowText, p.color(QPalette::Active, QPalette::HighlightedText));
        } else {
            p.setColor(QPalette::Window, kWindowColour);
        }
        setPalette(p);
    }

    bool dragging_ = false;
    bool selected_ = false;
};

// The white board: receives pointer motion, also without a button held.
class BoardCanvas : public QWidget {
public:
    BoardCanvas(MainWindow* form, QWidget* parent) : QWidget(parent), form_(form) { setMouseTracking(true); }

protected:
    void mouseMoveEvent(QMouseEvent* e) override
    {
        form_->FormMouseMove(this, e->buttons(), e->globalPosition().toPoint());
    }

private:
    MainWindow* form_;
};

// The visible part of the board; scroll bars appear when icons lie beyond it.
class BoardView : public QScrollArea {
public:
    BoardView(std::function<void()> resized, QWidget* parent) : QScrollArea(parent), resized_(std::move(resized)) {}

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QScrollArea::resizeEvent(e);
        resized_();
    }

private:
    std::function<void()> resized_;
};

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
    if (GroupWindow* groupWindow = windows_.groupWindow) {
        groupWindow->SetSubGroupNameDialog(windows_.subGroupNameDialog);
        MemoDialog* memoDialog = windows_.memoDialog;
        groupWindow->SetMemoEditor([memoDialog](const std::string& filePath, std::string& memo) {
            return memoDialog && memoDialog->Edit(filePath, memo);
        });
        groupWindow->SetCommandGate([this] { return ReattachIfLost(); });
    }
    if (windows_.searchWindow) windows_.searchWindow->SetCommandGate([this] { return ReattachIfLost(); });
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
}

void MainWindow::BuildClientArea()
{
    clientArea = new QWidget(this);
    clientArea->setObjectName("clientArea");
    setCentralWidget(clientArea);

    boardView = new BoardView([this] { UpdateBoardExtent(); }, clientArea);
    boardView->setObjectName("boardView");
    boardView->setFrameShape(QFrame::NoFrame);
    boardView->setWidgetResizable(false);
    boardCanvas = new BoardCanvas(this, boardView);
    boardCanvas->setObjectName("boardCanvas");
    boardCanvas->setAutoFillBackground(true);
    QPalette pal = boardCanvas->palette();
    pal.setColor(QPalette::Window, kWindowColour);
    boardCanvas->setPalette(pal);
    boardView->viewport()->setPalette(pal);
    boardView->setWidget(boardCanvas);

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

    statusLine = new QStatusBar(clientArea);
    statusLine->setObjectName("statusLine");
    statusLine->setSizeGripEnabled(false);
    statusLine->setFixedHeight(kStatusBarHeight);
    statusLine->setStyleSheet("QStatusBar { background: rgb(192, 220, 192); }");
    statusLine->setAttribute(Qt::WA_NoMousePropagation);

    auto* layout = new QVBoxLayout(clientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(boardView, 1);
    layout->addWidget(detailPanel);
    layout->addWidget(statusLine);
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

void MainWindow::EmptyEntryClipboard() { clipboard_.Clear(); }

void MainWindow::FormShow()
{
    EmptyEntryClipboard();
    const QFileInfo program(programFilePath_);
    programFolder_ = program.absolutePath() + "/";
    settingsPath_ = programFolder_ + program.completeBaseName() + ".dat";
    if (windows_.createDialog) windows_.createDialog->SetProgramFolder(programFolder_);
    if (windows_.editDialog) windows_.editDialog->SetProgramFolder(programFolder_);
    pictures_.SetHelperPath(PictureHelperPath(programFolder_));

    const QFileInfo settingsFile(settingsPath_);
    const bool firstStart = !settingsFile.exists() && !settingsFile.isSymLink();
    if (LoadSettings(settingsPath_)) PlaceWindowsOnScreens();
    if (firstStart) PrepareFirstStart();
    ConnectAtStart();

    board_.ResetSelection();
    ClearDetails();
    board_.ReleaseIcons();
    BuildBoard();
}

void MainWindow::FormClose()
{
    EmptyEntryClipboard();
    board_.ReleaseIcons();
    session_.CloseDatabase();
    if (!settingsPath_.isEmpty()) SaveSettings(settingsPath_);
}

void MainWindow::mnuExitClick() { close(); }

void MainWindow::ConnectAtStart()
{
    if (settings_.DataFolder.empty()) return;
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
    settings_.DataFolder = *folder;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_name) {
        const std::optional<std::string> login = Utf8ToCp932(user->pw_name);
        if (login && !login->empty() && login->size() <= kUserNameWidth && !HasQuote(*login))
            settings_.UserName = *login;
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
    return ::LoadSettings(path, settings_, [this](int line, int32_t value) { ApplySetting(line, value); });
}

void MainWindow::PlaceWindowsOnScreens()
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    QWidget* const all[] = {this,
                            windows_.settingsDialog,
                            windows_.groupWindow,
                            windows_.createDialog,
                            windows_.editDialog,
                            windows_.memoDialog,
                            windows_.subGroupNameDialog,
                            windows_.searchWindow};
    for (QWidget* w : all) {
        if (!w) continue;
        const QRect placed = PlaceOnScreens(w->x(), w->y(), w->width(), w->height(), screens);
        if (placed.size() != w->size()) w->resize(placed.size());
        if (placed.topLeft() != w->pos()) w->move(placed.topLeft());
    }
}

void MainWindow::ApplySetting(int line, int32_t value)
{
    // Window arithmetic in Qt overflows near the ends of int; no screen is this large.
    // The view style is an index and left to the group window.
    if (line != kViewStyle) value = std::clamp(value, -kMaxWindowValue, kMaxWindowValue);
    auto setLeft = [value](QWidget* w) { if (w) w->move(value, w->y()); };
    auto setTop = [value](QWidget* w) { if (w) w->move(w->x(), value); };
    auto setWidth = [value](QWidget* w) { if (w) w->resize(value, w->height()); };
    auto setHeight = [value](QWidget* w) { if (w) w->resize(w->width(), value); };
    QWidget* editDialog = windows_.editDialog;
    QWidget* createDialog = windows_.createDialog;
    GroupWindow* groupWindow = windows_.groupWindow;

    switch (line) {
    case kMainLeft: setLeft(this); break;
    case kMainTop: setTop(this); break;
    case kMainWidth: setWidth(this); break;
    case kMainHeight: setHeight(this); break;
    case kDbDialogLeft: setLeft(windows_.settingsDialog); break;
    case kDbDialogTop: setTop(windows_.settingsDialog); break;
    case kGroupLeft: setLeft(groupWindow); break;
    case kGroupTop: setTop(groupWindow); break;
    case kGroupWidth: setWidth(groupWindow); break;
    case kGroupHeight: setHeight(groupWindow); break;
    case kCreateDialogLeft: setLeft(createDialog); break;
    case kCreateDialogTop: setTop(createDialog); break;
    case kEditDialogLeft: setLeft(editDialog); break;
    case kEditDialogTop: setTop(editDialog); break;
    case kMemoDialogLeft: setLeft(windows_.memoDialog); break;
    case kMemoDialogTop: setTop(windows_.memoDialog); break;
    case kNameDialogLeft: setLeft(windows_.subGroupNameDialog); break;
    case kNameDialogTop: setTop(windows_.subGroupNameDialog); break;
    case kSearchLeft: setLeft(windows_.searchWindow); break;
    case kSearchTop: setTop(windows_.searchWindow); break;
    case kSearchWidth: setWidth(windows_.searchWindow); break;
    case kSearchHeight: setHeight(windows_.searchWindow); break;
    case kViewStyle: if (groupWindow) groupWindow->SetViewStyleIndex(value); break;
    case kTreeWidth: if (groupWindow) groupWindow->SetTreeWidth(value); break;
    default:
        if (groupWindow && line >= kFirstColumnWidth && line < kFirstColumnWidth + kListColumnCount)
            groupWindow->SetColumnWidth(line - kFirstColumnWidth, value);
        break;
    }
}

bool MainWindow::SaveSettings(const QString& path)
{
    SettingsNumbers numbers{};
    auto put = [&numbers](int line, int32_t value) { numbers[static_cast<size_t>(line - kFirstNumberLine)] = value; };
    auto putWindow = [&put](int first, const QWidget* w, bool withSize) {
        // A window that does not exist keeps the place of its lines with zeros.
        put(first, w ? w->x() : 0);
        put(first + 1, w ? w->y() : 0);
        if (withSize) {
            put(first + 2, w ? w->width() : 0);
            put(first + 3, w ? w->height() : 0);
        }
    };
    if (isMaximized() || isFullScreen()) {
        // The place the window returns to, not the whole screen: restored as a normal
        // window, that would put its title bar out of reach.
        const QRect normal = normalGeometry();
        const QPoint frameOffset = geometry().topLeft() - pos();
        if (normal.isValid()) {
            put(kMainLeft, normal.x() - frameOffset.x());
            put(kMainTop, normal.y() - frameOffset.y());
            put(kMainWidth, normal.width());
            put(kMainHeight, normal.height());
        } else {
            putWindow(kMainLeft, this, true);
        }
    } else {
        putWindow(kMainLeft, this, true);
    }
    putWindow(kDbDialogLeft, windows_.settingsDialog, false);
    putWindow(kGroupLeft, windows_.groupWindow, true);
    putWindow(kCreateDialogLeft, windows_.createDialog, false);
    putWindow(kEditDialogLeft, windows_.editDialog, false);
    putWindow(kMemoDialogLeft, windows_.memoDialog, false);
    putWindow(kNameDialogLeft, windows_.subGroupNameDialog, false);
    putWindow(kSearchLeft, windows_.searchWindow, true);
    if (GroupWindow* groupWindow = windows_.groupWindow) {
        for (int i = 0; i < kListColumnCount; ++i) put(kFirstColumnWidth + i, groupWindow->ColumnWidth(i));
        put(kViewStyle, groupWindow->ViewStyleIndex());
        put(kTreeWidth, groupWindow->TreeWidth());
    }
    return ::SaveSettings(path, settings_, numbers);
}

// --- group board -------------------------------------------------------------------------

void MainWindow::BuildBoard()
{
    // Each picture file is decoded once per build, and a replaced file shows at the next.
    pictures_.Clear();
    board_.BuildBoard();
    UpdateBoardExtent();
    UpdateSelectionMark();
}

void MainWindow::AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption, const std::string& iconFile)
{
    board_.AddGroupIcon(index, x, y, caption, iconFile);
    UpdateBoardExtent();
    UpdateSelectionMark();
}

void MainWindow::ClearDetails()
{
    for (QLineEdit* e : {groupNameField, authorField, groupNumberField, titleField, subtitleField}) e->clear();
    shownGroup_ = {};
}

QLabel* MainWindow::GroupIcon(int32_t group) const
{
    return boardCanvas->findChild<QLabel*>(QString("Imag%1").arg(group), Qt::FindDirectChildrenOnly);
}

QLabel* MainWindow::GroupCaption(int32_t group) const
{
    return boardCanvas->findChild<QLabel*>(QString("Labe%1").arg(group), Qt::FindDirectChildrenOnly);
}

QString MainWindow::GroupTip(int32_t group)
{
    if (!session_.Connected()) return {};
    const TextRow row = board_.ReadGroupRow(group);
    if (row[kColN].empty()) return {};
    auto line = [](const QString& caption, const std::string& value) {
        return caption + "\u3000" + ToQ(value).toHtmlEscaped();
    };
    // Rich text, so that no name is taken for markup and long names stay on one line.
    return "<p style='white-space:pre'>" + line("グループ名", row[kColGrpName]) + "<br>" +
           line("表題", row[kColMTitle]) + "<br>" + line("作成者名", row[kColPName]) + "</p>";
}

QString MainWindow::IconPath(const std::string& iconFile) const
{
    return IconFolder() + QString::fromStdString(ToFsName(iconFile));
}

bool MainWindow::IconFileExists(const std::string& iconFile)
{
    return !iconFile.empty() && QFileInfo(IconPath(iconFile)).isFile();
}

void MainWindow::PreparePictures(const std::vector<std::string>& iconFiles)
{
    QStringList paths;
    for (const std::string& file : iconFiles) paths << IconPath(file);
    pictures_.Prepare(paths);
}

BoardIcon* MainWindow::CreateIcon(int group, int x, int y, const std::string& iconFile)
{
    const QPixmap picture = iconFile.empty() ? PlaceholderPicture() : pictures_.Load(IconPath(iconFile));
    if (picture.isNull()) return nullptr;
    auto* icon = new IconLabel(this, boardCanvas);
    icon->hide();
    icon->setObjectName(QString("Imag%1").arg(group));
    icon->setProperty("tag", group);
    icon->setPixmap(picture);
    icon->setGeometry(x, y, picture.width(), picture.height());
    return icon;
}

BoardCaption* MainWindow::CreateCaption(int group, const std::string& text)
{
    auto* caption = new CaptionLabel(this, boardCanvas);
    caption->hide();
    caption->setObjectName(QString("Labe%1").arg(group));
    caption->setProperty("tag", group);
    caption->setTextFormat(Qt::PlainText);
    caption->setText(ToQ(text));
    caption->setAutoFillBackground(true);
    // One line sized to its text, as adjustSize() would size it, without the label's
    // line layout, which a large board pays once per group.
    if (caption->text().isEmpty()) {
        caption->adjustSize();
    } else {
        const QFontMetricsF metrics(caption->font());
        caption->resize(qCeil(metrics.horizontalAdvance(caption->text())) + 2 * caption->margin(),
                        qCeil(metrics.height()) + 2 * caption->margin());
    }
    return caption;
}

void MainWindow::ShowControls(BoardIcon* icon, BoardCaption* caption)
{
    // Made last, a new icon and its caption already stand above the older ones, which
    // may share their place; raising each again would cost a pass over all the others.
    for (QWidget* w : {dynamic_cast<QWidget*>(icon), dynamic_cast<QWidget*>(caption)})
        if (w) w->show();
}

void MainWindow::DestroyControls(BoardIcon* icon, BoardCaption* caption)
{
    // Later, not now: the control may be the one whose event is being handled. Until
    // then it keeps its parent but loses its name, so that no lookup finds it; taking it
    // off its parent would walk the window's whole focus chain for every control, which
    // makes a rebuild of a large board quadratic.
    if (auto* label = dynamic_cast<QLabel*>(icon)) {
        label->clear();
        label->hide();
        label->setObjectName(QString());
        label->deleteLater();
    }
    if (auto* label = dynamic_cast<QLabel*>(caption)) {
        label->hide();
        label->setObjectName(QString());
        label->deleteLater();
    }
}

void MainWindow::ShowDetails(const std::string& name, const std::string& author, const std::string& number,
                         const std::string& title, const std::string& subtitle)
{
    groupNameField->setText(ToQ(name));
    authorField->setText(ToQ(author));
    groupNumberField->setText(ToQ(number));
    titleField->setText(ToQ(title));
    subtitleField->setText(ToQ(subtitle));
    shownGroup_ = {name, author, number, title, subtitle};
}

// The limits of a drag: the visible board, or the whole canvas when icons lie beyond it.
int MainWindow::ClientWidth() const { return std::max(clientArea->width(), boardCanvas->width()); }

int MainWindow::BoardHeight() const
{
    return std::max(clientArea->height() - detailPanel->height() - statusLine->height(), boardCanvas->height());
}

void MainWindow::UpdateBoardExtent(bool mayShrink)
{
    QRect extent;
    for (const auto& entry : board_.iconSlots) {
        const IconSlot& slot = entry.second;
        if (!slot.present) continue;
        if (auto* w = dynamic_cast<QWidget*>(slot.icon)) extent |= w->geometry();
        if (auto* w = dynamic_cast<QWidget*>(slot.caption)) extent |= w->geometry();
    }
    const QSize view = boardView->viewport()->size();
    QSize size(std::max(view.width(), extent.right() + 1), std::max(view.height(), extent.bottom() + 1));
    if (!mayShrink) size = size.expandedTo(boardCanvas->size());
    if (size != boardCanvas->size()) boardCanvas->resize(size);
}

void MainWindow::UpdateSelectionMark()
{
    CaptionLabel* selected = nullptr;
    if (IconSlot* slot = board_.PresentSlot(board_.selectedGroup)) selected = dynamic_cast<CaptionLabel*>(slot->caption);
    if (auto* marked = dynamic_cast<CaptionLabel*>(markedCaption_.data()); marked && marked != selected)
        marked->SetSelectedMark(false);
    if (selected) selected->SetSelectedMark(true);
    markedCaption_ = selected;
}

void MainWindow::IconMouseDown(QObject* sender, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    // After a lost connection the press only brings the board back: the icon it hit
    // has just been replaced.
    if (session_.ConnectionLost()) {
        ReattachIfLost();
        return;
    }
    board_.IconMouseDown(sender->property("tag").toInt(), x, y);
}

void MainWindow::FormMouseMove(QObject*, Qt::MouseButtons buttons, QPoint globalPos)
{
    // Positions on the board, whichever part of it is scrolled into view.
    const QPoint origin = boardCanvas->mapToGlobal(QPoint(0, 0));
    const bool dragging = buttons.testFlag(Qt::LeftButton);
    board_.MouseMove(dragging, {globalPos.x(), globalPos.y()}, {origin.x(), origin.y()});
    UpdateBoardExtent(!dragging);
    UpdateSelectionMark();
}

// --- commands --------------------------------------------------------------------------

void MainWindow::mnuDBsetClick()
{
    session_.CloseDatabase();
    if (windows_.settingsDialog) windows_.settingsDialog->exec();
    {
        BusyCursor busy;
        session_.ConnectDatabase();
    }
    // The dialog may have pointed the program at another database: a group selected
    // before would let the next command act on an unrelated group of that number.
    board_.ResetSelection();
    ClearDetails();
    BuildBoard();
}

void MainWindow::OpenSelectedGroup()
{
    // A double-click never leaves a drag behind, whether or not it opens anything.
    board_.pressed = false;
    board_.pressedGroup = 0;
    if (!GroupCommandReady()) return;
    // A group's tables come with its first opening, not with its creation.
    const int32_t group = StrToIntOrZero(ShownGroupText());
    EnsureGroupTables(session_, group);
    GroupWindow* window = windows_.groupWindow;
    if (!window) return;
    // A later open replaces the group shown: closing empties the window, showing fills it.
    window->CloseWindow();
    window->CurrentGroupNumber = group;
    window->CurrentGroupName = FromQLossy(groupNameField->text());
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::AddGroupIconFromRow(const TextRow& row)
{
    const int32_t n = StrToIntOrZero(row[kColN]);
    if (n < 1) return;   // no row (another copy deleted it), or no number a slot can have
    AddGroupIcon(n - 1, StrToIntOrZero(row[kColX]), StrToIntOrZero(row[kColY]), row[kColGrpName], row[kColIconP]);
}

void MainWindow::AfterBoardCommand()
{
    UpdateBoardExtent();
    UpdateSelectionMark();
}

bool MainWindow::RefuseWithoutNumber()
{
    if (!CatalogueReady(session_) || NextGroupNumber(session_)) return false;
    platform_.messages->ShowMessage(this, QString::fromUtf8(kNoGroupNumberLeft));
    return true;
}

std::string MainWindow::ShownGroupText() const { return FromQLossy(groupNumberField->text()); }

bool MainWindow::GroupCommandReady()
{
    return CatalogueCommandReady() && board_.selectedGroup != 0 && StrToIntOrZero(ShownGroupText()) != 0;
}

bool MainWindow::CatalogueCommandReady() { return ReattachIfLost() && CatalogueReady(session_); }

void MainWindow::ReportLostConnection()
{
    QTimer::singleShot(0, this, [this] {
        platform_.messages->ShowMessage(
            this, "データベースとの接続が切れました。次の操作のときに接続し直します。");
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
    BuildBoard();
    statusLine->showMessage("データベースに接続し直しました。", 15000);
    return true;
}

void MainWindow::ReportChangedGroup(const QString& name)
{
    platform_.messages->ShowMessage(
        this, "他の利用者がグループ「" + name + "」を変更または削除しました。グループの表示を更新します。");
    board_.ResetSelection();
    ClearDetails();
    BuildBoard();
}

void MainWindow::mnuMakeGroupClick()
{
    GroupCreateDialog* dialog = windows_.createDialog;
    if (!dialog || !ReattachIfLost() || RefuseWithoutNumber()) return;
    dialog->exec();
    if (!dialog->Done) return;
    const int32_t group = dialog->CreatedGroupNumber;
    const TextRow row = board_.ReadGroupRow(group);
    board_.AddSlot(group);
    AddGroupIconFromRow(row);
}

void MainWindow::mnuEditGroupClick()
{
    GroupEditDialog* dialog = windows_.editDialog;
    if (!dialog || !CatalogueCommandReady() || board_.selectedGroup == 0) return;
    const int32_t group = board_.selectedGroup;
    dialog->EditedGroupNumber = group;
    dialog->exec();
    if (!dialog->Done) return;
    const TextRow row = board_.ReadGroupRow(group);
    board_.RemoveGroupIcon(group);
    AddGroupIconFromRow(row);
    // The panel shows what was stored, not the values from before the edit.
    if (board_.selectedGroup == group) ShowGroupDetails(group);
}

void MainWindow::mnuMoveGroupClick()
{
    if (!GroupCommandReady()) return;
    MoveGroupToTopLeft(board_, board_.selectedGroup);
    // At the top left it may lie under an older icon there; it is the one wanted.
    for (QWidget* w : {static_cast<QWidget*>(GroupIcon(board_.selectedGroup)),
                       static_cast<QWidget*>(GroupCaption(board_.selectedGroup))})
        if (w) w->raise();
    AfterBoardCommand();
}

void MainWindow::mnuLocInitGroupClick()
{
    if (!CatalogueCommandReady()) return;
    TidyGroups(board_, clientArea->width());
    AfterBoardCommand();
}

void MainWindow::mnuCopyGroupClick()
{
    if (!GroupCommandReady() || RefuseWithoutNumber()) return;
    const QString name = groupNameField->text();
    if (!platform_.messages->Confirm(this, "グループ「" + name + "」を複製します。よろしいですか？")) return;
    switch (DuplicateGroup(board_, session_, StrToIntOrZero(ShownGroupText()), shownGroup_)) {
    case GroupOutcome::Done: AfterBoardCommand(); break;
    case GroupOutcome::Changed: ReportChangedGroup(name); break;
    case GroupOutcome::Failed: platform_.messages->ShowMessage(this, "グループ複製失敗"); break;
    }
}

void MainWindow::mnuDeleteGroupClick()
{
    if (!GroupCommandReady()) return;
    const QString name = groupNameField->text();
    if (!platform_.messages->Confirm(this, "グループ「" + name + "」を削除します。よろしいですか？")) return;
    switch (DeleteGroup(board_, session_, ShownGroupText(), shownGroup_)) {
    case GroupOutcome::Done:
        ClearDetails();
        AfterBoardCommand();
        break;
    case GroupOutcome::Changed: ReportChangedGroup(name); break;
    case GroupOutcome::Failed:
        // Nothing was deleted: the group keeps its entries, its icon and the selection.
        platform_.messages->ShowMessage(this, "グループ削除失敗");
        break;
    }
}

void MainWindow::mnuOpenGroupClick() { OpenSelectedGroup(); }

void MainWindow::mnuFindClick()
{
    SearchWindow* window = windows_.searchWindow;
    if (!window || !CatalogueCommandReady()) return;
    // Left open, it comes to the front as it is.
    window->show();
    window->raise();
    window->activateWindow();
}
