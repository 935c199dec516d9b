// UCS-2 to Shift-JIS: characters below U+0100 through the fold table, the others through the JIS X 0208
// table and the JIS to Shift-JIS arithmetic. The display's direction is derived from the same table.
#include <algorithm>
#include <array>
#include <cstring>

#include "iso9660/iso9660.h"
#include "iso9660/jis_table.h"

namespace {

// Latin-1 folded to single bytes: ASCII as it is, C1 controls to a space, the rest to an ASCII look-alike.
constexpr std::array<uint8_t, 96> kFoldHigh = {
    0x20, 0x21, 0x63, 0x4C, 0x6F, 0x2F, 0x7C, 0x24, 0x3A, 0x43, 0x61, 0x3C, 0x5D, 0x20, 0x52, 0x7E, // A0
    0x6F, 0x2B, 0x32, 0x33, 0x22, 0x75, 0x71, 0x2E, 0x2C, 0x31, 0x6F, 0x3E, 0x20, 0x20, 0x20, 0x3F, // B0
    0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41, 0x43, 0x45, 0x45, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49, // C0
    0x44, 0x4E, 0x4F, 0x4F, 0x4F, 0x4F, 0x4F, 0x78, 0x4F, 0x55, 0x55, 0x55, 0x55, 0x59, 0x50, 0x42, // D0
    0x61, 0x61, 0x61, 0x61, 0x61, 0x61, 0x61, 0x63, 0x65, 0x65, 0x65, 0x65, 0x69, 0x69, 0x69, 0x69, // E0
    0x6F, 0x6E, 0x6F, 0x6F, 0x6F, 0x6F, 0x6F, 0x2D, 0x6F, 0x75, 0x75, 0x75, 0x75, 0x79, 0x70, 0x79, // F0
};

constexpr uint8_t Fold(uint8_t low) {
    if (low < 0x80)
        return low;
    if (low < 0xA0)
        return 0x20;
    return kFoldHigh[low - 0xA0];
}

// The length of the run of ASCII characters (1 to 0x7F) `p` starts with, eight bytes at a time: most names
// are ASCII for most of their length, and every name of a disc passes here.
size_t AsciiRun(const uint8_t* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, sizeof w);
        // A byte of 0x80 or more, or a zero byte (the high bit of (b - 1) & ~b), ends the run.
        if ((w | ((w - 0x0101010101010101ull) & ~w)) & 0x8080808080808080ull)
            break;
    }
    while (i < n && p[i] != 0 && p[i] < 0x80)
        ++i;
    return i;
}

// A character beyond Latin-1 as its Shift-JIS pair, or "?" where JIS X 0208 has no code for it (which keeps
// the rest of the text and tells two such names apart); false when it does not fit in `room`.
bool PutSjis(char* dest, size_t room, size_t& out, uint16_t u);

// JIS X 0208 (94 x 94) to Unicode, the inverse of the generated table, built on first use.
const std::array<uint16_t, 94 * 94>& InverseTable() {
    static const std::array<uint16_t, 94 * 94> table = [] {
        std::array<uint16_t, 94 * 94> t{};
        for (unsigned high = 0; high < 256; ++high) {
            const uint16_t* page = g_JisPages[high];
            if (!page)
                continue;
            for (unsigned low = 0; low < 256; ++low) {
                const uint16_t jis = page[low];
                if (jis == 0)
                    continue;
                const unsigned row = (jis >> 8) - 0x21, cell = (jis & 0xFF) - 0x21;
                if (row < 94 && cell < 94)
                    t[row * 94 + cell] = static_cast<uint16_t>(high << 8 | low);
            }
        }
        return t;
    }();
    return table;
}

} // namespace

namespace {

bool PutSjis(char* dest, size_t room, size_t& out, uint16_t u) {
    const uint16_t sjis = Jis_ToSjis(Jis_FromUnicode(u));
    if (sjis == 0) {
        if (out + 1 > room)
            return false;
        dest[out++] = '?';
        return true;
    }
    if (out + 2 > room)
        return false;
    dest[out++] = static_cast<char>(sjis >> 8);
    dest[out++] = static_cast<char>(sjis & 0xFF);
    return true;
}

} // namespace

uint16_t Jis_FromUnicode(uint16_t codePoint) {
    const uint16_t* page = g_JisPages[codePoint >> 8];
    return page ? page[codePoint & 0xFF] : 0;
}

uint16_t Jis_ToSjis(uint16_t jis) {
    const unsigned j1 = jis >> 8, j2 = jis & 0xFF;
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E)
        return 0;
    const unsigned lead = (j1 - 1) / 2 + (j1 <= 0x5E ? 0x71 : 0xB1);
    unsigned trail;
    if (j1 & 1) {
        trail = j2 + (j2 < 0x60 ? 0x1F : 0x20);
    } else {
        trail = j2 + 0x7E;
    }
    return static_cast<uint16_t>(lead << 8 | trail);
}

