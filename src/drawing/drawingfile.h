#pragma once
// Which reader a drawing file goes to, and the file read once for any of them. Plain C++:
// only the thumbnailer reads drawings, in a process of its own under limits.
#include <cstdint>
#include <string>
#include <string_view>

#include "drawing/jwwdrawing.h"

enum class DrawingFormat { Unknown, Jww, Jwc, Dxf, Pdf };

// The format a file type names (".jww", ".JWC", ".dxf", ".pdf"); Unknown for others.
DrawingFormat DrawingFormatOfType(std::string_view type);

// The format of a file by its name's type.
DrawingFormat DrawingFormatOfPath(const std::string& fsPath);

// The format's name as the thumbnailer's answers give it ("jww", "jwc", "dxf", "pdf"); an
// unknown type is read as .jww, so named so.
const char* DrawingFormatName(DrawingFormat format);

// The bytes of a regular file (never a FIFO or device, never waiting), at most
// kMaxDrawingBytes of them: a larger file is read as if cut there. False when the file
// cannot be opened or is no regular file. mtime receives its modification time (seconds).
bool ReadDrawingBytes(const std::string& fsPath, std::string& bytes, std::int64_t* mtime = nullptr) noexcept;

// A drawing of lines, arcs and texts (.jww, .jwc, .dxf, chosen by the file's type; an
// unknown type is tried as .jww, whose header is checked) read into its geometry. False
// for a file no reader understands; what was read before damage is kept, as each reader says.
bool ReadDrawingFile(const std::string& fsPath, JwwDrawing& drawing, std::int64_t* mtime = nullptr) noexcept;
