// Host adapter 0: real drives through the Linux SG_IO pass-through on /dev/sr*.
#pragma once

#include <functional>

#include "platform/drives/scsi_target.h"

struct sg_io_hdr;

namespace ckvd::drives {

// The system calls the back end makes, replaceable by tests (there is no drive on a build machine).
struct SgSystem {
    std::function<int(const char* path, int flags)> open;
    std::function<int(int fd, unsigned long request, void* arg)> ioctl;
    std::function<int(int fd)> close;
    static SgSystem real();
};

class SgDrive final : public ScsiTarget {
  public:
    static constexpr unsigned kTimeoutMs = 30 * 500; // ASPI's 30 half-seconds
    SgDrive(std::string path, SgSystem sys);
    ~SgDrive() override;
    uint8_t device_type() const override { return 5; }
    CommandResult execute(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) override;
    std::string device_path() const override { return path_; }
    bool is_open() const { return fd_ >= 0; }

  private:
    std::string path_;
    SgSystem sys_;
    int fd_ = -1;
};

class SgAdapter final : public HostAdapter {
  public:
    // Probes /dev/sr0 .. /dev/sr15 (or the paths given) that can be opened.
    explicit SgAdapter(SgSystem sys = SgSystem::real(), std::vector<std::string> paths = {});
    std::string identifier() const override { return "CKVD SG_IO"; }
    uint8_t max_targets() const override { return 16; }
    ScsiTarget* target(uint8_t id) override;

  private:
    std::vector<std::unique_ptr<SgDrive>> drives_;
};

} // namespace ckvd::drives
