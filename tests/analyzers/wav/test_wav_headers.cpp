// Wav_Analyze over hand-made RIFF headers: only the file's sectors are served by a fake drive (any other
// sector fails), and every analysis is checked to have read none but the file's.
#include "../analyzer_tests.h"
#include "analyzers/wav/wav_module.h"

namespace {

using namespace antest;

// The 36 bytes up to the end of a 16-byte chunk `id` (stereo, 44100 Hz, 16 bits), then `rest`.
Bytes Wave(uint32_t riffSize, uint16_t tag, uint32_t avgBytes, Bytes rest = Bytes(64),
           const char* id = "fmt ") {
    return Text("RIFF") + Le(riffSize, 4) + Text("WAVE") + Text(id) + Le(16, 4) + Le(tag, 2) + Le(2, 2) +
           Le(44100, 4) + Le(avgBytes, 4) + Le(4, 2) + Le(16, 2) + rest;
}

using WavHeaders = FileOnDrive<Wav_Initialize, Wav_Analyze, Wav_Terminate>;

TEST_F(WavHeaders, PlayLength) {
    // (Sound files' lengths against ffprobe: tests/tools.)
    struct Case {
        uint32_t riffSize;
        uint16_t tag;
        uint32_t avg;
        Bytes at36;
        uint32_t length;
    } cases[] = {
        // 2036 bytes: PCM has 2000 after its 36, a non-PCM file with 2 extra format bytes 1996.
        {2028, 1, 1000, {2, 0}, 2},
        {2028, 2, 1000, {2, 0}, 1},
        {2028, 1, 0, {}, 0},
        // The RIFF size alone counts, not the file's: near 4 GiB the sum must not wrap.
        {0xFFFFFFFF, 1, 1000, {}, 4294967},
        {0xFFFFFFFF, 1, 1, {}, 4294967267u},
        // Smaller than the header: nothing left to play, not a huge number.
        {4, 1, 1, {}, 0},
        {28, 1, 1, {}, 0},
        {29, 1, 1, {}, 1},
        {32, 2, 1, {2, 0}, 0},
        {33, 2, 1, {2, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.riffSize << " " << c.tag << " " << c.avg);
        Bytes rest = c.at36;
        rest.resize(64);
        ASSERT_EQ(Analyze(Wave(c.riffSize, c.tag, c.avg, rest)), 1);
        EXPECT_EQ(g_WavLength, c.length);
    }
}

TEST_F(WavHeaders, DataChunkSizeWithinTheFile) {
    // After the 16-byte format chunk (1000 bytes/s): chunks as (id, size, bytes held), the RIFF size 0 as
    // streaming writers leave it. A data chunk found inside the file gives the length; else the RIFF size.
    struct Chunk {
        const char* id;
        uint32_t size;
        uint32_t held;
    };
    struct Case {
        std::vector<Chunk> chunks;
        uint32_t riffSize;
        uint32_t length;
    } cases[] = {
        {{{"LIST", 3, 4}, {"data", 2000, 2000}}, 0, 2}, // an odd size is padded to even
        {{{"fact", 4, 4}, {"data", 0xFFFFFFFF, 3000}}, 0xFFFFFFFF, 3},
        {{{"data", 0, 3000}}, 0, 3},
        {{{"data", 5000, 2999}}, 0, 2},                         // no more than the file holds
        {{{"data", 7000000, 7000000}}, 0, 7000},                // one block read, not the whole file
        {{{"JUNK", 0xFFFFFFF0, 8}, {"data", 10, 10}}, 2028, 2}, // past the file: the RIFF size counts
        {std::vector<Chunk>(300, {"JUNK", 0, 0}), 2028, 2},     // too many chunks to walk
    };
    for (const Case& c : cases) {
        Bytes rest;
        for (const Chunk& k : c.chunks)
            rest = rest + Text(k.id) + Le(k.size, 4) + Bytes(k.held, 0);
        if (c.chunks.size() == 300)
            rest = rest + Text("data") + Le(10, 4);
        SCOPED_TRACE(testing::Message() << c.chunks[0].id << " " << c.chunks[0].size);
        ASSERT_EQ(Analyze(Wave(c.riffSize, 1, 1000, rest)), 1);
        EXPECT_EQ(g_WavLength, c.length);
        if (c.length == 7000) {
            EXPECT_EQ(drive->reads.size(), 1u);
        }
    }
}

TEST_F(WavHeaders, ShortFilesAndFailures) {
    // The sector holds 10 27 at 36: a file of 36 bytes has no extra size (2), one of 37 has 0x10 (18), one
    // of 38 or more 0x2710 (10002). 11040 bytes at 1000 bytes/s.
    const Bytes sector = Wave(11032, 2, 1000, {0x10, 0x27, 0xAA, 0xAA});
    const std::pair<size_t, uint32_t> sizes[] = {{36, 11}, {37, 10}, {40, 1}};
    for (auto [size, length] : sizes) {
        ASSERT_EQ(Analyze(sector, size), 1);
        EXPECT_EQ(g_WavLength, length) << size;
    }
    EXPECT_EQ(Analyze(sector, 14), WAV_ERR_NOT_WAVE); // "fmt " cut off
    EXPECT_EQ(Analyze(sector, 0), WAV_ERR_NOT_WAVE);
    EXPECT_TRUE(drive->reads.empty()); // an empty file has no sector to read
    EXPECT_EQ(Analyze(Wave(2028, 1, 1000, Bytes(64), "LIST")), WAV_ERR_NOT_WAVE);

    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Analyze(Wave(2028, 1, 1000)), WAV_ERR_NO_MEMORY);
    Analyzer_SetHeapExhausted(false);

    // A sector the drive refuses gives the read's own code.
    uint8_t block[2048];
    const int refused = Aspi_ReadSectors(0, 5000, 2048, 1, block);
    ASSERT_NE(refused, ASPI_OK);
    ASSERT_NE(refused, 0);
    file.lbn = 5000;
    EXPECT_EQ(Wav_Analyze(&file), refused);

    // A drive claiming blocks of nearly 4 GiB: one block is asked for (and refused by this drive), not a
    // count wrapped to 0 and a header copied out of an empty buffer.
    g_DiscModel->firstSession->blockLength = 0xFFFFFFF0;
    EXPECT_NE(Analyze(Wave(2028, 1, 1000)), 1);
    ASSERT_FALSE(drive->reads.empty());
    EXPECT_EQ(drive->reads.back().count, 1);
}

} // namespace
