#pragma once
// The one place where text changes encoding. The core keeps CP932 bytes (what the
// database, the settings file and the drawing files hold); windows hold QString; the
// file system names files in UTF-8.
#include <optional>
#include <string>
#include <string_view>

#include <QString>

// CP932 bytes to Unicode. Bytes that CP932 does not map (0x80, 0xA0, 0xFD-0xFF, a lone
// lead byte, unassigned codes) become U+FFFD, so a display never fails.
QString ToQ(std::string_view cp932);
std::string Cp932ToUtf8(std::string_view cp932);
// UTF-16LE bytes (the newer strings of drawing files) to UTF-8; a lone surrogate or an
// odd last byte becomes U+FFFD, so nothing is dropped unseen.
std::string Utf16LeToUtf8(std::string_view utf16le);

// Unicode to CP932; nullopt when a character cannot be held by CP932, so the caller
// can refuse it instead of storing something else.
std::optional<std::string> FromQ(const QString& text);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// FromQ for names of files and folders, which must read back as exactly the name: also
// nullopt when the CP932 form converts back to other characters (WAVE DASH, EM DASH,
// MINUS SIGN, DOUBLE VERTICAL LINE, CENT, POUND and NOT SIGN have such forms).
std::optional<std::string> FromQExact(const QString& text);

// Unicode to CP932 where a replacement is the right answer (text read from other
// programs' files): each character CP932 cannot hold becomes "?".
std::string FromQLossy(const QString& text);

// Number of CP932 bytes of the text (a character without a CP932 form counts one, as "?").
int Cp932Length(const QString& text);

// File-system name (UTF-8) of a CP932 path.
std::string ToFsName(std::string_view cp932Path);
