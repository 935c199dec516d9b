// The navigation-file writer: every offset, count and size it computes, read back at the offsets of the
// files' layouts; texts in both conventions; what cannot be written is refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "navigation/nav_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint64_t Le(const Bytes& b, size_t at, size_t width) {
    EXPECT_LE(at + width, b.size());
    uint64_t v = 0;
    for (size_t i = 0; i < width && at + i < b.size(); ++i)
        v |= uint64_t(b[at + i]) << (8 * i);
    return v;
}

// The fields at `offsets` (offset, width) as one list, to compare with the expected values in one line.
std::vector<uint64_t> Fields(const Bytes& b, std::initializer_list<std::pair<size_t, size_t>> offsets) {
    std::vector<uint64_t> v;
    for (auto [at, width] : offsets)
        v.push_back(Le(b, at, width));
    return v;
}

Bytes Slice(const Bytes& b, size_t at, size_t n) {
    return at + n <= b.size() ? Bytes(b.begin() + long(at), b.begin() + long(at + n)) : Bytes{};
}

TEST(NavWriter, ContentsHeaderTablesAndNameRecords) {
    NavContents c;
    c.lcids = {{0x0411, 7}};
    c.directories = {{0, ""}, {1, "夜"}};
    c.playlists = {{1, 3}};
    NavMediaFile audio;
    audio.directory = 2;
    audio.name = "a.mp3";
    audio.fileType = 1;
    audio.channels = 2;
    audio.sampleSize = 16;
    audio.averageBitRate = 128000;
    audio.samplingFrequency = 44100;
    audio.trackNumber = 5;
    audio.thumbnailId = 9;
    c.audio = {audio};
    NavMediaFile image;
    image.directory = 2;
    image.name = "b.jpg";
    image.thumbnailId = 4;
    image.verticalSize = 120;
    image.horizontalSize = 160;
    c.images = {image};
    c.audioEntrySize = 40; // shown by a viewer, never the step: the entries stay 32 bytes apart

    NavBytes out = Nav_WriteContents(c);
    ASSERT_TRUE(out.ok()) << out.error;
    const Bytes& b = out.bytes;
    // Header 0x52 + one LCID entry; directory table 0x5A (2 x 8), playlists 0x6A (6), audio 0x70 (32), no
    // menu images, images 0x90 (16), no videos; name records from 0xA0: "" (2 bytes), "夜" (4), then the two
    // file name records of 4 + 2 + 10 bytes.
    ASSERT_EQ(b.size(), 0xC6u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 8), "CNTLMX01");
    EXPECT_EQ(
        Fields(b, {{0x08, 2}, {0x0A, 8}, {0x12, 4}, {0x16, 4}, {0x1A, 4}, {0x1E, 4}, {0x22, 2}, {0x24, 4},
                   {0x28, 4}, {0x2C, 2}, {0x2E, 4}, {0x32, 4}, {0x36, 2}, {0x38, 4}, {0x3C, 4}, {0x40, 2},
                   {0x42, 4}, {0x46, 4}, {0x4A, 2}, {0x4C, 4}, {0x50, 2}, {0x52, 4}, {0x56, 4}}),
        (std::vector<uint64_t>{1, 1,    0xC6, 2,  0x5A, 1, 6,  0x6A, 1, 40,     0x70, 0,
                               8, 0x90, 1,    16, 0x90, 0, 44, 0xA0, 1, 0x0411, 7}));
    // Directories: parent and name offset; the name record counts characters, high byte first.
    EXPECT_EQ(Fields(b, {{0x5A, 4}, {0x5E, 4}, {0x62, 4}, {0x66, 4}}),
              (std::vector<uint64_t>{0, 0xA0, 1, 0xA2}));
    EXPECT_EQ(Slice(b, 0xA0, 6), (Bytes{0, 0, 1, 0, 0x59, 0x1C}));
    // Playlist: directory, summary type.
    EXPECT_EQ(Fields(b, {{0x6A, 4}, {0x6E, 1}}), (std::vector<uint64_t>{1, 3}));
    // Audio entry: name offset, type, flags, channels, sample size, bit rates, duration, rate, track,
    // thumbnail.
    EXPECT_EQ(Fields(b, {{0x70, 4},
                         {0x74, 2},
                         {0x76, 2},
                         {0x78, 1},
                         {0x79, 1},
                         {0x7A, 4},
                         {0x7E, 4},
                         {0x82, 4},
                         {0x86, 4},
                         {0x8A, 2},
                         {0x8C, 4}}),
              (std::vector<uint64_t>{0xA6, 1, 0, 2, 16, 128000, 0, 0, 44100, 5, 9}));
    // Image entry: name offset, type, flags, thumbnail, vertical and horizontal size.
    EXPECT_EQ(Fields(b, {{0x90, 4}, {0x98, 4}, {0x9C, 2}, {0x9E, 2}}),
              (std::vector<uint64_t>{0xB6, 4, 120, 160}));
    // File name record: directory, character count, "a.mp3" high byte first.
    EXPECT_EQ(Slice(b, 0xA6, 16), (Bytes{2, 0, 0, 0, 5, 0, 0, 'a', 0, '.', 0, 'm', 0, 'p', 0, '3'}));
    EXPECT_EQ(Slice(b, 0xB6, 6), (Bytes{2, 0, 0, 0, 5, 0}));
}

