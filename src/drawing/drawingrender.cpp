#include "drawing/drawingrender.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <tuple>
#include <vector>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPainterPath>
#include <QPolygonF>

#include "text/cp932.h"

namespace {

// The CAD program's own pens on a white background; pen 0 is the paper.
constexpr QRgb kDefaultPens[10] = {0xFFFFFF, 0x00C0C0, 0x000000, 0x00C000, 0xC0C000,
                                   0xC000C0, 0x0000FF, 0x008080, 0xFF0080, 0xC0C0C0};
constexpr QRgb kBlack = 0x000000;

// The Japanese font for texts whose own font this machine lacks.
const QString kFallbackFont = QStringLiteral("Noto Sans CJK JP");

// Below this height in pixels a text is drawn as a band where its letters stand: glyphs
// that small are unreadable and cost the most.
constexpr double kMinGlyphPixels = 4;
// Share of a Japanese font's em square below its baseline.
constexpr double kEmBelowBaseline = 0.12;
// Largest error between an arc and the straight pieces it is drawn with, in pixels.
constexpr double kArcTolerancePixels = 0.25;
constexpr int kMaxArcPieces = 720;
// Margin around the frame, as a share of its longer side.
constexpr double kMargin = 0.03;

constexpr double kTwoPi = 2 * std::numbers::pi;

// Work the picture is worth, in pixels drawn per pixel of the view: past that a picture
// is covered many times over and shows nothing more, so what remains is left out. Thin
// solid lines are drawn here pixel by pixel (Qt's antialiased lines cost a hundred times
// as much a pixel); what the painter strokes or fills counts kPainterCost a pixel.
constexpr double kInkPerViewPixel = 8;
constexpr double kPainterCost = 16;
// Texts drawn as letters, the most expensive thing drawn; the others become bands.
constexpr std::size_t kMaxLetteredTexts = 20000;

// The line types' dashes on paper, millimetres on and off, for types 2 to 9 (9: the
// auxiliary line, shown on screen only, drawn faint here). Drawn solid where a whole
// pattern would take fewer pixels than this.
const std::vector<double> kDashesMm[10] = {{}, {}, {1, 1}, {2, 1}, {4, 1}, {6, 1, 0.5, 1}, {10, 1, 0.5, 1},
                                           {6, 1, 0.5, 1, 0.5, 1}, {10, 1, 0.5, 1, 0.5, 1}, {0.5, 1}};
constexpr double kMinDashPatternPixels = 8;
constexpr int kAuxiliaryLine = 9;

QRgb FromColorRef(std::uint32_t c) { return qRgb(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)); }

QRgb Halfway(QRgb c, QRgb to)
{
    return qRgb((qRed(c) + qRed(to)) / 2, (qGreen(c) + qGreen(to)) / 2, (qBlue(c) + qBlue(to)) / 2);
}

// The family to draw a font name with: the name itself where this machine has it.
QString FontFamily(const QString& name)
{
    thread_local QHash<QString, QString> known;
    const auto it = known.constFind(name);
    if (it != known.constEnd()) return *it;
    const QString family = !name.isEmpty() && QFontDatabase::hasFamily(name) ? name : kFallbackFont;
    // Font names come from the drawings: a long batch of strange ones must not pile up.
    if (known.size() >= 256) known.clear();
    known.insert(name, family);
    return family;
}

// What lines are drawn with: colour, width in pixels (0: the thinnest) and line type
// (0: solid).
using Stroke = std::tuple<QRgb, double, int>;

// The lines of one stroke: straight pieces drawn in one call, curves each as one line so
// that their dashes run on.
struct Strokes {
    std::vector<QLineF> lines;
    std::vector<QPolygonF> curves;
};

// The pixels of an opaque image of 32 bits a pixel that thin lines are drawn into
// directly: Xiaolin Wu's antialiased lines, a pixel's worth of ink a step.
class Pixels {
public:
    explicit Pixels(QImage& image) : bits_(image.bits()), bpl_(image.bytesPerLine()), w_(image.width()), h_(image.height()) {}

