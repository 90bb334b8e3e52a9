#include "drawing/dxfdrawing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <string>
#include <unordered_map>
#include <vector>

#include "drawing/drawinggeometry.h"
#include "text/cp932.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * kPi;
constexpr double kDegree = kPi / 180;
constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

// Groups of one entity kept at once; a longer entity is cut there.
constexpr std::size_t kMaxEntityGroups = 4 * 1000 * 1000;
// Copies of one block that an array insert may ask for.
constexpr std::size_t kMaxArrayCopies = 65536;
// Pieces a spline or a boundary arc is drawn with.
constexpr int kMaxSplinePieces = 1024;
constexpr int kArcPiecesPerTurn = 64;
// The usual height and line pitch of texts (the pitch as the CAD programs set it).
constexpr double kDefaultTextHeight = 2.5;
constexpr double kLinePitch = 5.0 / 3.0;
// Width of a half-width character as a share of the text's height (a full-width one: 1).
constexpr double kHalfWidth = 0.6;

// ---- groups -------------------------------------------------------------------------

struct Group {
    int code = -1;
    std::string_view text;   // the value as text (strings; ASCII files: every value)
    double number = 0;       // numeric values; NaN when they do not read as a number
};

enum class Kind { Text, Double, Int16, Int32, Int64, Bool, Binary };

Kind KindOf(int code)
{
    if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
        (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059))
        return Kind::Double;
    if ((code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
        (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 1060 && code <= 1070))
        return Kind::Int16;
    if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 459) || code == 1071)
        return Kind::Int32;
    if (code >= 160 && code <= 169) return Kind::Int64;
    if (code >= 290 && code <= 299) return Kind::Bool;
    if ((code >= 310 && code <= 319) || code == 1004) return Kind::Binary;
    return Kind::Text;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Coordinates beyond this are damage: no drawing spans them, and sums of them must stay finite.
constexpr double kMaxCoordinate = 1e15;

double Bounded(double v) { return std::fabs(v) <= kMaxCoordinate ? v : std::nan(""); }

double ParseNumber(std::string_view s)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    double v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && ptr == s.data() + s.size() && std::isfinite(v) ? v : std::nan("");
}

// The group stream of an ASCII or binary file, one group of look-back.
class Groups {
public:
    explicit Groups(std::string_view b) : b_(b)
    {
        if (b_.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
            binary_ = true;
            at_ = kBinarySentinel.size();
            // The first group is (0, "SECTION"): a code of one byte in R12's form, two after.
            oneByte_ = at_ + 1 < b_.size() && b_[at_] == 0 && b_[at_ + 1] != 0;
        }
        // A byte-order mark of UTF-8 files from some writers.
        else if (b_.substr(0, 3) == "\xEF\xBB\xBF")
            at_ = 3;
    }

    bool Next(Group& g)
    {
        if (back_) {
            back_ = false;
            g = last_;
            return true;
        }
        if (!(binary_ ? Binary(last_) : Ascii(last_))) return false;
        g = last_;
        return true;
    }
    void Back() { back_ = true; }
    bool Ended() const { return at_ >= b_.size(); }
    bool Binary() const { return binary_; }

private:
    bool Line(std::string_view& line)
    {
        if (at_ >= b_.size()) return false;
        const std::size_t end = b_.find('\n', at_);
        const std::size_t stop = end == std::string_view::npos ? b_.size() : end;
        line = b_.substr(at_, stop - at_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        at_ = end == std::string_view::npos ? b_.size() : end + 1;
        return true;
    }

    bool Ascii(Group& g)
    {
        std::string_view code, value;
        if (!Line(code) || !Line(value)) return false;
        code = Trim(code);
        int c = -1;
        const auto [ptr, ec] = std::from_chars(code.data(), code.data() + code.size(), c);
        if (ec != std::errc() || ptr != code.data() + code.size() || c < 0 || c > 1071) return false;
        g.code = c;
        g.text = c == 0 ? Trim(value) : value;   // record names, padded by some writers
        const Kind kind = KindOf(c);
        g.number = kind == Kind::Text || kind == Kind::Binary ? 0 : kind == Kind::Double ? Bounded(ParseNumber(value)) : ParseNumber(value);
        return true;
    }

    bool Binary(Group& g)
    {
        int c;
        if (oneByte_) {
            if (at_ >= b_.size()) return false;
            c = static_cast<unsigned char>(b_[at_++]);
            if (c == 255) {
                if (!Word(c)) return false;
            }
        } else if (!Word(c)) {
            return false;
        }
        if (c > 1071) return false;
        g.code = c;
        g.text = {};
        g.number = 0;
        const auto take = [&](std::size_t n) -> const char* {
            if (b_.size() - at_ < n) return nullptr;
            const char* p = b_.data() + at_;
            at_ += n;
            return p;
        };
        switch (KindOf(c)) {
        case Kind::Text: {
            const std::size_t end = b_.find('\0', at_);
            if (end == std::string_view::npos) return false;
            g.text = b_.substr(at_, end - at_);
            at_ = end + 1;
            return true;
        }
        case Kind::Binary: {
            const char* n = take(1);
            if (!n || !take(static_cast<unsigned char>(*n))) return false;
            return true;
        }
        case Kind::Bool: {
            const char* p = take(1);
            if (!p) return false;
            g.number = static_cast<unsigned char>(*p);
            return true;
        }
        case Kind::Int16: {
            const char* p = take(2);
            if (!p) return false;
            g.number = static_cast<std::int16_t>(Le(p, 2));
            return true;
        }
        case Kind::Int32: {
            const char* p = take(4);
            if (!p) return false;
            g.number = static_cast<std::int32_t>(Le(p, 4));
            return true;
        }
        case Kind::Int64: {
            const char* p = take(8);
            if (!p) return false;
            g.number = double(static_cast<std::int64_t>(Le(p, 8)));
            return true;
        }
        case Kind::Double: {
            const char* p = take(8);
            if (!p) return false;
            const std::uint64_t bits = Le(p, 8);
            double v;
            std::memcpy(&v, &bits, sizeof v);
            g.number = Bounded(v);
            return true;
        }
        }
        return false;
    }

    bool Word(int& c)
    {
        if (b_.size() - at_ < 2) return false;
        c = int(Le(b_.data() + at_, 2));
        at_ += 2;
        return true;
    }

    static std::uint64_t Le(const char* p, int n)
    {
        std::uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
        return v;
    }

    std::string_view b_;
    std::size_t at_ = 0;
    bool binary_ = false, oneByte_ = false, back_ = false;
    Group last_;
};

// ---- text ---------------------------------------------------------------------------

enum class CodePage { Unknown, Utf8, Cp932, Latin };

void AppendUtf8(std::u32string& out, std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = n > 0 && i + std::size_t(n) <= s.size();
        for (int k = 1; ok && k < n; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + std::size_t(k)]);
            ok = (d & 0xC0) == 0x80;
            cp = cp << 6 | (d & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += cp;
        i += std::size_t(n);
    }
}

bool IsUtf8(std::string_view s)
{
    std::u32string probe;
    AppendUtf8(probe, s);
    return probe.find(U'\uFFFD') == std::u32string::npos;
}

std::u32string Decode(std::string_view raw, CodePage page)
{
    std::u32string out;
    const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        out.assign(raw.begin(), raw.end());
        return out;
    }
    // A file that names no code page is taken as UTF-8 where its bytes are, else as the
    // Japanese office's own CP932.
    if (page == CodePage::Unknown) page = IsUtf8(raw) ? CodePage::Utf8 : CodePage::Cp932;
    if (page == CodePage::Utf8) AppendUtf8(out, raw);
    else if (page == CodePage::Cp932) AppendUtf8(out, Cp932ToUtf8(raw));
    else
        for (const char c : raw) out += char32_t(static_cast<unsigned char>(c));
    return out;
}

