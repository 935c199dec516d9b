// What the MP3 analysis finds in a file, as a value: the ID3v2 texts in both forms, the ID3v1 tag and the
// first MPEG audio frame header with the figures derived from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "analyzers/mp3/mp3_module.h"

class ByteSource;
struct DiscEntryAt;
struct FileEntry;

// The frames an ID3v2 tag names, each absent where the tag has no such frame.
struct Id3v2Texts {
    std::optional<std::string> title, artist, album, year, comment, track, genre, composer, originalArtist,
        copyright, url, encoder;
};

struct MpegInfo {
    uint16_t tagFlags = 0;  // MP3_TAG_* of the tags read
    bool id3v2 = false;     // the file starts with "ID3" (a version not read keeps only its size)
    uint32_t id3v2Size = 0; // the tag with its header and footer, as stored reports count it
    Id3v2Texts id3v2Sjis;   // Shift-JIS, as the disc report writes them
    Id3v2Texts id3v2Text;   // UTF-8, for display
    Id3v1Tag id3v1{};       // zero where the file has no ID3v1 tag
    MpegHeaderInfo header{};
};

// Analyses the bytes of one MP3 file into `info`: MP3_OK, MP3_ERR_NO_MEMORY, MP3_ERR_NO_FRAME_HEADER or the
// code of a failed read (the ID3 steps pass it on; the header search gives MP3_ERR_NO_FRAME_HEADER).
int Mp3_Read(ByteSource& source, MpegInfo& info);
// The same for a disc entry where `at` reads it (DiscEntrySource), or the source's code when the file cannot
// be read from.
int Mp3_AnalyzeEntry(const DiscEntryAt& at, MpegInfo& info);
// The same for an entry of the current Disc's current session (DiscEntry_Current).
int Mp3_AnalyzeEntry(const FileEntry& entry, MpegInfo& info);
// What the records of the last Mp3_Analyze hold, for the desktop's dialog.
MpegInfo Mp3_LastInfo();
