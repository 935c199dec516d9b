// The device facade: scans the drive groups into the device list and runs each command on the device's drive.
#include "aspi/aspi_manager.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc.h"
#include "platform/drives/mmc_commands.h"

using namespace ckvd::drives;

DeviceEntry* g_DeviceList = nullptr;
uint16_t g_DeviceCount = 0;
uint16_t g_CurrentDevice = 0;

namespace {

bool g_Started = false; // between Aspi_Initialize and Aspi_Terminate

void FreeDeviceList() {
    for (DeviceEntry* e = g_DeviceList; e;) {
        DeviceEntry* next = e->next;
        delete e;
        e = next;
    }
    g_DeviceList = nullptr;
    g_DeviceCount = 0;
}

bool IsReset(const CommandResult& r) {
    const Sense s = r.sense_code();
    return s.key == kSenseUnitAttention && s.asc == kAscPowerOnOrReset;
}

// A drive whose failed commands are sent a second time, but for a medium change's UNIT ATTENTION (news for
// the caller, not a failure worth repeating). A command answered POWER ON OR RESET (06/29) is sent once more
// after that attention: the drive was reset, and its answer is still needed.
class RetriedOnce final : public Drive {
  public:
    explicit RetriedOnce(Drive& drive) : drive_(drive) {}
    uint8_t device_type() const override { return drive_.device_type(); }
    std::string device_path() const override { return drive_.device_path(); }

  protected:
    CommandResult run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) override {
        CommandResult r = drive_.execute(cdb, dir, data);
        if (r.ok() || (r.sense_code().key == kSenseUnitAttention && !IsReset(r)))
            return r;
        r = drive_.execute(cdb, dir, data);
        if (IsReset(r))
            r = drive_.execute(cdb, dir, data);
        return r;
    }

  private:
    Drive& drive_;
};

// Runs `command` on the device's drive and reports it: ASPI_OK, or the failure's code.
template <typename Command> int Run(uint16_t device, AspiOutcome* outcome, Command command) {
    if (outcome)
        *outcome = {};
    const DeviceEntry* entry = Aspi_GetDevice(device);
    if (!entry)
        return ASPI_ERR_NO_BUFFER_OR_DEVICE;
    Drive* drive = FindDrive(entry->hostAdapterId, entry->targetId);
    if (!drive) // taken away since the scan
        return ASPI_ERR_NO_DRIVE;
    RetriedOnce retried(*drive);
    const CommandResult r = command(static_cast<Drive&>(retried));
    if (outcome)
        *outcome = {r.sense_code(), r.transferred, !r.transport_ok && r.host_status == kHostCommandTimeout};
    return r.ok() ? ASPI_OK : ASPI_ERR_FAILED;
}

std::span<uint8_t> Buffer(uint8_t* data, uint64_t length) {
    return data ? std::span<uint8_t>(data, length) : std::span<uint8_t>();
}

// Adds the drive in (group, slot) to the list when its INQUIRY says CD-ROM: the scan's result for this slot.
int Probe(unsigned group, unsigned slot, DeviceEntry*& tail) {
    Drive* drive = FindDrive(group, slot);
    if (!drive)
        return ASPI_ERR_NO_DRIVE;
    if (drive->device_type() != ckvd::mmc::kCdRomDeviceType)
        return ASPI_OK;
    auto* entry = new (std::nothrow) DeviceEntry{};
    if (!entry)
        return ASPI_ERR_NO_MEMORY;
    entry->hostAdapterId = static_cast<uint8_t>(group);
    entry->targetId = static_cast<uint8_t>(slot);
    uint8_t answer[ckvd::mmc::kInquiryLength] = {};
    AspiOutcome ignored;
    // The facade finds the device by its index, so the record joins the list before INQUIRY.
    (tail ? tail->next : g_DeviceList) = entry;
    const int rc = Run(g_DeviceCount, &ignored, [&](Drive& d) { return Inquiry(d, answer); });
    if (rc != ASPI_OK || answer[0] != ckvd::mmc::kCdRomDeviceType) {
        (tail ? tail->next : g_DeviceList) = nullptr;
        delete entry;
        return rc;
    }
    // A field is read only where the answer reached it: its bytes came and its additional length covers it.
    const size_t length = std::min<size_t>(ignored.transferred, size_t{answer[4]} + 5);
    const auto field = [&](char* to, size_t from, size_t size) {
        if (length >= from + size)
            std::memcpy(to, answer + from, size);
    };
    field(entry->vendor, 8, 8);
    field(entry->product, 16, 16);
    field(entry->revision, 32, 4);
    tail = entry;
    ++g_DeviceCount;
    return rc;
}

} // namespace

int Aspi_Initialize() {
    Aspi_Terminate(); // a second start begins from nothing
    g_Started = true;
    return ASPI_OK;
}

void Aspi_Terminate() {
    FreeDeviceList();
    g_Started = false;
    g_CurrentDevice = 0;
}