int Hex(char32_t c)
{
    if (c >= U'0' && c <= U'9') return int(c - U'0');
    if (c >= U'a' && c <= U'f') return int(c - U'a' + 10);
    if (c >= U'A' && c <= U'F') return int(c - U'A' + 10);
    return -1;
}

// \U+XXXX and \M+nXXXX (n = 1: a CP932 code) at s[i] ('\\'); the character, and how many
// characters the escape took, or 0 when there is none.
std::size_t UnicodeEscape(const std::u32string& s, std::size_t i, char32_t& out)
{
    const auto hex = [&](std::size_t from, int digits, unsigned& v) {
        v = 0;
        for (int k = 0; k < digits; ++k) {
            const std::size_t at = from + std::size_t(k);
            const int h = at < s.size() ? Hex(s[at]) : -1;
            if (h < 0) return false;
            v = v << 4 | unsigned(h);
        }
        return true;
    };
    unsigned v;
    if (i + 2 < s.size() && (s[i + 1] == U'U' || s[i + 1] == U'u') && s[i + 2] == U'+' && hex(i + 3, 4, v)) {
        out = v >= 0xD800 && v <= 0xDFFF ? U'\uFFFD' : char32_t(v);
        return 7;
    }
    if (i + 3 < s.size() && (s[i + 1] == U'M' || s[i + 1] == U'm') && s[i + 2] == U'+' && s[i + 3] >= U'1' && s[i + 3] <= U'5' &&
        hex(i + 4, 4, v)) {
        out = U'\uFFFD';
        if (s[i + 3] == U'1') {
            const char bytes[2] = {char(v >> 8), char(v & 0xFF)};
            std::u32string one;
            AppendUtf8(one, Cp932ToUtf8(std::string_view(bytes, 2)));
            if (one.size() == 1) out = one[0];
        }
        return 8;
    }
    return 0;
}

