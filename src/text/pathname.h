#pragma once
// Splitting a stored path (CP932) into folder and file name. On this system only the
// slash separates folders, so a file may be named back\slash.jww or a:b.jww. A path that
// a copy of the program on Windows stored (a drive letter, a network path, a leading
// backslash) splits at the backslash, the slash and its drive's colon. A byte with a
// separator's value that is the second byte of a double-byte character (ソ, 表) is no
// separator.
#include <string>
#include <string_view>

// A path written the Windows way: a drive letter and a colon first, or a backslash.
bool IsWindowsPath(std::string_view path);

// Up to and including the last separator; empty when there is none.
std::string PathFolder(std::string_view path);

// After the last separator.
std::string PathFileName(std::string_view path);

// The extension of a file name from its last dot, in lower case (ASCII letters only);
// empty when no dot follows the last separator.
std::string FileTypeOf(std::string_view fileName);
