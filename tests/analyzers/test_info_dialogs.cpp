// The analyzers' initialise and terminate, and the information dialogs' content (and `ckvd info`'s text of
// it) over results set by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/cda/cda_module.h"
#include "analyzers/mp3/mp3_dlg_model.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/tag_chain.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"
#include "golden.h"
#include "iso9660/iso_internal.h"

namespace {

template <class T> T* Record() {
    return static_cast<T*>(Analyzer_Alloc(sizeof(T)));
}

char* Text(const char* s) {
    char* t = static_cast<char*>(Analyzer_Alloc(std::strlen(s) + 1));
    std::memcpy(t, s, std::strlen(s) + 1);
    return t;
}

FileEntry Entry() {
    FileEntry e{};
    e.type = 'F';
    std::strcpy(e.name, "SONG.MP3;1");
    const uint8_t date[7] = {102, 10, 21, 9, 5, 7, 36};
    std::memcpy(e.date, date, 7);
    e.lbn = 4500;
    e.size = 1000000;
    return e;
}

std::string Value(const std::vector<InfoField>& fields, const std::string& label) {
    for (const InfoField& f : fields)
        if (f.label == label)
            return f.value;
    return "<none>";
}
std::string Dump(const std::vector<InfoField>& fields) {
    std::string out;
    for (const InfoField& f : fields)
        out += f.label + ": " + f.value + "\n";
    return out;
}

void TerminateAll() {
    for (void (*term)() : {Jpg_Terminate, Wav_Terminate, Wmf_Terminate, Mp3_Terminate, Cda_Terminate})
        term();
}

TEST(AnalyzerLifecycle, InitialiseAndTerminate) {
    TerminateAll(); // without initialise: releases nothing, twice over
    TerminateAll();
    // Start-up order; records are allocated zero-filled and released again.
    for (int (*init)() : {Cda_Initialize, Mp3_Initialize, Wmf_Initialize, Wav_Initialize, Jpg_Initialize})
        ASSERT_EQ(init(), 1);
    ASSERT_TRUE(g_CdaHeader && g_WavHeader);
    EXPECT_EQ(g_CdaHeader->trackStart + g_WavHeader->channels, 0u);
    TerminateAll();
    EXPECT_TRUE(!g_CdaHeader && !g_WavHeader);
    // Out of memory: the module's code, 0xFF under its high byte.
    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Cda_Initialize(), 0x30FF);
    EXPECT_EQ(Wav_Initialize(), 0x60FF);
    EXPECT_EQ(Mp3_Initialize() + Wmf_Initialize(), 2);
    Analyzer_SetHeapExhausted(false);
    TerminateAll();
    // Terminate releases owned texts and lists (the sanitizer build reports any leak).
    g_Id3v2Tag = Record<Id3v2Tag>();
    g_Id3v2Tag->title = Text("title");
    g_Mp3TagFlags = MP3_TAG_ID3V2_3;
    g_AsfDescriptors = Record<AsfDescriptor>();
    g_AsfDescriptors->name = Text("name");
    g_AsfDescriptors->next = Record<AsfDescriptor>();
    TerminateAll();
    EXPECT_TRUE(!g_Id3v2Tag && !g_Mp3TagFlags && !g_AsfDescriptors);
}

class InfoDialogs : public ::testing::Test {
  protected:
    void TearDown() override {
        Mp3_ReleaseResults();
        Wmf_ReleaseResults();
    }
};

TEST_F(InfoDialogs, HeaderBlockInTheThreeStyles) {
    const FileEntry e = Entry();
    ExpectGolden("analyzers/info_header.txt",
                 Dump(InfoDialogHeader(e, 0)) + Dump(InfoDialogHeader(e, 1)) + Dump(InfoDialogHeader(e, 2)));
    // A name the disc records beyond Shift-JIS shows as it is recorded.
    FileEntry named = Entry();
    iso_internal::SetEntryText(&named, "Dvo\u0159\u00E1k \U0001F3B5.mp3");
    EXPECT_EQ(InfoDialogHeader(named, 0)[0].value, "Dvo\u0159\u00E1k \U0001F3B5.mp3");
}

