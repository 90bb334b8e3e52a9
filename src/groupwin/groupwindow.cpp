#include "groupwin/groupwindow.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "groupwin/filedrag.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/subgroupnamedialog.h"
#include "text/cp932.h"
#include "text/entrycsv.h"
#include "text/textutil.h"

namespace {

QPushButton* BarButton(QWidget* bar, const char* name, const QString& text)
{
    auto* b = new QPushButton(text, bar);
    b->setObjectName(name);
    b->setAutoDefault(false);
    // As wide as the text needs, not the style's minimum: the whole bar fits the
    // window's designed width.
    QString shown = text;
    shown.remove('&');
    b->setFixedSize(b->fontMetrics().horizontalAdvance(shown) + 18, 24);
    return b;
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

GroupWindow::GroupWindow(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
                         EntryClipboard& clipboard, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), settings_(settings), platform_(platform), clipboard_(clipboard)
{
    setObjectName("GroupWindow");
    resize(831, 331);
    move(193, 109);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("splitter");
    splitter->setChildrenCollapsible(false);
    subGroupTree = new QTreeWidget(splitter);
    subGroupTree->setObjectName("subGroupTree");
    subGroupTree->setHeaderHidden(true);
    subGroupTree->setColumnCount(1);
    subGroupTree->setSelectionMode(QAbstractItemView::SingleSelection);
    subGroupTree->setEditTriggers(QAbstractItemView::NoEditTriggers);

    fileModel = new FileListModel(*platform_.desktop, this);
    fileSortModel = new FileSortModel(*fileModel, this);
    fileList = new QStackedWidget(splitter);
    fileList->setObjectName("fileList");
    fileIconView = new QListView(fileList);
    fileIconView->setObjectName("fileIconView");
    fileIconView->setModel(fileSortModel);
    fileIconView->setItemDelegate(new FileItemDelegate(fileIconView));
    fileIconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileIconView->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileIconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileDetailView = new QTreeView(fileList);
    fileDetailView->setObjectName("fileDetailView");
    fileDetailView->setItemDelegate(new FileItemDelegate(fileDetailView));
    fileDetailView->setModel(fileSortModel);
    // One selection for both views: what is selected in one style stays selected in the other.
    fileDetailView->setSelectionModel(fileIconView->selectionModel());
    fileDetailView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileDetailView->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileDetailView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileDetailView->setRootIsDecorated(false);
    fileDetailView->setItemsExpandable(false);
    fileDetailView->setUniformRowHeights(true);
    fileDetailView->setAllColumnsShowFocus(true);
    fileDetailView->setIconSize(QSize(16, 16));
    QHeaderView* header = fileDetailView->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    // The settings file raises narrower columns to 16 anyway; the style's own minimum
    // would make a stored width come back wider.
    header->setMinimumSectionSize(16);
    const int widths[kColumnCount] = {120, 160, 80, 50, 100, 50, 50, 50, 50};
    for (int i = 0; i < kColumnCount; ++i) fileDetailView->setColumnWidth(i, widths[i]);
    fileList->addWidget(fileIconView);
    fileList->addWidget(fileDetailView);
    // The tree keeps its width when the window is resized; the list takes the rest.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName("buttonBar");
    bar->setFixedHeight(32);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 4, 4, 4);
    barLayout->setSpacing(4);
    closeButton = BarButton(bar, "closeButton", "閉じる(&X)");
    createSubGroupButton = BarButton(bar, "createSubGroupButton", "作成");
    editSubGroupButton = BarButton(bar, "editSubGroupButton", "編集");
    deleteSubGroupButton = BarButton(bar, "deleteSubGroupButton", "削除");
    viewStyleBox = new QComboBox(bar);
    viewStyleBox->setObjectName("viewStyleBox");
    viewStyleBox->addItems({"アイコン表示", "リスト表示", "詳細表示"});
    previewButton = BarButton(bar, "previewButton", "プレビュー(&V)");
    addFilesButton = BarButton(bar, "addFilesButton", "ファイル追加登録(&A)");
    editMemoButton = BarButton(bar, "editMemoButton", "メモ入力編集(&M)");
    copyButton = BarButton(bar, "copyButton", "コピー(&C)");
    pasteButton = BarButton(bar, "pasteButton", "貼付(&P)");
    removeButton = BarButton(bar, "removeButton", "削除(&D)");
    csvButton = BarButton(bar, "csvButton", "CSV出力...");
    barLayout->addWidget(closeButton);
    barLayout->addSpacing(8);
    for (QWidget* w : {static_cast<QWidget*>(createSubGroupButton), static_cast<QWidget*>(editSubGroupButton),
                       static_cast<QWidget*>(deleteSubGroupButton)})
        barLayout->addWidget(w);
    barLayout->addSpacing(8);
    barLayout->addWidget(viewStyleBox);
    barLayout->addWidget(previewButton);
    barLayout->addSpacing(8);
    for (QPushButton* b : {addFilesButton, editMemoButton, copyButton, pasteButton, removeButton, csvButton})
        barLayout->addWidget(b);
    barLayout->addStretch(1);
    layout->addWidget(bar);

    statusLine = new QStatusBar(this);
    statusLine->setObjectName("statusLine");
    statusLine->setSizeGripEnabled(true);
    layout->addWidget(statusLine);

    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(createSubGroupButton, &QPushButton::clicked, this, &GroupWindow::CreateSubGroupCommand);
    connect(editSubGroupButton, &QPushButton::clicked, this, &GroupWindow::EditSubGroupCommand);
    connect(deleteSubGroupButton, &QPushButton::clicked, this, &GroupWindow::DeleteSubGroupCommand);
    connect(viewStyleBox, &QComboBox::currentIndexChanged, this, &GroupWindow::ApplyViewStyle);
    connect(addFilesButton, &QPushButton::clicked, this, &GroupWindow::AddFiles);
    connect(editMemoButton, &QPushButton::clicked, this, &GroupWindow::EditMemo);
    connect(copyButton, &QPushButton::clicked, this, &GroupWindow::CopyEntries);
    connect(pasteButton, &QPushButton::clicked, this, &GroupWindow::PasteEntries);
    connect(removeButton, &QPushButton::clicked, this, &GroupWindow::RemoveEntries);
    connect(csvButton, &QPushButton::clicked, this, &GroupWindow::ExportCsv);
    // The list shows the entries of the tree's current node, however it became current
    // (a click, the keys, a command), and a click on the node shown reads it again.
    connect(subGroupTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        // A press made the node current: its click is no second reading.
        refilledByPress_ = QApplication::mouseButtons() != Qt::NoButton;
        // Focus gives an empty tree's root a current node; the list shows it already.
        if (current && current->data(0, kNumberRole).toInt() != shownSubGroup_) FillFileList();
    });
    connect(subGroupTree, &QTreeWidget::itemClicked, this, [this] {
        if (!std::exchange(refilledByPress_, false)) FillFileList();
    });
    connect(header, &QHeaderView::sectionClicked, this, &GroupWindow::SortByColumn);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(fileIconView),
                                    static_cast<QAbstractItemView*>(fileDetailView)})
        connect(view, &QAbstractItemView::doubleClicked, this, &GroupWindow::OpenFirstSelected);

    // The list style's columns follow the longest name; measured only when rows change.
    connect(fileModel, &QAbstractItemModel::modelReset, this, [this] { MeasureListCells(0, fileModel->Count() - 1); });
    connect(fileModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { MeasureListCells(first, last); });

    BuildActions();
    SetUpDrawingViews();
    ApplyViewStyle();
    SetTreeWidth(treeWidth_);
    new FileDrag(*this);
}

