#include "groupwin/samecontentwindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "text/cp932.h"

namespace {
constexpr int kEntryRole = Qt::UserRole;   // index into the entries
}

SameContentWindow::SameContentWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("SameContentWindow");
    setWindowTitle("同じ内容のファイル");
    resize(640, 260);
    auto* layout = new QVBoxLayout(this);
    heading = new QLabel(this);
    heading->setObjectName("heading");
    layout->addWidget(heading);
    list = new QTreeWidget(this);
    list->setObjectName("list");
    list->setHeaderLabels({"グループ", "サブグループ", "フォルダ", "ファイル名"});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->resizeSection(0, 140);
    list->header()->resizeSection(2, 240);
    layout->addWidget(list, 1);
    auto* close = new QPushButton("閉じる(&X)", this);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const auto i = item->data(0, kEntryRole).toULongLong();
        if (i < entries_.size()) emit OpenEntryRequested(entries_[i].group, entries_[i].number);
    });
}

void SameContentWindow::Show(const QString& fileName, const SameContentSet& entries)
{
    entries_ = entries;
    list->clear();
    heading->setText(QString("%1 と同じ内容のファイル: %2 件").arg(fileName).arg(entries_.size()));
    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const SameContentEntry& e = entries_[i];
        auto* item = new QTreeWidgetItem({ToQ(e.groupName) + "(N:" + QString::number(e.group) + ")", ToQ(e.subGroupName),
                                          ToQ(e.folder), ToQ(e.fileName)});
        item->setData(0, kEntryRole, static_cast<qulonglong>(i));
        items << item;
    }
    list->addTopLevelItems(items);
    show();
    raise();
    activateWindow();
}
