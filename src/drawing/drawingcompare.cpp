#include "drawing/drawingcompare.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <numbers>
#include <type_traits>
#include <utility>

namespace {

// Candidates looked at for one entity past the exact match: drawings where thousands of
// entities stand within a hundredth of a millimetre of each other must not cost n².
constexpr std::size_t kMaxCandidates = 16;
constexpr int kMaxValues = 10;
// Angles count by what they move a point this far from their centre.
constexpr double kAngleArmMm = 10;
// Scales count as a drawing of this size would move.
constexpr double kScaleArmMm = 100;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v)
{
    std::uint64_t z = h ^ (v + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2));
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t MixBytes(std::uint64_t h, const DrawingString& s)
{
    std::uint64_t f = 0xCBF29CE484222325ULL;
    for (unsigned char c : s.bytes) f = (f ^ c) * 0x100000001B3ULL;
    return Mix(Mix(h, f), s.utf16 ? 1 : 0);
}

std::uint64_t MixPen(std::uint64_t h, const DrawingPen& p)
{
    return Mix(h, std::uint64_t(p.style) | std::uint64_t(p.colour) << 8 | std::uint64_t(p.width) << 24 |
                      std::uint64_t(p.layer) << 40 | std::uint64_t(p.group) << 56);
}

bool SamePen(const DrawingPen& a, const DrawingPen& b)
{
    return a.style == b.style && a.colour == b.colour && a.width == b.width && a.layer == b.layer && a.group == b.group;
}

bool SameString(const DrawingString& a, const DrawingString& b) { return a.utf16 == b.utf16 && a.bytes == b.bytes; }

// An entity's places, in units of the tolerance.
struct Values {
    std::array<double, kMaxValues> v{};
    int n = 0;
    void Mm(double mm) { v[std::size_t(n++)] = mm / kCompareToleranceMm; }
};

// Whole units, with one value for everything that is not a finite number of sensible size.
std::int64_t Whole(double v, bool floor)
{
    if (!(std::fabs(v) < 1e15)) return std::numeric_limits<std::int64_t>::min();
    return floor ? std::int64_t(std::floor(v)) : std::llround(v);
}

bool Within(const Values& a, const Values& b)
{
    if (a.n != b.n) return false;
    for (int i = 0; i < a.n; ++i)
        if (!(std::fabs(a.v[std::size_t(i)] - b.v[std::size_t(i)]) <= 1 + 1e-9)) return false;
    return true;
}

// What the matching needs of each kind: its places, and a hash and a test of what must
// be equal besides them (pen, layer, content).
struct LineKind {
    using T = DrawingLine;
    static bool Skip(const T&) { return false; }
    static void Place(const T& l, const JwwDrawing&, Values& v)
    {
        // A line drawn the other way round is the same line.
        const bool swap = std::tie(l.x2, l.y2) < std::tie(l.x1, l.y1);
        v.Mm(swap ? l.x2 : l.x1), v.Mm(swap ? l.y2 : l.y1), v.Mm(swap ? l.x1 : l.x2), v.Mm(swap ? l.y1 : l.y2);
    }
    static std::uint64_t Attr(const T& l, const JwwDrawing&) { return MixPen(1, l.pen); }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&) { return SamePen(a.pen, b.pen); }
};

struct ArcKind {
    using T = DrawingArc;
    static bool Skip(const T&) { return false; }
    static bool Whole(const T& a) { return a.closed || std::fabs(a.sweep) >= 2 * std::numbers::pi; }
    static void Place(const T& a, const JwwDrawing&, Values& v)
    {
        v.Mm(a.cx), v.Mm(a.cy), v.Mm(a.radius), v.Mm(a.radius * a.flatness);
        // Angles as the distance they move the curve's ends; a whole curve has none.
        const double r = std::max(std::fabs(a.radius), 1e-3);
        const bool circle = std::fabs(a.flatness - 1) < 1e-9;
        v.Mm(circle ? 0 : std::remainder(a.tilt, 2 * std::numbers::pi) * r);
        if (!Whole(a)) v.Mm(a.start * r), v.Mm(a.sweep * r);
    }
    static std::uint64_t Attr(const T& a, const JwwDrawing&) { return Mix(MixPen(2, a.pen), Whole(a)); }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&)
    {
        return SamePen(a.pen, b.pen) && Whole(a) == Whole(b);
    }
};

