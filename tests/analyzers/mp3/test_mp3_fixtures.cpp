// Files from lame and ffmpeg, tagged by id3v2 and eyeD3, on a genisoimage -J disc in an image drive: each
// analysis is compared with what mediainfo, ffprobe and id3v2 -l report for the same file.
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <regex>

#include "../analyzer_tests.h"
#include "analyzers/mp3/mp3_dlg_model.h"
#include "analyzers/mp3/mp3_module.h"

namespace {

using namespace antest;
const std::string kDir = CKVD_MP3_FIXTURES;
const char* const kFiles[] = {"m1cbr.mp3",    "m1vbr.mp3",  "m1mono.mp3", "m2cbr.mp3",  "m2vbr.mp3",
                              "m1latin.mp3",  "layer2.mp2", "m1abr.mp3",  "m25vbr.mp3", "m25cbr.mp3",
                              "layer2m2.mp2", "apev1.mp3",  "intl23.mp3", "intl24.mp3"};

// mediainfo --Inform fields of one section, field name -> value.
std::map<std::string, std::string> Mediainfo(const std::string& file, const std::string& section,
                                             const std::vector<std::string>& fields) {
    std::string inform = section + ";";
    for (const std::string& f : fields)
        inform += f + "=%" + f + "%\\n";
    return KeyValues(RunCommand("mediainfo '--Inform=" + inform + "' " + kDir + "/files/" + file));
}

class Mp3Disc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { LoadDisc(kDir + "/mp3.iso"); }
    static void TearDownTestSuite() {
        Mp3_Terminate();
        Iso_Terminate();
        Aspi_Terminate();
    }
    static int Analyze(const std::string& name) { return Mp3_Analyze(OnDisc(name)); }
};

TEST_F(Mp3Disc, FrameHeaderAgreesWithMediainfoAndFfprobe) {
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        const MpegHeaderInfo* m = g_MpegHeader;
        auto p = Mediainfo(name, "Audio",
                           {"Format_Version", "Format_Profile", "BitRate_Mode", "BitRate", "SamplingRate",
                            "Channel(s)", "Format_Settings_Mode", "FrameCount", "SamplesPerFrame"});
        const std::map<std::string, std::string> versions = {
            {"MPEG-1", "Version 1"}, {"MPEG-2 or 2.5", "Version 2"}, {"MPEG-2.5", "Version 2.5"}};
        EXPECT_EQ(versions.at(Mp3_VersionName(m)), p["Format_Version"]);
        EXPECT_EQ(p["Format_Profile"], "Layer " + std::to_string(Mp3_LayerIndex(m) + 1));
        EXPECT_EQ(std::to_string(Mp3_SamplingRate(m)), p["SamplingRate"]);
        const unsigned mode = m->headerBytes[3] & 0xC0, channels = mode == 0xC0 ? 1 : 2;
        EXPECT_EQ(std::to_string(channels), p["Channel(s)"]);
        EXPECT_EQ(mode == 0x40, p["Format_Settings_Mode"] == "Joint stereo");
        if (!p["SamplesPerFrame"].empty()) { // mediainfo leaves it out for VBR without an Info frame
            EXPECT_EQ(m->pcmSize, std::stoul(p["SamplesPerFrame"]) * 2 * channels);
        }

        // The six bytes stand at the header position of the file itself.
        std::ifstream f(kDir + "/files/" + name, std::ios::binary);
        std::array<char, 6> bytes{};
        f.seekg(m->headerPosition).read(bytes.data(), 6);
        EXPECT_EQ(std::memcmp(bytes.data(), m->headerBytes, 6), 0);

        if (p["BitRate_Mode"] == "CBR") {
            EXPECT_EQ(std::to_string(Mp3_Bitrate(m) * 1000), p["BitRate"]);
        }
        // Frames and whole seconds of the length (ffprobe's duration leaves out the encoder's delay and
        // padding) from the Xing/Info header, or from the audio size at a constant bitrate; never from a VBR
        // file's first frame. m2vbr.mp3 is VBR without a Xing header: its figures are the bitrate's estimate.
        auto probe = KeyValues(RunCommand("ffprobe -v error -show_entries stream=codec_name,sample_rate:"
                                          "format=duration -of default=nw=1 " +
                                          kDir + "/files/" + name));
        EXPECT_EQ(probe["codec_name"], Mp3_LayerIndex(m) == 1 ? "mp2" : "mp3");
        EXPECT_EQ(std::to_string(Mp3_SamplingRate(m)), probe["sample_rate"]);
        if (std::string(name) != "m2vbr.mp3") {
            EXPECT_LE(std::labs(long(m->frames) - std::stol(p["FrameCount"])), 1L)
                << "frames " << p["FrameCount"];
            EXPECT_LT(std::fabs(m->length - std::stod(probe["duration"])), 1.0) << probe["duration"];
        }
    }
    // Files whose first frame is audio (no Info frame): ffprobe's first packet is the header's frame.
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
    // lame -p: the frames carry a CRC (protection bit clear), taken as the two bytes after the header.
    ASSERT_EQ(Analyze("m1vbr.mp3"), 1);
    EXPECT_EQ(g_MpegHeader->headerBytes[1] & 0x01, 0);
    ASSERT_EQ(Analyze("m1cbr.mp3"), 1);
    EXPECT_EQ(g_MpegHeader->headerBytes[1] & 0x01, 1);
}

