#include "support/jwwwriter.h"

#include <bit>
#include <map>

namespace {

std::string W(unsigned v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }
std::string D(std::uint32_t v) { return W(v & 0xFFFF) + W(v >> 16); }
std::string F(double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    return D(std::uint32_t(bits)) + D(std::uint32_t(bits >> 32));
}

// The CAD program's pens on white paper, as 0x00BBGGRR.
constexpr std::uint32_t kPens[10] = {0xFFFFFF, 0xC0C000, 0x000000, 0x00C000, 0x00C0C0,
                                     0xC000C0, 0xFF0000, 0x808000, 0x8000FF, 0xC0C0C0};

std::string Length(std::size_t n)
{
    if (n < 0xFF) return std::string(1, char(n));
    if (n < 0xFFFF) return "\xFF" + W(unsigned(n));
    return "\xFF" + W(0xFFFF) + D(std::uint32_t(n));
}

} // namespace

JwwWriter::JwwWriter(std::uint32_t version, bool unicode) : version_(version), unicode_(unicode)
{
    for (int g = 0; g < 16; ++g) {
        groupStates_[g] = g == 0 ? 3 : 2;
        for (int l = 0; l < 16; ++l) layerStates_[g][l] = l == 0 ? 3 : 2;
    }
}

std::string JwwWriter::Str(const std::string& s) const
{
    if (!unicode_) return Length(s.size()) + s;
    // Test strings are ASCII here: each byte one UTF-16 code unit.
    std::string units;
    for (char c : s) units += W(static_cast<unsigned char>(c));
    return "\xFF" + W(0xFFFE) + Length(s.size()) + units;
}

std::string JwwWriter::Base(const WriterPen& pen) const
{
    std::string b = D(0) + char(pen.style) + W(pen.colour);
    if (version_ >= 351) b += W(pen.width);
    return b + W(pen.layer) + W(pen.group) + W(0);
}

JwwWriter& JwwWriter::Add(const char* className, std::string fields)
{
    (inBlock_ ? blocks_.back().items : main_).push_back({className, std::move(fields)});
    return *this;
}

std::string JwwWriter::LineFields(double x1, double y1, double x2, double y2, const WriterPen& pen) const
{
    return Base(pen) + F(x1) + F(y1) + F(x2) + F(y2);
}

std::string JwwWriter::PointFields(double x, double y, bool temporary, const WriterPen& pen) const
{
    std::string f = Base(pen) + F(x) + F(y) + D(temporary ? 1 : 0);
    if (pen.style == 100) f += D(1) + F(0) + F(1);
    return f;
}

std::string JwwWriter::TextFields(double x1, double y1, double x2, double y2, double sizeX, double sizeY, double angle,
                                  const std::string& content, const WriterPen& pen, const std::string& font) const
{
    return Base(pen) + F(x1) + F(y1) + F(x2) + F(y2) + D(0) + F(sizeX) + F(sizeY) + F(0) + F(angle) + Str(font) +
           Str(content);
}

JwwWriter& JwwWriter::Line(double x1, double y1, double x2, double y2, WriterPen pen)
{
    return Add("CDataSen", LineFields(x1, y1, x2, y2, pen));
}

JwwWriter& JwwWriter::Arc(double cx, double cy, double r, double start, double sweep, double tilt, double flatness,
                          bool closed, WriterPen pen)
{
    return Add("CDataEnko", Base(pen) + F(cx) + F(cy) + F(r) + F(start) + F(sweep) + F(tilt) + F(flatness) +
                                D(closed ? 1 : 0));
}

JwwWriter& JwwWriter::Point(double x, double y, bool temporary, WriterPen pen)
{
    return Add("CDataTen", PointFields(x, y, temporary, pen));
}

JwwWriter& JwwWriter::Text(double x1, double y1, double x2, double y2, double sizeX, double sizeY, double angle,
                           const std::string& content, WriterPen pen, const std::string& font)
{
    return Add("CDataMoji", TextFields(x1, y1, x2, y2, sizeX, sizeY, angle, content, pen, font));
}

JwwWriter& JwwWriter::Solid(const double corners[8], WriterPen pen, std::uint32_t rgb)
{
    std::string f = Base(pen);
    for (int i = 0; i < 8; ++i) f += F(corners[i]);
    if (pen.colour == 10) f += D(rgb);
    return Add("CDataSolid", f);
}