    void Line(QPointF a, QPointF b, QRgb colour)
    {
        // Pixel centres at whole numbers; clipped, the steps are bounded by the image.
        double x0 = a.x() - 0.5, y0 = a.y() - 0.5, x1 = b.x() - 0.5, y1 = b.y() - 0.5;
        if (!std::isfinite(x0 + y0 + x1 + y1) || !Clip(x0, y0, x1, y1)) return;
        const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
        if (steep) {
            std::swap(x0, y0);
            std::swap(x1, y1);
        }
        if (x0 > x1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const double gradient = x1 - x0 > 1e-9 ? (y1 - y0) / (x1 - x0) : 0;
        const int first = int(std::lround(x0)), last = int(std::lround(x1));
        double y = y0 + gradient * (first - x0);
        for (int x = first; x <= last; ++x, y += gradient) {
            const double below = std::floor(y);
            const int yi = int(below), cover = int((y - below) * 256);
            if (steep) {
                Blend(yi, x, colour, 256 - cover);
                Blend(yi + 1, x, colour, cover);
            } else {
                Blend(x, yi, colour, 256 - cover);
                Blend(x, yi + 1, colour, cover);
            }
        }
    }

    void Dot(QPointF at, QRgb colour)
    {
        if (std::isfinite(at.x() + at.y()) && at.x() >= 0 && at.y() >= 0 && at.x() < w_ && at.y() < h_)
            Blend(int(at.x()), int(at.y()), colour, 256);
    }

private:
    // Liang-Barsky to a pixel beyond the image each side; false when nothing is left.
    bool Clip(double& x0, double& y0, double& x1, double& y1) const
    {
        double t0 = 0, t1 = 1;
        const double dx = x1 - x0, dy = y1 - y0;
        const double p[4] = {-dx, dx, -dy, dy}, q[4] = {x0 + 1, w_ - x0, y0 + 1, h_ - y0};
        for (int i = 0; i < 4; ++i) {
            if (p[i] == 0) {
                if (q[i] < 0) return false;
                continue;
            }
            const double r = q[i] / p[i];
            if (p[i] < 0) t0 = std::max(t0, r);
            else t1 = std::min(t1, r);
        }
        if (!(t0 <= t1)) return false;
        x1 = x0 + t1 * dx;
        y1 = y0 + t1 * dy;
        x0 += t0 * dx;
        y0 += t0 * dy;
        return true;
    }

    void Blend(int x, int y, QRgb c, int a)
    {
        if (a <= 0 || x < 0 || y < 0 || x >= w_ || y >= h_) return;
        QRgb& d = reinterpret_cast<QRgb*>(bits_ + qsizetype(y) * bpl_)[x];
        const auto mix = [a](int to, int from) { return from + ((to - from) * a >> 8); };
        d = qRgb(mix(qRed(c), qRed(d)), mix(qGreen(c), qGreen(d)), mix(qBlue(c), qBlue(d)));
    }

    uchar* bits_;
    qsizetype bpl_;
    int w_, h_;
};

double Length(QPointF a, QPointF b) { return std::hypot(b.x() - a.x(), b.y() - a.y()); }

struct TextItem {
    QString text, family;
    QPointF start, end, up;   // pixels: lower-left, lower-right, lower-left raised by the height
    QRgb colour;
};

// Collects what the walk visits, in pixels and by pen, then draws it: solids, lines by
// pen (one call each), points, texts on top.
class Renderer : public DrawingVisitor {
public:
    Renderer(const JwwDrawing& d, double scale, double ox, double oy, QRectF view, std::optional<QRgb> only = {})
        : d_(d), s_(scale), ox_(ox), oy_(oy), view_(view.adjusted(-2, -2, 2, 2)), only_(only)
    {
        const bool lightPaper = d.screenColours.size() == 10 && qGray(FromColorRef(d.screenColours[0])) >= 0xC0;
        for (int i = 0; i < 10; ++i) pens_[i] = lightPaper ? FromColorRef(d.screenColours[i]) : kDefaultPens[i];
        // Printer widths are counted in dots unless the drawing counts them in
        // hundredths of a millimetre; larger numbers tell the latter.
        const bool hundredths = std::any_of(d.printerWidths.begin(), d.printerWidths.end(), [](auto w) { return w > 16; });
        widthUnitMm_ = hundredths ? 0.01 : 0.05;
        const double area = std::max(1.0, view_.width() * view_.height());
        ink_ = fill_ = kInkPerViewPixel * area;
    }

