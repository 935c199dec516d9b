// The navigation-file writer: each file compared whole with its golden bytes (checked field by field against
// the files' layouts: offsets, counts, sizes, texts in both conventions); what cannot be written is refused.
#include <gtest/gtest.h>

#include "golden.h"
#include "navigation/nav_writer.h"

namespace {

TEST(NavWriter, EachFileWholeAsItsLayoutSays) {
    NavContents c;
    c.lcids = {{0x0411, 7}};
    c.directories = {{0, ""}, {1, "夜"}};
    c.playlists = {{1, 3}};
    NavMediaFile& a = c.audio.emplace_back();
    a.directory = 2, a.name = "a.mp3", a.fileType = 1, a.channels = 2, a.sampleSize = 16;
    a.averageBitRate = 128000, a.samplingFrequency = 44100, a.trackNumber = 5, a.thumbnailId = 9;
    NavMediaFile& b = c.images.emplace_back();
    b.directory = 2, b.name = "b.jpg", b.thumbnailId = 4, b.verticalSize = 120, b.horizontalSize = 160;
    c.audioEntrySize = 40; // shown by a viewer, never the step: the entries stay 32 bytes apart

    // Text records end in a zero character the length leaves out.
    NavTextFile t;
    t.lcid = 0x0409;
    t.discName = "Disc";
    t.contents = {{3, "A", {std::nullopt, std::string("B"), std::nullopt, std::nullopt}, std::nullopt}};
    t.groups = {{7, "G"}};
    t.extras = {{3, {{2, "X"}, {5, "YZ"}}}};

    // Menus follow their items and link both ways.
    NavMenuFile m;
    m.lcid = 0x0411;
    m.title = "T";
    const auto playlist = [](const char* name, uint32_t id) {
        NavMenuEntry e;
        e.name = name;
        e.playlistId = id;
        return e;
    };
    NavMenuEntry sub;
    sub.type = 1;
    sub.name = "M";
    sub.subMenu.push_back({0, 0, 0, 0, "S", {playlist("P1", 1), playlist("P2", 2)}});
    m.root = {5, 6, 0, 0xFFFFFF, "R", {sub, playlist("Q", 3)}};

    // Groups chain by next and previous, with their parts.
    NavPlaylist p;
    p.summaryType = 4;
    p.thumbnailId = 11;
    p.groups = {{1, NAV_GROUP_AUDIO, {{5, 0, 2000, 0, 100}, {6, 0, 3000, 0, 200}}, 0, 0, {}},
                {2, NAV_GROUP_AUDIO_IMAGE, {{7, 10, 20, 0x100000000, 0x100000001}}, 1, 2, {{8, 5000, 3}}},
                {3, 9, {}, 0, 0, {}}};

    NavLsnFile l;
    l.entries = {{300, 2048}, {0xFFFFFFFF, 1}};

    const std::pair<const char*, NavBytes> files[] = {{"CONTENTS", Nav_WriteContents(c)},
                                                      {"TEXT", Nav_WriteText(t)},
                                                      {"MENU", Nav_WriteMenu(m)},
                                                      {"PLAY0001", Nav_WritePlaylist(p)},
                                                      {"LSN", Nav_WriteLsn(l)}};
    for (const auto& [name, out] : files) {
        ASSERT_TRUE(out.ok()) << name << ": " << out.error;
        ExpectGolden(std::string("navigation/written/") + name + ".LMX",
                     std::string(out.bytes.begin(), out.bytes.end()));
    }
}

TEST(NavWriter, WhatCannotBeWrittenIsRefusedNotCut) {
    const auto fails = [](const NavBytes& out) { return !out.ok() && out.bytes.empty(); };
    NavTextFile t;
    // U+1F600, a cut character, an overlong "/", 0x10000 bytes (more than the 2-byte length holds).
    const std::string names[] = {"\xF0\x9F\x98\x80", "ab\xC3", "\xC0\xAF", std::string(0x8000, 'x')};
    for (const std::string& name : names) {
        t.discName = name;
        EXPECT_TRUE(fails(Nav_WriteText(t))) << name.size();
    }
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
    const NavBytes padded = Nav_WriteLsn(l);
    ASSERT_TRUE(padded.ok() && padded.bytes.size() >= 8);
    EXPECT_EQ(std::string(padded.bytes.begin(), padded.bytes.begin() + 8), std::string("LSN\0\0\0\0\0", 8));
}

} // namespace