JwwWriter& JwwWriter::Insert(double x, double y, double scaleX, double scaleY, double rotation, std::uint32_t definition,
                             WriterPen pen)
{
    return Add("CDataBlock", Base(pen) + F(x) + F(y) + F(scaleX) + F(scaleY) + F(rotation) + D(definition));
}

JwwWriter& JwwWriter::Dimension(double x1, double y1, double x2, double y2, const std::string& figure, WriterPen pen)
{
    // The figure stands 1 mm above the middle of the line, 2.5 mm high.
    const double width = 1.25 * double(figure.size());
    const double mx = (x1 + x2) / 2, my = (y1 + y2) / 2 + 1;
    std::string f = Base(pen) + LineFields(x1, y1, x2, y2, pen) +
                    TextFields(mx - width / 2, my, mx + width / 2, my, 2.5, 2.5, 0, figure, pen, "MS Gothic");
    if (version_ >= 420) {
        f += W(0);
        f += LineFields(x1, y1 - 5, x1, y1, pen) + LineFields(x2, y2 - 5, x2, y2, pen);
        for (int i = 0; i < 4; ++i) f += PointFields(i < 2 ? x1 : x2, y1, true, pen);
    }
    return Add("CDataSunpou", f);
}

JwwWriter& JwwWriter::Null() { return Add("", {}); }

JwwWriter& JwwWriter::Unknown() { return Add("CDataMystery", Base({}) + F(0)); }

void JwwWriter::BeginBlock(std::uint32_t number, const std::string& name)
{
    blocks_.push_back({number, name, {}});
    inBlock_ = true;
}

void JwwWriter::EndBlock() { inBlock_ = false; }

std::string JwwWriter::Header() const
{
    const std::uint32_t v = version_;
    std::string h = "JwwData." + D(v) + Str(memo_) + D(paper_) + D(0);
    for (int g = 0; g < 16; ++g) {
        h += D(groupStates_[g]) + D(0) + F(100) + D(0);
        for (int l = 0; l < 16; ++l) h += D(layerStates_[g][l]) + D(0);
    }
    h += std::string(156, '\0');
    for (int g = 0; g < 16; ++g)
        for (int l = 0; l < 16; ++l) h += Str(std::to_string(g) + "-" + std::to_string(l));
    for (int g = 0; g < 16; ++g) h += Str("Group" + std::to_string(g));
    h += std::string(28 + (v >= 300 ? 16 : 0) + 4 + 24 + 24 + (v >= 300 ? 224 : 96) + (v >= 300 ? 56 : 0) + 88, '\0');
    for (std::uint32_t pen : kPens) h += D(pen) + D(1);
    for (int i = 0; i < 10; ++i) h += D(kPens[i]) + D(std::uint32_t(i)) + F(0.5);
    h += std::string(128 + 100 + 64 + 64 + 80, '\0');
    if (v >= 420) {
        for (int i = 0; i < 257; ++i) h += D(0) + D(1);
        for (int i = 0; i < 257; ++i) h += Str("colour") + std::string(16, '\0');
        h += std::string(528, '\0');
        for (int i = 0; i < 33; ++i) h += Str("line") + std::string(84, '\0');
    }
    return h + std::string(280 + 100, '\0');
}

std::size_t JwwWriter::ListOffset() const { return Header().size(); }

std::string JwwWriter::Bytes() const
{
    std::string out = Header();
    std::map<std::string, std::uint32_t> classes;
    std::uint32_t next = 1;
    const auto tag = [&](const std::string& className) {
        if (className.empty()) return W(0);
        const auto it = classes.find(className);
        std::string t;
        if (it == classes.end()) {
            t = W(0xFFFF) + W(version_ & 0xFFFF) + W(unsigned(className.size())) + className;
            classes[className] = next++;
        } else if (it->second < 0x7FFF) {
            t = W(0x8000 | it->second);
        } else {
            t = W(0x7FFF) + D(0x80000000u | it->second);
        }
        ++next;   // the object's own index
        return t;
    };
    const auto list = [&](const std::vector<Item>& items) {
        std::string l = items.size() < 0xFFFF ? W(unsigned(items.size())) : W(0xFFFF) + D(std::uint32_t(items.size()));
        for (const Item& item : items) l += tag(item.className) + item.fields;
        return l;
    };
    out += list(main_);
    out += W(unsigned(blocks_.size()));
    for (const Block& b : blocks_) {
        out += tag("CDataList") + Base({}) + D(b.number) + D(0) + D(0) + Str(b.name);
        out += list(b.items);
    }
    if (version_ >= 700) out += D(0);
    return out;
}