struct PointKind {
    using T = DrawingPoint;
    static bool Skip(const T&) { return false; }
    static void Place(const T& p, const JwwDrawing&, Values& v) { v.Mm(p.x), v.Mm(p.y); }
    static std::uint64_t Attr(const T& p, const JwwDrawing&) { return Mix(MixPen(3, p.pen), p.temporary); }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&)
    {
        return SamePen(a.pen, b.pen) && a.temporary == b.temporary;
    }
};

struct TextKind {
    using T = DrawingText;
    static bool Skip(const T& t) { return IsSettingRecord(t); }
    static void Place(const T& t, const JwwDrawing&, Values& v)
    {
        v.Mm(t.x1), v.Mm(t.y1), v.Mm(t.x2), v.Mm(t.y2), v.Mm(t.sizeX), v.Mm(t.sizeY), v.Mm(t.spacing);
        v.Mm(std::remainder(t.angle, 360.0) * std::numbers::pi / 180 * kAngleArmMm);
    }
    static std::uint64_t Attr(const T& t, const JwwDrawing&)
    {
        return MixBytes(MixBytes(Mix(MixPen(4, t.pen), t.style), t.content), t.font);
    }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&)
    {
        return SamePen(a.pen, b.pen) && a.style == b.style && SameString(a.content, b.content) && SameString(a.font, b.font);
    }
};

struct SolidKind {
    using T = DrawingSolid;
    static bool Skip(const T&) { return false; }
    static void Place(const T& s, const JwwDrawing&, Values& v)
    {
        if (s.pen.style <= 100) {
            for (double c : s.v) v.Mm(c);
            return;
        }
        // Centre, radius, flatness, tilt, start, sweep, inner radius: angles by the radius.
        const double r = std::max(std::fabs(s.v[2]), 1e-3);
        v.Mm(s.v[0]), v.Mm(s.v[1]), v.Mm(s.v[2]), v.Mm(s.v[3] * r), v.Mm(s.v[4] * r), v.Mm(s.v[5] * r), v.Mm(s.v[6] * r),
            v.Mm(s.v[7]);
    }
    static std::uint64_t Attr(const T& s, const JwwDrawing&) { return Mix(MixPen(5, s.pen), s.hasRgb ? s.rgb | 1ULL << 32 : 0); }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&)
    {
        return SamePen(a.pen, b.pen) && a.hasRgb == b.hasRgb && (!a.hasRgb || a.rgb == b.rgb);
    }
};

// Inserts name their definition by number, which another save may renumber: the name
// is what stays.
const DrawingString* DefinitionName(const DrawingInsert& i, const JwwDrawing& d)
{
    const DrawingBlock* block = d.Block(i.definition);
    return block ? &block->name : nullptr;
}

struct InsertKind {
    using T = DrawingInsert;
    static bool Skip(const T&) { return false; }
    static void Place(const T& i, const JwwDrawing&, Values& v)
    {
        v.Mm(i.x), v.Mm(i.y), v.Mm(i.scaleX * kScaleArmMm), v.Mm(i.scaleY * kScaleArmMm);
        v.Mm(std::remainder(i.rotation, 2 * std::numbers::pi) * kAngleArmMm);
    }
    static std::uint64_t Attr(const T& i, const JwwDrawing& d)
    {
        const DrawingString* name = DefinitionName(i, d);
        return name ? MixBytes(MixPen(6, i.pen), *name) : Mix(MixPen(7, i.pen), i.definition);
    }
    static bool SameAttr(const T& a, const JwwDrawing& da, const T& b, const JwwDrawing& db)
    {
        const DrawingString *na = DefinitionName(a, da), *nb = DefinitionName(b, db);
        if (!SamePen(a.pen, b.pen)) return false;
        return na && nb ? SameString(*na, *nb) : !na && !nb && a.definition == b.definition;
    }
};

