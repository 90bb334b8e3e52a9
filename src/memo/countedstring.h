#pragma once
// The length prefix of the counted strings in Jw_cad's files (MFC's CString form), for
// every reader of those files: one length byte; 0xFF and a 16-bit length; 0xFF, 0xFFFF
// and a 32-bit length; or, after 0xFF 0xFFFE, the same forms counting UTF-16 code units.
#include <cstdint>

struct CountedLength {
    std::uint32_t count = 0;   // bytes, or UTF-16 code units when unicode
    bool unicode = false;
    bool longForm = false;     // the count came in the 32-bit form
};

// Source reads little-endian from its position: Byte(), Word(), DWord(); it throws (or
// otherwise stops) when the data ends.
template <class Source>
CountedLength ReadCountedLength(Source& in)
{
    CountedLength out;
    unsigned n = in.Byte();
    if (n != 0xFF) {
        out.count = n;
        return out;
    }
    unsigned word = in.Word();
    if (word == 0xFFFE) {
        out.unicode = true;
        n = in.Byte();
        if (n != 0xFF) {
            out.count = n;
            return out;
        }
        word = in.Word();
    }
    if (word != 0xFFFF) {
        out.count = word;
        return out;
    }
    out.count = in.DWord();
    out.longForm = true;
    return out;
}
