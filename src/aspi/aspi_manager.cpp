// The ASPI manager: loads WNASPI32, scans the CD-ROM devices and executes CDBs on them.
#include "aspi/aspi_manager.h"

#include <array>

#include <atomic>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "platform/aspi32/aspi_library.h"
#include "platform/aspi32/wnaspi32.h"
#include "platform/bytes/byte_order.h"

using namespace ckvd::aspi32;

DeviceEntry* g_DeviceList = nullptr;
uint16_t g_DeviceCount = 0;
uint16_t g_CurrentDevice = 0;
AspiSense g_LastSense;
uint32_t g_LastTransferred = 0;

namespace {

constexpr unsigned SEM_NOOPENFILEERRORBOX = 0x8000;
constexpr DWORD kAspiBufferSizes[] = {0x80000, 0x40000, 0x20000}; // 65536 is never asked of ASPI
constexpr size_t kOwnBufferSize = 0x10000;
constexpr BYTE kAllTargets = 0xFF;
constexpr DWORD kTimeoutHalfSeconds = 30;
constexpr BYTE kSenseLength = 14;
constexpr BYTE kCheckCondition = 0x02;
constexpr BYTE kUnitAttention = 0x06;
constexpr BYTE kNotReady = 0x02;
constexpr BYTE kAscNotReady = 0x04, kAscqBecomingReady = 0x01;
constexpr uint8_t kCdRom = 5;

struct Module {
    HMODULE library = nullptr;
    GetASPI32SupportInfo_t getSupportInfo = nullptr;
    SendASPI32Command_t sendCommand = nullptr;
    GetASPI32Buffer_t getBuffer = nullptr;
    FreeASPI32Buffer_t freeBuffer = nullptr;
    TranslateASPI32Address_t translateAddress = nullptr;
    ASPI32BUFF buffer{};
    bool bufferFromAspi = false;
};

Module g_Module;

template <typename T> T resolve(const char* name) {
    return reinterpret_cast<T>(GetProcAddress(g_Module.library, name));
}

DeviceEntry* NewDeviceEntry() {
    return static_cast<DeviceEntry*>(HeapAlloc(sizeof(DeviceEntry)));
}

void FreeDeviceList() {
    for (DeviceEntry* e = g_DeviceList; e;) {
        DeviceEntry* next = e->next;
        HeapFree(e);
        e = next;
    }
    g_DeviceList = nullptr;
    g_DeviceCount = 0;
}

BYTE SupportStatus(DWORD info) {
    return static_cast<BYTE>(info >> 8);
}

// Submits one request and waits for it: on the event when there is one, else by polling its status for at
// most ASPI_POLL_LIMIT ms, so that a request that never completes cannot hang the program.
DWORD Submit(SRB_ExecSCSICmd& srb) {
    HANDLE event = CreateEvent();
    DWORD submitted;
    if (event) {
        srb.SRB_Flags |= SRB_EVENT_NOTIFY;
        srb.SRB_PostProc = event;
        submitted = g_Module.sendCommand(&srb);
        if (submitted == SS_PENDING)
            WaitForSingleObject(event);
        CloseHandle(event);
    } else {
        submitted = g_Module.sendCommand(&srb);
        std::atomic_ref<BYTE> status(srb.SRB_Status); // the library completes the request on its own
        for (unsigned polls = 0; status.load() == SS_PENDING && polls < ASPI_POLL_LIMIT; ++polls)
            Sleep(1);
    }
    return submitted;
}

} // namespace

