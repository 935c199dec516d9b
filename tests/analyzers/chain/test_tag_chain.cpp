// Tag Information's chain over files whose names lie about their content: it goes down its table from the row
// the name selects, and the kind it leaves decides what the next request runs.
#include "../analyzer_tests.h"
#include "analyzers/tag_chain.h"

namespace {

using antest::OnDisc;
const std::string kDir = CKVD_CHAIN_FIXTURES;

TEST(TagChain, NamesSelectTheFirstRowAndTheSettledKindTheNextRequest) {
    antest::LoadDisc(kDir + "/chain.iso");
    for (int (*init)() : {Cda_Initialize, Mp3_Initialize, Wmf_Initialize, Wav_Initialize, Jpg_Initialize})
        ASSERT_EQ(init(), 1);

    struct Case {
        const char* name;
        TagAnalyzer analyzer;
        uint16_t kind;
    };
    const Case cases[] = {
        // A .wma starts at the Windows Media row: MP3 lies above it and is never tried.
        {"mp3_named.wma", TagAnalyzer::None, 0x8800},
        // MP3 finds no frame sync in silence, Windows Media no ASF header, WAV accepts.
        {"wav_named.mp3", TagAnalyzer::Wav, 0x8002},
        {"wav24_named.mp3", TagAnalyzer::Wav, 0x8002},
        {"text_named.mp3", TagAnalyzer::None, 0x8800},
        // JPG is the last row: a JPEG is its own.
        {"picture.jpg", TagAnalyzer::Jpg, 0x8010},
        {"real.mp3", TagAnalyzer::Mp3, 0x8004},
        // The CDA row cannot open a track file on a data disc and passes the file down to WAV.
        {"TRACK01.CDA", TagAnalyzer::Wav, 0x8002},
    };
    for (int round = 1; round <= 2; ++round)
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", request " + std::to_string(round));
            FileEntry* e = OnDisc(c.name);
            EXPECT_EQ(Tag_Analyze(e), c.analyzer);
            EXPECT_EQ(e->kind, c.kind);
        }
    // A settled 0x8800 is not classified again: even a real MP3 then gets the message.
    FileEntry* mp3 = OnDisc("real.mp3");
    mp3->kind = 0x8800;
    EXPECT_EQ(Tag_Analyze(mp3), TagAnalyzer::None);
    EXPECT_EQ(mp3->kind, 0x8800);

    for (void (*term)() : {Jpg_Terminate, Wav_Terminate, Wmf_Terminate, Mp3_Terminate, Cda_Terminate})
        term();
    Iso_Terminate();
    Aspi_Terminate();
}

} // namespace
