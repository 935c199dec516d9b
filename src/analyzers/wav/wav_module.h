// WAV analyzer: the RIFF WAVE header of one file and the play length derived from it (wav_info.h), and the
// records the desktop's dialogs read.
#pragma once

#include <cstdint>

struct FileEntry;

constexpr int WAV_OK = 1;
constexpr int WAV_ERR_NOT_WAVE = 0x6001; // not "RIFF", "WAVE" with the "fmt " chunk first
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
extern uint32_t g_WavLength; // seconds, from the last analysis that gave 1
// The sub-format code of a WAVE_FORMAT_EXTENSIBLE file (the first two bytes of its SubFormat GUID: 1 PCM,
// 3 IEEE float), -1 for any other file; from the last analysis that gave 1.
extern int g_WavSubFormat;

// Analyses one file of the current session (Wav_AnalyzeEntry) and keeps its header in g_WavHeader (also
// after WAV_ERR_NOT_WAVE), its length in g_WavLength and sub-format in g_WavSubFormat for the desktop's
// dialogs. 1, WAV_ERR_NOT_WAVE, WAV_ERR_NO_MEMORY, or the code of the failed read. After any other result
// than 1 neither g_WavHeader nor g_WavLength may be used.
int Wav_Analyze(const FileEntry* entry);

// Play length in seconds of a file without a data chunk: everything after the format chunk's first 36 bytes
// (and the extra format bytes of a non-PCM chunk) divided by the average bytes per second; 0 when nothing is
// left or the rate is 0.
uint32_t Wav_PlayLength(uint32_t riffSize, uint32_t averageBytesPerSecond, uint32_t extraBytes);

struct WaveFormatName {
    uint16_t code;
    const char* name; // UTF-8
};
// The reference list of WAVE format codes shown by the "PCM Format Classify" dialog, ended by code 0xFFFF.
extern const WaveFormatName WaveFormatTable[];
// The name of a format code in that list, or nullptr.
const char* Wav_FormatName(uint16_t code);