uint16_t Sjis_ToJis(uint16_t sjis) {
    unsigned lead = sjis >> 8, trail = sjis & 0xFF;
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEF)))
        return 0;
    if (trail < 0x40 || trail > 0xFC || trail == 0x7F)
        return 0;
    unsigned j1 = (lead <= 0x9F ? lead - 0x71 : lead - 0xB1) * 2 + 1;
    unsigned j2;
    if (trail >= 0x9F) {
        ++j1;
        j2 = trail - 0x7E;
    } else {
        j2 = trail - (trail >= 0x80 ? 0x20 : 0x1F);
    }
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E)
        return 0;
    return static_cast<uint16_t>(j1 << 8 | j2);
}

uint16_t Jis_ToUnicode(uint16_t jis) {
    const unsigned row = (jis >> 8) - 0x21u, cell = (jis & 0xFFu) - 0x21u;
    if (row >= 94 || cell >= 94)
        return 0;
    return InverseTable()[row * 94 + cell];
}

void Iso_UcsToSjis(char* dest, size_t capacity, const uint8_t* src, uint32_t length, uint16_t ucs2,
                   uint16_t bigEndian) {
    if (!dest || capacity == 0)
        return;
    // One byte is always kept for the terminating zero.
    const size_t room = capacity - 1;
    size_t out = 0;
    if (!src) {
        dest[0] = 0;
        return;
    }
    if (!ucs2) {
        const size_t n = std::min<size_t>(length, room);
        size_t i = 0;
        for (; i < n && src[i] != 0; ++i)
            dest[i] = static_cast<char>(src[i]);
        for (; i < n; ++i)
            dest[i] = 0;
        dest[n] = 0;
        return;
    }
    // One loop per byte order, so that the order is not asked again for every character of every name.
    const auto convert = [&](auto unitAt) {
        for (uint32_t i = 0; i < length; ++i) {
            const uint16_t u = unitAt(src + 2 * size_t(i));
            if (u < 0x100) {
                if (out + 1 > room)
                    break;
                dest[out++] = static_cast<char>(Fold(static_cast<uint8_t>(u)));
                continue;
            }
            if (!PutSjis(dest, room, out, u))
                break;
        }
    };
    if (bigEndian == 1)
        convert([](const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); });
    else
        convert([](const uint8_t* p) { return uint16_t(p[1] << 8 | p[0]); });
    dest[out] = 0;
}

void Iso_Utf8ToSjis(char* dest, size_t capacity, std::string_view utf8) {
    if (!dest || capacity == 0)
        return;
    const size_t room = capacity - 1;
    size_t out = 0;
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    for (size_t i = 0; i < utf8.size() && p[i] != 0;) {
        if (p[i] < 0x80) {
            const size_t run = std::min(AsciiRun(p + i, utf8.size() - i), room - out);
            if (run == 0)
                break;
            std::memcpy(dest + out, p + i, run);
            out += run;
            i += run;
            continue;
        }
        size_t n = 0;
        uint32_t code = Iso_DecodeUtf8(p + i, utf8.size() - i, &n);
        if (n == 0 || code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = '?';
        i += n ? n : 1;
        if (code < 0x100) {
            if (out + 1 > room)
                break;
            dest[out++] = static_cast<char>(Fold(static_cast<uint8_t>(code)));
        } else if (!PutSjis(dest, room, out, static_cast<uint16_t>(code))) {
            break;
        }
    }
    dest[out] = 0;
}

uint32_t Iso_DecodeUtf8(const uint8_t* p, size_t n, size_t* length) {
    const uint8_t lead = n ? p[0] : 0;
    size_t len = lead < 0x80           ? 1
                 : (lead >> 5) == 0x06 ? 2
                 : (lead >> 4) == 0x0E ? 3
                 : (lead >> 3) == 0x1E ? 4
                                       : 0;
    if (len > n)
        len = 0;
    uint32_t code = len == 1 ? lead : lead & (0x7F >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            len = 0;
            break;
        }
        code = code << 6 | (p[k] & 0x3F);
    }
    *length = len;
    return len ? code : 0;
}

uint32_t Iso_Utf8ToUcs2(const uint8_t* src, uint32_t length, uint8_t* out) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < length && src[i] != 0;) {
        size_t n = 0;
        uint32_t code = Iso_DecodeUtf8(src + i, length - i, &n);
        if (n == 0) {
            code = '?';
            n = 1;
        } else if (code > 0xFFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            code = '?';
        }
        out[2 * size_t(count)] = uint8_t(code >> 8);
        out[2 * size_t(count) + 1] = uint8_t(code);
        ++count;
        i += uint32_t(n);
    }
    return count;
}

