// MP3 analyzer state: the records of the last analysis, owned by the module.
#pragma once

#include <cstdint>

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
};

extern uint16_t g_Mp3TagFlags;
extern Id3v2Tag* g_Id3v2Tag;
extern MpegHeaderInfo* g_MpegHeader;
extern Id3v1Tag* g_Id3v1Tag;

// Releases every record of the last analysis (the texts of g_Id3v2Tag included) and clears the flags.
void Mp3_ReleaseResults();
