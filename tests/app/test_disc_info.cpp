// Disc Information rows for hand-built audio and multi-session discs.
#include <gtest/gtest.h>

#include "appmodel/disc_info_dlg_model.h"
#include "disc_model_builder.h"
#include "report/lbn_size_style.h"

namespace {

TEST(DiscInfo, AudioDiscWithTwelveTracks) {
    DiscModelBuilder b;
    SessionEntry* s = b.AddSession(0x00, 200000, 2352);
    s->leadOut = 200000;
    s->mode5Pointers = 0;
    for (uint8_t t = 1; t <= 12; ++t)
        b.AddTrack(s, t, 150u * t, 15000);
    CDiscInfoDlgModel dlg;
    dlg.OnInitDialog(b.Model(), LBNSIZE_BASE10);
    const auto& rows = dlg.Rows();
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0][0], "Audio");
    EXPECT_EQ(rows[0][1], "200000");
    EXPECT_EQ(rows[0][2], "2352");
    EXPECT_EQ(rows[0][3], "1");
    EXPECT_EQ(rows[0][5], "1");
    EXPECT_EQ(rows[0][6], "150");
    EXPECT_EQ(rows[0][10], "200000");
    EXPECT_EQ(rows[0][11], "00");
    for (size_t r = 1; r < 12; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(rows[r][0], " ");
        EXPECT_EQ(rows[r][5], std::to_string(r + 1));
        EXPECT_EQ(rows[r][7], "15000");
        for (int c : {1, 2, 3, 4, 8, 9, 10, 11, 12, 13})
            EXPECT_EQ(rows[r][static_cast<size_t>(c)], "");
    }
    for (const auto& row : rows)
        EXPECT_EQ(row[4], ""); // "Mode" is never filled
}

TEST(DiscInfo, MultiSessionDiscInEveryStyle) {
    DiscModelBuilder b;
    SessionEntry* s1 = b.AddSession(0x04, 11774, 2048);
    s1->pvdLbn = 16;
    s1->leadIn = static_cast<uint32_t>(-150); // an address before 00:02:00 reads negative
    s1->leadOut = 4500;
    s1->mode5Pointers = 0x02;
    s1->nextProgramArea = 11400;
    s1->recordingAreaLeadOut = 359849;
    b.AddTrack(s1, 1, 0, 4500);
    SessionEntry* s2 = b.AddSession(0x24, 20000, 2048);
    s2->pvdLbn = 11416;
    b.AddTrack(s2, 2, 11400, 8600);
    b.AddTrack(s2, 3, 20000, 75);
    SessionEntry* s3 = b.AddSession(0x04, 30000, 2048);
    b.AddTrack(s3, 4, 25000, 5000);
    CDiscInfoDlgModel dlg;
    dlg.OnInitDialog(b.Model(), LBNSIZE_BASE10);
    auto rows = dlg.Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][0], "CD-ROM");
    EXPECT_EQ(rows[0][9], "-150");
    EXPECT_EQ(rows[0][11], "02");
    EXPECT_EQ(rows[0][12], "11400");
    EXPECT_EQ(rows[1][0], "CD-XA");
    EXPECT_EQ(rows[1][3], "2");
    EXPECT_EQ(rows[1][5], "2");
    EXPECT_EQ(rows[1][8], "11416");
    EXPECT_EQ(rows[2][0], " ");
    EXPECT_EQ(rows[2][5], "3");
    EXPECT_EQ(rows[3][0], "CD-ROM"); // taken from the first session's data bit
    EXPECT_EQ(rows[3][3], "3");

    dlg.OnInitDialog(b.Model(), LBNSIZE_BASE16);
    rows = dlg.Rows();
    EXPECT_EQ(rows[0][1], "0x00002DFE");
    EXPECT_EQ(rows[0][9], "0xFFFFFF6A");
    EXPECT_EQ(rows[0][3], "1");   // session number ignores the style
    EXPECT_EQ(rows[0][11], "02"); // so does the Mode 5 byte
    EXPECT_EQ(rows[1][5], "2");
    dlg.OnInitDialog(b.Model(), LBNSIZE_MSF);
    rows = dlg.Rows();
    EXPECT_EQ(rows[0][10], "01:00:00");
    EXPECT_EQ(rows[2][7], "00:01:00");
}

TEST(DiscInfo, EmptyModelGivesNoRows) {
    CDiscInfoDlgModel dlg;
    dlg.OnInitDialog(nullptr, 0);
    EXPECT_TRUE(dlg.Rows().empty());
    DiscModel empty{};
    dlg.OnInitDialog(&empty, 0);
    EXPECT_TRUE(dlg.Rows().empty());
}

} // namespace
