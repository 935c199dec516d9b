// The ASPI manager: the program's only road to the CD drives.
#pragma once

#include <cstdint>

// Result codes (ASPI status values pass through unchanged besides these).
constexpr int ASPI_OK = 1;
constexpr int ASPI_ERR_NO_LIBRARY = 240;
constexpr int ASPI_ERR_NO_ENTRY = 241;
constexpr int ASPI_ERR_SUPPORT_INFO = 242;
constexpr int ASPI_ERR_NO_BUFFER_OR_DEVICE = 243;
constexpr int ASPI_ERR_NO_MEMORY = 255;

// Direction flags of Aspi_ExecuteCommand.
constexpr uint8_t ASPI_DIR_NONE = 0;
constexpr uint8_t ASPI_DIR_IN = 8;

// Longest device path kept in a record (the Windows design keeps a 7-character drive root path).
constexpr int ASPI_ROOT_PATH_LEN = 4095;

struct DeviceEntry {
    uint8_t hostAdapterId;
    uint8_t targetId;
    char vendor[8 + 1];
    char product[16 + 1];
    char
        driveRootPath[ASPI_ROOT_PATH_LEN + 1]; // device path with a trailing '/', written by the drive dialog
    DeviceEntry* next;
};

extern DeviceEntry* g_DeviceList;
extern uint16_t g_DeviceCount;
extern uint16_t g_CurrentDevice;

int Aspi_Initialize();
void Aspi_Terminate();
int Aspi_ScanDevices();
int Aspi_ExecuteCommand(uint16_t device, uint8_t flags, uint32_t dataLength, uint8_t* data, uint8_t cdbLength,
                        const uint8_t* cdb);
int Aspi_TestUnitReady(uint16_t device);
int Aspi_StartStopUnit(uint16_t device, uint8_t start);
int Aspi_ReadToc(uint16_t device, uint8_t msf, uint8_t format, uint8_t track, uint16_t allocLength,
                 uint8_t* buffer);
int Aspi_ReadCapacity(uint16_t device, uint32_t* lastLba, uint32_t* blockLength);
int Aspi_ReadSectors(uint16_t device, uint32_t lba, uint32_t blockLength, uint16_t count, uint8_t* buffer);

// The device record with this index, or nullptr.
DeviceEntry* Aspi_GetDevice(uint16_t device);
// Fills every record's drive root path from the host adapters' device paths (the Linux stand-in for the
// drive-letter walk); devices without a path keep an empty one.
void Aspi_AssignRootPaths();

// Upper bound of the polling loop used when no event can be created: a request still pending after this
// many polls (1 ms apart) is given up as SS_PENDING, so a stuck request cannot hang the program.
constexpr unsigned ASPI_POLL_LIMIT = 60000;