struct DimensionKind {
    using T = DrawingDimension;
    static bool Skip(const T&) { return false; }
    static void Place(const T& m, const JwwDrawing&, Values& v)
    {
        v.Mm(m.line.x1), v.Mm(m.line.y1), v.Mm(m.line.x2), v.Mm(m.line.y2), v.Mm(m.text.x1), v.Mm(m.text.y1);
        v.Mm(m.text.x2), v.Mm(m.text.y2), v.Mm(m.text.sizeY);
    }
    static std::uint64_t Attr(const T& m, const JwwDrawing&)
    {
        return MixBytes(Mix(Mix(MixPen(8, m.pen), m.extensionLines.size()), m.points.size()), m.text.content);
    }
    static bool SameAttr(const T& a, const JwwDrawing&, const T& b, const JwwDrawing&)
    {
        return SamePen(a.pen, b.pen) && SamePen(a.line.pen, b.line.pen) && SameString(a.text.content, b.text.content) &&
               a.extensionLines.size() == b.extensionLines.size() && a.points.size() == b.points.size();
    }
};

struct Keyed {
    std::uint64_t key;
    std::uint32_t index;
    bool operator<(const Keyed& o) const { return key < o.key || (key == o.key && index < o.index); }
};

// The exact key: attributes and every place rounded to whole units.
template <class K>
std::uint64_t ExactKey(const typename K::T& e, const JwwDrawing& d)
{
    Values v;
    K::Place(e, d, v);
    std::uint64_t h = K::Attr(e, d);
    for (int i = 0; i < v.n; ++i) h = Mix(h, std::uint64_t(Whole(v.v[std::size_t(i)], false)));
    return h;
}

// The cell key: attributes and the unit cell of the first two places, so that entities
// within the tolerance lie in neighbouring cells.
template <class K>
std::uint64_t CellKey(const typename K::T& e, const JwwDrawing& d, int dx, int dy)
{
    Values v;
    K::Place(e, d, v);
    return Mix(Mix(K::Attr(e, d), std::uint64_t(Whole(v.v[0], true) + dx)), std::uint64_t(Whole(v.v[1], true) + dy));
}

// Pairs each entity of a with one of b that is the same (match[i]: index in b, or -1).
// Exact keys pair almost all; those on either side of a rounding step are looked for in
// the neighbouring cells.
template <class K>
void Match(const std::vector<typename K::T>& a, const JwwDrawing& da, const std::vector<typename K::T>& b,
           const JwwDrawing& db, std::vector<std::int64_t>& match, std::vector<char>& usedB)
{
    match.assign(a.size(), -1);
    usedB.assign(b.size(), 0);
    auto same = [&](std::size_t i, std::size_t j) {
        if (!K::SameAttr(a[i], da, b[j], db)) return false;
        Values va, vb;
        K::Place(a[i], da, va);
        K::Place(b[j], db, vb);
        return Within(va, vb);
    };
    for (std::size_t j = 0; j < b.size(); ++j)
        if (K::Skip(b[j])) usedB[j] = 1;
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<Keyed> keys;
        keys.reserve(b.size());
        for (std::size_t j = 0; j < b.size(); ++j)
            if (!usedB[j]) keys.push_back({pass == 0 ? ExactKey<K>(b[j], db) : CellKey<K>(b[j], db, 0, 0), std::uint32_t(j)});
        std::sort(keys.begin(), keys.end());
        // Where the unused entries of each run of equal keys start: many equal entities
        // are paired one after the other without walking past those already paired.
        std::vector<std::uint32_t> head(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k) head[k] = std::uint32_t(k);
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (match[i] >= 0 || K::Skip(a[i])) continue;
            std::size_t looked = 0;
            for (int cell = 0; cell < (pass == 0 ? 1 : 9) && match[i] < 0 && looked < kMaxCandidates; ++cell) {
                const std::uint64_t key = pass == 0 ? ExactKey<K>(a[i], da) : CellKey<K>(a[i], da, cell % 3 - 1, cell / 3 - 1);
                const auto first = std::lower_bound(keys.begin(), keys.end(), Keyed{key, 0});
                if (first == keys.end() || first->key != key) continue;
                const std::size_t start = std::size_t(first - keys.begin());
                std::size_t k = head[start];
                while (k < keys.size() && keys[k].key == key && usedB[keys[k].index]) ++k;
                head[start] = std::uint32_t(k);
                for (; k < keys.size() && keys[k].key == key && looked < kMaxCandidates; ++k) {
                    const std::uint32_t j = keys[k].index;
                    if (usedB[j]) continue;
                    ++looked;
                    if (same(i, j)) {
                        match[i] = j;
                        usedB[j] = 1;
                        break;
                    }
                }
            }
        }
    }
}

