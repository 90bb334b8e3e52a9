#include "drawing/comparerender.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include "drawing/drawingrender.h"

namespace {

// Margin around the frame, as a share of its longer side.
constexpr double kMargin = 0.03;

std::string Number(double v)
{
    if (!std::isfinite(v)) return "0";
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("0");
}

std::string Box(const DrawingBox& b)
{
    return "[" + Number(b.minX) + ", " + Number(b.minY) + ", " + Number(b.maxX) + ", " + Number(b.maxY) + "]";
}

// A JSON string of the drawing's text (control characters escaped, never raw).
std::string Quoted(const DrawingString& s)
{
    const QByteArray utf8 = DrawingStringText(s).toUtf8();
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", unsigned(u));
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Counts(const std::array<std::size_t, kCompareKinds>& counts)
{
    std::string out = "{";
    for (int k = 0; k < kCompareKinds; ++k) {
        if (k > 0) out += ", ";
        out += std::string("\"") + CompareKindKey(CompareKind(k)) + "\": " + std::to_string(counts[std::size_t(k)]);
    }
    return out + "}";
}

void Fit(const DrawingBox& frame, QSize size, double& scale, double& ox, double& oy)
{
    const double w = std::max(frame.Width(), 1e-6), h = std::max(frame.Height(), 1e-6);
    scale = std::min(size.width() / w, size.height() / h);
    ox = size.width() / 2.0 - scale * (frame.minX + frame.maxX) / 2;
    oy = size.height() / 2.0 + scale * (frame.minY + frame.maxY) / 2;
}

void Legend(QPainter& p, QSize size, const QString& firstName, const QString& secondName)
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(std::clamp(std::min(size.width(), size.height()) / 40, 10, 24));
    p.setFont(font);
    const QFontMetricsF m(font);
    const QString rows[3] = {firstName, secondName, QStringLiteral("両方")};
    const QRgb colours[3] = {kFirstColour, kSecondColour, kBothColour};
    const double line = m.height() * 1.2, swatch = m.height() * 0.8;
    double width = 0;
    for (const QString& r : rows) width = std::max(width, m.horizontalAdvance(r));
    const QRectF panel(6, 6, std::min(width + swatch + 3 * line / 2, size.width() - 12.0), 3 * line + line / 2);
    p.setPen(QColor(0xC0, 0xC0, 0xC0));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(panel);
    for (int i = 0; i < 3; ++i) {
        const double top = panel.top() + line / 4 + i * line;
        p.fillRect(QRectF(panel.left() + line / 4, top + (line - swatch) / 2, swatch, swatch), QColor(colours[i]));
        p.setPen(Qt::black);
        p.drawText(QRectF(panel.left() + line / 2 + swatch, top, panel.width() - swatch - line, line),
                   Qt::AlignVCenter | Qt::AlignLeft, m.elidedText(rows[i], Qt::ElideMiddle, panel.width() - swatch - line));
    }
}

} // namespace

DrawingBox ComparisonFrame(const DrawingComparison& comparison)
{
    DrawingBox frame = ComparisonExtents(comparison);
    if (frame.empty) {
        double width, height;
        PaperSize(comparison.common.paper, width, height);
        frame.Add(-width / 2, -height / 2);
        frame.Add(width / 2, height / 2);
    }
    const double cx = (frame.minX + frame.maxX) / 2, cy = (frame.minY + frame.maxY) / 2;
    const double w = std::max(frame.Width(), 1.0), h = std::max(frame.Height(), 1.0);
    const double m = kMargin * std::max(w, h);
    DrawingBox out;
    out.Add(cx - w / 2 - m, cy - h / 2 - m);
    out.Add(cx + w / 2 + m, cy + h / 2 + m);
    return out;
}

QSize ComparisonPictureSize(const DrawingBox& frame, int longest)
{
    const double aspect = frame.Width() / std::max(frame.Height(), 1e-6);
    const int shorter = std::clamp(int(std::lround(aspect >= 1 ? longest / aspect : longest * aspect)), std::max(1, longest / 8), longest);
    return aspect >= 1 ? QSize(longest, shorter) : QSize(shorter, longest);
}

QRectF ComparisonPixels(const DrawingBox& frame, QSize size, const DrawingBox& box)
{
    double s, ox, oy;
    Fit(frame, size, s, ox, oy);
    return QRectF(QPointF(ox + s * box.minX, oy - s * box.maxY), QPointF(ox + s * box.maxX, oy - s * box.minY));
}

QImage RenderComparison(const DrawingComparison& comparison, const DrawingBox& frame, QSize size, OverlayLayers layers,
                        const QString& firstName, const QString& secondName)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::white);
    QPainter p(&image);
    double s, ox, oy;
    Fit(frame, size, s, ox, oy);
    // What only one holds goes over what both hold, so that a change is never hidden.
    DrawDrawingInColour(p, comparison.common, s, ox, oy, kBothColour);
    if (layers.first) DrawDrawingInColour(p, comparison.first, s, ox, oy, kFirstColour);
    if (layers.second) DrawDrawingInColour(p, comparison.second, s, ox, oy, kSecondColour);
    if (!firstName.isEmpty() || !secondName.isEmpty()) Legend(p, size, firstName, secondName);
    return image;
}

std::string ComparisonJson(const DrawingComparison& comparison, bool details)
{
    std::string json = "{\"same\": " + std::to_string(comparison.same) + ", \"only_a\": " + Counts(comparison.onlyFirst) +
                       ", \"only_b\": " + Counts(comparison.onlySecond) + ", \"texts_changed\": [";
    bool next = false;
    for (const DrawingDifference& d : comparison.differences) {
        if (d.side != CompareSide::Changed) continue;
        json += (next ? ", " : "") + std::string("{\"a\": ") + Quoted(d.first) + ", \"b\": " + Quoted(d.second) +
                ", \"box_mm\": " + Box(d.box) + "}";
        next = true;
    }
    json += "]";
    if (details) {
        json += ", \"frame_mm\": " + Box(ComparisonFrame(comparison)) + ", \"differences\": [";
        next = false;
        for (const DrawingDifference& d : comparison.differences) {
            static constexpr const char* kSides[] = {"a", "b", "changed"};
            json += (next ? ", " : "") + std::string("{\"kind\": \"") + CompareKindKey(d.kind) + "\", \"side\": \"" +
                    kSides[int(d.side)] + "\", \"box_mm\": " + Box(d.box) + ", \"a\": " + Quoted(d.first) +
                    ", \"b\": " + Quoted(d.second) + "}";
            next = true;
        }
        json += std::string("], \"list_cut\": ") + (comparison.listCut ? "true" : "false");
    }
    return json + "}";
}
