// JPG analyzer: a JPEG file's markers from its start to its first scan, the last analyzer of the chain.
#pragma once

#include <cstdint>

class ByteSource;
struct DiscEntryAt;
struct FileEntry;

constexpr int JPG_OK = 1;
constexpr int JPG_ERR_NOT_JPEG = 0x6001; // no start of image, or no frame header before the first scan
constexpr int JPG_ERR_NO_MEMORY = 0x80FF;

struct JpgInfo {
    bool jfif = false;       // an APP0 segment starting "JFIF\0"
    bool exif = false;       // an APP1 segment starting "Exif\0\0"
    uint16_t appn = 0;       // bit n: an APPn segment is present
    uint8_t frameMarker = 0; // the first frame header's marker, 0xC0 to 0xCF (not C4, C8, CC)
    uint8_t precision = 0;   // bits per sample
    uint16_t height = 0;     // lines; 0 where a DNL segment gives them later
    uint16_t width = 0;
    uint8_t components = 0;
};

// Walks the segments from the start of image (SOI) until the first start of scan (SOS) or end of image,
// each segment's length checked against the file, at most 4,096 segments: JPG_OK when a frame header (SOFn)
// was found, JPG_ERR_NOT_JPEG, or the failed read's code.
int Jpg_Read(ByteSource& source, JpgInfo& info);
// The same for a disc entry where `at` reads it, or the source's code when it cannot be read.
int Jpg_AnalyzeEntry(const DiscEntryAt& at, JpgInfo& info);
// The same for an entry of the current Disc's current session (DiscEntry_Current).
int Jpg_AnalyzeEntry(const FileEntry& entry, JpgInfo& info);
// Jpg_AnalyzeEntry with what it found kept for the desktop's dialog (Jpg_LastInfo).
int Jpg_Analyze(const FileEntry* entry);
const JpgInfo& Jpg_LastInfo();
// "Baseline DCT", "Progressive DCT", ... of a frame marker; "" for one that is not a frame header's.
const char* Jpg_CodingName(uint8_t frameMarker);
