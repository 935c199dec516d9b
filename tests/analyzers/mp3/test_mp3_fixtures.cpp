// make_fixtures.sh's files in an image drive: what `ckvd info` (tests/tools) does not show (.mp2 files, the
// first frame's length, the report's Shift-JIS texts) compared with mediainfo and ffprobe.
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>

#include "../analyzer_tests.h"
#include "analyzers/mp3/mp3_module.h"

namespace {

using namespace antest;
const std::string kDir = CKVD_MP3_FIXTURES;
const char* const kFiles[] = {"layer2.mp2", "layer2m2.mp2"};

// mediainfo --Inform fields of one section, field name -> value.
std::map<std::string, std::string> Mediainfo(const std::string& file, const std::string& section,
                                             const std::vector<std::string>& fields) {
    std::string inform = section + ";";
    for (const std::string& f : fields)
        inform += f + "=%" + f + "%\\n";
    return KeyValues(RunCommand("mediainfo '--Inform=" + inform + "' " + kDir + "/files/" + file));
}

struct Mp3Disc : ImageDiscSuite<Mp3_Analyze, Mp3_Terminate> {
    static void SetUpTestSuite() { LoadDisc(kDir + "/mp3.iso"); }
};

TEST_F(Mp3Disc, FrameHeaderAgreesWithMediainfoAndFfprobe) {
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        const MpegHeaderInfo* m = g_MpegHeader;
        auto p = Mediainfo(name, "Audio",
                           {"Format_Version", "Format_Profile", "BitRate", "SamplingRate", "Channel(s)",
                            "Format_Settings_Mode", "FrameCount", "SamplesPerFrame"});
        const std::map<std::string, std::string> versions = {
            {"MPEG-1", "Version 1"}, {"MPEG-2 or 2.5", "Version 2"}, {"MPEG-2.5", "Version 2.5"}};
        EXPECT_EQ(versions.at(Mp3_VersionName(m)), p["Format_Version"]);
        EXPECT_EQ(p["Format_Profile"], "Layer " + std::to_string(Mp3_LayerIndex(m) + 1));
        EXPECT_EQ(std::to_string(Mp3_SamplingRate(m)), p["SamplingRate"]);
        const unsigned mode = m->headerBytes[3] & 0xC0, channels = mode == 0xC0 ? 1 : 2;
        EXPECT_EQ(std::to_string(channels), p["Channel(s)"]);
        EXPECT_EQ(mode == 0x40, p["Format_Settings_Mode"] == "Joint stereo");
        EXPECT_EQ(m->pcmSize, std::stoul(p["SamplesPerFrame"]) * 2 * channels);

        // The six bytes stand at the header position of the file itself.
        std::ifstream f(kDir + "/files/" + name, std::ios::binary);
        std::array<char, 6> bytes{};
        f.seekg(m->headerPosition).read(bytes.data(), 6);
        EXPECT_EQ(std::memcmp(bytes.data(), m->headerBytes, 6), 0);

        EXPECT_EQ(std::to_string(Mp3_Bitrate(m) * 1000), p["BitRate"]); // ffmpeg's mp2 is CBR
        // Frames and whole seconds of the length from the audio size at a constant bitrate (ffprobe's
        // duration leaves out the encoder's delay and padding).
        auto probe = KeyValues(RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate:"
                                          "format=duration -of default=nw=1 " +
                                          kDir + "/files/" + name));
        EXPECT_EQ(probe["codec_name"], "mp2");
        EXPECT_EQ(std::to_string(Mp3_SamplingRate(m)), probe["sample_rate"]);
        EXPECT_LE(std::labs(long(m->frames) - std::stol(p["FrameCount"])), 1L)
            << "frames " << p["FrameCount"];
        EXPECT_LT(std::fabs(m->length - std::stod(probe["duration"])), 1.0) << probe["duration"];
    }
    // Files whose first frame is audio (no Info frame): ffprobe's first packet is the header's frame, whose
    // length `ckvd info` does not show.
    for (const char* name : {"m1mono.mp3", "m2vbr.mp3", "layer2.mp2", "m25cbr.mp3", "layer2m2.mp2"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        const std::string out =
            RunCommand("ffprobe -v error -show_packets -read_intervals %+#1 -show_entries "
                       "packet=pos,size -of default=nw=1 " +
                       kDir + "/files/" + name);
        EXPECT_NE(out.find("pos=" + std::to_string(g_MpegHeader->headerPosition) + "\n"), std::string::npos)
            << out;
        EXPECT_NE(out.find("size=" + std::to_string(g_MpegHeader->frameLength) + "\n"), std::string::npos)
            << out;
    }
}

TEST_F(Mp3Disc, ReportTextsAreTheShownOnesInShiftJis) {
    // All of these texts have JIS X 0208 codes; the shown ones are compared with mediainfo in tests/tools.
    for (const char* name :
         {"m1cbr.mp3", "m1vbr.mp3", "m2cbr.mp3", "m1latin.mp3", "m1abr.mp3", "m25cbr.mp3"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        const Id3v2Tag *t = g_Id3v2Tag, *shown = g_Id3v2TagText;
        const char* ours[] = {t->title, t->artist,   t->album,          t->year,
                              t->track, t->composer, t->originalArtist, t->encoder};
        const char* display[] = {shown->title, shown->artist,   shown->album,          shown->year,
                                 shown->track, shown->composer, shown->originalArtist, shown->encoder};
        for (size_t i = 0; i < std::size(ours); ++i)
            EXPECT_EQ(ours[i] ? testdisc::Utf8(ours[i]) : "", display[i] ? display[i] : "") << i;
    }
}

} // namespace
