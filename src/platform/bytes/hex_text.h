// Bytes as lower-case hexadecimal text, two digits a byte, as md5sum and sha1sum print a digest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bytes {

inline std::string HexText(const void* data, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (const auto* p = static_cast<const uint8_t*>(data); size--; ++p)
        hex += {kDigits[*p >> 4], kDigits[*p & 15]};
    return hex;
}

} // namespace bytes