    void Line(const DrawingLine& l, const Affine& t, bool shown) override
    {
        if (!shown) return;
        const QPointF a = Px(t, l.x1, l.y1), b = Px(t, l.x2, l.y2);
        if (Outside(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()), std::max(a.y(), b.y()))) return;
        const Stroke stroke = StrokeOf(l.pen);
        // No more of it than crosses the view is drawn.
        const double length = std::min(Length(a, b), view_.width() + view_.height());
        if (Spend(ink_, Cost(stroke, length))) lines_[stroke].lines.emplace_back(a, b);
    }

    void Arc(const DrawingArc& a, const Affine& t, bool shown) override
    {
        if (!shown) return;
        const PlacedCurve c = PlaceEllipse(t, a.cx, a.cy, a.radius, a.flatness, a.tilt);
        const bool whole = a.closed || std::fabs(a.sweep) >= kTwoPi;
        QPolygonF piece;
        if (!CurvePoints(c, a.start, whole ? kTwoPi : a.sweep, piece)) return;
        double length = 0;
        for (qsizetype i = 1; i < piece.size(); ++i) length += Length(piece[i - 1], piece[i]);
        const Stroke stroke = StrokeOf(a.pen);
        if (Spend(ink_, Cost(stroke, length))) lines_[stroke].curves.push_back(std::move(piece));
    }

    void Point(const DrawingPoint& p, const Affine& t, bool shown) override
    {
        if (!shown || p.temporary) return;
        const QPointF at = Px(t, p.x, p.y);
        if (Outside(at.x(), at.y(), at.x(), at.y())) return;
        // A pen of its own RGB comes from a drawing without paper sizes (DXF): a pixel's dot.
        const double r = p.pen.hasRgb ? 1 : Dot();
        if (Spend(ink_, kPainterCost * (4 * r * r + 8))) points_.push_back({at, Colour(p.pen), r});
    }

    void Text(const DrawingText& x, const Affine& t, bool shown) override
    {
        if (!shown || IsSettingRecord(x)) return;
        double xs[4], ys[4];
        TextCorners(x, t, xs, ys);
        QPointF c[4];
        for (int i = 0; i < 4; ++i) c[i] = QPointF(ox_ + s_ * xs[i], oy_ - s_ * ys[i]);
        if (Outside(std::min({c[0].x(), c[1].x(), c[2].x(), c[3].x()}), std::min({c[0].y(), c[1].y(), c[2].y(), c[3].y()}),
                    std::max({c[0].x(), c[1].x(), c[2].x(), c[3].x()}), std::max({c[0].y(), c[1].y(), c[2].y(), c[3].y()})))
            return;
        const QRgb colour = Colour(x.pen);
        const QPointF up = c[3] - c[0];
        const double height = std::hypot(up.x(), up.y());
        if (height < kMinGlyphPixels || texts_.size() >= kMaxLetteredTexts) {
            // A band along the middle of the text's box, lighter than its letters would be.
            const QPointF half = up / 2;
            const Stroke band{Halfway(colour, qRgb(255, 255, 255)), std::max(1.0, height * 0.6), 0};
            if (Spend(ink_, Cost(band, Length(c[0], c[1])))) bands_[band].lines.emplace_back(c[0] + half, c[1] + half);
            return;
        }
        QString content = DrawingStringText(x.content);
        // Contents that start with ^@ are the CAD program's commands (pictures and the like).
        if (content.isEmpty() || content.startsWith(QLatin1String("^@"))) return;
        texts_.push_back({std::move(content), FontFamily(DrawingStringText(x.font)), c[0], c[1], up, colour});
    }

