// Unsigned LEB128 numbers (seven bits a byte, the low ones first, the top bit set on every byte but the
// last), as the catalogue's blocks and index lists store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bytes {

inline void PutVarint(uint64_t v, std::string& out) {
    for (; v >= 0x80; v >>= 7)
        out += char(0x80 | (v & 0x7F));
    out += char(v);
}

inline size_t VarintSize(uint64_t v) {
    size_t n = 1;
    for (; v >= 0x80; v >>= 7)
        ++n;
    return n;
}

// The number at `at` in `bytes`, `at` moved past it; false for one cut short or past 64 bits.
inline bool GetVarint(std::string_view bytes, size_t& at, uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= bytes.size())
            return false;
        const auto b = static_cast<unsigned char>(bytes[at++]);
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return shift < 63 || b <= 1;
    }
    return false;
}

} // namespace bytes
