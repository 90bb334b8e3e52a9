#pragma once
// PDF plots drawn and their texts read through Poppler. Compiled into the thumbnailer
// only (and its tests): a PDF comes from anywhere, and Poppler is large and not safe
// against every file, so it runs in that limited process and never in the program.
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

// The key of the thumbnail PNG that carries the document's page count (the freedesktop
// convention's own key), so that the preview knows how far it can page.
inline constexpr char kPdfPagesKey[] = "Thumb::Document::Pages";

// Most pages a document may have for its texts to be read, and most text boxes kept.
inline constexpr int kMaxPdfTextPages = 2000;
inline constexpr std::size_t kMaxPdfTexts = 1000 * 1000;

// Page `page` (from 1) of the PDF, drawn on white paper at most `size` pixels on its
// longer side, with kPdfPagesKey set. A null image for a file that is no PDF, is
// damaged, encrypted against reading, or has no such page. mtime as ReadDrawingBytes.
QImage RenderPdfPage(const std::string& fsPath, int page, int size, std::int64_t* mtime = nullptr) noexcept;

// The page count and the first page's size in millimetres; false as RenderPdfPage.
bool ReadPdfInfo(const std::string& fsPath, int& pages, double& widthMm, double& heightMm) noexcept;

// A word or run of text on a page, its box in millimetres from the page's top left.
struct PdfText {
    int page = 1;
    std::string text;   // UTF-8
    double x = 0, y = 0, width = 0, height = 0;
};

// Every text box of the document, page by page. False (and none) for a file that
// cannot be read as above, or one of more than kMaxPdfTextPages pages.
bool ReadPdfTexts(const std::string& fsPath, std::vector<PdfText>& texts) noexcept;
