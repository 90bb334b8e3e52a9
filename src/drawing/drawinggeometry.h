#pragma once
// Where the entities of a drawing land on the paper: block inserts expanded through
// their definitions (nested ones too, with a bound on depth and work and a guard
// against definitions that contain themselves, the largest first and none smaller
// than what the picture can show), and the box around what is drawn.
#include <cstddef>

#include "drawing/jwwdrawing.h"

// x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    // What an insert does to its definition: scale, turn, then move to its place.
    static Affine OfInsert(const DrawingInsert& insert);
    // This after inner.
    Affine operator*(const Affine& inner) const;
    void Map(double x, double y, double& outX, double& outY) const
    {
        outX = a * x + c * y + e;
        outY = b * x + d * y + f;
    }
};

struct DrawingBox {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;

    void Add(double x, double y);
    void Add(const DrawingBox& other);
    double Width() const { return empty ? 0 : maxX - minX; }
    double Height() const { return empty ? 0 : maxY - minY; }
};

// Every entity once, placed on the paper. shown: its layer and those of each insert
// that placed it are shown. A dimension comes as its pieces (line, text, extension
// lines, points), each with the dimension's shown.
class DrawingVisitor {
public:
    virtual ~DrawingVisitor() = default;
    virtual void Line(const DrawingLine&, const Affine&, bool /*shown*/) {}
    virtual void Arc(const DrawingArc&, const Affine&, bool /*shown*/) {}
    virtual void Point(const DrawingPoint&, const Affine&, bool /*shown*/) {}
    virtual void Text(const DrawingText&, const Affine&, bool /*shown*/) {}
    virtual void Solid(const DrawingSolid&, const Affine&, bool /*shown*/) {}
    virtual void Polygon(const DrawingPolygon&, const Affine&, bool /*shown*/) {}
    // An insert left unexpanded (smaller than the walk's least size, or past its bound of
    // work): the box it covers on the paper and the pen of what it holds first.
    virtual void Speck(const DrawingBox&, const DrawingPen&, bool /*shown*/) {}
};

// Most levels of inserts within inserts, and most entities visited in one walk (inserts
// of inserts multiply: a small file may name millions).
inline constexpr int kMaxBlockDepth = 32;
inline constexpr std::size_t kMaxWalkVisits = 1000 * 1000;
// Most inserts expanded in one walk (each costs more than an entity); the rest are specks.
inline constexpr std::size_t kMaxWalkInserts = 128 * 1024;

struct WalkLimits {
    // Paper millimetres: an insert whose box comes out smaller on both sides is a speck
    // (a picture passes its pixel size: nothing smaller can be seen).
    double leastSize = 0;
    // The same as a share of the drawing's whole size (found from the boxes of the
    // definitions before the walk), for a walk that does not know its picture yet.
    double leastShare = 0;
    std::size_t maxVisits = kMaxWalkVisits;
};

// Visits the main list (filled areas and solids first in each list: they are filled and must not hide
// lines), then the inserts' definitions, the largest placed first; a definition is
// expanded only when its own entities and inserts fit in the visits left, else it is a
// speck, so that inserts of inserts that multiply cost no more than the bound. False
// when the bound cut the main list short or left an insert as a speck for it.
bool WalkDrawing(const JwwDrawing& drawing, DrawingVisitor& visitor, const WalkLimits& limits = {});

// Texts of zero length are setting records of the CAD program, never shown; temporary
// points are construction marks, never printed.
bool IsSettingRecord(const DrawingText& text);

// The box of everything the drawing holds (hidden layers too, or only what is shown):
// line ends, exact arc boxes, points that are not temporary, each text's whole box,
// solid corners, inserts expanded; setting records left out.
enum class BoxOf { Everything, Shown };
DrawingBox DrawingExtents(const JwwDrawing& drawing, BoxOf which);

// An ellipse centre + Rot(tilt) (r cos u, r flatness sin u) placed by t, as the curve
// o + m (cos u, sin u).
struct PlacedCurve {
    double ox = 0, oy = 0, m00 = 0, m01 = 0, m10 = 0, m11 = 0;
};
PlacedCurve PlaceEllipse(const Affine& t, double cx, double cy, double radius, double flatness, double tilt);

// What a solid of style 101 and up fills: the whole ellipse, a sector (arc and centre),
// a segment (arc and chord), or a ring whose inner radius is the mode value.
enum class FilledArc { Whole, Sector, Segment, Ring };
FilledArc FilledArcKind(const DrawingSolid& solid);

// Box helpers for one entity placed by t (the renderer skips what lies outside its view).
void AddArc(DrawingBox& box, const DrawingArc& arc, const Affine& t);
void AddText(DrawingBox& box, const DrawingText& text, const Affine& t);
void AddSolid(DrawingBox& box, const DrawingSolid& solid, const Affine& t);
void AddPolygon(DrawingBox& box, const DrawingPolygon& polygon, const Affine& t);

// The four corners of a text's box: start, end, end raised by its height, start raised.
void TextCorners(const DrawingText& text, const Affine& t, double xs[4], double ys[4]);

// Paper size in millimetres (width, height) of a paper code; A3 for unknown codes.
void PaperSize(std::uint32_t code, double& width, double& height);