DrawingBox BoxOfLine(const DrawingLine& l)
{
    DrawingBox box;
    box.Add(l.x1, l.y1);
    box.Add(l.x2, l.y2);
    return box;
}

// Boxes of block definitions by number, each found once: their own entities (nested
// inserts by their place alone), enough to zoom to an insert.
class BlockBoxes {
public:
    explicit BlockBoxes(const JwwDrawing& d) : d_(d) {}
    DrawingBox Of(const DrawingInsert& insert)
    {
        auto [it, added] = boxes_.try_emplace(insert.definition);
        if (added) {
            if (const DrawingBlock* block = d_.Block(insert.definition)) {
                const Affine none;
                const DrawingEntities& e = block->entities;
                for (const auto& l : e.lines) it->second.Add(BoxOfLine(l));
                for (const auto& a : e.arcs) AddArc(it->second, a, none);
                for (const auto& p : e.points) it->second.Add(p.x, p.y);
                for (const auto& t : e.texts) AddText(it->second, t, none);
                for (const auto& s : e.solids) AddSolid(it->second, s, none);
                for (const auto& i : e.inserts) it->second.Add(i.x, i.y);
                for (const auto& m : e.dimensions) it->second.Add(BoxOfLine(m.line));
            }
        }
        DrawingBox placed;
        const Affine t = Affine::OfInsert(insert);
        const DrawingBox& own = it->second;
        if (own.empty) {
            placed.Add(insert.x, insert.y);
            return placed;
        }
        for (int corner = 0; corner < 4; ++corner) {
            double x, y;
            t.Map(corner & 1 ? own.maxX : own.minX, corner & 2 ? own.maxY : own.minY, x, y);
            placed.Add(x, y);
        }
        return placed;
    }

private:
    const JwwDrawing& d_;
    std::map<std::uint32_t, DrawingBox> boxes_;
};

struct Boxes {
    BlockBoxes blocks;
    DrawingBox operator()(const DrawingLine& l) { return BoxOfLine(l); }
    DrawingBox operator()(const DrawingArc& a)
    {
        DrawingBox box;
        AddArc(box, a, Affine{});
        return box;
    }
    DrawingBox operator()(const DrawingPoint& p)
    {
        DrawingBox box;
        box.Add(p.x, p.y);
        return box;
    }
    DrawingBox operator()(const DrawingText& t)
    {
        DrawingBox box;
        AddText(box, t, Affine{});
        return box;
    }
    DrawingBox operator()(const DrawingSolid& s)
    {
        DrawingBox box;
        AddSolid(box, s, Affine{});
        return box;
    }
    DrawingBox operator()(const DrawingInsert& i) { return blocks.Of(i); }
    DrawingBox operator()(const DrawingDimension& m)
    {
        DrawingBox box = BoxOfLine(m.line);
        AddText(box, m.text, Affine{});
        return box;
    }
};

class Comparer {
public:
    Comparer(JwwDrawing& a, JwwDrawing& b, DrawingComparison& out) : a_(a), b_(b), out_(out), boxesA_{BlockBoxes(a)}, boxesB_{BlockBoxes(b)} {}

