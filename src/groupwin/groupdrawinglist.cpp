// The group window's drawing list: the entries selected, else those the list shows (the
// group, or the sub-group current in the tree, as the filter leaves them).
#include "groupwin/groupwindow.h"

#include <QTreeWidget>

#include "drawinglist/listentry.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/listrows.h"
#include "text/cp932.h"

void GroupWindow::DrawingList(bool toPdf)
{
    std::vector<int> rows = SelectedRows();
    if (rows.empty())
        for (int r = 0; r < fileSortModel->rowCount(); ++r) rows.push_back(r);
    if (rows.empty()) return;
    DrawingListJob job;
    for (int r : rows) job.list.entries.push_back(ListEntryOf(fileSortModel->Row(r)));
    DrawingListHeading& h = job.list.heading;
    h.title = currentGroup.name.empty() ? currentGroupName : currentGroup.name;
    h.subtitle = currentGroup.title;
    if (const QTreeWidgetItem* node = FindNode(shownSubGroup_); node && shownSubGroup_ != 0)
        h.subGroup = node->data(0, kNameRole).toByteArray().toStdString();
    h.date = TodayText();
    job.thumbnailer = thumbnailer_;
    job.proposedName = "図面リスト_" + ToQ(h.title) + ".pdf";
    const QString said = RunDrawingList(this, platform_, std::move(job), toPdf, listSetupAsker_);
    if (!said.isEmpty()) Say(said);
}
