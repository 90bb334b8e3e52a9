#pragma once
// Splitting a stored path (CP932) into folder and file name. Separators are '/', and
// also '\' and ':' so that a path stored by a copy of the program on Windows (drive
// letter, backslashes, network path) still splits into folder and name. A byte with a
// separator's value that is the second byte of a double-byte character (ソ, 表) is no
// separator.
#include <string>
#include <string_view>

// Up to and including the last separator; empty when there is none.
std::string PathFolder(std::string_view path);

// After the last separator.
std::string PathFileName(std::string_view path);

// The extension of a file name from its last dot, in lower case (ASCII letters only);
// empty when no dot follows the last separator.
std::string FileTypeOf(std::string_view fileName);
