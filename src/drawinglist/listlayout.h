#pragma once
// Where everything of a drawing list stands on its pages, in millimetres from the
// page's top left corner: no painting here, so that paging can be tested alone. A page
// holds a heading, the rows of a table (or the cells of a grid of thumbnails) and its
// number; every row or cell has one fixed height, so none is ever cut between pages.
#include <string>
#include <vector>

enum class ListPaper { A4, A3 };
enum class ListStyle { Table, Grid };

struct ListPageSetup {
    ListPaper paper = ListPaper::A4;
    bool landscape = false;
    ListStyle style = ListStyle::Table;
    int columns = 3;   // of the grid, kGridColumns
    int rows = 4;      // of the grid, kGridRows
};

// The grid's bounds: 2 × 3 to 4 × 6 thumbnails a page.
constexpr int kMinGridColumns = 2, kMaxGridColumns = 4;
constexpr int kMinGridRows = 3, kMaxGridRows = 6;
// The setup with its grid brought within the bounds.
ListPageSetup Bounded(ListPageSetup setup);

struct MmRect {
    double x = 0, y = 0, w = 0, h = 0;
};

// The places on every page of a setup.
struct ListGeometry {
    double pageWidth = 0, pageHeight = 0;
    MmRect heading;      // the group's name and title, the sub-group, the date
    MmRect tableHead;    // the table's column captions (table style only)
    MmRect body;         // where the rows or cells stand
    MmRect footer;       // the page number
    int perPage = 1;     // rows or cells a page
    double itemHeight = 0;
    // The table's columns from the left: picture, file name and folder, memo, size,
    // date, filed by; their widths add up to the body's.
    std::vector<double> columnWidths;
};
ListGeometry LayOut(const ListPageSetup& setup);

// The place of the index-th row or cell of a page.
MmRect ItemRect(const ListGeometry& geometry, const ListPageSetup& setup, int indexOnPage);
// Where the thumbnail stands in a row or cell (the rest holds its texts).
MmRect PictureRect(const ListGeometry& geometry, const ListPageSetup& setup, const MmRect& item);

// The first item of each page, for count items; one page even for none, which says so.
struct PageRange {
    int first = 0;
    int count = 0;
};
std::vector<PageRange> PlanPages(int count, const ListGeometry& geometry);

// "1 / 3"
std::string PageNumberText(int page, int pages);

// The pixels a thumbnail needs on the longer side to be drawn at dpi in its place,
// within the thumbnailer's largest size.
int ThumbnailPixels(const ListGeometry& geometry, const ListPageSetup& setup, int dpi);
