#include "groupwin/groupwindow.h"

#include <algorithm>
#include <optional>

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "groupwin/filelistmodel.h"
#include "groupwin/subgroupnamedialog.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

constexpr int kNumberRole = Qt::UserRole;       // a node's sub-group number
constexpr int kNameRole = Qt::UserRole + 1;     // a node's name, CP932
// Files named in one message at most; the rest are counted.
constexpr int kNamedFailures = 20;

// The filters of the add dialog: description, then the patterns it names.
const QStringList& AddFileFilters()
{
    static const QStringList filters{
        "Jw_cad 図面ファイル (*.jww;*.jwc)",
        "Jw_cad 図形ファイル (*.jws;*.jwk)",
        "Jw_cad BAKファイル (*.BAK;*.BK?)",
        "Jw_cad 自動保存ファイル (*.JW$)",
        "Jw_cad 環境設定ファイル (*.jwf;*.jwl)",
        "テキストファイル (*.txt;*.dat;*.csv)",
        "Word/Excel ファイル (*.doc;*.xl*;*.ppt)",
        "PDF ファイル (*.pdf)",
        "画像ファイル (*.bmp;*.ico;*.png;*.jp*;*.gif;*.tif?;*.fpx;*.pcx;*.raw)",
        "ベクタファイル (*.wmf;*.emf;*.svg;*.dxf;*.dwg;*.sxf;*.sfc;*.p21;*igs;*.iges;*stp;*.step)",
        "全てのファイル (*.*)",
    };
    return filters;
}

QString ProblemText(EntryProblem problem)
{
    switch (problem) {
    case EntryProblem::ControlCharacter: return "名前に制御文字があります";
    case EntryProblem::TooLong: return "フォルダ名かファイル名が255バイトを超えています";
    default: return "データベースに書き込めませんでした";
    }
}

QString FailureLine(const QString& path, const QString& reason) { return path + "（" + reason + "）"; }

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

// Large icons in cells of one size, whether a row has an icon or not, so that the
// view can lay out thousands of rows without measuring each one.
class FileItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto* view = qobject_cast<const QListView*>(option.widget);
        if (view && view->viewMode() == QListView::IconMode) return view->gridSize() - QSize(6, 6);
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

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
    addFilesButton = BarButton(bar, "addFilesButton", "ファイル追加登録(&A)");
    editMemoButton = BarButton(bar, "editMemoButton", "メモ入力編集(&M)");
    copyButton = BarButton(bar, "copyButton", "コピー(&C)");
    pasteButton = BarButton(bar, "pasteButton", "貼付(&P)");
    removeButton = BarButton(bar, "removeButton", "削除(&D)");
    barLayout->addWidget(closeButton);
    barLayout->addSpacing(8);
    for (QWidget* w : {static_cast<QWidget*>(createSubGroupButton), static_cast<QWidget*>(editSubGroupButton),
                       static_cast<QWidget*>(deleteSubGroupButton)})
        barLayout->addWidget(w);
    barLayout->addSpacing(8);
    barLayout->addWidget(viewStyleBox);
    barLayout->addSpacing(8);
    for (QPushButton* b : {addFilesButton, editMemoButton, copyButton, pasteButton, removeButton}) barLayout->addWidget(b);
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
    // A mouse click refills the list; moving through the tree with the keys does not.
    connect(subGroupTree, &QTreeWidget::itemClicked, this, [this] { FillFileList(); });
    connect(header, &QHeaderView::sectionClicked, this, &GroupWindow::SortByColumn);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(fileIconView),
                                    static_cast<QAbstractItemView*>(fileDetailView)})
        connect(view, &QAbstractItemView::doubleClicked, this, &GroupWindow::OpenFirstSelected);

    ApplyViewStyle();
    SetTreeWidth(treeWidth_);
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
    ApplyViewStyle();
    ShowRows(ReadFileRows(db_, currentGroupNumber, 0, NetworkPaths()));
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
    ShowRows(ReadFileRows(db_, currentGroupNumber, SelectedSubGroupNumber(), NetworkPaths()));
}