// --- settings ----------------------------------------------------------------------------

int GroupWindow::ColumnWidth(int column) const { return fileDetailView->columnWidth(column); }

void GroupWindow::SetColumnWidth(int column, int width) { fileDetailView->setColumnWidth(column, width); }

int GroupWindow::ViewStyleIndex() const { return viewStyleBox->currentIndex(); }

void GroupWindow::SetViewStyleIndex(int index) { viewStyleBox->setCurrentIndex(index); }

int GroupWindow::TreeWidth() const
{
    // Before the window was laid out the splitter has no real sizes yet.
    if (laidOut_) return splitter->sizes().value(0);
    return treeWidth_;
}

void GroupWindow::SetTreeWidth(int width)
{
    treeWidth_ = width;
    splitter->setSizes({width, std::max(1, splitter->width() - width)});
}

// --- the window --------------------------------------------------------------------------

void GroupWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!laidOut_) {
        laidOut_ = true;
        splitter->setSizes({treeWidth_, std::max(1, width() - treeWidth_)});
    }
    // Restoring from the task bar is no new showing.
    if (!event->spontaneous()) FormShow();
}

void GroupWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc closes, as the window's cancel button would; the controls pass it on.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void GroupWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void GroupWindow::FormShow()
{
    setWindowTitle("グループ名 【" + ToQ(currentGroupName) + "】 (N:" + QString::number(currentGroupNumber) + ")");
    if (currentGroup.number != currentGroupNumber) currentGroup = ReadShownGroup(db_, currentGroupNumber).value_or(ShownGroup{});
    ApplyViewStyle();
    ShowRows(ReadFileRows(db_, currentGroupNumber, 0, NetworkPaths(), rootMappings_));
    shownSubGroup_ = 0;
    BuildSubGroupTree();
}

void GroupWindow::FormClose()
{
    fileModel->Clear();
    subGroupTree->clear();
}

void GroupWindow::CloseWindow()
{
    FormClose();
    hide();
}

QTreeWidgetItem* GroupWindow::AddNode(QTreeWidgetItem* parent, const SubGroupNode& node)
{
    auto* item = new QTreeWidgetItem({ToQ(node.label)});
    item->setData(0, kNumberRole, node.number);
    item->setData(0, kNameRole, QByteArray::fromStdString(node.name));
    if (parent)
        parent->addChild(item);
    else
        subGroupTree->addTopLevelItem(item);
    return item;
}

