// TOC and session analysis over crafted full TOCs.
#include <cstring>

#include "iso_test_fixture.h"

namespace isotest {
namespace {

class TocAnalysis : public DriveTest {};

TEST_F(TocAnalysis, SingleSessionCdRomIsDataWithPvdAt16) {
    SingleDataSessionToc(*drive);
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20));
    EXPECT_EQ(Analyze(), 1);
    const SessionEntry* s = g_DiscModel->firstSession;
    // Type, PVD, last block, block length, last track, lead-out.
    EXPECT_EQ(
        (std::vector<int64_t>{s->type, s->pvdLbn, s->lastBlock, s->blockLength, s->lastTrack, s->leadOut}),
        (std::vector<int64_t>{0x04, 16, 999, 2048, 1, 1000}));
    EXPECT_EQ(g_DiscModel->sessionCount, 1);
    EXPECT_EQ(g_DiscModel->device, 0);
    ASSERT_NE(g_DiscModel->firstTree->root, nullptr);
    EXPECT_EQ(g_DiscModel->firstTree->root->type, 'V');
    // Full TOC first (8 bytes, then all), then the formatted TOC.
    EXPECT_EQ(drive->tocFormats, (std::vector<int>{2, 2, 0, 0}));
}

// An audio disc: CONTROL 0 (or 2, copy permitted) makes the "Audio CD" volume from the track files.
void AudioToc(FakeDrive& d, uint8_t control, int tracks) {
    TocBuilder t;
    std::vector<std::pair<uint8_t, uint32_t>> starts;
    t.add(1, uint8_t(0x10 | control), 0xA0, {0, 0, 0}, 0, {1, 0x00, 0});
    t.add(1, uint8_t(0x10 | control), 0xA1, {0, 0, 0}, 0, {uint8_t(tracks), 0, 0});
    const uint32_t leadout = uint32_t(tracks) * 13000;
    t.add(1, uint8_t(0x10 | control), 0xA2, {0, 0, 0}, 0, Msf(int32_t(leadout)));
    for (int i = 0; i < tracks; ++i) {
        t.add(1, uint8_t(0x10 | control), uint8_t(i + 1), {0, 0, 0}, 0, Msf(i * 13000));
        starts.push_back({control, uint32_t(i) * 13000});
    }
    SetToc(d, t.build(1), starts, leadout);
}

TEST_F(TocAnalysis, AudioCdBecomesTrackFiles) {
    AudioToc(*drive, 0x00, 12);
    EXPECT_EQ(Analyze(), 1);
    const SessionEntry* s = g_DiscModel->firstSession;
    EXPECT_EQ(s->pvdLbn, 0u);
    EXPECT_EQ(s->lastTrack, 12);
    const SessionTree* tree = g_DiscModel->firstTree;
    ASSERT_NE(tree->root, nullptr);
    EXPECT_STREQ(tree->root->name, "Audio CD");
    EXPECT_EQ(tree->directoryCount, 1u);
    EXPECT_EQ(tree->fileCount, 12u);
    std::vector<std::string> names = ChildNames(tree->root);
    ASSERT_EQ(names.size(), 12u);
    EXPECT_EQ(names.front(), "Track01.cda");
    EXPECT_EQ(names.back(), "Track12.cda");
    const FileEntry* first = tree->root->firstChild;
    EXPECT_EQ(first->lbn, 0u);
    EXPECT_EQ(first->size, 13000u);
    EXPECT_EQ(first->type, 'F');
    auto date = [](const FileEntry* f) { return std::vector<int>(f->date, f->date + 7); };
    // 1995-01-01, the start position (00:02:00 absolute) in the time fields.
    EXPECT_EQ(date(first), (std::vector<int>{95, 1, 1, 0, 0, 2, 0}));
    const FileEntry* second = first->nextSibling;
    EXPECT_EQ(second->lbn, 13000u);
    EXPECT_EQ(date(second), (std::vector<int>{95, 1, 1, 0, 2, 55, 25})); // 13150 frames: 02:55:25
    const TrackEntry* t = s->firstTrack;
    EXPECT_EQ(t->address, 0u);
    EXPECT_EQ(t->size, 13000u);
    EXPECT_EQ(t->next->address, 13000u);
}

TEST_F(TocAnalysis, NinetyNineTrackFilesEndTheWalk) {
    AudioToc(*drive, 0x00, 99);
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root).size(), 99u);
}

TEST_F(TocAnalysis, CopyPermittedAudioIsAudio) {
    AudioToc(*drive, 0x02, 3);
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(g_DiscModel->firstSession->type, 0x02);
    EXPECT_EQ(g_DiscModel->firstSession->pvdLbn, 0u);
    EXPECT_EQ(g_DiscModel->firstSession->lastTrack, 3);
    EXPECT_STREQ(g_DiscModel->firstTree->root->name, "Audio CD");
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root).size(), 3u);
}

