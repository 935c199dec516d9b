// TOC and session analysis over crafted full TOCs; whole-file reads and session selection.
#include "iso_builder.h"

namespace isotest {
namespace {

class TocAnalysis : public DriveTest {};

TEST_F(TocAnalysis, SingleSessionCdRomIsDataWithPvdAt16) {
    SingleDataSessionToc(*drive);
    RootSession(0, Directory().self(20, 2048, 20));
    EXPECT_EQ(Analyze(), 1);
    const SessionEntry* s = g_DiscModel->firstSession;
    // Type, PVD, last block, block length, last track, lead-out.
    EXPECT_EQ(
        (std::vector<int64_t>{s->type, s->pvdLbn, s->lastBlock, s->blockLength, s->lastTrack, s->leadOut}),
        (std::vector<int64_t>{0x04, 16, 999, 2048, 1, 1000}));
    EXPECT_EQ(g_DiscModel->sessionCount, 1);
    EXPECT_EQ(Tree()->root->type, 'V');
}

// An audio disc (CONTROL 0, or 2: copy permitted) of tracks of 13000 blocks becomes the "Audio CD" volume of
// track files, up to the 99 a disc can hold.
TEST_F(TocAnalysis, AudioCdBecomesTrackFiles) {
    for (auto [control, tracks] : {std::pair<uint8_t, int>{0x00, 12}, {0x02, 3}, {0x00, 99}}) {
        SCOPED_TRACE(tracks);
        TocBuilder t;
        std::vector<std::pair<uint8_t, uint32_t>> starts;
        t.points(1, uint8_t(0x10 | control), 1, 0x00, uint8_t(tracks), tracks * 13000);
        for (int i = 0; i < tracks; ++i) {
            t.add(1, uint8_t(0x10 | control), uint8_t(i + 1), {0, 0, 0}, 0, Msf(i * 13000));
            starts.push_back({control, uint32_t(i) * 13000});
        }
        SetToc(*drive, t.build(1), starts, uint32_t(tracks) * 13000);
        EXPECT_EQ(Analyze(), 1);
        const SessionEntry* s = g_DiscModel->firstSession;
        EXPECT_EQ(s->type, control);
        EXPECT_EQ(s->pvdLbn, 0u);
        EXPECT_EQ(s->lastTrack, tracks);
        EXPECT_STREQ(Tree()->root->name, "Audio CD");
        EXPECT_EQ(Tree()->directoryCount, 1u);
        EXPECT_EQ(Tree()->fileCount, uint32_t(tracks));
        const std::vector<std::string> names = RootNames();
        ASSERT_EQ(names.size(), size_t(tracks));
        EXPECT_EQ(names.front(), "Track01.cda");
        EXPECT_EQ(names.back(),
                  "Track" + std::string(tracks < 10 ? "0" : "") + std::to_string(tracks) + ".cda");
        const FileEntry* first = Tree()->root->firstChild;
        EXPECT_EQ(std::tie(first->lbn, first->size, first->type), std::tuple(0u, 13000u, 'F'));
        auto date = [](const FileEntry* f) { return std::vector<int>(f->date, f->date + 7); };
        // 1995-01-01, the start position (00:02:00 absolute) in the time fields.
        EXPECT_EQ(date(first), (std::vector<int>{95, 1, 1, 0, 0, 2, 0}));
        EXPECT_EQ(first->nextSibling->lbn, 13000u);
        EXPECT_EQ(date(first->nextSibling), (std::vector<int>{95, 1, 1, 0, 2, 55, 25})); // 13150 frames
        EXPECT_EQ(std::tie(s->firstTrack->address, s->firstTrack->size), std::tuple(0u, 13000u));
        EXPECT_EQ(s->firstTrack->next->address, 13000u);
        Iso_Terminate();
        Iso_Initialize();
    }
    // The track files' TOC read fails: opening a track fails with EIO, not ENOENT.
    drive->failLbaToc = true;
    EXPECT_EQ(Analyze(), ISO_ERR_TRACK_FILE);
    EXPECT_EQ(Tree()->root, nullptr);
}

TEST_F(TocAnalysis, CdIIsRefused) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x10, 0}).add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 2, 0});
    SetToc(*drive, t.build(1), {{4, 0}}, 500);
    EXPECT_EQ(Analyze(), ISO_ERR_DISC_TYPE);
}

