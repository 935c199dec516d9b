// Little- and big-endian fields of disc, file and command bytes, read one way everywhere. The pointer
// readers are for bytes the caller has bounded already; the span readers check the field lies inside the
// span and read 0 for one that does not. ECMA-119's both-byte-order fields (7.2.3, 7.3.3) are read from
// their little-endian half.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace bytes {

constexpr uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
constexpr uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
constexpr uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}
constexpr uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
constexpr uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
// Four bytes of 7 bits each, most significant first (ID3v2 tag sizes, version 2.4 frame sizes).
constexpr uint32_t Syncsafe32(const uint8_t* p) {
    return uint32_t(p[0] & 0x7F) << 21 | uint32_t(p[1] & 0x7F) << 14 | uint32_t(p[2] & 0x7F) << 7 |
           (p[3] & 0x7F);
}

// Whether `n` bytes at `offset` lie inside `b` (no overflow for any offset).
constexpr bool Holds(std::span<const uint8_t> b, size_t offset, size_t n) {
    return offset <= b.size() && b.size() - offset >= n;
}
inline uint16_t Le16(std::span<const uint8_t> b, size_t offset) {
    return Holds(b, offset, 2) ? Le16(b.data() + offset) : 0;
}
inline uint32_t Le32(std::span<const uint8_t> b, size_t offset) {
    return Holds(b, offset, 4) ? Le32(b.data() + offset) : 0;
}
inline uint16_t Be16(std::span<const uint8_t> b, size_t offset) {
    return Holds(b, offset, 2) ? Be16(b.data() + offset) : 0;
}
inline uint32_t Be32(std::span<const uint8_t> b, size_t offset) {
    return Holds(b, offset, 4) ? Be32(b.data() + offset) : 0;
}

} // namespace bytes
