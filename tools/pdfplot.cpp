// kumo_pdfplot OUT.pdf DRAWING...: drawings plotted to A3 landscape pages of PDF, one
// a page, with the program's own renderer, texts as real text. Makes the PDF plots of the tests from
// the real drawings, so that they hold known lines and texts at known places.
#include <cstdio>

#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QFileInfo>
#include <QPdfWriter>

#include "drawing/drawingfile.h"
#include "drawing/drawingrender.h"

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: kumo_pdfplot OUT.pdf DRAWING...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QPdfWriter pdf(QString::fromLocal8Bit(argv[1]));
    pdf.setPageSize(QPageSize(QPageSize::A3));
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
    pdf.setResolution(300);
    pdf.setCreator("kumo_pdfplot");
    pdf.setTitle(QFileInfo(QString::fromLocal8Bit(argv[2])).fileName());
    QPainter painter(&pdf);
    if (!painter.isActive()) return 1;
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 2; i < argc; ++i) {
        JwwDrawing drawing;
        if (!ReadDrawingFile(argv[i], drawing)) {
            std::fprintf(stderr, "kumo_pdfplot: %s: not a drawing\n", argv[i]);
            return 1;
        }
        if (i > 2 && !pdf.newPage()) return 1;
        DrawDrawingFitted(painter, drawing, DrawingFrame(drawing), QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
    }
    return painter.end() ? 0 : 1;
}
