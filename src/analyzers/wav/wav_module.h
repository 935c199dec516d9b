// WAV analyzer state: the first 36 bytes of the last WAV file and its play length.
#pragma once

#include <cstdint>

constexpr int WAV_ERR_NO_MEMORY = 0x60FF;

#pragma pack(push, 1)
struct WavHeader {
    char riff[4];
    uint32_t riffSize;
    char wave[4];
    char fmt[4];
    uint32_t formatSize;
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSecond;
    uint32_t averageBytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
};
#pragma pack(pop)
static_assert(sizeof(WavHeader) == 36);

extern WavHeader* g_WavHeader;
extern uint32_t g_WavLength;
