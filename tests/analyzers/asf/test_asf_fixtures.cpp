// WMA files made by ffmpeg (patched by make_fixtures.sh where ffmpeg cannot write a form) on a Joliet disc
// made by genisoimage, analysed through an image drive and the real ASPI manager, and compared with what
// mediainfo reports for the same files.
#include <cstdio>

#include "../analyzer_tests.h"
#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/asf/wmf_module.h"

namespace {

using namespace antest;
const std::string kDir = CKVD_ASF_FIXTURES;

// mediainfo's view of a fixture file, field name -> value (UTF-8).
std::map<std::string, std::string> Mediainfo(const std::string& file) {
    std::string general = "General;";
    for (const char* f : {"Format", "Duration", "OverallBitRate_Maximum", "Title", "Performer", "Copyright",
                          "Comment", "Album", "Track/Position", "Genre", "Recorded_Date"})
        general += std::string(f) + "=%" + f + "%\\n";
    const std::string path = " '" + kDir + "/" + file + "'";
    return KeyValues(RunCommand("mediainfo '--Inform=" + general + "'" + path) +
                     RunCommand("mediainfo '--Inform=Audio;Codec=%CodecID_Description%\\n'" + path));
}

std::string Utf8(const char* sjis) {
    bool whole = false;
    std::string text = testdisc::Utf8(sjis, &whole);
    EXPECT_TRUE(whole) << text;
    return text;
}

// An attribute as the dialog shows it, after checking the report's Shift-JIS form against it.
std::string Attribute(const char* name) {
    char text[256];
    Wmf_AttributeText(Wmf_FindAttribute(name), text, sizeof text);
    const std::string shown = Wmf_AttributeDisplayText(Wmf_FindAttribute(name));
    EXPECT_EQ(Utf8(text), shown) << name;
    return shown;
}

// A kept text as the dialog shows it (UTF-8), after checking the report's Shift-JIS form against it: these
// files' texts all have JIS X 0208 codes.
std::string Shown(const char* sjis, const char* utf8) {
    EXPECT_EQ(sjis ? Utf8(sjis) : "", utf8 ? utf8 : "");
    return utf8 ? utf8 : "";
}

const AsfCodecEntry* FirstAudioCodec() {
    for (const AsfCodecEntry* e = g_AsfCodecEntries; e; e = e->next)
        if (e->type == 2)
            return e;
    return nullptr;
}

class AsfDisc : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        LoadDisc(kDir + "/asf.iso");
        Wmf_Initialize();
    }
    static void TearDownTestSuite() {
        Wmf_Terminate();
        Iso_Terminate();
        Aspi_Terminate();
    }
    static inline FileEntry* s_entry = nullptr; // the file analysed last
    static int Analyze(const std::string& name) { return Wmf_Analyze(s_entry = OnDisc(name)); }
    static std::map<std::string, std::string> Dialog() {
        CWmfDlgModel dlg(s_entry);
        dlg.OnInitDialog(0);
        return Fields(dlg.Fields());
    }
    // mediainfo's duration is the play duration (100 ns units) less the preroll (ms); the dialog shows it in
    // whole seconds as "%2d:%02d".
    static void ExpectDurationLikeMediainfo(const std::map<std::string, std::string>& peer) {
        ASSERT_NE(g_AsfFileProperties, nullptr);
        const uint64_t ms = std::stoull(peer.at("Duration"));
        EXPECT_EQ(Wmf_PlayDuration(g_AsfFileProperties) / 10000 - Wmf_Preroll(g_AsfFileProperties), ms);
        char shown[16];
        std::snprintf(shown, sizeof shown, "%2u:%02u", unsigned(ms / 60000), unsigned(ms / 1000 % 60));
        EXPECT_EQ(Dialog()["Duration"], shown);
    }
    // Everything mediainfo reports about a tagged file equals what the analysis kept.
    static void ExpectLikeMediainfo(const std::string& name) {
        const auto peer = Mediainfo(name);
        ASSERT_EQ(peer.at("Format"), "Windows Media");
        ExpectDurationLikeMediainfo(peer);
        EXPECT_EQ(Wmf_MaximumBitrate(g_AsfFileProperties), std::stoul(peer.at("OverallBitRate_Maximum")));
        ASSERT_NE(g_AsfContentDescription, nullptr);
        const AsfContentDescription* c = g_AsfContentDescription;
        EXPECT_EQ(Shown(c->title, c->titleText), peer.at("Title"));
        EXPECT_EQ(Shown(c->author, c->authorText), peer.at("Performer"));
        EXPECT_EQ(Shown(c->copyright, c->copyrightText), peer.at("Copyright"));
        EXPECT_EQ(Shown(c->description, c->descriptionText), peer.at("Comment"));
        EXPECT_EQ(Attribute("WM/AlbumTitle"), peer.at("Album"));
        EXPECT_EQ(Attribute("WM/TrackNumber"), peer.at("Track/Position"));
        EXPECT_EQ(Attribute("WM/Genre"), peer.at("Genre"));
        EXPECT_EQ(Attribute("WM/Year"), peer.at("Recorded_Date"));
        // mediainfo shows a codec entry as its name, then " - " and its description when it has one.
        const AsfCodecEntry* codec = FirstAudioCodec();
        ASSERT_NE(codec, nullptr);
        std::string shown = Shown(codec->name, codec->nameText);
        if (codec->description)
            shown += " - " + Shown(codec->description, codec->descriptionText);
        EXPECT_EQ(shown, peer.at("Codec"));
    }
};

