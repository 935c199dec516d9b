// Fuzzes the reading of a drive's TOC: a drive whose answers to READ TOC (the formatted TOC, the session
// information, the full TOC) are the fuzzed bytes, read through the real device facade by the disc analysis
// (the audio CD's track files included) and by the verify's plan. Input: a byte of flags (bit 0: the full
// TOC is refused, bit 1: the session information is), then the answers to formats 0, 1 and 2, each as a
// 16-bit big-endian length and its bytes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc.h"
#include "verify/disc_verify.h"

namespace {

using namespace ckvd::drives;

class TocDrive final : public Drive {
  public:
    std::vector<uint8_t> answers[3]; // READ TOC formats 0, 1 and 2
    uint8_t refused = 0;
    uint8_t device_type() const override { return 5; }
    std::string device_path() const override { return "/fuzz/drive"; }
    CommandResult run(std::span<const uint8_t> cdb, Direction, std::span<uint8_t> data) override {
        using namespace ckvd::mmc;
        CommandResult r;
        const uint8_t inquiry[36] = {5}, capacity[8] = {0, 0, 0x2E, 0xDF, 0, 0, 8, 0}; // 11999, 2048
        const uint8_t format = cdb.size() > 2 ? cdb[2] & 0x0F : 0;
        std::span<const uint8_t> answer;
        if (cdb[0] == kInquiry)
            answer = inquiry;
        else if (cdb[0] == kReadCapacity)
            answer = capacity;
        else if (cdb[0] == kReadToc && format <= kTocFull && !(format == kTocFull && (refused & 1)) &&
                 !(format == kTocSessionInfo && (refused & 2)))
            answer = answers[format];
        else if (cdb[0] != kTestUnitReady && cdb[0] != kStartStopUnit) // every read fails
            return check_condition(kSenseIllegalRequest,
                                   cdb[0] == kReadToc ? kAscInvalidFieldInCdb : kAscLbaOutOfRange);
        r.transferred = static_cast<uint32_t>(std::min(answer.size(), data.size()));
        if (r.transferred)
            std::memcpy(data.data(), answer.data(), r.transferred);
        return r;
    }
};

class OneDrive final : public DriveGroup {
  public:
    explicit OneDrive(std::shared_ptr<TocDrive> drive) : drive_(std::move(drive)) {}
    uint8_t slot_count() const override { return 8; }
    Drive* drive(uint8_t slot) override { return slot == 0 ? drive_.get() : nullptr; }

  private:
    std::shared_ptr<TocDrive> drive_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (size < 1)
        return 0;
    auto drive = std::make_shared<TocDrive>();
    drive->refused = in[0];
    size_t at = 1;
    for (auto& answer : drive->answers) {
        if (at + 2 > size)
            break;
        const size_t n = std::min<size_t>(size - at - 2, size_t{in[at]} << 8 | in[at + 1]);
        answer.assign(in + at + 2, in + at + 2 + n);
        at += 2 + n;
    }
    ckvd::drives::SetDriveGroups({std::make_shared<OneDrive>(drive)});
    Aspi_Initialize();
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    Iso_Initialize();
    Iso_AnalyzeDisc(0);
    DiscVerify verify;
    verify.Start(Iso_CurrentDisc(), 0, -1);
    Iso_Terminate();
    Aspi_Terminate();
    ckvd::drives::SetDriveGroups({});
    return 0;
}