int Aspi_ScanDevices() {
    int result = ASPI_OK;
    FreeDeviceList();
    if (!g_Started) // never started: nothing to scan
        return result;
    const auto& groups = DriveGroups();
    DeviceEntry* tail = nullptr;
    for (unsigned group = 0; group < groups.size(); ++group) {
        if (!groups[group]) {
            result = ASPI_ERR_INVALID_GROUP;
            continue;
        }
        unsigned count = groups[group]->slot_count();
        if (count != 8 && count != 16)
            count = 8;
        for (unsigned slot = 0; slot < count; ++slot) {
            result = Probe(group, slot, tail);
            if (result == ASPI_ERR_NO_MEMORY)
                return result;
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

Drive* Aspi_GetDrive(uint16_t device) {
    const DeviceEntry* entry = Aspi_GetDevice(device);
    return entry ? FindDrive(entry->hostAdapterId, entry->targetId) : nullptr;
}

int Aspi_TestUnitReady(uint16_t device, AspiOutcome* outcome) {
    return Run(device, outcome, [](Drive& d) { return TestUnitReady(d); });
}

int Aspi_StartStopUnit(uint16_t device, uint8_t start, AspiOutcome* outcome) {
    return Run(device, outcome, [&](Drive& d) { return StartStopUnit(d, start); });
}

int Aspi_ReadToc(uint16_t device, uint8_t msf, uint8_t format, uint8_t track, uint16_t allocLength,
                 uint8_t* buffer, AspiOutcome* outcome) {
    return Run(device, outcome,
               [&](Drive& d) { return ReadToc(d, msf != 0, format, track, Buffer(buffer, allocLength)); });
}

int Aspi_ReadTocAnswer(uint16_t device, uint8_t msf, uint8_t format, std::vector<uint8_t>& answer,
                       uint16_t limit, AspiOutcome* outcome) {
    answer.clear();
    return Run(device, outcome,
               [&](Drive& d) { return ReadTocAnswer(d, msf != 0, format, 0, answer, limit); });
}

int Aspi_ReadSubChannel(uint16_t device, uint8_t format, uint8_t track, uint16_t allocLength, uint8_t* buffer,
                        AspiOutcome* outcome) {
    return Run(device, outcome,
               [&](Drive& d) { return ReadSubChannel(d, format, track, Buffer(buffer, allocLength)); });
}

int Aspi_ReadCapacity(uint16_t device, uint32_t* lastLba, uint32_t* blockLength, AspiOutcome* outcome) {
    return Run(device, outcome, [&](Drive& d) { return ReadCapacity(d, lastLba, blockLength); });
}

int Aspi_ReadSectors(uint16_t device, uint32_t lba, uint32_t blockLength, uint16_t count, uint8_t* buffer,
                     AspiOutcome* outcome) {
    const uint64_t length = uint64_t{blockLength} * count;
    if (length > UINT32_MAX) // more than one command can describe
        return ASPI_ERR_TOO_LONG;
    return Run(device, outcome, [&](Drive& d) { return Read10(d, lba, count, Buffer(buffer, length)); });
}

int Aspi_ReadCd(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer, AspiOutcome* outcome) {
    return Run(device, outcome, [&](Drive& d) {
        return ReadCdAudio(d, lba, count, Buffer(buffer, uint64_t{ASPI_AUDIO_BLOCK_LENGTH} * count));
    });
}

int Aspi_ReadCdRaw(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer, AspiOutcome* outcome) {
    return Run(device, outcome, [&](Drive& d) {
        return ReadCdRaw(d, lba, count, Buffer(buffer, uint64_t{ASPI_AUDIO_BLOCK_LENGTH} * count));
    });
}

int Aspi_ReadCdForm2(uint16_t device, uint32_t lba, uint16_t count, uint8_t* buffer, AspiOutcome* outcome) {
    return Run(device, outcome, [&](Drive& d) {
        return ReadCdForm2(d, lba, count, Buffer(buffer, uint64_t{ASPI_FORM2_BLOCK_LENGTH} * count));
    });
}

void Aspi_AssignRootPaths() {
    for (DeviceEntry* e = g_DeviceList; e; e = e->next) {
        e->driveRootPath[0] = '\0';
        const Drive* drive = FindDrive(e->hostAdapterId, e->targetId);
        if (!drive)
            continue;
        const std::string path = drive->device_path();
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
        AspiOutcome test;
        r.ready = Aspi_TestUnitReady(device, &test);
        r.sense = test.sense;
        if (r.ready == ASPI_OK || attempt == ASPI_READINESS_TESTS)
            break;
        if (r.sense.key == kSenseUnitAttention)
            continue;
        if (r.sense != AspiSense{kSenseNotReady, kAscNotReady, kAscqBecomingReady})
            break;
        if (hooks.wait)
            hooks.wait(ASPI_READINESS_WAIT_MS);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ASPI_READINESS_WAIT_MS));
    }
    return r;
}

std::string Aspi_Revision(const DeviceEntry& entry) {
    std::string revision;
    for (const char* c = entry.revision; *c; ++c) // ASCII by the standard; anything else is not taken
        revision += *c >= 0x20 && *c < 0x7F ? *c : '?';
    while (!revision.empty() && revision.back() == ' ')
        revision.pop_back();
    return revision;
}

const char* Aspi_MediumState(const AspiStartResult& start) {
    const AspiSense s = start.sense;
    if (start.ready == ASPI_OK)
        return "ready";
    if (s.key == kSenseNotReady && s.asc == kAscMediumNotPresent)
        return s.ascq == kAscqTrayOpen ? "tray-open" : s.ascq <= 1 ? "no-disc" : "not-ready";
    if (s == AspiSense{kSenseNotReady, kAscNotReady, kAscqBecomingReady})
        return "becoming-ready";
    return "not-ready";
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
