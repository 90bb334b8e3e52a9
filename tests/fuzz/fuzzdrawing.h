#pragma once
// What the fuzz targets of the drawing readers share: a failed check ends the run where
// libFuzzer sees it, Qt's font database for texts, and the use made of a drawing read (its
// boxes and a small thumbnail), which must hold whatever the bytes were.
#include <cmath>

#include <QGuiApplication>

#include "drawing/drawingrender.h"

inline void Check(bool ok)
{
    if (!ok) __builtin_trap();
}

inline bool Finite(const DrawingBox& box)
{
    return box.empty || (std::isfinite(box.minX) && std::isfinite(box.maxY) && box.minX <= box.maxX && box.minY <= box.maxY);
}

// Texts need the font database of a GUI application, never a display; the application
// lives as long as the process.
inline void StartFuzzApplication(char* program)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {program, nullptr};
    new QGuiApplication(qtArgc, qtArgv);
}

// The boxes of a drawing read are finite, and it draws into a picture of the size asked.
inline void CheckDrawingUse(const JwwDrawing& d)
{
    Check(Finite(DrawingExtents(d, BoxOf::Everything)));
    Check(Finite(DrawingExtents(d, BoxOf::Shown)));
    const QImage thumb = RenderThumbnail(d, 48);
    Check(!thumb.isNull() && thumb.width() <= 48 && thumb.height() <= 48);
}