TEST(NavWriter, TextRecordsEndInAZeroCharacterTheLengthLeavesOut) {
    NavTextFile t;
    t.lcid = 0x0409;
    t.discName = "Disc";
    t.contents = {{3, "A", {std::nullopt, std::string("B"), std::nullopt, std::nullopt}, std::nullopt}};
    t.groups = {{7, "G"}};
    t.extras = {{3, {{2, "X"}, {5, "YZ"}}}};
    NavBytes out = Nav_WriteText(t);
    ASSERT_TRUE(out.ok()) << out.error;
    const Bytes& b = out.bytes;
    // Disc name: 8 bytes, 'D','i','s','c' low byte first, then the zero character; the contents table
    // follows at 0x36.
    EXPECT_EQ(Slice(b, 0x2A, 14), (Bytes{8, 0, 'D', 0, 'i', 0, 's', 0, 'c', 0, 0, 0, 3, 0}));
    // Tables: contents 0x36 (28), groups 0x52 (8), extras 0x5A (6 + 2 x 6); records from 0x6C, 4 bytes plus 2
    // per character: "A" 0x6C, "B" 0x72, "G" 0x78, "X" 0x7E, "YZ" 0x84, end 0x8C.
    EXPECT_EQ(
        Fields(b, {{0x0A, 4}, {0x0E, 4}, {0x12, 4}, {0x16, 4}, {0x1A, 4}, {0x1E, 4}, {0x22, 4}, {0x26, 4}}),
        (std::vector<uint64_t>{0x8C, 1, 1, 1, 0x36, 0x52, 0x5A, 0x0409}));
    EXPECT_EQ(Fields(b, {{0x36, 4}, {0x3A, 4}, {0x3E, 4}, {0x42, 4}, {0x46, 4}, {0x4A, 4}, {0x4E, 4}}),
              (std::vector<uint64_t>{3, 0x6C, 0, 0x72, 0, 0, 0}));
    EXPECT_EQ(Fields(b, {{0x52, 4}, {0x56, 4}}), (std::vector<uint64_t>{7, 0x78}));
    EXPECT_EQ(Fields(b, {{0x5A, 4}, {0x5E, 1}, {0x60, 2}, {0x62, 4}, {0x66, 2}, {0x68, 4}}),
              (std::vector<uint64_t>{3, 2, 2, 0x7E, 5, 0x84}));
    EXPECT_EQ(Slice(b, 0x84, 8), (Bytes{4, 0, 'Y', 0, 'Z', 0, 0, 0}));
    EXPECT_EQ(b.size(), 0x8Cu);
}

