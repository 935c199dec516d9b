// File kinds, frame texts and the model's lifetime.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "iso9660/iso9660.h"

namespace {

uint16_t KindOf(const char* name, uint16_t start = 0) {
    FileEntry e{};
    std::strncpy(e.name, name, sizeof e.name - 1);
    e.kind = start;
    Iso_SetFileKind(&e);
    return e.kind;
}

std::string Msf(uint32_t frames, size_t capacity = 16) {
    char text[16] = {};
    Iso_FramesToMsf(frames, text, capacity);
    return text;
}

TEST(FileKind, ExtensionsWithAndWithoutVersion) {
    EXPECT_EQ(KindOf("SONG.MP3;1"), KIND_MP3);
    EXPECT_EQ(KindOf("song.mp3"), KIND_MP3);
    EXPECT_EQ(KindOf("SONG.mP3"), KIND_MP3);
    EXPECT_EQ(KindOf("CONTENTS.LMX"), KIND_LMX);
    EXPECT_EQ(KindOf("TRACK01.CDA"), KIND_CDA);
    EXPECT_EQ(KindOf("A.WMV;1"), KIND_WMF);
    EXPECT_EQ(KindOf("A.wma"), KIND_WMF);
    EXPECT_EQ(KindOf("PIC.JPG"), KIND_JPG);
    EXPECT_EQ(KindOf("S.WAV"), KIND_WAV);
}

TEST(FileKind, GroupsThatAreNotTerminated) {
    EXPECT_EQ(KindOf("TRACK.MP3X"), 0);
    EXPECT_EQ(KindOf("A.MP3;2"), 0);
    EXPECT_EQ(KindOf("A.ASFX"), KIND_WMF);
    EXPECT_EQ(KindOf("A.ASF.TXT"), KIND_OTHER);
    EXPECT_EQ(KindOf("A.MP3.WAV"), KIND_WAV);
    EXPECT_EQ(KindOf("A.WAV.TMP"), KIND_OTHER);
    EXPECT_EQ(KindOf("A.X.MP3"), KIND_MP3); // the walk goes on after a dot
    EXPECT_EQ(KindOf("NODOT"), 0);
    EXPECT_EQ(KindOf("A.B"), KIND_OTHER);
    EXPECT_EQ(KindOf("ENDS."), KIND_OTHER);
    EXPECT_EQ(KindOf("A.Mp3"), KIND_MP3);
    EXPECT_EQ(KindOf("A.MPE"), KIND_OTHER); // the digit of MP3 is the digit itself
}

TEST(FileKind, AnalyzerResultsAreNeverReclassified) {
    EXPECT_EQ(KindOf("A.WAV", KIND_ACCEPTED | KIND_MP3), KIND_ACCEPTED | KIND_MP3);
    EXPECT_EQ(KindOf("A.WAV", KIND_UNSUPPORTED), KIND_UNSUPPORTED);
}

TEST(FileKind, NameFillingTheWholeFieldIsNotReadPastItsEnd) {
    FileEntry e{};
    std::memset(e.name, 'A', sizeof e.name); // no terminator at all
    e.name[252] = '.';
    e.name[253] = 'M';
    e.name[254] = 'P';
    e.name[255] = '3';
    Iso_SetFileKind(&e);
    EXPECT_EQ(e.kind, KIND_MP3);
}

TEST(FramesToMsf, MinutesAreNotBounded) {
    EXPECT_EQ(Msf(0), "00:00:00");
    EXPECT_EQ(Msf(4500), "01:00:00");
    EXPECT_EQ(Msf(449999), "99:59:74");
    EXPECT_EQ(Msf(450000), "100:00:00");
    EXPECT_EQ(Msf(0xFFFFFFFFu), "954437:10:45");
}

TEST(FramesToMsf, SmallBufferIsTerminated) {
    EXPECT_EQ(Msf(450000, 4), "100");
    char one[1] = {'x'};
    Iso_FramesToMsf(5, one, 1);
    EXPECT_EQ(one[0], 0);
}

TEST(ModelLifetime, TerminateInAnyState) {
    Iso_Terminate(); // never initialised
    EXPECT_EQ(Iso_Initialize(), 1);
    Iso_Terminate();
    Iso_Terminate();
    EXPECT_EQ(g_DiscModel, nullptr);
    EXPECT_EQ(Iso_SelectSession(), ISO_ERR_NO_MODEL);
    EXPECT_EQ(Iso_ReadFile(0, 10), ISO_ERR_NO_MODEL);
}

// Enough entries for several blocks of the record pool.
TEST(RecordPool, EntriesStartZeroedAndStayApart) {
    constexpr size_t kCount = 20000;
    std::vector<FileEntry*> entries;
    for (size_t i = 0; i < kCount; ++i) {
        auto* e = new FileEntry; // no initialiser: the entry is the memory as the pool hands it out
        ASSERT_EQ(reinterpret_cast<uintptr_t>(e) % alignof(FileEntry), 0u);
        const auto* bytes = reinterpret_cast<const unsigned char*>(e);
        ASSERT_TRUE(std::all_of(bytes, bytes + sizeof *e, [](unsigned char b) { return b == 0; })) << i;
        std::memset(static_cast<void*>(e), static_cast<int>(i % 251) + 1, sizeof *e);
        entries.push_back(e);
    }
    for (size_t i = 0; i < kCount; i += 2) {
        delete entries[i];
        entries[i] = new FileEntry{};
        std::memset(static_cast<void*>(entries[i]), 0x5A, sizeof(FileEntry));
    }
    for (size_t i = 1; i < kCount; i += 2)
        ASSERT_EQ(entries[i]->name[100], static_cast<char>(i % 251 + 1)) << i;
    for (FileEntry* e : entries)
        delete e;

    // Memory handed back is handed out again as zeroes, though it was written all over.
    for (size_t i = 0; i < 1000; ++i) {
        auto* e = new FileEntry;
        const auto* bytes = reinterpret_cast<const unsigned char*>(e);
        ASSERT_TRUE(std::all_of(bytes, bytes + sizeof *e, [](unsigned char b) { return b == 0; })) << i;
        entries[i] = e;
    }
    for (size_t i = 0; i < 1000; ++i)
        delete entries[i];
}

} // namespace
