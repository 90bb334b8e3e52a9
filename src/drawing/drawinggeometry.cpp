#include "drawing/drawinggeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <queue>
#include <utility>
#include <vector>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

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
    void Polygon(const DrawingPolygon& p, const Affine& t, bool shown) override
    {
        if (Counts(shown)) AddPolygon(box, p, t);
    }
    void Speck(const DrawingBox& placed, const DrawingPen&, bool shown) override
    {
        if (Counts(shown)) box.Add(placed);
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

std::size_t OwnCount(const DrawingEntities& e)
{
    return e.lines.size() + e.arcs.size() + e.points.size() + e.texts.size() + e.solids.size() + e.dimensions.size() +
           e.polygons.size();
}

// Visits the list's own entities (not its inserts) while visits are left; false when
// they ran out first.
bool VisitOwn(const JwwDrawing& d, const DrawingEntities& list, const Affine& t, bool shown, DrawingVisitor& v, std::size_t& left)
{
    const auto on = [&](const DrawingPen& pen) { return shown && d.Shown(pen); };
    const auto each = [&](const auto& items, auto visit) {
        for (const auto& item : items) {
            if (left == 0) return false;
            --left;
            visit(item);
        }
        return true;
    };
    return each(list.polygons, [&](const DrawingPolygon& p) { v.Polygon(p, t, on(p.pen)); }) &&
           each(list.solids, [&](const DrawingSolid& s) { v.Solid(s, t, on(s.pen)); }) &&
           each(list.lines, [&](const DrawingLine& l) { v.Line(l, t, on(l.pen)); }) &&
           each(list.arcs, [&](const DrawingArc& a) { v.Arc(a, t, on(a.pen)); }) &&
           each(list.points, [&](const DrawingPoint& p) { v.Point(p, t, on(p.pen)); }) &&
           each(list.dimensions, [&](const DrawingDimension& m) {
               const bool dim = on(m.pen);
               v.Line(m.line, t, dim && d.Shown(m.line.pen));
               v.Text(m.text, t, dim && d.Shown(m.text.pen));
               for (const DrawingLine& l : m.extensionLines) v.Line(l, t, dim && d.Shown(l.pen));
               for (const DrawingPoint& p : m.points) v.Point(p, t, dim && d.Shown(p.pen));
           }) &&
           each(list.texts, [&](const DrawingText& x) { v.Text(x, t, on(x.pen)); });
}

// The box a box covers once placed by t.
DrawingBox Placed(const DrawingBox& box, const Affine& t)
{
    DrawingBox out;
    if (box.empty) return out;
    for (const double x : {box.minX, box.maxX})
        for (const double y : {box.minY, box.maxY}) {
            double px, py;
            t.Map(x, y, px, py);
            out.Add(px, py);
        }
    return out;
}

// What the walk knows of a definition before expanding it: the box of all it places
// (its inserts' boxes placed whole, so a little larger than the exact one where they
// are turned) and the pen of the first thing it holds.
struct BlockSummary {
    DrawingBox box;
    DrawingPen pen;
    bool hasPen = false;
};

std::int64_t BlockAt(const JwwDrawing& d, std::uint32_t number)
{
    const DrawingBlock* b = d.Block(number);
    return b ? b - d.blocks.data() : -1;
}

// Every definition once, those it inserts before it (a definition that holds itself
// through others leaves that insert out), without recursion: chains of definitions may
// be as long as the file allows.
std::vector<BlockSummary> Summarise(const JwwDrawing& d)
{
    const std::size_t n = d.blocks.size();
    std::vector<std::uint8_t> state(n, 0);   // 0 not reached, 1 open, 2 summarised
    std::vector<std::uint32_t> order;
    order.reserve(n);
    struct Frame {
        std::uint32_t block;
        std::size_t next;
    };
    std::vector<Frame> stack;
    for (std::uint32_t root = 0; root < n; ++root) {
        if (state[root] != 0) continue;
        state[root] = 1;
        stack.push_back({root, 0});
        while (!stack.empty()) {
            const std::uint32_t block = stack.back().block;
            const auto& inserts = d.blocks[block].entities.inserts;
            if (stack.back().next < inserts.size()) {
                const std::int64_t child = BlockAt(d, inserts[stack.back().next++].definition);
                if (child >= 0 && state[std::size_t(child)] == 0) {
                    state[std::size_t(child)] = 1;
                    stack.push_back({std::uint32_t(child), 0});
                }
                continue;
            }
            state[block] = 2;
            order.push_back(block);
            stack.pop_back();
        }
    }
    std::vector<BlockSummary> out(n);
    std::vector<bool> made(n, false);
    for (const std::uint32_t i : order) {
        const DrawingEntities& e = d.blocks[i].entities;
        BlockSummary& s = out[i];
        ExtentsVisitor own(BoxOf::Everything);
        std::size_t all = OwnCount(e);
        VisitOwn(d, e, Affine{}, true, own, all);
        s.box = own.box;
        const DrawingPen* first = !e.lines.empty() ? &e.lines.front().pen
                                  : !e.arcs.empty() ? &e.arcs.front().pen
                                  : !e.solids.empty() ? &e.solids.front().pen
                                  : !e.texts.empty() ? &e.texts.front().pen
                                  : !e.dimensions.empty() ? &e.dimensions.front().pen
                                  : !e.points.empty() ? &e.points.front().pen
                                  : !e.polygons.empty() ? &e.polygons.front().pen : nullptr;
        if (first) {
            s.pen = *first;
            s.hasPen = true;
        }
        for (const DrawingInsert& insert : e.inserts) {
            const std::int64_t child = BlockAt(d, insert.definition);
            if (child < 0 || !made[std::size_t(child)]) continue;   // unresolved, or holds this one
            const BlockSummary& c = out[std::size_t(child)];
            s.box.Add(Placed(c.box, Affine::OfInsert(insert)));
            if (!s.hasPen && c.hasPen) {
                s.pen = c.pen;
                s.hasPen = true;
            }
        }
        made[i] = true;
    }
    return out;
}

// Expands inserts the largest first, each only when what it holds itself fits in the
// visits left; the rest become specks.
class Walker {
public:
    Walker(const JwwDrawing& d, DrawingVisitor& v, const WalkLimits& limits) : d_(d), v_(v), limits_(limits), left_(limits.maxVisits) {}

    bool Run()
    {
        if (!VisitOwn(d_, d_.entities, Affine{}, true, v_, left_)) return false;
        if (d_.entities.inserts.empty()) return true;
        sums_ = Summarise(d_);
        if (limits_.leastShare > 0) {
            ExtentsVisitor whole(BoxOf::Everything);
            std::size_t all = OwnCount(d_.entities);
            VisitOwn(d_, d_.entities, Affine{}, true, whole, all);
            for (const DrawingInsert& insert : d_.entities.inserts) {
                const std::int64_t block = BlockAt(d_, insert.definition);
                if (block >= 0) whole.box.Add(Placed(sums_[std::size_t(block)].box, Affine::OfInsert(insert)));
            }
            const double size = std::max(whole.box.Width(), whole.box.Height());
            if (std::isfinite(size)) limits_.leastSize = std::max(limits_.leastSize, size * limits_.leastShare);
        }
        for (const DrawingInsert& insert : d_.entities.inserts)
            if (!Offer(insert, Affine{}, true, -1, 0)) return false;
        while (!open_.empty()) {
            const std::uint32_t at = open_.top().second;
            open_.pop();
            const Node node = nodes_[at];
            const DrawingEntities& e = d_.blocks[node.block].entities;
            const BlockSummary& s = sums_[node.block];
            if (OwnCount(e) + e.inserts.size() > left_) {
                v_.Speck(Placed(s.box, node.t), s.pen, node.shown);
                whole_ = false;
                continue;
            }
            VisitOwn(d_, e, node.t, node.shown, v_, left_);
            for (const DrawingInsert& insert : e.inserts) Offer(insert, node.t, node.shown, std::int32_t(at), node.depth);
        }
        return whole_;
    }

private:
    struct Node {
        Affine t;
        std::uint32_t block = 0;
        std::int32_t parent = -1;   // the node whose list holds the insert; -1: the main list
        int depth = 0;              // of the definition's list
        bool shown = true;
    };

    // An insert of the list of node `parent` (at depth): left out, a speck, or opened
    // for expansion. False when no visit was left for it.
    bool Offer(const DrawingInsert& insert, const Affine& outer, bool shown, std::int32_t parent, int depth)
    {
        if (left_ == 0) return false;
        --left_;
        const std::int64_t block = BlockAt(d_, insert.definition);
        // Unresolved, too deep, or a definition that holds itself: left out.
        if (block < 0 || depth >= kMaxBlockDepth) return true;
        for (std::int32_t p = parent; p >= 0; p = nodes_[std::size_t(p)].parent)
            if (nodes_[std::size_t(p)].block == std::uint32_t(block)) return true;
        const BlockSummary& s = sums_[std::size_t(block)];
        if (s.box.empty) return true;   // holds nothing that lands on the paper
        const Affine t = outer * Affine::OfInsert(insert);
        const DrawingBox placed = Placed(s.box, t);
        const bool on = shown && d_.Shown(insert.pen);
        const double size = std::max(placed.Width(), placed.Height());
        const bool bound = nodes_.size() >= kMaxWalkInserts;
        if (placed.empty || size < limits_.leastSize || bound) {
            whole_ = whole_ && !bound;
            v_.Speck(placed, s.pen, on);
            return true;
        }
        nodes_.push_back({t, std::uint32_t(block), parent, depth + 1, on});
        open_.push({size, std::uint32_t(nodes_.size() - 1)});
        return true;
    }

    const JwwDrawing& d_;
    DrawingVisitor& v_;
    WalkLimits limits_;
    std::size_t left_;
    bool whole_ = true;
    std::vector<BlockSummary> sums_;
    std::vector<Node> nodes_;
    std::priority_queue<std::pair<double, std::uint32_t>> open_;
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

bool WalkDrawing(const JwwDrawing& drawing, DrawingVisitor& visitor, const WalkLimits& limits)
{
    Walker walker(drawing, visitor, limits);
    return walker.Run();
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

void AddPolygon(DrawingBox& box, const DrawingPolygon& polygon, const Affine& t)
{
    for (std::size_t i = 0; i + 1 < polygon.xy.size(); i += 2) {
        double x, y;
        t.Map(polygon.xy[i], polygon.xy[i + 1], x, y);
        box.Add(x, y);
    }
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
    // Finer than any picture of it needs: a speck's box is near enough.
    WalkLimits limits;
    limits.leastShare = 1.0 / 16384;
    WalkDrawing(drawing, visitor, limits);
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