void GroupWindow::ShowRows(std::vector<FileRow> rows)
{
    fileDetailView->header()->setSortIndicatorShown(false);
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
    if (style == 1) {
        // Small icons in columns, names only.
        v->setViewMode(QListView::ListMode);
        v->setFlow(QListView::TopToBottom);
        v->setWrapping(true);
        v->setIconSize(QSize(16, 16));
        v->setGridSize(QSize());
        v->setSpacing(1);
        v->setWordWrap(false);
        v->setUniformItemSizes(false);
        v->setLayoutMode(QListView::Batched);
    } else {
        // Large icons with their names beneath, laid out in rows.
        v->setViewMode(QListView::IconMode);
        v->setIconSize(QSize(32, 32));
        v->setGridSize(QSize(104, 76));
        v->setSpacing(0);
        v->setWordWrap(true);
        v->setTextElideMode(Qt::ElideMiddle);
        v->setUniformItemSizes(true);
        v->setLayoutMode(QListView::SinglePass);
    }
    v->setMovement(QListView::Static);
    v->setResizeMode(QListView::Adjust);
    fileList->setCurrentWidget(v);
}

void GroupWindow::SortByColumn(int column)
{
    if (column >= 0 && column < kFileCellCount) fileSortModel->sort(column, Qt::AscendingOrder);
    fileDetailView->header()->setSortIndicatorShown(true);
    fileDetailView->header()->setSortIndicator(column, Qt::AscendingOrder);
}

QTreeWidgetItem* GroupWindow::SelectedNode() const
{
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

// --- file entries --------------------------------------------------------------------------

void GroupWindow::StoreEntries(const std::vector<std::string>& paths, const std::vector<std::string>* memos,
                               const QStringList& refused, const QString& heading)
{
    const int32_t subGroup = SelectedSubGroupNumber();
    QStringList failures = refused;
    for (size_t i = 0; i < paths.size(); ++i) {
        EntryOutcome outcome =
            memos ? StoreEntry(db_, currentGroupNumber, subGroup, paths[i], (*memos)[i], settings_.userName, NetworkPaths())
                  : RegisterFile(db_, currentGroupNumber, subGroup, paths[i], settings_.userName, NetworkPaths());
        if (outcome.Stored()) {
            fileModel->AppendRow(std::move(outcome.row));
            fileDetailView->header()->setSortIndicatorShown(false);
        } else {
            failures << FailureLine(ToQ(paths[i]), ProblemText(outcome.problem));
        }
    }
    if (failures.isEmpty()) return;
    QString text = heading;
    for (int i = 0; i < failures.size() && i < kNamedFailures; ++i) text += "\n" + failures[i];
    if (failures.size() > kNamedFailures) text += "\nほか " + QString::number(failures.size() - kNamedFailures) + " 件";
    platform_.messages->ShowMessage(this, text);
}

void GroupWindow::AddFiles()
{
    if (!MayRun()) return;
    OpenFileRequest request;
    request.folder = lastAddFolder_;
    request.filters = AddFileFilters();
    request.selectedFilter = lastAddFilter_;
    request.chosenFilter = &lastAddFilter_;
    request.multiSelect = true;
    const QStringList chosen = platform_.fileDialogs->OpenFiles(this, request);
    if (chosen.isEmpty()) return;
    lastAddFolder_ = QFileInfo(chosen.first()).absolutePath();

    std::vector<std::string> paths;
    QStringList refused;
    for (const QString& file : chosen) {
        // The file table holds CP932: a name it cannot hold would name another file.
        const std::optional<std::string> path = FromQExact(file);
        if (path)
            paths.push_back(*path);
        else
            refused << FailureLine(file, "名前にシフトJISで表せない文字があります");
    }
    StoreEntries(paths, nullptr, refused, "次のファイルは登録出来ませんでした。");
}

void GroupWindow::CopyEntries()
{
    clipboard_.Clear();
    for (int row : SelectedRows())
        clipboard_.Add(fileSortModel->Row(row).FullPath(), fileSortModel->Row(row).cells[kCellMemo]);
}

void GroupWindow::PasteEntries()
{
    if (!MayRun()) return;
    if (clipboard_.Count() <= 0) return;
    std::vector<std::string> paths, memos;
    for (const CopiedEntry& e : clipboard_.Entries()) {
        paths.push_back(e.path);
        memos.push_back(e.memo);
    }
    StoreEntries(paths, &memos, {}, "次のファイルは貼り付け出来ませんでした。");
}

void GroupWindow::RemoveEntries()
{
    if (!MayRun()) return;
    if (!platform_.messages->Confirm(this, "選択したファイルを除去します。よろしいですか？")) return;
    // From the last row shown; each row is found again as the rows before it go.
    std::vector<QPersistentModelIndex> rows;
    for (int row : SelectedRows()) rows.emplace_back(fileSortModel->index(row, 0));
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
        const int row = fileSortModel->SourceRow(r->row());
        const int32_t number = StrToIntOrZero(fileModel->Row(row).cells[kCellNumber]);
        if (RemoveEntry(db_, currentGroupNumber, number)) fileModel->RemoveRowAt(row);
    }
}

