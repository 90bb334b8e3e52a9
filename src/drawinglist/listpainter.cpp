#include "drawinglist/listpainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include "text/cp932.h"
#include "text/pathname.h"

namespace {

const char* const kFont = "Noto Sans CJK JP";
const QColor kRule(150, 150, 150);
const QColor kFaint(90, 90, 90);

class Pages {
public:
    Pages(QPainter& painter, const QPagedPaintDevice& device)
        : p_(painter), unit_(device.logicalDpiX() / 25.4), unitY_(device.logicalDpiY() / 25.4)
    {
    }
    QRectF R(const MmRect& r) const { return {r.x * unit_, r.y * unitY_, r.w * unit_, r.h * unitY_}; }
    QRectF R(double x, double y, double w, double h) const { return R(MmRect{x, y, w, h}); }
    QFont Font(double points, bool bold = false) const
    {
        QFont f(QString::fromUtf8(kFont));
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }
    // One line, shortened in its middle where it is too long: a file name keeps its type.
    void Line(const QRectF& r, const QString& text, const QFont& font, int align = Qt::AlignLeft,
              Qt::TextElideMode elide = Qt::ElideMiddle, const QColor& colour = Qt::black)
    {
        p_.setFont(font);
        p_.setPen(colour);
        p_.drawText(r, align | Qt::AlignVCenter | Qt::TextSingleLine, QFontMetricsF(font, p_.device()).elidedText(text, elide, r.width()));
    }
    // Lines wrapped within the box; what does not fit is cut at the box.
    void Wrapped(const QRectF& r, const QString& text, const QFont& font)
    {
        p_.save();
        p_.setClipRect(r);
        p_.setFont(font);
        p_.setPen(Qt::black);
        p_.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, text);
        p_.restore();
    }
    QPainter& p_;
    double unit_, unitY_;
};

