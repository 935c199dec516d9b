// The TEXT.LMX viewer's content: the disc name, contents texts with absent texts left empty, group texts and
// extra texts spread over rows.
#include <gtest/gtest.h>

#include "golden.h"
#include "nav_bytes.h"
#include "navigation/nav_text.h"
#include "navigation/text_model.h"

using Row = std::vector<std::string>;

// Disc name "Disc". Contents texts at 0x38: CID 1 with Text1 "One" and Text4 "Four" (Text2, Text3, Text5 and
// the extra text absent), CID 2 with Text1 "Two". Group text at 0x70: group 1 "Grp". Extra texts at 0x78:
// CID 1 with three data (types 1, 2, 3), CID 2 with one (type 7). Text records from 0x9C.
std::vector<uint8_t> TextSample() {
    NavTestBytes f("TEXTLMX0");
    f.Put(0x0A, 0xC6, 4).Put(0x0E, 2, 4).Put(0x12, 1, 4).Put(0x16, 2, 4);
    f.Put(0x1A, 0x38, 4).Put(0x1E, 0x70, 4).Put(0x22, 0x78, 4).Put(0x26, 1041, 4).ByteText(0x2A, "Disc");
    f.Put(0x38, 1, 4).Put(0x3C, 0x9C, 4).Put(0x48, 0xB0, 4);
    f.Put(0x54, 2, 4).Put(0x58, 0xA6, 4);
    f.Put(0x70, 1, 4).Put(0x74, 0xBC, 4);
    f.Put(0x78, 1, 4).Put(0x7C, 3, 1).Put(0x7E, 1, 2).Put(0x80, 0x9C, 4).Put(0x84, 2, 2).Put(0x86, 0xA6, 4);
    f.Put(0x8A, 3, 2).Put(0x8C, 0xB0, 4);
    f.Put(0x90, 2, 4).Put(0x94, 1, 1).Put(0x96, 7, 2).Put(0x98, 0xBC, 4);
    f.ByteText(0x9C, "One").ByteText(0xA6, "Two").ByteText(0xB0, "Four").ByteText(0xBC, "Grp");
    return f.bytes;
}

TEST(TextViewer, ListsAsTheFileHoldsThem) {
    const auto file = TextSample();
    const NavImage image(file);
    CTextDlgModel m;
    m.Fill(image);
    ExpectGolden("navigation/TEXT.txt", Nav_TextText(m));

    // A text record past the end stops its walk there; a count beyond the file stops at the file's end.
    NavTestBytes cut("TEXTLMX0");
    cut.bytes = file;
    cut.Put(0x74, 0xC5, 4);       // the group name now starts in the last byte
    cut.Put(0x0E, 0xFFFFFFFF, 4); // contents texts: 28-byte entries on to the end
    const NavImage cutImage(cut.bytes);
    CTextDlgModel c;
    c.Fill(cutImage);
    EXPECT_EQ(c.GroupText().rows,
              (std::vector<Row>{{"1(0x00000001)", "197(0x000000C5)", "(out of file)", "(out of file)"}}));
    EXPECT_LE(c.ContentsText().rows.size(), (0xC6 - 0x38) / 28 + 1);
    EXPECT_EQ(c.ExtraText().rows.size(), 4u);
}
