#include "board/boardview.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QToolTip>
#include <QtMath>

#include "platform/platform.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

const QColor kWindowColour(255, 255, 255);
const QColor kSilver(192, 192, 192);

QString IconName(int32_t group) { return QString("groupIcon%1").arg(group); }
QString CaptionName(int32_t group) { return QString("groupCaption%1").arg(group); }

// Icons and captions both stand for their group: a press on either selects it, the
// left button drags its icon, a double-click opens it, and a tooltip shows the group in
// full (captions of long names overlap at the tidy pitch).
class GroupLabel : public QLabel {
    Q_OBJECT
    // The group's number, as a declared property: a dynamic one costs a name lookup
    // through every class's properties for each of thousands of controls.
    Q_PROPERTY(int tag READ Group CONSTANT)
public:
    GroupLabel(BoardView* view, QWidget* parent, int group) : QLabel(parent), view_(view), group_(group)
    {
        setMouseTracking(true);
    }
    int Group() const { return group_; }

protected:
    // A press position as the board takes it: inside the group's icon.
    virtual QPoint IconLocal(QPoint local) const { return local; }

    void mousePressEvent(QMouseEvent* e) override
    {
        const QPoint p = IconLocal(e->position().toPoint());
        view_->PressOnGroup(Group(), p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent* e) override { view_->PointerMoved(e->buttons(), e->globalPosition().toPoint()); }
    // Qt sends no motion when a button is released, so the drop is taken here at once
    // rather than at the next motion: a click selects its group without a further move.
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        view_->PointerMoved(e->buttons(), e->globalPosition().toPoint());
    }
    void mouseDoubleClickEvent(QMouseEvent*) override { view_->DoubleClickOnGroup(); }
    void contextMenuEvent(QContextMenuEvent* e) override { view_->MenuOnGroup(Group(), e->globalPos()); }
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::ToolTip) return QLabel::event(e);
        // Read when asked, so that it shows what another copy may have stored meanwhile.
        const QString tip = view_->GroupTip(Group());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), tip, this);
        return true;
    }

    BoardView* view_;
    const int group_;
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
    int Height() const override { return height(); }
    void MoveTo(int left, int top) override { move(left, top); }
    void SetDragMark(bool dragging) override
    {
        if (dragging_ == dragging) return;
        dragging_ = dragging;
        Colour();
    }
    // The selected group's caption in the style's selection colours.
    void SetSelectedMark(bool selected)
    {
        if (selected_ == selected) return;
        selected_ = selected;
        Colour();
    }

protected:
    QPoint IconLocal(QPoint local) const override
    {
        const QLabel* icon = view_->GroupIcon(Group());
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
    BoardCanvas(BoardView* view, QWidget* parent) : QWidget(parent), view_(view) { setMouseTracking(true); }

protected:
    void mouseMoveEvent(QMouseEvent* e) override { view_->PointerMoved(e->buttons(), e->globalPosition().toPoint()); }
    // A press on the empty board gives it the keys, as in a file manager's icon view.
    void mousePressEvent(QMouseEvent*) override { view_->setFocus(Qt::MouseFocusReason); }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        view_->setFocus(Qt::MouseFocusReason);
        emit view_->BoardMenuRequested(e->globalPos());
    }

    // Files from a file manager dropped on a group's icon or name are registered in that
    // group, as a file manager copies into the folder it is dropped on. Taken anywhere,
    // so that the moves over the groups are asked about; dropped on a group only.
    void dragEnterEvent(QDragEnterEvent* e) override
    {
        if (DroppedLocalFiles(e->mimeData()).isEmpty()) return e->ignore();
        e->setDropAction(Qt::CopyAction);
        e->accept();
    }
    void dragMoveEvent(QDragMoveEvent* e) override
    {
        const int group = GroupAt(e->position().toPoint());
        view_->MarkDropTarget(group);
        if (group == 0) return e->ignore();
        // Copy for the file manager's sake: a move would let it delete the file.
        e->setDropAction(Qt::CopyAction);
        e->accept();
    }
    void dragLeaveEvent(QDragLeaveEvent*) override { view_->MarkDropTarget(0); }
    void dropEvent(QDropEvent* e) override
    {
        view_->MarkDropTarget(0);
        const int group = GroupAt(e->position().toPoint());
        const QStringList files = DroppedLocalFiles(e->mimeData());
        if (group == 0 || files.isEmpty()) return e->ignore();
        e->setDropAction(Qt::CopyAction);
        e->accept();
        // After the drop has ended: the file manager waits for its answer meanwhile.
        QTimer::singleShot(0, view_, [view = view_, group, files] { emit view->FilesDroppedOnGroup(group, files); });
    }