int Aspi_Initialize() {
    Aspi_Terminate(); // a second start begins from nothing rather than leaking the first

    const unsigned previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    g_Module.library = LoadLibrary("WNASPI32");
    SetErrorMode(previous);
    if (!g_Module.library)
        return ASPI_ERR_NO_LIBRARY;

    g_Module.getSupportInfo = resolve<GetASPI32SupportInfo_t>("GetASPI32SupportInfo");
    g_Module.sendCommand = resolve<SendASPI32Command_t>("SendASPI32Command");
    g_Module.getBuffer = resolve<GetASPI32Buffer_t>("GetASPI32Buffer");
    g_Module.freeBuffer = resolve<FreeASPI32Buffer_t>("FreeASPI32Buffer");
    g_Module.translateAddress = resolve<TranslateASPI32Address_t>("TranslateASPI32Address");
    if (!g_Module.getSupportInfo || !g_Module.sendCommand)
        return ASPI_ERR_NO_ENTRY;

    const BYTE support = SupportStatus(g_Module.getSupportInfo());
    if (support != SS_COMP && support != SS_NO_ADAPTERS)
        return ASPI_ERR_SUPPORT_INFO;

    SRB_GetSetTimeouts timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.SRB_Cmd = SC_GETSET_TIMEOUTS;
    timeouts.SRB_HaId = kAllTargets;
    timeouts.SRB_Flags = SRB_GETSET_SET;
    timeouts.SRB_Target = kAllTargets;
    timeouts.SRB_Lun = kAllTargets;
    timeouts.SRB_Timeout = kTimeoutHalfSeconds;
    const DWORD set = g_Module.sendCommand(&timeouts);
    if (set != SS_COMP)
        return static_cast<int>(set);

    if (g_Module.getBuffer) {
        for (DWORD size : kAspiBufferSizes) {
            ASPI32BUFF b{};
            b.AB_BufLen = size;
            b.AB_ZeroFill = 0;
            if (g_Module.getBuffer(&b) && b.AB_BufPointer) {
                g_Module.buffer = b;
                g_Module.bufferFromAspi = true;
                return ASPI_OK;
            }
        }
    }
    g_Module.bufferFromAspi = false;
    g_Module.buffer = ASPI32BUFF{};
    g_Module.buffer.AB_BufPointer = static_cast<BYTE*>(VirtualAlloc(kOwnBufferSize));
    if (!g_Module.buffer.AB_BufPointer)
        return ASPI_ERR_NO_BUFFER_OR_DEVICE;
    g_Module.buffer.AB_BufLen = kOwnBufferSize;
    return ASPI_OK;
}

void Aspi_Terminate() {
    FreeDeviceList();
    if (g_Module.buffer.AB_BufPointer) {
        if (g_Module.bufferFromAspi && g_Module.freeBuffer)
            g_Module.freeBuffer(&g_Module.buffer);
        else if (!g_Module.bufferFromAspi)
            VirtualFree(g_Module.buffer.AB_BufPointer);
    }
    if (g_Module.library)
        FreeLibrary(g_Module.library);
    g_Module = Module{};
    g_CurrentDevice = 0;
}

