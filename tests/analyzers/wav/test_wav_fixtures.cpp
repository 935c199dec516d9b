// WAVE files made by sox and ffmpeg on a Joliet disc made by genisoimage, analysed through an image drive and
// the real ASPI manager, and compared with what soxi, ffprobe and mediainfo report for the same files.
#include <cmath>

#include "../analyzer_tests.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"

namespace {

const std::string kDir = CKVD_WAV_FIXTURES;

TEST(WavDisc, HeadersAgreeWithSoxiAndMediainfo) {
    antest::LoadDisc(kDir + "/wav.iso");
    ASSERT_EQ(Wav_Initialize(), 1);
    int files = 0;
    for (FileEntry* e = g_DiscModel->firstTree->root->firstChild; e; e = e->nextSibling, ++files) {
        const std::string name = e->name, f = "'" + kDir + "/disc/" + name + "'";
        SCOPED_TRACE(name);
        std::istringstream peer(
            antest::RunCommand("{ soxi -c " + f + "; soxi -r " + f + "; soxi -b " + f +
                               "; ffprobe -v error -show_entries " + "format=duration -of csv=p=0 " + f +
                               "; mediainfo '--Inform=Audio;%CodecID%' " + f + "; } 2>/dev/null"));
        unsigned channels = 0, rate = 0, bits = 0;
        double seconds = 0;
        std::string codecId; // the format tag in hex, or the sub-format GUID of an extensible file
        peer >> channels >> rate >> bits >> seconds >> codecId;
        ASSERT_GT(rate, 0u);
        if (name == "list_first.wav") {
            // soxi finds "fmt " after the LIST chunk; the analyzer wants it at byte 12.
            EXPECT_EQ(Wav_Analyze(e), WAV_ERR_NOT_WAVE);
            continue;
        }
        ASSERT_EQ(Wav_Analyze(e), 1);
        // An extensible file has WAVE_FORMAT_EXTENSIBLE as its tag, and its dialog the GUID's first part.
        const bool extensible = codecId.find('-') != std::string::npos;
        EXPECT_EQ(g_WavHeader->formatTag, extensible ? 0xFFFE : std::stoul(codecId, nullptr, 16));
        CWavDlgModel dlg(e);
        dlg.OnInitDialog(0);
        auto fields = antest::Fields(dlg.Fields());
        const std::string subFormat = fields.count("Sub-format") ? fields["Sub-format"] : "(none)";
        if (!extensible)
            EXPECT_EQ(subFormat, "(none)");
        else if (const unsigned code = std::stoul(codecId, nullptr, 16); code == 1)
            EXPECT_EQ(subFormat, "0x0001 PCM <Windows Support>");
        else
            EXPECT_EQ(subFormat, "0x000" + std::to_string(code)); // 3, IEEE float: no name in the list
        EXPECT_EQ(g_WavHeader->channels, channels);
        EXPECT_EQ(g_WavHeader->samplesPerSecond, rate);
        EXPECT_EQ(g_WavHeader->bitsPerSample, bits);
        // The data chunk's bytes at the average rate, whole seconds.
        EXPECT_EQ(g_WavLength, unsigned(std::floor(seconds)));
    }
    EXPECT_EQ(files, 18);
    Wav_Terminate();
    Iso_Terminate();
    Aspi_Terminate();
}

} // namespace
