// libFuzzer target for the drawing reader and what is done with its result: the boxes,
// the walk through block definitions and a small thumbnail. Whatever the bytes, the
// reader keeps to its bounds and everything it keeps is a finite number on the paper.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drawing/jwwdrawing.h"
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
    const bool read = ReadJwwDrawing(bytes, d);
    Check(read || (d.entities.Count() == 0 && d.blocks.empty()));
    // Every entity took bytes of the input.
    std::size_t kept = d.entities.Count();
    for (const DrawingBlock& b : d.blocks) kept += b.entities.Count();
    Check(kept <= size / 8);
    for (const DrawingLine& l : d.entities.lines) Check(std::isfinite(l.x1 + l.y1 + l.x2 + l.y2));
    for (const DrawingArc& a : d.entities.arcs) Check(a.radius >= 0 && std::isfinite(a.cx + a.cy + a.radius + a.flatness));
    for (const DrawingText& t : d.entities.texts) Check(t.content.bytes.size() <= size && (!t.content.utf16 || t.content.bytes.size() % 2 == 0));
    if (!read) return 0;

    CheckDrawingUse(d);
    return 0;
}
