// The group window: its controls laid out, what the settings file keeps of them, and its
// showing and closing. Its list, commands, tree, keys, drops and pictures of drawings
// stand in files of their own.
#include "groupwin/groupwindow.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "groupwin/filedrag.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/subgroupnamedialog.h"
#include "settings/settingsfile.h"
#include "text/cp932.h"
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


// The detail view's designed column widths: the settings file holding these (or its
// minimum) holds no widths of the user's.
constexpr int kDesignedWidths[GroupWindow::kColumnCount] = {120, 160, 80, 50, 100, 50, 50, 50, 50};
// A column sized to its contents stays within this: one long memo would push the rest away.
constexpr int kMaxFittedWidth = 400;
// Rows of icons the window's first size shows where the screen allows.
constexpr int kFirstIconRows = 3;

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
    fileModel->setObjectName("fileModel");
    fileSortModel = new FileSortModel(*fileModel, this);
    fileSortModel->setObjectName("fileSortModel");
    fileList = new QStackedWidget(splitter);
    fileList->setObjectName("fileList");
    fileIconView = new QListView(fileList);
    fileIconView->setObjectName("fileIconView");
    fileIconView->setModel(fileSortModel);
    fileIconView->setItemDelegate(CellDelegate(fileIconView));
    fileIconView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileIconView->setSelectionBehavior(QAbstractItemView::SelectRows);
    fileIconView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fileDetailView = new QTreeView(fileList);
    fileDetailView->setObjectName("fileDetailView");
    fileDetailView->setItemDelegate(CellDelegate(fileDetailView));
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
    for (int i = 0; i < kColumnCount; ++i) fileDetailView->setColumnWidth(i, kDesignedWidths[i]);
    fileList->addWidget(fileIconView);
    fileList->addWidget(fileDetailView);
    // The tree keeps its width when the window is resized; the list takes the rest.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName("buttonBar");
    bar->setFixedHeight(32);
    // On a narrow screen (or at a large scale) the window may be narrower than the
    // buttons: the last ones are cut rather than the window reaching past the screen.
    bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
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
    filterEdit = new QLineEdit(bar);
    filterEdit->setObjectName("filterEdit");
    filterEdit->setPlaceholderText("絞り込み");
    // It takes what the buttons leave, so that none of them is pushed over another; Esc
    // clears it, so no clear button takes room in it.
    filterEdit->setMinimumWidth(40);
    filterEdit->setMaximumWidth(200);
    filterEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    filterEdit->installEventFilter(this);   // Esc clears it
    barLayout->addWidget(filterEdit, 1);
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
    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        // A character CP932 cannot hold is in no entry: nothing is shown.
        fileSortModel->SetFilterText(FromQ(text));
        emit entriesChanged();
    });
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
    // A divider dragged or double-clicked: the widths are the user's from now on.
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (QApplication::mouseButtons() != Qt::NoButton) userColumnWidths_ = true;
    });
    connect(header, &QHeaderView::sectionHandleDoubleClicked, this, [this] { userColumnWidths_ = true; });
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(fileIconView),
                                    static_cast<QAbstractItemView*>(fileDetailView)})
        connect(view, &QAbstractItemView::doubleClicked, this, &GroupWindow::OpenFirstSelected);

    // What the window tells of its list: the rows read, added, removed or a memo changed
    // (thumbnails arriving change no entry), and the selection.
    connect(fileSortModel, &QAbstractItemModel::modelReset, this, &GroupWindow::entriesChanged);
    connect(fileSortModel, &QAbstractItemModel::rowsInserted, this, &GroupWindow::entriesChanged);
    connect(fileSortModel, &QAbstractItemModel::rowsRemoved, this, &GroupWindow::entriesChanged);
    connect(fileSortModel, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) emit entriesChanged();
            });
    connect(fileIconView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GroupWindow::selectionChanged);

    // The list style's columns follow the longest name; measured only when rows change.
    connect(fileModel, &QAbstractItemModel::modelReset, this, [this] { MeasureListCells(0, fileModel->Count() - 1); });
    connect(fileModel, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { MeasureListCells(first, last); });

    BuildActions();
    SetUpDrawingViews();
    SetUpFingerprints();
    ApplyViewStyle();
    SetTreeWidth(treeWidth_);
    new FileDrag(*this, {fileIconView, fileDetailView}, *subGroupTree, *fileModel);

    // The first size shows three rows of icons; the main window keeps it on the screen.
    // (A few pixels spare: the layout's rounding.)
    const int chrome = bar->height() + statusLine->sizeHint().height() + 2 * fileIconView->frameWidth() + 4;
    resize(width(), std::max(height(), kFirstIconRows * kIconCell.height() + chrome));
}

// --- settings ----------------------------------------------------------------------------

int GroupWindow::ColumnWidth(int column) const { return fileDetailView->columnWidth(column); }

void GroupWindow::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= kColumnCount) return;
    if (width > kMinColumnWidth && width != kDesignedWidths[column]) userColumnWidths_ = true;
    fileDetailView->setColumnWidth(column, width);
}

void GroupWindow::FitColumnsOnce()
{
    if (userColumnWidths_ || columnsFitted_ || fileList->currentWidget() != fileDetailView || fileModel->Count() == 0)
        return;
    columnsFitted_ = true;
    for (int i = 0; i < kColumnCount; ++i) {
        fileDetailView->resizeColumnToContents(i);
        fileDetailView->setColumnWidth(i, std::clamp(fileDetailView->columnWidth(i), kMinColumnWidth, kMaxFittedWidth));
    }
}

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
    bool read = true;
    if (currentGroup.number != currentGroupNumber) {
        const std::optional<ShownGroup> group = ReadShownGroup(db_, currentGroupNumber);
        read = group.has_value();
        currentGroup = group.value_or(ShownGroup{});
    }
    ApplyViewStyle();
    // A group that could not be read is shown empty with the failure said: nothing of it
    // half shown, and no empty list that would pass for a group without entries.
    std::optional<std::vector<FileRow>> rows;
    if (read) rows = ReadFileRows(db_, currentGroupNumber, 0, rootMappings_);
    ShowRows(rows ? std::move(*rows) : std::vector<FileRow>{});
    shownSubGroup_ = 0;
    if (!rows) {
        subGroupTree->clear();
        SayUnread();
    } else if (!BuildSubGroupTree()) {
        subGroupTree->clear();
        fileModel->Clear();
    }
    RefreshFingerprints(rows.has_value());
    UpdateActions();
}

void GroupWindow::SayUnread() { Say("データベースから読めませんでした"); }

void GroupWindow::FormClose()
{
    RefreshFingerprints(false);
    fileModel->Clear();
    subGroupTree->clear();
}

void GroupWindow::CloseWindow()
{
    FormClose();
    hide();
}