    void Solid(const DrawingSolid& s, const Affine& t, bool shown) override
    {
        if (!shown) return;
        const QRgb colour = s.hasRgb && !only_ ? FromColorRef(s.rgb) : Colour(s.pen);
        QPainterPath path;
        const auto& v = s.v;
        if (s.pen.style <= 100) {
            // Corners in the order the file holds them.
            QPolygonF quad;
            for (int i = 0; i < 4; ++i) quad << Px(t, v[2 * i], v[2 * i + 1]);
            path.addPolygon(quad);
        } else {
            const FilledArc kind = FilledArcKind(s);
            const bool whole = kind == FilledArc::Whole || kind == FilledArc::Ring;
            QPolygonF outline;
            if (!CurvePoints(PlaceEllipse(t, v[0], v[1], v[2], v[3], v[4]), v[5], whole ? kTwoPi : v[6], outline)) return;
            if (kind == FilledArc::Sector) outline << Px(t, v[0], v[1]);
            path.addPolygon(outline);
            QPolygonF inner;
            if (kind == FilledArc::Ring && v[7] > 0 && v[7] < v[2] &&
                CurvePoints(PlaceEllipse(t, v[0], v[1], v[7], v[3], v[4]), 0, kTwoPi, inner))
                path.addPolygon(inner);
            path.setFillRule(Qt::OddEvenFill);
        }
        const QRectF box = path.boundingRect();
        if (Outside(box.left(), box.top(), box.right(), box.bottom())) return;
        const QRectF seen = box & view_;
        if (Spend(fill_, seen.width() * seen.height() + kPainterCost * 16)) solids_.push_back({std::move(path), colour});
    }

    void Polygon(const DrawingPolygon& g, const Affine& t, bool shown) override
    {
        if (!shown) return;
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        std::size_t from = 0;
        for (const std::uint32_t end : g.ends) {
            if (end <= from || std::size_t(end) * 2 > g.xy.size()) break;
            QPolygonF ring;
            ring.reserve(qsizetype(end - from));
            for (std::size_t i = from; i < end; ++i) ring << Px(t, g.xy[2 * i], g.xy[2 * i + 1]);
            path.addPolygon(ring);
            path.closeSubpath();
            from = end;
        }
        const QRectF box = path.boundingRect();
        if (path.isEmpty() || Outside(box.left(), box.top(), box.right(), box.bottom())) return;
        const QRectF seen = box & view_;
        // The outline is walked once more for the fill: its points cost too.
        if (Spend(fill_, seen.width() * seen.height() + kPainterCost * (16 + double(from))))
            solids_.push_back({std::move(path), Colour(g.pen)});
    }

    void Speck(const DrawingBox& box, const DrawingPen& pen, bool shown) override
    {
        if (!shown || box.empty) return;
        const QRectF r(QPointF(ox_ + s_ * box.minX, oy_ - s_ * box.maxY), QPointF(ox_ + s_ * box.maxX, oy_ - s_ * box.minY));
        if (Outside(r.left(), r.top(), r.right(), r.bottom())) return;
        const bool dot = r.width() < 1.5 && r.height() < 1.5;
        if (Spend(ink_, dot ? kPainterCost : kPainterCost * 2 * (r.width() + r.height()))) specks_.push_back({r, Colour(pen)});
    }

