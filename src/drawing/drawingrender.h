#pragma once
// A drawing drawn as the CAD program shows it on white paper: its pen colours, lines as
// wide as their pens on paper, texts as text. Lives apart from the core (it needs Qt
// Gui): the thumbnailer and the windows link it.
#include <optional>

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include "drawing/drawinggeometry.h"

// The text of a drawing's string (CP932 or UTF-16).
QString DrawingStringText(const DrawingString& s);

// What a view of the drawing frames: the box of what is shown (setting records,
// temporary points and hidden layers left out), or the paper centred on the origin when
// nothing is shown; never smaller than a millimetre a side.
DrawingBox DrawingFrame(const JwwDrawing& drawing);
// The frame a rendered picture fits, its margin included: where paper millimetres land
// on a thumbnail.
DrawingBox PictureFrame(const JwwDrawing& drawing);

// Draws the drawing with paper millimetres (x, y) landing at pixel
// (originX + scale x, originY - scale y). Paints no background.
void DrawDrawing(QPainter& painter, const JwwDrawing& drawing, double scale, double originX, double originY);

// The same with every pen, solid and text in one colour (nullopt: their own), as
// drawings laid over each other are told apart.
void DrawDrawingInColour(QPainter& painter, const JwwDrawing& drawing, double scale, double originX, double originY,
                         std::optional<QRgb> colour);

// Draws the drawing so that frame fills target (pixels), centred, its shape kept.
void DrawDrawingFitted(QPainter& painter, const JwwDrawing& drawing, const DrawingBox& frame, const QRectF& target);

// A white image of the size with the drawing's frame fitted and centred, a small margin
// around it.
QImage RenderDrawing(const JwwDrawing& drawing, QSize size);

// A thumbnail at most size pixels on its longer side, of the frame's shape (at least a
// quarter of size on its shorter side).
QImage RenderThumbnail(const JwwDrawing& drawing, int size);
