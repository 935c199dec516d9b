// The navigation-file writer: each file compared whole with its golden bytes (checked field by field against
// the files' layouts: offsets, counts, sizes, texts in both conventions); what cannot be written is refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "golden.h"
#include "navigation/nav_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

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
    ExpectGolden("navigation/written/CONTENTS.LMX", std::string(out.bytes.begin(), out.bytes.end()));
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
    ExpectGolden("navigation/written/TEXT.LMX", std::string(out.bytes.begin(), out.bytes.end()));
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
    ExpectGolden("navigation/written/MENU.LMX", std::string(out.bytes.begin(), out.bytes.end()));
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
    ExpectGolden("navigation/written/PLAY0001.LMX", std::string(out.bytes.begin(), out.bytes.end()));
}

TEST(NavWriter, LsnEntriesInCidOrder) {
    NavLsnFile l;
    l.entries = {{300, 2048}, {0xFFFFFFFF, 1}};
    NavBytes out = Nav_WriteLsn(l);
    ASSERT_TRUE(out.ok()) << out.error;
    ExpectGolden("navigation/written/LSN.LMX", std::string(out.bytes.begin(), out.bytes.end()));
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