    template <class K>
    void Kind(CompareKind kind, std::vector<typename K::T>& la, std::vector<typename K::T>& lb,
              std::vector<typename K::T>& common, std::vector<typename K::T>& onlyA, std::vector<typename K::T>& onlyB)
    {
        std::vector<std::int64_t> match;
        std::vector<char> usedB;
        Match<K>(la, a_, lb, b_, match, usedB);
        std::vector<std::int64_t> changed(la.size(), -1);
        if constexpr (std::is_same_v<typename K::T, DrawingText>) PairChanged(la, lb, match, usedB, changed);
        for (std::size_t i = 0; i < la.size(); ++i) {
            if (K::Skip(la[i])) continue;
            if (match[i] >= 0) {
                ++out_.same;
                common.push_back(std::move(la[i]));
                continue;
            }
            if (changed[i] < 0) {
                ++out_.onlyFirst[std::size_t(kind)];
                List(kind, CompareSide::First, boxesA_(la[i]), la[i], nullptr);
            }
            onlyA.push_back(std::move(la[i]));
        }
        for (std::size_t j = 0; j < lb.size(); ++j) {
            if (usedB[j] == 1) continue;   // paired, or a setting record
            if (usedB[j] == 0) {
                ++out_.onlySecond[std::size_t(kind)];
                List(kind, CompareSide::Second, boxesB_(lb[j]), lb[j], nullptr);
            }
            onlyB.push_back(std::move(lb[j]));
        }
        la.clear();
        lb.clear();
    }

private:
    // Texts left over on both sides that start at the same place: one text whose string
    // changed. Their pairs go first into the list (usedB 2: paired so).
    void PairChanged(const std::vector<DrawingText>& la, const std::vector<DrawingText>& lb, const std::vector<std::int64_t>& match,
                     std::vector<char>& usedB, std::vector<std::int64_t>& changed)
    {
        auto cell = [](const DrawingText& t, int dx, int dy) {
            return Mix(Mix(0, std::uint64_t(Whole(t.x1 / kCompareToleranceMm, true) + dx)),
                       std::uint64_t(Whole(t.y1 / kCompareToleranceMm, true) + dy));
        };
        std::vector<Keyed> keys;
        for (std::size_t j = 0; j < lb.size(); ++j)
            if (!usedB[j]) keys.push_back({cell(lb[j], 0, 0), std::uint32_t(j)});
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 0; i < la.size(); ++i) {
            if (match[i] >= 0 || TextKind::Skip(la[i])) continue;
            std::size_t looked = 0;
            for (int c = 0; c < 9 && changed[i] < 0 && looked < kMaxCandidates; ++c) {
                const std::uint64_t key = cell(la[i], c % 3 - 1, c / 3 - 1);
                for (auto k = std::lower_bound(keys.begin(), keys.end(), Keyed{key, 0});
                     k != keys.end() && k->key == key && looked < kMaxCandidates; ++k) {
                    const DrawingText& t = lb[k->index];
                    if (usedB[k->index]) continue;
                    ++looked;
                    if (std::fabs(t.x1 - la[i].x1) <= kCompareToleranceMm * (1 + 1e-9) &&
                        std::fabs(t.y1 - la[i].y1) <= kCompareToleranceMm * (1 + 1e-9) && !SameString(t.content, la[i].content)) {
                        changed[i] = k->index;
                        usedB[k->index] = 2;
                        ++out_.textsChanged;
                        DrawingBox box = boxesA_(la[i]);
                        box.Add(boxesB_(t));
                        List(CompareKind::Text, CompareSide::Changed, box, la[i], &t);
                        break;
                    }
                }
            }
        }
    }

    template <class T>
    void List(CompareKind kind, CompareSide side, const DrawingBox& box, const T& entity, const DrawingText* second)
    {
        if (out_.differences.size() >= kMaxListedDifferences) {
            out_.listCut = true;
            return;
        }
        DrawingDifference d;
        d.kind = kind;
        d.side = side;
        d.box = box;
        if constexpr (std::is_same_v<T, DrawingText>) {
            (side == CompareSide::Second ? d.second : d.first) = entity.content;
            if (second) d.second = second->content;
        } else if constexpr (std::is_same_v<T, DrawingDimension>) {
            (side == CompareSide::Second ? d.second : d.first) = entity.text.content;
        }
        out_.differences.push_back(std::move(d));
    }

    JwwDrawing& a_;
    JwwDrawing& b_;
    DrawingComparison& out_;
    Boxes boxesA_, boxesB_;
};