    // pixels: the image painted on, when lines may be drawn into it directly.
    void Finish(QPainter& p, QImage* pixels)
    {
        p.save();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.setPen(Qt::NoPen);
        for (const auto& [path, colour] : solids_) {
            p.setBrush(QColor(colour));
            p.drawPath(path);
        }
        p.setBrush(Qt::NoBrush);
        std::optional<Pixels> direct;
        if (pixels) direct.emplace(*pixels);
        for (const auto* buckets : {&bands_, &lines_}) {
            for (const auto& [stroke, strokes] : *buckets) {
                const auto& [colour, width, type] = stroke;
                if (direct && width == 0 && type == 0) {
                    for (const QLineF& l : strokes.lines) direct->Line(l.p1(), l.p2(), colour);
                    for (const QPolygonF& curve : strokes.curves)
                        for (qsizetype i = 1; i < curve.size(); ++i) direct->Line(curve[i - 1], curve[i], colour);
                    continue;
                }
                QPen pen(QColor(colour), width);
                pen.setCapStyle(Qt::FlatCap);
                if (type != 0) {
                    // Dashes count in pen widths.
                    QList<qreal> dashes;
                    for (double mm : kDashesMm[type]) dashes << std::max(0.5, mm * s_ / std::max(1.0, width));
                    pen.setDashPattern(dashes);
                }
                p.setPen(pen);
                p.drawLines(strokes.lines.data(), int(strokes.lines.size()));
                for (const QPolygonF& curve : strokes.curves) p.drawPolyline(curve);
            }
        }
        // Inserts too small to see: a dot; those past the bound of work: their box.
        for (const auto& [r, colour] : specks_) {
            if (r.width() < 1.5 && r.height() < 1.5) {
                if (direct) direct->Dot(r.center(), colour);
                else p.fillRect(QRectF(r.center() - QPointF(0.5, 0.5), QSizeF(1, 1)), QColor(colour));
                continue;
            }
            p.setPen(QPen(QColor(colour), 0));
            p.drawRect(r);
        }
        p.setPen(Qt::NoPen);
        for (const auto& [at, colour, r] : points_) {
            p.setBrush(QColor(colour));
            p.drawEllipse(at, r, r);
        }
        for (const TextItem& item : texts_) DrawText(p, item);
        p.restore();
    }

private:
    QPointF Px(const Affine& t, double x, double y) const
    {
        double px, py;
        t.Map(x, y, px, py);
        return {ox_ + s_ * px, oy_ - s_ * py};
    }

    bool Outside(double left, double top, double right, double bottom) const
    {
        return right < view_.left() || left > view_.right() || bottom < view_.top() || top > view_.bottom();
    }

    QRgb Colour(const DrawingPen& pen) const
    {
        if (only_) return *only_;
        if (pen.hasRgb) {
            const QRgb c = FromColorRef(pen.rgb);
            return qGray(c) > 0xF0 ? kBlack : c;   // white on the white paper would vanish
        }
        if (pen.colour >= 1 && pen.colour <= 9) return pens_[pen.colour];
        const std::size_t sxf = std::size_t(pen.colour) - 100;
        if (pen.colour >= 100 && sxf < d_.sxfColours.size()) {
            const QRgb c = FromColorRef(d_.sxfColours[sxf]);
            return qGray(c) > 0xF0 ? kBlack : c;   // white on the white paper would vanish
        }
        return kBlack;
    }

    // Line width in pixels; below one, 0: the thinnest line the device draws.
    double Width(const DrawingPen& pen) const
    {
        unsigned units = pen.width;
        if (units == 0 || units > 500)
            units = pen.colour >= 1 && pen.colour <= 9 && d_.printerWidths.size() == 10 ? d_.printerWidths[pen.colour] : 1;
        const double px = std::min(units, 500u) * widthUnitMm_ * s_;
        return px < 1 ? 0 : std::round(px * 4) / 4;
    }

    Stroke StrokeOf(const DrawingPen& pen) const
    {
        const int type = pen.style < 10 ? pen.style : 1;
        QRgb colour = Colour(pen);
        if (type == kAuxiliaryLine) colour = Halfway(Halfway(colour, qRgb(255, 255, 255)), qRgb(255, 255, 255));
        double pattern = 0;
        for (double mm : kDashesMm[type]) pattern += mm;
        return {colour, Width(pen), pattern * s_ >= kMinDashPatternPixels ? type : 0};
    }

