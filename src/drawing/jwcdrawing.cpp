#include "drawing/jwcdrawing.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr std::size_t kRecordBytes = 200;
constexpr std::size_t kMemoAt = 40, kMemoField = 32, kPaperAt = 104;
constexpr std::size_t kFormFlagAt = 22;
// Bytes of each kind of entity, the text's own bytes not counted.
constexpr std::size_t kPointBytes = 3 + 2 * 4 + 1, kLineBytes = 3 + 4 * 4, kArcBytes = 3 + 7 * 4,
                      kTextBytes = 3 + 6 * 4 + 1;
// Beyond 10 km of paper a value is damage, as in the newer reader.
constexpr double kMaxCoordinate = 1e7;
constexpr double kPi = 3.14159265358979323846;

struct Ended {};

class Cursor {
public:
    explicit Cursor(std::string_view data, std::size_t pos) : data_(data), pos_(pos) {}
    std::size_t Remaining() const { return data_.size() - pos_; }
    std::string_view Take(std::size_t n)
    {
        if (n > Remaining()) throw Ended{};
        const std::string_view out = data_.substr(pos_, n);
        pos_ += n;
        return out;
    }
    unsigned Byte() { return static_cast<unsigned char>(Take(1)[0]); }
    double Float()
    {
        const std::string_view b = Take(4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[i]);
        return std::bit_cast<float>(v);
    }

private:
    std::string_view data_;
    std::size_t pos_;
};

