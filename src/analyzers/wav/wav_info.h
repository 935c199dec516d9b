// What the WAV analysis finds in a file, as a value.
#pragma once

#include <cstdint>

#include "analyzers/wav/wav_module.h"

class ByteSource;
struct DiscEntryAt;

struct WavInfo {
    WavHeader header{};  // the file's first 36 bytes, zero past its end
    uint32_t length = 0; // seconds
    // The sub-format code of a WAVE_FORMAT_EXTENSIBLE file (the first two bytes of its SubFormat GUID: 1 PCM,
    // 3 IEEE float), -1 for any other file.
    int subFormat = -1;
    bool dataFound = false; // a "data" chunk lies inside the file
    uint64_t dataBytes = 0; // its size, at most what the file holds after its header
};

// Reads the RIFF WAVE header and computes the play length: the "data" chunk's size (at most what the file
// holds after its header) divided by the average bytes per second when a walk over the chunks inside the
// file finds it, else Wav_PlayLength of the header. WAV_OK, WAV_ERR_NOT_WAVE (with the header as read),
// WAV_ERR_NO_MEMORY, or the code of the failed read.
int Wav_Read(ByteSource& source, WavInfo& info);
// The same for a disc entry where `at` reads it, or the source's code when it cannot be read.
int Wav_AnalyzeEntry(const DiscEntryAt& at, WavInfo& info);
// The same for an entry of the current Disc's current session (DiscEntry_Current).
int Wav_AnalyzeEntry(const FileEntry& entry, WavInfo& info);
// What the records of the last Wav_Analyze hold, for the desktop's dialog.
WavInfo Wav_LastInfo();