    // Ink of a stroke's line this long in pixels: thin solid lines go pixel by pixel.
    static double Cost(const Stroke& stroke, double length)
    {
        const auto& [colour, width, type] = stroke;
        return width == 0 && type == 0 ? length : kPainterCost * std::max(1.0, width) * length;
    }

    // Takes the cost from the budget while any is left; every item costs a pixel at
    // least, so that what is kept stays bounded too.
    static bool Spend(double& budget, double cost)
    {
        if (!(budget > 0)) return false;
        budget -= std::max(1.0, cost);
        return true;
    }

    double Dot() const { return std::max(1.0, 0.3 * s_); }

    // Points of the curve o + m (cos u, sin u) in pixels for u over the sweep, pieces
    // short enough to look round; false when it lies outside the view.
    bool CurvePoints(const PlacedCurve& c, double start, double sweep, QPolygonF& out) const
    {
        const double m00 = s_ * c.m00, m01 = s_ * c.m01, m10 = -s_ * c.m10, m11 = -s_ * c.m11;
        const double cx = ox_ + s_ * c.ox, cy = oy_ - s_ * c.oy;
        const double rx = std::hypot(m00, m01), ry = std::hypot(m10, m11), r = std::max(rx, ry);
        if (Outside(cx - rx, cy - ry, cx + rx, cy + ry)) return false;
        const double step = r > kArcTolerancePixels ? 2 * std::acos(1 - kArcTolerancePixels / r) : std::numbers::pi / 2;
        const int pieces = std::clamp(int(std::ceil(std::fabs(sweep) / step)), 2, kMaxArcPieces);
        out.reserve(pieces + 1);
        for (int i = 0; i <= pieces; ++i) {
            const double u = start + sweep * i / pieces;
            const double cu = std::cos(u), su = std::sin(u);
            out << QPointF(cx + m00 * cu + m01 * su, cy + m10 * cu + m11 * su);
        }
        return true;
    }

    // The text laid into its box: the font's em square (as Japanese fonts lay it, a
    // tenth and a bit below the baseline) fills the height, the advance is stretched to
    // the box's length.
    static void DrawText(QPainter& p, const TextItem& item)
    {
        const QPointF along = item.end - item.start;
        const double height = std::hypot(item.up.x(), item.up.y());
        QFont font(item.family);
        const int em = std::max(1, int(std::lround(height)));
        font.setPixelSize(em);
        const double advance = QFontMetricsF(font).horizontalAdvance(item.text);
        if (advance <= 0 || std::hypot(along.x(), along.y()) < 0.5) return;
        const QPointF unitUp = item.up / em;
        const QTransform place(along.x() / advance, along.y() / advance, -unitUp.x(), -unitUp.y(),
                               item.start.x() + item.up.x() * kEmBelowBaseline, item.start.y() + item.up.y() * kEmBelowBaseline);
        p.save();
        p.setTransform(place, true);
        p.setFont(font);
        p.setPen(QColor(item.colour));
        p.drawText(QPointF(0, 0), item.text);
        p.restore();
    }

    const JwwDrawing& d_;
    double s_, ox_, oy_;
    QRectF view_;
    std::optional<QRgb> only_;   // every pen in this colour
    QRgb pens_[10];
    double widthUnitMm_;
    std::map<Stroke, Strokes> lines_, bands_;
    std::vector<std::pair<QPainterPath, QRgb>> solids_;
    std::vector<std::tuple<QPointF, QRgb, double>> points_;
    std::vector<std::pair<QRectF, QRgb>> specks_;
    double ink_ = 0, fill_ = 0;   // what lines, points and specks, and solids, may still cost
    std::vector<TextItem> texts_;
};

// The frame with the margin around it.
DrawingBox WithMargin(DrawingBox frame)
{
    const double m = kMargin * std::max(frame.Width(), frame.Height());
    frame.minX -= m;
    frame.minY -= m;
    frame.maxX += m;
    frame.maxY += m;
    return frame;
}

} // namespace