private:
    int GroupAt(QPoint at) const
    {
        const auto* label = dynamic_cast<const GroupLabel*>(childAt(at));
        return label ? label->Group() : 0;
    }

    BoardView* view_;
};

} // namespace

BoardView::BoardView(DatabaseSession& session, QWidget* parent) : QScrollArea(parent), session_(session)
{
    // Every group is two widgets on the canvas. After a build, Qt's first paint weighs
    // each newly shown one against all its siblings for the parts they cover: quadratic,
    // 1.2 s at 6 000 groups against 0.07 s without. Painting those parts once too many
    // costs next to nothing. Read by Qt once, at its first paint; a user's own setting
    // stands.
    if (!qEnvironmentVariableIsSet("QT_NO_SUBTRACTOPAQUESIBLINGS")) qputenv("QT_NO_SUBTRACTOPAQUESIBLINGS", "1");
    setObjectName("boardView");
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    canvas = new BoardCanvas(this, this);
    canvas->setObjectName("boardCanvas");
    canvas->setAcceptDrops(true);
    canvas->setAutoFillBackground(true);
    QPalette pal = canvas->palette();
    pal.setColor(QPalette::Window, kWindowColour);
    canvas->setPalette(pal);
    viewport()->setPalette(pal);
    setWidget(canvas);
    // The board takes the keys of the main window: it holds nothing else to type into.
    setFocusPolicy(Qt::StrongFocus);
}

BoardView::~BoardView() = default;

void BoardView::SetPictureFiles(const QString& iconFolder, const QString& helperPath, const QString& pictureFolder)
{
    iconFolder_ = iconFolder;
    pictureFolder_ = pictureFolder == iconFolder ? QString() : pictureFolder;
    pictures_.SetHelperPath(helperPath);
}

void BoardView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    UpdateBoardExtent();
}

void BoardView::BuildBoard()
{
    pictures_.Clear();
    board_.BuildBoard();
    UpdateBoardExtent();
    UpdateSelectionMark();
}

void BoardView::AddGroupIconFromRecord(const GroupRecord& record)
{
    if (record.number < 1) return;
    board_.AddGroupIcon(record.number - 1, record.x.value_or(0), record.y.value_or(0), record.name, record.picture);
    AfterBoardCommand();
}

void BoardView::AfterBoardCommand()
{
    UpdateBoardExtent();
    UpdateSelectionMark();
}

void BoardView::RaiseGroup(int32_t group)
{
    for (QWidget* w : {static_cast<QWidget*>(GroupIcon(group)), static_cast<QWidget*>(GroupCaption(group))})
        if (w) w->raise();
}

void BoardView::EndPress()
{
    board_.pressed = false;
    board_.pressedGroup = 0;
}

// From the slot table, not by object name: a search of the canvas's children per group
// makes every pass over the board quadratic.
QLabel* BoardView::GroupIcon(int32_t group) const
{
    const auto found = board_.iconSlots.find(group);
    return found != board_.iconSlots.end() && found->second.present ? dynamic_cast<QLabel*>(found->second.icon)
                                                                     : nullptr;
}

QLabel* BoardView::GroupCaption(int32_t group) const
{
    const auto found = board_.iconSlots.find(group);
    return found != board_.iconSlots.end() && found->second.present ? dynamic_cast<QLabel*>(found->second.caption)
                                                                     : nullptr;
}

