// The real drives: the Linux SG_IO pass-through on /dev/sr* (and the /dev/sg* nodes users name).
#pragma once

#include <functional>

#include "platform/drives/drive.h"

struct sg_io_hdr;
struct stat;

namespace ckvd::drives {

// The system calls the back end makes, replaceable by tests (there is no drive on a build machine).
struct SgSystem {
    std::function<int(const char* path, int flags)> open;
    std::function<int(int fd, unsigned long request, void* arg)> ioctl;
    std::function<int(int fd)> close;
    std::function<int(const char* path, struct stat* st)> stat;
    static SgSystem real();
};

// A device node and what became of it: the target it was added at, or why not.
struct SgNode {
    std::string path;
    int target = -1;  // its slot among the SG_IO drives; -1 when it was not added
    int error = 0;    // errno of stat or open (EACCES: not allowed), ENODEV for a file that is no device
    unsigned gid = 0; // the group that owns the node
    int type = -1;    // INQUIRY's byte 0 (qualifier, device type) of a device that is no CD drive; -1: none
};

class SgDrive final : public Drive {
  public:
    static constexpr unsigned kTimeoutMs = 15000;
    SgDrive(std::string path, SgSystem sys);
    ~SgDrive() override;
    uint8_t device_type() const override { return 5; }
    std::string device_path() const override { return path_; }
    std::string generic_path() const override;
    unsigned timeout_seconds() const override { return kTimeoutMs / 1000; }
    bool is_open() const { return fd_ >= 0; }
    int open_error() const { return open_error_; } // errno of the open at construction

  protected:
    CommandResult run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) override;

  private:
    std::string path_;
    SgSystem sys_;
    int fd_ = -1;
    int open_error_ = 0;
};

// The generic SCSI node ("/dev/sg1") of the device behind the block device `name` ("sr0"): the one under
// SYSFS/class/scsi_generic whose `device` link leads where SYSFS/block/NAME/device does; empty when none
// does.
std::string GenericNodeOf(const std::string& name, const std::string& sysfs = "/sys");

class SgAdapter final : public DriveGroup {
  public:
    // Probes /dev/sr0 .. /dev/sr15 (or the paths given) that can be opened.
    explicit SgAdapter(SgSystem sys = SgSystem::real(), std::vector<std::string> paths = {});
    uint8_t slot_count() const override { return 16; }
    Drive* drive(uint8_t slot) override;

    // Adds the device node a user named (a /dev/sgN, or a /dev/srN the probe could not open) after the
    // others, when it is a device that opens and whose INQUIRY answers peripheral type 5 (a CD or DVD drive)
    // with qualifier 0: a generic SCSI node may be a disk or a scanner, and a command meant for a CD drive
    // must never reach those.
    SgNode add(const std::string& path);
    // Probed paths that exist but could not be opened (for lack of permission, most often).
    const std::vector<SgNode>& refused() const { return refused_; }

  private:
    SgSystem sys_;
    std::vector<std::unique_ptr<SgDrive>> drives_;
    std::vector<SgNode> refused_;
};

} // namespace ckvd::drives
