#pragma once
// Two drawings compared, drawn over each other on one paper (what both hold in grey,
// what only the first holds in red, only the second in blue) and told as the terminal's
// one line of JSON. Needs Qt Gui: the thumbnailer links it.
#include <string>

#include <QImage>
#include <QRectF>
#include <QString>

#include "drawing/drawingcompare.h"

inline constexpr QRgb kBothColour = 0xFFA0A0A0;
inline constexpr QRgb kFirstColour = 0xFFE00000;
inline constexpr QRgb kSecondColour = 0xFF0050FF;

// Which of the two drawings' own entities are drawn (what both hold always is).
struct OverlayLayers {
    bool first = true;
    bool second = true;
};

// What a picture of the comparison frames: the three layers' box with a small margin
// (the paper around the origin when both are empty), never less than a millimetre a side.
DrawingBox ComparisonFrame(const DrawingComparison& comparison);

// The size of a picture of frame, longest pixels on its longer side, of its shape.
QSize ComparisonPictureSize(const DrawingBox& frame, int longest);

// Where a box on the paper lands in a picture of frame at size (fitted and centred).
QRectF ComparisonPixels(const DrawingBox& frame, QSize size, const DrawingBox& box);

// The overlay of frame on white at size. Names given: a legend in the top left corner.
QImage RenderComparison(const DrawingComparison& comparison, const DrawingBox& frame, QSize size, OverlayLayers layers,
                        const QString& firstName = {}, const QString& secondName = {});

// One line of JSON: {"same": n, "only_a": {"line": n, …}, "only_b": {…}, "texts_changed":
// [{"a": "…", "b": "…", "box_mm": [x0, y0, x1, y1]}]}, strings in UTF-8. With details,
// also "frame_mm" and "differences" (every listed one: kind, side "a", "b" or
// "changed", box_mm, its strings) and "list_cut".
std::string ComparisonJson(const DrawingComparison& comparison, bool details = false);
