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

// The three readers give the next 8, 16 and 32 bits, little-endian; they throw (or
// otherwise stop) when the data ends.
template <class Read8, class Read16, class Read32>
CountedLength ReadCountedLength(Read8 read8, Read16 read16, Read32 read32)
{
    CountedLength out;
    unsigned n = read8();
    if (n != 0xFF) {
        out.count = n;
        return out;
    }
    unsigned word = read16();
    if (word == 0xFFFE) {
        out.unicode = true;
        n = read8();
        if (n != 0xFF) {
            out.count = n;
            return out;
        }
        word = read16();
    }
    if (word != 0xFFFF) {
        out.count = word;
        return out;
    }
    out.count = read32();
    out.longForm = true;
    return out;
}
