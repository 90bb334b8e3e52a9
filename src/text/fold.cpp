#include "text/fold.h"

#include <array>
#include <cstdint>

#include "text/textutil.h"

namespace {

// Katakana by their column in the JIS row (1 ァ … 86 ヶ), as CP932 codes: the code 0x837F
// is skipped by the encoding.
constexpr unsigned Katakana(int column) { return column <= 63 ? 0x833Fu + unsigned(column) : 0x8340u + unsigned(column); }

// The column of each half-width katakana 0xA6-0xDD (0xB0, the long vowel mark, apart).
constexpr std::array<std::uint8_t, 0xDE - 0xA6> kHalfWidthColumn = {
    82, 1,  3,  5,  7,  9,  67, 69, 71, 35, 0,  2,  4,  6,  8,  10, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29,
    31, 33, 36, 38, 40, 42, 43, 44, 45, 46, 47, 50, 53, 56, 59, 62, 63, 64, 65, 66, 68, 70, 72, 73, 74, 75,
    76, 77, 79, 83};

// Full-width signs of the 0x81 row and the ASCII character they stand for.
struct SignPair {
    std::uint8_t trail;
    char ascii;
};
constexpr SignPair kSigns[] = {{0x40, ' '}, {0x43, ','}, {0x44, '.'}, {0x46, ':'}, {0x47, ';'}, {0x48, '?'},
                               {0x49, '!'}, {0x4F, '^'}, {0x51, '_'}, {0x5E, '/'}, {0x5F, '\\'}, {0x62, '|'},
                               {0x69, '('}, {0x6A, ')'}, {0x6D, '['}, {0x6E, ']'}, {0x6F, '{'}, {0x70, '}'},
                               {0x7B, '+'}, {0x7C, '-'}, {0x81, '='}, {0x83, '<'}, {0x84, '>'}, {0x90, '$'},
                               {0x93, '%'}, {0x94, '#'}, {0x95, '&'}, {0x96, '*'}, {0x97, '@'}};

void PutCode(std::string& out, unsigned code)
{
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// A voiced (0xDE) or semi-voiced (0xDF) mark joined to the katakana column before it;
// 0 when that kana takes no such mark.
int Voiced(int column, unsigned char mark)
{
    const bool ka = column >= 11 && column <= 29 && column % 2 == 1;     // カ … ソ
    const bool ta = column == 31 || column == 33 || column == 36 || column == 38 || column == 40;
    const bool ha = column >= 47 && column <= 59 && (column - 47) % 3 == 0;   // ハ ヒ フ ヘ ホ
    if (mark == 0xDE) {
        if (ka || ta || ha) return column + 1;
        if (column == 6) return 84;   // ウ゛: ヴ
    } else if (ha) {
        return column + 2;
    }
    return 0;
}

} // namespace

std::string FoldText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    AppendFolded(out, text);
    return out;
}

void AppendFolded(std::string& out, std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 && !(c >= 'A' && c <= 'Z')) {   // most bytes of a file name
            out += static_cast<char>(c);
            continue;
        }
        if (IsLeadByte(c) && i + 1 < text.size() && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            const auto t = static_cast<unsigned char>(text[++i]);
            const unsigned code = (unsigned(c) << 8) | t;
            if (code >= 0x8260 && code <= 0x8279) {
                out += static_cast<char>('a' + (code - 0x8260));
            } else if (code >= 0x8281 && code <= 0x829A) {
                out += static_cast<char>('a' + (code - 0x8281));
            } else if (code >= 0x824F && code <= 0x8258) {
                out += static_cast<char>('0' + (code - 0x824F));
            } else if (code >= 0x829F && code <= 0x82F1) {
                PutCode(out, Katakana(int(code - 0x829E)));   // the hiragana share the columns
            } else {
                char ascii = 0;
                if (c == 0x81)
                    for (const SignPair& s : kSigns)
                        if (s.trail == t) ascii = s.ascii;
                if (ascii) {
                    out += ascii;
                } else {
                    out += static_cast<char>(c);
                    out += static_cast<char>(t);
                }
            }
            continue;
        }
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if (c >= 0xA6 && c <= 0xDD && c != 0xB0) {
            int column = kHalfWidthColumn[c - 0xA6];
            if (i + 1 < text.size()) {
                const auto next = static_cast<unsigned char>(text[i + 1]);
                if (next == 0xDE || next == 0xDF) {
                    if (const int voiced = Voiced(column, next)) {
                        column = voiced;
                        ++i;
                    }
                }
            }
            PutCode(out, Katakana(column));
        } else if (c >= 0xA1 && c <= 0xDF) {
            // Half-width signs, the long vowel mark and lone voicing marks.
            static constexpr std::array<unsigned, 5> kPunctuation = {0x8142, 0x8175, 0x8176, 0x8141, 0x8145};
            PutCode(out, c <= 0xA5 ? kPunctuation[c - 0xA1] : c == 0xB0 ? 0x815B : c == 0xDE ? 0x814A : 0x814B);
        } else {
            out += static_cast<char>(c);
        }
    }
}

bool FoldedContains(std::string_view folded, std::string_view needle)
{
    if (needle.empty()) return true;
    if (needle.size() > folded.size()) return false;
    const size_t last = folded.size() - needle.size();
    for (size_t i = 0; i <= last;) {
        if (folded[i] == needle[0] && folded.compare(i, needle.size(), needle) == 0) return true;
        const auto c = static_cast<unsigned char>(folded[i]);
        i += IsLeadByte(c) && i + 1 < folded.size() ? 2 : 1;
    }
    return false;
}