QString BoardView::GroupTip(int32_t group)
{
    if (!session_.Connected()) return {};
    const std::optional<GroupRecord> record = board_.ReadGroup(group);
    if (!record || record->number == 0) return {};
    auto line = [](const QString& caption, const std::string& value) {
        return caption + "\u3000" + ToQ(value).toHtmlEscaped();
    };
    // Rich text, so that no name is taken for markup and long names stay on one line.
    return "<p style='white-space:pre'>" + line("グループ名", record->name) + "<br>" + line("表題", record->title) +
           "<br>" + line("作成者名", record->author) + "</p>";
}

// --- the controls ----------------------------------------------------------------------

QString BoardView::IconPath(const std::string& iconFile) const
{
    const QString name = QString::fromStdString(ToFsName(iconFile));
    // The folder pictures are added to, then the pictures installed with the program.
    if (!pictureFolder_.isEmpty() && QFileInfo(pictureFolder_ + name).isFile()) return pictureFolder_ + name;
    return iconFolder_ + name;
}

bool BoardView::IconFileExists(const std::string& iconFile)
{
    return !iconFile.empty() && QFileInfo(IconPath(iconFile)).isFile();
}

void BoardView::PreparePictures(const std::vector<std::string>& iconFiles)
{
    QStringList paths;
    for (const std::string& file : iconFiles) paths << IconPath(file);
    pictures_.Prepare(paths);
}

QPixmap BoardView::IconPicture(const std::string& iconFile)
{
    return iconFile.empty() ? PlaceholderPicture() : pictures_.Load(IconPath(iconFile));
}

BoardIcon* BoardView::CreateIcon(int group, int x, int y, const std::string& iconFile)
{
    const QPixmap picture = IconPicture(iconFile);
    if (picture.isNull()) return nullptr;
    // Hidden until ShowControls (or until a hidden canvas is shown): a new child is.
    auto* icon = new IconLabel(this, canvas, group);
    icon->setObjectName(IconName(group));
    icon->setPixmap(picture);
    icon->setGeometry(x, y, picture.width(), picture.height());
    return icon;
}

bool BoardView::RefreshIcon(BoardIcon* icon, int x, int y, const std::string& iconFile)
{
    auto* label = dynamic_cast<QLabel*>(icon);
    const QPixmap picture = IconPicture(iconFile);
    if (!label || picture.isNull()) return false;
    label->setPixmap(picture);
    label->setGeometry(x, y, picture.width(), picture.height());
    return true;
}

namespace {

// One line sized to its text, as adjustSize() would size it, without the label's line
// layout, which a large board pays once per group.
void FitCaption(QLabel* caption)
{
    if (caption->text().isEmpty()) {
        caption->adjustSize();
        return;
    }
    const QFontMetricsF metrics(caption->font());
    caption->resize(qCeil(metrics.horizontalAdvance(caption->text())) + 2 * caption->margin(),
                    qCeil(metrics.height()) + 2 * caption->margin());
}

} // namespace

BoardCaption* BoardView::CreateCaption(int group, const std::string& text)
{
    auto* caption = new CaptionLabel(this, canvas, group);
    caption->setObjectName(CaptionName(group));
    caption->setTextFormat(Qt::PlainText);
    caption->setText(ToQ(text));
    caption->setAutoFillBackground(true);
    FitCaption(caption);
    return caption;
}

void BoardView::RefreshCaption(BoardCaption* caption, const std::string& text)
{
    auto* label = dynamic_cast<QLabel*>(caption);
    const QString shown = ToQ(text);
    if (!label || label->text() == shown) return;
    label->setText(shown);
    FitCaption(label);
}

void BoardView::ShowControls(BoardIcon* icon, BoardCaption* caption)
{
    // Made last, a new icon and its caption already stand above the older ones, which
    // may share their place; raising each again would cost a pass over all the others.
    for (QWidget* w : {dynamic_cast<QWidget*>(icon), dynamic_cast<QWidget*>(caption)})
        if (w) w->show();
}

void BoardView::DestroyControls(BoardIcon* icon, BoardCaption* caption)
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

void BoardView::ShowDetails(const GroupRecord& group) { emit GroupShown(ShownFromRecord(group)); }

