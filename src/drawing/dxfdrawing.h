#pragma once
// DXF drawings (ASCII and binary, R12 to the current versions) read into the same
// geometry as Jw_cad's, so that one renderer draws both. Plain C++: DXF files come from
// other firms' programs, so no count or size in them is trusted, and what one holds is
// bounded by its bytes. Coordinates stay in the drawing's own units; every text becomes
// UTF-16, whatever the file's code page.
#include <string_view>

#include "drawing/jwwdrawing.h"

// Reads model space (paper space where model space holds nothing). True when the file is
// a DXF whose sections could be followed (what was read before damage is kept, complete
// tells whether it ran to its end); false, with an empty drawing, for anything else.
bool ReadDxfDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept;
