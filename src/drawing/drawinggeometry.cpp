#include "drawing/drawinggeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

class Walker {
public:
    Walker(const JwwDrawing& d, DrawingVisitor& v, std::size_t maxVisits) : d_(d), v_(v), left_(maxVisits) {}

    bool List(const DrawingEntities& list, const Affine& t, bool shown, int depth)
    {
        const auto on = [&](const DrawingPen& pen) { return shown && d_.Shown(pen); };
        const bool visited =
            Each(list.solids, [&](const DrawingSolid& s) { v_.Solid(s, t, on(s.pen)); }) &&
            Each(list.lines, [&](const DrawingLine& l) { v_.Line(l, t, on(l.pen)); }) &&
            Each(list.arcs, [&](const DrawingArc& a) { v_.Arc(a, t, on(a.pen)); }) &&
            Each(list.points, [&](const DrawingPoint& p) { v_.Point(p, t, on(p.pen)); }) &&
            Each(list.dimensions, [&](const DrawingDimension& m) {
                const bool dim = on(m.pen);
                v_.Line(m.line, t, dim && d_.Shown(m.line.pen));
                v_.Text(m.text, t, dim && d_.Shown(m.text.pen));
                for (const DrawingLine& l : m.extensionLines) v_.Line(l, t, dim && d_.Shown(l.pen));
                for (const DrawingPoint& p : m.points) v_.Point(p, t, dim && d_.Shown(p.pen));
            }) &&
            Each(list.texts, [&](const DrawingText& x) { v_.Text(x, t, on(x.pen)); });
        if (!visited) return false;
        for (const DrawingInsert& b : list.inserts) {
            if (!Visit()) return false;
            const DrawingBlock* block = d_.Block(b.definition);
            // Unresolved, too deep, or a definition that holds itself: left out.
            if (!block || depth >= kMaxBlockDepth || std::find(open_.begin(), open_.end(), block) != open_.end())
                continue;
            open_.push_back(block);
            const bool whole = List(block->entities, t * Affine::OfInsert(b), on(b.pen), depth + 1);
            open_.pop_back();
            if (!whole) return false;
        }
        return true;
    }

private:
    template <class T, class F>
    bool Each(const std::vector<T>& items, F visit)
    {
        for (const T& item : items) {
            if (!Visit()) return false;
            visit(item);
        }
        return true;
    }

    bool Visit()
    {
        if (left_ == 0) return false;
        --left_;
        return true;
    }

    const JwwDrawing& d_;
    DrawingVisitor& v_;
    std::size_t left_;
    std::vector<const DrawingBlock*> open_;
};

// P(u) = o + m (cos u, sin u), the shape every arc of the drawing takes after its
// transform; its box over u in [start, start + sweep], or the whole curve.
void AddCurve(DrawingBox& box, const PlacedCurve& p, double start, double sweep, bool whole)
{
    const double ox = p.ox, oy = p.oy, m00 = p.m00, m01 = p.m01, m10 = p.m10, m11 = p.m11;
    if (whole || std::fabs(sweep) >= kTwoPi) {
        const double rx = std::hypot(m00, m01), ry = std::hypot(m10, m11);
        box.Add(ox - rx, oy - ry);
        box.Add(ox + rx, oy + ry);
        return;
    }
    const double lo = std::min(start, start + sweep), hi = std::max(start, start + sweep);
    const auto at = [&](double u) { box.Add(ox + m00 * std::cos(u) + m01 * std::sin(u), oy + m10 * std::cos(u) + m11 * std::sin(u)); };
    at(lo);
    at(hi);
    // Where x or y turns: tan u = m01 / m00 and tan u = m11 / m10, each twice a turn.
    const double turns[] = {std::atan2(m01, m00), std::atan2(m01, m00) + std::numbers::pi, std::atan2(m11, m10),
                            std::atan2(m11, m10) + std::numbers::pi};
    for (double c : turns) {
        double u = c + kTwoPi * std::ceil((lo - c) / kTwoPi);
        for (int i = 0; i < 2 && u <= hi; ++i, u += kTwoPi) at(u);
    }
}

class ExtentsVisitor : public DrawingVisitor {
public:
    explicit ExtentsVisitor(BoxOf which) : which_(which) {}
    DrawingBox box;

    void Line(const DrawingLine& l, const Affine& t, bool shown) override
    {
        if (!Counts(shown)) return;
        AddPoint(t, l.x1, l.y1);
        AddPoint(t, l.x2, l.y2);
    }
    void Arc(const DrawingArc& a, const Affine& t, bool shown) override
    {
        if (Counts(shown)) AddArc(box, a, t);
    }
    void Point(const DrawingPoint& p, const Affine& t, bool shown) override
    {
        if (Counts(shown) && !p.temporary) AddPoint(t, p.x, p.y);
    }
    void Text(const DrawingText& x, const Affine& t, bool shown) override
    {
        if (Counts(shown)) AddText(box, x, t);
    }
    void Solid(const DrawingSolid& s, const Affine& t, bool shown) override
    {
        if (Counts(shown)) AddSolid(box, s, t);
    }

private:
    bool Counts(bool shown) const { return which_ == BoxOf::Everything || shown; }
    void AddPoint(const Affine& t, double x, double y)
    {
        double px, py;
        t.Map(x, y, px, py);
        box.Add(px, py);
    }
    BoxOf which_;
};

} // namespace