// The blank-separated words of a header record, NULs and line ends counted as blanks.
class Words {
public:
    explicit Words(std::string_view text) : text_(text) {}
    std::string_view Next()
    {
        const auto blank = [](char c) { return c == ' ' || c == '\0' || c == '\r' || c == '\n' || c == '\t'; };
        while (pos_ < text_.size() && blank(text_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !blank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

template <typename T>
bool Parse(std::string_view word, T& value, int base = 10)
{
    if (word.empty()) return false;
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>) r = std::from_chars(word.data(), word.data() + word.size(), value);
    else r = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return r.ec == std::errc() && r.ptr == word.data() + word.size();
}

bool Sane(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate; }

DrawingPen Pen(Cursor& c)
{
    DrawingPen pen;
    const unsigned layer = c.Byte();
    pen.group = static_cast<std::uint16_t>(layer >> 4);
    pen.layer = static_cast<std::uint16_t>(layer & 0x0F);
    pen.colour = static_cast<std::uint16_t>(c.Byte());
    pen.style = static_cast<std::uint8_t>(c.Byte());
    return pen;
}

// Lead bytes of Shift-JIS's two-byte (full-width) characters.
bool LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The text's end: full-width characters size x wide, half-width ones half that, with
// the spacing between them, along the angle.
void PlaceEnd(DrawingText& t)
{
    const std::string& s = t.content.bytes;
    double length = 0;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < s.size(); ++i, ++characters) {
        if (LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
            length += t.sizeX;
            ++i;
        } else {
            length += t.sizeX / 2;
        }
    }
    if (characters > 1) length += double(characters - 1) * t.spacing;
    const double a = t.angle * kPi / 180;
    t.x2 = t.x1 + length * std::cos(a);
    t.y2 = t.y1 + length * std::sin(a);
}

bool ReadHeader(std::string_view bytes, JwwDrawing& d, std::array<std::size_t, 4>& counts)
{
    if (bytes.size() < kJwcHeaderBytes || bytes.substr(0, kJwcSignature.size()) != kJwcSignature) return false;
    const bool realScales = bytes[kFormFlagAt] == 'f';
    const auto record = [&](int n) { return bytes.substr(std::size_t(n) * kRecordBytes, kRecordBytes); };

    // The memo as the memo reader gives it: both fields to their first NUL, one blank between.
    const auto field = [&](std::size_t at) {
        const std::string_view f = bytes.substr(at, kMemoField);
        return f.substr(0, std::min(f.find('\0'), f.size()));
    };
    d.memo.bytes = std::string(field(kMemoAt)) + " " + std::string(field(kMemoAt + kMemoField));
    Words paper(record(0).substr(kPaperAt));
    if (!Parse(paper.Next(), d.paper) || d.paper > 14) return false;

    Words scales(record(1));
    for (DrawingLayerGroup& g : d.groups) {
        const std::string_view word = scales.Next();
        double scale = 0;
        if (realScales) {
            if (!Parse(word, scale)) return false;
        } else {
            unsigned whole = 0;
            if (!Parse(word, whole)) return false;
            scale = whole;
        }
        // A scale is a denominator: a damaged one (not a positive finite number) counts as 1:1.
        g.scale = Sane(scale) && scale > 0 ? scale : 1;
    }

    Words layers(record(2));
    for (DrawingLayerGroup& g : d.groups) {
        const std::string_view word = layers.Next();
        unsigned mask = 0;
        if (word.size() != 6 || word[1] != ':' || !Parse(word.substr(0, 1), g.state) || g.state > 3 ||
            !Parse(word.substr(2), mask, 16))
            return false;
        for (std::size_t i = 0; i < g.layerStates.size(); ++i) g.layerStates[i] = mask >> i & 1 ? 2 : 0;
    }

    Words numbers(record(3));
    for (std::size_t& n : counts)
        if (!Parse(numbers.Next(), n)) return false;
    return true;
}

} // namespace

bool ReadJwcDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept
{
    drawing = JwwDrawing{};
    try {
        std::array<std::size_t, 4> counts{};
        if (!ReadHeader(bytes, drawing, counts)) {
            drawing = JwwDrawing{};
            return false;
        }
        // No count may promise more entities than the bytes left can hold, nor more in
        // all than any drawing is allowed: a damaged count allocates nothing.
        const std::size_t left = bytes.size() - kJwcHeaderBytes;
        const std::array<std::size_t, 4> least{kPointBytes, kLineBytes, kArcBytes, kTextBytes};
        bool cut = false;
        for (std::size_t i = 0; i < counts.size(); ++i) {
            cut = cut || counts[i] > left / least[i];
            counts[i] = std::min({counts[i], left / least[i], kMaxDrawingEntities});
        }

        DrawingEntities& e = drawing.entities;
        Cursor c(bytes, kJwcHeaderBytes);
        bool damaged = cut;
        const auto room = [&] { return e.Count() < kMaxDrawingEntities; };
        try {
            for (std::size_t i = 0; i < counts[0] && room(); ++i) {
                DrawingPoint p;
                p.pen = Pen(c);
                p.x = c.Float();
                p.y = c.Float();
                p.temporary = c.Byte() == 1;
                if (Sane(p.x) && Sane(p.y)) e.points.push_back(p);
            }
            for (std::size_t i = 0; i < counts[1] && room(); ++i) {
                DrawingLine l;
                l.pen = Pen(c);
                l.x1 = c.Float();
                l.y1 = c.Float();
                l.x2 = c.Float();
                l.y2 = c.Float();
                if (Sane(l.x1) && Sane(l.y1) && Sane(l.x2) && Sane(l.y2)) e.lines.push_back(l);
            }
            for (std::size_t i = 0; i < counts[2] && room(); ++i) {
                DrawingArc a;
                a.pen = Pen(c);
                a.cx = c.Float();
                a.cy = c.Float();
                a.radius = c.Float();
                const double start = c.Float(), sweep = c.Float();
                a.flatness = c.Float();
                const double tilt = c.Float();
                if (!Sane(a.cx) || !Sane(a.cy) || !Sane(a.radius) || a.radius < 0 || !Sane(start) || !Sane(sweep) ||
                    !Sane(a.flatness) || !Sane(tilt))
                    continue;
                a.closed = std::fabs(sweep) >= 360;
                a.start = start * kPi / 180;
                a.sweep = (a.closed ? (sweep < 0 ? -360 : 360) : sweep) * kPi / 180;
                a.tilt = tilt * kPi / 180;
                e.arcs.push_back(a);
            }
            for (std::size_t i = 0; i < counts[3] && room(); ++i) {
                DrawingText t;
                t.pen = Pen(c);
                t.x1 = c.Float();
                t.y1 = c.Float();
                t.sizeX = c.Float();
                t.sizeY = c.Float();
                t.spacing = c.Float();
                t.angle = c.Float();
                t.content.bytes = std::string(c.Take(c.Byte()));
                if (!Sane(t.x1) || !Sane(t.y1) || !Sane(t.sizeX) || !Sane(t.sizeY) || !Sane(t.spacing) || !Sane(t.angle))
                    continue;
                PlaceEnd(t);
                e.texts.push_back(std::move(t));
            }
        } catch (const Ended&) {
            damaged = true;   // what was read before the end stays
        }
        drawing.complete = !damaged && e.Count() == counts[0] + counts[1] + counts[2] + counts[3];
        return true;
    } catch (...) {
        drawing = JwwDrawing{};
        return false;
    }
}