TEST(NavWriter, MenusFollowTheirItemsAndLinkBothWays) {
    NavMenuFile m;
    m.lcid = 0x0411;
    m.title = "T";
    NavMenuEntry p1, p2, q, sub;
    p1.name = "P1";
    p1.playlistId = 1;
    p2.name = "P2";
    p2.playlistId = 2;
    q.name = "Q";
    q.playlistId = 3;
    sub.type = 1;
    sub.name = "M";
    sub.subMenu.push_back({0, 0, 0, 0, "S", {p1, p2}});
    m.root = {5, 6, 0, 0xFFFFFF, "R", {sub, q}};
    NavBytes out = Nav_WriteMenu(m);
    ASSERT_TRUE(out.ok()) << out.error;
    const Bytes& b = out.bytes;
    // First menu at 0x1A (header, "T" and its zero character); its fields 0x1C + "R" + 2 = 0x20 bytes; items
    // at 0x3A: the menu item (0x10 + 2 + 2), the playlist item at 0x4E (0x18 + 2 + 2); the sub-menu at 0x6A,
    // its items at 0x8A and 0xA8, 0x1E bytes each.
    EXPECT_EQ(Fields(b, {{0x0A, 4}, {0x0E, 4}, {0x12, 2}, {0x14, 2}, {0x16, 2}, {0x18, 2}}),
              (std::vector<uint64_t>{0xC6, 0x0411, 0x1A, 2, 'T', 0}));
    EXPECT_EQ(Fields(b, {{0x1A, 4}, {0x1E, 4}, {0x22, 4}, {0x26, 4}, {0x2E, 4}, {0x32, 2}, {0x34, 2}}),
              (std::vector<uint64_t>{0x20, 0, 5, 6, 0xFFFFFF, 2, 2}));
    EXPECT_EQ(Fields(b, {{0x3A, 1}, {0x44, 4}, {0x48, 2}, {0x4A, 2}, {0x4E, 1}, {0x58, 4}, {0x64, 2}}),
              (std::vector<uint64_t>{1, 0x6A, 2, 'M', 2, 3, 2}));
    EXPECT_EQ(Fields(b, {{0x6A, 4}, {0x6E, 4}, {0x82, 2}, {0x8A, 1}, {0x94, 4}, {0xA8, 1}, {0xB2, 4}}),
              (std::vector<uint64_t>{0x20, 0x1A, 2, 2, 1, 2, 2}));
    EXPECT_EQ(b.size(), 0xC6u);
}

TEST(NavWriter, PlaylistGroupsChainByNextAndPrevWithTheirParts) {
    NavPlaylist p;
    p.summaryType = 4;
    p.thumbnailId = 11;
    NavGroup audio{1, NAV_GROUP_AUDIO, {{5, 0, 2000, 0, 100}, {6, 0, 3000, 0, 200}}, 0, 0, {}};
    NavGroup both{2, NAV_GROUP_AUDIO_IMAGE, {{7, 10, 20, 0x100000000, 0x100000001}}, 1, 2, {{8, 5000, 3}}};
    NavGroup other{3, 9, {}, 0, 0, {}};
    p.groups = {audio, both, other};
    NavBytes out = Nav_WritePlaylist(p);
    ASSERT_TRUE(out.ok()) << out.error;
    const Bytes& b = out.bytes;
    // Groups at 0x1A (0x0E + 4 + 2 x 28), 0x64 (0x12 + image part 8 + 10, then the audio part at 0x88 of
    // 4 + 28) and 0xA8 (its fields only), end 0xB6.
    EXPECT_EQ(Fields(b, {{0x0A, 4}, {0x0E, 1}, {0x0F, 1}, {0x10, 4}, {0x14, 4}, {0x18, 2}}),
              (std::vector<uint64_t>{0xB6, 4, 0, 11, 3, 0}));
    EXPECT_EQ(
        Fields(b, {{0x1A, 4}, {0x1E, 4}, {0x22, 4}, {0x26, 1}, {0x28, 1}, {0x2C, 4}, {0x34, 4}, {0x48, 4}}),
        (std::vector<uint64_t>{0x64, 0, 1, 0, 2, 5, 2000, 6}));
    EXPECT_EQ(Fields(b, {{0x64, 4},
                         {0x68, 4},
                         {0x6C, 4},
                         {0x70, 1},
                         {0x72, 4},
                         {0x76, 1},
                         {0x7A, 1},
                         {0x7C, 1},
                         {0x7E, 4},
                         {0x82, 4},
                         {0x86, 2}}),
              (std::vector<uint64_t>{0xA8, 0x1A, 2, 3, 0x88, 1, 1, 2, 8, 5000, 3}));
    EXPECT_EQ(Fields(b, {{0x88, 1}, {0x8C, 4}, {0x90, 4}, {0x94, 4}, {0x98, 8}, {0xA0, 8}}),
              (std::vector<uint64_t>{1, 7, 10, 20, 0x100000000, 0x100000001}));
    EXPECT_EQ(Fields(b, {{0xA8, 4}, {0xAC, 4}, {0xB0, 4}, {0xB4, 1}}),
              (std::vector<uint64_t>{0, 0x64, 3, 9}));
    EXPECT_EQ(b.size(), 0xB6u);
}

