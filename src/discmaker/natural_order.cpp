#include "discmaker/natural_order.h"

namespace {

bool Digit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// <0, 0 or >0 as the run of digits at a[i..] stands to the one at b[j..]; both moved past their runs.
int CompareNumbers(std::string_view a, size_t& i, std::string_view b, size_t& j) {
    while (i < a.size() && a[i] == '0')
        ++i;
    while (j < b.size() && b[j] == '0')
        ++j;
    size_t ei = i, ej = j;
    while (ei < a.size() && Digit(a[ei]))
        ++ei;
    while (ej < b.size() && Digit(b[ej]))
        ++ej;
    // Without their leading zeros, the longer number is the larger; of two as long, the first digit apart.
    int order = ei - i < ej - j ? -1 : ei - i > ej - j ? 1 : a.substr(i, ei - i).compare(b.substr(j, ej - j));
    i = ei;
    j = ej;
    return order;
}

} // namespace

bool Make_NaturalLess(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (Digit(a[i]) && Digit(b[j])) {
            if (const int order = CompareNumbers(a, i, b, j))
                return order < 0;
            continue;
        }
        const char x = Lower(a[i]), y = Lower(b[j]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return j < b.size();
    return a < b; // equal but for case or leading zeros: a fixed order still
}