namespace {

// One code point as UTF-8 at `out` (U+FFFD for a surrogate or beyond U+10FFFF); returns the end.
char* PutUtf8(char* out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

} // namespace

void Iso_AppendUtf8(std::string& out, uint32_t cp) {
    char bytes[4];
    out.append(bytes, size_t(PutUtf8(bytes, cp) - bytes));
}

size_t Iso_Utf16ToUtf8(const uint8_t* src, uint32_t units, bool bigEndian, char* out) {
    if (!src)
        return 0;
    const auto unit = [&](uint32_t i) {
        const uint8_t b0 = src[2 * size_t(i)], b1 = src[2 * size_t(i) + 1];
        return static_cast<uint32_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0));
    };
    char* const start = out;
    for (uint32_t i = 0; i < units; ++i) {
        uint32_t u = unit(i);
        if (u == 0)
            break;
        if (u < 0x80) {
            *out++ = static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        out = PutUtf8(out, u); // a lone surrogate becomes U+FFFD there
    }
    return size_t(out - start);
}

size_t Iso_JolietName(const uint8_t* id, uint32_t units, char* sjis, size_t capacity, char* utf8) {
    const size_t room = capacity - 1;
    size_t out = 0;   // of `sjis`
    char* at = utf8;  // in `utf8`
    bool cut = false; // the Shift-JIS form is full; the Unicode one goes on
    for (uint32_t i = 0; i < units; ++i) {
        uint32_t u = uint32_t(id[2 * size_t(i)] << 8 | id[2 * size_t(i) + 1]);
        if (u == 0)
            break;
        if (u < 0x80) { // most characters of most names: the same byte in both forms
            *at++ = static_cast<char>(u);
            cut = cut || out >= room;
            if (!cut)
                sjis[out++] = static_cast<char>(u);
            continue;
        }
        if (!cut) {
            if (u < 0x100) {
                cut = out + 1 > room;
                if (!cut)
                    sjis[out++] = static_cast<char>(Fold(static_cast<uint8_t>(u)));
            } else {
                cut = !PutSjis(sjis, room, out, static_cast<uint16_t>(u));
            }
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const uint32_t low = uint32_t(id[2 * size_t(i) + 2] << 8 | id[2 * size_t(i) + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                // The Shift-JIS form reads the pair as the two units it is ("??").
                if (!cut)
                    cut = !PutSjis(sjis, room, out, static_cast<uint16_t>(low));
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        at = PutUtf8(at, u);
    }
    sjis[out] = 0;
    return size_t(at - utf8);
}

std::string Iso_Utf16ToUtf8(const uint8_t* src, uint32_t units, bool bigEndian) {
    std::string out(3 * size_t(units), '\0');
    out.resize(Iso_Utf16ToUtf8(src, units, bigEndian, out.data()));
    return out;
}

void Iso_AppendSjisAsUtf8(std::string& out, const char* sjis, size_t limit) {
    const auto* p = reinterpret_cast<const unsigned char*>(sjis);
    size_t i = 0;
    while (i < limit && p[i] != 0) {
        const size_t run = i;
        while (i < limit && p[i] != 0 && p[i] < 0x80)
            ++i;
        out.append(sjis + run, i - run); // runs of ASCII go in whole
        if (i >= limit || p[i] == 0)
            break;
        const unsigned b = p[i];
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        // Only a byte that can follow a lead byte is taken with it: a line break, a dot or the zero after a
        // text cut in the middle of a character stays itself.
        const unsigned next = i + 1 < limit ? p[i + 1] : 0;
        if (b >= 0xA1 && b <= 0xDF) {
            Iso_AppendUtf8(out, 0xFF61 + (b - 0xA1)); // half-width katakana
            ++i;
        } else if (lead && next >= 0x40 && next <= 0xFC && next != 0x7F) {
            const uint16_t jis = Sjis_ToJis(static_cast<uint16_t>((b << 8) | next));
            const uint16_t cp = jis ? Jis_ToUnicode(jis) : 0;
            if (cp) {
                Iso_AppendUtf8(out, cp);
                i += 2;
            } else {
                Iso_AppendUtf8(out, 0xFFFD);
                ++i;
            }
        } else {
            Iso_AppendUtf8(out, 0xFFFD);
            ++i;
        }
    }
}

bool Iso_IsUtf8(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n;) {
        if (p[i] < 0x80) {
            i += std::max<size_t>(AsciiRun(p + i, n - i), 1);
            continue;
        }
        size_t length = 0;
        const uint32_t cp = Iso_DecodeUtf8(p + i, n - i, &length);
        // Overlong forms and surrogates are not UTF-8 (a Shift-JIS or Latin-1 pair can look like them).
        if (length == 0 || (length == 2 && cp < 0x80) || (length == 3 && cp < 0x800) ||
            (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string Iso_BytesToUtf8(const uint8_t* src, size_t length) {
    std::string out;
    if (!src)
        return out;
    length = std::find(src, src + length, 0) - src;
    if (Iso_IsUtf8(src, length)) {
        out.assign(reinterpret_cast<const char*>(src), length);
        return out;
    }
    Iso_AppendSjisAsUtf8(out, reinterpret_cast<const char*>(src), length);
    return out;
}
