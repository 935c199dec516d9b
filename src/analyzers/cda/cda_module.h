// CDA analyzer state: the 44 bytes of the last CD audio track file.
#pragma once

#include <cstdint>

constexpr int CDA_ERR_NO_MEMORY = 0x30FF;

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
