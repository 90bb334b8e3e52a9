#include "groupwin/unit3.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

TForm3::TForm3(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), settings_(settings), platform_(platform)
{
    setObjectName("Form3");
    resize(831, 331);
    move(193, 109);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setChildrenCollapsible(false);
    TreeView1 = new QTreeWidget(Splitter1);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setHeaderHidden(true);
    ListView1 = new QTreeWidget(Splitter1);
    ListView1->setObjectName("ListView1");
    ListView1->setColumnCount(kColumnCount);
    ListView1->setHeaderLabels({"ファイル名", "フォルダ名", "サイズ", "種類", "更新日時", "メモ", "追加者名", "No.",
                                "サブグループNo."});
    // The settings file raises narrower columns to 16 anyway; the style's own minimum
    // would make a stored width come back wider.
    ListView1->header()->setMinimumSectionSize(16);
    const int widths[kColumnCount] = {120, 160, 80, 50, 100, 50, 50, 50, 50};
    for (int i = 0; i < kColumnCount; ++i) ListView1->setColumnWidth(i, widths[i]);
    // The tree keeps its width when the window is resized; the list takes the rest.
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    layout->addWidget(Splitter1, 1);

    auto* bar = new QWidget(this);
    bar->setObjectName("Panel1");
    bar->setFixedHeight(32);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(4, 4, 4, 4);
    ComboBox1 = new QComboBox(bar);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->addItems({"アイコン表示", "リスト表示", "詳細表示"});
    barLayout->addWidget(ComboBox1);
    barLayout->addStretch(1);
    layout->addWidget(bar);

    SetTreeWidth(treeWidth_);
}

int TForm3::ColumnWidth(int column) const { return ListView1->columnWidth(column); }

void TForm3::SetColumnWidth(int column, int width) { ListView1->setColumnWidth(column, width); }

int TForm3::ViewStyleIndex() const { return ComboBox1->currentIndex(); }

void TForm3::SetViewStyleIndex(int index) { ComboBox1->setCurrentIndex(index); }

int TForm3::TreeWidth() const
{
    // Before the window was laid out the splitter has no real sizes yet.
    if (laidOut_) return Splitter1->sizes().value(0);
    return treeWidth_;
}

void TForm3::SetTreeWidth(int width)
{
    treeWidth_ = width;
    Splitter1->setSizes({width, std::max(1, Splitter1->width() - width)});
}

void TForm3::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!laidOut_) {
        laidOut_ = true;
        Splitter1->setSizes({treeWidth_, std::max(1, width() - treeWidth_)});
    }
}
