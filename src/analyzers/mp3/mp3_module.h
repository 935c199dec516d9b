// MP3 analyzer state: the records of the last analysis, owned by the module.
#pragma once

#include <cstdint>

struct FileEntry;

// Result codes of the MP3 analyzer (a failed sector read of the ID3 steps passes the read's own code).
constexpr int MP3_OK = 1;
constexpr int MP3_ERR_NO_FRAME_HEADER = 0x4001; // no MPEG frame header, or a read of its search failed
constexpr int MP3_ERR_NO_MEMORY = 0x40FF;       // also a version 2.2 frame of size 0

// g_Mp3TagFlags bits.
constexpr uint16_t MP3_TAG_ID3V1_0 = 0x0001;
constexpr uint16_t MP3_TAG_ID3V1_1 = 0x0002;
constexpr uint16_t MP3_TAG_ID3V2_2 = 0x0004;
constexpr uint16_t MP3_TAG_ID3V2_3 = 0x0008;
constexpr uint16_t MP3_TAG_ID3V2_4 = 0x0010;
constexpr uint16_t MP3_TAG_ID3V1 = MP3_TAG_ID3V1_0 | MP3_TAG_ID3V1_1;
constexpr uint16_t MP3_TAG_ID3V2 = MP3_TAG_ID3V2_2 | MP3_TAG_ID3V2_3 | MP3_TAG_ID3V2_4;

struct Id3v2Tag {
    uint32_t tagSize;
    char* title;
    char* artist;
    char* album;
    char* year;
    char* comment;
    char* track;
    char* genre;
    char* composer;
    char* originalArtist;
    char* copyright;
    char* url;
    char* encoder;
};

struct Id3v1Tag {
    char title[32];
    char artist[32];
    char album[32];
    char year[4];
    char comment[32];
    uint8_t track;
    uint8_t genre;
};

struct MpegHeaderInfo {
    uint8_t headerBytes[6];
    uint32_t headerPosition;
    uint32_t length;
    uint32_t frameLength;
    uint32_t frames;
    uint32_t pcmSize;
    // Frame count of the first frame's Xing/Info or VBRI header, 0 without one; when present it gives the
    // length and the frames.
    uint32_t vbrFrames;
};

extern uint16_t g_Mp3TagFlags;
// The frame texts in Shift-JIS, as the disc report writes them.
extern Id3v2Tag* g_Id3v2Tag;
// The same frame texts in UTF-8, for display (its tagSize is not used).
extern Id3v2Tag* g_Id3v2TagText;
extern MpegHeaderInfo* g_MpegHeader;
extern Id3v1Tag* g_Id3v1Tag;

// kbit/s by [version index][layer index][bitrate index] and Hz by [version index][sampling index]; the
// free-format and reserved entries hold 1 so that no later division is by zero.
extern const uint32_t Mp3BitrateTable[2][3][16];
// Sampling rates: row 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5.
extern const uint32_t Mp3SamplingTable[3][4];

// Header fields as the tables index them: version 0 = MPEG-1, 1 = MPEG-2 or 2.5 (the bitrate rows are
// shared); layer 0 = Layer I (and the reserved value), 1 = Layer II, 2 = Layer III.
unsigned Mp3_VersionIndex(const MpegHeaderInfo* header);
// "MPEG-1", "MPEG-2.5" (version bits 00) or "MPEG-2 or 2.5" (version bits 10, as stored reports name it).
const char* Mp3_VersionName(const MpegHeaderInfo* header);
unsigned Mp3_LayerIndex(const MpegHeaderInfo* header);
// "Layer 1", "Layer 2", "Layer 3", or "UnKnown" for the reserved layer bits.
const char* Mp3_LayerName(const MpegHeaderInfo* header);
// "Stereo", "Joint Stereo", "Dual Channel" or "Monaural", by the channel mode bits.
const char* Mp3_ChannelName(const MpegHeaderInfo* header);
uint32_t Mp3_Bitrate(const MpegHeaderInfo* header);      // kbit/s
uint32_t Mp3_SamplingRate(const MpegHeaderInfo* header); // Hz
// Whether the 4 bytes at `h` are a frame header whose fields are all defined: eleven sync bits, no reserved
// version, layer, bitrate or sampling value (a free-format header, bitrate index 0, is one).
bool Mp3_IsFrameHeader(const uint8_t* h);

// Analyses one MP3 file of the current session (Mp3_AnalyzeEntry) and keeps what it found for the desktop
// dialogs: 1, MP3_ERR_NO_MEMORY, MP3_ERR_NO_FRAME_HEADER or the code of a failed read. The results stay in
// g_Id3v2Tag, g_Id3v2TagText, g_MpegHeader, g_Id3v1Tag, g_Mp3TagFlags and Mp3_LastInfo until the next
// analysis; use them only after a 1.
int Mp3_Analyze(FileEntry* entry);

// Releases every record of the last analysis (the texts of g_Id3v2Tag and g_Id3v2TagText included) and clears
// the flags.
void Mp3_ReleaseResults();
