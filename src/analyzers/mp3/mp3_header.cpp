// The MPEG audio frame header's fields: the bitrate and sampling tables and the names. The one decoder of
// the header: the MP3 analysis and its dialog, the report, the catalogue, Player Check and ckvd-mknav (which
// takes the analysis's header) all read it through these.
#include "analyzers/mp3/mp3_module.h"

const uint32_t Mp3BitrateTable[2][3][16] = {
    {
        {1, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 1},
        {1, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 1},
        {1, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 1},
    },
    {
        {1, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 1},
        {1, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 1},
        {1, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 1},
    },
};

const uint32_t Mp3SamplingTable[3][4] = {
    {44100, 48000, 32000, 1}, {22050, 24000, 16000, 1}, {11025, 12000, 8000, 1}};

unsigned Mp3_VersionIndex(const MpegHeaderInfo* header) {
    return (header->headerBytes[1] & 0x08) ? 0 : 1;
}

const char* Mp3_VersionName(const MpegHeaderInfo* header) {
    const uint8_t version = header->headerBytes[1] & 0x18;
    return (version & 0x08) ? "MPEG-1" : version == 0 ? "MPEG-2.5" : "MPEG-2 or 2.5";
}

const char* Mp3_LayerName(const MpegHeaderInfo* header) {
    switch (header->headerBytes[1] & 0x06) {
    case 0x06:
        return "Layer 1";
    case 0x04:
        return "Layer 2";
    case 0x02:
        return "Layer 3";
    default:
        return "UnKnown";
    }
}

const char* Mp3_ChannelName(const MpegHeaderInfo* header) {
    static const char* const kChannels[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Monaural"};
    return kChannels[header->headerBytes[3] >> 6];
}

unsigned Mp3_LayerIndex(const MpegHeaderInfo* header) {
    switch (header->headerBytes[1] & 0x06) {
    case 0x04:
        return 1;
    case 0x02:
        return 2;
    default: // 0x06 Layer I, and the reserved 0x00
        return 0;
    }
}

uint32_t Mp3_Bitrate(const MpegHeaderInfo* header) {
    return Mp3BitrateTable[Mp3_VersionIndex(header)][Mp3_LayerIndex(header)][header->headerBytes[2] >> 4];
}

uint32_t Mp3_SamplingRate(const MpegHeaderInfo* header) {
    const uint8_t version = header->headerBytes[1] & 0x18;
    const unsigned row = (version & 0x08) ? 0 : version == 0 ? 2 : 1;
    return Mp3SamplingTable[row][(header->headerBytes[2] >> 2) & 0x03];
}

bool Mp3_IsFrameHeader(const uint8_t* h) {
    return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0 && (h[1] & 0x18) != 0x08 && (h[1] & 0x06) != 0 &&
           (h[2] >> 4) != 15 && (h[2] & 0x0C) != 0x0C;
}
