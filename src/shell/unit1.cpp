#include "shell/unit1.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

#include "board/commands.h"
#include "groupdlg/unit4.h"
#include "groupdlg/unit5.h"
#include "groupwin/unit3.h"
#include "groupwin/unit7.h"
#include "memo/unit6.h"
#include "search/unit8.h"
#include "shell/cp932.h"
#include "shell/settingsfile.h"
#include "shell/textutil.h"
#include "shell/unit2.h"

namespace {

const QColor kWindowColour(255, 255, 255);
const QColor kSilver(192, 192, 192);
const QColor kStatusGreen(192, 220, 192);
constexpr int kPanelHeight = 76;
constexpr int kStatusBarHeight = 19;

QFont BoardFont()
{
    QFont f("Noto Sans CJK JP");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    return f;
}

// The picture of one group. Presses select it, motion and releases go to the board.
class IconLabel : public QLabel, public BoardIcon {
public:
    IconLabel(TForm1* form, QWidget* parent) : QLabel(parent), form_(form) { setMouseTracking(true); }

    int Left() const override { return x(); }
    int Top() const override { return y(); }
    int Width() const override { return width(); }
    int Height() const override { return height(); }
    void MoveTo(int left, int top) override { move(left, top); }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint p = e->position().toPoint();
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

private:
    TForm1* form_;
};

class CaptionLabel : public QLabel, public BoardCaption {
public:
    using QLabel::QLabel;
    int Width() const override { return width(); }
    void MoveTo(int left, int top) override { move(left, top); }
    void SetDragMark(bool dragging) override
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, dragging ? kSilver : kWindowColour);
        setPalette(p);
    }
};

// The white client area: receives pointer motion, also without a button held.
class ClientWidget : public QWidget {
public:
    ClientWidget(TForm1* form, QWidget* parent) : QWidget(parent), form_(form) { setMouseTracking(true); }

protected:
    void mouseMoveEvent(QMouseEvent* e) override
    {
        form_->FormMouseMove(this, e->buttons(), e->globalPosition().toPoint());
    }

private:
    TForm1* form_;
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

TForm1::TForm1(const Platform& platform, const QString& programFilePath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      platform_(platform), programFilePath_(programFilePath)
{
    setObjectName("Form1");
    setWindowTitle("Kumolist");
    setFont(BoardFont());
    BuildMenu();
    BuildClientArea();
    resize(616, 347);
    move(192, 107);
}

TForm1::~TForm1() = default;

void TForm1::SetWindows(const ProgramWindows& windows) { windows_ = windows; }

void TForm1::BuildMenu()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TForm1::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(name);
        return a;
    };

    mnuFile = bar->addMenu("ファイル(&F)");
    mnuFile->setObjectName("mnuFile");
    mnuMakeGroup = item(mnuFile, "mnuMakeGroup", "グループ作成(&N)...", &TForm1::mnuMakeGroupClick);
    mnuOpenGroup = item(mnuFile, "mnuOpenGroup", "グループを開く(&O)", &TForm1::mnuOpenGroupClick);
    N1 = separator(mnuFile, "N1");
    mnuDBset = item(mnuFile, "mnuDBset", "データベース設定(&D)...", &TForm1::mnuDBsetClick);
    N2 = separator(mnuFile, "N2");
    mnuExit = item(mnuFile, "mnuExit", "終了(&X)", &TForm1::mnuExitClick);

    mnuEdit = bar->addMenu("編集(&E)");
    mnuEdit->setObjectName("mnuEdit");
    mnuMoveGroup = item(mnuEdit, "mnuMoveGroup", "左上へ移動(&M)", &TForm1::mnuMoveGroupClick);
    mnuLocInitGroup = item(mnuEdit, "mnuLocInitGroup", "グループ位置整理(&S)", &TForm1::mnuLocInitGroupClick);
    N4 = separator(mnuEdit, "N4");
    mnuEditGroup = item(mnuEdit, "mnuEditGroup", "グループ編集(&E)...", &TForm1::mnuEditGroupClick);
    mnuCopyGroup = item(mnuEdit, "mnuCopyGroup", "グループ複製(&C)", &TForm1::mnuCopyGroupClick);
    N3 = separator(mnuEdit, "N3");
    mnuDeleteGroup = item(mnuEdit, "mnuDeleteGroup", "グループ削除(&D)", &TForm1::mnuDeleteGroupClick);
    N5 = separator(mnuEdit, "N5");
    mnuFind = item(mnuEdit, "mnuFind", "検索(&F)...", &TForm1::mnuFindClick);
}

