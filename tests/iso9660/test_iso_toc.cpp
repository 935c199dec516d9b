// TOC and session analysis over crafted full TOCs; whole-file reads and session selection.
#include "golden.h"
#include "iso_builder.h"

namespace isotest {
namespace {

class TocAnalysis : public DriveTest {};

// An audio disc (CONTROL 0, or 2: copy permitted) of tracks of 13000 blocks.
void AudioToc(FakeDrive& d, uint8_t control, int tracks) {
    TocBuilder t;
    std::vector<std::pair<uint8_t, uint32_t>> starts;
    t.points(1, uint8_t(0x10 | control), 1, 0x00, uint8_t(tracks), tracks * 13000);
    for (int i = 0; i < tracks; ++i) {
        t.add(1, uint8_t(0x10 | control), uint8_t(i + 1), {0, 0, 0}, 0, Msf(i * 13000));
        starts.push_back({control, uint32_t(i) * 13000});
    }
    SetToc(d, t.build(1), starts, uint32_t(tracks) * 13000);
}

TEST_F(TocAnalysis, ModelsOfCraftedTocs) {
    const ModelCase cases[] = {
        {"single-session CD-ROM",
         [&] {
             SingleDataSessionToc(*drive);
             RootSession(0, Directory().self(20, 2048, 20));
         }},
        // "Audio CD" volumes of track files dated 1995-01-01 with the start position in the time fields.
        {"audio, 12 tracks", [&] { AudioToc(*drive, 0x00, 12); }},
        {"audio, copy permitted", [&] { AudioToc(*drive, 0x02, 3); }},
        {"audio, 99 tracks", [&] { AudioToc(*drive, 0x00, 99); }},
        // The track files' TOC read fails: opening a track fails with EIO, not ENOENT.
        {"audio, track files unreadable",
         [&] {
             AudioToc(*drive, 0x00, 2);
             drive->failLbaToc = true;
         }},
        {"CD-I",
         [&] {
             TocBuilder t;
             t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x10, 0}).add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 2, 0});
             SetToc(*drive, t.build(1), {{4, 0}}, 500);
         }},
        // B0 and C0 in the first session; C0 97:26:66 lies in the lead-in, which MMC numbers from -450150.
        {"two-session XA",
         [&] {
             TocBuilder t;
             t.points(1, 0x14, 1, 0x20, 1, 1000).add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
             t.add(1, 0x54, 0xB0, Msf(12400), 2, {79, 59, 74})
                 .add(1, 0x54, 0xC0, {0x61, 0, 0}, 0, {97, 26, 66});
             t.points(2, 0x14, 2, 0x20, 2, 13400).add(2, 0x14, 0x02, {0, 0, 0}, 0, Msf(12400));
             SetToc(*drive, t.build(2), {{4, 0}, {4, 12400}}, 13400);
             for (uint32_t base : {0u, 12400u})
                 RootSession(base, Directory().self(base + 20, 2048, base + 20), base ? "SECOND" : "FIRST");
         }},
        // A2 at 00:01:00 lies before the program area; track 1 at 00:00:00 is kept as 0, track 2 at 01:00:00.
        {"no B0 or C0, early times",
         [&] {
             TocBuilder t;
             t.points(1, 0x14, 1, 0x00, 2, -75).add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 0, 0});
             SetToc(*drive, t.add(1, 0x14, 0x02, {0, 0, 0}, 0, {1, 0, 0}).build(1), {{4, 0}}, 100);
         }},
        // Data length 46 holds four descriptors: a fifth beyond it is not taken.
        {"descriptor past the data length",
         [&] {
             SingleDataSessionToc(*drive, 0, 100);
             drive->fullToc.insert(drive->fullToc.end(), {1, 0x14, 0, 0x02, 0, 0, 0, 0, 0, 4, 0});
         }},
    };
    ExpectGolden("iso9660/toc.txt", Models({std::begin(cases), std::end(cases)}));
    InstallDrive(drive);
    RemoveDrives(); // the device is gone: the failed TOC read's code is passed on
    EXPECT_NE(Iso_AnalyzeDisc(0), 1);
}

// Two data sessions: blocks of session 2 are read with its own block length.
class FileData : public DriveTest {
  protected:
    void SetUp() override {
        DriveTest::SetUp();
        TwoDataSessionToc();
        RootSession(0, Directory().self(20, 2048, 20));
        RootSession(12400, Directory().self(12420, 2048, 12420));
        for (uint32_t b = 0; b < 64; ++b)
            drive->at(1000 + b).fill(uint8_t(b + 1));
        ASSERT_EQ(Analyze(), 1);
        drive->reads.clear();
        g_CurrentSession = 0;
    }
    using Pieces = std::vector<std::pair<uint32_t, uint16_t>>;
    Pieces Reads() {
        Pieces r;
        for (auto c : drive->reads)
            r.push_back({c.lba, c.count});
        drive->reads.clear();
        return r;
    }
};

// The odd remainder is read first, then pieces of 32 blocks; the buffer is size + block length, zero-filled.
TEST_F(FileData, PiecesOfTheOddRemainderFirstThen32) {
    struct Case {
        uint32_t size;
        Pieces reads;
        std::vector<std::pair<size_t, uint8_t>> bytes; // offset in the buffer, value
    };
    const Case cases[] = {
        {2048, {{1000, 1}}, {{2047, 1}, {2048, 0}, {4095, 0}}},
        {2049, {{1000, 2}}, {{2048, 2}}},
        {40 * 2048, {{1000, 8}, {1008, 32}}, {{8 * 2048, 9}, {39 * 2048, 40}}},
        {64 * 2048, {{1000, 32}, {1032, 32}}, {}},
        {0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_EQ(Iso_ReadFile(1000, c.size), 1);
        EXPECT_EQ(Reads(), c.reads);
        EXPECT_EQ(g_FileDataLength, c.size);
        EXPECT_EQ(g_FileCursor, g_FileData);
        for (auto [at, value] : c.bytes)
            EXPECT_EQ(g_FileData[at], value) << at;
        Iso_FreeFile();
    }
    // A failed read keeps the buffer until freed.
    EXPECT_NE(Iso_ReadFile(5000, 4096), 1);
    EXPECT_NE(g_FileData, nullptr);
    Iso_FreeFile();
    EXPECT_EQ(g_FileData, nullptr);
    EXPECT_EQ(g_FileDataLength, 0u);
    // 4 GiB - 1 bytes fit the 64-bit size arithmetic; the extent lies past the disc and is refused.
    Reads();
    EXPECT_EQ(Iso_ReadFile(1000, 0xFFFFFFFFu), ISO_ERR_EXTENT);
    EXPECT_TRUE(drive->reads.empty());
    Iso_FreeFile();
}

// A session index beyond the list selects the last session, whose own block length the reads use.
TEST_F(FileData, SessionIndexBeyondTheListSelectsTheLast) {
    for (uint16_t index : {1, 5}) {
        g_CurrentSession = index;
        ASSERT_EQ(Iso_SelectSession(), 1);
        EXPECT_EQ(g_DiscModel->currentSessionEntry, g_DiscModel->firstSession->next);
    }
    g_DiscModel->firstSession->next->blockLength = 512;
    drive->blockLength = 512;
    ASSERT_EQ(Iso_ReadFile(1000, 1024), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 2}}));
    Iso_FreeFile();
}

} // namespace
} // namespace isotest
