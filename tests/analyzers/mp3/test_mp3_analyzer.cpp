// Mp3_Analyze over hand-made files: the file's sectors alone are served by a fake drive (any other sector
// fails), so every test also shows that nothing outside the file is read.
#include <algorithm>
#include <tuple>

#include "../analyzer_tests.h"
#include "analyzers/mp3/mp3_module.h"

namespace {

using namespace antest;

Bytes Be(uint32_t v, int width) {
    Bytes b = Le(v, width);
    return Bytes(b.rbegin(), b.rend());
}
// ID3v2 header with the four size bytes as given (whole bytes, as the tag size formula reads them).
Bytes Id3(uint8_t version, uint8_t flags, Bytes size) {
    return Bytes{'I', 'D', '3', version, 0, flags} + size;
}
Bytes Size7(uint32_t n) { // a tag size without the header, 7 bits a byte
    return {uint8_t(n >> 21 & 0x7F), uint8_t(n >> 14 & 0x7F), uint8_t(n >> 7 & 0x7F), uint8_t(n & 0x7F)};
}
Bytes Frame23(const char* id, const Bytes& content, uint32_t size = UINT32_MAX) {
    return Text(id) + Be(size == UINT32_MAX ? uint32_t(content.size()) : size, 4) + Bytes{0, 0} + content;
}
// Version 2.4: syncsafe size, then the two flag bytes.
Bytes Frame24(const char* id, const Bytes& content, uint8_t flags = 0, uint32_t size = UINT32_MAX) {
    return Text(id) + Size7(size == UINT32_MAX ? uint32_t(content.size()) : size) + Bytes{0, flags} + content;
}
Bytes Frame22(const char* id, const Bytes& content) {
    return Text(id) + Be(uint32_t(content.size()), 3) + content;
}
// A text frame's content: encoding 0, then the text.
Bytes Latin(const std::string& s) {
    return Bytes{0} + Text(s);
}
// A tag of `body` and `padding` zero bytes.
Bytes Tag(uint8_t version, uint8_t flags, const Bytes& body, size_t padding = 0) {
    return Id3(version, flags, Size7(uint32_t(body.size() + padding))) + body + Bytes(padding);
}
// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo, no CRC: 417-byte frames.
const Bytes kHeader = {0xFF, 0xFB, 0x90, 0x44, 0xAB, 0xCD};
// `n` bytes of frames of `length` bytes, each beginning with `header` (the last one cut short).
Bytes Frames(size_t n, const Bytes& header = kHeader, size_t length = 417) {
    Bytes b(n, 0);
    for (size_t p = 0; p < n; p += length)
        std::copy(header.begin(), header.begin() + long(std::min(header.size(), n - p)), b.begin() + long(p));
    return b;
}
Bytes Id3v1(uint8_t byte125, uint8_t byte126) {
    const auto field = [](const std::string& s, size_t n) { return Text(s) + Bytes(n - s.size()); };
    return Text("TAG") + field("Title", 30) + field("Artist", 30) + Bytes(30) + Text("1999") +
           Text(std::string(28, 'c')) + Bytes{byte125, byte126, 17};
}
// The texts kept of an ID3v2 tag, "name=text;" for each present one.
std::string Kept(const Id3v2Tag* t) {
    if (!t)
        return "";
    const char* names[] = {"title", "artist",   "album",    "year",      "comment", "track",
                           "genre", "composer", "original", "copyright", "url",     "encoder"};
    const char* texts[] = {t->title, t->artist,   t->album,          t->year,      t->comment, t->track,
                           t->genre, t->composer, t->originalArtist, t->copyright, t->url,     t->encoder};
    std::string out;
    for (size_t i = 0; i < std::size(names); ++i)
        if (texts[i])
            out += std::string(names[i]) + "=" + texts[i] + ";";
    return out;
}

using Mp3Analyzer = FileOnDrive<Mp3_Initialize, Mp3_Analyze, Mp3_Terminate>;
const std::string kHiraganaA = "\x82\xA0"; // U+3042 in Shift-JIS

TEST_F(Mp3Analyzer, HeaderSearch) {
    // No "ID3": header at byte 0, no ID3v2 flag; A = size less the ID3v1 tag = 32000 (the frame figures of
    // lame's files against mediainfo and ffprobe: tests/tools).
    ASSERT_EQ(Analyze(Frames(32000) + Id3v1(0, 3)), 1);
    EXPECT_EQ(g_Mp3TagFlags, MP3_TAG_ID3V1_1);
    EXPECT_EQ(g_MpegHeader->headerPosition, 0u);
    EXPECT_EQ(g_MpegHeader->length, 32000u / 16000);

    // A header in the last two bytes of a sector takes its six bytes across the boundary.
    ASSERT_EQ(Analyze(Bytes(2046, 0x7F) + Frames(3006)), 1);
    EXPECT_EQ(g_MpegHeader->headerPosition, 2046u);
    EXPECT_EQ(Bytes(g_MpegHeader->headerBytes, g_MpegHeader->headerBytes + 6), kHeader);

    // A candidate counts when every field is defined and the frame it announces is followed by a header of
    // the same version, layer and sampling rate (where the file holds one); else the search goes on.
    struct Case {
        Bytes file;
        int rc;
        uint32_t position;
    } cases[] = {
        {Bytes{0xFF, 0xFF, 0x7F, 0xFF} + Frames(3000), 1, 4},                  // sampling index 3
        {Bytes{0xFF, 0xFB, 0xF0, 0x00} + Frames(3000), 1, 4},                  // bitrate index 15
        {Bytes{0xFF, 0xE9, 0x90, 0x44} + Frames(3000), 1, 4},                  // version bits 01
        {Bytes{0xFF, 0xF9, 0x90, 0x44} + Frames(3000), 1, 4},                  // layer bits 00
        {kHeader + Bytes(500) + Frames(3000), 1, 506},                         // no frame 417 bytes on
        {Bytes{0xFF, 0xFB, 0x94, 0x44} + Bytes(380) + Frames(3000), 1, 384},   // 48 kHz, then 44.1 kHz
        {Bytes(100) + Frames(3000, {0xFF, 0xE3, 0x48, 0xC4}, 288), 1, 100},    // MPEG-2.5, eleven sync bits
        {Text("RIFF") + Bytes(40) + Frames(3000), MP3_ERR_NO_FRAME_HEADER, 0}, // a WAV file is not searched
        {Bytes(3000, 0xFF), MP3_ERR_NO_FRAME_HEADER, 0},
        {{}, MP3_ERR_NO_FRAME_HEADER, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Analyze(c.file), c.rc);
        if (c.rc == 1) {
            EXPECT_EQ(g_MpegHeader->headerPosition, c.position);
        }
    }
    EXPECT_TRUE(drive->reads.empty()); // the empty file examines no window
    // A tag claiming more than the file ends the search without reading past the file.
    EXPECT_EQ(Analyze(Id3(3, 0, {0x7F, 0x7F, 0x7F, 0x7F}) + Bytes(3000) + Frames(900)),
              MP3_ERR_NO_FRAME_HEADER);
}

TEST_F(Mp3Analyzer, Id3v2Tags) {
    const Bytes v23 = Frame23("TIT2", Latin("First")) + Frame23("TPE1", {}, 0) + // size 0: skipped
                      Frame23("TALB", Bytes{1, 0, 'A', 0, 'B', 0, 'C', 0}) +     // 7 bytes: 3 characters
                      Frame23("COMM", Latin("eng") + Latin("text")) +            // one text to the first 0
                      Frame23("WCOP", Latin("(c) me")) + Frame23("TIT2", Latin("Second"));
    const Bytes v22 =
        Frame22("TT2", Latin("Old")) + Frame22("TP1", Latin("Band")) + Frame22("WAR", Latin("x.jp"));
    // Extended headers: with the CRC flag 14 bytes, without it 10.
    const Bytes ext14 = {0, 0, 0, 10, 0x80, 0, 0, 0, 0, 0, 1, 2, 3, 4},
                ext10 = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    struct Case {
        Bytes tag, audio;
        uint16_t flags;
        std::string kept;
        uint32_t length = 0;
        std::string shown = ""; // the texts in UTF-8 where they differ
    } cases[] = {
        {Tag(3, 0x40, ext14 + v23, 20), Frames(4000), MP3_TAG_ID3V2_3,
         "title=Second;album=ABC;comment=eng;copyright=(c) me;"},
        {Tag(3, 0x40, ext10 + Frame23("TIT2", Latin("T")), 8), kHeader, MP3_TAG_ID3V2_3, "title=T;"},
        {Tag(2, 0, v22, 6), Frames(16000), MP3_TAG_ID3V2_2, "title=Old;artist=Band;url=x.jp;", 1},
        // The size bytes are taken whole: 00 00 01 80 is 1 x 128 + 0x80 + 10 = 266 (masking bit 7 would give
        // 138); the sync at 200 is inside the tag.
        {Id3(3, 0, {0, 0, 1, 0x80}) + Bytes(190) + kHeader + Bytes(60), Frames(4000), MP3_TAG_ID3V2_3, ""},
        // Version 5: the size, no flag, no texts; the tag is skipped but A is not reduced by it (16000 /
        // 16000).
        {Id3(5, 0, Size7(22)) + Frame23("TIT2", Latin("x")) + Bytes(4) + kHeader, Frames(16000 - 32), 0, "",
         1},
        // UCS-2 with either byte order mark or none (then big-endian): the report's Shift-JIS text and the
        // UTF-8 one shown, a surrogate pair one character, a lone one U+FFFD.
        {Tag(3, 0, Frame23("TIT2", {1, 0xFF, 0xFE, 'A', 0, 0x42, 0x30, 0, 0}), 4), kHeader, MP3_TAG_ID3V2_3,
         "title=A" + kHiraganaA + ";", 0, "title=A\u3042;"},
        {Tag(3, 0, Frame23("TIT2", {1, 0xFE, 0xFF, 0, 'A', 0x30, 0x42}), 4), kHeader, MP3_TAG_ID3V2_3,
         "title=A" + kHiraganaA + ";", 0, "title=A\u3042;"},
        {Tag(3, 0, Frame23("TIT2", {1, 0, 'A', 0x30, 0x42}), 4), kHeader, MP3_TAG_ID3V2_3,
         "title=A" + kHiraganaA + ";", 0, "title=A\u3042;"},
        {Tag(3, 0, Frame23("TIT2", {1, 0xFF, 0xFE}), 4), kHeader, MP3_TAG_ID3V2_3, "title=;"},
        {Tag(3, 0, Frame23("TIT2", {1, 0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 'x', 0}), 4), kHeader,
         MP3_TAG_ID3V2_3, "title=???x;", 0, "title=\U0001F600\uFFFDx;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        ASSERT_EQ(Analyze(c.tag + c.audio), 1);
        EXPECT_EQ(g_Mp3TagFlags, c.flags);
        EXPECT_EQ(g_Id3v2Tag->tagSize, c.tag.size());
        EXPECT_EQ(g_MpegHeader->headerPosition, c.tag.size());
        EXPECT_EQ(Kept(g_Id3v2Tag), c.kept);
        EXPECT_EQ(Kept(g_Id3v2TagText), c.shown.empty() ? c.kept : c.shown);
        EXPECT_EQ(g_MpegHeader->length, c.length);
    }
    // A version 2.2 frame of size 0 ends the analysis.
    EXPECT_EQ(Analyze(Id3(2, 0, Size7(20)) + Frame22("TT2", {}) + Bytes(14) + kHeader), MP3_ERR_NO_MEMORY);
}

TEST_F(Mp3Analyzer, FrameWalkStaysInsideTheTag) {
    // Frames fill the tag without padding; the audio after it holds a "TIT2" claiming 2 GB.
    const Bytes tag = Tag(3, 0, Frame23("TIT2", Latin("Inside")));
    ASSERT_EQ(Analyze(tag + Frame23("TIT2", Latin("Audio"), 0x7F7F7F7F) + Frames(9000)), 1);
    EXPECT_STREQ(g_Id3v2Tag->title, "Inside");
    EXPECT_EQ(g_MpegHeader->headerPosition, tag.size() + 16); // past the fake frame of 16 bytes

    // A frame claiming more than the tag holds is cut to what remains of it.
    const Bytes big = Frame23("TPE1", Latin("Cut here"), 0xFFFFFFF0);
    ASSERT_EQ(Analyze(Id3(3, 0, Size7(uint32_t(big.size() - 4))) + big + kHeader + Bytes(100)), 1);
    EXPECT_STREQ(g_Id3v2Tag->artist, "Cut ");
}

TEST_F(Mp3Analyzer, Id3v1Versions) {
    // The fields against id3v2 -l (an APEv2 tag before one too): tests/tools. Here a comment of the whole 28
    // bytes of version 1.1 before its track.
    for (auto [track, flags] : {std::pair{5, MP3_TAG_ID3V1_1}, {0, MP3_TAG_ID3V1_0}}) {
        ASSERT_EQ(Analyze(Frames(3000) + Id3v1(0, uint8_t(track))), 1);
        EXPECT_EQ(g_Mp3TagFlags, flags);
        EXPECT_EQ(std::string(g_Id3v1Tag->comment), std::string(28, 'c'));
        EXPECT_EQ(g_Id3v1Tag->track, track);
    }
    // Only the file's last 128 bytes are the tag: not a "TAG" elsewhere; a file under 128 bytes reads nothing
    // before it.
    ASSERT_EQ(Analyze(Frames(3000) + Text("TAGearly") + Bytes(300)), 1);
    EXPECT_EQ(g_Mp3TagFlags, 0);
    ASSERT_EQ(Analyze(kHeader + Bytes(90)), 1);
    EXPECT_EQ(g_Mp3TagFlags, 0);
}

TEST_F(Mp3Analyzer, FrameFigures) {
    struct Case {
        Bytes header;
        uint32_t frameLength, length, frames, pcm, rate;
        const char* version;
    } cases[] = {
        // Free format (index 0) counts as 1 kbit/s: length = A / 125. It names no frame length, so nothing
        // after it is checked.
        {{0xFF, 0xFB, 0x00, 0xC0}, 1000 * 144 / 44100, 1000 / 125, 1000 / 3, 2304, 44100, "MPEG-1"},
        // Layer I at 1 kbit/s: frame length 0 and no frames, no division by zero.
        {{0xFF, 0xFF, 0x00, 0x00}, 0, 1000 / 125, 0, 1536, 44100, "MPEG-1"},
        // Layer I 384 kbit/s 48 kHz mono; MPEG-2 Layer II 64 kbit/s 24 kHz with padding (1152 samples).
        {{0xFF, 0xFF, 0xC4, 0xC0}, (384000 * 12 / 48000) * 4, 0, 1000 / 384, 768, 48000, "MPEG-1"},
        {{0xFF, 0xF5, 0x86, 0x40}, 64000 * 144 / 24000 + 1, 0, 1000 / 385, 4608, 24000, "MPEG-2 or 2.5"},
        // MPEG-2.5 Layer III 32 kbit/s 8 kHz mono (576 samples).
        {{0xFF, 0xE3, 0x48, 0xC4}, 32000 * 72 / 8000, 0, 1000 / 288, 1152, 8000, "MPEG-2.5"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Analyze(Frames(1000, c.header, c.frameLength ? c.frameLength : 1000)), 1);
        EXPECT_EQ(g_MpegHeader->frameLength, c.frameLength);
        EXPECT_EQ(g_MpegHeader->length, c.length);
        EXPECT_EQ(g_MpegHeader->frames, c.frames);
        EXPECT_EQ(g_MpegHeader->pcmSize, c.pcm);
        EXPECT_EQ(Mp3_SamplingRate(g_MpegHeader), c.rate);
        EXPECT_STREQ(Mp3_VersionName(g_MpegHeader), c.version);
    }
}

TEST_F(Mp3Analyzer, VbrHeaders) {
    // The first frame's Xing/Info or VBRI frame count gives frames and length (count x 1152 / 44100 s);
    // without the count the figures come from the first frame's bitrate. 44100 bytes is 2 s at 128 kbit/s.
    auto first = [](const Bytes& header, size_t at, const Bytes& vbr) {
        Bytes f = Frames(44100, header);
        std::copy(vbr.begin(), vbr.end(), f.begin() + long(at));
        return f;
    };
    const Bytes mono = {0xFF, 0xFB, 0x90, 0xC4};
    struct Case {
        Bytes file;
        uint32_t length, frames;
    } cases[] = {
        {first(kHeader, 36, Text("Xing") + Bytes{0, 0, 0, 0x0F, 0, 0, 0x03, 0xE8}), 1000 * 1152 / 44100,
         1000},
        {first(kHeader, 36, Text("Info") + Bytes{0, 0, 0, 0x01, 0, 0, 0x01, 0x00}), 256 * 1152 / 44100, 256},
        {first(kHeader, 36, Text("Xing") + Bytes{0, 0, 0, 0x0E, 0, 0, 0x03, 0xE8}), 2,
         44100 / 417}, // no count
        {first(kHeader, 36, Text("VBRI") + Bytes(10) + Bytes{0, 0, 0x07, 0xD0}), 2000 * 1152 / 44100, 2000},
        // A mono MPEG-1 frame has its Xing header 17 bytes after the frame header.
        {first(mono, 21, Text("Xing") + Bytes{0, 0, 0, 0x01, 0, 0, 0x03, 0xE8}), 1000 * 1152 / 44100, 1000},
        {first(mono, 36, Text("Xing") + Bytes{0, 0, 0, 0x01, 0, 0, 0x03, 0xE8}), 2, 44100 / 417},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Analyze(c.file), 1);
        EXPECT_EQ(g_MpegHeader->length, c.length);
        EXPECT_EQ(g_MpegHeader->frames, c.frames);
    }
    // A Xing header cut off by the end of the file reads no byte past it.
    ASSERT_EQ(Analyze(kHeader + Bytes(30) + Text("Xing") + Bytes{0, 0, 0, 1, 0, 0}), 1);
    EXPECT_EQ(g_MpegHeader->frames, 0u);
}

TEST_F(Mp3Analyzer, Id3v24AndUnsynchronisation) {
    // Version 2.4: syncsafe frame sizes, an extended header that counts itself, the four encodings, the
    // frame flags' added bytes, compressed frames skipped, and a footer counted in the tag size.
    const Bytes frames = Frame24("TIT2", Bytes{3, 'A', 0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80, 'Z', 0}) +
                         Frame24("TPE1", Bytes{2, 0x30, 0x42, 0, 'B'}) +
                         Frame24("TALB", Bytes{0, 0, 0, 6, 0} + Text("Album"), 0x01) +     // data length
                         Frame24("TCON", Bytes{0, 0, 0, 6, 0x78, 0x9C, 1, 2}, 0x09) +      // compressed
                         Frame24("TRCK", Bytes{7, 0} + Text("12"), 0x40) +                 // grouped
                         Frame24("TCOM", Bytes{1, 0xFF, 0xFE, 'C', 0, 0x42, 0x30}, 0, 300) // past the tag
        ;
    const Bytes ext = {0, 0, 0, 6, 1, 0};
    const Bytes body = ext + frames;
    const Bytes footer = Text("3DI") + Bytes{4, 0, 0x50} + Size7(uint32_t(body.size()));
    ASSERT_EQ(Analyze(Id3(4, 0x50, Size7(uint32_t(body.size()))) + body + footer + Frames(16000)), 1);
    EXPECT_EQ(g_Mp3TagFlags, MP3_TAG_ID3V2_4);
    EXPECT_EQ(g_Id3v2Tag->tagSize, 20 + body.size());
    EXPECT_EQ(g_MpegHeader->headerPosition, 20 + body.size());
    EXPECT_EQ(g_MpegHeader->length, 1u); // the tag is not audio
    EXPECT_EQ(Kept(g_Id3v2Tag), "title=A" + kHiraganaA + "?Z;artist=" + kHiraganaA +
                                    "B;album=Album;track=12;composer=C" + kHiraganaA + ";");
    EXPECT_EQ(Kept(g_Id3v2TagText),
              "title=A\u3042\U0001F600Z;artist=\u3042B;album=Album;track=12;composer=C\u3042;");

    // Tag-level unsynchronisation: 0xFF 0x00 stands for 0xFF. Versions 2.3 (the whole tag; frame sizes count
    // the restored bytes) and 2.4 (each frame's content; sizes count the bytes as stored).
    const Bytes stored = {0, 'A', 0xFF, 0x00, 'B'};
    const Bytes v23 = Frame23("TIT2", stored, 4) + Frame23("TPE1", Latin("Next"));
    const Bytes v24 = Frame24("TIT2", stored) + Frame24("TPE1", Latin("Next")) +
                      Frame24("TALB", Bytes{0, 'C', 0xFF, 0x00}, 0x02);
    const std::tuple<uint8_t, Bytes, std::string> tags[] = {{3, v23, ""}, {4, v24, "album=C\xFF;"}};
    for (const auto& [version, body, album] : tags) {
        ASSERT_EQ(Analyze(Tag(version, 0x80, body, 3) + Frames(900)), 1);
        EXPECT_EQ(Kept(g_Id3v2Tag), "title=A\xFF"
                                    "B;artist=Next;" +
                                        album);
    }
    EXPECT_STREQ(g_Id3v2TagText->album, "C\u00FF"); // neither UTF-8 nor Shift-JIS: Latin-1
}

TEST_F(Mp3Analyzer, Failures) {
    // Results of the previous analysis are released first.
    ASSERT_EQ(Analyze(Tag(3, 0, Frame23("TIT2", Latin("x")), 8) + kHeader), 1);
    ASSERT_EQ(Analyze(kHeader), 1);
    EXPECT_EQ(g_Id3v2Tag, nullptr);

    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Analyze(Id3(3, 0, Size7(20)) + Bytes(20) + kHeader), MP3_ERR_NO_MEMORY);
    Analyzer_SetHeapExhausted(false);