// The drawing without its entities, every layer shown: the overlay shows all that was compared.
void ShowAll(JwwDrawing& d)
{
    for (DrawingLayerGroup& g : d.groups) {
        g.state = 2;
        g.layerStates.fill(2);
    }
}

// A copy of the drawing without its block definitions.
JwwDrawing Bare(JwwDrawing& d)
{
    std::vector<DrawingBlock> blocks = std::move(d.blocks);
    auto index = std::move(d.blockIndex);
    d.blocks = {};
    d.blockIndex = {};
    JwwDrawing bare = d;
    d.blocks = std::move(blocks);
    d.blockIndex = std::move(index);
    return bare;
}

} // namespace

const char* CompareKindKey(CompareKind kind)
{
    static constexpr const char* kKeys[kCompareKinds] = {"line", "arc", "point", "text", "solid", "block_insert", "dimension"};
    const int k = int(kind);
    return k >= 0 && k < kCompareKinds ? kKeys[k] : "";
}

bool DrawingComparison::Same() const { return OnlyFirst() == 0 && OnlySecond() == 0 && textsChanged == 0; }

std::size_t DrawingComparison::OnlyFirst() const
{
    std::size_t n = 0;
    for (std::size_t c : onlyFirst) n += c;
    return n;
}

std::size_t DrawingComparison::OnlySecond() const
{
    std::size_t n = 0;
    for (std::size_t c : onlySecond) n += c;
    return n;
}

DrawingComparison CompareDrawings(JwwDrawing first, JwwDrawing second)
{
    DrawingComparison out;
    DrawingEntities a = std::move(first.entities), b = std::move(second.entities);
    first.entities = {};
    second.entities = {};
    DrawingEntities common, onlyA, onlyB;
    {
        Comparer c(first, second, out);
        c.Kind<LineKind>(CompareKind::Line, a.lines, b.lines, common.lines, onlyA.lines, onlyB.lines);
        c.Kind<ArcKind>(CompareKind::Arc, a.arcs, b.arcs, common.arcs, onlyA.arcs, onlyB.arcs);
        c.Kind<PointKind>(CompareKind::Point, a.points, b.points, common.points, onlyA.points, onlyB.points);
        c.Kind<TextKind>(CompareKind::Text, a.texts, b.texts, common.texts, onlyA.texts, onlyB.texts);
        c.Kind<SolidKind>(CompareKind::Solid, a.solids, b.solids, common.solids, onlyA.solids, onlyB.solids);
        c.Kind<InsertKind>(CompareKind::Insert, a.inserts, b.inserts, common.inserts, onlyA.inserts, onlyB.inserts);
        c.Kind<DimensionKind>(CompareKind::Dimension, a.dimensions, b.dimensions, common.dimensions, onlyA.dimensions,
                              onlyB.dimensions);
    }
    // Texts changed in place lead the list.
    std::stable_partition(out.differences.begin(), out.differences.end(),
                          [](const DrawingDifference& d) { return d.side == CompareSide::Changed; });
    ShowAll(first);
    ShowAll(second);
    // The first drawing's block definitions go where inserts need them, copied only when
    // both of its layers hold inserts.
    if (common.inserts.empty()) {
        out.common = Bare(first);
        out.first = std::move(first);
    } else if (onlyA.inserts.empty()) {
        out.first = Bare(first);
        out.common = std::move(first);
    } else {
        out.common = first;
        out.first = std::move(first);
    }
    out.second = std::move(second);
    out.common.entities = std::move(common);
    out.first.entities = std::move(onlyA);
    out.second.entities = std::move(onlyB);
    return out;
}

DrawingBox ComparisonExtents(const DrawingComparison& comparison)
{
    DrawingBox box = DrawingExtents(comparison.common, BoxOf::Everything);
    box.Add(DrawingExtents(comparison.first, BoxOf::Everything));
    box.Add(DrawingExtents(comparison.second, BoxOf::Everything));
    return box;
}