void Picture(Pages& pg, const QRectF& box, const DrawingListEntry& e, const QString& png)
{
    QPainter& p = pg.p_;
    const QImage image = png.isEmpty() ? QImage() : QImage(png);
    if (!image.isNull()) {
        // Fitted and centred: it was drawn for this place, whatever the device's resolution.
        QSizeF size = image.size();
        size.scale(box.size(), Qt::KeepAspectRatio);
        const QRectF at(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2, size.width(), size.height());
        p.drawImage(at, image);
        p.setPen(QPen(kRule, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(at);
        return;
    }
    p.setPen(QPen(kRule, 0, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box);
    const QString text = e.exists ? ToQ(FileTypeOf(e.name)) : QStringLiteral("ファイルなし");
    pg.Line(box, text, pg.Font(7, !e.exists), Qt::AlignHCenter, Qt::ElideRight, e.exists ? kFaint : Qt::black);
}

void Heading(Pages& pg, const ListGeometry& g, const DrawingList& list, int page, int pages)
{
    const DrawingListHeading& h = list.heading;
    const MmRect& r = g.heading;
    QString title = ToQ(h.title);
    if (!h.subtitle.empty()) title += QStringLiteral("  ") + ToQ(h.subtitle);
    pg.Line(pg.R(r.x, r.y, r.w * 0.7, 8), title, pg.Font(13, true), Qt::AlignLeft, Qt::ElideRight);
    if (!h.subGroup.empty())
        pg.Line(pg.R(r.x, r.y + 8, r.w * 0.7, 6), QStringLiteral("サブグループ: ") + ToQ(h.subGroup), pg.Font(9));
    pg.Line(pg.R(r.x + r.w * 0.7, r.y, r.w * 0.3, 8), QStringLiteral("図面リスト  ") + ToQ(h.date), pg.Font(9),
            Qt::AlignRight);
    pg.Line(pg.R(r.x + r.w * 0.7, r.y + 8, r.w * 0.3, 6), QString("%1 件").arg(list.entries.size()), pg.Font(9),
            Qt::AlignRight);
    pg.p_.setPen(QPen(Qt::black, 0));
    pg.p_.drawLine(pg.R(r.x, r.y + r.h, r.w, 0).topLeft(), pg.R(r.x, r.y + r.h, r.w, 0).topRight());
    pg.Line(pg.R(g.footer), QString::fromStdString(PageNumberText(page, pages)), pg.Font(9), Qt::AlignHCenter);
}

void TableHead(Pages& pg, const ListGeometry& g)
{
    static const char* const kCaptions[] = {"図", "ファイル名 / フォルダ", "メモ", "サイズ", "更新日時", "登録者"};
    double x = g.tableHead.x;
    for (size_t c = 0; c < g.columnWidths.size(); ++c) {
        pg.Line(pg.R(x + 1, g.tableHead.y, g.columnWidths[c] - 2, g.tableHead.h), QString::fromUtf8(kCaptions[c]),
                pg.Font(8, true));
        x += g.columnWidths[c];
    }
    const QRectF line = pg.R(g.tableHead.x, g.tableHead.y + g.tableHead.h, g.tableHead.w, 0);
    pg.p_.setPen(QPen(Qt::black, 0));
    pg.p_.drawLine(line.topLeft(), line.topRight());
}

void TableRow(Pages& pg, const ListGeometry& g, const ListPageSetup& setup, const MmRect& item,
              const DrawingListEntry& e, const QString& png)
{
    Picture(pg, pg.R(PictureRect(g, setup, item)), e, png);
    const std::vector<double>& w = g.columnWidths;
    double x = item.x + w[0] + 1;
    pg.Line(pg.R(x, item.y + 1.5, w[1] - 2, 5), ToQ(e.name), pg.Font(9, true));
    pg.Line(pg.R(x, item.y + 6.5, w[1] - 2, 4.5), ToQ(e.folder), pg.Font(7), Qt::AlignLeft, Qt::ElideLeft, kFaint);
    if (!e.place.empty()) pg.Line(pg.R(x, item.y + 11, w[1] - 2, 4.5), ToQ(e.place), pg.Font(7), Qt::AlignLeft, Qt::ElideRight, kFaint);
    if (!e.exists) pg.Line(pg.R(x, item.y + item.h - 6, w[1] - 2, 4.5), QStringLiteral("ファイルが見つかりません"), pg.Font(7, true));
    x += w[1];
    pg.Wrapped(pg.R(x, item.y + 1.5, w[2] - 2, item.h - 3), ToQ(e.memo), pg.Font(8));
    x += w[2];
    pg.Line(pg.R(x, item.y + 1.5, w[3] - 2, 5), e.exists ? QString::fromStdString(SizeText(e.size)) : QString(),
            pg.Font(8), Qt::AlignRight);
    x += w[3] + 1;
    pg.Line(pg.R(x, item.y + 1.5, w[4] - 2, 5), e.exists ? ToQ(e.time) : QStringLiteral("<No File>"), pg.Font(8));
    x += w[4];
    pg.Line(pg.R(x, item.y + 1.5, w[5] - 2, 5), ToQ(e.addedBy), pg.Font(8), Qt::AlignLeft, Qt::ElideRight);
    const QRectF rule = pg.R(item.x, item.y + item.h, item.w, 0);
    pg.p_.setPen(QPen(kRule, 0));
    pg.p_.drawLine(rule.topLeft(), rule.topRight());
}

void GridCell(Pages& pg, const ListGeometry& g, const ListPageSetup& setup, const MmRect& item,
              const DrawingListEntry& e, const QString& png)
{
    const MmRect picture = PictureRect(g, setup, item);
    Picture(pg, pg.R(picture), e, png);
    const double x = item.x + 1.5, w = item.w - 3;
    double y = picture.y + picture.h + 0.5;
    pg.Line(pg.R(x, y, w, 3.6), ToQ(e.name), pg.Font(8, true));
    y += 3.4;
    pg.Line(pg.R(x, y, w, 3.2), ToQ(e.folder), pg.Font(6), Qt::AlignLeft, Qt::ElideLeft, kFaint);
    y += 3.2;
    pg.Line(pg.R(x, y, w, 3.4), ToQ(e.memo), pg.Font(7), Qt::AlignLeft, Qt::ElideRight);
    y += 3.4;
    const QString facts = e.exists ? QString::fromStdString(SizeText(e.size)) + "  " + ToQ(e.time) + "  " + ToQ(e.addedBy)
                                   : QStringLiteral("<No File>  ") + ToQ(e.addedBy);
    pg.Line(pg.R(x, y, w, 3.2), facts, pg.Font(6), Qt::AlignLeft, Qt::ElideRight, kFaint);
}

} // namespace

void SetListPage(QPagedPaintDevice& device, const ListPageSetup& setup)
{
    const QPageSize size(setup.paper == ListPaper::A3 ? QPageSize::A3 : QPageSize::A4);
    device.setPageLayout(QPageLayout(size, setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool PaintDrawingList(QPagedPaintDevice& device, const DrawingList& list, const ListPageSetup& given,
                      const std::function<bool(int page, int pages)>& page)
{
    const ListPageSetup setup = Bounded(given);
    const ListGeometry g = LayOut(setup);
    const std::vector<PageRange> pages = PlanPages(static_cast<int>(list.entries.size()), g);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    Pages pg(painter, device);
    const int count = static_cast<int>(pages.size());
    for (int n = 0; n < count; ++n) {
        if (page && !page(n + 1, count)) {
            painter.end();
            return false;
        }
        if (n > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        Heading(pg, g, list, n + 1, count);
        if (setup.style == ListStyle::Table) TableHead(pg, g);
        if (list.entries.empty())
            pg.Line(pg.R(g.body.x, g.body.y, g.body.w, 8), QStringLiteral("登録されたファイルはありません"), pg.Font(9));
        for (int i = 0; i < pages[static_cast<size_t>(n)].count; ++i) {
            const auto at = static_cast<size_t>(pages[static_cast<size_t>(n)].first + i);
            const MmRect item = ItemRect(g, setup, i);
            const QString png = at < list.pictures.size() ? list.pictures[at] : QString();
            if (setup.style == ListStyle::Table)
                TableRow(pg, g, setup, item, list.entries[at], png);
            else
                GridCell(pg, g, setup, item, list.entries[at], png);
        }
    }
    return painter.end();
}

PdfOutcome WriteDrawingListPdf(const QString& path, const DrawingList& list, const ListPageSetup& setup, int dpi,
                               const std::function<bool(int page, int pages)>& page)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return PdfOutcome::Failed;
    bool painted = false, stopped = false;
    const auto ask = [&](int n, int count) {
        stopped = page && !page(n, count);
        return !stopped;
    };
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(dpi);
        pdf.setCreator(QStringLiteral("Kumolist"));
        pdf.setTitle(ToQ(list.heading.title));
        SetListPage(pdf, setup);
        painted = PaintDrawingList(pdf, list, setup, ask);
    }
    if (!painted) {
        file.cancelWriting();
        return stopped ? PdfOutcome::Stopped : PdfOutcome::Failed;
    }
    return file.commit() ? PdfOutcome::Written : PdfOutcome::Failed;
}