void GroupWindow::OpenFirstSelected()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const std::string path = fileSortModel->Row(rows.front()).FullPath();
    if (!FileExists(path)) return;
    platform_.desktop->OpenWithProgram(QString::fromStdString(ToFsName(path)));
}

void GroupWindow::EditMemo()
{
    if (!MayRun()) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || !memoEditor_) return;
    const int row = fileSortModel->SourceRow(rows.front());
    std::string memo = fileModel->Row(row).cells[kCellMemo];
    if (!memoEditor_(fileModel->Row(row).FullPath(), memo)) return;
    // A memo taken from a drawing may be longer than the column.
    const std::string stored = StoredMemo(memo);
    const int32_t number = StrToIntOrZero(fileModel->Row(row).cells[kCellNumber]);
    if (UpdateEntryMemo(db_, currentGroupNumber, number, stored)) fileModel->SetMemo(row, stored);
}

// --- sub-groups ----------------------------------------------------------------------------

void GroupWindow::CreateSubGroupCommand()
{
    if (!MayRun()) return;
    if (subGroupTree->topLevelItemCount() == 0) {
        SubGroupNode root;
        root.label = NodeLabel("root", "0");
        AddNode(nullptr, root)->setSelected(true);
    }
    if (!SelectedNode()) subGroupTree->topLevelItem(0)->setSelected(true);
    QTreeWidgetItem* parent = SelectedNode();
    const int32_t parentNumber = SelectedSubGroupNumber();

    std::string name;
    if (!nameDialog_ || !nameDialog_->Ask("サブグループの作成", name)) return;
    const int32_t number = CreateSubGroup(db_, currentGroupNumber, name, settings_.userName, parentNumber);
    if (number == 0) {
        platform_.messages->ShowMessage(this, "サブグループ「" + ToQ(name) + "」を作成出来ませんでした。");
        return;
    }
    SubGroupNode node;
    node.number = number;
    node.name = name;
    node.label = NodeLabel(name, IntToStr(number));
    AddNode(parent, node);
    parent->setExpanded(true);
}

void GroupWindow::EditSubGroupCommand()
{
    if (!MayRun()) return;
    QTreeWidgetItem* node = SelectedSubGroupNode();
    if (!node) return;
    const int32_t number = node->data(0, kNumberRole).toInt();
    std::string name = node->data(0, kNameRole).toByteArray().toStdString();
    if (!nameDialog_ || !nameDialog_->Ask("サブグループの編集", name)) return;
    if (!RenameSubGroup(db_, currentGroupNumber, number, name)) return;
    node->setText(0, ToQ(NodeLabel(name, IntToStr(number))));
    node->setData(0, kNameRole, QByteArray::fromStdString(name));
}

void GroupWindow::DeleteSubGroupCommand()
{
    if (!MayRun()) return;
    QTreeWidgetItem* node = SelectedSubGroupNode();
    if (!node) return;
    const int32_t number = node->data(0, kNumberRole).toInt();
    const QString named = "サブグループ「" + ToQ(node->data(0, kNameRole).toByteArray().toStdString()) + "」(SN:" +
                          QString::number(number) + ")";
    if (node->childCount() > 0) {
        platform_.messages->ShowMessage(this, named + "の下にサブグループがありますので削除できません。");
        return;
    }
    if (!platform_.messages->Confirm(this, named + "を削除します。よろしいですか？")) return;
    const int entries = CountSubGroupEntries(db_, currentGroupNumber, number);
    if (entries > 0 &&
        !platform_.messages->Confirm(this, named + "に属するファイル（" + QString::number(entries) +
                                               "項目）も同時に削除します。よろしいですか？"))
        return;
    if (DeleteSubGroup(db_, currentGroupNumber, number)) delete node;
    subGroupTree->clearSelection();
    if (QTreeWidgetItem* root = subGroupTree->topLevelItem(0)) {
        root->setSelected(true);
        subGroupTree->setCurrentItem(root);
    }
    subGroupTree->setFocus();
    FillFileList();
}
