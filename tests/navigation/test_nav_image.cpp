// Navigation-file images: fields, texts and display forms, and that nothing outside the image is read.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "navigation/nav_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(NavImage, FieldsAtAnyOffsetInTheirDisplayForms) {
    const Bytes b = {'L',  'M', 'X', 'F', 0, 'Z', 'Z', 'Z', 0x07, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF,
                     0x2C, 0,   0,   0,   1, 0,   0,   0,   0,    0,    0,    0,    0xFF, 0xFF};
    const NavImage image(b);
    EXPECT_EQ(*image.Identifier(0), "LMXF"); // a zero fifth byte ends it
    EXPECT_EQ(Nav_Byte(image.U8(8)), "7(0x07)");
    EXPECT_EQ(Nav_Word(image.U16(9)), "256(0x0100)"); // an odd offset
    EXPECT_EQ(Nav_Dword(image.U32(11)), "-1(0xFFFFFFFF)");
    EXPECT_EQ(Nav_Dword(image.U32(15)), "44(0x0000002C)");
    EXPECT_EQ(Nav_Qword(image.U64(19)), "1(0x0000000000000001)");
    EXPECT_EQ(Nav_Word(image.U16(27)), "65535(0xFFFF)");
    EXPECT_EQ(Nav_ByteAsWord(image.U8(8)), "7(0x0007)");
    // The last bytes: a field reaching past the end gives nothing, however large its offset.
    EXPECT_FALSE(image.U16(28));
    EXPECT_FALSE(image.U64(22));
    EXPECT_FALSE(image.U32(SIZE_MAX - 1));
    EXPECT_FALSE(image.Identifier(22));
    EXPECT_EQ(Nav_Dword(image.U32(27)), "(out of file)");
}

// A decoded text as "text@offset of what follows", or "none" when it does not lie inside the image.
std::string Shown(const std::optional<NavText>& t) {
    return t ? t->text + "@" + std::to_string(t->next) : "none";
}

TEST(NavImage, TheTwoTextConventions) {
    // A character count, the characters high byte first: "a\u3042\u0159" (the last has no Shift-JIS code), an
    // empty name, then 9 characters claimed with one there.
    const Bytes names = {3, 0, 0, 'a', 0x30, 0x42, 0x01, 0x59, 0, 0, 9, 0, 0, 'x'};
    const NavImage n(names);
    EXPECT_EQ(Shown(n.CharCountText(0)), "a\u3042\u0159@8");
    EXPECT_EQ(Shown(n.CharCountText(8)), "@10");
    EXPECT_EQ(Shown(n.CharCountText(10)), "none");

    // A byte count, low byte first, and a zero character the count leaves out (a surrogate pair is one
    // character); a zero inside ends the text; the last text's zero character lies past the end.
    const Bytes texts = {8, 0, 'O', 0, 'K', 0, 0x3C, 0xD8, 0xB5, 0xDF, 0,   0,
                         4, 0, 'A', 0, 0,   0, 0,    0,    2,    0,    'B', 0};
    const NavImage t(texts);
    EXPECT_EQ(Shown(t.ByteCountText(0)), "OK\U0001F3B5@12");
    EXPECT_EQ(Shown(t.ByteCountText(12)), "A@20");
    EXPECT_EQ(Shown(t.ByteCountText(20)), "none");
}

} // namespace
