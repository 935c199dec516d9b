// UCS-2 to Shift-JIS conversion: the published JIS X 0208 table's telling rows, and agreement with glibc's
// SHIFT_JIS converter on every character.
#include <gtest/gtest.h>
#include <iconv.h>

#include <map>
#include <string>
#include <vector>

#include "iso9660/iso9660.h"

namespace {

std::string Convert(const std::vector<uint8_t>& src, uint32_t length, uint16_t ucs2, uint16_t be,
                    size_t capacity = 256) {
    std::vector<char> out(capacity, 'x');
    Iso_UcsToSjis(out.data(), capacity, src.data(), length, ucs2, be);
    return std::string(out.data());
}

std::vector<uint8_t> Be(const std::u16string& s) {
    std::vector<uint8_t> b;
    for (char16_t c : s)
        b.insert(b.end(), {uint8_t(c >> 8), uint8_t(c)});
    return b;
}

// Rows of the published table that the comparison with glibc below does not reach (ASCII and Latin-1 go
// their own way there);
// codes outside the 94 x 94 rows have no Shift-JIS form, and the reverse.
TEST(UcsToSjis, TellingRowsOfTheJisTable) {
    EXPECT_EQ(Jis_FromUnicode(0x005C), 0x2140);
    EXPECT_EQ(Jis_FromUnicode(0x00A2), 0x2171);
    EXPECT_EQ(Jis_FromUnicode(0x00AC), 0x224C);
    EXPECT_EQ(Jis_FromUnicode(0x00A5), 0);
    for (uint16_t jis : {0x2020, 0x217F})
        EXPECT_EQ(Jis_ToSjis(jis), 0) << std::hex << jis;
    for (uint16_t sjis : {0x8100, 0x817F, 0xA1A1})
        EXPECT_EQ(Sjis_ToJis(sjis), 0) << std::hex << sjis;
}

TEST(UcsToSjis, FoldTableByteOrdersAndCapacity) {
    const std::vector<uint8_t> amp3 = Be(u"A.MP3"), plain = {'A', '.', 'M', 'P', '3', ';', '1'};
    const std::vector<uint8_t> kana = Be(std::u16string(64, u'\u3042'));
    std::string kana128;
    for (int i = 0; i < 64; ++i)
        kana128 += "\x82\xa0";
    struct Case {
        std::vector<uint8_t> src;
        uint32_t length;
        uint16_t ucs2, be;
        size_t capacity;
        std::string expected;
    };
    const Case cases[] = {
        {amp3, 5, 1, 1, 256, "A.MP3"},
        {amp3, 5, 1, 0, 256, "?????"}, // read little-endian: U+4100 etc. have no JIS code
        {Be(u"\u00e9\u00d7\u0085"), 3, 1, 1, 256, "ex "},
        {Be(u"\u00c6\u00df\u00fe\u00a9\u00bf"), 5, 1, 1, 256, "ABpC?"},
        {{0x30, 0x42}, 1, 1, 1, 256, "\x82\xa0"},
        {{0x42, 0x30}, 1, 1, 0, 256, "\x82\xa0"},
        {Be(u"A\uff5eB\u20ac\u3042"), 5, 1, 1, 256, "A?B?\x82\xa0"}, // no JIS code: "?", and on
        {plain, 5, 0, 1, 256, "A.MP3"},
        {{'A', 0, 'B'}, 3, 0, 1, 256, "A"},
        {plain, 7, 0, 1, 4, "A.M"},
        {kana, 64, 1, 1, 256, kana128},          // 64 characters outside Latin-1 take 128 bytes
        {kana, 64, 1, 1, 6, "\x82\xa0\x82\xa0"}, // the third would not fit whole with the terminator
        {Be(u"ab\u3042"), 3, 1, 1, 4, "ab"},
        {kana, 64, 1, 1, 1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Convert(c.src, c.length, c.ucs2, c.be, c.capacity), c.expected) << &c - cases;
}

std::string Glibc(iconv_t cd, uint16_t cp) {
    uint8_t in[2] = {uint8_t(cp >> 8), uint8_t(cp)};
    char out[8] = {};
    char* inp = reinterpret_cast<char*>(in);
    char* outp = out;
    size_t inLeft = 2, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == size_t(-1))
        return std::string();
    return std::string(out, sizeof out - outLeft);
}

// glibc iconv's SHIFT_JIS agrees on every JIS X 0208 character (every two-byte code it produces) and on
// ASCII (Latin-1 goes through the fold table), except for the characters listed below. The table holds the
// 6879 characters of JIS X 0208 once: each maps back to its code point, and through Shift-JIS to its code.
TEST(UcsToSjis, AgreesWithGlibcOnEveryJisCharacter) {
    iconv_t cd = iconv_open("SHIFT_JIS", "UCS-2BE");
    ASSERT_NE(cd, (iconv_t)-1);
    std::map<uint16_t, std::pair<std::string, std::string>> differences; // code point -> (ours, glibc)
    int jisCompared = 0, mapped = 0;
    for (uint32_t cp = 0x01; cp <= 0xFFFF; ++cp) {
        if (const uint16_t jis = Jis_FromUnicode(uint16_t(cp))) {
            ++mapped;
            EXPECT_EQ(Jis_ToUnicode(jis), cp);
            EXPECT_EQ(Sjis_ToJis(Jis_ToSjis(jis)), jis);
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0x80 && cp <= 0xFF))
            continue; // Latin-1: the fold table's own substitutes, tested above
        std::string theirs = Glibc(cd, uint16_t(cp));
        const bool theirsJis = theirs.size() == 2 && uint8_t(theirs[0]) >= 0x81 && uint8_t(theirs[0]) <= 0xEF;
        if (cp >= 0x100 && !theirsJis)
            theirs = "?"; // single bytes and user-defined rows are not JIS X 0208: "?" for no code
        const std::string ours = Convert({uint8_t(cp >> 8), uint8_t(cp)}, 1, 1, 1);
        jisCompared += theirsJis;
        if (ours != theirs)
            differences[uint16_t(cp)] = {ours, theirs};
    }
    iconv_close(cd);
    EXPECT_EQ(mapped, 6879);
    // glibc also gives 0x2171, 0x2172 and 0x224C to the full-width U+FFE0, U+FFE1 and U+FFE2, which the
    // published table (and ours) gives to U+00A2, U+00A3 and U+00AC only.
    const std::map<uint16_t, std::pair<std::string, std::string>> expected = {
        {0xFF3C, {"?", "\x81\x5f"}}, // 0x2140 belongs to U+005C in the published table
        {0xFFE0, {"?", "\x81\x91"}},
        {0xFFE1, {"?", "\x81\x92"}},
        {0xFFE2, {"?", "\x81\xca"}},
    };
    EXPECT_EQ(differences, expected);
    // Every JIS X 0208 character above page 0x00, and the four full-width signs above.
    EXPECT_EQ(jisCompared, 6879 - 12 + 4);
}

} // namespace
