#include "analyzers/tag_text.h"

#include <algorithm>
#include <cstring>

#include "analyzers/analyzer_heap.h"
#include "iso9660/iso9660.h"

namespace {

// Every byte from 0x80 up is the lead or trail byte of a double-byte character with a JIS X 0208 code, and
// there is at least one.
bool IsSjis(const uint8_t* p, size_t n) {
    size_t pairs = 0;
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        if (i + 1 >= n)
            return false;
        const uint16_t jis = Sjis_ToJis(uint16_t(p[i] << 8 | p[i + 1]));
        if (!jis || !Jis_ToUnicode(jis))
            return false;
        ++pairs;
        i += 2;
    }
    return pairs > 0;
}

} // namespace

std::string Analyzer_TagText(const uint8_t* bytes, size_t length) {
    std::string out;
    if (!bytes)
        return out;
    length = size_t(std::find(bytes, bytes + length, 0) - bytes);
    if (Iso_IsUtf8(bytes, length)) {
        out.assign(reinterpret_cast<const char*>(bytes), length);
    } else if (IsSjis(bytes, length)) {
        Iso_AppendSjisAsUtf8(out, reinterpret_cast<const char*>(bytes), length);
    } else {
        for (size_t i = 0; i < length; ++i)
            Iso_AppendUtf8(out, bytes[i]);
    }
    return out;
}

char* Analyzer_NewText(const std::string& utf8) {
    char* text = static_cast<char*>(Analyzer_Alloc(utf8.size() + 1));
    if (text)
        std::memcpy(text, utf8.c_str(), utf8.size() + 1);
    return text;
}
