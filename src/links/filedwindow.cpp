#include "links/filedwindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "text/cp932.h"
#include "text/pathname.h"

namespace {

constexpr int kGroupRole = Qt::UserRole;
constexpr int kEntryRole = Qt::UserRole + 1;

} // namespace

FiledWindow::FiledWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("FiledWindow");
    setWindowTitle("ファイルの登録先");
    resize(640, 360);
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName("summary");
    summary_->setWordWrap(true);
    layout->addWidget(summary_);

    list_ = new QTreeWidget(this);
    list_->setObjectName("list");
    list_->setHeaderLabels({"ファイル / グループ", "サブグループ", "フォルダ"});
    list_->setUniformRowHeights(true);
    list_->header()->resizeSection(0, 260);
    layout->addWidget(list_, 1);

    auto* bar = new QHBoxLayout;
    openButton_ = new QPushButton("開く(&O)", this);
    openButton_->setObjectName("openButton");
    auto* groupLabel = new QLabel("登録するグループ(&G):", this);
    groupBox_ = new QComboBox(this);
    groupBox_->setObjectName("groupBox");
    groupBox_->setMinimumContentsLength(16);
    groupLabel->setBuddy(groupBox_);
    registerButton_ = new QPushButton("未登録のファイルを登録(&R)", this);
    registerButton_->setObjectName("registerButton");
    auto* closeButton = new QPushButton("閉じる(&X)", this);
    closeButton->setObjectName("closeButton");
    bar->addWidget(openButton_);
    bar->addStretch(1);
    bar->addWidget(groupLabel);
    bar->addWidget(groupBox_);
    bar->addWidget(registerButton_);
    bar->addWidget(closeButton);
    layout->addLayout(bar);

    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OpenItem(item); });
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(openButton_, &QPushButton::clicked, this, [this] { OpenItem(list_->currentItem()); });
    connect(registerButton_, &QPushButton::clicked, this, [this] {
        if (groupBox_->currentIndex() < 0 || unfiled_.isEmpty()) return;
        emit RegisterRequested(groupBox_->currentData().toInt(), unfiled_);
        close();
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void FiledWindow::Show(const std::vector<FiledFile>& files, const std::vector<GroupName>& groups,
                       const QStringList& unnamed)
{
    list_->clear();
    unfiled_.clear();
    int filed = 0;
    for (const QString& path : unnamed) {
        auto* fileItem = new QTreeWidgetItem(list_, {path.section('/', -1), QString(), path.section('/', 0, -2) + "/"});
        auto* none = new QTreeWidgetItem(fileItem, {"シフトJISで表せない文字があるため登録出来ません"});
        none->setDisabled(true);
        fileItem->setExpanded(true);
    }
    for (const FiledFile& f : files) {
        auto* fileItem = new QTreeWidgetItem(list_, {ToQ(PathFileName(f.path)), QString(), ToQ(PathFolder(f.path))});
        fileItem->setToolTip(0, ToQ(f.path));
        if (f.entries.empty()) {
            unfiled_ << QString::fromStdString(ToFsName(f.path));
            auto* none = new QTreeWidgetItem(fileItem, {"登録されていません"});
            none->setDisabled(true);
        } else {
            ++filed;
        }
        for (const LinkEntry& e : f.entries) {
            auto* item = new QTreeWidgetItem(fileItem, {ToQ(e.groupName) + "(N:" + QString::number(e.group) + ")",
                                                        e.subGroup ? ToQ(e.subGroupName) : QString("root"),
                                                        ToQ(e.folder)});
            item->setData(0, kGroupRole, e.group);
            item->setData(0, kEntryRole, e.number);
        }
        fileItem->setExpanded(true);
    }
    summary_->setText(QString("%1 個のファイルのうち %2 個が登録されています。").arg(files.size() + unnamed.size()).arg(filed));
    groupBox_->clear();
    for (const GroupName& g : groups) groupBox_->addItem(ToQ(g.name) + "(N:" + QString::number(g.number) + ")", g.number);
    if (QTreeWidgetItem* first = list_->topLevelItem(0)) list_->setCurrentItem(first->child(0) ? first->child(0) : first);
    UpdateButtons();
    show();
    raise();
    activateWindow();
}

void FiledWindow::OpenItem(QTreeWidgetItem* item)
{
    if (!item || !item->data(0, kGroupRole).isValid()) return;
    emit OpenEntryRequested(item->data(0, kGroupRole).toInt(), item->data(0, kEntryRole).toInt());
}

void FiledWindow::UpdateButtons()
{
    const QTreeWidgetItem* item = list_->currentItem();
    openButton_->setEnabled(item && item->data(0, kGroupRole).isValid());
    const bool canRegister = !unfiled_.isEmpty() && groupBox_->count() > 0;
    registerButton_->setEnabled(canRegister);
    groupBox_->setEnabled(canRegister);
}
