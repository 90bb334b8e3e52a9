#include "text/cp932.h"

#include <cerrno>
#include <iconv.h>

#include <QList>

namespace {

// iconv descriptors are opened per call: conversions are short and rare enough, and
// this keeps the functions free of shared state.
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

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

} // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    Iconv cv("UTF-8", "CP932");
    std::string out;
    if (!cv.ok()) return out;
    out.reserve(cp932.size() * 3 / 2);
    while (!cp932.empty()) {
        size_t used = cv.convert(cp932, out);
        cp932.remove_prefix(used);
        if (cp932.empty()) break;
        // Unmapped: replace one character (two bytes when it looks like a pair).
        size_t skip = (IsLead(static_cast<unsigned char>(cp932[0])) && cp932.size() >= 2) ? 2 : 1;
        out += "\xEF\xBF\xBD";
        cp932.remove_prefix(skip);
        cv.reset();
    }
    return out;
}

QString ToQ(std::string_view cp932)
{
    std::string u = Cp932ToUtf8(cp932);
    return QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size()));
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    Iconv cv("CP932", "UTF-8");
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

std::string FromQLossy(const QString& text)
{
    Iconv cv("CP932", "UTF-8");
    std::string out;
    if (!cv.ok()) return out;
    // Character by character, so one that CP932 lacks costs only itself.
    const QList<uint> codes = text.toUcs4();
    for (uint code : codes) {
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

bool IsCp932Text(const QString& text) { return FromQ(text).has_value(); }

int Cp932Length(const QString& text) { return static_cast<int>(FromQLossy(text).size()); }

std::string ToFsName(std::string_view cp932Path) { return Cp932ToUtf8(cp932Path); }

std::optional<std::string> FromFsName(std::string_view fsName) { return Utf8ToCp932(fsName); }
