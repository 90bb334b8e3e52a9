// The group window's list of entries: its rows read and shown, the three view styles,
// the cells drawn, the sort by a column, and the selection.
#include "groupwin/groupwindow.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "groupwin/filelistmodel.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// The mark of a drawing whose content changed since it was filed: a small orange
// disc with "!" at the top right of the picture.
void PaintChangedMark(QPainter* painter, const QStyleOptionViewItem& option)
{
    const int d = std::max(12, option.decorationSize.width() / 6);
    const int right = option.rect.center().x() + option.decorationSize.width() / 2;
    const QRect mark(right - d, option.rect.top() + 2, d, d);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(Qt::white, 1));
    painter->setBrush(QColor(230, 120, 0));
    painter->drawEllipse(mark);
    QFont font = option.font;
    font.setBold(true);
    font.setPixelSize(std::max(8, d - 4));
    painter->setFont(font);
    painter->drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
    painter->restore();
}

// Cells of one size, whether a row has an icon or not: the grid's, less a margin for
// large icons. The view then lays out thousands of rows without measuring each one.
// Also the details view's, for its drawing.
class FileItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* view = qobject_cast<const QListView*>(option.widget);
        if (!view || !view->gridSize().isValid()) return QStyledItemDelegate::sizeHint(option, index);
        return view->viewMode() == QListView::IconMode ? view->gridSize() - QSize(6, 6) : view->gridSize();
    }
    // The list and details styles draw one line per cell: the text shaped once to elide
    // it and once to draw it, where the style's general item drawing shapes it four
    // times over. A view of ten thousand entries draws a few hundred cells at a switch.
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* list = qobject_cast<const QListView*>(option.widget);
        if (list && list->viewMode() == QListView::IconMode) {   // names on two lines under the picture
            QStyledItemDelegate::paint(painter, option, index);
            if (index.data(kChangedRole).toBool()) PaintChangedMark(painter, option);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        QRect area = opt.rect.adjusted(margin, 0, -margin, 0);
        const bool selected = opt.state & QStyle::State_Selected;
        if (opt.features & QStyleOptionViewItem::HasDecoration) {
            const QSize icon = opt.decorationSize;
            const QRect place(area.left(), area.top() + (area.height() - icon.height()) / 2, icon.width(), icon.height());
            const QIcon::Mode mode = !(opt.state & QStyle::State_Enabled) ? QIcon::Disabled
                                     : selected                          ? QIcon::Selected
                                                                         : QIcon::Normal;
            opt.icon.paint(painter, place, Qt::AlignCenter, mode);
            area.setLeft(place.right() + 1 + 2 * margin);   // the icon's margin and the text's
        }
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                                : QPalette::Inactive;
        painter->save();
        painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        painter->drawText(area, int(opt.displayAlignment) | Qt::TextSingleLine,
                          opt.fontMetrics.elidedText(opt.text, opt.textElideMode, area.width()));
        painter->restore();
        if (opt.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(opt);
            focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, widget);
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = opt.palette.color(group, selected ? QPalette::Highlight : QPalette::Window);
            style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
    }
};

// Names measured for the width of the list style's columns: the longest in bytes, which
// are nearly always the widest. Measuring every name of a large group would cost more
// than the layout it saves.
constexpr size_t kMeasuredNames = 32;
// Beyond this a name is shortened in its middle, keeping its type visible.
constexpr int kMaxListCellWidth = 360;

} // namespace

QAbstractItemDelegate* GroupWindow::CellDelegate(QAbstractItemView* view) { return new FileItemDelegate(view); }

void GroupWindow::FillFileList()
{
    if (!MayRun()) return;
    shownSubGroup_ = CurrentSubGroup();
    std::optional<std::vector<FileRow>> rows = ReadFileRows(db_, currentGroupNumber, shownSubGroup_, rootMappings_);
    // The list follows the node: the rows shown before belong to another node or are
    // stale, so a failed read empties it and says so.
    ShowRows(rows ? std::move(*rows) : std::vector<FileRow>{});
    if (!rows) SayUnread();
}

void GroupWindow::ShowRows(std::vector<FileRow> rows)
{
    fileDetailView->header()->setSortIndicatorShown(false);
    sortColumn_ = -1;
    // In the order read: a sort of the rows shown before does not carry over.
    fileSortModel->sort(-1);
    fileModel->SetRows(std::move(rows));
    FitColumnsOnce();
}