TEST_F(TocAnalysis, TwoSessionXaHasPvdPerTrackAndCapacityPerSession) {
    TocBuilder t;
    t.points(1, 0x14, 1, 0x20, 1, 1000).add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
    t.add(1, 0x54, 0xB0, Msf(12400), 2, {79, 59, 74}).add(1, 0x54, 0xC0, {0x61, 0, 0}, 0, {97, 26, 66});
    t.points(2, 0x14, 2, 0x20, 2, 13400).add(2, 0x14, 0x02, {0, 0, 0}, 0, Msf(12400));
    SetToc(*drive, t.build(2), {{4, 0}, {4, 12400}}, 13400);
    RootSession(0, Directory().self(20, 2048, 20), "FIRST");
    RootSession(12400, Directory().self(12420, 2048, 12420), "SECOND");
    EXPECT_EQ(Analyze(), 1);
    const SessionEntry* s1 = g_DiscModel->firstSession;
    const SessionEntry* s2 = s1->next;
    ASSERT_NE(s2, nullptr);
    EXPECT_EQ(s1->type, 0x24);
    EXPECT_EQ(s1->pvdLbn, 16u);
    EXPECT_EQ(s2->pvdLbn, 12416u);
    EXPECT_EQ(s2->sessionNumber, 2);
    EXPECT_EQ(s2->lastBlock, 13399u);
    EXPECT_EQ(s2->blockLength, 2048u);
    EXPECT_EQ(s1->nextProgramArea, 12400u);
    EXPECT_EQ(s1->mode5Pointers, 2);
    EXPECT_EQ(s1->recordingAreaLeadOut, uint32_t((79 * 60 + 59) * 75 + 74 - 150));
    EXPECT_EQ(int32_t(s1->leadIn), -11634); // C0 97:26:66 lies in the lead-in: MMC numbers it from -450150
    EXPECT_EQ(s2->firstTrack->trackNumber, 2);
    EXPECT_EQ(s2->firstTrack->address, 12400u);
    EXPECT_EQ(s2->nextProgramArea, 0u); // the closed disc's last session has no B0
    ASSERT_NE(Tree()->next, nullptr);
    EXPECT_EQ(std::string(Tree()->root->name).substr(0, 5), "FIRST");
    EXPECT_EQ(std::string(Tree()->next->root->name).substr(0, 6), "SECOND");
    EXPECT_EQ(g_CurrentSession, 2);
}

TEST_F(TocAnalysis, TimesAndDescriptorsOfTheFullToc) {
    // A2 at 00:01:00 lies before the program area; track 1 at 00:00:00 is kept as 0, track 2 at 01:00:00.
    TocBuilder t;
    t.points(1, 0x14, 1, 0x00, 2, -75).add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 0, 0});
    t.add(1, 0x14, 0x02, {0, 0, 0}, 0, {1, 0, 0});
    SetToc(*drive, t.build(1), {{4, 0}}, 100);
    Analyze();
    const SessionEntry* s = g_DiscModel->firstSession;
    // No B0 or C0: zeros.
    EXPECT_EQ(std::tie(s->leadIn, s->nextProgramArea, s->recordingAreaLeadOut), std::tuple(0u, 0u, 0u));
    EXPECT_EQ(s->mode5Pointers, 0);
    EXPECT_EQ(static_cast<int32_t>(s->leadOut), -75);
    EXPECT_EQ(s->firstTrack->address, 0u);
    ASSERT_NE(s->firstTrack->next, nullptr);
    EXPECT_EQ(s->firstTrack->next->address, 4350u);

    // Data length 46 holds four descriptors: a fifth beyond it is not taken.
    SingleDataSessionToc(*drive, 0, 100);
    ASSERT_EQ(drive->fullToc[1], 46);
    drive->fullToc.insert(drive->fullToc.end(), {1, 0x14, 0, 0x02, 0, 0, 0, 0, 0, 4, 0});
    Analyze();
    EXPECT_EQ(g_DiscModel->firstSession->firstTrack->next, nullptr);
    EXPECT_EQ(g_DiscModel->firstSession->leadOut, 100u);
}

TEST_F(TocAnalysis, FailedTocReadPassesTheAspiCode) {
    InstallDrive(drive);
    RemoveDrives(); // the device is gone
    EXPECT_NE(Iso_AnalyzeDisc(0), 1);
}

class FileData : public DriveTest {
  protected:
    void SetUp() override {
        DriveTest::SetUp();
        // Two data sessions: blocks of session 2 are read with its own block length.
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

TEST_F(FileData, SessionIndexBeyondTheListSelectsTheLast) {
    for (uint16_t index : {1, 5}) {
        g_CurrentSession = index;
        ASSERT_EQ(Iso_SelectSession(), 1);
        EXPECT_EQ(g_DiscModel->currentSessionEntry, g_DiscModel->firstSession->next);
    }
    // The second session's own block length is what the reads use.
    g_DiscModel->firstSession->next->blockLength = 512;
    drive->blockLength = 512;
    ASSERT_EQ(Iso_ReadFile(1000, 1024), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 2}}));
    Iso_FreeFile();
}

TEST_F(FileData, EmptyModelCannotBeSelected) {
    Iso_Terminate();
    EXPECT_EQ(Iso_SelectSession(), ISO_ERR_NO_MODEL);
    EXPECT_EQ(Iso_ReadFile(1000, 10), ISO_ERR_NO_MODEL);
    EXPECT_EQ(g_FileData, nullptr);
}

} // namespace
} // namespace isotest
