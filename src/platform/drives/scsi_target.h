// The back ends behind the ASPI stand-in: a SCSI target executes one CDB synchronously.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ckvd::drives {

enum class Direction : uint8_t { None, In, Out };

// SCSI status byte values.
constexpr uint8_t kStatusGood = 0x00;
constexpr uint8_t kStatusCheckCondition = 0x02;

// Sense keys and additional sense codes the image drive uses.
constexpr uint8_t kSenseNotReady = 0x02;
constexpr uint8_t kSenseMediumError = 0x03;
constexpr uint8_t kSenseIllegalRequest = 0x05;
constexpr uint8_t kSenseUnitAttention = 0x06;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscLbaOutOfRange = 0x21;
constexpr uint8_t kAscInvalidFieldInCdb = 0x24;
constexpr uint8_t kAscMediumChanged = 0x28;
constexpr uint8_t kAscMediumNotPresent = 0x3A;
constexpr uint8_t kAscReadError = 0x11;
constexpr uint8_t kAscIllegalModeForTrack = 0x64; // READ CD of a sector of another type

// Host adapter status values (ASPI's HASTAT_...) a back end reports when a command never completed.
constexpr uint8_t kHostCommandTimeout = 0x0B;
constexpr uint8_t kHostBusReset = 0x0E;
constexpr uint8_t kHostSelectionTimeout = 0x11;
constexpr uint8_t kHostPhaseError = 0x14;

struct CommandResult {
    bool transport_ok = true; // false: the command never reached the device (host adapter error)
    uint8_t host_status = 0;  // ASPI HA status when !transport_ok (e.g. 0x11 selection time-out)
    uint8_t target_status = kStatusGood;
    std::array<uint8_t, 18> sense{}; // fixed-format sense data, valid on CHECK CONDITION
    uint32_t transferred = 0;
};

// Builds fixed-format sense data (response code 0x70) with key, ASC and ASCQ.
CommandResult check_condition(uint8_t key, uint8_t asc, uint8_t ascq = 0);

class ScsiTarget {
  public:
    virtual ~ScsiTarget() = default;
    // Peripheral device type as SC_GET_DEV_TYPE reports it (5 = CD-ROM).
    virtual uint8_t device_type() const = 0;
    // Executes one CDB. `data` is the caller's buffer of the request's data length.
    virtual CommandResult execute(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) = 0;
    // The path the program shows for this device and the key of its track files ("/dev/sr0", image path).
    virtual std::string device_path() const = 0;
};

class HostAdapter {
  public:
    virtual ~HostAdapter() = default;
    virtual std::string identifier() const = 0; // HA_Identifier, up to 16 characters
    virtual uint8_t max_targets() const = 0;    // HA_Unique byte 3
    // The target at `id`, or nullptr when nothing answers there.
    virtual ScsiTarget* target(uint8_t id) = 0;
};

} // namespace ckvd::drives
