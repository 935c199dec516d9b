// File kinds, frame texts and the model's lifetime.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

namespace {

// The kind of a name by its last extension, its version ";1" aside, in any case; "A.X.MP3": the walk goes on
// after a dot; "A.MPE": the digit of MP3 is the digit itself.
TEST(FileKind, ExtensionsWithAndWithoutVersion) {
    const std::pair<uint16_t, const char*> kinds[] = {
        {KIND_MP3, "SONG.MP3;1 song.mp3 SONG.mP3 A.X.MP3 A.Mp3"},
        {KIND_LMX, "CONTENTS.LMX"},
        {KIND_CDA, "TRACK01.CDA"},
        {KIND_WMF, "A.WMV;1 A.wma A.ASFX"},
        {KIND_JPG, "PIC.JPG"},
        {KIND_WAV, "S.WAV A.MP3.WAV"},
        {KIND_OTHER, "A.ASF.TXT A.WAV.TMP A.B ENDS. A.MPE"},
        {0, "TRACK.MP3X A.MP3;2 NODOT"},
    };
    for (auto [kind, names] : kinds) {
        std::istringstream in(names);
        for (std::string name; in >> name;) {
            FileEntry e{};
            std::strncpy(e.name, name.c_str(), sizeof e.name - 1);
            Iso_SetFileKind(&e);
            EXPECT_EQ(e.kind, kind) << name;
        }
    }
    // Analyzer results are never reclassified.
    for (uint16_t kind : {uint16_t(KIND_ACCEPTED | KIND_MP3), uint16_t(KIND_UNSUPPORTED)}) {
        FileEntry e{};
        std::strcpy(e.name, "A.WAV");
        e.kind = kind;
        Iso_SetFileKind(&e);
        EXPECT_EQ(e.kind, kind);
    }
    // A name filling the whole field is not read past its end.
    FileEntry e{};
    std::memset(e.name, 'A', sizeof e.name);
    std::memcpy(e.name + sizeof e.name - 4, ".MP3", 4);
    Iso_SetFileKind(&e);
    EXPECT_EQ(e.kind, KIND_MP3);
}

TEST(FramesToMsf, MinutesAreNotBoundedAndSmallBuffersAreTerminated) {
    // clang-format off
    const std::pair<uint32_t, const char*> cases[] = {{0, "00:00:00"}, {4500, "01:00:00"}, {449999, "99:59:74"},
                                                      {450000, "100:00:00"}, {0xFFFFFFFFu, "954437:10:45"}};
    // clang-format on
    for (auto [frames, text] : cases) {
        char out[16] = {};
        Iso_FramesToMsf(frames, out, sizeof out);
        EXPECT_STREQ(out, text);
    }
    char small[5] = "xxxx";
    Iso_FramesToMsf(450000, small, 4);
    EXPECT_STREQ(small, "100");
    Iso_FramesToMsf(5, small, 1);
    EXPECT_EQ(small[0], 0);
}

TEST(ModelLifetime, TerminateInAnyStateAndNoModelNoFile) {
    Iso_Terminate(); // never initialised
    EXPECT_EQ(Iso_Initialize(), 1);
    Iso_Terminate();
    Iso_Terminate();
    EXPECT_EQ(g_DiscModel, nullptr);
    EXPECT_EQ(Iso_SelectSession(), ISO_ERR_NO_MODEL);
    EXPECT_EQ(Iso_ReadFile(0, 10), ISO_ERR_NO_MODEL);
    EXPECT_EQ(g_FileData, nullptr);
}

// Entries come zeroed (even memory handed back after being written all over) and stay apart.
TEST(RecordPool, EntriesStartZeroedAndStayApart) {
    std::vector<FileEntry*> entries(20000);
    auto take = [&](size_t i) {
        entries[i] = new FileEntry; // no initialiser: the entry is the memory as the pool hands it out
        const auto* bytes = reinterpret_cast<const unsigned char*>(entries[i]);
        EXPECT_TRUE(std::all_of(bytes, bytes + sizeof(FileEntry), [](unsigned char b) { return b == 0; }))
            << i;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(entries[i]) % alignof(FileEntry), 0u);
        std::memset(static_cast<void*>(entries[i]), int(i % 251) + 1, sizeof(FileEntry));
    };
    for (size_t i = 0; i < entries.size(); ++i)
        take(i);
    for (size_t i = 0; i < entries.size(); i += 2) {
        delete entries[i];
        take(i);
    }
    for (size_t i = 0; i < entries.size(); ++i)
        ASSERT_EQ(entries[i]->name[100], static_cast<char>(i % 251 + 1)) << i;
    for (FileEntry* e : entries)
        delete e;
    for (size_t i = 0; i < 1000; ++i)
        take(i);
    for (size_t i = 0; i < 1000; ++i)
        delete entries[i];
}

} // namespace

// What an entry keeps after its Shift-JIS name comes back whole wherever it is kept: in the name field, in
// the model's text blocks (a long text), or in the model's table (a Shift-JIS name leaving no room after it).
TEST(EntryExtras, TextsAndModeComeBackWhereverTheyAreKept) {
    struct Case {
        size_t sjisLength;
        std::string text, identifier;
        int mode;
    } cases[] = {
        {10, "Große Übung.txt", "GRO__E__.TXT;1", 0644},
        {10, "", "", 0755},
        {10, std::string(200, 'x') + "é", "XXXXXXXX.TXT;1", 0600},
        {10, std::string(500, 'y'), "", -1},
        {250, std::string(250, 'n') + "é", "N.;1", 0640},
        {255, "", "", 0444},
        {255, "Überlang", "", -1},
    };
    for (const Case& c : cases) {
        FileEntry e{};
        std::memset(e.name, 'a', c.sjisLength);
        const std::string text = c.text.empty() ? std::string(e.name) : c.text;
        ASSERT_TRUE(iso_internal::SetEntryText(&e, text, c.identifier, c.mode));
        EXPECT_EQ(std::string(Iso_EntryName(&e)), text) << c.sjisLength;
        EXPECT_EQ(std::string(Iso_RecordedIdentifier(&e) ? Iso_RecordedIdentifier(&e) : ""), c.identifier);
        EXPECT_EQ(Iso_EntryMode(&e), c.mode < 0 ? 0 : c.mode);
        EXPECT_EQ(std::string(e.name), std::string(c.sjisLength, 'a')); // the report's form untouched
        // A mode given later keeps the texts.
        ASSERT_TRUE(iso_internal::SetEntryMode(&e, 0700));
        EXPECT_EQ(std::string(Iso_EntryName(&e)), text);
        EXPECT_EQ(Iso_EntryMode(&e), 0700);
    }
    Iso_Terminate(); // the blocks and the table go with the model
}