// A single-line text (TEXT, ATTRIB): escapes and the %% control codes.
std::u32string PlainText(const std::u32string& s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c;
        if (s[i] == U'\\') {
            if (const std::size_t n = UnicodeEscape(s, i, c)) {
                out += c;
                i += n - 1;
                continue;
            }
        }
        if (s[i] == U'%' && i + 2 < s.size() && s[i + 1] == U'%') {
            const char32_t k = s[i + 2];
            const char32_t sign = k == U'd' || k == U'D' ? U'°' : k == U'p' || k == U'P' ? U'±' : k == U'c' || k == U'C' ? U'⌀'
                                : k == U'%' ? U'%' : 0;
            if (sign) out += sign;
            if (sign || k == U'u' || k == U'U' || k == U'o' || k == U'O' || k == U'k' || k == U'K') {
                i += 2;
                continue;
            }
            if (k >= U'0' && k <= U'9') {
                unsigned v = 0;
                std::size_t j = i + 2;
                for (; j < s.size() && j < i + 5 && s[j] >= U'0' && s[j] <= U'9'; ++j) v = v * 10 + unsigned(s[j] - U'0');
                out += char32_t(v ? v : 0xFFFD);
                i = j - 1;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// A multi-line text (MTEXT) without its formatting codes, its lines split.
std::vector<std::u32string> MText(const std::u32string& s)
{
    std::vector<std::u32string> lines(1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char32_t c = s[i];
        if (c == U'{' || c == U'}') continue;
        if (c == U'^' && i + 1 < s.size()) {
            const char32_t k = s[++i];
            if (k == U'J') lines.emplace_back();
            else lines.back() += k == U'I' ? U' ' : k == U' ' ? U'^' : k;
            continue;
        }
        if (c != U'\\' || i + 1 >= s.size()) {
            lines.back() += c;
            continue;
        }
        char32_t u;
        if (const std::size_t n = UnicodeEscape(s, i, u)) {
            lines.back() += u;
            i += n - 1;
            continue;
        }
        const char32_t k = s[++i];
        switch (k) {
        case U'P': case U'N': case U'X': lines.emplace_back(); break;
        case U'~': lines.back() += U' '; break;
        case U'\\': case U'{': case U'}': lines.back() += k; break;
        case U'L': case U'l': case U'O': case U'o': case U'K': case U'k': break;
        case U'S': {
            // A stacked fraction: its parts joined by a slash.
            for (++i; i < s.size() && s[i] != U';'; ++i) {
                if (s[i] == U'\\' && i + 1 < s.size()) ++i;
                else if (s[i] == U'^' || s[i] == U'#') {
                    lines.back() += U'/';
                    continue;
                }
                lines.back() += s[i];
            }
            break;
        }
        case U'A': case U'C': case U'c': case U'F': case U'f': case U'H': case U'Q': case U'T': case U'W': case U'p':
            // Settings up to their semicolon.
            while (i + 1 < s.size() && s[i + 1] != U';') ++i;
            if (i + 1 < s.size()) ++i;
            break;
        default: lines.back() += k;
        }
    }
    return lines;
}

bool FullWidth(char32_t c) { return c >= 0x2E80 && !(c >= 0xFF61 && c <= 0xFF9F); }

// Width of the text in heights.
double Advance(const std::u32string& s)
{
    double w = 0;
    for (const char32_t c : s) w += FullWidth(c) ? 1 : kHalfWidth;
    return w;
}

DrawingString Utf16(const std::u32string& s)
{
    DrawingString out;
    out.utf16 = true;
    out.bytes.reserve(2 * s.size());
    const auto unit = [&](char32_t u) {
        out.bytes += char(u & 0xFF);
        out.bytes += char(u >> 8 & 0xFF);
    };
    for (const char32_t c : s) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

// ---- colours ------------------------------------------------------------------------

// The AutoCAD Colour Index as RGB: seven named colours and two greys, then 24 hues in
// five shades each, full and pale, then six greys.
std::uint32_t AciRgb(int index)
{
    static constexpr std::uint32_t kFirst[10] = {0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                                 0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    static constexpr int kGreys[6] = {51, 91, 132, 173, 214, 255};
    static constexpr double kShade[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    if (index >= 0 && index < 10) return kFirst[index];
    if (index >= 250 && index <= 255) return std::uint32_t(kGreys[index - 250]) * 0x010101u;
    if (index < 10 || index > 249) return 0;
    const double hue = (index / 10 - 1) * 15.0, v = 255 * kShade[(index % 10) / 2];
    const bool pale = index % 2 == 1;
    // Hue to RGB at full saturation, then the pale form halfway to white, then the shade.
    const auto channel = [&](double offset) {
        const double h = std::fmod(hue + offset, 360.0);
        const double f = h < 60 ? 1 : h < 120 ? (120 - h) / 60 : h < 240 ? 0 : h < 300 ? (h - 240) / 60 : 1;
        const double p = pale ? 0.5 + f / 2 : f;
        return std::uint32_t(std::lround(p * v));
    };
    return channel(0) << 16 | channel(240) << 8 | channel(120);
}

std::uint32_t ColorRef(std::uint32_t rgb) { return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF); }

std::uint32_t Tint(std::uint32_t ref)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) out |= ((ref >> shift & 0xFF) + 3 * 255) / 4 << shift;
    return out;
}

// ---- the reader ---------------------------------------------------------------------

struct Layer {
    std::uint32_t rgb = 0;   // 0x00BBGGRR
    bool hidden = false;
};

struct Point {
    double x = 0, y = 0;
};

// Pens whose colour comes from the insert that places their block.
constexpr std::uint16_t kByBlock = 0;
constexpr std::uint16_t kOwnColour = 1;
// The layer group of entities on layers that are off or frozen; it is hidden.
constexpr std::uint16_t kHiddenGroup = 1;

// An insert whose block is named: in the main lists (-1 model, -2 paper) or a block's.
struct PendingInsert {
    std::int64_t list;
    std::size_t index;
    std::string name;
};

// What all entities hold: layer, colour, and whether their plane is seen from below.
struct Common {
    DrawingPen pen;
    bool paper = false, mirrored = false, invisible = false;
};

class Reader {
public:
    Reader(std::string_view bytes, JwwDrawing& d) : groups_(bytes), d_(d)
    {
        budget_ = std::min<std::size_t>(kMaxDrawingEntities, 4 * bytes.size() + 4096);
    }

    bool Run()
    {
        Group g;
        bool any = false;
        while (groups_.Next(g)) {
            if (g.code == 999) continue;
            if (g.code != 0) return any && Finish(false);
            if (g.text == "EOF") return Finish(true);
            if (g.text != "SECTION") return any && Finish(false);
            Group name;
            if (!groups_.Next(name) || name.code != 2) return any && Finish(false);
            any = true;
            if (!Section(Trim(name.text))) return Finish(false);
        }
        // Some writers end without EOF; a file cut after a whole section reads as far.
        return any && Finish(false);
    }

private:
    // ---- sections ----

    bool Section(std::string_view name)
    {
        if (name == "HEADER") return Header();
        if (name == "TABLES") return Records([this](std::string_view type) { Table(type); });
        current_ = &discard_;
        if (name == "BLOCKS") return Records([this](std::string_view type) { BlockRecord(type); });
        if (name == "ENTITIES") {
            current_ = nullptr;
            return Records([this](std::string_view type) { Entity(type, nullptr); });
        }
        return Records([](std::string_view) {});
    }

    // Records "0 TYPE ..." up to ENDSEC, each read into rec_ first.
    template <class F>
    bool Records(F each)
    {
        Group g;
        if (!groups_.Next(g)) return false;
        while (true) {
            if (g.code != 0) {
                if (!groups_.Next(g)) return false;
                continue;
            }
            if (g.text == "ENDSEC") {
                EndPolyline();
                return true;
            }
            if (g.text == "EOF") {
                groups_.Back();
                return true;
            }
            const std::string_view type = g.text;
            rec_.clear();
            bool more;
            while ((more = groups_.Next(g)) && g.code != 0)
                if (rec_.size() < kMaxEntityGroups) rec_.push_back(g);
            if (budget_ > 0) each(type);
            if (!more) return false;
        }
    }

    bool Header()
    {
        Group g;
        std::string_view variable;
        while (groups_.Next(g)) {
            if (g.code == 0) {
                if (g.text == "ENDSEC") return true;
                groups_.Back();
                return true;
            }
            if (g.code == 9) variable = g.text;
            else if (variable == "$ACADVER" && g.code == 1) Version(Trim(g.text));
            else if (variable == "$DWGCODEPAGE" && g.code == 3) {
                std::string page(Trim(g.text));
                std::transform(page.begin(), page.end(), page.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
                if (page == "ANSI_932" || page == "DOS932") codePage_ = CodePage::Cp932;
                else if (page.rfind("ANSI_", 0) == 0 || page.rfind("DOS", 0) == 0 || page.rfind("ISO8859", 0) == 0) codePage_ = CodePage::Latin;
            }
        }
        return false;
    }

    void Version(std::string_view v)
    {
        if (v.size() == 6 && v.substr(0, 2) == "AC") {
            unsigned n = 0;
            const auto [ptr, ec] = std::from_chars(v.data() + 2, v.data() + 6, n);
            if (ec == std::errc() && ptr == v.data() + 6) d_.version = n;
        }
        // From AutoCAD 2007 on, every string is UTF-8 whatever the code page says.
        if (d_.version >= 1021) utf8_ = true;
    }

    std::u32string Text(std::string_view raw) const { return Decode(raw, utf8_ ? CodePage::Utf8 : codePage_); }

    void Table(std::string_view type)
    {
        if (type != "LAYER") return;
        std::string name;
        int colour = 7, flags = 0;
        long trueColour = -1;
        for (const Group& g : rec_) {
            if (g.code == 2) name = Key(g.text);
            else if (g.code == 62 && std::isfinite(g.number)) colour = int(std::clamp(g.number, -256.0, 256.0));
            else if (g.code == 70 && std::isfinite(g.number)) flags = int(std::clamp(g.number, 0.0, 65535.0));
            else if (g.code == 420 && std::isfinite(g.number)) trueColour = long(g.number) & 0xFFFFFF;
        }
        Layer layer;
        // A negative colour is a layer turned off; flag 1 a frozen one.
        layer.hidden = colour < 0 || (flags & 1);
        layer.rgb = ColorRef(trueColour >= 0 ? std::uint32_t(trueColour) : AciRgb(std::abs(colour)));
        layers_.emplace(std::move(name), layer);
    }

    void BlockRecord(std::string_view type)
    {
        if (type == "BLOCK") {
            EndPolyline();
            DrawingBlock b;
            b.number = std::uint32_t(d_.blocks.size());
            std::string name;
            Point base;
            for (const Group& g : rec_) {
                if (g.code == 2) name = Key(g.text);
                else if (g.code == 10) base.x = g.number;
                else if (g.code == 20) base.y = g.number;
            }
            if (!std::isfinite(base.x) || !std::isfinite(base.y)) base = {};
            // The layouts' own blocks ($ in R12) hold what their spaces hold.
            const std::string_view bare = std::string_view(name).substr(name.empty() ? 0 : 1);
            const bool layout = !name.empty() && (name[0] == '*' || name[0] == '$');
            const bool paper = layout && bare.rfind("PAPER_SPACE", 0) == 0, model = layout && bare.rfind("MODEL_SPACE", 0) == 0;
            if (paper || model) {
                current_ = paper && bare == "PAPER_SPACE" ? &paper_ : model ? &model_ : &discard_;
                return;
            }
            blockIndex_.emplace(name, d_.blocks.size());   // the first of equal names
            blockBases_.push_back(base);
            d_.blocks.push_back(std::move(b));
            current_ = nullptr;
            currentBlock_ = d_.blocks.size() - 1;
            return;
        }
        if (type == "ENDBLK") {
            EndPolyline();
            current_ = &discard_;
            return;
        }
        if (current_ == &discard_) return;
        Entity(type, current_ ? current_ : &d_.blocks[currentBlock_].entities);
    }

    static std::string Key(std::string_view name)
    {
        std::string k(Trim(name));
        for (char& c : k)
            if (c >= 'a' && c <= 'z') c = char(c - 32);
        return k;
    }

    // ---- entities ----

    Common CommonOf(bool inBlock) const
    {
        Common c;
        std::string_view layerName = "0";
        int colour = 256;
        long trueColour = -1;
        double nz = 1;
        for (const Group& g : rec_) {
            switch (g.code) {
            case 8: layerName = g.text; break;
            case 62: if (std::isfinite(g.number)) colour = int(std::clamp(g.number, -1.0, 257.0)); break;
            case 420: if (std::isfinite(g.number)) trueColour = long(g.number) & 0xFFFFFF; break;
            case 67: c.paper = g.number == 1; break;
            case 60: c.invisible = g.number == 1; break;
            case 230: if (std::isfinite(g.number)) nz = g.number; break;
            default: break;
            }
        }
        c.mirrored = nz < 0;
        const std::string layerKey = Key(layerName);
        const auto layer = layers_.find(layerKey);
        c.pen.style = 1;
        c.pen.colour = kOwnColour;
        c.pen.hasRgb = true;
        if (layer != layers_.end() && layer->second.hidden) c.pen.group = kHiddenGroup;
        if (trueColour >= 0) {
            c.pen.rgb = ColorRef(std::uint32_t(trueColour));
        } else if (colour >= 1 && colour <= 255) {
            c.pen.rgb = ColorRef(AciRgb(colour));
        } else if (inBlock && (colour == 0 || layerKey == "0")) {
            // BYBLOCK, and what lies on layer 0 of a block: the insert's colour.
            c.pen.colour = kByBlock;
        } else {
            c.pen.rgb = layer != layers_.end() ? layer->second.rgb : 0;
        }
        return c;
    }

    bool Take(std::size_t n = 1)
    {
        if (budget_ < n) {
            budget_ = 0;
            return false;
        }
        budget_ -= n;
        return true;
    }

    static double Num(const Group& g, double fallback = 0) { return std::isfinite(g.number) ? g.number : fallback; }

    // The first value of each code asked for.
    struct Values {
        double v[10] = {};
        bool has[10] = {};
    };
    Values Find(std::initializer_list<int> codes, std::initializer_list<double> defaults) const
    {
        Values out;
        std::size_t k = 0;
        for (const double d : defaults) out.v[k++] = d;
        for (const Group& g : rec_) {
            std::size_t i = 0;
            for (const int c : codes) {
                if (g.code == c && !out.has[i] && std::isfinite(g.number)) {
                    out.v[i] = g.number;
                    out.has[i] = true;
                }
                ++i;
            }
        }
        return out;
    }

    std::string_view Str(int code) const
    {
        for (const Group& g : rec_)
            if (g.code == code) return g.text;
        return {};
    }

    void Entity(std::string_view type, DrawingEntities* list)
    {
        const bool inBlock = list && list != &model_ && list != &paper_;
        if (type == "VERTEX") {
            if (polyline_.active) Vertex();
            return;
        }
        if (type == "SEQEND") {
            EndPolyline();
            return;
        }
        EndPolyline();
        Common c = CommonOf(inBlock);
        if (c.invisible) return;
        DrawingEntities& out = list ? *list : c.paper ? paper_ : model_;
        const double m = c.mirrored ? -1 : 1;   // the plane seen from below: x turns over
        if (type == "LINE") {
            const Values v = Find({10, 20, 11, 21}, {0, 0, 0, 0});
            AddLine(out, c.pen, {v.v[0], v.v[1]}, {v.v[2], v.v[3]});
        } else if (type == "POINT") {
            const Values v = Find({10, 20}, {0, 0});
            if (Take()) out.points.push_back({c.pen, v.v[0], v.v[1], false});
        } else if (type == "CIRCLE" || type == "ARC") {
            const Values v = Find({10, 20, 40, 50, 51}, {0, 0, 0, 0, 360});
            const bool circle = type == "CIRCLE";
            const double start = circle ? 0 : v.v[3] * kDegree;
            double sweep = circle ? kTwoPi : std::fmod(v.v[4] - v.v[3], 360.0) * kDegree;
            if (sweep <= 0) sweep += kTwoPi;
            AddArc(out, c.pen, {m * v.v[0], v.v[1]}, std::fabs(v.v[2]), c.mirrored ? kPi - start : start, m * sweep, circle);
        } else if (type == "ELLIPSE") {
            Ellipse(out, c);
        } else if (type == "LWPOLYLINE") {
            LwPolyline(out, c);
        } else if (type == "POLYLINE") {
            const Values v = Find({70, 71, 72}, {0, 0, 0});
            polyline_ = {};
            polyline_.active = true;
            polyline_.list = &out;
            polyline_.common = c;
            polyline_.flags = int(std::clamp(v.v[0], 0.0, 65535.0));
            polyline_.m = int(std::clamp(v.v[1], 0.0, 65535.0));
            polyline_.n = int(std::clamp(v.v[2], 0.0, 65535.0));
        } else if (type == "SPLINE") {
            Spline(out, c.pen);
        } else if (type == "SOLID" || type == "TRACE" || type == "3DFACE") {
            const Values v = Find({10, 20, 11, 21, 12, 22, 13, 23, 70}, {0, 0, 0, 0, 0, 0, 0, 0, 0});
            // A solid's third and fourth corners cross over; a face is its edges.
            const Point p[4] = {{v.v[0], v.v[1]}, {v.v[2], v.v[3]}, {v.v[4], v.v[5]}, {v.has[6] ? v.v[6] : v.v[4], v.has[7] ? v.v[7] : v.v[5]}};
            if (type == "3DFACE") {
                const int hiddenEdges = int(std::clamp(v.v[8], 0.0, 15.0));
                for (int i = 0; i < 4; ++i)
                    if (!(hiddenEdges & (1 << i))) AddLine(out, c.pen, p[i], p[(i + 1) % 4]);
            } else if (Take()) {
                DrawingSolid s;
                s.pen = c.pen;
                const Point order[4] = {p[0], p[1], p[3], p[2]};
                for (int i = 0; i < 4; ++i) {
                    s.v[std::size_t(2 * i)] = m * order[i].x;
                    s.v[std::size_t(2 * i + 1)] = order[i].y;
                }
                out.solids.push_back(s);
            }
        } else if (type == "HATCH") {
            Hatch(out, c.pen, m);
        } else if (type == "TEXT" || type == "ATTRIB") {
            if (type == "ATTRIB" && (int(Find({70}, {0}).v[0]) & 1)) return;
            Text(out, c, type == "ATTRIB");
        } else if (type == "MTEXT") {
            MTextEntity(out, c);
        } else if (type == "INSERT") {
            Insert(out, c);
        } else if (type == "DIMENSION") {
            // Drawn as the block it comes with, which holds its lines, arrows and text.
            const std::string_view name = Str(2);
            if (!name.empty() && Take()) {
                DrawingInsert ins;
                ins.pen = c.pen;
                out.inserts.push_back(ins);
                pending_.push_back({ListId(out), out.inserts.size() - 1, Key(name)});
            }
        } else if (type == "LEADER") {
            std::vector<Point> points;
            for (const Group& g : rec_) {
                if (g.code == 10) points.push_back({Num(g), 0});   // in the world's coordinates
                else if (g.code == 20 && !points.empty()) points.back().y = Num(g);
            }
            for (std::size_t i = 0; i + 1 < points.size(); ++i) AddLine(out, c.pen, points[i], points[i + 1]);
        }
    }

    void AddLine(DrawingEntities& out, const DrawingPen& pen, Point a, Point b)
    {
        if (!std::isfinite(a.x + a.y + b.x + b.y) || !Take()) return;
        out.lines.push_back({pen, a.x, a.y, b.x, b.y});
    }

    void AddArc(DrawingEntities& out, const DrawingPen& pen, Point c, double r, double start, double sweep, bool closed,
                double tilt = 0, double flatness = 1)
    {
        if (!std::isfinite(c.x + c.y + r + start + sweep + tilt + flatness) || !Take()) return;
        DrawingArc a;
        a.pen = pen;
        a.cx = c.x;
        a.cy = c.y;
        a.radius = r;
        a.start = start;
        a.sweep = sweep;
        a.tilt = tilt;
        a.flatness = flatness;
        a.closed = closed;
        out.arcs.push_back(a);
    }

    void Ellipse(DrawingEntities& out, const Common& c)
    {
        const Values v = Find({10, 20, 11, 21, 40, 41, 42}, {0, 0, 1, 0, 1, 0, kTwoPi});
        const double r = std::hypot(v.v[2], v.v[3]);
        double p1 = v.v[5], sweep = std::fmod(v.v[6] - v.v[5], kTwoPi);
        if (sweep <= 1e-12) sweep += kTwoPi;
        // Seen from below, the minor axis points the other way: the parameter runs back.
        if (c.mirrored) p1 = -v.v[6];
        const bool whole = sweep >= kTwoPi - 1e-9;
        AddArc(out, c.pen, {v.v[0], v.v[1]}, r, p1, sweep, whole, std::atan2(v.v[3], v.v[2]), std::clamp(v.v[4], 0.0, 1.0));
    }

    // A bulge's arc from a to b (bulge = tan of a quarter of its angle, positive
    // counter-clockwise), or the straight line.
    void Segment(DrawingEntities& out, const DrawingPen& pen, Point a, Point b, double bulge)
    {
        if (!std::isfinite(bulge) || std::fabs(bulge) < 1e-9 || (a.x == b.x && a.y == b.y)) {
            AddLine(out, pen, a, b);
            return;
        }
        bulge = std::clamp(bulge, -1e6, 1e6);
        const double dx = b.x - a.x, dy = b.y - a.y, k = (1 - bulge * bulge) / (4 * bulge);
        const Point centre{(a.x + b.x) / 2 - dy * k, (a.y + b.y) / 2 + dx * k};
        AddArc(out, pen, centre, std::hypot(a.x - centre.x, a.y - centre.y), std::atan2(a.y - centre.y, a.x - centre.x),
               4 * std::atan(bulge), false);
    }

    void LwPolyline(DrawingEntities& out, const Common& c)
    {
        std::vector<Point> points;
        std::vector<double> bulges;
        int flags = 0;
        for (const Group& g : rec_) {
            if (g.code == 70) flags = int(std::clamp(Num(g), 0.0, 65535.0));
            else if (g.code == 10) {
                points.push_back({(c.mirrored ? -1 : 1) * Num(g), 0});
                bulges.push_back(0);
            } else if (g.code == 20 && !points.empty()) points.back().y = Num(g);
            else if (g.code == 42 && !bulges.empty()) bulges.back() = (c.mirrored ? -1 : 1) * Num(g);
        }
        Polyline(out, c.pen, points, bulges, flags & 1);
    }

    void Polyline(DrawingEntities& out, const DrawingPen& pen, const std::vector<Point>& p, const std::vector<double>& bulges, bool closed)
    {
        if (p.size() == 1 && Take()) out.points.push_back({pen, p[0].x, p[0].y, false});
        for (std::size_t i = 0; i + 1 < p.size(); ++i) Segment(out, pen, p[i], p[i + 1], bulges[i]);
        if (closed && p.size() > 2) Segment(out, pen, p.back(), p.front(), bulges.back());
    }

    // ---- POLYLINE ... VERTEX ... SEQEND ----

    struct OldPolyline {
        bool active = false;
        DrawingEntities* list = nullptr;
        Common common;
        int flags = 0, m = 0, n = 0;
        std::vector<Point> points;
        std::vector<double> bulges;
        std::vector<std::array<int, 4>> faces;
    } polyline_;

    void Vertex()
    {
        const Values v = Find({10, 20, 42, 70, 71, 72, 73, 74}, {0, 0, 0, 0, 0, 0, 0, 0});
        const int flags = int(std::clamp(v.v[3], 0.0, 255.0));
        if (flags & 16) return;   // a spline's frame, not its curve
        if ((flags & 128) && !(flags & 64)) {
            std::array<int, 4> f{};
            for (int i = 0; i < 4; ++i) f[std::size_t(i)] = int(std::clamp(v.v[4 + i], -32767.0, 32767.0));
            if (polyline_.faces.size() < kMaxEntityGroups) polyline_.faces.push_back(f);
            return;
        }
        // Plain polylines lie in their plane, 3D ones, meshes and face sets in the world.
        const bool plane = !(polyline_.flags & (8 | 16 | 64));
        const double m = plane && polyline_.common.mirrored ? -1 : 1;
        if (polyline_.points.size() < kMaxEntityGroups) {
            polyline_.points.push_back({m * v.v[0], v.v[1]});
            polyline_.bulges.push_back(plane ? m * v.v[2] : 0);
        }
    }

    void EndPolyline()
    {
        if (!polyline_.active) return;
        OldPolyline p = std::move(polyline_);
        polyline_ = {};
        DrawingEntities& out = *p.list;
        const DrawingPen& pen = p.common.pen;
        if (p.flags & 64) {
            // A face set: each face's visible edges (a negative index hides the edge).
            for (const auto& f : p.faces) {
                int count = 0;
                while (count < 4 && f[std::size_t(count)] != 0) ++count;
                for (int i = 0; i < count; ++i) {
                    const int from = f[std::size_t(i)], to = std::abs(f[std::size_t((i + 1) % count)]);
                    if (from <= 0 || std::size_t(from) > p.points.size() || std::size_t(to) > p.points.size() || to == 0) continue;
                    AddLine(out, pen, p.points[std::size_t(from - 1)], p.points[std::size_t(to - 1)]);
                }
            }
        } else if (p.flags & 16) {
            // A mesh of m rows of n vertices: its grid.
            const std::size_t m = std::size_t(p.m), n = std::size_t(p.n);
            if (m == 0 || n == 0 || m * n > p.points.size()) return Polyline(out, pen, p.points, p.bulges, false);
            for (std::size_t i = 0; i < m; ++i)
                for (std::size_t j = 0; j < n; ++j) {
                    if (j + 1 < n || (p.flags & 32)) AddLine(out, pen, p.points[i * n + j], p.points[i * n + (j + 1) % n]);
                    if (i + 1 < m || (p.flags & 1)) AddLine(out, pen, p.points[i * n + j], p.points[((i + 1) % m) * n + j]);
                }
        } else {
            Polyline(out, pen, p.points, p.bulges, p.flags & 1);
        }
    }

    // ---- splines ----

    // Points along a B-spline of the degree through its control points (weighted where
    // weights are given), over its knots; false when they do not make one.
    static bool EvaluateSpline(int degree, const std::vector<double>& knots, const std::vector<Point>& cps,
                               const std::vector<double>& weights, std::vector<Point>& out)
    {
        const std::size_t n = cps.size();
        const std::size_t p = std::size_t(degree);
        if (degree < 1 || degree > 10 || n <= p || knots.size() != n + p + 1) return false;
        for (std::size_t i = 1; i < knots.size(); ++i)
            if (!(knots[i] >= knots[i - 1])) return false;
        const double lo = knots[p], hi = knots[n];
        if (!(hi > lo)) return false;
        const bool rational = weights.size() == n && std::all_of(weights.begin(), weights.end(), [](double w) { return w > 0; });
        const int pieces = int(std::clamp<std::size_t>(16 * (n - p), 16, kMaxSplinePieces));
        double wx[11], wy[11], ww[11];
        for (int k = 0; k <= pieces; ++k) {
            const double u = k == pieces ? hi : lo + (hi - lo) * k / pieces;
            // The span holding u, and de Boor's triangle over its p + 1 points.
            std::size_t s = std::size_t(std::upper_bound(knots.begin() + std::ptrdiff_t(p), knots.begin() + std::ptrdiff_t(n), u) -
                                        knots.begin()) - 1;
            s = std::clamp(s, p, n - 1);
            for (std::size_t j = 0; j <= p; ++j) {
                const std::size_t i = s - p + j;
                const double w = rational ? weights[i] : 1;
                wx[j] = cps[i].x * w;
                wy[j] = cps[i].y * w;
                ww[j] = w;
            }
            for (std::size_t r = 1; r <= p; ++r)
                for (std::size_t j = p; j >= r; --j) {
                    const std::size_t i = s - p + j;
                    const double den = knots[i + p - r + 1] - knots[i];
                    const double a = den > 0 ? (u - knots[i]) / den : 0;
                    wx[j] = (1 - a) * wx[j - 1] + a * wx[j];
                    wy[j] = (1 - a) * wy[j - 1] + a * wy[j];
                    ww[j] = (1 - a) * ww[j - 1] + a * ww[j];
                }
            if (!(ww[p] != 0)) return false;
            out.push_back({wx[p] / ww[p], wy[p] / ww[p]});
        }
        return true;
    }

    void Spline(DrawingEntities& out, const DrawingPen& pen)
    {
        int degree = 3;
        std::vector<double> knots, weights;
        std::vector<Point> cps, fits;
        for (const Group& g : rec_) {
            switch (g.code) {
            case 71: degree = int(std::clamp(Num(g, 3), 0.0, 100.0)); break;
            case 40: knots.push_back(Num(g)); break;
            case 41: weights.push_back(Num(g)); break;
            case 10: cps.push_back({Num(g), 0}); break;
            case 20: if (!cps.empty()) cps.back().y = Num(g); break;
            case 11: fits.push_back({Num(g), 0}); break;
            case 21: if (!fits.empty()) fits.back().y = Num(g); break;
            default: break;
            }
        }
        std::vector<Point> curve;
        if (!EvaluateSpline(degree, knots, cps, weights, curve)) curve = fits.size() >= 2 ? fits : cps;
        for (std::size_t i = 0; i + 1 < curve.size(); ++i) AddLine(out, pen, curve[i], curve[i + 1]);
    }

    // ---- hatches ----

    // An arc's points from start over sweep (radians) on the ellipse centre + major
    // (cos t) + minor (sin t).
    void ArcPoints(std::vector<Point>& ring, Point c, Point major, double ratio, double start, double sweep)
    {
        if (!std::isfinite(c.x + c.y + major.x + major.y + ratio + start + sweep)) return;
        const Point minor{-major.y * ratio, major.x * ratio};
        const int pieces = std::clamp(int(std::ceil(std::fabs(sweep) / kTwoPi * kArcPiecesPerTurn)), 2, kArcPiecesPerTurn);
        for (int i = 0; i <= pieces; ++i) {
            const double t = start + sweep * i / pieces;
            ring.push_back({c.x + major.x * std::cos(t) + minor.x * std::sin(t), c.y + major.y * std::cos(t) + minor.y * std::sin(t)});
        }
    }

    static double Sweep(double start, double end)
    {
        double s = std::fmod(end - start, kTwoPi);
        if (s <= 1e-12) s += kTwoPi;
        return s;
    }

    // The groups of one record read in their order, as HATCH needs.
    struct Cursor {
        const std::vector<Group>& rec;
        std::size_t at = 0;
        bool Next(int code, double& v)
        {
            if (!Is(code)) return false;
            v = Num(rec[at++]);
            return true;
        }
        bool Is(int code) const { return at < rec.size() && rec[at].code == code; }
        bool More() const { return at < rec.size(); }
    };

    static std::size_t CountOf(double v) { return std::size_t(std::clamp(v, 0.0, 1e9)); }

    void Hatch(DrawingEntities& out, DrawingPen pen, double m)
    {
        bool solid = false;
        Cursor r{rec_};
        while (r.More() && !r.Is(91)) {
            if (r.Is(70)) solid = rec_[r.at].number == 1;
            ++r.at;
        }
        double paths = 0;
        if (!r.Next(91, paths)) return;
        DrawingPolygon polygon;
        polygon.pen = pen;
        for (std::size_t path = 0; path < CountOf(paths) && r.More(); ++path) {
            double flags = 0;
            if (!r.Next(92, flags)) break;
            std::vector<Point> ring;
            if (int(flags) & 2) {
                double hasBulge = 0, closed = 0, count = 0;
                r.Next(72, hasBulge);
                r.Next(73, closed);
                r.Next(93, count);
                std::vector<Point> p;
                std::vector<double> b;
                for (std::size_t i = 0; i < CountOf(count) && r.More(); ++i) {
                    Point q;
                    if (!r.Next(10, q.x) || !r.Next(20, q.y)) break;
                    double bulge = 0;
                    r.Next(42, bulge);
                    p.push_back(q);
                    b.push_back(bulge);
                }
                for (std::size_t i = 0; i < p.size(); ++i) {
                    const Point a = p[i], e = p[(i + 1) % p.size()];
                    ring.push_back(a);
                    if (std::fabs(b[i]) > 1e-9 && std::isfinite(b[i]) && hasBulge != 0) {
                        const double bulge = std::clamp(b[i], -1e6, 1e6);
                        const double dx = e.x - a.x, dy = e.y - a.y, k = (1 - bulge * bulge) / (4 * bulge);
                        const Point c{(a.x + e.x) / 2 - dy * k, (a.y + e.y) / 2 + dx * k};
                        const double rad = std::hypot(a.x - c.x, a.y - c.y);
                        ArcPoints(ring, c, {rad, 0}, 1, std::atan2(a.y - c.y, a.x - c.x), 4 * std::atan(bulge));
                    }
                }
            } else {
                double edges = 0;
                r.Next(93, edges);
                for (std::size_t e = 0; e < CountOf(edges) && r.More(); ++e) {
                    double type = 0;
                    if (!r.Next(72, type) || !Edge(int(type), ring, r)) break;
                }
            }
            // The boundary objects it came from.
            double sources = 0;
            if (r.Next(97, sources))
                while (r.Is(330)) ++r.at;
            // Whatever is left of a damaged path up to the next one.
            while (r.More() && !r.Is(92) && !r.Is(75)) ++r.at;
            if (ring.size() < 3 || !Take(1 + ring.size() / 8)) continue;
            for (const Point& q : ring) {
                polygon.xy.push_back(m * q.x);
                polygon.xy.push_back(q.y);
            }
            polygon.ends.push_back(std::uint32_t(polygon.xy.size() / 2));
        }
        if (polygon.ends.empty()) return;
        // A pattern is shown as a light tint of its colour over the area.
        if (!solid) polygon.pen.rgb = Tint(polygon.pen.rgb);
        out.polygons.push_back(std::move(polygon));
    }

    bool Edge(int type, std::vector<Point>& ring, Cursor& r)
    {
        Point c, b;
        double rad = 0, start = 0, end = 0, ccw = 1, ratio = 1;
        switch (type) {
        case 1:
            if (!r.Next(10, c.x) || !r.Next(20, c.y) || !r.Next(11, b.x) || !r.Next(21, b.y)) return false;
            ring.push_back(c);
            ring.push_back(b);
            return true;
        case 2:
        case 3: {
            if (!r.Next(10, c.x) || !r.Next(20, c.y)) return false;
            if (type == 2) {
                if (!r.Next(40, rad)) return false;
                b = {rad, 0};
            } else if (!r.Next(11, b.x) || !r.Next(21, b.y) || !r.Next(40, ratio)) {
                return false;
            }
            if (!r.Next(50, start) || !r.Next(51, end)) return false;
            r.Next(73, ccw);
            // A clockwise arc keeps its angles as seen from below.
            const double turn = ccw != 0 ? 1 : -1;
            ArcPoints(ring, c, b, ratio, turn * start * kDegree, turn * Sweep(start * kDegree, end * kDegree));
            return true;
        }
        case 4: {
            double degree = 3, rational = 0, periodic = 0, count = 0, v = 0;
            r.Next(94, degree);
            r.Next(73, rational);
            r.Next(74, periodic);
            r.Next(95, count);
            r.Next(96, count);
            std::vector<double> knots, weights;
            std::vector<Point> cps, fits;
            while (r.Next(40, v)) knots.push_back(v);
            while (r.Is(10)) {
                Point p;
                r.Next(10, p.x);
                r.Next(20, p.y);
                cps.push_back(p);
                if (r.Next(42, v)) weights.push_back(v);
            }
            if (r.Is(97) && r.at + 1 < rec_.size() && (rec_[r.at + 1].code == 11 || rec_[r.at + 1].code == 12)) {
                r.Next(97, count);
                while (r.Is(11)) {
                    Point p;
                    r.Next(11, p.x);
                    r.Next(21, p.y);
                    fits.push_back(p);
                }
                Point t;
                if (r.Next(12, t.x)) r.Next(22, t.y);
                if (r.Next(13, t.x)) r.Next(23, t.y);
            }
            std::vector<Point> curve;
            if (!EvaluateSpline(int(std::clamp(degree, 0.0, 100.0)), knots, cps, weights, curve)) curve = fits.size() >= 2 ? fits : cps;
            ring.insert(ring.end(), curve.begin(), curve.end());
            return true;
        }
        default: return false;
        }
    }

    // ---- texts ----

    void Text(DrawingEntities& out, const Common& c, bool attrib)
    {
        const Values v = Find({10, 20, 11, 21, 40, 41, 50, 72, attrib ? 74 : 73}, {0, 0, 0, 0, kDefaultTextHeight, 1, 0, 0, 0});
        const std::u32string content = PlainText(Text(Str(1)));
        if (content.empty()) return;
        const double h = v.v[4] > 0 ? v.v[4] : kDefaultTextHeight, wf = v.v[5] > 0 ? std::min(v.v[5], 100.0) : 1;
        const int horizontal = int(std::clamp(v.v[7], 0.0, 5.0)), vertical = int(std::clamp(v.v[8], 0.0, 3.0));
        double angle = v.v[6] * kDegree;
        Point start{v.v[0], v.v[1]};
        double length = Advance(content) * h * wf;
        if (horizontal == 3 || horizontal == 5) {
            // Aligned and fitted texts run from the first point to the second.
            if (v.has[2] && v.has[3]) {
                const double dx = v.v[2] - v.v[0], dy = v.v[3] - v.v[1];
                if (std::hypot(dx, dy) > 0) {
                    length = std::hypot(dx, dy);
                    angle = std::atan2(dy, dx);
                }
            }
        } else if ((horizontal != 0 || vertical != 0) && v.has[2] && v.has[3]) {
            const double along = horizontal == 1 || horizontal == 4 ? 0.5 : horizontal == 2 ? 1 : 0;
            const double up = horizontal == 4 ? 0.5 : vertical == 2 ? 0.5 : vertical == 3 ? 1 : 0;
            const double ca = std::cos(angle), sa = std::sin(angle);
            start = {v.v[2] - ca * length * along + sa * h * up, v.v[3] - sa * length * along - ca * h * up};
        }
        if (c.mirrored) {
            start.x = -start.x;
            angle = kPi - angle;
        }
        AddText(out, c.pen, start, angle, length, h, h * wf, content);
    }

    void AddText(DrawingEntities& out, const DrawingPen& pen, Point start, double angle, double length, double h, double sizeX,
                 const std::u32string& content)
    {
        if (!std::isfinite(start.x + start.y + angle + length + h) || !Take()) return;
        DrawingText t;
        t.pen = pen;
        t.x1 = start.x;
        t.y1 = start.y;
        t.x2 = start.x + std::cos(angle) * length;
        t.y2 = start.y + std::sin(angle) * length;
        t.sizeX = sizeX;
        t.sizeY = h;
        t.angle = std::remainder(angle / kDegree, 360.0);
        t.content = Utf16(content);
        out.texts.push_back(std::move(t));
    }

    void MTextEntity(DrawingEntities& out, const Common& c)
    {
        const Values v = Find({10, 20, 40, 41, 71, 11, 21, 50, 44}, {0, 0, kDefaultTextHeight, 0, 1, 1, 0, 0, 1});
        std::string raw;
        for (const Group& g : rec_)
            if (g.code == 3) raw += g.text;
        raw += Str(1);
        std::vector<std::u32string> lines = MText(Text(raw));
        const double h = v.v[2] > 0 ? v.v[2] : kDefaultTextHeight;
        const double pitch = h * kLinePitch * std::clamp(v.v[8], 0.25, 4.0);
        // Lines longer than the box's width wrap, at a space where one is near.
        if (v.v[3] > 0) {
            std::vector<std::u32string> wrapped;
            for (const std::u32string& line : lines) {
                std::size_t from = 0;
                do {
                    std::size_t cut = from;
                    double w = 0;
                    for (; cut < line.size(); ++cut) {
                        const double width = FullWidth(line[cut]) ? 1 : kHalfWidth;
                        if (cut > from && (w + width) * h > v.v[3]) break;
                        w += width;
                    }
                    if (cut < line.size() && !FullWidth(line[cut - 1])) {
                        const std::size_t space = line.rfind(U' ', cut - 1);
                        if (space != std::u32string::npos && space > from) cut = space + 1;
                    }
                    wrapped.push_back(line.substr(from, cut - from));
                    from = cut;
                } while (from < line.size());
            }
            lines = std::move(wrapped);
        }
        const int attach = int(std::clamp(v.v[4], 1.0, 9.0)) - 1;
        const double along = (attach % 3) * 0.5, down = attach / 3 * 0.5;
        double angle = v.has[5] || v.has[6] ? std::atan2(v.v[6], v.v[5]) : v.v[7];
        // Unlike TEXT, placed in the world's coordinates.
        const Point at{v.v[0], v.v[1]};
        const double ca = std::cos(angle), sa = std::sin(angle);
        const double block = h + pitch * double(lines.size() - 1);
        // The first line's baseline below the top, the top above the attachment point.
        const double top = block * down;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            while (!lines[i].empty() && lines[i].back() == U' ') lines[i].pop_back();
            if (lines[i].empty()) continue;
            const double length = Advance(lines[i]) * h;
            const double dx = -length * along, dy = top - h - pitch * double(i);
            AddText(out, c.pen, {at.x + ca * dx - sa * dy, at.y + sa * dx + ca * dy}, angle, length, h, h, lines[i]);
        }
    }

    // ---- inserts ----

    void Insert(DrawingEntities& out, const Common& c)
    {
        const std::string_view name = Str(2);
        if (name.empty()) return;
        const Values v = Find({10, 20, 41, 42, 50, 70, 71, 44, 45}, {0, 0, 1, 1, 0, 1, 1, 0, 0});
        const double columns = std::clamp(v.v[5], 1.0, 32767.0), rows = std::clamp(v.v[6], 1.0, 32767.0);
        const std::size_t copies = std::min<std::size_t>(std::size_t(columns) * std::size_t(rows), kMaxArrayCopies);
        double rotation = v.v[4] * kDegree, sx = v.v[2], sy = v.v[3];
        Point at{v.v[0], v.v[1]};
        if (c.mirrored) {
            // Turning over the plane turns the rotation back and the x scale round.
            at.x = -at.x;
            rotation = -rotation;
            sx = -sx;
        }
        const double ca = std::cos(rotation), sa = std::sin(rotation);
        for (std::size_t k = 0; k < copies; ++k) {
            if (!Take()) return;
            const double dx = v.v[7] * double(k % std::size_t(columns)), dy = v.v[8] * double(k / std::size_t(columns));
            DrawingInsert ins;
            ins.pen = c.pen;
            ins.x = at.x + ca * dx - sa * dy;
            ins.y = at.y + sa * dx + ca * dy;
            ins.scaleX = sx;
            ins.scaleY = sy;
            ins.rotation = rotation;
            out.inserts.push_back(ins);
            pending_.push_back({ListId(out), out.inserts.size() - 1, Key(name)});
        }
    }

    // ---- the end ----

    // Block definitions move as more are read: inserts name their list by number.
    std::int64_t ListId(const DrawingEntities& list) const
    {
        if (&list == &model_) return -1;
        if (&list == &paper_) return -2;
        if (&list == &discard_ || d_.blocks.empty()) return -3;
        return std::int64_t(currentBlock_);
    }

    DrawingEntities* ListOf(std::int64_t id)
    {
        if (id == -4) return main_;
        if (id == -1) return &model_;
        if (id == -2) return &paper_;
        if (id >= 0 && std::size_t(id) < d_.blocks.size()) return &d_.blocks[std::size_t(id)].entities;
        return nullptr;
    }

    bool Finish(bool complete)
    {
        EndPolyline();
        // Names to numbers; the block's base point to the insert's place.
        for (const PendingInsert& p : pending_) {
            DrawingEntities* list = ListOf(p.list);
            if (!list || p.index >= list->inserts.size()) continue;
            DrawingInsert& ins = list->inserts[p.index];
            const auto it = blockIndex_.find(p.name);
            if (it == blockIndex_.end()) {
                ins.definition = std::uint32_t(-1);
                continue;
            }
            ins.definition = std::uint32_t(it->second);
            const Point b = blockBases_[it->second];
            const double ca = std::cos(ins.rotation), sa = std::sin(ins.rotation);
            ins.x -= ca * ins.scaleX * b.x - sa * ins.scaleY * b.y;
            ins.y -= sa * ins.scaleX * b.x + ca * ins.scaleY * b.y;
        }
        d_.entities = model_.Count() > 0 ? std::move(model_) : std::move(paper_);
        ResolveByBlock();
        d_.blockIndex.clear();
        for (std::uint32_t i = 0; i < d_.blocks.size(); ++i) d_.blockIndex.emplace_back(d_.blocks[i].number, i);
        d_.groups[kHiddenGroup].state = 0;
        // Widths of the pens: the thinnest line, whatever the drawing's units.
        d_.printerWidths.assign(10, 0);
        d_.complete = complete && budget_ > 0;
        return true;
    }

    // Pens of the insert's colour (BYBLOCK, and layer 0 inside a block): a block placed in
    // several colours gets a copy for each, made within the budget; without one it is black.
    static void Settle(DrawingEntities& e, std::uint32_t colour)
    {
        const auto fix = [colour](DrawingPen& pen) {
            if (pen.colour != kByBlock) return;
            pen.colour = kOwnColour;
            pen.rgb = colour;
        };
        for (auto& x : e.lines) fix(x.pen);
        for (auto& x : e.arcs) fix(x.pen);
        for (auto& x : e.points) fix(x.pen);
        for (auto& x : e.texts) fix(x.pen);
        for (auto& x : e.solids) fix(x.pen);
        for (auto& x : e.dimensions) fix(x.pen);
        for (auto& x : e.polygons) fix(x.pen);
    }

    static bool HasByBlock(const DrawingEntities& e)
    {
        const auto any = [](const auto& items) {
            return std::any_of(items.begin(), items.end(), [](const auto& x) { return x.pen.colour == kByBlock; });
        };
        return any(e.lines) || any(e.arcs) || any(e.points) || any(e.texts) || any(e.solids) || any(e.dimensions) ||
               any(e.polygons) || any(e.inserts);
    }

    // Whether the block, or one it places, takes colours from its insert (0 unknown,
    // 1 being asked, 2 no, 3 yes).
    bool TakesColour(std::uint32_t block, int depth)
    {
        std::uint8_t& state = takes_[block];
        if (state >= 2) return state == 3;
        if (state == 1 || depth > kMaxDepth) return false;
        state = 1;
        bool yes = HasByBlock(d_.blocks[block].entities);
        for (std::size_t i = 0; !yes && i < d_.blocks[block].entities.inserts.size(); ++i) {
            const std::uint32_t child = d_.blocks[block].entities.inserts[i].definition;
            yes = child < takes_.size() && TakesColour(child, depth + 1);
        }
        takes_[block] = yes ? 3 : 2;
        return yes;
    }

    // The inserts of a list pointed at the copies of their blocks in their colours.
    void PlaceColours(std::int64_t list, int depth)
    {
        for (std::size_t i = 0;; ++i) {
            DrawingEntities* e = ListOf(list);
            if (!e || i >= e->inserts.size()) return;
            const DrawingInsert ins = e->inserts[i];
            if (ins.definition >= takes_.size() || !TakesColour(ins.definition, 0)) continue;
            const std::uint32_t copy = Variant(ins.definition, ins.pen.rgb, depth + 1);
            if ((e = ListOf(list))) e->inserts[i].definition = copy;
        }
    }

    std::uint32_t Variant(std::uint32_t block, std::uint32_t colour, int depth)
    {
        const auto key = std::make_pair(block, colour);
        if (const auto it = variants_.find(key); it != variants_.end()) return it->second;
        const std::size_t cost = d_.blocks[block].entities.Count();
        if (depth > kMaxDepth || !Take(2 * cost + 1)) return block;
        // The first colour asked for takes the block itself.
        std::uint32_t at = block;
        if (!used_[block]) {
            pristine_.emplace(block, d_.blocks[block].entities);   // the copies are made from this
        } else {
            DrawingBlock copy;
            copy.name = d_.blocks[block].name;
            copy.entities = pristine_[block];
            copy.number = std::uint32_t(d_.blocks.size());
            at = copy.number;
            d_.blocks.push_back(std::move(copy));
            takes_.push_back(3);
            used_.push_back(true);
        }
        used_[at] = true;
        variants_.emplace(key, at);
        DrawingEntities& e = d_.blocks[at].entities;
        Settle(e, colour);
        for (DrawingInsert& ins : e.inserts)
            if (ins.pen.colour == kByBlock) {
                ins.pen.colour = kOwnColour;
                ins.pen.rgb = colour;
            }
        PlaceColours(std::int64_t(at), depth);
        return at;
    }

    void ResolveByBlock()
    {
        takes_.assign(d_.blocks.size(), 0);
        used_.assign(d_.blocks.size(), false);
        Settle(d_.entities, 0);
        for (DrawingInsert& ins : d_.entities.inserts)
            if (ins.pen.colour == kByBlock) {
                ins.pen.colour = kOwnColour;
                ins.pen.rgb = 0;
            }
        // The main list is no longer model_ or paper_: it is placed through a list of its own.
        main_ = &d_.entities;
        PlaceColours(-4, 0);
        for (DrawingBlock& b : d_.blocks) {
            Settle(b.entities, 0);
            for (DrawingInsert& ins : b.entities.inserts)
                if (ins.pen.colour == kByBlock) {
                    ins.pen.colour = kOwnColour;
                    ins.pen.rgb = 0;
                }
        }
    }

    static constexpr int kMaxDepth = kMaxBlockDepth;
    std::vector<std::uint8_t> takes_;
    std::vector<bool> used_;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> variants_;
    std::map<std::uint32_t, DrawingEntities> pristine_;
    DrawingEntities* main_ = nullptr;

    Groups groups_;
    JwwDrawing& d_;
    std::vector<Group> rec_;
    std::size_t budget_ = 0;
    bool utf8_ = false;
    CodePage codePage_ = CodePage::Unknown;
    std::unordered_map<std::string, Layer> layers_;
    std::unordered_map<std::string, std::size_t> blockIndex_;
    std::vector<Point> blockBases_;
    DrawingEntities model_, paper_, discard_;
    DrawingEntities* current_ = nullptr;   // a layout's block being read, else the block below
    std::size_t currentBlock_ = 0;
    std::vector<PendingInsert> pending_;
};

} // namespace

bool ReadDxfDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept
{
    drawing = JwwDrawing{};
    try {
        if (bytes.size() > kMaxDrawingBytes) bytes = bytes.substr(0, kMaxDrawingBytes);
        Reader reader(bytes, drawing);
        if (reader.Run()) return true;
    } catch (...) {
    }
    drawing = JwwDrawing{};
    return false;
}
