// The ASPI manager: the program's only road to the CD drives.
#pragma once

#include <cstdint>
#include <functional>

// Result codes (ASPI status values pass through unchanged besides these).
constexpr int ASPI_OK = 1;
constexpr int ASPI_ERR_NO_LIBRARY = 240;
constexpr int ASPI_ERR_NO_ENTRY = 241;
constexpr int ASPI_ERR_SUPPORT_INFO = 242;
constexpr int ASPI_ERR_NO_BUFFER_OR_DEVICE = 243;
constexpr int ASPI_ERR_NO_MEMORY = 255;
// What Aspi_ScanDevices returns when its last probe found no device (ASPI's SS_NO_DEVICE): a scan that went
// well, though the last target was empty.
constexpr int ASPI_SCAN_NO_DEVICE = 130;

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
// READ SUB-CHANNEL of the Q sub-channel's `format` (2 the media catalogue number, 3 the ISRC of `track`).
constexpr uint8_t ASPI_SUBQ_MCN = 2, ASPI_SUBQ_ISRC = 3;
int Aspi_ReadSubChannel(uint16_t device, uint8_t format, uint8_t track, uint16_t allocLength,
                        uint8_t* buffer);
int Aspi_ReadCapacity(uint16_t device, uint32_t* lastLba, uint32_t* blockLength);
int Aspi_ReadSectors(uint16_t device, uint32_t lba, uint32_t blockLength, uint16_t count, uint8_t* buffer);
// READ CD of `count` audio (CD-DA) blocks from `lba` into `buffer` of count x 2352 bytes: the samples as the
// drive gives them, 16-bit little-endian stereo. A block that is not audio is refused by the drive.
constexpr uint32_t ASPI_AUDIO_BLOCK_LENGTH = 2352;
int Aspi_ReadCd(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer);
// READ CD of `count` whole sectors of any type (sync, header, user data, EDC and ECC; 2352 bytes each).
int Aspi_ReadCdRaw(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer);
// READ CD of the user data of `count` Mode 2 Form 2 blocks (an XA file's, whose sectors READ(10) refuses
// with ILLEGAL MODE FOR THIS TRACK): 2324 bytes each.
constexpr uint32_t ASPI_FORM2_BLOCK_LENGTH = 2324;
int Aspi_ReadCdForm2(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer);

// The sense of the last command that ended in CHECK CONDITION (key, additional sense code and qualifier);
// all zero after a command that went well or failed otherwise.
struct AspiSense {
    uint8_t key = 0, asc = 0, ascq = 0;
};
extern AspiSense g_LastSense;
// The bytes the last command moved into (or out of) the caller's buffer: its data length less the residual
// the drive reported. An answer may be shorter than the allocation asked for; a reader of a drive's answer
// takes no byte past this.
extern uint32_t g_LastTransferred;

// The device record with this index, or nullptr.
DeviceEntry* Aspi_GetDevice(uint16_t device);
// Fills every record's drive root path from the host adapters' device paths (the Linux stand-in for the
// drive-letter walk); devices without a path keep an empty one.
void Aspi_AssignRootPaths();

// Starting a drive: START STOP UNIT with the start bit, then TEST UNIT READY up to ASPI_READINESS_TESTS
// times until the drive answers ready. A drive spinning up answers NOT READY, LOGICAL UNIT IS IN PROCESS OF
// BECOMING READY (02/04/01) for a few seconds: only then is the next test ASPI_READINESS_WAIT_MS later. A
// UNIT ATTENTION (a medium change, a reset) is asked again at once; any other answer (MEDIUM NOT PRESENT,
// 02/3A, above all) ends the start at once, since waiting would not change it.
constexpr int ASPI_READINESS_TESTS = 10;
constexpr int ASPI_READINESS_WAIT_MS = 500;
struct AspiStartHooks {
    // Called with the result of a START STOP UNIT other than 1, before the tests (they run all the same).
    std::function<void(int code)> spinUpFailed;
    // Waits between two tests; a real 500 ms sleep when empty.
    std::function<void(int ms)> wait;
};
struct AspiStartResult {
    int spinUp = ASPI_OK; // START STOP UNIT's result
    int ready = 0;        // the last TEST UNIT READY's result: 1 when the drive is ready
    int tests = 0;        // TEST UNIT READY commands sent
    AspiSense sense;      // the last test's sense: why the drive is not ready
};
AspiStartResult Aspi_StartDevice(uint16_t device, const AspiStartHooks& hooks = {});
// Scans the devices, gives them their root paths and finds the one at `devicePath` (a device path or an
// image file, without the trailing '/'): its index, or -1 with the scan's result in `*scanResult` (1 when
// the scan went well and no device has that path).
int Aspi_FindDevice(const char* devicePath, int* scanResult);

// Upper bound of the polling loop used when no event can be created: a request still pending after this
// many polls (1 ms apart) is given up as SS_PENDING, so a stuck request cannot hang the program.
constexpr unsigned ASPI_POLL_LIMIT = 60000;
