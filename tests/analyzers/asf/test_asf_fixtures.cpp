// WMA files made by ffmpeg (patched by make_fixtures.sh where ffmpeg cannot write a form) on a Joliet disc
// made by genisoimage, analysed through an image drive and the real ASPI manager, and compared with what
// mediainfo reports for the same files.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/asf/wmf_module.h"
#include "aspi/aspi_manager.h"
#include "image_disc.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"

namespace {

const std::string kDir = CKVD_ASF_FIXTURES;

using testdisc::RunCommand;

// mediainfo's view of a fixture file, field name -> value (UTF-8).
std::map<std::string, std::string> Mediainfo(const std::string& file) {
    const char* fields[] = {
        "Format",  "Duration", "OverallBitRate_Maximum", "Title", "Performer",    "Copyright",
        "Comment", "Album",    "Track/Position",         "Genre", "Recorded_Date"};
    std::string general = "General;";
    for (const char* f : fields)
        general += std::string(f) + "=%" + f + "%\\n";
    std::map<std::string, std::string> out;
    std::istringstream in(
        RunCommand("mediainfo '--Inform=" + general + "' '" + kDir + "/" + file + "'") +
        RunCommand("mediainfo '--Inform=Audio;Codec=%CodecID_Description%\\n' '" + kDir + "/" + file + "'"));
    std::string line;
    while (std::getline(in, line))
        if (size_t eq = line.find('='); eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
    return out;
}

std::string Utf8(const char* sjis) {
    bool whole = false;
    std::string text = testdisc::Utf8(sjis, &whole);
    EXPECT_TRUE(whole) << text;
    return text;
}

std::string Attribute(const char* name) {
    char text[256];
    Wmf_AttributeText(Wmf_FindAttribute(name), text, sizeof text);
    return Utf8(text);
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
        std::string error;
        ASSERT_EQ(testdisc::LoadImageDisc(kDir + "/asf.iso", &error), 1) << error;
        g_CurrentSession = 0;
        Wmf_Initialize();
    }
    static void TearDownTestSuite() {
        Wmf_Terminate();
        Iso_Terminate();
        Aspi_Terminate();
    }
    static inline FileEntry* s_entry = nullptr; // the file analysed last
    // Analyses the disc's file of this name (Joliet names are ASCII here).
    static int Analyze(const std::string& name) {
        const FileEntry* root =
            g_DiscModel && g_DiscModel->firstTree ? g_DiscModel->firstTree->root : nullptr;
        for (FileEntry* e = root ? root->firstChild : nullptr; e; e = e->nextSibling)
            if (name == e->name)
                return Wmf_Analyze(s_entry = e);
        ADD_FAILURE() << name << " is not on the disc";
        return -1;
    }
    // mediainfo's duration is the play duration (100 ns units) less the preroll (ms); the dialog shows it in
    // whole seconds as "%2d:%02d".
    static void ExpectDurationLikeMediainfo(const std::map<std::string, std::string>& peer) {
        ASSERT_NE(g_AsfFileProperties, nullptr);
        const uint64_t ms = std::stoull(peer.at("Duration"));
        EXPECT_EQ(Wmf_PlayDuration(g_AsfFileProperties) / 10000 - Wmf_Preroll(g_AsfFileProperties), ms);
        CWmfDlgModel dlg(s_entry);
        dlg.OnInitDialog(0);
        char shown[16];
        std::snprintf(shown, sizeof shown, "%2u:%02u", unsigned(ms / 60000), unsigned(ms / 1000 % 60));
        std::string duration;
        for (const InfoField& f : dlg.Fields())
            if (f.label == "Duration")
                duration = f.value;
        EXPECT_EQ(duration, shown);
    }
    // Everything mediainfo reports about a tagged file equals what the analysis kept.
    static void ExpectLikeMediainfo(const std::string& name) {
        SCOPED_TRACE(name);
        const auto peer = Mediainfo(name);
        ASSERT_EQ(peer.at("Format"), "Windows Media");
        ExpectDurationLikeMediainfo(peer);
        EXPECT_EQ(Wmf_MaximumBitrate(g_AsfFileProperties), std::stoul(peer.at("OverallBitRate_Maximum")));
        ASSERT_NE(g_AsfContentDescription, nullptr);
        EXPECT_EQ(Utf8(g_AsfContentDescription->title), peer.at("Title"));
        EXPECT_EQ(Utf8(g_AsfContentDescription->author), peer.at("Performer"));
        EXPECT_EQ(Utf8(g_AsfContentDescription->copyright), peer.at("Copyright"));
        EXPECT_EQ(Utf8(g_AsfContentDescription->description), peer.at("Comment"));
        EXPECT_EQ(Attribute("WM/AlbumTitle"), peer.at("Album"));
        EXPECT_EQ(Attribute("WM/TrackNumber"), peer.at("Track/Position"));
        EXPECT_EQ(Attribute("WM/Genre"), peer.at("Genre"));
        EXPECT_EQ(Attribute("WM/Year"), peer.at("Recorded_Date"));
        // mediainfo shows a codec entry as its name, then " - " and its description when it has one.
        const AsfCodecEntry* codec = FirstAudioCodec();
        ASSERT_NE(codec, nullptr);
        std::string shown = Utf8(codec->name);
        if (codec->description)
            shown += " - " + Utf8(codec->description);
        EXPECT_EQ(shown, peer.at("Codec"));
    }
};

TEST_F(AsfDisc, Wmav2WithEveryTagAndTheTrackAsAString) {
    ASSERT_EQ(Analyze("wmav2_tags.wma"), 1);
    ExpectLikeMediainfo("wmav2_tags.wma");
    const AsfDescriptor* track = Wmf_FindAttribute("WM/TrackNumber");
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->valueType, WMF_VALUE_STRING);
    EXPECT_EQ(Wmf_Flags(g_AsfFileProperties) & 2, 2u); // ffmpeg marks its files seekable
}

TEST_F(AsfDisc, Wmav1WithTheTrackAsADword) {
    ASSERT_EQ(Analyze("wmav1_dword.wma"), 1);
    ExpectLikeMediainfo("wmav1_dword.wma");
    const AsfDescriptor* track = Wmf_FindAttribute("WM/TrackNumber");
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->valueType, WMF_VALUE_DWORD);
    EXPECT_EQ(track->valueLength, 4);
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
    EXPECT_EQ(Utf8(FirstAudioCodec()->name), peer.at("Codec"));
}

TEST_F(AsfDisc, WaveFileNamedWmaIsNotAsf) {
    EXPECT_EQ(Mediainfo("not_asf.wma").at("Format"), "Wave");
    EXPECT_EQ(Analyze("not_asf.wma"), 0x5001);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
}

} // namespace