TEST_F(InfoDialogs, Mp3VersionSwitchAndFrameHeader) {
    // An ID3v2.3 tag with title and artist, no ID3v1 tag; a protected MPEG-1 Layer III frame.
    g_Mp3TagFlags = MP3_TAG_ID3V2_3;
    g_Id3v2TagText = Record<Id3v2Tag>();
    g_Id3v2TagText->title = Text("Sakura");
    g_Id3v2TagText->artist = Text("Artist");
    g_MpegHeader = Record<MpegHeaderInfo>();
    const uint8_t header[6] = {0xFF, 0xFA, 0x92, 0x64, 0x12, 0x34};
    std::memcpy(g_MpegHeader->headerBytes, header, 6);
    g_MpegHeader->headerPosition = 417;
    const FileEntry e = Entry();
    CMp3DlgModel dlg(&e);
    dlg.OnInitDialog(0);
    // Without an ID3v1 tag the dialog opens on the ID3v2 tag, the one the file has.
    EXPECT_EQ(dlg.TagVersions(), (std::vector<std::string>{"v1.?", "v2.3"}));
    EXPECT_EQ(dlg.SelectedVersion(), 1);
    EXPECT_EQ(dlg.TagValues()[1] + "|" + dlg.TagValues()[2] + "|" + dlg.TagValues()[3], "Sakura|Artist| ");
    dlg.OnSelchangeTagVersion(0);
    EXPECT_EQ(dlg.TagValues()[1], " ");

    // An ID3v1.0 tag shows track 0, and ckvd info prints both versions and the MPEG fields of the protected
    // MPEG-1 Layer III frame.
    g_Mp3TagFlags |= MP3_TAG_ID3V1_0;
    g_Id3v1Tag = Record<Id3v1Tag>();
    std::memcpy(g_Id3v1Tag->title, "Old Title", 9);
    std::memcpy(g_Id3v1Tag->year, "2002", 4);
    // ID3v1 texts name no character set: UTF-8 where they are valid UTF-8, Shift-JIS where every high byte
    // forms a Shift-JIS character, else ISO-8859-1.
    const std::pair<const char*, const char*> titles[] = {
        {"\xC0 la carte \xE9t\xE9", "\u00C0 la carte \u00E9t\u00E9"},
        {"\x89\xB9\x8A\x79 A", "\u97F3\u697D A"},
        {"\x89\xB9\xDF", "\u0089\u00B9\u00DF"},
        {"Dvo\xC5\x99\xC3\xA1k", "Dvo\u0159\u00E1k"}};
    for (auto [bytes, shown] : titles) {
        std::memset(g_Id3v1Tag->title, 0, sizeof g_Id3v1Tag->title);
        std::memcpy(g_Id3v1Tag->title, bytes, std::strlen(bytes));
        dlg.OnInitDialog(0);
        EXPECT_EQ(dlg.SelectedVersion(), 0); // with both tags, ID3v1 first
        EXPECT_EQ(dlg.TagValues()[1], shown) << bytes;
    }
    std::memcpy(g_Id3v1Tag->title, "Old Title", 10);
    ExpectGolden("analyzers/mp3_info.txt", Tag_InfoText(TagAnalyzer::Mp3, e, 0));
}

TEST_F(InfoDialogs, WindowsMediaFields) {
    g_AsfFileProperties = Record<AsfFileProperties>();
    const uint64_t duration = 2345000000000ull; // 234 500 seconds
    std::memcpy(g_AsfFileProperties->bytes + 64, &duration, 8);
    g_AsfFileProperties->bytes[88] = 2; // seekable
    g_AsfFileProperties->bytes[100] = 0x00;
    g_AsfFileProperties->bytes[101] = 0xFA; // 64000
    g_AsfExtendedContent = Record<AsfExtendedContent>();
    g_AsfExtendedContent->head[24] = 2;
    g_AsfDescriptors = Record<AsfDescriptor>();
    g_AsfDescriptors->nameText = Text("WM/GenreX"); // one more character: not the genre
    g_AsfDescriptors->next = Record<AsfDescriptor>();
    g_AsfDescriptors->next->nameText = Text("WM/AlbumTitle");
    g_AsfCodecEntries = Record<AsfCodecEntry>();
    g_AsfCodecEntries->type = 1; // video only
    g_AsfCodecEntries->nameText = Text("Video Codec");
    const FileEntry e = Entry();
    CWmfDlgModel dlg(&e);
    dlg.OnInitDialog(0);
    // Seekable, not broadcast; no Content Description Object; the genre's name with one more character and
    // a video codec alone fill nothing.
    ExpectGolden("analyzers/wmf_fields.txt", Dump(dlg.Fields()));
    EXPECT_FALSE(CWmfDlgModel::FieldEnabled("Trusted"));
    // The preroll (milliseconds) is not played; one longer than the play duration leaves nothing.
    for (auto [preroll, shown] : {std::pair<uint64_t, const char*>{5000, "3908:15"},
                                  {234500000, " 0:00"},
                                  {234500001, " 0:00"},
                                  {~0ull, " 0:00"}}) {
        std::memcpy(g_AsfFileProperties->bytes + 80, &preroll, 8);
        dlg.OnInitDialog(0);
        EXPECT_EQ(Value(dlg.Fields(), "Duration"), shown) << preroll;
    }
}

TEST_F(InfoDialogs, WaveFormatList) {
    std::string rows;
    for (const auto& [code, name] : Wav_FormatRows())
        rows += code + " " + name + "\n";
    ExpectGolden("analyzers/wav_formats.txt", rows);
}

} // namespace