void BoardView::DetailsUnread(int32_t group)
{
    (void)group;
    emit GroupUnread();
}

// The limits of a drag: the visible board (the view lies above the detail panel and the
// status bar), or the whole canvas when icons lie beyond it.
int BoardView::ClientWidth() const { return std::max(width(), canvas->width()); }

int BoardView::BoardHeight() const { return std::max(height(), canvas->height()); }

void BoardView::UpdateBoardExtent(bool mayShrink)
{
    QRect extent;
    for (const auto& entry : board_.iconSlots) {
        const IconSlot& slot = entry.second;
        if (!slot.present) continue;
        if (auto* w = dynamic_cast<QWidget*>(slot.icon)) extent |= w->geometry();
        if (auto* w = dynamic_cast<QWidget*>(slot.caption)) extent |= w->geometry();
    }
    const QSize view = viewport()->size();
    QSize size(std::max(view.width(), extent.right() + 1), std::max(view.height(), extent.bottom() + 1));
    if (!mayShrink) size = size.expandedTo(canvas->size());
    if (size != canvas->size()) canvas->resize(size);
}

void BoardView::MarkDropTarget(int32_t group)
{
    auto* shown = dynamic_cast<CaptionLabel*>(dropCaption_.data());
    CaptionLabel* target = nullptr;
    if (IconSlot* slot = board_.PresentSlot(group)) target = dynamic_cast<CaptionLabel*>(slot->caption);
    if (shown == target) return;
    // The selected group's name keeps its mark.
    if (shown && shown != markedCaption_) shown->SetSelectedMark(false);
    if (target) target->SetSelectedMark(true);
    dropCaption_ = target;
}

void BoardView::UpdateSelectionMark()
{
    CaptionLabel* selected = nullptr;
    if (IconSlot* slot = board_.PresentSlot(board_.selectedGroup)) selected = dynamic_cast<CaptionLabel*>(slot->caption);
    if (auto* marked = dynamic_cast<CaptionLabel*>(markedCaption_.data()); marked && marked != selected)
        marked->SetSelectedMark(false);
    if (selected) selected->SetSelectedMark(true);
    markedCaption_ = selected;
}

// --- the pointer -------------------------------------------------------------------------

void BoardView::PressOnGroup(int32_t group, int x, int y)
{
    if (session_.ConnectionLost()) {
        emit ReattachRequested();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    board_.IconMouseDown(group, x, y);
}

void BoardView::PointerMoved(Qt::MouseButtons buttons, QPoint globalPos)
{
    // Positions on the board, whichever part of it is scrolled into view.
    const QPoint origin = canvas->mapToGlobal(QPoint(0, 0));
    const bool dragging = buttons.testFlag(Qt::LeftButton);
    board_.MouseMove(dragging, {globalPos.x(), globalPos.y()}, {origin.x(), origin.y()});
    UpdateBoardExtent(!dragging);
    UpdateSelectionMark();
}

void BoardView::DoubleClickOnGroup() { emit OpenRequested(); }

void BoardView::MenuOnGroup(int32_t group, QPoint globalPos)
{
    // The press that opened the menu is completed as a click (Qt opens the menu before
    // the release, which the menu then takes), so the group is selected and shown.
    if (session_.ConnectionLost()) return;   // the press asked to attach again
    setFocus(Qt::MouseFocusReason);
    if (board_.pressed)
        PointerMoved(Qt::NoButton, globalPos);
    else if (board_.selectedGroup != group)
        SelectGroup(group);
    if (board_.selectedGroup == group) emit GroupMenuRequested(globalPos);
}

void BoardView::SelectGroup(int32_t group)
{
    IconSlot* slot = board_.PresentSlot(group);
    if (!slot || board_.pressed) return;
    board_.selectedGroup = group;
    board_.ShowGroupDetails(group);
    UpdateSelectionMark();
    EnsureGroupVisible(group);
}

void BoardView::EnsureGroupVisible(int32_t group)
{
    IconSlot* slot = board_.PresentSlot(group);
    if (!slot) return;
    if (auto* caption = dynamic_cast<QWidget*>(slot->caption)) ensureWidgetVisible(caption, 0, 0);
    if (auto* icon = dynamic_cast<QWidget*>(slot->icon)) ensureWidgetVisible(icon, 0, 0);
}

BoardPoint BoardView::PlaceForNewGroup(const std::string& name, const std::string& iconFile)
{
    const std::string file = PictureNameInFolder(iconFile) && IconFileExists(iconFile) ? iconFile : kDefaultIcon;
    QPixmap picture = pictures_.Load(IconPath(file));
    if (picture.isNull()) picture = PlaceholderPicture();
    GroupSize size{picture.width(), picture.height(), 0, 0};
    // As CreateCaption sizes the caption.
    const QFontMetricsF metrics(canvas->font());
    size.captionWidth = qCeil(metrics.horizontalAdvance(ToQ(name)));
    size.captionHeight = qCeil(metrics.height());
    const BoardRect visible{-canvas->x(), -canvas->y(), viewport()->width(), viewport()->height()};
    return ::PlaceForNewGroup(CoveredBoard(board_), visible, width(), size);
}

QPoint BoardView::SelectedGroupMenuPlace() const
{
    const QLabel* icon = GroupIcon(board_.selectedGroup);
    return icon ? icon->mapToGlobal(icon->rect().center()) : viewport()->mapToGlobal(QPoint(0, 0));
}

void BoardView::keyPressEvent(QKeyEvent* event)
{
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default:
        if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
            SelectByTyping(event->text()))
            return;
        QScrollArea::keyPressEvent(event);
        return;
    }
    if (session_.ConnectionLost()) {
        emit ReattachRequested();
        return;
    }
    if (const int32_t next = NearestGroup(board_, board_.selectedGroup, dx, dy)) SelectGroup(next);
}

