// The group window's tree of sub-groups: built from the table, its current node, read
// again; and the commands on sub-groups: create, rename, delete.
#include "groupwin/groupwindow.h"

#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "groupwin/subgroupnamedialog.h"
#include "text/cp932.h"
#include "text/textutil.h"

// --- the tree ------------------------------------------------------------------------------

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

bool GroupWindow::BuildSubGroupTree()
{
    const std::optional<std::vector<SubGroupNode>> read = ReadSubGroupTree(db_, currentGroupNumber);
    if (!read) {
        SayUnread();
        return false;
    }
    const std::vector<SubGroupNode>& nodes = *read;
    subGroupTree->clear();
    std::vector<QTreeWidgetItem*> items(nodes.size());
    // Parents come before their children.
    for (size_t i = 0; i < nodes.size(); ++i)
        items[i] = AddNode(nodes[i].parent < 0 ? nullptr : items[static_cast<size_t>(nodes[i].parent)], nodes[i]);
    subGroupTree->expandAll();
    return true;
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

int32_t GroupWindow::CurrentSubGroup() const
{
    const QTreeWidgetItem* node = SelectedNode();
    return node ? node->data(0, kNumberRole).toInt() : 0;
}

QTreeWidgetItem* GroupWindow::FindNode(int32_t number) const
{
    for (QTreeWidgetItemIterator it(subGroupTree); *it; ++it)
        if ((*it)->data(0, kNumberRole).toInt() == number) return *it;
    return nullptr;
}

void GroupWindow::ReadAgain()
{
    if (!MayRun()) return;
    const bool hadNode = SelectedNode() != nullptr;
    const int32_t number = CurrentSubGroup();
    {
        // One reading of the list below, not one for each node the rebuilt tree passes.
        const QSignalBlocker quiet(subGroupTree);
        // Not read: the tree and its list stay as they were, the failure said.
        if (!BuildSubGroupTree()) return;
        if (QTreeWidgetItem* node = hadNode ? FindNode(number) : nullptr) subGroupTree->setCurrentItem(node);
    }
    FillFileList();
    UpdateActions();
}

// --- sub-groups ----------------------------------------------------------------------------

int32_t GroupWindow::NodeNumber(const QTreeWidgetItem* node) const
{
    return node ? node->data(0, kNumberRole).toInt() : 0;
}

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
    const int32_t parentNumber = CurrentSubGroup();

    std::string name;
    if (!nameDialog_ || !nameDialog_->Ask("サブグループの作成", name)) return;
    // Under a parent that still exists, in a group that still is the one shown.
    int32_t number = 0;
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, parentNumber, true, [&] {
        number = CreateSubGroup(db_, currentGroupNumber, name, settings_.userName, parentNumber);
        return number != 0;
    });
    if (ToldGone(out, parentNumber)) return;
    if (out != WriteOutcome::Done) {
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
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, number, false,
                                           [&] { return RenameSubGroup(db_, currentGroupNumber, number, name); });
    if (ToldGone(out, number) || out != WriteOutcome::Done) return;
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
    if (entries < 0) {
        platform_.messages->ShowMessage(this, named + "を削除出来ませんでした。");
        return;
    }
    if (entries > 0 &&
        !platform_.messages->Confirm(this, named + "に属するファイル（" + QString::number(entries) +
                                               "項目）も同時に削除します。よろしいですか？"))
        return;
    // Exactly the entries the user was told of, with the row, or nothing.
    const WriteOutcome out = DeleteSubGroupAsCounted(db_, currentGroup, number, entries);
    if (ToldGone(out, number)) return;
    if (out == WriteOutcome::CountChanged)
        platform_.messages->ShowMessage(this, named + "に属するファイルの数が他の利用者によって変わりましたので、削除しませんでした。");
    else if (out != WriteOutcome::Done)
        platform_.messages->ShowMessage(this, named + "を削除出来ませんでした。");
    {
        // The current node moves twice here (off the deleted node, then to the root):
        // the list is read once, below, not at each move.
        const QSignalBlocker quiet(subGroupTree);
        if (out == WriteOutcome::Done) delete node;
        subGroupTree->clearSelection();
        if (QTreeWidgetItem* root = subGroupTree->topLevelItem(0)) {
            root->setSelected(true);
            subGroupTree->setCurrentItem(root);
        }
    }
    subGroupTree->setFocus();
    FillFileList();
    UpdateActions();
}