int Aspi_ScanDevices() {
    int result = ASPI_OK;
    FreeDeviceList();
    if (!g_Module.getSupportInfo || !g_Module.sendCommand) // never initialised: nothing to scan
        return result;

    const DWORD info = g_Module.getSupportInfo();
    if (SupportStatus(info) != SS_COMP)
        return result;
    const unsigned adapters = info & 0xFF;

    DeviceEntry* tail = nullptr;
    for (unsigned ha = 0; ha < adapters; ++ha) {
        SRB_HAInquiry inquiry;
        std::memset(&inquiry, 0, sizeof inquiry);
        inquiry.SRB_Cmd = SC_HA_INQUIRY;
        inquiry.SRB_HaId = static_cast<BYTE>(ha);
        DWORD sent = g_Module.sendCommand(&inquiry);
        if (inquiry.SRB_Status != SS_COMP) {
            result = static_cast<int>(sent);
            continue;
        }
        unsigned targets = inquiry.HA_Unique[3];
        if (targets != 8 && targets != 16)
            targets = 8;

        for (unsigned target = 0; target < targets; ++target) {
            SRB_GDEVBlock dev;
            std::memset(&dev, 0, sizeof dev);
            dev.SRB_Cmd = SC_GET_DEV_TYPE;
            dev.SRB_HaId = static_cast<BYTE>(ha);
            dev.SRB_Target = static_cast<BYTE>(target);
            dev.SRB_Lun = 0;
            sent = g_Module.sendCommand(&dev);
            if (dev.SRB_Status != SS_COMP || dev.SRB_DeviceType != kCdRom) {
                result = static_cast<int>(sent);
                continue;
            }

            DeviceEntry* entry = NewDeviceEntry();
            if (!entry)
                return ASPI_ERR_NO_MEMORY;
            entry->hostAdapterId = static_cast<uint8_t>(ha);
            entry->targetId = static_cast<uint8_t>(target);
            // The executor finds the device by its index, so the record joins the list before INQUIRY.
            (tail ? tail->next : g_DeviceList) = entry;

            uint8_t response[36] = {};
            const uint8_t cdb[6] = {0x12, 0, 0, 0, sizeof response, 0};
            result =
                Aspi_ExecuteCommand(g_DeviceCount, ASPI_DIR_IN, sizeof response, response, sizeof cdb, cdb);
            if (result != ASPI_OK || response[0] != kCdRom) {
                (tail ? tail->next : g_DeviceList) = nullptr;
                HeapFree(entry);
                continue;
            }
            std::memcpy(entry->vendor, response + 8, 8);
            entry->vendor[8] = '\0';
            std::memcpy(entry->product, response + 16, 16);
            entry->product[16] = '\0';
            tail = entry;
            ++g_DeviceCount;
        }
    }
    return result;
}

DeviceEntry* Aspi_GetDevice(uint16_t device) {
    DeviceEntry* e = g_DeviceList;
    for (uint16_t i = 0; e && i < device; ++i)
        e = e->next;
    return e;
}

int Aspi_ExecuteCommand(uint16_t device, uint8_t flags, uint32_t dataLength, uint8_t* data, uint8_t cdbLength,
                        const uint8_t* cdb) {
    DeviceEntry* entry = Aspi_GetDevice(device);
    g_LastTransferred = 0;
    if (!entry || !g_Module.sendCommand)
        return ASPI_ERR_NO_BUFFER_OR_DEVICE;
    g_CurrentDevice = device;

    SRB_ExecSCSICmd srb;
    if (cdbLength > sizeof srb.CDBByte || (cdbLength && !cdb)) // the request cannot hold it
        return SS_INVALID_SRB;

    DWORD submitted = SS_PENDING;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = entry->hostAdapterId;
        srb.SRB_Flags = flags;
        srb.SRB_Target = entry->targetId;
        srb.SRB_Lun = 0;
        srb.SRB_BufLen = dataLength;
        srb.SRB_BufPointer = data;
        srb.SRB_SenseLen = kSenseLength;
        srb.SRB_CDBLen = cdbLength;
        if (cdbLength)
            std::memcpy(srb.CDBByte, cdb, cdbLength);

        submitted = Submit(srb);
        g_LastSense = {};
        g_LastTransferred = srb.SRB_Transferred;
        if (srb.SRB_Status == SS_COMP)
            return ASPI_OK;
        if (srb.SRB_TargStat == kCheckCondition)
            g_LastSense = {static_cast<uint8_t>(srb.SenseArea[2] & 0x0F), srb.SenseArea[12],
                           srb.SenseArea[13]};
        // A medium change is news for the caller, not a failure worth repeating.
        if (srb.SRB_TargStat == kCheckCondition && (srb.SenseArea[2] & 0x0F) == kUnitAttention)
            break;
    }
    // A queued command that failed was answered SS_PENDING (0) at submission; its request's own status
    // (SS_ERR) is returned instead, and a request given up while still pending counts as aborted, so that
    // no failure ever reaches a caller, or a message, as code 0.
    if (submitted == SS_PENDING)
        return srb.SRB_Status != SS_PENDING ? srb.SRB_Status : SS_ABORTED;
    return static_cast<int>(submitted);
}

