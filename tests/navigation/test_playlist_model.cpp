// The playlist viewer's content: the group chain as a tree, each group's part on selection, and chains that
// loop.
#include <gtest/gtest.h>

#include "golden.h"
#include "nav_bytes.h"
#include "navigation/nav_text.h"
#include "navigation/playlist_model.h"

using Row = std::vector<std::string>;

// Four groups chained from 0x1A: an audio group of 2 files (0x1A), an image group of 3 images (0x64), an
// audio-with-images group using the first group's audio part and 1 image (0x98), a group of type 4 (0xBC).
std::vector<uint8_t> PlaylistSample() {
    NavTestBytes f("PLAYLIST");
    f.Put(0x0A, 0xCA, 4).Put(0x0E, 3, 1).Put(0x0F, 2, 1).Put(0x10, 9, 4).Put(0x14, 4, 4).Put(0x18, 0x8001, 2);
    f.Put(0x1A, 0x64, 4).Put(0x1E, 0, 4).Put(0x22, 1, 4).Put(0x26, 0, 1).Put(0x28, 2, 1);
    f.Put(0x2C, 7, 4).Put(0x30, 0, 4).Put(0x34, 1000, 4).Put(0x38, 0x100000000, 8).Put(0x40, 0, 8);
    f.Put(0x48, 8, 4).Put(0x4C, 5, 4).Put(0x50, 0xFFFFFFFF, 4).Put(0x54, 0, 8).Put(0x5C, 1, 8);
    f.Put(0x64, 0x98, 4).Put(0x68, 0x1A, 4).Put(0x6C, 2, 4).Put(0x70, 2, 1);
    f.Put(0x72, 3, 1).Put(0x76, 1, 1).Put(0x78, 2, 1);
    for (size_t i = 0; i < 3; ++i)
        f.Put(0x7A + 10 * i, 20 + i, 4).Put(0x7E + 10 * i, 5000, 4).Put(0x82 + 10 * i, i, 2);
    f.Put(0x98, 0xBC, 4).Put(0x9C, 0x64, 4).Put(0xA0, 3, 4).Put(0xA4, 3, 1).Put(0xA6, 0x28, 4);
    f.Put(0xAA, 1, 1).Put(0xAE, 4, 1).Put(0xB0, 5, 1).Put(0xB2, 30, 4).Put(0xB6, 3000, 4).Put(0xBA, 6, 2);
    f.Put(0xBC, 0, 4).Put(0xC0, 0x98, 4).Put(0xC4, 4, 4).Put(0xC8, 4, 1).Put(0xC9, 0, 1);
    return f.bytes;
}

TEST(PlaylistViewer, GroupsAndTheirParts) {
    const auto file = PlaylistSample();
    const NavImage image(file);
    CPlaylistDlgModel m;
    m.SetFileName("PLAY0001.LMX");
    m.Fill(image);
    EXPECT_EQ(m.Selected(), 0);
    for (const NavField& f : m.GroupFields())
        EXPECT_EQ(f.value, " ") << f.label;
    // The text selects each group in turn; the chain is followed by its links.
    ExpectGolden("navigation/PLAY0001.txt", Nav_PlaylistText(m));
    m.Select(0);
    EXPECT_EQ(m.GroupFields()[0].value, " ");
    EXPECT_EQ(m.FileName(), "PLAY0001.LMX");
}

TEST(PlaylistViewer, ChainsEndWhateverTheyPointAt) {
    NavTestBytes f("PLAYLIST");
    f.bytes = PlaylistSample();
    f.Put(0x64, 0x1A, 4);       // the second group leads back to the first
    f.Put(0x14, 0xFFFFFFFF, 4); // and the header claims every group there could be
    const NavImage image(f.bytes);
    CPlaylistDlgModel m;
    m.Fill(image);
    // No more groups than 14 bytes each of the file could hold: 0xCA / 14 = 14, after the root.
    ASSERT_EQ(m.Tree().size(), 15u);
    EXPECT_EQ(m.Tree()[3].text, m.Tree()[1].text);
    m.Select(3); // the chain is followed, not the file order: group 1 again
    EXPECT_EQ(m.Files().rows.size(), 2u);

    NavTestBytes g("PLAYLIST");
    g.bytes = PlaylistSample();
    g.Put(0x1A, 0xC5, 4); // the second group starts 5 bytes before the end
    g.Put(0x28, 200, 1);  // and the first claims 200 files
    const NavImage cut(g.bytes);
    CPlaylistDlgModel c;
    c.Fill(cut);
    ASSERT_EQ(c.Tree().size(), 3u);
    EXPECT_EQ(c.Tree()[2].text, "(out of file)");
    c.Select(1);
    EXPECT_EQ(c.Files().rows.size(), size_t((0xCA - 0x2C) / 28 + 1));
    EXPECT_EQ(c.Files().rows.back(), Row{"(out of file)"});

    CPlaylistDlgModel none; // a failed read: the name, and nothing else
    none.SetFileName("PLAY0002.LMX");
    none.Select(0);
    EXPECT_EQ(none.FileName(), "PLAY0002.LMX");
    EXPECT_TRUE(none.Tree().empty());
}