bool BoardView::SelectByTyping(const QString& text)
{
    if (text.isEmpty() || !text.at(0).isPrint()) return false;
    if (session_.ConnectionLost()) {
        emit ReattachRequested();
        return true;
    }
    // As in a file manager's icon view: what is typed within a second runs on, a pause
    // starts anew, and one letter typed again goes on to the next name it begins.
    constexpr qint64 kPauseMs = 1000;
    if (!typedClock_.isValid() || typedClock_.elapsed() > kPauseMs) typed_.clear();
    typedClock_.start();
    typed_ += text;
    const bool sameLetter = typed_.count(typed_.at(0)) == typed_.size();
    const QString wanted = sameLetter ? typed_.left(1) : typed_;
    // In the order the board is read: row by row, left to right.
    std::vector<std::tuple<int32_t, int32_t, int32_t>> order;
    for (const auto& [group, slot] : board_.iconSlots)
        if (slot.present) order.emplace_back(slot.y, slot.x, group);
    std::sort(order.begin(), order.end());
    const auto at = std::find_if(order.begin(), order.end(),
                                 [&](const auto& g) { return std::get<2>(g) == board_.selectedGroup; });
    // From the group after the one selected for one letter, from that one itself for a
    // longer beginning that it may already have; round the board.
    const size_t from = at == order.end() ? 0 : size_t(at - order.begin()) + (sameLetter ? 1 : 0);
    for (size_t i = 0; i < order.size(); ++i) {
        const int32_t group = std::get<2>(order[(from + i) % order.size()]);
        const QLabel* caption = GroupCaption(group);
        if (caption && caption->text().startsWith(wanted, Qt::CaseInsensitive)) {
            SelectGroup(group);
            break;
        }
    }
    return true;
}

void BoardView::contextMenuEvent(QContextMenuEvent* event)
{
    // Only the menu key comes here: the pointer's menus come from the icons and the canvas.
    if (board_.PresentSlot(board_.selectedGroup))
        emit GroupMenuRequested(SelectedGroupMenuPlace());
    else
        emit BoardMenuRequested(event->reason() == QContextMenuEvent::Keyboard ? viewport()->mapToGlobal(QPoint(8, 8))
                                                                               : event->globalPos());
}

#include "boardview.moc"
