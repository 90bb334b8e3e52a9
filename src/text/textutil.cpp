#include "text/textutil.h"

#include <cctype>

namespace {

bool IsBlankOrControl(unsigned char c) { return c <= 0x20; }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

int32_t StrToIntOrZero(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i == text.size()) return 0;

    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }

    // Hexadecimal: "$", "x", "X" or "0x"/"0X", then 1 to 8 digits taken as a 32-bit pattern.
    size_t hexStart = std::string_view::npos;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X'))
        hexStart = i + 1;
    else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        hexStart = i + 2;
    if (hexStart != std::string_view::npos) {
        size_t digits = text.size() - hexStart;
        if (digits == 0 || digits > 8) return 0;
        uint32_t v = 0;
        for (size_t k = hexStart; k < text.size(); ++k) {
            int d = HexDigit(text[k]);
            if (d < 0) return 0;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        uint32_t r = negative ? 0u - v : v;
        return static_cast<int32_t>(r);
    }

    if (i == text.size()) return 0;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return 0;
    }
    if (negative) v = -v;
    if (v > INT32_MAX || v < INT32_MIN) return 0;
    return static_cast<int32_t>(v);
}

std::string CleanText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c)) {
            // Only a valid second byte goes with its lead byte. Anything else (a quotation
            // mark above all) would ride into the statement unexamined: drop the lead
            // byte and judge the next byte on its own.
            if (i + 1 < text.size() && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
                out += text[i];
                out += text[i + 1];
                ++i;
            }
            continue;
        }
        if (c == '\'' || c == '"' || c < 0x20) continue;
        out += text[i];
    }
    return out;
}

bool HasQuote(std::string_view text)
{
    // A quotation mark byte can only be a single-byte character: second bytes start at 0x40.
    return text.find('\'') != std::string_view::npos || text.find('"') != std::string_view::npos;
}

std::string IntToStr(long long value) { return std::to_string(value); }

std::string TrimText(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && IsBlankOrControl(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && IsBlankOrControl(static_cast<unsigned char>(text[e - 1]))) --e;
    return std::string(text.substr(b, e - b));
}

std::string UpperText(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string TextLiteral(std::string_view text)
{
    if (text.empty()) return "NULL";
    std::string out = "'";
    for (char c : text) {
        // The standard escape; 0x27 is never the second byte of a double-byte character.
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

std::string CutBytes(std::string_view text, size_t max)
{
    size_t i = 0;
    while (i < text.size()) {
        size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + step > max) break;
        i += step;
    }
    return std::string(text.substr(0, std::min(i, text.size())));
}
