// Disc Information rows for hand-built audio and multi-session discs, in the three number styles.
#include <gtest/gtest.h>

#include "appmodel/disc_info_dlg_model.h"
#include "disc_model_builder.h"
#include "golden.h"
#include "report/lbn_size_style.h"

namespace {

std::string RowsText(DiscModel* model, int style) {
    CDiscInfoDlgModel dlg;
    dlg.OnInitDialog(model, style);
    std::string text;
    for (const auto& row : dlg.Rows()) {
        for (const auto& cell : row)
            text += cell + "|";
        text += "\n";
    }
    return text;
}

TEST(DiscInfo, AudioAndMultiSessionDiscsInEveryStyle) {
    DiscModelBuilder audio;
    SessionEntry* a = audio.AddSession(0x00, 200000, 2352);
    a->leadOut = 200000;
    for (uint8_t t = 1; t <= 12; ++t)
        audio.AddTrack(a, t, 150u * t, 15000);
    DiscModelBuilder multi;
    SessionEntry* s1 = multi.AddSession(0x04, 11774, 2048);
    s1->pvdLbn = 16;
    s1->leadIn = static_cast<uint32_t>(-150); // an address before 00:02:00 reads negative
    s1->leadOut = 4500;
    s1->mode5Pointers = 0x02;
    s1->nextProgramArea = 11400;
    s1->recordingAreaLeadOut = 359849;
    multi.AddTrack(s1, 1, 0, 4500);
    SessionEntry* s2 = multi.AddSession(0x24, 20000, 2048);
    s2->pvdLbn = 11416;
    multi.AddTrack(s2, 2, 11400, 8600);
    multi.AddTrack(s2, 3, 20000, 75);
    multi.AddTrack(multi.AddSession(0x04, 30000, 2048), 4, 25000, 5000);
    std::string text = "audio\n" + RowsText(audio.Model(), LBNSIZE_BASE10);
    for (int style : {LBNSIZE_BASE10, LBNSIZE_BASE16, LBNSIZE_MSF})
        text += "multi-session, style " + std::to_string(style) + "\n" + RowsText(multi.Model(), style);
    ExpectGolden("app/disc_info.txt", text);
    DiscModel empty{};
    EXPECT_EQ(RowsText(&empty, 0) + RowsText(nullptr, 0), "");
}

} // namespace
