// A test drive that serves a crafted disc: TOC bytes, READ CAPACITY and sectors, through the real device
// facade, and records every READ(10) it is sent.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/drives/drive.h"

namespace isotest {

using Sector = std::array<uint8_t, 2048>;

struct ReadCommand {
    uint32_t lba;
    uint16_t count;
};

class FakeDrive final : public ckvd::drives::Drive {
  public:
    std::vector<uint8_t> fullToc;      // READ TOC format 2 response, header included
    std::vector<uint8_t> formattedToc; // READ TOC format 0 response (MSF form); the LBA form is derived
    uint32_t lastLba = 0;
    uint32_t blockLength = 2048;
    std::map<uint32_t, Sector> sectors; // blocks not present fail with LBA OUT OF RANGE
    std::vector<ReadCommand> reads;
    bool failLbaToc = false;          // READ TOC format 0 in LBA form ends in CHECK CONDITION
    bool refuseFullToc = false;       // READ TOC format 2 ends in ILLEGAL REQUEST, as for a DVD
    std::vector<uint8_t> sessionInfo; // READ TOC format 1 (LBA); none: ILLEGAL REQUEST

    uint8_t device_type() const override { return 5; }
    std::string device_path() const override { return "/fake/drive"; }
    ckvd::drives::CommandResult run(std::span<const uint8_t> cdb, ckvd::drives::Direction dir,
                                    std::span<uint8_t> data) override;

    Sector& at(uint32_t lba) { return sectors[lba]; }
};

// Installs `drive` as the only device (index 0) of a freshly started device facade.
void InstallDrive(std::shared_ptr<FakeDrive> drive);
void RemoveDrives();
// For reading files without a file system: installs `drive` as device 0 and makes a current disc model of
// one 2048-byte session reaching block 9999.
void InstallFileDrive(std::shared_ptr<FakeDrive> drive);
// Writes `bytes` into at least `minBlocks` sectors from `lba` on, zero-filled after them.
void PlaceBytes(FakeDrive& drive, uint32_t lba, const std::vector<uint8_t>& bytes, size_t minBlocks = 1);
inline void PutBytes(FakeDrive& drive, uint32_t lba, const std::vector<uint8_t>& bytes) {
    PlaceBytes(drive, lba, bytes, 0);
}

// Full TOC: 11-byte descriptors after a 4-byte header.
struct TocBuilder {
    std::vector<uint8_t> bytes{0, 0, 1, 1};
    TocBuilder& add(uint8_t session, uint8_t adrControl, uint8_t point, std::array<uint8_t, 3> msf,
                    uint8_t zero, std::array<uint8_t, 3> pmsf);
    // A session's A0 (first track, disc type), A1 (last track) and A2 (lead-out at `leadout`).
    TocBuilder& points(uint8_t session, uint8_t adrControl, uint8_t first, uint8_t discType, uint8_t last,
                       int32_t leadout);
    std::vector<uint8_t> build(uint8_t lastSession);
};
std::array<uint8_t, 3> Msf(int32_t lba);
// The drive's full TOC, its formatted TOC of the given (CONTROL, start) tracks and its last block before
// `leadout`.
void SetToc(FakeDrive& d, std::vector<uint8_t> fullToc,
            const std::vector<std::pair<uint8_t, uint32_t>>& tracks, uint32_t leadout);
// A one-session CD-ROM TOC whose data track starts at `start` and ends at `leadout`.
void SingleDataSessionToc(FakeDrive& d, uint32_t start = 0, uint32_t leadout = 1000);

} // namespace isotest