TEST_F(AsfDisc, TaggedFilesWithTheTrackAsAStringOrADword) {
    for (auto [name, type] :
         {std::pair{"wmav2_tags.wma", WMF_VALUE_STRING}, {"wmav1_dword.wma", WMF_VALUE_DWORD}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        ExpectLikeMediainfo(name);
        const AsfDescriptor* track = Wmf_FindAttribute("WM/TrackNumber");
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->valueType, type);
        EXPECT_TRUE(type != WMF_VALUE_DWORD || track->valueLength == 4) << track->valueLength;
    }
    ASSERT_EQ(Analyze("wmav2_tags.wma"), 1);
    EXPECT_EQ(Wmf_Flags(g_AsfFileProperties) & 2, 2u); // ffmpeg marks its files seekable
}

TEST_F(AsfDisc, TextsBeyondShiftJisShowAsFfprobeReadsThem) {
    ASSERT_EQ(Analyze("intl.wma"), 1);
    auto tags = KeyValues(RunCommand("ffprobe -v error -show_entries format_tags=title,artist,album -of "
                                     "default=nw=1 " +
                                     kDir + "/intl.wma"));
    auto shown = Dialog();
    EXPECT_EQ(shown["Title"], tags["TAG:title"]);
    EXPECT_EQ(shown["Auther"], tags["TAG:artist"]);
    EXPECT_EQ(shown["WM/AlbumTitle"], tags["TAG:album"]);
    // The report keeps the folded Shift-JIS form.
    EXPECT_STREQ(g_AsfContentDescription->title, "GroBe Ubung");
}

TEST_F(AsfDisc, UntaggedFileKeepsFilePropertiesAndCodecListOnly) {
    // ffmpeg writes File Properties, Header Extension, Stream Properties and Codec List.
    ASSERT_EQ(Analyze("plain.wma"), 1);
    const auto peer = Mediainfo("plain.wma");
    EXPECT_EQ(peer.at("Title"), "");
    EXPECT_EQ(g_AsfContentDescription, nullptr);
    EXPECT_EQ(g_AsfExtendedContent, nullptr);
    ExpectDurationLikeMediainfo(peer); // 2 s
    ASSERT_NE(FirstAudioCodec(), nullptr);
    EXPECT_EQ(Shown(FirstAudioCodec()->name, FirstAudioCodec()->nameText), peer.at("Codec"));
}

TEST_F(AsfDisc, WaveFileNamedWmaIsNotAsf) {
    EXPECT_EQ(Mediainfo("not_asf.wma").at("Format"), "Wave");
    EXPECT_EQ(Analyze("not_asf.wma"), 0x5001);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
}

} // namespace