void TForm1::BuildClientArea()
{
    ClientArea = new ClientWidget(this, this);
    ClientArea->setObjectName("ClientArea");
    ClientArea->setAutoFillBackground(true);
    QPalette pal = ClientArea->palette();
    pal.setColor(QPalette::Window, kWindowColour);
    ClientArea->setPalette(pal);
    setCentralWidget(ClientArea);

    Panel1 = new QFrame(ClientArea);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setFixedHeight(kPanelHeight);
    Panel1->setAutoFillBackground(true);
    QPalette panelPalette = Panel1->palette();
    panelPalette.setColor(QPalette::Window, QColor(240, 240, 240));
    Panel1->setPalette(panelPalette);
    // The panel is a control of its own: motion over it is not motion over the board.
    Panel1->setAttribute(Qt::WA_NoMousePropagation);

    DetailCaption(Panel1, "グループ名", 8, 3);
    Edit1 = DetailField(Panel1, "Edit1", 80, 3, 225);
    DetailCaption(Panel1, "作成者名", 314, 3);
    Edit2 = DetailField(Panel1, "Edit2", 376, 3, 137);
    Edit3 = DetailField(Panel1, "Edit3", 520, 3, 85);
    DetailCaption(Panel1, "表題", 8, 27);
    Edit4 = DetailField(Panel1, "Edit4", 80, 27, 525);
    DetailCaption(Panel1, "副題", 8, 51);
    Edit5 = DetailField(Panel1, "Edit5", 80, 51, 525);

    StatusBar1 = new QStatusBar(ClientArea);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setStyleSheet("QStatusBar { background: rgb(192, 220, 192); }");
    StatusBar1->setAttribute(Qt::WA_NoMousePropagation);

    auto* layout = new QVBoxLayout(ClientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    layout->addWidget(Panel1);
    layout->addWidget(StatusBar1);
}

// --- life cycle ------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Restoring from the task bar is no new showing.
    if (!event->spontaneous()) FormShow();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TForm1::EmptyEntryClipboard()
{
    // The entry clipboard comes with the group window's copy and paste.
}

void TForm1::FormShow()
{
    EmptyEntryClipboard();
    const QFileInfo program(programFilePath_);
    programFolder_ = program.absolutePath() + "/";
    settingsPath_ = programFolder_ + program.completeBaseName() + ".dat";
    if (windows_.form4) windows_.form4->SetProgramFolder(programFolder_);
    if (windows_.form5) windows_.form5->SetProgramFolder(programFolder_);

    LoadSettings(settingsPath_);

    if (!settings_.DataFolder.empty()) {
        session_.ConnectDatabase();
        if (!session_.Connected()) {
            session_.CloseDatabase();
            platform_.messages->ShowMessage(this, "データベース接続が出来ません。設定を確認して下さい。");
        }
    }

    board_.ResetSelection();
    ClearDetails();
    board_.ReleaseIcons();
    BuildBoard();
}

void TForm1::FormClose()
{
    EmptyEntryClipboard();
    board_.ReleaseIcons();
    session_.CloseDatabase();
    if (!settingsPath_.isEmpty()) SaveSettings(settingsPath_);
}

void TForm1::mnuExitClick() { close(); }

// --- settings file ---------------------------------------------------------------------

void TForm1::LoadSettings(const QString& path)
{
    ::LoadSettings(path, settings_, [this](int line, int32_t value) { ApplySetting(line, value); });
}

void TForm1::ApplySetting(int line, int32_t value)
{
    auto setLeft = [value](QWidget* w) { if (w) w->move(value, w->y()); };
    auto setTop = [value](QWidget* w) { if (w) w->move(w->x(), value); };
    auto setWidth = [value](QWidget* w) { if (w) w->resize(value, w->height()); };
    auto setHeight = [value](QWidget* w) { if (w) w->resize(w->width(), value); };
    QWidget* form5 = windows_.form5;
    QWidget* form4 = windows_.form4;
    TForm3* form3 = windows_.form3;

    switch (line) {
    case kMainLeft: setLeft(this); break;
    case kMainTop: setTop(this); break;
    case kMainWidth: setWidth(this); break;
    case kMainHeight: setHeight(this); break;
    case kDbDialogLeft: setLeft(windows_.form2); break;
    case kDbDialogTop: setTop(windows_.form2); break;
    case kGroupLeft: setLeft(form3); break;
    case kGroupTop: setTop(form3); break;
    case kGroupWidth: setWidth(form3); break;
    case kGroupHeight: setHeight(form3); break;
    case kCreateDialogLeft: setLeft(form4); break;
    case kCreateDialogTop: setTop(form4); break;
    case kEditDialogLeft: setLeft(form5); break;
    case kEditDialogTop: setTop(form5); break;
    case kMemoDialogLeft: setLeft(windows_.form6); break;
    case kMemoDialogTop: setTop(windows_.form6); break;
    case kNameDialogLeft: setLeft(windows_.form7); break;
    case kNameDialogTop: setTop(windows_.form7); break;
    case kSearchLeft: setLeft(windows_.form8); break;
    case kSearchTop: setTop(windows_.form8); break;
    case kSearchWidth: setWidth(windows_.form8); break;
    case kSearchHeight: setHeight(windows_.form8); break;
    case kViewStyle: if (form3) form3->SetViewStyleIndex(value); break;
    case kTreeWidth: if (form3) form3->SetTreeWidth(value); break;
    default:
        if (form3 && line >= kFirstColumnWidth && line < kFirstColumnWidth + kListColumnCount)
            form3->SetColumnWidth(line - kFirstColumnWidth, value);
        break;
    }
}

bool TForm1::SaveSettings(const QString& path)
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
    putWindow(kMainLeft, this, true);
    putWindow(kDbDialogLeft, windows_.form2, false);
    putWindow(kGroupLeft, windows_.form3, true);
    putWindow(kCreateDialogLeft, windows_.form4, false);
    putWindow(kEditDialogLeft, windows_.form5, false);
    putWindow(kMemoDialogLeft, windows_.form6, false);
    putWindow(kNameDialogLeft, windows_.form7, false);
    putWindow(kSearchLeft, windows_.form8, true);
    if (TForm3* form3 = windows_.form3) {
        for (int i = 0; i < kListColumnCount; ++i) put(kFirstColumnWidth + i, form3->ColumnWidth(i));
        put(kViewStyle, form3->ViewStyleIndex());
        put(kTreeWidth, form3->TreeWidth());
    }
    return ::SaveSettings(path, settings_, numbers);
}

