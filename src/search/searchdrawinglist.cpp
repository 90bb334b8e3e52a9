// The search window's drawing list: every hit, with its group and sub-group.
#include "search/searchwindow.h"

#include <QCoreApplication>
#include <QLineEdit>

#include "drawinglist/drawinglistcommand.h"
#include "drawinglist/listentry.h"
#include "search/searchresults.h"
#include "settings/programfiles.h"
#include "text/cp932.h"

void SearchWindow::DrawingList(bool toPdf)
{
    if (searching_) return;
    DrawingListJob job;
    for (int row = 0; row < resultModel->rowCount(); ++row) {
        const SearchLine& l = resultModel->Line(row);
        if (l.isGroup) continue;
        DrawingListEntry e = ProbedListEntry(l.folder, l.file, l.memo, l.addedBy, rootMappings_);
        QString place = "グループ【" + ToQ(l.groupName) + "】";
        if (!l.subGroupName.empty()) place += " / " + ToQ(l.subGroupName);
        e.place = FromQLossy(place);
        job.list.entries.push_back(std::move(e));
    }
    if (job.list.entries.empty()) {
        SetStatus(kNoneFound);
        return;
    }
    job.list.heading.title = FromQLossy("検索結果「" + searchEdit->text() + "」");
    job.list.heading.date = TodayText();
    job.thumbnailer = LocateProgramFiles(QCoreApplication::applicationFilePath()).thumbnailer;
    job.proposedName = "図面リスト_検索結果.pdf";
    const QString said = RunDrawingList(this, platform_, std::move(job), toPdf);
    if (!said.isEmpty()) SetStatus(said);
}
