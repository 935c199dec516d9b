// The device facade the window, the analyzers and the tools call: devices by their index in the scanned list,
// each command a thin call through the device's Drive (platform/drives), its outcome handed to the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/drives/drive.h"

// Result codes, as the messages show them.
constexpr int ASPI_OK = 1;
constexpr int ASPI_ERR_FAILED = 0x04;        // the drive failed the command, or it never reached the drive
constexpr int ASPI_ERR_TOO_LONG = 0xE6;      // a transfer longer than one command can describe
constexpr int ASPI_ERR_INVALID_GROUP = 0x81; // a scan that met a group that is not there
constexpr int ASPI_ERR_NO_DRIVE = 0x82;      // no drive in the slot (any more)
constexpr int ASPI_ERR_NO_BUFFER_OR_DEVICE = 243;
constexpr int ASPI_ERR_NO_MEMORY = 255;
// What Aspi_ScanDevices returns when its last probe found no device: a scan that went well, though the last
// slot was empty.
constexpr int ASPI_SCAN_NO_DEVICE = ASPI_ERR_NO_DRIVE;

// Longest device path kept in a record (the Windows design keeps a 7-character drive root path).
constexpr int ASPI_ROOT_PATH_LEN = 4095;

struct DeviceEntry {
    uint8_t hostAdapterId; // the drive group (0 the SG_IO drives, 1 the image drives)
    uint8_t targetId;      // the slot in that group
    char vendor[8 + 1];
    char product[16 + 1];
    char revision[4 + 1]; // INQUIRY's product revision level; empty where the answer stopped short of it
    char
        driveRootPath[ASPI_ROOT_PATH_LEN + 1]; // device path with a trailing '/', written by the drive dialog
    DeviceEntry* next;
};

// The device list is written only by a scan (Aspi_ScanDevices, Aspi_AssignRootPaths, Aspi_Terminate) and
// read by every call, so a scan must not run while a worker thread reads through the facade. The calls name
// their device by its index and write no state of their own: g_CurrentDevice, the device of the disc shown,
// is set by the one who loads it (Iso_AnalyzeDisc) and only read here.
extern DeviceEntry* g_DeviceList;
extern uint16_t g_DeviceCount;
extern uint16_t g_CurrentDevice;

int Aspi_Initialize();
void Aspi_Terminate();
// Lists the CD drives of every group in group and slot order (those whose INQUIRY says CD-ROM).
int Aspi_ScanDevices();

// The sense of a command that ended in CHECK CONDITION (key, additional sense code and qualifier); all zero
// after a command that went well or failed otherwise.
using AspiSense = ckvd::drives::Sense;
// What the one command a call made did, for that caller alone: its sense, and the bytes it moved into the
// caller's buffer (an answer may be shorter than the allocation asked for; a reader of a drive's answer takes
// no byte past this). Every command below fills one when given it.
struct AspiOutcome {
    AspiSense sense;
    uint32_t transferred = 0;
    bool timedOut = false; // the host gave the command up (the drive's last_timeout() words it)
};

// A command that fails is sent once more, unless the drive answered a medium change's UNIT ATTENTION (news
// for the caller, not a failure worth repeating; the drive counts it, Drive::medium_changes); one answered
// POWER ON OR RESET (06/29) is sent once more after that attention.
int Aspi_TestUnitReady(uint16_t device, AspiOutcome* outcome = nullptr);
int Aspi_StartStopUnit(uint16_t device, uint8_t start, AspiOutcome* outcome = nullptr);
int Aspi_ReadToc(uint16_t device, uint8_t msf, uint8_t format, uint8_t track, uint16_t allocLength,
                 uint8_t* buffer, AspiOutcome* outcome = nullptr);
// READ TOC of `format` read whole (its head, then the length it announces, at most `limit` bytes); `answer`
// holds what came. Throws std::bad_alloc when the announced length cannot be held.
int Aspi_ReadTocAnswer(uint16_t device, uint8_t msf, uint8_t format, std::vector<uint8_t>& answer,
                       uint16_t limit = 0xFFFF, AspiOutcome* outcome = nullptr);
// READ SUB-CHANNEL of the Q sub-channel's `format` (2 the media catalogue number, 3 the ISRC of `track`).
constexpr uint8_t ASPI_SUBQ_MCN = 2, ASPI_SUBQ_ISRC = 3;
int Aspi_ReadSubChannel(uint16_t device, uint8_t format, uint8_t track, uint16_t allocLength, uint8_t* buffer,
                        AspiOutcome* outcome = nullptr);
// READ CAPACITY; `lastLba` and `blockLength` are written only on success.
int Aspi_ReadCapacity(uint16_t device, uint32_t* lastLba, uint32_t* blockLength,
                      AspiOutcome* outcome = nullptr);
int Aspi_ReadSectors(uint16_t device, uint32_t lba, uint32_t blockLength, uint16_t count, uint8_t* buffer,
                     AspiOutcome* outcome = nullptr);
// READ CD of `count` audio (CD-DA) blocks from `lba` into `buffer` of count x 2352 bytes: the samples as the
// drive gives them, 16-bit little-endian stereo. A block that is not audio is refused by the drive.
constexpr uint32_t ASPI_AUDIO_BLOCK_LENGTH = 2352;
int Aspi_ReadCd(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer,
                AspiOutcome* outcome = nullptr);
// READ CD of `count` whole sectors of any type (sync, header, user data, EDC and ECC; 2352 bytes each).
int Aspi_ReadCdRaw(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer,
                   AspiOutcome* outcome = nullptr);
// READ CD of the user data of `count` Mode 2 Form 2 blocks (an XA file's, whose sectors READ(10) refuses
// with ILLEGAL MODE FOR THIS TRACK): 2324 bytes each.
constexpr uint32_t ASPI_FORM2_BLOCK_LENGTH = 2324;
int Aspi_ReadCdForm2(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer,
                     AspiOutcome* outcome = nullptr);

// The device record with this index, or nullptr.
DeviceEntry* Aspi_GetDevice(uint16_t device);
// The drive behind the device with this index (for the MMC commands of platform/drives), or nullptr.
ckvd::drives::Drive* Aspi_GetDrive(uint16_t device);
// Fills every record's drive root path from its drive's device path; devices without a path keep an empty
// one.
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
// A device's revision level as text: without its trailing blanks, a byte outside ASCII a '?'.
std::string Aspi_Revision(const DeviceEntry& entry);
// The drive's state after a start, as `ckvd drives` shows it: "ready", "no-disc" (MEDIUM NOT PRESENT,
// 02/3A/00 or 02/3A/01), "tray-open" (02/3A/02), "becoming-ready" (02/04/01) or "not-ready" (any other
// answer).
const char* Aspi_MediumState(const AspiStartResult& start);
// Scans the devices, gives them their root paths and finds the one at `devicePath` (a device path or an
// image file, without the trailing '/'): its index, or -1 with the scan's result in `*scanResult` (1 when
// the scan went well and no device has that path).
int Aspi_FindDevice(const char* devicePath, int* scanResult);