    // Sectors the drive refuses: the ID3 steps give the read's code, the header search its own.
    file = {};
    file.lbn = 5000;
    file.size = 5000;
    const int readCode = Mp3_Analyze(&file);
    EXPECT_NE(readCode, 1);
    EXPECT_NE(readCode, 0);
    drive->at(5000).fill(0);
    EXPECT_EQ(Mp3_Analyze(&file), MP3_ERR_NO_FRAME_HEADER);
    drive->at(5001).fill(0);
    drive->at(5000)[0] = 0xFF;
    drive->at(5000)[1] = 0xFB;
    EXPECT_EQ(Mp3_Analyze(&file), readCode); // the ID3v1 window's block 5002
    drive->at(5002).fill(0);
    EXPECT_EQ(Mp3_Analyze(&file), 1);

    // An extent past the session's recorded area is refused before any command.
    g_DiscModel->firstSession->lastBlock = kLbn;
    drive->reads.clear();
    EXPECT_EQ(Analyze(kHeader + Bytes(3000)), ISO_ERR_EXTENT);
    EXPECT_TRUE(drive->reads.empty());
}

} // namespace

namespace {

TEST_F(Mp3Analyzer, AFileOfTwoExtentsIsReadAsOne) {
    // 4096 bytes of frames at block 100, then an extent at block 300 whose last 128 bytes are the ID3v1 tag:
    // the tag is found at the end of the whole file, the figures count both extents, and no block between
    // them is read.
    FileEntry second{};
    second.lbn = 300;
    second.size = 2048;
    second.flags = ISO_EXTENT_CONTINUED;
    file.lbn = kLbn;
    file.size = 4096;
    file.flags = ISO_EXTENT_MORE;
    file.nextSibling = &second;
    drive->sectors.clear();
    isotest::PutBytes(*drive, kLbn, Frames(4096));
    isotest::PutBytes(*drive, 300, Frames(2048 - 128) + Id3v1(0, 7));
    drive->reads.clear();
    ASSERT_EQ(Mp3_Analyze(&file), 1);
    EXPECT_EQ(g_Mp3TagFlags, MP3_TAG_ID3V1_1);
    EXPECT_EQ(g_Id3v1Tag->track, 7);
    EXPECT_EQ(g_MpegHeader->frames, (4096u + 2048 - 128) / 417);
    EXPECT_TRUE(std::all_of(drive->reads.begin(), drive->reads.end(),
                            [](const isotest::ReadCommand& r) { return r.lba < 102 || r.lba == 300; }));
    file.nextSibling = nullptr;
}

} // namespace
