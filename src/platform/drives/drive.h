// The one command interface of a CD drive: a drive executes one CDB and returns what that command did. The
// SG_IO drives and the image drives implement it; the MMC commands over it are in mmc_commands.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace ckvd::drives {

enum class Direction : uint8_t { None, In, Out };

// SCSI status byte values.
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// Sense keys and additional sense codes.
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kSenseMediumError = 0x03;
constexpr uint8_t kSenseIllegalRequest = 0x05;
constexpr uint8_t kSenseUnitAttention = 0x06;
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscqBecomingReady = 0x01;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscLbaOutOfRange = 0x21;
constexpr uint8_t kAscInvalidFieldInCdb = 0x24;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscPowerOnOrReset = 0x29;
constexpr uint8_t kAscqTrayOpen = 0x02; // of MEDIUM NOT PRESENT
constexpr uint8_t kAscMediumNotPresent = 0x3A;
constexpr uint8_t kAscReadError = 0x11;
constexpr uint8_t kAscIllegalModeForTrack = 0x64; // READ CD of a sector of another type

// Why a command never reached the drive (the host side's time-out, reset, missing device).
constexpr uint8_t kHostCommandTimeout = 0x0B;
constexpr uint8_t kHostBusReset = 0x0E;
constexpr uint8_t kHostSelectionTimeout = 0x11;
constexpr uint8_t kHostPhaseError = 0x14;

// The sense key, additional sense code and qualifier of a CHECK CONDITION.
struct Sense {
    uint8_t key = 0, asc = 0, ascq = 0;
    bool operator==(const Sense&) const = default;
};

// What one command did.
struct CommandResult {
    bool transport_ok = true; // false: the command never reached the device
    uint8_t host_status = 0;  // why, when !transport_ok (kHost...)
    uint8_t target_status = kStatusGood;
    std::array<uint8_t, 18> sense{}; // fixed-format sense data, valid on CHECK CONDITION
    uint32_t transferred = 0;        // bytes moved; an answer may be shorter than its allocation

    bool ok() const { return transport_ok && target_status == kStatusGood; }
    // Key, ASC and ASCQ of a CHECK CONDITION; all zero otherwise.
    Sense sense_code() const;
};

// Builds fixed-format sense data (response code 0x70) with key, ASC and ASCQ.
CommandResult check_condition(uint8_t key, uint8_t asc, uint8_t ascq = 0);

class Drive {
  public:
    virtual ~Drive() = default;
    // Peripheral device type (5 = CD-ROM).
    virtual uint8_t device_type() const = 0;
    // The path the program shows for this drive and the key of its track files ("/dev/sr0", image path).
    virtual std::string device_path() const = 0;
    // Executes one CDB with `data` as the caller's buffer. Calls from several threads run one at a time; a
    // call touches no other drive, and its result is its own (never more bytes than `data` holds).
    CommandResult execute(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data);

    // The generic SCSI node of the same drive ("/dev/sg1" beside "/dev/sr0"), empty where there is none.
    virtual std::string generic_path() const { return {}; }
    // How long a command may take before the host gives it up, in seconds (0: no limit).
    virtual unsigned timeout_seconds() const { return 0; }

    // What execute noticed, for whoever reads the drive: the commands answered UNIT ATTENTION, MEDIUM MAY
    // HAVE CHANGED (06/28) so far, so a reader that takes the count before and after its work knows whether
    // the disc it read is still the one in the drive; the commands that timed out and the last of them in
    // words ("READ CD (BEh) at block 1234 timed out after 15 s on /dev/sr0").
    uint64_t medium_changes() const { return medium_changes_.load(); }
    uint64_t timeouts() const { return timeouts_.load(); }
    std::string last_timeout() const;

  protected:
    virtual CommandResult run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) = 0;
    // Held by execute while a command runs; a drive's other changes (a new medium) take it too.
    std::mutex& command_lock() { return mutex_; }

  private:
    std::mutex mutex_;
    std::atomic<uint64_t> medium_changes_{0};
    std::atomic<uint64_t> timeouts_{0};
    mutable std::mutex timeout_mutex_; // guards last_timeout_, which readers take while a command runs
    std::string last_timeout_;
};

// A command in words, from its opcode and where it reads: "READ CD (BEh) at block 1234", "TEST UNIT READY
// (00h)", "command 5Ah" for one the program does not name.
std::string DescribeCommand(std::span<const uint8_t> cdb);

// A numbered set of drives (the SG_IO drives, the image drives); a drive keeps its slot while it is there.
class DriveGroup {
  public:
    virtual ~DriveGroup() = default;
    virtual uint8_t slot_count() const = 0;
    // The drive in `slot`, or nullptr when the slot is empty.
    virtual Drive* drive(uint8_t slot) = 0;
};

} // namespace ckvd::drives