int Aspi_TestUnitReady(uint16_t device) {
    const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
    return Aspi_ExecuteCommand(device, ASPI_DIR_NONE, 0, nullptr, sizeof cdb, cdb);
}

int Aspi_StartStopUnit(uint16_t device, uint8_t start) {
    const uint8_t cdb[6] = {0x1B, 0, 0, 0, start, 0};
    return Aspi_ExecuteCommand(device, ASPI_DIR_NONE, 0, nullptr, sizeof cdb, cdb);
}

int Aspi_ReadToc(uint16_t device, uint8_t msf, uint8_t format, uint8_t track, uint16_t allocLength,
                 uint8_t* buffer) {
    // MMC reads the format from byte 2. Drives of the older ATAPI convention (SFF-8020i: many drives of that
    // era, and the IDE and AHCI drives of emulators) read it from bits 7-6 of byte 9 and ignore byte 2, so
    // the format goes in both places; byte 9 has room for formats 0 (TOC), 1 (session information), 2 (full
    // TOC).
    const uint8_t sff8020i = format <= 2 ? static_cast<uint8_t>(format << 6) : 0;
    const uint8_t cdb[10] = {
        0x43,  static_cast<uint8_t>(msf ? 0x02 : 0x00), static_cast<uint8_t>(format & 0x0F), 0,       0, 0,
        track, static_cast<uint8_t>(allocLength >> 8),  static_cast<uint8_t>(allocLength),   sff8020i};
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, allocLength, buffer, sizeof cdb, cdb);
}

int Aspi_ReadSubChannel(uint16_t device, uint8_t format, uint8_t track, uint16_t allocLength,
                        uint8_t* buffer) {
    const uint8_t cdb[10] = {0x42,
                             0,
                             0x40 /* SUBQ */,
                             format,
                             0,
                             0,
                             track,
                             static_cast<uint8_t>(allocLength >> 8),
                             static_cast<uint8_t>(allocLength),
                             0};
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, allocLength, buffer, sizeof cdb, cdb);
}

int Aspi_ReadCapacity(uint16_t device, uint32_t* lastLba, uint32_t* blockLength) {
    const uint8_t cdb[10] = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    uint8_t response[8] = {};
    const int result = Aspi_ExecuteCommand(device, ASPI_DIR_IN, sizeof response, response, sizeof cdb, cdb);
    if (result != ASPI_OK)
        return result;
    if (lastLba)
        *lastLba = bytes::Be32(response);
    if (blockLength)
        *blockLength = bytes::Be32(response + 4);
    return result;
}

namespace {

// A read command block: the opcode and `flags`, the first block at bytes 2-5 and the count at bytes 7-8,
// big-endian, the rest zero.
template <size_t N>
std::array<uint8_t, N> ReadCdb(uint8_t opcode, uint8_t flags, uint32_t lba, uint16_t count) {
    std::array<uint8_t, N> cdb{};
    cdb[0] = opcode;
    cdb[1] = flags;
    for (int i = 0; i < 4; ++i)
        cdb[2 + i] = static_cast<uint8_t>(lba >> (24 - 8 * i));
    cdb[7] = static_cast<uint8_t>(count >> 8);
    cdb[8] = static_cast<uint8_t>(count);
    return cdb;
}

} // namespace

int Aspi_ReadSectors(uint16_t device, uint32_t lba, uint32_t blockLength, uint16_t count, uint8_t* buffer) {
    const uint64_t length = uint64_t{blockLength} * count;
    if (length > UINT32_MAX) // more than one request can describe
        return SS_BUFFER_TO_BIG;
    const std::array<uint8_t, 10> cdb = ReadCdb<10>(0x28, 0, lba, count);
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, static_cast<uint32_t>(length), buffer,
                               static_cast<uint8_t>(cdb.size()), cdb.data());
}

