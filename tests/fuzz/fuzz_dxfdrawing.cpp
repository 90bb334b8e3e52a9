// libFuzzer target for the DXF reader and what is done with its result: the boxes, the
// walk through block definitions and a small thumbnail. Whatever the bytes, the reader
// keeps to its bounds and everything it keeps is a finite number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drawing/dxfdrawing.h"
#include "fuzzdrawing.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    (void)argc;
    StartFuzzApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    JwwDrawing d;
    const bool read = ReadDxfDrawing(bytes, d);
    Check(read || (d.entities.Count() == 0 && d.blocks.empty()));
    // What is kept is bounded by the bytes it came from.
    std::size_t kept = d.entities.Count();
    for (const DrawingBlock& b : d.blocks) kept += b.entities.Count();
    Check(kept <= 4 * size + 4096);
    for (const DrawingLine& l : d.entities.lines) Check(std::isfinite(l.x1 + l.y1 + l.x2 + l.y2));
    for (const DrawingArc& a : d.entities.arcs) Check(a.radius >= 0 && std::isfinite(a.cx + a.cy + a.radius + a.start + a.sweep));
    for (const DrawingText& t : d.entities.texts) Check(t.content.utf16 && t.content.bytes.size() % 2 == 0);
    for (const DrawingPolygon& p : d.entities.polygons) Check(!p.ends.empty() && std::size_t(p.ends.back()) * 2 == p.xy.size());
    if (!read) return 0;

    CheckDrawingUse(d);
    return 0;
}
