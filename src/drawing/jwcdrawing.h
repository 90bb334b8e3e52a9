#pragma once
// The geometry and texts of a drawing of JW_CAD for DOS (.jwc), read into the model of
// the newer drawings so that one renderer and one walk draw both. Plain C++: the
// thumbnailer reads drawings from anywhere, so every count is held to the bytes left.
//
// The file as read here: four header records of 200 bytes of text, then the entities in
// binary, little-endian, coordinates as 4-byte floats in paper millimetres.
//   record 1  "jw_cad(c)data......." (20 bytes); at 20 'a', at 22 'f' when the layer
//             groups' scales are written as reals ('.' when as whole numbers), at 24 'm';
//             at 40 the memo, two fields of 32 bytes; from 104 the paper code as text
//   record 2  the 16 layer groups' scales (denominators), separated by blanks
//   record 3  the 16 layer groups as "S:HHHH": state 0..3 and the shown layers as a mask
//   record 4  the counts of points, lines, arcs and texts, separated by blanks
// and the entities in that order, each after three bytes: layer (group × 16 + layer),
// pen colour 1..9, line type:
//   point  x y, one byte: 1 for a temporary point
//   line   x1 y1 x2 y2
//   arc    centre x, centre y, radius, start, sweep (degrees, from the tilted axis),
//          flatness, tilt (degrees); a sweep of 360 or more is the whole curve
//   text   x y of the lower-left start, size x, size y, spacing, angle (degrees), one
//          length byte and the text in Shift-JIS
// There are no blocks, solids or dimensions in the old format.
#include <string_view>

#include "drawing/jwwdrawing.h"

// The 20 bytes every old drawing starts with (the memo reader checks the same).
inline constexpr std::string_view kJwcSignature = "jw_cad(c)data.......";
inline constexpr std::size_t kJwcHeaderBytes = 4 * 200;

// Reads the drawing held in bytes. True when the header was understood (the entities
// then hold what was read up to any damage, complete saying whether all were); false,
// with an empty drawing, for another kind of file or a header that cannot be read.
bool ReadJwcDrawing(std::string_view bytes, JwwDrawing& drawing) noexcept;
