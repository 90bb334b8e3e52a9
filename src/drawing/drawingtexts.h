#pragma once
// What is written on a drawing, as one line of JSON (UTF-8) for the search of the
// drawings' texts: the memo and every text, those of block definitions once per
// definition, dimension figures as shown. Plain C++.
//
//   {"format": "jww", "memo": "…", "texts": [{"text": "和室", "box_mm": [x0, y0, x1, y1],
//    "layer": "0-3", "block": false}, …], "cut_bytes": 0}
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "drawing/jwwdrawing.h"

// Most bytes of text (memo and texts, in UTF-8) kept of one drawing; the rest is counted
// in "cut_bytes".
inline constexpr std::size_t kMaxDrawingTextBytes = 1024 * 1024;
// Most texts listed of one drawing: each costs its box and layer besides its characters,
// so a drawing of a million one-letter texts is cut here ("cut_bytes" counts them too).
inline constexpr std::size_t kMaxDrawingTextCount = 100 * 1000;

// A stored string as UTF-8 text: CP932 or UTF-16 converted (what neither can be becomes
// U+FFFD), control characters dropped and ends trimmed.
std::string DrawingStringUtf8(const DrawingString& s);

// The line described above, without its line end. format: "jww", "jwc", "dxf", ….
std::string DrawingTextsJson(const JwwDrawing& drawing, std::string_view format);

// The line of a drawing file (read through ReadDrawingFile, its format named by its
// type); nullopt when it is no drawing any reader understands.
std::optional<std::string> ReadDrawingTextsJson(const std::string& fsPath);
