#include "text/cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

#include <QList>

namespace {

// An iconv descriptor. Opening one costs more than converting a file name, and a
// group of ten thousand entries converts every path, so each thread keeps one per
// direction (Converter below) and resets it before each use.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in as far as possible; returns the number of input bytes consumed.
    // Stops at the first sequence that cannot be converted.
    size_t convert(std::string_view in, std::string& out)
    {
        char* inp = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char buf[1024];
        while (inLeft > 0) {
            char* outp = buf;
            size_t outLeft = sizeof buf;
            size_t r = iconv(cd_, &inp, &inLeft, &outp, &outLeft);
            out.append(buf, static_cast<size_t>(outp - buf));
            if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
        }
        return in.size() - inLeft;
    }
    void reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

// Lead bytes of the published CP932 table, as iconv reads it: where it stops at a code
// it cannot map, they tell whether one byte or a pair becomes one replacement character.
// Narrower than IsLeadByte (textutil.h), which keeps stored bytes together: to iconv,
// 0x80 and 0xFD are single bytes, and taking the next byte with them would hide a
// character that can be shown.
bool IsPublishedLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// CP932 holds ASCII as ASCII (0x5C and 0x7E included), so such text needs no iconv.
bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

Iconv& Converter(bool toCp932)
{
    thread_local Iconv fromCp932("UTF-8", "CP932");
    thread_local Iconv intoCp932("CP932", "UTF-8");
    Iconv& cv = toCp932 ? intoCp932 : fromCp932;
    if (cv.ok()) cv.reset();
    return cv;
}

} // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    if (IsAscii(cp932)) return std::string(cp932);
    Iconv& cv = Converter(false);
    std::string out;
    if (!cv.ok()) return out;
    out.reserve(cp932.size() * 3 / 2);
    while (!cp932.empty()) {
        size_t used = cv.convert(cp932, out);
        cp932.remove_prefix(used);
        if (cp932.empty()) break;
        // Unmapped: replace one character (two bytes when it looks like a pair).
        size_t skip = (IsPublishedLeadByte(static_cast<unsigned char>(cp932[0])) && cp932.size() >= 2) ? 2 : 1;
        out += "\xEF\xBF\xBD";
        cp932.remove_prefix(skip);
        cv.reset();
    }
    return out;
}

std::string Utf16LeToUtf8(std::string_view utf16le)
{
    thread_local Iconv fromUtf16("UTF-8", "UTF-16LE");
    std::string out;
    if (!fromUtf16.ok()) return out;
    fromUtf16.reset();
    out.reserve(utf16le.size() * 3 / 2);
    while (!utf16le.empty()) {
        // Whole code units only: an odd last byte is no character.
        const size_t whole = utf16le.size() & ~size_t(1);
        const size_t used = whole ? fromUtf16.convert(utf16le.substr(0, whole), out) : 0;
        utf16le.remove_prefix(used);
        if (utf16le.empty()) break;
        out += "\xEF\xBF\xBD";
        utf16le.remove_prefix(std::min<size_t>(2, utf16le.size()));
        fromUtf16.reset();
    }
    return out;
}

QString ToQ(std::string_view cp932)
{
    if (IsAscii(cp932)) return QString::fromLatin1(cp932.data(), static_cast<qsizetype>(cp932.size()));
    std::string u = Cp932ToUtf8(cp932);
    return QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size()));
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    if (IsAscii(utf8)) return std::string(utf8);
    Iconv& cv = Converter(true);
    if (!cv.ok()) return std::nullopt;
    std::string out;
    size_t used = cv.convert(utf8, out);
    if (used != utf8.size()) return std::nullopt;
    return out;
}

std::optional<std::string> FromQ(const QString& text)
{
    QByteArray u = text.toUtf8();
    return Utf8ToCp932(std::string_view(u.constData(), static_cast<size_t>(u.size())));
}

std::optional<std::string> FromQExact(const QString& text)
{
    std::optional<std::string> bytes = FromQ(text);
    // iconv maps a few characters one way only (U+301C to 8160, which reads back as
    // U+FF5E): such a name would name another file.
    if (bytes && !IsAscii(*bytes) && ToQ(*bytes) != text) return std::nullopt;
    return bytes;
}

std::string FromQLossy(const QString& text)
{
    Iconv& cv = Converter(true);
    std::string out;
    if (!cv.ok()) return out;
    // Character by character, so one that CP932 lacks costs only itself.
    const QList<uint> codes = text.toUcs4();
    for (uint code : codes) {
        if (code < 0x80) {
            out += static_cast<char>(code);
            continue;
        }
        char32_t cp = code;
        QByteArray u = QString::fromUcs4(&cp, 1).toUtf8();
        std::string part;
        std::string_view in(u.constData(), static_cast<size_t>(u.size()));
        if (cv.convert(in, part) == in.size())
            out += part;
        else
            out += '?';
        cv.reset();
    }
    return out;
}

int Cp932Length(const QString& text) { return static_cast<int>(FromQLossy(text).size()); }

std::string ToFsName(std::string_view cp932Path) { return Cp932ToUtf8(cp932Path); }