TEST_F(Mp3Disc, Id3v2TextsAgreeWithMediainfo) {
    const std::vector<std::string> fields = {
        "Title",    "Performer",          "Album",    "Recorded_Date", "Track/Position",
        "Composer", "Original/Performer", "EncodedBy"};
    // Versions as the tools write them: id3v2 and eyeD3 --to-v2.3 2.3, eyeD3 --to-v2.4 and mid3v2 2.4.
    const std::pair<const char*, uint16_t> files[] = {
        {"m1cbr.mp3", MP3_TAG_ID3V2_3},   {"m1vbr.mp3", MP3_TAG_ID3V2_3}, {"m2cbr.mp3", MP3_TAG_ID3V2_3},
        {"m1latin.mp3", MP3_TAG_ID3V2_3}, {"m1abr.mp3", MP3_TAG_ID3V2_4}, {"m25cbr.mp3", MP3_TAG_ID3V2_4}};
    for (const auto& [name, version] : files) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        EXPECT_EQ(g_Mp3TagFlags & MP3_TAG_ID3V2, version);
        auto p = Mediainfo(name, "General", fields);
        // The texts shown, and the report's Shift-JIS forms of these (all of them have JIS X 0208 codes).
        const Id3v2Tag *t = g_Id3v2Tag, *shown = g_Id3v2TagText;
        const char* ours[] = {t->title, t->artist,   t->album,          t->year,
                              t->track, t->composer, t->originalArtist, t->encoder};
        const char* display[] = {shown->title, shown->artist,   shown->album,          shown->year,
                                 shown->track, shown->composer, shown->originalArtist, shown->encoder};
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(display[i] ? display[i] : "", p[fields[i]]) << fields[i];
            EXPECT_EQ(ours[i] ? testdisc::Utf8(ours[i]) : "", p[fields[i]]) << fields[i];
        }
        // Tag sizes as the header bytes give them; lame's audio follows the tag directly.
        EXPECT_EQ(g_MpegHeader->headerPosition, t->tagSize);
    }
    // Genres as written: eyeD3 a name, id3v2 the ID3v1 number in parentheses (ID3v2.3 TCON form).
    ASSERT_EQ(Analyze("m1vbr.mp3"), 1);
    EXPECT_EQ(std::string(g_Id3v2Tag->genre), Mediainfo("m1vbr.mp3", "General", {"Genre"})["Genre"]);
    ASSERT_EQ(Analyze("m1cbr.mp3"), 1);
    EXPECT_STREQ(g_Id3v2Tag->genre, "(13)");
    // COMM is one text to its first zero byte: id3v2 leaves the language zero, eyeD3 writes "eng".
    EXPECT_STREQ(g_Id3v2Tag->comment, "");
    ASSERT_EQ(Analyze("m1latin.mp3"), 1);
    EXPECT_STREQ(g_Id3v2Tag->comment, "eng");
}

TEST_F(Mp3Disc, TextsBeyondShiftJisShowAsMutagenReadsThem) {
    for (const char* name : {"intl23.mp3", "intl24.mp3"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        auto frames = KeyValues(RunCommand("mid3v2 -l " + kDir + "/files/" + name)); // "TIT2=text" lines
        const Id3v2Tag* t = g_Id3v2TagText;
        EXPECT_EQ(t->title ? t->title : "", frames["TIT2"]);
        EXPECT_EQ(t->artist ? t->artist : "", frames["TPE1"]);
        EXPECT_EQ(t->album ? t->album : "", frames["TALB"]);
    }
    // The ID3v1 title is Latin-1 (id3v2 -l prints its byte 0xDF as it stands).
    ASSERT_NE(RunCommand("id3v2 -l " + kDir + "/files/intl24.mp3")
                  .find("Title  : Gro\xDF"
                        "e "),
              std::string::npos);
    CMp3DlgModel dlg(nullptr);
    dlg.OnInitDialog(0);
    EXPECT_EQ(dlg.TagValues()[1], "Gro\u00DF"
                                  "e");
}

TEST_F(Mp3Disc, Id3v1AgreesWithId3v2Tool) {
    const std::regex first(R"(Title  : (.{30})  Artist: (.*))"),
        second(R"(Album  : (.{30})  Year: (.{4}), Genre: .*\((\d+)\))"),
        third(R"(Comment: (.{30})  Track: (\d+))");
    auto trim = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
    // apev1.mp3 has an APEv2 tag ("APETAGEX") just before its ID3v1 tag.
    for (const char* name : {"m1cbr.mp3", "m2cbr.mp3", "m2vbr.mp3", "apev1.mp3"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        const std::string out = RunCommand("id3v2 -l " + kDir + "/files/" + name);
        std::smatch a, b, c;
        ASSERT_TRUE(std::regex_search(out, a, first) && std::regex_search(out, b, second) &&
                    std::regex_search(out, c, third))
            << out;
        const Id3v1Tag* t = g_Id3v1Tag;
        EXPECT_EQ(t->title, trim(a[1]));
        EXPECT_EQ(t->artist, trim(a[2]));
        EXPECT_EQ(t->album, trim(b[1]));
        EXPECT_EQ(trim(std::string(t->year, 4).c_str()), trim(b[2]));
        EXPECT_EQ(t->genre, std::stoi(b[3]));
        EXPECT_EQ(t->comment, trim(c[1]));
        EXPECT_EQ(t->track, std::stoi(c[2]));
        // eyeD3 left the track 0: version 1.0; the others 1.1.
        EXPECT_EQ(g_Mp3TagFlags & MP3_TAG_ID3V1, t->track ? MP3_TAG_ID3V1_1 : MP3_TAG_ID3V1_0);
    }
    // A file with ID3v1 alone: the audio size is the file less 128 bytes.
    ASSERT_EQ(Analyze("m2vbr.mp3"), 1);
    EXPECT_EQ(g_Mp3TagFlags, MP3_TAG_ID3V1_0);
    ASSERT_EQ(Analyze("m1mono.mp3"), 1);
    EXPECT_EQ(g_Mp3TagFlags, 0);
    EXPECT_EQ(g_MpegHeader->headerPosition, 0u);
}

} // namespace
