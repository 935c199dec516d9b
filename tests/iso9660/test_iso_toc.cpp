// TOC and session analysis over crafted full TOCs; whole-file reads and session selection.
#include "golden.h"
#include "iso9660/iso_disc_toc.h"
#include "iso_builder.h"

namespace isotest {
namespace {

class TocAnalysis : public DriveTest {};

// An audio disc (CONTROL 0, or 2: copy permitted) of tracks of `length` blocks.
void AudioToc(FakeDrive& d, uint8_t control, int tracks, int length = 13000) {
    TocBuilder t;
    std::vector<std::pair<uint8_t, uint32_t>> starts;
    t.points(1, uint8_t(0x10 | control), 1, 0x00, uint8_t(tracks), tracks * length);
    for (int i = 0; i < tracks; ++i) {
        t.add(1, uint8_t(0x10 | control), uint8_t(i + 1), {0, 0, 0}, 0, Msf(i * length));
        starts.push_back({control, uint32_t(i * length)});
    }
    SetToc(d, t.build(1), starts, uint32_t(tracks * length));
}

// Two data sessions whose TOC the drive gives only as formats 0 and 1: the second at `second`, the lead-out
// at `leadout`.
void FormattedTwoSessions(FakeDrive& d, uint32_t second, uint32_t leadout) {
    SetToc(d, {}, {{4, 0}, {4, second}}, leadout);
    d.refuseFullToc = true;
    d.sessionInfo = {
        0, 10, 1, 2, 0, 0x14, 2, 0, 0, uint8_t(second >> 16), uint8_t(second >> 8), uint8_t(second)};
}

TEST_F(TocAnalysis, ModelsOfCraftedTocs) {
    const auto twoSessions = [&](uint32_t second, uint32_t leadout) {
        FormattedTwoSessions(*drive, second, leadout);
        RootSession(0, Directory().self(20, 2048, 20));
        RootSession(second, Directory().self(second + 20, 2048, second + 20));
    };
    const ModelCase cases[] = {
        {"single-session CD-ROM",
         [&] {
             SingleDataSessionToc(*drive);
             RootSession(0, Directory().self(20, 2048, 20));
         }},
        // "Audio CD" volumes of track files dated 1995-01-01 with the start position in the time fields.
        {"audio, 12 tracks", [&] { AudioToc(*drive, 0x00, 12); }},
        {"audio, copy permitted", [&] { AudioToc(*drive, 0x02, 3); }},
        {"audio, 99 tracks", [&] { AudioToc(*drive, 0x00, 99, 3000); }},
        // The track files' TOC read fails: opening a track fails with EIO, not ENOENT.
        {"audio, track files unreadable",
         [&] {
             AudioToc(*drive, 0x00, 2);
             drive->failLbaToc = true;
         }},
        {"CD-I",
         [&] {
             TocBuilder t;
             t.points(1, 0x14, 1, 0x10, 1, 500).add(1, 0x14, 0x01, {0, 0, 0}, 0, {0, 2, 0});
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
        // A2 at 00:01:00 lies before the program area and its tracks: no disc's full TOC; the formatted one
        // is.
        {"full TOC of a lead-out before its tracks",
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
        // A drive of the older convention answering the full TOC's request with its formatted TOC: the
        // session comes from formats 0 and 1 (session information refused: one session), with the note.
        {"formatted TOC where the full TOC was asked",
         [&] {
             SingleDataSessionToc(*drive, 0, 1000);
             drive->fullToc = drive->formattedToc;
             RootSession(0, Directory().self(20, 2048, 20));
         }},
        // The full TOC refused (a DVD): two sessions a recorder's gap apart, the first ending 11400 blocks
        // (lead-out, lead-in, pregap) before the second; then two that abut (a grown file).
        {"full TOC refused, two sessions", [&] { twoSessions(12400, 13400); }},
        {"full TOC refused, sessions that abut", [&] { twoSessions(32, 64); }},
    };
    ExpectGolden("iso9660/toc.txt", Models({std::begin(cases), std::end(cases)}));
    InstallDrive(drive);
    RemoveDrives(); // the device is gone: the failed TOC read's code is passed on
    EXPECT_NE(Iso_AnalyzeDisc(0), 1);
}

// Answers that are no full TOC are read through formats 0 and 1 (the note says so); answers that are no
// formatted TOC either fail with ISO_ERR_TOC. Over a one-session CD-ROM: full TOC A0 at 4, A1 at 15, A2 at
// 26, track 1 at 37 (11-byte descriptors); formatted TOC track 1 at 4, lead-out at 12 (8-byte descriptors).
TEST_F(TocAnalysis, AnswersThatAreNoTocAreNotTakenForOne) {
    using Bytes = std::vector<uint8_t>;
    const std::pair<const char*, std::function<void(Bytes&)>> fullTocFaults[] = {
        {"session 0", [](Bytes& b) { b[4] = 0; }},
        {"session past the header's last", [](Bytes& b) { b[37] = 2; }},
        {"header's first session 2", [](Bytes& b) { b[2] = 2; }},
        {"A2 of Q mode 0", [](Bytes& b) { b[27] = 0x04; }},
        {"A0 first track 0", [](Bytes& b) { b[12] = 0; }},
        {"A0 disc type 0x30", [](Bytes& b) { b[13] = 0x30; }},
        {"A2 at second 60", [](Bytes& b) { b[35] = 60; }},
        {"A2 in the lead-in", [](Bytes& b) { b[34] = 95; }},
        {"track 2 of a session of track 1", [](Bytes& b) { b[40] = 2; }},
        {"track after the lead-out", [](Bytes& b) { b[45] = 20; }},
        {"length past the bytes given", [](Bytes& b) { b[1] += 11; }},
        {"length of no whole descriptor", [](Bytes& b) { b.insert(b.end(), 3, 0), b[1] += 3; }},
        {"A0 twice", [](Bytes& b) { b.insert(b.end(), b.begin() + 4, b.begin() + 15), b[1] += 11; }},
        {"no A2", [](Bytes& b) { b.erase(b.begin() + 26, b.begin() + 37), b[1] -= 11; }},
    };
    for (const auto& [name, fault] : fullTocFaults) {
        Fresh();
        SingleDataSessionToc(*drive);
        RootSession(0, Directory().self(20, 2048, 20));
        fault(drive->fullToc);
        EXPECT_EQ(Analyze(), 1) << name;
        EXPECT_EQ(Tree()->notes, ISO_TREE_NO_FULL_TOC) << name;
        EXPECT_EQ(g_DiscModel->firstSession->leadOut, 1000u) << name;
    }
    const std::pair<const char*, std::function<void(FakeDrive&)>> formattedFaults[] = {
        {"no lead-out", [](FakeDrive& d) { d.formattedToc.resize(12), d.formattedToc[1] -= 8; }},
        {"lead-out at the track's start",
         [](FakeDrive& d) { d.formattedToc[18] = 2, d.formattedToc[19] = 0; }},
        {"track 2 for track 1", [](FakeDrive& d) { d.formattedToc[6] = 2; }},
        {"length past the bytes given", [](FakeDrive& d) { d.formattedToc[1] += 8; }},
        {"session information of another track start",
         [](FakeDrive& d) { FormattedTwoSessions(d, 12400, 13400), d.sessionInfo[11] = 0; }},
        {"session information of one track for two sessions",
         [](FakeDrive& d) {
             FormattedTwoSessions(d, 12400, 13400);
             d.sessionInfo[6] = 1, d.sessionInfo[10] = d.sessionInfo[11] = 0;
         }},
    };
    for (const auto& [name, fault] : formattedFaults) {
        Fresh();
        SingleDataSessionToc(*drive);
        drive->refuseFullToc = true;
        fault(*drive);
        EXPECT_EQ(Analyze(), ISO_ERR_TOC) << name;
    }
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
