#include "drawing/drawingtexts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "drawing/drawingfile.h"
#include "text/cp932.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Where a UTF-8 text may be cut: not before a continuation byte.
std::size_t CharacterBoundary(std::string_view text, std::size_t at)
{
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            // Cleaned texts hold none; kept safe should one come through.
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    out += '"';
}

// Millimetres to a hundredth, which tells texts apart on any paper and keeps lines short.
std::string Millimetres(double v)
{
    if (!std::isfinite(v)) v = 0;
    v = std::round(v * 100) / 100;
    if (v == 0) v = 0;   // no "-0"
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

// The paper box of a text: the base line from start to end, raised by the height
// across the line's direction.
std::array<double, 4> TextBox(const DrawingText& t)
{
    double dx = t.x2 - t.x1, dy = t.y2 - t.y1;
    const double length = std::hypot(dx, dy);
    if (length > 0 && std::isfinite(length)) {
        dx /= length;
        dy /= length;
    } else {
        dx = std::cos(t.angle * kPi / 180);
        dy = std::sin(t.angle * kPi / 180);
    }
    const double h = std::isfinite(t.sizeY) ? std::max(t.sizeY, 0.0) : 0;
    const double ux = -dy * h, uy = dx * h;
    const double xs[4] = {t.x1, t.x2, t.x1 + ux, t.x2 + ux};
    const double ys[4] = {t.y1, t.y2, t.y1 + uy, t.y2 + uy};
    return {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
            *std::max_element(ys, ys + 4)};
}

std::string LayerName(const DrawingPen& pen)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X-%X", unsigned(pen.group & 0xF), unsigned(pen.layer & 0xF));
    return buf;
}

class Writer {
public:
    // The memo comes first and takes its share of the bound.
    void Memo(const DrawingString& memo)
    {
        std::string text = DrawingStringUtf8(memo);
        Keep(text);
        memo_ = std::move(text);
    }

    void Text(const DrawingText& t, bool block)
    {
        std::string text = DrawingStringUtf8(t.content);
        if (text.empty()) return;
        if (count_ >= kMaxDrawingTextCount) {
            cut_ += text.size();
            return;
        }
        Keep(text);
        if (text.empty()) return;
        ++count_;
        const std::array<double, 4> box = TextBox(t);
        texts_ += texts_.empty() ? "{\"text\": " : ", {\"text\": ";
        AppendJsonString(texts_, text);
        texts_ += ", \"box_mm\": [" + Millimetres(box[0]) + ", " + Millimetres(box[1]) + ", " + Millimetres(box[2]) +
                  ", " + Millimetres(box[3]) + "], \"layer\": \"" + LayerName(t.pen) + "\", \"block\": " +
                  (block ? "true}" : "false}");
    }

    void Entities(const DrawingEntities& e, bool block)
    {
        for (const DrawingText& t : e.texts) Text(t, block);
        for (const DrawingDimension& d : e.dimensions) Text(d.text, block);
    }

    std::string Json(std::string_view format) const
    {
        std::string out = "{\"format\": ";
        AppendJsonString(out, format);
        out += ", \"memo\": ";
        AppendJsonString(out, memo_);
        out += ", \"texts\": [" + texts_ + "], \"cut_bytes\": " + std::to_string(cut_) + "}";
        return out;
    }

private:
    // Cuts the text to what is left of the bound, counting the rest.
    void Keep(std::string& text)
    {
        const std::size_t left = kMaxDrawingTextBytes - kept_;
        if (text.size() > left) {
            const std::size_t at = CharacterBoundary(text, left);
            cut_ += text.size() - at;
            text.resize(at);
        }
        kept_ += text.size();
    }

    std::string memo_, texts_;
    std::size_t kept_ = 0, cut_ = 0, count_ = 0;
};

} // namespace

std::string DrawingStringUtf8(const DrawingString& s)
{
    const std::string converted = s.utf16 ? Utf16LeToUtf8(s.bytes) : Cp932ToUtf8(s.bytes);
    std::string out;
    out.reserve(converted.size());
    for (std::size_t i = 0; i < converted.size(); ++i) {
        const auto u = static_cast<unsigned char>(converted[i]);
        // Line breaks and tabs part words (a memo's lines); other controls go.
        if (u == '\r' || u == '\n' || u == '\t') {
            if (!out.empty() && out.back() != ' ') out += ' ';
            continue;
        }
        if (u < 0x20 || u == 0x7F) continue;
        // C1 controls, U+0080..U+009F.
        if (u == 0xC2 && i + 1 < converted.size() && static_cast<unsigned char>(converted[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        out += converted[i];
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string DrawingTextsJson(const JwwDrawing& drawing, std::string_view format)
{
    Writer w;
    w.Memo(drawing.memo);
    w.Entities(drawing.entities, false);
    for (const DrawingBlock& b : drawing.blocks) w.Entities(b.entities, true);
    return w.Json(format);
}

std::optional<std::string> ReadDrawingTextsJson(const std::string& fsPath)
{
    JwwDrawing drawing;
    if (!ReadDrawingFile(fsPath, drawing)) return std::nullopt;
    return DrawingTextsJson(drawing, DrawingFormatName(DrawingFormatOfPath(fsPath)));
}
