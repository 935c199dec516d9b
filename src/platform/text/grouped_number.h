// A count or a byte offset as people read it in a message: its digits in groups of three, "1,234,567".
#pragma once

#include <cstdint>
#include <string>

namespace ckvd::text {

inline std::string grouped(uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace ckvd::text
