#pragma once
// A drawing list painted on pages: a printer's or a PDF's. The device is given the
// setup's paper without margins (the layout keeps its own), texts in the program's
// Japanese font, which PDF files embed, and each picture as drawn for its place.
#include <functional>
#include <vector>

#include <QString>

#include "drawinglist/listentry.h"
#include "drawinglist/listlayout.h"

class QPagedPaintDevice;

// The resolution pictures are drawn for, in dots per inch: a printer's usual fine one.
constexpr int kListDpi = 300;

struct DrawingList {
    std::vector<DrawingListEntry> entries;
    DrawingListHeading heading;
    std::vector<QString> pictures;   // PNG of each entry, empty where it has none
};

// The paper, orientation and no margins of the setup, for a printer or a PDF.
void SetListPage(QPagedPaintDevice& device, const ListPageSetup& setup);

// Paints every page; page(n) is asked before page n (from 1) and false from it stops.
// False when stopped or the device could not be painted on.
bool PaintDrawingList(QPagedPaintDevice& device, const DrawingList& list, const ListPageSetup& setup,
                      const std::function<bool(int page, int pages)>& page = {});

// The list as a PDF file at path, written whole or not at all (an existing file stays
// as it was on failure or a stop). The resolution is the pictures'.
enum class PdfOutcome { Written, Stopped, Failed };
PdfOutcome WriteDrawingListPdf(const QString& path, const DrawingList& list, const ListPageSetup& setup,
                               int dpi, const std::function<bool(int page, int pages)>& page = {});
