#pragma once
// The geometry of a Jw_cad drawing (.jww), read to the end of its block definitions so
// that it can be drawn small. Plain C++: the thumbnailer reads drawings from anywhere,
// so every count and size is held to the bytes that remain before anything is kept.
// Coordinates are paper millimetres, y up; angles of arcs in radians, of texts in degrees.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A string as the drawing stores it: CP932 bytes, or UTF-16LE bytes in the newer form.
struct DrawingString {
    std::string bytes;
    bool utf16 = false;
};

// What every entity starts with.
struct DrawingPen {
    std::uint8_t style = 1;      // line type; also the kind of a point (100) or solid (>= 101)
    std::uint16_t colour = 1;    // pen 1..9, 100 + n for SXF colour n, 10 on a solid: own RGB
    std::uint16_t width = 0;     // 0: the width of the pen colour
    std::uint16_t layer = 0;     // 0..15
    std::uint16_t group = 0;     // layer group 0..15
    bool hasRgb = false;         // drawn in rgb, not in the pen colour (files of other programs)
    std::uint32_t rgb = 0;       // 0x00BBGGRR
};

struct DrawingLine {
    DrawingPen pen;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// Circle, arc, ellipse or elliptic arc: centre + Rot(tilt) (r cos t, r flatness sin t)
// for t from start over sweep (negative: clockwise); closed draws the whole curve.
struct DrawingArc {
    DrawingPen pen;
    double cx = 0, cy = 0, radius = 0, start = 0, sweep = 0, tilt = 0, flatness = 1;
    bool closed = false;
};

struct DrawingPoint {
    DrawingPen pen;
    double x = 0, y = 0;
    bool temporary = false;      // a construction mark, never printed
};

// Text from its lower-left start to its lower-right end, characters sizeX wide (half
// that for half-width ones) and sizeY high.
struct DrawingText {
    DrawingPen pen;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    std::uint32_t style = 0;
    double sizeX = 0, sizeY = 0, spacing = 0, angle = 0;
    DrawingString font{}, content{};
};

// Four corners in file order, or (style >= 101) a filled arc: centre x, centre y,
// radius, flatness, tilt, start, sweep, mode.
struct DrawingSolid {
    DrawingPen pen;
    std::array<double, 8> v{};
    bool hasRgb = false;
    std::uint32_t rgb = 0;       // 0x00BBGGRR
};

// A filled area of one or more closed outlines (holes where they overlap an odd number of
// times): xy holds x, y pairs, ends the pair count at the end of each outline.
struct DrawingPolygon {
    DrawingPen pen;
    std::vector<double> xy;
    std::vector<std::uint32_t> ends;
};

// A block definition placed at (x, y), scaled and turned (radians) about its base point.
struct DrawingInsert {
    DrawingPen pen;
    double x = 0, y = 0, scaleX = 1, scaleY = 1, rotation = 0;
    std::uint32_t definition = 0;
};

struct DrawingDimension {
    DrawingPen pen;
    DrawingLine line{};
    DrawingText text{};
    std::vector<DrawingLine> extensionLines{};
    std::vector<DrawingPoint> points{};
};

// One list of entities, kept by kind.
struct DrawingEntities {
    std::vector<DrawingLine> lines;
    std::vector<DrawingArc> arcs;
    std::vector<DrawingPoint> points{};
    std::vector<DrawingText> texts;
    std::vector<DrawingSolid> solids;
    std::vector<DrawingInsert> inserts;
    std::vector<DrawingDimension> dimensions;
    std::vector<DrawingPolygon> polygons{};
    std::size_t Count() const;
};

struct DrawingBlock {
    std::uint32_t number = 0;
    DrawingString name;
    DrawingEntities entities;
};

struct DrawingLayerGroup {
    std::uint32_t state = 2;     // 0 hidden, 1 shown, 2 editable, 3 written to
    double scale = 1;
    std::array<std::uint32_t, 16> layerStates{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
};

struct JwwDrawing {
    std::uint32_t version = 0;
    DrawingString memo;
    std::uint32_t paper = 3;     // 0 A0 .. 4 A4, larger codes for larger sheets
    std::array<DrawingLayerGroup, 16> groups{};
    // Screen and printer pen colours 0..9 as stored (0x00BBGGRR); pen 0 is the background.
    // Empty when the settings could not be read (the entity list was found by search).
    std::vector<std::uint32_t> screenColours, printerColours, printerWidths;
    std::vector<std::uint32_t> sxfColours;   // SXF colours 0..256 (version 420 on)

    DrawingEntities entities;
    std::vector<DrawingBlock> blocks;
    bool complete = false;       // read to the end of the block definitions without damage
    // (number, place in blocks) sorted by number, the first of equal numbers; the reader
    // fills it, Block() falls back to a search without it.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> blockIndex;

    // Shown: the entity's layer group and layer are not hidden.
    bool Shown(const DrawingPen& pen) const;
    // The block definition with this number, or null.
    const DrawingBlock* Block(std::uint32_t number) const;
};

// Most bytes of a drawing read; a larger file is read up to here, as if cut there.
inline constexpr std::size_t kMaxDrawingBytes = 64 * 1024 * 1024;
// Most entities kept from one file, in all lists together.
inline constexpr std::size_t kMaxDrawingEntities = 4 * 1000 * 1000;

// Reads the drawing held in bytes. True when its header was understood and its entity
// list found (the entities then hold what was read up to any damage); false, with an
// empty drawing, for another kind of file or one damaged before its geometry. Never throws.
bool ReadJwwDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept;

// The same for a file (a file-system name); only a regular file is read. mtime, when
// given, receives the file's modification time (seconds) as it was read.
bool ReadJwwDrawingFile(const std::string& fsPath, JwwDrawing& drawing, std::int64_t* mtime = nullptr) noexcept;
