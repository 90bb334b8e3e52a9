#include "drawing/jwwdrawing.h"

#include "drawing/drawingfile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "memo/countedstring.h"

namespace {

constexpr std::string_view kSignature = "JwwData.";

// Coordinates, radii and sizes beyond this many millimetres (10 km of paper) are damage,
// not drawing: one of them would shrink everything else to nothing.
constexpr double kMaxCoordinate = 1e7;
// Class records in one stream: Jw_cad registers each of its eight classes once.
constexpr std::size_t kMaxClasses = 64;
// Class names are short ASCII words ("CDataSen").
constexpr unsigned kMaxClassName = 64;

// The data ends, or holds what cannot be, before the field being read.
struct Ended {};

class Cursor {
public:
    explicit Cursor(std::string_view data) : data_(data) {}
    std::size_t Pos() const { return pos_; }
    std::size_t Remaining() const { return data_.size() - pos_; }
    void Seek(std::size_t pos) { pos_ = std::min(pos, data_.size()); }

    std::string_view Take(std::size_t n)
    {
        if (n > Remaining()) throw Ended{};
        const std::string_view out = data_.substr(pos_, n);
        pos_ += n;
        return out;
    }
    void Skip(std::size_t n) { Take(n); }
    unsigned Byte() { return static_cast<unsigned char>(Take(1)[0]); }
    unsigned Word()
    {
        const std::string_view b = Take(2);
        return static_cast<unsigned char>(b[0]) | static_cast<unsigned char>(b[1]) << 8;
    }
    std::uint32_t DWord()
    {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    double Double()
    {
        const std::uint64_t low = DWord();
        return std::bit_cast<double>(low | static_cast<std::uint64_t>(DWord()) << 32);
    }

private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

// The bytes of a counted string; the caller keeps or skips them.
std::string_view StringBytes(Cursor& c, bool& utf16)
{
    const CountedLength length =
        ReadCountedLength([&] { return c.Byte(); }, [&] { return c.Word(); }, [&] { return c.DWord(); });
    utf16 = length.unicode;
    // Take() checks the length against what remains before anything is kept.
    return c.Take(length.unicode ? std::size_t(length.count) * 2 : std::size_t(length.count));
}

DrawingString ReadString(Cursor& c)
{
    DrawingString s;
    s.bytes = std::string(StringBytes(c, s.utf16));
    // Jw_cad pads some strings with zero characters.
    const std::size_t unit = s.utf16 ? 2 : 1;
    while (s.bytes.size() >= unit && s.bytes.find_first_not_of('\0', s.bytes.size() - unit) == std::string::npos)
        s.bytes.erase(s.bytes.size() - unit);
    return s;
}

void SkipString(Cursor& c)
{
    bool utf16 = false;
    StringBytes(c, utf16);
}

// The settings between the layer groups and the entity list, field by field. True when
// they were read; the cursor then stands on the list's count.
bool ReadSettings(Cursor& c, JwwDrawing& d)
{
    const std::uint32_t v = d.version;
    // Older layouts are not known well enough to be walked: the list is searched for.
    if (v < 300) return false;
    c.Skip(156);                                      // reserved, dimensions, printer, grid
    for (int i = 0; i < 256 + 16; ++i) SkipString(c); // layer and layer-group names
    c.Skip(28 + 16 + 4 + 24 + 24 + 224 + 56 + 88);    // shadow, sky, 2.5D, views, marks, ...
    std::vector<std::uint32_t> screen, printer, widths, sxf;
    for (int i = 0; i < 10; ++i) {
        screen.push_back(c.DWord());
        c.Skip(4);
    }
    for (int i = 0; i < 10; ++i) {
        printer.push_back(c.DWord());
        widths.push_back(c.DWord());
        c.Skip(8);
    }
    c.Skip(128 + 100 + 64 + 64 + 80);                 // line types, switches, last sizes
    if (v >= 420) {
        for (int i = 0; i < 257; ++i) {
            sxf.push_back(c.DWord());
            c.Skip(4);
        }
        for (int i = 0; i < 257; ++i) {
            SkipString(c);
            c.Skip(16);
        }
        c.Skip(528);
        for (int i = 0; i < 33; ++i) {
            SkipString(c);
            c.Skip(84);
        }
    }
    c.Skip(280 + 100);                                // text styles, current text
    d.screenColours = std::move(screen);
    d.printerColours = std::move(printer);
    d.printerWidths = std::move(widths);
    d.sxfColours = std::move(sxf);
    return true;
}

// The first class record of a list at pos: 0xFFFF, schema, name length, "CData...".
bool ClassRecordAt(std::string_view bytes, std::size_t pos)
{
    if (pos + 11 > bytes.size()) return false;
    Cursor c(bytes);
    c.Seek(pos);
    if (c.Word() != 0xFFFF) return false;
    c.Word();
    const unsigned length = c.Word();
    return length >= 8 && length <= 32 && c.Remaining() >= length && c.Take(5) == "CData";
}

// Whether an entity list can start at pos: an empty count, or a count followed by a
// class record or a null item.
bool ListCanStartAt(std::string_view bytes, std::size_t pos)
{
    try {
        Cursor c(bytes);
        c.Seek(pos);
        std::uint32_t count = c.Word();
        if (count == 0xFFFF) count = c.DWord();
        if (count == 0) return true;
        return ClassRecordAt(bytes, c.Pos()) || c.Word() == 0;
    } catch (const Ended&) {
        return false;
    }
}

// Where the entity list starts when the settings cannot be walked: the first class
// record after the fixed start, the one whose schema is the version preferred.
std::size_t SearchList(std::string_view bytes, std::uint32_t version)
{
    std::size_t any = std::string_view::npos;
    for (std::size_t pos = 100; pos + 11 <= bytes.size(); ++pos) {
        if (static_cast<unsigned char>(bytes[pos]) != 0xFF || !ClassRecordAt(bytes, pos)) continue;
        const unsigned schema = static_cast<unsigned char>(bytes[pos + 2]) | static_cast<unsigned char>(bytes[pos + 3]) << 8;
        if (schema == (version & 0xFFFF)) {
            any = pos;
            break;
        }
        if (any == std::string_view::npos) any = pos;
    }
    if (any == std::string_view::npos || any < 2) return std::string_view::npos;
    // An escaped count stands six bytes before the record: 0xFFFF and a 32-bit count.
    if (any >= 6) {
        Cursor c(bytes);
        c.Seek(any - 6);
        if (c.Word() == 0xFFFF) {
            const std::uint32_t count = c.DWord();
            if (count >= 0xFFFF && count <= bytes.size() / 20) return any - 6;
        }
    }
    return any - 2;
}

enum class Kind : std::uint8_t { Line, Arc, Point, Text, Solid, Insert, Dimension, Block };

bool KindOfClass(std::string_view name, Kind& kind)
{
    static constexpr std::pair<std::string_view, Kind> kClasses[] = {
        {"CDataSen", Kind::Line},    {"CDataEnko", Kind::Arc},      {"CDataTen", Kind::Point},
        {"CDataMoji", Kind::Text},   {"CDataSolid", Kind::Solid},   {"CDataBlock", Kind::Insert},
        {"CDataSunpou", Kind::Dimension}, {"CDataList", Kind::Block},
    };
    for (const auto& [n, k] : kClasses) {
        if (n == name) {
            kind = k;
            return true;
        }
    }
    return false;
}

bool Sane(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }
template <class... T>
bool Sane(double v, T... rest)
{
    return Sane(v) && Sane(rest...);
}

// The MFC object stream from the entity list to the end of the block definitions: one
// running index over classes and objects, class records registered as they come.
class Stream {
public:
    Stream(Cursor& c, std::uint32_t version) : c_(c), version_(version) {}

    // Reads one list into out; false when it stopped at damage or at the bound of
    // entities (what was read before stays).
    bool ReadList(DrawingEntities& out)
    {
        return Items([&](Kind kind) { return kind != Kind::Block && Entity(kind, out); });
    }

    bool ReadBlocks(std::vector<DrawingBlock>& out)
    {
        return Items([&](Kind kind) {
            if (kind != Kind::Block) return false;
            DrawingBlock block;
            Pen();
            block.number = c_.DWord();
            c_.Skip(8);                               // referenced flag, time made
            block.name = ReadString(c_);
            const bool whole = ReadList(block.entities);
            out.push_back(std::move(block));
            return whole;
        });
    }

private:
    enum class Tag { Null, Object, Stop };

    // A list: its count, then its items; item(kind) reads each object and says whether
    // to go on. False when the list ends early, at damage or where item stopped.
    template <class Item>
    bool Items(Item item)
    {
        try {
            const std::uint32_t count = Count();
            for (std::uint32_t i = 0; i < count; ++i) {
                Kind kind{};
                switch (ReadTag(kind)) {
                case Tag::Null: continue;
                case Tag::Stop: return false;
                case Tag::Object: break;
                }
                if (!item(kind)) return false;
            }
            return true;
        } catch (const Ended&) {
            return false;
        }
    }

    std::uint32_t Count()
    {
        const std::uint32_t count = c_.Word();
        return count == 0xFFFF ? c_.DWord() : count;
    }

    bool Registered(std::uint32_t index, Kind& kind) const
    {
        for (const auto& [i, k] : classes_) {
            if (i == index) {
                kind = k;
                return true;
            }
        }
        return false;
    }

    Tag ReadTag(Kind& kind)
    {
        const unsigned tag = c_.Word();
        if (tag == 0) return Tag::Null;
        if (tag == 0xFFFF) {
            c_.Word();                                // schema: the version, not needed
            const unsigned length = c_.Word();
            if (length == 0 || length > kMaxClassName || classes_.size() >= kMaxClasses) return Tag::Stop;
            if (!KindOfClass(c_.Take(length), kind)) return Tag::Stop;
            classes_.emplace_back(next_++, kind);
        } else {
            std::uint32_t index = 0;
            if (tag == 0x7FFF) {
                const std::uint32_t big = c_.DWord();
                if (big == 0x80000000u) return Tag::Null;
                if (!(big & 0x80000000u)) return Tag::Stop;   // a back-reference
                index = big & 0x7FFFFFFFu;
            } else {
                if (!(tag & 0x8000)) return Tag::Stop;        // a back-reference
                index = tag & 0x7FFF;
                if (index == 0) return Tag::Null;
            }
            if (!Registered(index, kind)) return Tag::Stop;   // out of step
        }
        ++next_;                                      // the object's own index
        return Tag::Object;
    }

    DrawingPen Pen()
    {
        DrawingPen pen;
        c_.Skip(4);                                   // curve group
        pen.style = static_cast<std::uint8_t>(c_.Byte());
        pen.colour = static_cast<std::uint16_t>(c_.Word());
        if (version_ >= 351) pen.width = static_cast<std::uint16_t>(c_.Word());
        pen.layer = static_cast<std::uint16_t>(c_.Word());
        pen.group = static_cast<std::uint16_t>(c_.Word());
        c_.Skip(2);                                   // editing flags
        return pen;
    }

    template <class... T>
    void Doubles(T&... fields)
    {
        ((fields = c_.Double()), ...);
    }

    DrawingLine Line(const DrawingPen& pen)
    {
        DrawingLine l{pen};
        Doubles(l.x1, l.y1, l.x2, l.y2);
        return l;
    }
    static bool Valid(const DrawingLine& l) { return Sane(l.x1, l.y1, l.x2, l.y2); }

    DrawingPoint Point(const DrawingPen& pen)
    {
        DrawingPoint p{pen};
        Doubles(p.x, p.y);
        p.temporary = c_.DWord() != 0;
        if (pen.style == 100) c_.Skip(4 + 8 + 8);     // marker code, angle, scale
        return p;
    }
    static bool Valid(const DrawingPoint& p) { return Sane(p.x, p.y); }

    DrawingText Text(const DrawingPen& pen)
    {
        DrawingText t{pen};
        Doubles(t.x1, t.y1, t.x2, t.y2);
        t.style = c_.DWord();
        Doubles(t.sizeX, t.sizeY, t.spacing, t.angle);
        t.font = ReadString(c_);
        t.content = ReadString(c_);
        return t;
    }
    static bool Valid(const DrawingText& t)
    {
        return Sane(t.x1, t.y1, t.x2, t.y2, t.sizeX, t.sizeY, t.spacing) && std::isfinite(t.angle);
    }

    // Reads one entity of the kind into out; false at the bound of entities.
    bool Entity(Kind kind, DrawingEntities& out)
    {
        const DrawingPen pen = Pen();
        bool keep = true;
        switch (kind) {
        case Kind::Line: {
            const DrawingLine l = Line(pen);
            if ((keep = Valid(l))) out.lines.push_back(l);
            break;
        }
        case Kind::Arc: {
            DrawingArc a{pen};
            Doubles(a.cx, a.cy, a.radius, a.start, a.sweep, a.tilt, a.flatness);
            a.closed = c_.DWord() != 0;
            keep = Sane(a.cx, a.cy, a.radius, a.flatness) && a.radius >= 0 && a.flatness >= 0 &&
                   std::fabs(a.start) <= 1e6 && std::fabs(a.sweep) <= 1e6 && std::fabs(a.tilt) <= 1e6;
            if (keep) out.arcs.push_back(a);
            break;
        }
        case Kind::Point: {
            const DrawingPoint p = Point(pen);
            if ((keep = Valid(p))) out.points.push_back(p);
            break;
        }
        case Kind::Text: {
            DrawingText t = Text(pen);
            if ((keep = Valid(t))) out.texts.push_back(std::move(t));
            break;
        }
        case Kind::Solid: {
            DrawingSolid s{pen};
            for (double& v : s.v) v = c_.Double();
            if (pen.colour == 10) {
                s.hasRgb = true;
                s.rgb = c_.DWord();
            }
            keep = std::all_of(s.v.begin(), s.v.end(), [](double v) { return Sane(v); });
            if (keep) out.solids.push_back(s);
            break;
        }
        case Kind::Insert: {
            DrawingInsert b{pen};
            Doubles(b.x, b.y, b.scaleX, b.scaleY, b.rotation);
            b.definition = c_.DWord();
            keep = Sane(b.x, b.y, b.scaleX, b.scaleY) && std::fabs(b.rotation) <= 1e6;
            if (keep) out.inserts.push_back(b);
            break;
        }
        case Kind::Dimension: {
            DrawingDimension m{pen};
            m.line = Line(Pen());
            m.text = Text(Pen());
            keep = Valid(m.line) && Valid(m.text);
            if (version_ >= 420) {
                c_.Skip(2);                           // SXF mode
                for (int i = 0; i < 2; ++i) {
                    const DrawingLine l = Line(Pen());
                    if (Valid(l)) m.extensionLines.push_back(l);
                }
                for (int i = 0; i < 4; ++i) {
                    const DrawingPoint p = Point(Pen());
                    if (Valid(p)) m.points.push_back(p);
                }
            }
            if (keep) out.dimensions.push_back(std::move(m));
            break;
        }
        case Kind::Block: return false;
        }
        if (keep && ++kept_ >= kMaxDrawingEntities) return false;
        return true;
    }

    Cursor& c_;
    std::uint32_t version_;
    std::uint32_t next_ = 1;
    std::vector<std::pair<std::uint32_t, Kind>> classes_;
    std::size_t kept_ = 0;
};

void IndexBlocks(JwwDrawing& d)
{
    d.blockIndex.clear();
    d.blockIndex.reserve(d.blocks.size());
    for (std::size_t i = 0; i < d.blocks.size(); ++i)
        d.blockIndex.emplace_back(d.blocks[i].number, static_cast<std::uint32_t>(i));
    // Stable: of two definitions with one number, the first stays first.
    std::stable_sort(d.blockIndex.begin(), d.blockIndex.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool Read(std::string_view bytes, JwwDrawing& d)
{
    if (bytes.size() > kMaxDrawingBytes) bytes = bytes.substr(0, kMaxDrawingBytes);
    Cursor c(bytes);
    if (c.Remaining() < 12 || c.Take(kSignature.size()) != kSignature) return false;
    d.version = c.DWord();
    std::size_t listAt = std::string_view::npos;
    bool groupsRead = false;
    try {
        d.memo = ReadString(c);
        d.paper = c.DWord();
        c.Skip(4);                                    // group written to
        for (DrawingLayerGroup& g : d.groups) {
            g.state = c.DWord();
            c.Skip(4);                                // layer written to
            g.scale = c.Double();
            c.Skip(4);                                // protection
            for (std::uint32_t& layer : g.layerStates) {
                layer = c.DWord();
                c.Skip(4);
            }
        }
        groupsRead = true;
        if (ReadSettings(c, d) && ListCanStartAt(bytes, c.Pos())) listAt = c.Pos();
    } catch (const Ended&) {
    }
    if (listAt == std::string_view::npos) {
        // The settings are not what this reader knows: find the list. The layer states
        // stand before them and are kept when they were read whole; the pens are not.
        JwwDrawing searched;
        searched.version = d.version;
        searched.memo = std::move(d.memo);
        searched.paper = d.paper;
        if (groupsRead) searched.groups = d.groups;
        d = std::move(searched);
        listAt = SearchList(bytes, d.version);
        if (listAt == std::string_view::npos) return false;
    }
    c.Seek(listAt);
    Stream stream(c, d.version);
    d.complete = stream.ReadList(d.entities) && stream.ReadBlocks(d.blocks);
    IndexBlocks(d);
    return true;
}

} // namespace

std::size_t DrawingEntities::Count() const
{
    return lines.size() + arcs.size() + points.size() + texts.size() + solids.size() + inserts.size() +
           dimensions.size() + polygons.size();
}

bool JwwDrawing::Shown(const DrawingPen& pen) const
{
    if (pen.group >= groups.size()) return true;
    const DrawingLayerGroup& g = groups[pen.group];
    if (g.state == 0) return false;
    return pen.layer >= g.layerStates.size() || g.layerStates[pen.layer] != 0;
}

const DrawingBlock* JwwDrawing::Block(std::uint32_t number) const
{
    if (blockIndex.size() != blocks.size()) {
        for (const DrawingBlock& b : blocks)
            if (b.number == number) return &b;
        return nullptr;
    }
    const auto it = std::lower_bound(blockIndex.begin(), blockIndex.end(), number,
                                     [](const auto& entry, std::uint32_t n) { return entry.first < n; });
    if (it == blockIndex.end() || it->first != number || it->second >= blocks.size()) return nullptr;
    return &blocks[it->second];
}

bool ReadJwwDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept
{
    try {
        drawing = JwwDrawing{};
        if (Read(bytes, drawing)) return true;
    } catch (...) {
        // Out of memory: the drawing is given up, not half kept.
    }
    drawing = JwwDrawing{};
    return false;
}

bool ReadJwwDrawingFile(const std::string& fsPath, JwwDrawing& drawing, std::int64_t* mtime) noexcept
{
    drawing = JwwDrawing{};
    std::string bytes;
    return ReadDrawingBytes(fsPath, bytes, mtime) && ReadJwwDrawing(bytes, drawing);
}