Affine Affine::OfInsert(const DrawingInsert& insert)
{
    const double c = std::cos(insert.rotation), s = std::sin(insert.rotation);
    return Affine{c * insert.scaleX, s * insert.scaleX, -s * insert.scaleY, c * insert.scaleY, insert.x, insert.y};
}

Affine Affine::operator*(const Affine& in) const
{
    return Affine{a * in.a + c * in.b, b * in.a + d * in.b, a * in.c + c * in.d,
                  b * in.c + d * in.d, a * in.e + c * in.f + e, b * in.e + d * in.f + f};
}

void DrawingBox::Add(double x, double y)
{
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty) {
        minX = maxX = x;
        minY = maxY = y;
        empty = false;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

void DrawingBox::Add(const DrawingBox& other)
{
    if (other.empty) return;
    Add(other.minX, other.minY);
    Add(other.maxX, other.maxY);
}

bool WalkDrawing(const JwwDrawing& drawing, DrawingVisitor& visitor, std::size_t maxVisits)
{
    Walker walker(drawing, visitor, maxVisits);
    return walker.List(drawing.entities, Affine{}, true, 0);
}

bool IsSettingRecord(const DrawingText& text) { return text.x1 == text.x2 && text.y1 == text.y2; }

PlacedCurve PlaceEllipse(const Affine& t, double cx, double cy, double radius, double flatness, double tilt)
{
    const double ct = std::cos(tilt), st = std::sin(tilt);
    const double lx0 = radius * ct, lx1 = -radius * flatness * st, ly0 = radius * st, ly1 = radius * flatness * ct;
    PlacedCurve p;
    t.Map(cx, cy, p.ox, p.oy);
    p.m00 = t.a * lx0 + t.c * ly0;
    p.m01 = t.a * lx1 + t.c * ly1;
    p.m10 = t.b * lx0 + t.d * ly0;
    p.m11 = t.b * lx1 + t.d * ly1;
    return p;
}

void AddArc(DrawingBox& box, const DrawingArc& arc, const Affine& t)
{
    AddCurve(box, PlaceEllipse(t, arc.cx, arc.cy, arc.radius, arc.flatness, arc.tilt), arc.start, arc.sweep, arc.closed);
}

void TextCorners(const DrawingText& text, const Affine& t, double xs[4], double ys[4])
{
    const double angle = text.angle * std::numbers::pi / 180;
    const double upX = -std::sin(angle) * text.sizeY, upY = std::cos(angle) * text.sizeY;
    t.Map(text.x1, text.y1, xs[0], ys[0]);
    t.Map(text.x2, text.y2, xs[1], ys[1]);
    t.Map(text.x2 + upX, text.y2 + upY, xs[2], ys[2]);
    t.Map(text.x1 + upX, text.y1 + upY, xs[3], ys[3]);
}

void AddText(DrawingBox& box, const DrawingText& text, const Affine& t)
{
    if (IsSettingRecord(text)) return;
    double xs[4], ys[4];
    TextCorners(text, t, xs, ys);
    for (int i = 0; i < 4; ++i) box.Add(xs[i], ys[i]);
}

void AddSolid(DrawingBox& box, const DrawingSolid& solid, const Affine& t)
{
    const auto& v = solid.v;
    if (solid.pen.style <= 100) {
        for (int i = 0; i < 4; ++i) {
            double x, y;
            t.Map(v[2 * i], v[2 * i + 1], x, y);
            box.Add(x, y);
        }
        return;
    }
    // A filled arc: centre, radius, flatness, tilt, start, sweep, mode. A sector reaches
    // its centre; the other forms lie within the curve's box.
    const PlacedCurve curve = PlaceEllipse(t, v[0], v[1], v[2], v[3], v[4]);
    const FilledArc kind = FilledArcKind(solid);
    AddCurve(box, curve, v[5], v[6], kind == FilledArc::Whole || kind == FilledArc::Ring);
    if (kind == FilledArc::Sector) box.Add(curve.ox, curve.oy);
}

FilledArc FilledArcKind(const DrawingSolid& solid)
{
    const double mode = solid.v[7], sweep = solid.v[6];
    if (solid.pen.style == 105 || solid.pen.style == 106) return FilledArc::Ring;
    if (mode == 100 || std::fabs(sweep) >= kTwoPi) return FilledArc::Whole;
    if (mode == -1 || mode == 5) return FilledArc::Segment;
    return FilledArc::Sector;
}

DrawingBox DrawingExtents(const JwwDrawing& drawing, BoxOf which)
{
    ExtentsVisitor visitor(which);
    WalkDrawing(drawing, visitor);
    return visitor.box;
}

void PaperSize(std::uint32_t code, double& width, double& height)
{
    static constexpr double kSizes[][2] = {{1189, 841},   {841, 594},   {594, 420},   {420, 297},
                                           {297, 210},    {420, 297},   {420, 297},   {420, 297},
                                           {1682, 1189},  {2378, 1682}, {3364, 2378}, {4756, 3364},
                                           {10000, 7071}, {50000, 35355}, {100000, 70711}};
    const auto* size = code < std::size(kSizes) ? kSizes[code] : kSizes[3];
    width = size[0];
    height = size[1];
}