// --- group board -------------------------------------------------------------------------

void TForm1::BuildBoard()
{
    // Each picture file is decoded once per build, and a replaced file shows at the next.
    pictures_.Clear();
    board_.BuildBoard();
}

void TForm1::AddGroupIcon(int index, int32_t x, int32_t y, const std::string& caption, const std::string& iconFile)
{
    board_.AddGroupIcon(index, x, y, caption, iconFile);
}

void TForm1::ClearDetails()
{
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5}) e->clear();
}

QLabel* TForm1::GroupIcon(int32_t group) const
{
    return ClientArea->findChild<QLabel*>(QString("Imag%1").arg(group), Qt::FindDirectChildrenOnly);
}

QLabel* TForm1::GroupCaption(int32_t group) const
{
    return ClientArea->findChild<QLabel*>(QString("Labe%1").arg(group), Qt::FindDirectChildrenOnly);
}

QString TForm1::IconPath(const std::string& iconFile) const
{
    return IconFolder() + QString::fromStdString(ToFsName(iconFile));
}

bool TForm1::IconFileExists(const std::string& iconFile)
{
    return !iconFile.empty() && QFileInfo(IconPath(iconFile)).isFile();
}

BoardIcon* TForm1::CreateIcon(int group, int x, int y, const std::string& iconFile)
{
    const QPixmap picture = pictures_.Load(IconPath(iconFile));
    if (picture.isNull()) return nullptr;
    auto* icon = new IconLabel(this, ClientArea);
    icon->hide();
    icon->setObjectName(QString("Imag%1").arg(group));
    icon->setProperty("tag", group);
    icon->setPixmap(picture);
    icon->setGeometry(x, y, picture.width(), picture.height());
    return icon;
}

BoardCaption* TForm1::CreateCaption(int group, const std::string& text)
{
    auto* caption = new CaptionLabel(ClientArea);
    caption->hide();
    caption->setObjectName(QString("Labe%1").arg(group));
    caption->setProperty("tag", group);
    caption->setText(ToQ(text));
    caption->setTextFormat(Qt::PlainText);
    caption->setAutoFillBackground(true);
    caption->adjustSize();
    return caption;
}

void TForm1::ShowControls(BoardIcon* icon, BoardCaption* caption)
{
    if (auto* w = dynamic_cast<QWidget*>(icon)) w->show();
    if (auto* w = dynamic_cast<QWidget*>(caption)) w->show();
    // Icons laid out past the board's bottom go behind the panel, not over it.
    Panel1->raise();
    StatusBar1->raise();
}

