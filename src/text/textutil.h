#pragma once
// Small text helpers used all over the program. Texts are CP932 byte strings.
#include <cstdint>
#include <string>
#include <string_view>

// True for the bytes that start a double-byte character: 0x80-0x9F and 0xE0-0xFD.
// Wider than the published table on purpose, so that user-defined and vendor
// characters stay whole when stored text is cleaned, cut or split. Showing text
// follows the published table instead (cp932.cpp): there a byte may stand alone.
constexpr bool IsLeadByte(unsigned char c) { return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFD); }

// True for the bytes that can follow a lead byte: 0x40-0x7E and 0x80-0xFC.
constexpr bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Whole text as a 32-bit integer (decimal, or hex after "$", "x", "X" or "0x");
// 0 for anything that is not wholly a number.
int32_t StrToIntOrZero(std::string_view text);

// Drops single and double quotation marks and control characters, keeps every
// double-byte character whole, drops a lead byte that no valid second byte follows.
// The result is safe between single quotation marks in a statement.
std::string CleanText(std::string_view text);

// True when the text holds a single or a double quotation mark (the quote rule).
bool HasQuote(std::string_view text);

// Decimal text of a number.
std::string IntToStr(long long value);

// Trims blanks and control characters at both ends.
std::string TrimText(std::string_view text);

// ASCII upper case; the second byte of a double-byte character is left alone.
std::string UpperText(std::string_view text);

// SQL literal of a text value: NULL when empty, else between single quotation marks,
// a single quotation mark inside written doubled. A text without one is sent as it is.
std::string TextLiteral(std::string_view text);

// The text cut to at most max bytes, without splitting a double-byte character.
std::string CutBytes(std::string_view text, size_t max);
