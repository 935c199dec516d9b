// Whole-file reads and session selection.
#include <cstring>

#include "iso_test_fixture.h"

namespace isotest {
namespace {

class FileData : public DriveTest {
  protected:
    void SetUp() override {
        DriveTest::SetUp();
        // Two data sessions: blocks of session 2 are read with its own block length.
        TwoDataSessionToc();
        PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20));
        PlainSession(12400, PathTable().root(12420), Directory().self(12420, 2048, 12420));
        for (uint32_t b = 0; b < 64; ++b) {
            Sector& s = drive->at(1000 + b);
            s.fill(uint8_t(b + 1));
        }
        ASSERT_EQ(Analyze(), 1);
        drive->reads.clear();
    }
    std::vector<std::pair<uint32_t, uint16_t>> Reads() const {
        std::vector<std::pair<uint32_t, uint16_t>> r;
        for (auto c : drive->reads)
            r.push_back({c.lba, c.count});
        return r;
    }
};

using Pieces = std::vector<std::pair<uint32_t, uint16_t>>;

TEST_F(FileData, PiecesOfTheOddRemainderFirstThen32) {
    g_CurrentSession = 0;
    ASSERT_EQ(Iso_ReadFile(1000, 2048), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 1}}));
    EXPECT_EQ(g_FileDataLength, 2048u);
    EXPECT_EQ(g_FileCursor, g_FileData);
    EXPECT_EQ(g_FileData[2047], 1);
    EXPECT_EQ(g_FileData[2048], 0); // the buffer is size + block length, zero-filled
    EXPECT_EQ(g_FileData[4095], 0);
    Iso_FreeFile();

    drive->reads.clear();
    ASSERT_EQ(Iso_ReadFile(1000, 2049), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 2}}));
    EXPECT_EQ(g_FileData[2048], 2);
    Iso_FreeFile();

    drive->reads.clear();
    ASSERT_EQ(Iso_ReadFile(1000, 40 * 2048), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 8}, {1008, 32}}));
    EXPECT_EQ(g_FileData[8 * 2048], 9); // the second piece lands 8 blocks in
    EXPECT_EQ(g_FileData[39 * 2048], 40);
    Iso_FreeFile();

    drive->reads.clear();
    ASSERT_EQ(Iso_ReadFile(1000, 64 * 2048), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 32}, {1032, 32}}));
    Iso_FreeFile();

    drive->reads.clear();
    ASSERT_EQ(Iso_ReadFile(1000, 0), 1);
    EXPECT_TRUE(drive->reads.empty());
    Iso_FreeFile();
}

TEST_F(FileData, SessionIndexBeyondTheListSelectsTheLast) {
    drive->blockLength = 2048;
    for (uint16_t index : {1, 5}) {
        g_CurrentSession = index;
        ASSERT_EQ(Iso_SelectSession(), 1);
        EXPECT_EQ(g_DiscModel->currentSessionEntry, g_DiscModel->firstSession->next);
    }
    // The second session's own block length is what the reads use.
    g_DiscModel->firstSession->next->blockLength = 512;
    drive->blockLength = 512;
    g_CurrentSession = 5;
    ASSERT_EQ(Iso_ReadFile(1000, 1024), 1);
    EXPECT_EQ(Reads(), (Pieces{{1000, 2}}));
    Iso_FreeFile();
}

TEST_F(FileData, FailedReadKeepsTheBufferUntilFreed) {
    g_CurrentSession = 0;
    int rc = Iso_ReadFile(5000, 4096);
    EXPECT_NE(rc, 1);
    EXPECT_NE(g_FileData, nullptr);
    Iso_FreeFile();
    EXPECT_EQ(g_FileData, nullptr);
    EXPECT_EQ(g_FileDataLength, 0u);
}

TEST_F(FileData, LargestSizeIsComputedWithoutOverflow) {
    g_CurrentSession = 0;
    // 4 GiB - 1 bytes fit the 64-bit size arithmetic; the extent lies past the disc and is refused.
    EXPECT_EQ(Iso_ReadFile(1000, 0xFFFFFFFFu), ISO_ERR_EXTENT);
    EXPECT_TRUE(drive->reads.empty());
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