void TForm1::DestroyControls(BoardIcon* icon, BoardCaption* caption)
{
    // Later, not now: the control may be the one whose event is being handled.
    if (auto* label = dynamic_cast<QLabel*>(icon)) {
        label->clear();
        label->hide();
        label->setParent(nullptr);
        label->deleteLater();
    }
    if (auto* label = dynamic_cast<QLabel*>(caption)) {
        label->hide();
        label->setParent(nullptr);
        label->deleteLater();
    }
}

void TForm1::ShowDetails(const std::string& name, const std::string& author, const std::string& number,
                         const std::string& title, const std::string& subtitle)
{
    Edit1->setText(ToQ(name));
    Edit2->setText(ToQ(author));
    Edit3->setText(ToQ(number));
    Edit4->setText(ToQ(title));
    Edit5->setText(ToQ(subtitle));
}

int TForm1::ClientWidth() const { return ClientArea->width(); }

int TForm1::BoardHeight() const { return ClientArea->height() - Panel1->height() - StatusBar1->height(); }

void TForm1::IconMouseDown(QObject* sender, Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    board_.IconMouseDown(sender->property("tag").toInt(), x, y);
}

void TForm1::FormMouseMove(QObject*, Qt::MouseButtons buttons, QPoint globalPos)
{
    const QPoint origin = ClientArea->mapToGlobal(QPoint(0, 0));
    board_.MouseMove(buttons.testFlag(Qt::LeftButton), {globalPos.x(), globalPos.y()}, {origin.x(), origin.y()});
}

// --- commands --------------------------------------------------------------------------

void TForm1::mnuDBsetClick()
{
    session_.CloseDatabase();
    if (windows_.form2) windows_.form2->exec();
    session_.ConnectDatabase();
    // The dialog may have pointed the program at another database: a group selected
    // before would let the next command act on an unrelated group of that number.
    board_.ResetSelection();
    ClearDetails();
    BuildBoard();
}

void TForm1::OpenSelectedGroup()
{
    board_.pressed = false;
    board_.pressedGroup = 0;
}

void TForm1::AddGroupIconFromRow(const TextRow& row)
{
    AddGroupIcon(StrToIntOrZero(row[kColN]) - 1, StrToIntOrZero(row[kColX]), StrToIntOrZero(row[kColY]),
                 row[kColGrpName], row[kColIconP]);
}

std::string TForm1::ShownGroupText() const { return FromQLossy(Edit3->text()); }

bool TForm1::GroupCommandReady()
{
    return CatalogueReady(session_) && board_.selectedGroup != 0 && StrToIntOrZero(ShownGroupText()) != 0;
}

void TForm1::mnuMakeGroupClick()
{
    TForm4* dialog = windows_.form4;
    if (!dialog) return;
    dialog->exec();
    if (!dialog->Done) return;
    const int32_t group = dialog->CreatedGroupNumber;
    const TextRow row = board_.ReadGroupRow(group);
    board_.AddSlot(group);
    AddGroupIconFromRow(row);
}

void TForm1::mnuEditGroupClick()
{
    TForm5* dialog = windows_.form5;
    if (!dialog || !CatalogueReady(session_) || board_.selectedGroup == 0) return;
    const int32_t group = board_.selectedGroup;
    dialog->EditedGroupNumber = group;
    dialog->exec();
    if (!dialog->Done) return;
    const TextRow row = board_.ReadGroupRow(group);
    board_.RemoveGroupIcon(group);
    AddGroupIconFromRow(row);
}

void TForm1::mnuMoveGroupClick()
{
    if (!GroupCommandReady()) return;
    MoveGroupToTopLeft(board_, board_.selectedGroup);
}

void TForm1::mnuLocInitGroupClick()
{
    if (!CatalogueReady(session_)) return;
    TidyGroups(board_, ClientWidth());
}

void TForm1::mnuCopyGroupClick()
{
    if (!GroupCommandReady()) return;
    if (!platform_.messages->Confirm(this, "グループ「" + Edit1->text() + "」を複製します。よろしいですか？")) return;
    DuplicateGroup(board_, session_, StrToIntOrZero(ShownGroupText()));
}

void TForm1::mnuDeleteGroupClick()
{
    if (!GroupCommandReady()) return;
    if (!platform_.messages->Confirm(this, "グループ「" + Edit1->text() + "」を削除します。よろしいですか？")) return;
    if (!DeleteGroup(board_, session_, ShownGroupText())) {
        // The row is still there: the group keeps its entries, its icon and the selection.
        platform_.messages->ShowMessage(this, "グループ削除失敗");
        return;
    }
    ClearDetails();
}

void TForm1::mnuOpenGroupClick() {}
void TForm1::mnuFindClick() {}
