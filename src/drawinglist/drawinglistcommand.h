#pragma once
// The commands 図面リストを印刷... and 図面リストをPDFに出力... of the windows that list
// entries: the page setup asked, the pictures drawn for the page with a progress bar and
// cancel, then Qt's print preview (from which the user prints) or a PDF file he names.
#include <functional>
#include <optional>

#include <QString>

#include "drawinglist/listlayout.h"
#include "drawinglist/listpainter.h"
#include "platform/platform.h"

class QWidget;

struct DrawingListJob {
    DrawingList list;          // its pictures are drawn by the command
    QString thumbnailer;       // the program that draws them; empty: none
    QString proposedName;      // the PDF's name proposed in the save dialog
};

// The page setup dialog: paper, orientation, a table or a grid of 2 × 3 to 4 × 6.
using ListSetupAsker = std::function<std::optional<ListPageSetup>(QWidget* parent)>;
std::optional<ListPageSetup> AskListSetup(QWidget* parent);

// Runs the command; what it did, for the window's status bar (empty: cancelled before
// anything was done). Failures are said in a message.
QString RunDrawingList(QWidget* parent, const Platform& platform, DrawingListJob job, bool toPdf,
                       const ListSetupAsker& ask = AskListSetup);
