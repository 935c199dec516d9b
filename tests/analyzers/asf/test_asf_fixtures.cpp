// ffmpeg's WMA files on a genisoimage disc in an image drive: what `ckvd info` (tests/tools) does not show
// (WM/TrackNumber, WM/Year, the report's Shift-JIS texts, a refusal's code) compared with mediainfo.
#include "../analyzer_tests.h"
#include "analyzers/asf/wmf_module.h"

namespace {

using namespace antest;
const std::string kDir = CKVD_ASF_FIXTURES;

std::string Mediainfo(const std::string& file, const std::string& inform) {
    std::string out = RunCommand("mediainfo '--Inform=" + inform + "' '" + kDir + "/" + file + "'");
    return out.erase(out.find_last_not_of('\n') + 1);
}

// The report's Shift-JIS form of a kept text, which must be the shown one: these files' texts all have
// JIS X 0208 codes.
void ExpectSameText(const char* sjis, const char* utf8) {
    bool whole = false;
    EXPECT_EQ(sjis ? testdisc::Utf8(sjis, &whole) : "", utf8 ? utf8 : "");
    EXPECT_TRUE(!sjis || whole) << sjis;
}

struct AsfDisc : ImageDiscSuite<Wmf_Analyze, Wmf_Terminate> {
    static void SetUpTestSuite() {
        LoadDisc(kDir + "/asf.iso");
        Wmf_Initialize();
    }
};

TEST_F(AsfDisc, TaggedFilesWithTheTrackAsAStringOrADword) {
    for (auto [name, type] :
         {std::pair{"wmav2_tags.wma", WMF_VALUE_STRING}, {"wmav1_dword.wma", WMF_VALUE_DWORD}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Analyze(name), 1);
        for (auto [attribute, field] :
             {std::pair{"WM/TrackNumber", "Track/Position"}, {"WM/Year", "Recorded_Date"}}) {
            char text[256];
            Wmf_AttributeText(Wmf_FindAttribute(attribute), text, sizeof text);
            const std::string shown = Wmf_AttributeDisplayText(Wmf_FindAttribute(attribute));
            ExpectSameText(text, shown.c_str());
            EXPECT_EQ(shown, Mediainfo(name, std::string("General;%") + field + "%")) << attribute;
        }
        const AsfDescriptor* track = Wmf_FindAttribute("WM/TrackNumber");
        ASSERT_NE(track, nullptr);
        EXPECT_EQ(track->valueType, type);
        EXPECT_TRUE(type != WMF_VALUE_DWORD || track->valueLength == 4) << track->valueLength;

        const AsfContentDescription* c = g_AsfContentDescription;
        ASSERT_NE(c, nullptr);
        ExpectSameText(c->title, c->titleText);
        ExpectSameText(c->author, c->authorText);
        ExpectSameText(c->copyright, c->copyrightText);
        ExpectSameText(c->description, c->descriptionText);
        for (const AsfCodecEntry* e = g_AsfCodecEntries; e; e = e->next) {
            ExpectSameText(e->name, e->nameText);
            ExpectSameText(e->description, e->descriptionText);
        }
    }
}

TEST_F(AsfDisc, WaveFileNamedWmaIsNotAsf) {
    EXPECT_EQ(Mediainfo("not_asf.wma", "General;%Format%"), "Wave");
    EXPECT_EQ(Analyze("not_asf.wma"), 0x5001);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
}

} // namespace