QString DrawingStringText(const DrawingString& s)
{
    if (!s.utf16) return ToQ(s.bytes);
    std::u16string units(s.bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(static_cast<unsigned char>(s.bytes[2 * i]) | static_cast<unsigned char>(s.bytes[2 * i + 1]) << 8);
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

DrawingBox DrawingFrame(const JwwDrawing& drawing)
{
    DrawingBox frame = DrawingExtents(drawing, BoxOf::Shown);
    if (frame.empty) {
        double width, height;
        PaperSize(drawing.paper, width, height);
        frame.Add(-width / 2, -height / 2);
        frame.Add(width / 2, height / 2);
    }
    // A single point or a straight line still gets a little paper around it.
    const double cx = (frame.minX + frame.maxX) / 2, cy = (frame.minY + frame.maxY) / 2;
    const double w = std::max(frame.Width(), 1.0), h = std::max(frame.Height(), 1.0);
    frame.minX = cx - w / 2;
    frame.maxX = cx + w / 2;
    frame.minY = cy - h / 2;
    frame.maxY = cy + h / 2;
    return frame;
}

void DrawDrawing(QPainter& painter, const JwwDrawing& drawing, double scale, double originX, double originY)
{
    DrawDrawingInColour(painter, drawing, scale, originX, originY, std::nullopt);
}

void DrawDrawingInColour(QPainter& painter, const JwwDrawing& drawing, double scale, double originX, double originY,
                         std::optional<QRgb> colour)
{
    // What lies outside the painter's view is not drawn (a zoomed view shows little of it).
    QRectF view;
    if (painter.hasClipping())
        view = painter.clipBoundingRect();
    else if (painter.device())
        view = painter.transform().inverted().mapRect(QRectF(0, 0, painter.device()->width(), painter.device()->height()));
    Renderer renderer(drawing, scale, originX, originY, view, colour);
    // An insert smaller than a pixel is drawn as one.
    WalkLimits limits;
    limits.leastSize = scale > 0 ? 1 / scale : 0;
    WalkDrawing(drawing, renderer, limits);
    // Thin lines go into the image itself where nothing stands between (no transform, clip
    // or blending of the painter's own).
    QImage* image = painter.device() && painter.device()->devType() == QInternal::Image ? static_cast<QImage*>(painter.device()) : nullptr;
    const bool direct = image && image->format() == QImage::Format_RGB32 &&
                        painter.transform().type() == QTransform::TxNone && !painter.hasClipping() && painter.opacity() == 1 &&
                        painter.compositionMode() == QPainter::CompositionMode_SourceOver;
    renderer.Finish(painter, direct ? image : nullptr);
}

void DrawDrawingFitted(QPainter& painter, const JwwDrawing& drawing, const DrawingBox& frame, const QRectF& target)
{
    const double w = std::max(frame.Width(), 1e-6), h = std::max(frame.Height(), 1e-6);
    const double scale = std::min(target.width() / w, target.height() / h);
    const double cx = (frame.minX + frame.maxX) / 2, cy = (frame.minY + frame.maxY) / 2;
    DrawDrawing(painter, drawing, scale, target.center().x() - scale * cx, target.center().y() + scale * cy);
}

DrawingBox PictureFrame(const JwwDrawing& drawing) { return WithMargin(DrawingFrame(drawing)); }

QImage RenderDrawing(const JwwDrawing& drawing, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawDrawingFitted(painter, drawing, WithMargin(DrawingFrame(drawing)), QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage RenderThumbnail(const JwwDrawing& drawing, int size)
{
    if (size <= 0) return {};
    const DrawingBox frame = WithMargin(DrawingFrame(drawing));
    const double aspect = frame.Width() / frame.Height();
    const int shorter = [&] {
        const double s = aspect >= 1 ? size / aspect : size * aspect;
        return std::clamp(int(std::lround(s)), std::max(1, size / 4), size);
    }();
    return RenderDrawing(drawing, aspect >= 1 ? QSize(size, shorter) : QSize(shorter, size));
}
