#include "drawinglist/listlayout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMargin = 12;        // mm round the page: printers cannot print to the edge
constexpr double kHeading = 16;
constexpr double kTableHead = 6;
constexpr double kFooter = 7;
constexpr double kGap = 2;
constexpr double kTableRow = 26;      // a thumbnail large enough to recognise the drawing
constexpr double kCellCaption = 14;   // two lines of name, one of memo, under a grid picture
constexpr int kLargestPixels = 2048;  // the thumbnailer's largest

} // namespace

ListPageSetup Bounded(ListPageSetup setup)
{
    setup.columns = std::clamp(setup.columns, kMinGridColumns, kMaxGridColumns);
    setup.rows = std::clamp(setup.rows, kMinGridRows, kMaxGridRows);
    return setup;
}

ListGeometry LayOut(const ListPageSetup& given)
{
    const ListPageSetup setup = Bounded(given);
    ListGeometry g;
    const bool a3 = setup.paper == ListPaper::A3;
    const double shortSide = a3 ? 297 : 210, longSide = a3 ? 420 : 297;
    g.pageWidth = setup.landscape ? longSide : shortSide;
    g.pageHeight = setup.landscape ? shortSide : longSide;
    const double width = g.pageWidth - 2 * kMargin;
    g.heading = {kMargin, kMargin, width, kHeading};
    g.footer = {kMargin, g.pageHeight - kMargin - kFooter, width, kFooter};
    double top = kMargin + kHeading + kGap;
    if (setup.style == ListStyle::Table) {
        g.tableHead = {kMargin, top, width, kTableHead};
        top += kTableHead;
    }
    g.body = {kMargin, top, width, g.footer.y - kGap - top};
    if (setup.style == ListStyle::Table) {
        g.itemHeight = kTableRow;
        g.perPage = std::max(1, static_cast<int>(std::floor(g.body.h / kTableRow)));
        // Picture, name and folder, memo, size, date, filed by: the texts share what the
        // fixed columns leave, the name and folder taking most.
        const double picture = kTableRow * 4 / 3, size = 20, date = 30, by = 24;
        const double rest = std::max(20.0, width - picture - size - date - by);
        g.columnWidths = {picture, rest * 0.55, rest * 0.45, size, date, by};
    } else {
        g.itemHeight = g.body.h / setup.rows;
        g.perPage = setup.columns * setup.rows;
    }
    return g;
}

MmRect ItemRect(const ListGeometry& g, const ListPageSetup& given, int index)
{
    const ListPageSetup setup = Bounded(given);
    if (setup.style == ListStyle::Table) return {g.body.x, g.body.y + index * g.itemHeight, g.body.w, g.itemHeight};
    const double w = g.body.w / setup.columns;
    return {g.body.x + (index % setup.columns) * w, g.body.y + (index / setup.columns) * g.itemHeight, w, g.itemHeight};
}

MmRect PictureRect(const ListGeometry& g, const ListPageSetup& setup, const MmRect& item)
{
    constexpr double pad = 1.5;
    if (setup.style == ListStyle::Table)
        return {item.x + pad, item.y + pad, g.columnWidths.front() - 2 * pad, item.h - 2 * pad};
    return {item.x + pad, item.y + pad, item.w - 2 * pad, std::max(1.0, item.h - kCellCaption - 2 * pad)};
}

std::vector<PageRange> PlanPages(int count, const ListGeometry& g)
{
    std::vector<PageRange> pages;
    const int per = std::max(1, g.perPage);
    for (int first = 0; first < count; first += per) pages.push_back({first, std::min(per, count - first)});
    if (pages.empty()) pages.push_back({0, 0});
    return pages;
}

std::string PageNumberText(int page, int pages) { return std::to_string(page) + " / " + std::to_string(pages); }

int ThumbnailPixels(const ListGeometry& g, const ListPageSetup& setup, int dpi)
{
    const MmRect picture = PictureRect(g, setup, ItemRect(g, setup, 0));
    const double longer = std::max(picture.w, picture.h);
    return std::clamp(static_cast<int>(std::ceil(longer / 25.4 * dpi)), 16, kLargestPixels);
}
