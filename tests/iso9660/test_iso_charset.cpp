// UCS-2 to Shift-JIS conversion, its telling rows, and agreement with glibc's SHIFT_JIS converter.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
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
    for (char16_t c : s) {
        b.push_back(uint8_t(c >> 8));
        b.push_back(uint8_t(c));
    }
    return b;
}

TEST(UcsToSjis, TellingRowsOfTheJisTable) {
    const std::map<uint16_t, uint16_t> rows = {
        {0x3000, 0x2121}, {0x4E00, 0x306C}, {0x005C, 0x2140}, {0x301C, 0x2141}, {0x2016, 0x2142},
        {0x2212, 0x215D}, {0x2015, 0x213D}, {0x00A2, 0x2171}, {0x00AC, 0x224C}, {0xFF01, 0x212A},
        {0xFFE3, 0x2131}, {0xFFE5, 0x216F}, {0x3042, 0x2422}};
    for (auto [ucs, jis] : rows)
        EXPECT_EQ(Jis_FromUnicode(ucs), jis) << std::hex << ucs;
    for (uint16_t none : {0xFF5E, 0x2225, 0xFF0D, 0xFFE0, 0xFFE1, 0xFFE2, 0x2014, 0x00A5, 0xFF3C})
        EXPECT_EQ(Jis_FromUnicode(none), 0) << std::hex << none;
    EXPECT_EQ(Jis_ToSjis(0x2121), 0x8140);
    EXPECT_EQ(Jis_ToSjis(0x306C), 0x88EA);
    EXPECT_EQ(Jis_ToSjis(0x7426), 0xEAA4);
    EXPECT_EQ(Jis_ToSjis(0x2020), 0);
    EXPECT_EQ(Jis_ToSjis(0x217F), 0);
}

TEST(UcsToSjis, TableHoldsTheJisCharactersOnce) {
    int mapped = 0, pages = 0;
    for (unsigned high = 0; high < 256; ++high) {
        bool any = false;
        for (unsigned low = 0; low < 256; ++low) {
            uint16_t jis = Jis_FromUnicode(uint16_t(high << 8 | low));
            if (!jis)
                continue;
            any = true;
            ++mapped;
            EXPECT_EQ(Jis_ToUnicode(jis), high << 8 | low); // the inverse is the same table
        }
        pages += any;
    }
    EXPECT_EQ(mapped, 6879);
    EXPECT_EQ(pages, 93);
}

TEST(UcsToSjis, FoldTableAndByteOrders) {
    const std::vector<uint8_t> amp3 = {0x00, 0x41, 0x00, 0x2E, 0x00, 0x4D, 0x00, 0x50, 0x00, 0x33};
    EXPECT_EQ(Convert(amp3, 5, 1, 1), "A.MP3");
    // Read little-endian, every character has a non-zero high byte: U+4100 etc. have no JIS code.
    EXPECT_EQ(Convert(amp3, 5, 1, 0), "?????");
    EXPECT_EQ(Convert(Be(u"\u00e9\u00d7\u0085"), 3, 1, 1), "ex ");
    EXPECT_EQ(Convert(Be(u"\u00c6\u00df\u00fe\u00a9\u00bf"), 5, 1, 1), "ABpC?");
    EXPECT_EQ(Convert({0x30, 0x42}, 1, 1, 1), "\x82\xa0");
    EXPECT_EQ(Convert({0x42, 0x30}, 1, 1, 0), "\x82\xa0");
    EXPECT_EQ(Convert(Be(u"A\uff5eB\u20ac\u3042"), 5, 1, 1), "A?B?\x82\xa0"); // no JIS code: "?", and on
}

TEST(UcsToSjis, PlainBytesAndCapacity) {
    const std::vector<uint8_t> name = {'A', '.', 'M', 'P', '3', ';', '1'};
    EXPECT_EQ(Convert(name, 5, 0, 1), "A.MP3");
    EXPECT_EQ(Convert({'A', 0, 'B'}, 3, 0, 1), "A");
    EXPECT_EQ(Convert(name, 7, 0, 1, 4), "A.M");
    // 64 characters outside Latin-1 take 128 bytes.
    std::u16string kana(64, u'\u3042');
    EXPECT_EQ(Convert(Be(kana), 64, 1, 1).size(), 128u);
    // Capacity 6: two double-byte characters and the terminator; the third would not fit whole.
    EXPECT_EQ(Convert(Be(kana), 64, 1, 1, 6), "\x82\xa0\x82\xa0");
    EXPECT_EQ(Convert(Be(u"ab\u3042"), 3, 1, 1, 4), "ab");
    char one[1] = {'x'};
    Iso_UcsToSjis(one, 1, Be(kana).data(), 64, 1, 1);
    EXPECT_EQ(one[0], 0);
}

TEST(SjisToJis, InverseArithmetic) {
    for (uint16_t jis : {0x2121, 0x306C, 0x7426, 0x2140, 0x5F21, 0x7E7E})
        EXPECT_EQ(Sjis_ToJis(Jis_ToSjis(jis)), jis) << std::hex << jis;
    EXPECT_EQ(Sjis_ToJis(0x8100), 0);
    EXPECT_EQ(Sjis_ToJis(0x817F), 0);
    EXPECT_EQ(Sjis_ToJis(0xA1A1), 0);
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
// ASCII (Latin-1 goes through the fold table), except for the characters listed below.
TEST(UcsToSjis, AgreesWithGlibcOnEveryJisCharacter) {
    iconv_t cd = iconv_open("SHIFT_JIS", "UCS-2BE");
    ASSERT_NE(cd, (iconv_t)-1);
    std::map<uint16_t, std::pair<std::string, std::string>> differences; // code point -> (ours, glibc)
    int jisCompared = 0;
    for (uint32_t cp = 0x01; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        if (cp >= 0x80 && cp <= 0xFF)
            continue; // Latin-1: the fold table's own substitutes, tested above
        std::string theirs = Glibc(cd, uint16_t(cp));
        const bool theirsJis = theirs.size() == 2 && uint8_t(theirs[0]) >= 0x81 && uint8_t(theirs[0]) <= 0xEF;
        if (cp >= 0x100 && !theirsJis)
            theirs = "?"; // single bytes and user-defined rows are not JIS X 0208: "?" for no code
        const std::string ours = Convert({uint8_t(cp >> 8), uint8_t(cp)}, 1, 1, 1);
        if (theirsJis)
            ++jisCompared;
        if (ours != theirs)
            differences[uint16_t(cp)] = {ours, theirs};
    }
    iconv_close(cd);
    // glibc also gives 0x2171, 0x2172 and 0x224C to the full-width U+FFE0, U+FFE1 and U+FFE2, which the
    // published table (and ours) gives to U+00A2, U+00A3 and U+00AC only.
    const std::map<uint16_t, std::pair<std::string, std::string>> expected = {
        {0xFF3C, {"?", "\x81\x5f"}}, // 0x2140 belongs to U+005C in the published table
        {0xFFE0, {"?", "\x81\x91"}},
        {0xFFE1, {"?", "\x81\x92"}},
        {0xFFE2, {"?", "\x81\xca"}},
    };
    for (auto& [cp, d] : differences)
        if (!expected.count(cp))
            ADD_FAILURE() << std::hex << "U+" << cp << " differs";
    EXPECT_EQ(differences, expected);
    // Every JIS X 0208 character above page 0x00, and the four full-width signs above.
    EXPECT_EQ(jisCompared, 6879 - 12 + 4);
}

} // namespace
