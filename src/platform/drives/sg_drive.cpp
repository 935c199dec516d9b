#include "platform/drives/sg_drive.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/drives/mmc.h"
#include "platform/drives/mmc_commands.h"

namespace ckvd::drives {

namespace {

constexpr unsigned char kSenseBytes = 14; // up to the ASCQ, what the program reads of it
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK;

// Linux host and driver status values of the sg driver (scsi/sg.h leaves them to the kernel headers).
constexpr unsigned short kDidOk = 0x00;
constexpr unsigned short kDidNoConnect = 0x01;
constexpr unsigned short kDidTimeOut = 0x03;
constexpr unsigned short kDidBadTarget = 0x04;
constexpr unsigned short kDidReset = 0x08;
constexpr unsigned short kDriverOk = 0x00;
constexpr unsigned short kDriverTimeout = 0x06;
constexpr unsigned short kDriverSense = 0x08;

CommandResult transport_failure(uint8_t host_status) {
    CommandResult r;
    r.transport_ok = false;
    r.host_status = host_status;
    return r;
}

uint8_t host_status_for(unsigned short did) {
    switch (did) {
    case kDidNoConnect:
    case kDidBadTarget:
        return kHostSelectionTimeout;
    case kDidTimeOut:
        return kHostCommandTimeout;
    case kDidReset:
        return kHostBusReset;
    default:
        return kHostPhaseError;
    }
}

} // namespace

SgSystem SgSystem::real() {
    SgSystem s;
    s.open = [](const char* path, int flags) { return ::open(path, flags); };
    s.ioctl = [](int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); };
    s.close = [](int fd) { return ::close(fd); };
    s.stat = [](const char* path, struct stat* st) { return ::stat(path, st); };
    return s;
}

SgDrive::SgDrive(std::string path, SgSystem sys) : path_(std::move(path)), sys_(std::move(sys)) {
    fd_ = sys_.open(path_.c_str(), kOpenFlags);
    open_error_ = fd_ < 0 ? errno : 0;
}

SgDrive::~SgDrive() {
    if (fd_ >= 0)
        sys_.close(fd_);
}

CommandResult SgDrive::run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) {
    if (data.size() > UINT_MAX)
        return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
    if (fd_ < 0) // the drive may have come back since the last attempt
        fd_ = sys_.open(path_.c_str(), kOpenFlags);
    if (fd_ < 0)
        return transport_failure(kHostSelectionTimeout);

    CommandResult result;
    std::array<unsigned char, 16> cmd{};
    std::memcpy(cmd.data(), cdb.data(), cdb.size());

    sg_io_hdr_t hdr{};
    hdr.interface_id = 'S';
    hdr.cmd_len = static_cast<unsigned char>(cdb.size());
    hdr.cmdp = cmd.data();
    hdr.mx_sb_len = kSenseBytes;
    hdr.sbp = result.sense.data();
    hdr.timeout = kTimeoutMs;
    if (data.empty() || dir == Direction::None) {
        hdr.dxfer_direction = SG_DXFER_NONE;
    } else {
        hdr.dxfer_direction = dir == Direction::In ? SG_DXFER_FROM_DEV : SG_DXFER_TO_DEV;
        hdr.dxfer_len = static_cast<unsigned>(data.size());
        hdr.dxferp = data.data();
    }

    if (sys_.ioctl(fd_, SG_IO, &hdr) < 0) {
        const int err = errno;
        if (err == ENODEV || err == ENXIO || err == EBADF) { // the device went away; reopen next time
            sys_.close(fd_);
            fd_ = -1;
        }
        return transport_failure(err == ETIMEDOUT ? kHostCommandTimeout : kHostSelectionTimeout);
    }
    if (hdr.host_status != kDidOk)
        return transport_failure(host_status_for(hdr.host_status));
    const unsigned short driver = hdr.driver_status & 0x0F;
    if (driver != kDriverOk && driver != kDriverSense)
        return transport_failure(driver == kDriverTimeout ? kHostCommandTimeout : kHostPhaseError);

    result.target_status = hdr.status;
    if (result.target_status != kStatusCheckCondition)
        result.sense.fill(0);
    const int resid = hdr.resid < 0 ? 0 : hdr.resid;
    result.transferred = static_cast<unsigned>(resid) >= hdr.dxfer_len ? 0 : hdr.dxfer_len - resid;
    return result;
}

std::string GenericNodeOf(const std::string& name, const std::string& sysfs) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path device = fs::canonical(fs::path(sysfs) / "block" / name / "device", ec);
    if (ec || name.empty() || name.find('/') != std::string::npos)
        return {};
    for (const fs::directory_entry& node :
         fs::directory_iterator(fs::path(sysfs) / "class/scsi_generic", ec)) {
        std::error_code other;
        if (fs::canonical(node.path() / "device", other) == device && !other)
            return "/dev/" + node.path().filename().string();
    }
    return {};
}

std::string SgDrive::generic_path() const {
    std::error_code ec;
    const std::filesystem::path node = std::filesystem::canonical(path_, ec);
    const std::string name = (ec ? std::filesystem::path(path_) : node).filename().string();
    if (name.rfind("sg", 0) == 0) // a generic node named by the user is its own
        return path_;
    return GenericNodeOf(name);
}

SgAdapter::SgAdapter(SgSystem sys, std::vector<std::string> paths) : sys_(std::move(sys)) {
    if (paths.empty()) {
        for (int i = 0; i < slot_count(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/dev/sr%d", i);
            paths.emplace_back(name);
        }
    }
    for (auto& path : paths) {
        if (drives_.size() >= slot_count())
            break;
        auto drive = std::make_unique<SgDrive>(path, sys_);
        const int error = drive->open_error();
        if (drive->is_open()) {
            drives_.push_back(std::move(drive));
        } else if (error == EACCES || error == EPERM) {
            SgNode node{path, -1, error};
            struct stat st {};
            if (sys_.stat && sys_.stat(path.c_str(), &st) == 0)
                node.gid = st.st_gid;
            refused_.push_back(std::move(node));
        }
    }
}

SgNode SgAdapter::add(const std::string& path) {
    SgNode node{path};
    struct stat st {};
    if (!sys_.stat || sys_.stat(path.c_str(), &st) != 0) {
        node.error = sys_.stat ? errno : ENOENT;
        return node;
    }
    node.gid = st.st_gid;
    if (!S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode)) {
        node.error = ENODEV;
        return node;
    }
    if (drives_.size() >= slot_count()) {
        node.error = ENOSPC;
        return node;
    }
    auto drive = std::make_unique<SgDrive>(path, sys_);
    if (!drive->is_open()) {
        node.error = drive->open_error();
        return node;
    }
    uint8_t inquiry[mmc::kInquiryLength] = {};
    const CommandResult r = Inquiry(*drive, inquiry);
    if (!r.ok() || r.transferred == 0)
        return node;
    if (inquiry[0] != mmc::kCdRomDeviceType) {
        node.type = inquiry[0];
        return node;
    }
    node.target = static_cast<int>(drives_.size());
    drives_.push_back(std::move(drive));
    return node;
}

Drive* SgAdapter::drive(uint8_t slot) {
    return slot < drives_.size() ? drives_[slot].get() : nullptr;
}

} // namespace ckvd::drives