TEST_F(TocAnalysis, TrackFileThatCannotBeOpenedGives4112) {
    AudioToc(*drive, 0x00, 2);
    drive->failLbaToc = true; // the track files' TOC read fails: open fails with EIO, not ENOENT
    EXPECT_EQ(Analyze(), ISO_ERR_TRACK_FILE);
    EXPECT_EQ(g_DiscModel->firstTree->root, nullptr);
}

TEST_F(TocAnalysis, CdIIsRefused) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x10, 0});
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 2, 0});
    SetToc(*drive, t.build(1), {{4, 0}}, 500);
    EXPECT_EQ(Analyze(), ISO_ERR_DISC_TYPE);
}

TEST_F(TocAnalysis, TwoSessionXaHasPvdPerTrackAndCapacityPerSession) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x20, 0});
    t.add(1, 0x14, 0xA1, {0, 0, 0}, 0, {1, 0, 0});
    t.add(1, 0x14, 0xA2, {0, 0, 0}, 0, Msf(1000));
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
    t.add(1, 0x54, 0xB0, Msf(12400), 2, {79, 59, 74});
    t.add(1, 0x54, 0xC0, {0x61, 0, 0}, 0, {97, 26, 66});
    t.add(2, 0x14, 0xA0, {0, 0, 0}, 0, {2, 0x20, 0});
    t.add(2, 0x14, 0xA1, {0, 0, 0}, 0, {2, 0, 0});
    t.add(2, 0x14, 0xA2, {0, 0, 0}, 0, Msf(13400));
    t.add(2, 0x14, 0x02, {0, 0, 0}, 0, Msf(12400));
    SetToc(*drive, t.build(2), {{4, 0}, {4, 12400}}, 13400);
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20), "FIRST");
    PlainSession(12400, PathTable().root(12420), Directory().self(12420, 2048, 12420), "SECOND");
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
    const SessionTree* t1 = g_DiscModel->firstTree;
    ASSERT_NE(t1->next, nullptr);
    EXPECT_EQ(std::string(t1->root->name).substr(0, 5), "FIRST");
    EXPECT_EQ(std::string(t1->next->root->name).substr(0, 6), "SECOND");
    EXPECT_EQ(g_CurrentSession, 2);
}

TEST_F(TocAnalysis, NoB0OrC0LeavesZerosAndEarlyTimesAreNegative) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x00, 0});
    t.add(1, 0x14, 0xA1, {0, 0, 0}, 0, {1, 0, 0});
    t.add(1, 0x14, 0xA2, {0, 0, 0}, 0, {0, 1, 0}); // 00:01:00, before the program area
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 0, 0}); // 00:00:00 is kept as 0
    SetToc(*drive, t.build(1), {{4, 0}}, 100);
    Analyze();
    const SessionEntry* s = g_DiscModel->firstSession;
    EXPECT_EQ(s->leadIn, 0u);
    EXPECT_EQ(s->nextProgramArea, 0u);
    EXPECT_EQ(s->mode5Pointers, 0);
    EXPECT_EQ(s->recordingAreaLeadOut, 0u);
    EXPECT_EQ(static_cast<int32_t>(s->leadOut), -75);
    EXPECT_EQ(s->firstTrack->address, 0u);
}

TEST_F(TocAnalysis, TimesConvertAsBlockAddresses) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x00, 0});
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 2, 0});
    t.add(1, 0x14, 0x02, {0, 0, 0}, 0, {1, 0, 0});
    SetToc(*drive, t.build(1), {{4, 0}}, 100);
    Analyze();
    const TrackEntry* tr = g_DiscModel->firstSession->firstTrack;
    EXPECT_EQ(tr->address, 0u);
    ASSERT_NE(tr->next, nullptr);
    EXPECT_EQ(tr->next->address, 4350u);
}

TEST_F(TocAnalysis, DataLength46HoldsFourDescriptors) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x00, 0});
    t.add(1, 0x14, 0xA1, {0, 0, 0}, 0, {1, 0, 0});
    t.add(1, 0x14, 0xA2, {0, 0, 0}, 0, Msf(100));
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
    SetToc(*drive, t.build(1), {{4, 0}}, 100);
    ASSERT_EQ(drive->fullToc[1], 46);
    // A fifth descriptor beyond the announced length is not taken.
    drive->fullToc.insert(drive->fullToc.end(), {1, 0x14, 0, 0x02, 0, 0, 0, 0, 0, 4, 0});
    Analyze();
    const TrackEntry* tr = g_DiscModel->firstSession->firstTrack;
    EXPECT_EQ(tr->trackNumber, 1);
    EXPECT_EQ(tr->next, nullptr);
    EXPECT_EQ(g_DiscModel->firstSession->leadOut, 100u);
}

TEST_F(TocAnalysis, FailedTocReadPassesTheAspiCode) {
    drive->fullToc.clear(); // answered, but the length field is 0: an empty walk
    InstallDrive(drive);
    RemoveDrives(); // the device is gone
    EXPECT_NE(Iso_AnalyzeDisc(0), 1);
}

} // namespace
} // namespace isotest
