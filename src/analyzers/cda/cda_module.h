// CDA analyzer: the 44-byte RIFF CDDA file that describes one CD audio track, opened by name on the drive's
// root path through the track files.
#pragma once

#include <cstddef>
#include <cstdint>

struct FileEntry;

constexpr int CDA_OK = 1;
constexpr int CDA_ERR_NOT_CDDA = 0x3001;  // name longer than 12 characters, or not "RIFF" "CDDA" "fmt "
constexpr int CDA_ERR_OPEN = 0x3010;      // the track file cannot be opened or holds fewer than 44 bytes
constexpr int CDA_ERR_NO_MEMORY = 0x30FF; // initialisation only

#pragma pack(push, 1)
struct CdaFileHeader {
    char riff[4];
    uint32_t riffSize;
    char cdda[4];
    char fmt[4];
    uint32_t formatSize;
    uint16_t fileVersion;
    uint16_t trackNumber;
    uint32_t discSerial;
    uint32_t trackStart;
    uint32_t trackSize;
    uint8_t trackData[8];
};
#pragma pack(pop)
static_assert(sizeof(CdaFileHeader) == 44);

extern CdaFileHeader* g_CdaHeader;

// Cda_AnalyzeEntry (cda_info.h), its 44 bytes kept in g_CdaHeader for the desktop's dialog: 1,
// CDA_ERR_NOT_CDDA or CDA_ERR_OPEN.
int Cda_Analyze(const FileEntry* entry);

// The low-level file calls the analyzer opens track files with (the track files layer by default); tests
// put others in. Passing nullptrs restores the default.
struct CdaFileCalls {
    int (*open)(const char* path);
    long (*read)(int fd, void* buffer, size_t count);
    int (*close)(int fd);
};
void Cda_SetFileCalls(const CdaFileCalls* calls);