void GroupWindow::BuildSubGroupTree()
{
    subGroupTree->clear();
    const std::vector<SubGroupNode> nodes = ReadSubGroupTree(db_, currentGroupNumber);
    std::vector<QTreeWidgetItem*> items(nodes.size());
    // Parents come before their children.
    for (size_t i = 0; i < nodes.size(); ++i)
        items[i] = AddNode(nodes[i].parent < 0 ? nullptr : items[static_cast<size_t>(nodes[i].parent)], nodes[i]);
    subGroupTree->expandAll();
}

void GroupWindow::FillFileList()
{
    if (!MayRun()) return;
    shownSubGroup_ = SelectedSubGroupNumber();
    ShowRows(ReadFileRows(db_, currentGroupNumber, shownSubGroup_, NetworkPaths(), rootMappings_));
}

void GroupWindow::ShowRows(std::vector<FileRow> rows)
{
    fileDetailView->header()->setSortIndicatorShown(false);
    sortColumn_ = -1;
    // In the order read: a sort of the rows shown before does not carry over.
    fileSortModel->sort(-1);
    fileModel->SetRows(std::move(rows));
}

void GroupWindow::ApplyViewStyle()
{
    const int style = viewStyleBox->currentIndex();
    if (style == 2) {
        fileList->setCurrentWidget(fileDetailView);
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
        v->setGridSize(QSize(128, 152));
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

QTreeWidgetItem* GroupWindow::SelectedNode() const
{
    // The current node is the one the list shows; a node selected without becoming
    // current (by a command) counts when there is none.
    if (QTreeWidgetItem* current = subGroupTree->currentItem()) return current;
    const QList<QTreeWidgetItem*> selected = subGroupTree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QTreeWidgetItem* GroupWindow::SelectedSubGroupNode() const
{
    QTreeWidgetItem* node = SelectedNode();
    if (!node || node == subGroupTree->topLevelItem(0)) return nullptr;
    return node;
}

int32_t GroupWindow::SelectedSubGroupNumber() const
{
    const QTreeWidgetItem* node = SelectedNode();
    return node ? node->data(0, kNumberRole).toInt() : 0;
}

std::string GroupWindow::GetNetworkPath(const std::string& drive) const
{
    const QString path = platform_.desktop->DriveToNetworkPath(ToQ(drive));
    if (path.isEmpty()) return drive;
    const std::optional<std::string> bytes = FromQ(path);
    return bytes ? *bytes : drive;
}

NetworkPathLookup GroupWindow::NetworkPaths() const
{
    return [this](const std::string& drive) { return GetNetworkPath(drive); };
}

std::vector<int> GroupWindow::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : fileIconView->selectionModel()->selectedIndexes())
        if (i.column() == kCellName) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// --- moved files ---------------------------------------------------------------------------

void GroupWindow::RequestLinkCheck()
{
    if (MayRun()) emit LinkCheckRequested(currentGroupNumber);
}

void GroupWindow::RequestFolderReplace()
{
    if (!MayRun()) return;
    std::vector<int32_t> selected;
    for (int row : SelectedRows()) selected.push_back(StrToIntOrZero(fileSortModel->Row(row).cells[kCellNumber]));
    emit FolderReplaceRequested(currentGroupNumber, selected);
}

bool GroupWindow::SelectEntry(int32_t entryNumber)
{
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

void GroupWindow::ExportCsv()
{
    std::unordered_map<int, std::string> subGroupNames;
    for (QTreeWidgetItemIterator it(subGroupTree); *it; ++it)
        if (*it != subGroupTree->topLevelItem(0))
            subGroupNames.emplace((*it)->data(0, kNumberRole).toInt(),
                                  (*it)->data(0, kNameRole).toByteArray().toStdString());
    std::vector<CsvEntry> entries;
    for (int r = 0; r < fileSortModel->rowCount(); ++r) {
        const FileRow& row = fileSortModel->Row(r);
        const auto sub = subGroupNames.find(StrToIntOrZero(row.cells[kCellSubGroup]));
        entries.push_back({currentGroupName, sub == subGroupNames.end() ? std::string() : sub->second,
                           row.cells[kCellFolder], row.cells[kCellName], row.cells[kCellMemo],
                           row.cells[kCellAddedBy], row.cells[kCellNumber]});
    }
    if (entries.empty()) return;
    SaveFileRequest request;
    request.title = "CSV出力";
    request.proposedName = ToQ(currentGroupName) + ".csv";
    request.filter = "CSVファイル (*.csv)";
    const QString path = platform_.fileDialogs->SaveFile(this, request);
    if (path.isEmpty()) return;
    if (!WriteEntriesCsv(path, entries))
        platform_.messages->ShowMessage(this, "CSVファイルを書き込めませんでした: " + path);
}
