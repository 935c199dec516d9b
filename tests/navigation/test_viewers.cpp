// The navigation-file viewers over hand-made files, whose fields are put at the offsets of the layouts so
// that every expected value is read off the offsets written here: each viewer's text compared whole with a
// golden file, walks that meet the file's end or never end, and every cut of every sample.
#include <gtest/gtest.h>

#include "golden.h"
#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_text.h"
#include "navigation/nav_viewer.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

namespace {

using Bytes = std::vector<uint8_t>;
using K = NavViewerKind;

void Put(Bytes& bytes, size_t offset, uint64_t value, size_t width) {
    if (bytes.size() < offset + width)
        bytes.resize(offset + width);
    for (size_t i = 0; i < width; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

// The identifier and version 1, then the fields put in.
struct File {
    explicit File(const char* identifier) {
        for (size_t i = 0; i < 8 && identifier[i]; ++i)
            Put(i, uint8_t(identifier[i]), 1);
        Put(8, 1, 2);
    }
    File& Put(size_t offset, uint64_t value, size_t width) {
        ::Put(bytes, offset, value, width);
        return *this;
    }
    // A CONTENTS.LMX name: character count, characters high byte first (ASCII only here).
    File& CharName(size_t offset, const std::string& text) {
        Put(offset, text.size(), 2);
        for (size_t i = 0; i < text.size(); ++i)
            Put(offset + 2 + 2 * i, uint16_t(uint8_t(text[i])) << 8, 2);
        return *this;
    }
    // A MENU.LMX/TEXT.LMX text: byte count, characters low byte first, a zero character.
    File& ByteText(size_t offset, const std::string& text) {
        Put(offset, text.size() * 2, 2);
        for (size_t i = 0; i < text.size(); ++i)
            Put(offset + 2 + 2 * i, uint8_t(text[i]), 2);
        return Put(offset + 2 + 2 * text.size(), 0, 2);
    }
    Bytes bytes;
};

// One directory "ABC", one playlist, two audio files (the header claims 40-byte entries; they are 32 apart),
// one menu image, one image, no video, two LCID entries. Tables from 0x62, name records from 0xD0.
Bytes Contents() {
    File f("CONTENTS");
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
        f.Put(a, a == 0x78 ? 0xD0 : 0xDA, 4).Put(a + 4, 1, 2).Put(a + 6, 0, 2).Put(a + 8, 2, 1);
        f.Put(a + 9, 16, 1).Put(a + 0x0A, 128000, 4).Put(a + 0x0E, 128000, 4).Put(a + 0x12, 2000, 4);
        f.Put(a + 0x16, 44100, 4).Put(a + 0x1A, a == 0x78 ? 1 : 2, 2).Put(a + 0x1C, 0xFFFFFFFF, 4);
    }
    f.Put(0xB8, 0xE4, 4).Put(0xBC, 3, 2).Put(0xBE, 0x8000, 2);
    f.Put(0xC0, 0xEE, 4).Put(0xC4, 4, 2).Put(0xC8, 77, 4).Put(0xCC, 480, 2).Put(0xCE, 640, 2);
    f.Put(0xD0, 1, 4).CharName(0xD4, "A1").Put(0xDA, 1, 4).CharName(0xDE, "A2");
    f.Put(0xE4, 1, 4).CharName(0xE8, "M1").Put(0xEE, 1, 4).CharName(0xF2, "I1");
    return f.bytes;
}

// Title "Title". Menu 1 at 0x24 ("Top", 3 items from 0x48): a menu item "Sub" leading to menu 2 at 0x9A, a
// playlist item "PL1", a menu item "Back" leading to menu 1 again. Menu 2 (no subtitle, 2 items from 0xB8):
// playlist items "P2" and "P3".
Bytes Menu() {
    File f("MENULMX0");
    f.Put(0x0A, 0xF4, 4).Put(0x0E, 1041, 4).Put(0x12, 0x24, 2).ByteText(0x14, "Title");
    f.Put(0x24, 0x1C, 4).Put(0x28, 0, 4).Put(0x2C, 100, 4).Put(0x30, 101, 4).Put(0x34, 0xFFFFFF, 4);
    f.Put(0x38, 0, 4).Put(0x3C, 3, 2).ByteText(0x3E, "Top");
    f.Put(0x48, 1, 1)
        .Put(0x49, 0, 1)
        .Put(0x4A, 10, 4)
        .Put(0x4E, 11, 4)
        .Put(0x52, 0x9A, 4)
        .ByteText(0x56, "Sub");
    f.Put(0x60, 2, 1).Put(0x61, 1, 1).Put(0x62, 20, 4).Put(0x66, 21, 4).Put(0x6A, 1, 4).Put(0x6E, 0, 4);
    f.Put(0x72, 0, 4).ByteText(0x76, "PL1");
    f.Put(0x80, 1, 1).Put(0x8A, 0x24, 4).ByteText(0x8E, "Back");
    f.Put(0x9A, 0x1C, 4).Put(0x9E, 0x24, 4).Put(0xB2, 2, 2).ByteText(0xB4, "");
    f.Put(0xB8, 2, 1).Put(0xC2, 2, 4).ByteText(0xCE, "P2");
    f.Put(0xD6, 2, 1).Put(0xE0, 3, 4).ByteText(0xEC, "P3");
    return f.bytes;
}

// Four groups chained from 0x1A: an audio group of 2 files (0x1A), an image group of 3 images (0x64), an
// audio-with-images group using the first group's audio part and 1 image (0x98), a group of type 4 (0xBC).
Bytes Playlist() {
    File f("PLAYLIST");
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

// Disc name "Disc". Contents texts at 0x38: CID 1 with Text1 "One" and Text4 "Four" (Text2, Text3, Text5 and
// the extra text absent), CID 2 with Text1 "Two". Group text at 0x70: group 1 "Grp". Extra texts at 0x78:
// CID 1 with three data (types 1, 2, 3), CID 2 with one (type 7). Text records from 0x9C.
Bytes Text() {
    File f("TEXTLMX0");
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

// "LSNLMX01", version 1, generation 1, file size, entry count, then the entries.
Bytes Lsn(uint32_t count, const Bytes& entries) {
    File f("LSNLMX01");
    f.Put(0x0A, 1, 8).Put(0x12, 0x1A + entries.size(), 4).Put(0x16, count, 4);
    f.bytes.insert(f.bytes.end(), entries.begin(), entries.end());
    return f.bytes;
}

// The viewer's text as `ckvd nav` prints it.
std::string Shown(K kind, const NavImage& image) {
    CContentsDlgModel c;
    CMenuDlgModel m;
    CTextDlgModel t;
    CPlaylistDlgModel p;
    CLsnDlgModel l;
    p.SetFileName("PLAY0001.LMX");
    switch (kind) {
    case K::Contents:
        return c.Fill(image), Nav_ContentsText(c);
    case K::Menu:
        return m.Fill(image), Nav_MenuText(m);
    case K::Text:
        return t.Fill(image), Nav_TextText(t);
    case K::Playlist:
        return p.Fill(image), Nav_PlaylistText(p);
    case K::Lsn:
        return l.Fill(image), Nav_LsnText(l);
    }
    return "";
}

TEST(NavigationViewers, SamplesAndWalksMeetingTheFilesEnd) {
    struct Patch {
        size_t at;
        uint64_t value;
        size_t width;
    };
    const Bytes lsn = Lsn(0xFFFFFFFF, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
    const struct {
        std::string golden;
        K kind;
        Bytes file;
        std::vector<Patch> patches = {};
        size_t length = SIZE_MAX; // cut there
    } cases[] = {
        {"CONTENTS", K::Contents, Contents()},
        // As many audio entries as fit from 0x78, the name offset read in the last one lying outside; the
        // directory's name record past the end; 6-byte playlist entries and LCID entries on to the end. The
        // playlist count starts the audio CIDs past 2^32: they wrap as the 32-bit number they are.
        {"CONTENTS_past_end",
         K::Contents,
         Contents(),
         {{0x28, 0xFFFFFFFF, 4}, {0x66, 0x10000, 4}, {0x1E, 0xFFFFFFFF, 4}, {0x50, 0xFFFF, 2}}},
        // CID 1 at sector 300 with 2048 bytes; CID 2 at 0xFFFFFFFF (shown signed).
        {"LSN", K::Lsn, Lsn(2, {0x2C, 0x01, 0, 0, 0, 0x08, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0})},
        {"LSN_empty", K::Lsn, Lsn(0, {})},
        // 0xFFFFFFFF entries claimed, one and a half there; the file cut inside its header.
        {"LSN_past_end", K::Lsn, lsn},
        {"LSN_cut", K::Lsn, lsn, {}, 0x14},
        {"MENU", K::Menu, Menu()},
        {"MENU_other_item", K::Menu, Menu(), {{0xD6, 0, 1}}}, // ends its menu's items, not the menu above
        {"PLAY0001", K::Playlist, Playlist()},
        // The second group leads back to the first, the header claims every group there could be: no more
        // groups than 14 bytes each of the file could hold, the chain (not the file order) followed.
        {"PLAY_loop", K::Playlist, Playlist(), {{0x64, 0x1A, 4}, {0x14, 0xFFFFFFFF, 4}}},
        // The second group starts 5 bytes before the end; the first claims 200 files.
        {"PLAY_cut", K::Playlist, Playlist(), {{0x1A, 0xC5, 4}, {0x28, 200, 1}}},
        {"TEXT", K::Text, Text()},
        // The group name starts in the last byte; 28-byte contents entries on to the end.
        {"TEXT_past_end", K::Text, Text(), {{0x74, 0xC5, 4}, {0x0E, 0xFFFFFFFF, 4}}},
    };
    for (const auto& c : cases) {
        Bytes b = c.file;
        for (const Patch& p : c.patches)
            Put(b, p.at, p.value, p.width);
        ExpectGolden(
            "navigation/" + c.golden + ".txt",
            Shown(c.kind, NavImage(std::span<const uint8_t>(b.data(), std::min(c.length, b.size())))));
    }
}

TEST(NavigationViewers, StateAroundTheText) {
    // CONTENTS.LMX opens on Audio; its text leaves Video checked, and Audio comes back the same.
    const Bytes contents = Contents(), menu = Menu(), playlist = Playlist();
    const NavImage contentsImage(contents), menuImage(menu), playlistImage(playlist);
    CContentsDlgModel c;
    c.Fill(contentsImage);
    EXPECT_EQ(c.Checked(), CContentsDlgModel::FileTable::Audio);
    const auto audio = c.Files().rows;
    Nav_ContentsText(c);
    EXPECT_EQ(c.Checked(), CContentsDlgModel::FileTable::Video);
    c.SelectTable(CContentsDlgModel::FileTable::Audio);
    EXPECT_EQ(c.Files().rows, audio);

    // Menus with items are expanded; the menu met again is not.
    CMenuDlgModel m;
    m.Fill(menuImage);
    const NavTreeItem& top = m.Tree().at(0);
    EXPECT_TRUE(top.expanded && top.children.at(0).expanded);
    EXPECT_FALSE(top.children.at(2).expanded);

    // A playlist opens with no group selected, and again after the text selected each.
    CPlaylistDlgModel p;
    p.Fill(playlistImage);
    EXPECT_EQ(p.Selected(), 0);
    for (const NavField& f : p.GroupFields())
        EXPECT_EQ(f.value, " ") << f.label;
    Nav_PlaylistText(p);
    p.Select(0);
    EXPECT_EQ(p.GroupFields()[0].value, " ");
    CPlaylistDlgModel none; // a failed read: the name, and nothing else
    none.SetFileName("PLAY0002.LMX");
    none.Select(0);
    EXPECT_EQ(none.FileName(), "PLAY0002.LMX");
    EXPECT_TRUE(none.Tree().empty());
}

TEST(NavigationViewers, MenuChainsEndAtTheDepthLimit) {
    // 100 menus, each with one menu item leading to the next.
    File f("MENULMX0");
    f.Put(0x12, 0x20, 2).ByteText(0x14, "");
    const size_t menu = 0x1E, item = 0x12;
    for (size_t n = 0; n < 100; ++n) {
        const size_t at = 0x20 + n * (menu + item);
        f.Put(at + 0x18, 1, 2).ByteText(at + 0x1A, "");
        f.Put(at + menu, 1, 1).Put(at + menu + 0x0A, at + menu + item, 4).ByteText(at + menu + 0x0E, "");
    }
    const NavImage image(f.bytes);
    CMenuDlgModel m;
    m.Fill(image);
    EXPECT_EQ(m.MenuHeaders().rows.size(), size_t(kNavMenuDepth));
    const NavTreeItem* deepest = &m.Tree().front();
    while (!deepest->children.empty())
        deepest = &deepest->children.front();
    EXPECT_EQ(deepest->text, "(too deep)");
}

// Nothing is read outside the image (the sanitizer build checks that), and no walk makes more rows than the
// bytes that are there could hold.
TEST(NavigationViewers, EveryCutOfEveryFile) {
    for (const Bytes& file : {Contents(), Menu(), Text(), Playlist()}) {
        for (size_t length = 0; length <= file.size(); ++length) {
            const NavImage image(std::span<const uint8_t>(file.data(), length));
            CContentsDlgModel c;
            c.Fill(image);
            EXPECT_LE(c.Directories().rows.size(), length / 8 + 1);
            CMenuDlgModel m;
            m.Fill(image);
            EXPECT_LE(m.MenuItems().rows.size() + m.PlaylistItems().rows.size(), length / 0x12 + 1);
            CPlaylistDlgModel p;
            p.Fill(image);
            EXPECT_LE(p.Tree().size(), length / 14 + 2);
            for (K kind : {K::Contents, K::Menu, K::Text, K::Playlist, K::Lsn})
                Shown(kind, image);
        }
    }
}

TEST(NavigationViewers, ChosenByTheNameAsTheDiscHoldsIt) {
    const std::pair<const char*, K> cases[] = {{"CONTENTS.LMX;1", K::Contents},
                                               {"MENU.LMX", K::Menu},
                                               {"TEXT.LMX", K::Text},
                                               {"LSN.LMX", K::Lsn},
                                               {"PLAY0001.LMX", K::Playlist},
                                               {"contents.lmx", K::Playlist},
                                               {"LS", K::Playlist}};
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(Nav_ViewerFor(name), kind) << name;
    EXPECT_EQ(Nav_ReadErrorMessage(K::Contents, "CONTENTS.LMX;1"), "CONTENTS.LMX Read Error!");
    EXPECT_EQ(Nav_ReadErrorMessage(K::Playlist, "PLAY0001.LMX"), "PLAY0001.LMX Read Error!");
}

} // namespace