int Aspi_ReadCd(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer) {
    // READ CD (MMC-3): expected sector type CD-DA (byte 1 bits 4-2 = 001), user data only (byte 9 bit 4),
    // no sub-channel: 2352 bytes a block.
    std::array<uint8_t, 12> cdb = ReadCdb<12>(0xBE, 0x01 << 2, lba, count);
    cdb[9] = 0x10;
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, uint32_t{ASPI_AUDIO_BLOCK_LENGTH} * count, buffer,
                               static_cast<uint8_t>(cdb.size()), cdb.data());
}

int Aspi_ReadCdRaw(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer) {
    // Any sector type, with sync, all headers, user data, EDC and ECC (byte 9 = 0xF8): 2352 bytes a block.
    std::array<uint8_t, 12> cdb = ReadCdb<12>(0xBE, 0, lba, count);
    cdb[9] = 0xF8;
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, uint32_t{ASPI_AUDIO_BLOCK_LENGTH} * count, buffer,
                               static_cast<uint8_t>(cdb.size()), cdb.data());
}

int Aspi_ReadCdForm2(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer) {
    // Expected sector type Mode 2 Form 2 (byte 1 bits 4-2 = 101), user data only: 2324 bytes a block.
    std::array<uint8_t, 12> cdb = ReadCdb<12>(0xBE, 0x05 << 2, lba, count);
    cdb[9] = 0x10;
    return Aspi_ExecuteCommand(device, ASPI_DIR_IN, uint32_t{ASPI_FORM2_BLOCK_LENGTH} * count, buffer,
                               static_cast<uint8_t>(cdb.size()), cdb.data());
}

void Aspi_AssignRootPaths() {
    for (DeviceEntry* e = g_DeviceList; e; e = e->next) {
        e->driveRootPath[0] = '\0';
        const ckvd::drives::ScsiTarget* target = FindTarget(e->hostAdapterId, e->targetId);
        if (!target)
            continue;
        const std::string path = target->device_path();
        // A cut path would name another file, so a path longer than the field leaves it empty.
        if (path.empty() || path.size() + 1 >= sizeof e->driveRootPath)
            continue;
        std::memcpy(e->driveRootPath, path.data(), path.size());
        e->driveRootPath[path.size()] = '/';
        e->driveRootPath[path.size() + 1] = '\0';
    }
}

AspiStartResult Aspi_StartDevice(uint16_t device, const AspiStartHooks& hooks) {
    AspiStartResult r;
    r.spinUp = Aspi_StartStopUnit(device, 1);
    if (r.spinUp != ASPI_OK && hooks.spinUpFailed)
        hooks.spinUpFailed(r.spinUp);
    for (int attempt = 1; attempt <= ASPI_READINESS_TESTS; ++attempt) {
        ++r.tests;
        r.ready = Aspi_TestUnitReady(device);
        r.sense = g_LastSense;
        if (r.ready == ASPI_OK || attempt == ASPI_READINESS_TESTS)
            break;
        if (r.sense.key == kUnitAttention)
            continue;
        if (r.sense.key != kNotReady || r.sense.asc != kAscNotReady || r.sense.ascq != kAscqBecomingReady)
            break;
        if (hooks.wait)
            hooks.wait(ASPI_READINESS_WAIT_MS);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ASPI_READINESS_WAIT_MS));
    }
    return r;
}

int Aspi_FindDevice(const char* devicePath, int* scanResult) {
    const int rc = Aspi_ScanDevices();
    if (scanResult)
        *scanResult = rc == ASPI_SCAN_NO_DEVICE ? ASPI_OK : rc;
    if (rc != ASPI_OK && rc != ASPI_SCAN_NO_DEVICE)
        return -1;
    Aspi_AssignRootPaths();
    const std::string root = std::string(devicePath ? devicePath : "") + "/";
    uint16_t index = 0;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        if (root == d->driveRootPath)
            return index;
    }
    return -1;
}
