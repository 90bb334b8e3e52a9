#include "groupwin/groupwindow.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

GroupWindow::GroupWindow(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), settings_(settings), platform_(platform)
{
    setObjectName("GroupWindow");
    resize(831, 331);
    move(193, 109);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName("splitter");
    splitter->setChildrenCollapsible(false);
    subGroupTree = new QTreeWidget(splitter);
    subGroupTree->setObjectName("subGroupTree");
    subGroupTree->setHeaderHidden(true);
    fileList = new QTreeWidget(splitter);
    fileList->setObjectName("fileList");
    fileList->setColumnCount(kColumnCount);
    fileList->setHeaderLabels({"ファイル名", "フォルダ名", "サイズ", "種類", "更新日時", "メモ", "追加者名", "No.",
                                "サブグループNo."});
    // The settings file raises narrower columns to 16 anyway; the style's own minimum
    // would make a stored width come back wider.
    fileList->header()->setMinimumSectionSize(16);
    const int widths[kColumnCount] = {120, 160, 80, 50, 100, 50, 50, 50, 50};
    for (int i = 0; i < kColumnCount; ++i) fileList->setColumnWidth(i, widths[i]);
    // The tree keeps its width when the window is resized; the list takes the rest.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName("buttonBar");
    bar->setFixedHeight(32);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 4, 4, 4);
    viewStyleBox = new QComboBox(bar);
    viewStyleBox->setObjectName("viewStyleBox");
    viewStyleBox->addItems({"アイコン表示", "リスト表示", "詳細表示"});
    barLayout->addWidget(viewStyleBox);
    barLayout->addStretch(1);
    layout->addWidget(bar);

    SetTreeWidth(treeWidth_);
}

int GroupWindow::ColumnWidth(int column) const { return fileList->columnWidth(column); }

void GroupWindow::SetColumnWidth(int column, int width) { fileList->setColumnWidth(column, width); }

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

void GroupWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!laidOut_) {
        laidOut_ = true;
        splitter->setSizes({treeWidth_, std::max(1, width() - treeWidth_)});
    }
}