TEST(NavWriter, LsnEntriesInCidOrder) {
    NavLsnFile l;
    l.entries = {{300, 2048}, {0xFFFFFFFF, 1}};
    NavBytes out = Nav_WriteLsn(l);
    ASSERT_TRUE(out.ok()) << out.error;
    EXPECT_EQ(
        Fields(out.bytes, {{0x0A, 8}, {0x12, 4}, {0x16, 4}, {0x1A, 4}, {0x1E, 4}, {0x22, 4}, {0x26, 4}}),
        (std::vector<uint64_t>{1, 0x2A, 2, 300, 2048, 0xFFFFFFFF, 1}));
    EXPECT_EQ(out.bytes.size(), 0x2Au);
}

TEST(NavWriter, WhatCannotBeWrittenIsRefusedNotCut) {
    const auto fails = [](const NavBytes& out) { return !out.ok() && out.bytes.empty(); };
    NavTextFile t;
    t.discName = "\xF0\x9F\x98\x80"; // U+1F600
    EXPECT_TRUE(fails(Nav_WriteText(t)));
    t.discName = "ab\xC3"; // cut in the middle of a character
    EXPECT_TRUE(fails(Nav_WriteText(t)));
    t.discName = "\xC0\xAF"; // an overlong "/"
    EXPECT_TRUE(fails(Nav_WriteText(t)));
    t.discName = std::string(0x8000, 'x'); // 0x10000 bytes: more than the 2-byte length holds
    EXPECT_TRUE(fails(Nav_WriteText(t)));
    t.discName = std::string(0x7FFF, 'x');
    EXPECT_TRUE(Nav_WriteText(t).ok());

    NavPlaylist p;
    p.groups = {{1, NAV_GROUP_AUDIO, std::vector<NavFileRef>(256), 0, 0, {}}};
    EXPECT_TRUE(fails(Nav_WritePlaylist(p)));
    p.groups[0].files.resize(255);
    EXPECT_TRUE(Nav_WritePlaylist(p).ok());

    NavMenuFile m;
    m.title = std::string(0x7FFF, 'x'); // a length that fits, but the first menu would lie past 0xFFFF
    EXPECT_TRUE(fails(Nav_WriteMenu(m)));

    NavLsnFile l;
    l.header.identifier = "LONGER THAN 8";
    EXPECT_TRUE(fails(Nav_WriteLsn(l)));
    l.header.identifier = "LSN"; // shorter ones are padded with zero bytes
    NavBytes padded = Nav_WriteLsn(l);
    ASSERT_TRUE(padded.ok());
    EXPECT_EQ(Slice(padded.bytes, 0, 8), (Bytes{'L', 'S', 'N', 0, 0, 0, 0, 0}));
}

} // namespace