void GroupWindow::ApplyViewStyle()
{
    const int style = viewStyleBox->currentIndex();
    if (style == 2) {
        fileList->setCurrentWidget(fileDetailView);
        FitColumnsOnce();
        return;
    }
    QListView* v = fileIconView;
    // Both styles lay out in one pass over cells of one size: batches, or cells sized
    // one by one, kept the view laying out for ever once a scroll bar came and went.
    v->setUniformItemSizes(true);
    v->setLayoutMode(QListView::SinglePass);
    v->setTextElideMode(Qt::ElideMiddle);
    if (style == 1) {
        // Small icons in columns, names only.
        v->setViewMode(QListView::ListMode);
        v->setFlow(QListView::TopToBottom);
        v->setWrapping(true);
        v->setIconSize(QSize(16, 16));
        v->setGridSize(ListCellSize());
        v->setSpacing(0);
        v->setWordWrap(false);
    } else {
        // Large icons with their names beneath, laid out in rows; cells large enough
        // for a drawing's thumbnail to be recognised, with two lines of its name.
        v->setViewMode(QListView::IconMode);
        v->setIconSize(QSize(96, 96));
        v->setGridSize(kIconCell);
        v->setSpacing(0);
        v->setWordWrap(true);
    }
    v->setMovement(QListView::Static);
    // Static turns dragging and drops off; entries still go out and onto the tree.
    v->setDragEnabled(true);
    v->viewport()->setAcceptDrops(true);
    v->setResizeMode(QListView::Adjust);
    fileList->setCurrentWidget(v);
}

QSize GroupWindow::ListCellSize() const
{
    const QFontMetrics metrics = fileIconView->fontMetrics();
    // Icon, gaps either side of it and after the name.
    return {std::clamp(listNameWidth_, 40, kMaxListCellWidth) + 16 + 14, std::max(16, metrics.height()) + 4};
}

void GroupWindow::MeasureListCells(int first, int last)
{
    if (first == 0) listNameWidth_ = 0;
    std::vector<std::pair<size_t, int>> longest;   // bytes, row
    for (int r = first; r <= last; ++r) longest.emplace_back(fileModel->Row(r).cells[kCellName].size(), r);
    const size_t measured = std::min(longest.size(), kMeasuredNames);
    std::partial_sort(longest.begin(), longest.begin() + static_cast<std::ptrdiff_t>(measured), longest.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    const QFontMetrics metrics = fileIconView->fontMetrics();
    int widest = listNameWidth_;
    for (size_t i = 0; i < measured; ++i)
        widest = std::max(widest, metrics.horizontalAdvance(ToQ(fileModel->Row(longest[i].second).cells[kCellName])));
    if (widest == listNameWidth_ && first != 0) return;
    listNameWidth_ = widest;
    if (fileIconView->viewMode() == QListView::ListMode) fileIconView->setGridSize(ListCellSize());
}

void GroupWindow::SortByColumn(int column)
{
    if (column < 0 || column >= kFileCellCount) return;
    QHeaderView* header = fileDetailView->header();
    // The same column again turns the order round, as long as its arrow still stands
    // (a refill or an added row takes it away).
    const bool again = header->isSortIndicatorShown() && column == sortColumn_;
    sortOrder_ = again && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortColumn_ = column;
    fileSortModel->sort(column, sortOrder_);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, sortOrder_);
}

std::vector<int> GroupWindow::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : fileIconView->selectionModel()->selectedIndexes())
        if (i.column() == kCellName) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int32_t> GroupWindow::SelectedEntries() const
{
    std::vector<int32_t> numbers;
    for (int row : SelectedRows()) numbers.push_back(StrToIntOrZero(fileSortModel->Row(row).cells[kCellNumber]));
    return numbers;
}

bool GroupWindow::SelectEntry(int32_t entryNumber)
{
    filterEdit->clear();   // the entry is shown whatever was typed
    const std::string number = std::to_string(entryNumber);
    auto rowOf = [this, &number] {
        for (int r = 0; r < fileModel->Count(); ++r)
            if (fileModel->Row(r).cells[kCellNumber] == number) return r;
        return -1;
    };
    // The root lists every entry: its row tells the sub-group.
    // Making a node current refills the list.
    if (QTreeWidgetItem* root = subGroupTree->topLevelItem(0); root && SelectedNode() != root)
        subGroupTree->setCurrentItem(root);
    int row = rowOf();
    if (row < 0) return false;
    const int subGroup = StrToIntOrZero(fileModel->Row(row).cells[kCellSubGroup]);
    for (QTreeWidgetItemIterator it(subGroupTree); subGroup != 0 && *it; ++it) {
        if ((*it)->data(0, kNumberRole).toInt() != subGroup) continue;
        subGroupTree->setCurrentItem(*it);
        row = rowOf();
        break;
    }
    if (row < 0) return false;
    const QModelIndex shown = fileSortModel->mapFromSource(fileModel->index(row, kCellName));
    fileIconView->selectionModel()->setCurrentIndex(
        shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    fileIconView->scrollTo(shown);
    fileDetailView->scrollTo(shown);
    // The keys act on the entry shown (Enter opens it, the menu key opens its menu).
    fileList->currentWidget()->setFocus();
    return true;
}
