// WAVE files made by sox and ffmpeg on a Joliet disc made by genisoimage, analysed through an image drive and
// the real ASPI manager, and compared with what soxi and mediainfo report for the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "analyzers/analyzers.h"
#include "analyzers/wav/wav_module.h"
#include "image_disc.h"
#include "iso9660/iso9660.h"

namespace {

const std::string kDir = CKVD_WAV_FIXTURES;

TEST(WavDisc, HeadersAgreeWithSoxiAndMediainfo) {
    std::string error;
    ASSERT_EQ(testdisc::LoadImageDisc(kDir + "/wav.iso", &error), 1) << error;
    g_CurrentSession = 0;
    ASSERT_EQ(Wav_Initialize(), 1);
    int files = 0;
    for (FileEntry* e = g_DiscModel->firstTree->root->firstChild; e; e = e->nextSibling, ++files) {
        const std::string name = e->name, f = "'" + kDir + "/disc/" + name + "'";
        SCOPED_TRACE(name);
        std::istringstream peer(
            testdisc::RunCommand("{ soxi -c " + f + "; soxi -r " + f + "; soxi -b " + f + "; soxi -D " + f +
                                 "; mediainfo '--Inform=Audio;%CodecID%' " + f + "; } 2>/dev/null"));
        unsigned channels = 0, rate = 0, bits = 0;
        double seconds = 0;
        std::string codecId; // the format tag in hex, or the subformat GUID of an extensible file
        peer >> channels >> rate >> bits >> seconds >> codecId;
        ASSERT_GT(rate, 0u);
        if (name == "list_first.wav") {
            // soxi finds "fmt " after the LIST chunk; the analyzer wants it at byte 12.
            EXPECT_EQ(Wav_Analyze(e), WAV_ERR_NOT_WAVE);
            continue;
        }
        ASSERT_EQ(Wav_Analyze(e), 1);
        // An extensible file has WAVE_FORMAT_EXTENSIBLE as its tag.
        EXPECT_EQ(g_WavHeader->formatTag,
                  codecId.find('-') != std::string::npos ? 0xFFFE : std::stoul(codecId, nullptr, 16));
        EXPECT_EQ(g_WavHeader->channels, channels);
        EXPECT_EQ(g_WavHeader->samplesPerSecond, rate);
        EXPECT_EQ(g_WavHeader->bitsPerSample, bits);
        // The length counts every byte after the first 36 (and the extra format bytes) as audio: chunk
        // headers, fact and LIST chunks and the last ADPCM block add a little to soxi's duration, never
        // take from it, and stay well under a second here.
        EXPECT_GE(g_WavLength, unsigned(std::floor(seconds)));
        EXPECT_LE(g_WavLength, seconds + 1);
    }
    EXPECT_EQ(files, 14);
    Wav_Terminate();
    Iso_Terminate();
    Aspi_Terminate();
}

} // namespace
