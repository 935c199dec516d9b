// The CONTENTS.LMX viewer's content: header, LCID lines, directory and playlist tables, the four file tables
// behind the radio buttons with their CIDs.
#include <gtest/gtest.h>

#include "golden.h"
#include "nav_bytes.h"
#include "navigation/contents_model.h"
#include "navigation/nav_text.h"

using Row = std::vector<std::string>;
using T = CContentsDlgModel::FileTable;

// One directory "ABC", one playlist, two audio files (the header claims 40-byte entries; they are 32 apart),
// one menu image, one image, no video, two LCID entries. Tables from 0x62, name records from 0xD0.
std::vector<uint8_t> ContentsSample() {
    NavTestBytes f("CONTENTS");
    f.Put(0x0A, 1, 8).Put(0x12, 0xF8, 4);
    f.Put(0x16, 1, 4).Put(0x1A, 0x62, 4);                  // directories
    f.Put(0x1E, 1, 4).Put(0x22, 6, 2).Put(0x24, 0x72, 4);  // playlists
    f.Put(0x28, 2, 4).Put(0x2C, 40, 2).Put(0x2E, 0x78, 4); // audio
    f.Put(0x32, 1, 4).Put(0x36, 8, 2).Put(0x38, 0xB8, 4);  // menu image
    f.Put(0x3C, 1, 4).Put(0x40, 16, 2).Put(0x42, 0xC0, 4); // image
    f.Put(0x46, 0, 4).Put(0x4A, 44, 2).Put(0x4C, 0xD0, 4); // video
    f.Put(0x50, 2, 2).Put(0x52, 1041, 4).Put(0x56, 0, 4).Put(0x5A, 1033, 4).Put(0x5E, 0xFFFFFFFF, 4);
    f.Put(0x62, 0, 4).Put(0x66, 0x6A, 4).CharName(0x6A, "ABC");
    f.Put(0x72, 1, 4).Put(0x76, 5, 1);
    for (size_t a : {0x78, 0x98}) { // audio: stereo, 16 bits, 128 kbit/s, 2 s, 44.1 kHz
        f.Put(a, a == 0x78 ? 0xD0 : 0xDA, 4)
            .Put(a + 4, 1, 2)
            .Put(a + 6, 0, 2)
            .Put(a + 8, 2, 1)
            .Put(a + 9, 16, 1);
        f.Put(a + 0x0A, 128000, 4).Put(a + 0x0E, 128000, 4).Put(a + 0x12, 2000, 4).Put(a + 0x16, 44100, 4);
        f.Put(a + 0x1A, a == 0x78 ? 1 : 2, 2).Put(a + 0x1C, 0xFFFFFFFF, 4);
    }
    f.Put(0xB8, 0xE4, 4).Put(0xBC, 3, 2).Put(0xBE, 0x8000, 2);
    f.Put(0xC0, 0xEE, 4).Put(0xC4, 4, 2).Put(0xC8, 77, 4).Put(0xCC, 480, 2).Put(0xCE, 640, 2);
    f.Put(0xD0, 1, 4).CharName(0xD4, "A1").Put(0xDA, 1, 4).CharName(0xDE, "A2");
    f.Put(0xE4, 1, 4).CharName(0xE8, "M1").Put(0xEE, 1, 4).CharName(0xF2, "I1");
    return f.bytes;
}

TEST(ContentsViewer, EveryTableWithItsCids) {
    const auto file = ContentsSample();
    const NavImage image(file);
    CContentsDlgModel m;
    m.Fill(image);
    // Audio is checked on opening, and comes back after the text has gone through the other tables.
    EXPECT_EQ(m.Checked(), T::Audio);
    const auto audio = m.Files().rows;
    ExpectGolden("navigation/CONTENTS.txt", Nav_ContentsText(m));
    EXPECT_EQ(m.Checked(), T::Video);
    m.SelectTable(T::Audio);
    EXPECT_EQ(m.Files().rows, audio);
}

TEST(ContentsViewer, WalksStopWhereTheFileEnds) {
    NavTestBytes f("CONTENTS");
    f.bytes = ContentsSample();
    f.Put(0x28, 0xFFFFFFFF, 4); // audio files: as many as fit from 0x78, the last one cut by the end
    f.Put(0x66, 0x10000, 4);    // the directory's name record lies past the end
    f.Put(0x1E, 0xFFFFFFFF, 4); // playlists: 6-byte entries up to the end
    f.Put(0x50, 0xFFFF, 2);     // LCID entries run into the tables and on to the end
    const NavImage image(f.bytes);
    CContentsDlgModel m;
    m.Fill(image);
    EXPECT_EQ(m.Directories().rows, (std::vector<Row>{{"1(0x00000001)", "0(0x00000000)", "65536(0x00010000)",
                                                       "(out of file)", "(out of file)"}}));
    EXPECT_EQ(m.Playlists().rows.size(), (0xF8 - 0x72) / 6 + 1);
    EXPECT_EQ(m.Playlists().rows.back(), Row{"(out of file)"});
    EXPECT_EQ(m.LcidLines().size(), (0xF8 - 0x52) / 8 + 1);
    // Audio entries at 0x78, 0x98, 0xB8 and 0xD8 (the last one ends at the file's end); the name offset
    // read at 0xD8 (bytes 00 31 01 00 of the names) lies outside, so the walk stops on that row.
    ASSERT_EQ(m.Files().rows.size(), 4u);
    EXPECT_EQ(m.Files().rows[3][1], "78080(0x00013100)");
    EXPECT_EQ(m.Files().rows[3][20], "(out of file)");
    // The playlist count now starts the audio CIDs past 2^32: they wrap as the 32-bit number they are.
    EXPECT_EQ(m.Files().rows[0][0], "0(0x00000000)");
}
