// The SG_IO back end through a fake ioctl: what reaches the kernel, and how its answers come back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "aspi/aspi_manager.h"
#include "common/device_open.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/image_drive.h"
#include "platform/drives/sg_drive.h"

using namespace ckvd::drives;

namespace {

// A kernel with sg devices at some paths; each SG_IO is recorded and answered by `answer`.
struct FakeKernel {
    std::map<std::string, int> devices = {{"/dev/sr0", 5}, {"/dev/sr2", 6}}; // path -> fd
    std::set<std::string> denied;                                            // open fails with EACCES
    std::map<std::string, std::pair<mode_t, gid_t>> nodes;                   // what stat says
    int fd = -1;                                                             // of the SG_IO being answered
    std::vector<std::string> opened;
    std::vector<int> closed;
    std::vector<sg_io_hdr_t> requests;
    std::vector<std::vector<uint8_t>> cdbs;
    std::function<int(sg_io_hdr_t&)> answer = [](sg_io_hdr_t&) { return 0; };
    SgSystem system() {
        SgSystem s;
        s.open = [this](const char* path, int flags) {
            EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
            opened.emplace_back(path);
            auto it = devices.find(path);
            errno = denied.contains(path) ? EACCES : ENOENT;
            return it == devices.end() ? -1 : it->second;
        };
        s.stat = [this](const char* path, struct stat* st) {
            const auto it = nodes.find(path);
            errno = ENOENT;
            if (it != nodes.end())
                std::tie(st->st_mode, st->st_gid) = it->second;
            return it == nodes.end() ? -1 : 0;
        };
        s.ioctl = [this](int handle, unsigned long request, void* arg) {
            fd = handle;
            EXPECT_EQ(request, static_cast<unsigned long>(SG_IO));
            auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
            requests.push_back(hdr);
            cdbs.emplace_back(hdr.cmdp, hdr.cmdp + hdr.cmd_len);
            return answer(hdr);
        };
        s.close = [this](int fd) { return closed.push_back(fd), 0; };
        return s;
    }
};

const uint8_t kTur[6] = {}; // TEST UNIT READY

TEST(SgBackEnd, AdapterKeepsTheDevicesThatOpen) {
    FakeKernel kernel;
    SgAdapter adapter(kernel.system());
    EXPECT_EQ(kernel.opened.size(), 16u);
    EXPECT_EQ(kernel.opened.front(), "/dev/sr0");
    EXPECT_EQ(kernel.opened.back(), "/dev/sr15");
    ASSERT_NE(adapter.drive(1), nullptr);
    EXPECT_EQ(adapter.drive(0)->device_path(), "/dev/sr0");
    EXPECT_EQ(adapter.drive(1)->device_path(), "/dev/sr2");
    EXPECT_EQ(adapter.drive(2), nullptr);
    EXPECT_EQ(std::pair(adapter.drive(1)->device_type(), adapter.slot_count()),
              std::pair(uint8_t(5), uint8_t(16)));
    SgAdapter given(kernel.system(), {"/dev/sr2"}); // only the paths given
    EXPECT_EQ(given.drive(0)->device_path(), "/dev/sr2");
    EXPECT_EQ(given.drive(1), nullptr);
}

TEST(SgBackEnd, RequestsCarryTheAspiParameters) {
    FakeKernel kernel;
    SgDrive drive("/dev/sr0", kernel.system());
    std::vector<uint8_t> buf(65536);
    const uint8_t read10[10] = {0x28, 0, 0, 0, 0x10, 0, 0, 0, 32, 0};
    kernel.answer = [&](sg_io_hdr_t& hdr) {
        if (hdr.dxferp) // the commands without data later in the test have none
            std::memset(hdr.dxferp, 0x5A, hdr.dxfer_len);
        return 0;
    };
    CommandResult r = drive.execute(read10, Direction::In, buf);
    ASSERT_EQ(kernel.requests.size(), 1u);
    const sg_io_hdr_t& hdr = kernel.requests[0];
    EXPECT_EQ(kernel.cdbs[0], std::vector<uint8_t>(read10, read10 + 10));
    // 14 sense bytes and ASPI's 30 half seconds.
    EXPECT_EQ(std::tuple(hdr.interface_id, hdr.dxfer_direction, hdr.dxfer_len, hdr.dxferp, hdr.mx_sb_len,
                         hdr.timeout),
              std::tuple('S', SG_DXFER_FROM_DEV, 65536u, buf.data(), 14, 15000u));
    EXPECT_EQ(std::tuple(r.transport_ok, r.target_status, r.transferred),
              std::tuple(true, kStatusGood, 65536u));
    EXPECT_EQ(buf[65535], 0x5A);
    EXPECT_EQ(drive.execute(kTur, Direction::None, {}).target_status, kStatusGood);
    EXPECT_EQ(std::pair(kernel.requests[1].dxfer_direction, kernel.requests[1].dxfer_len),
              std::pair(SG_DXFER_NONE, 0u));
    EXPECT_EQ(kernel.cdbs[1], std::vector<uint8_t>(6, 0));
    const uint8_t read_toc[10] = {0x43, 0, 2, 0, 0, 0, 0, 0x03, 0x24, 0};
    kernel.answer = [](sg_io_hdr_t& hdr) {
        hdr.resid = static_cast<int>(hdr.dxfer_len) - 48;
        return 0;
    };
    EXPECT_EQ(drive.execute(read_toc, Direction::In, std::span(buf).first(804)).transferred, 48u);
}

TEST(SgBackEnd, AnswersBecomeStatusSenseOrTransportFailures) {
    FakeKernel kernel;
    SgDrive drive("/dev/sr0", kernel.system());
    kernel.answer = [](sg_io_hdr_t& hdr) { // sense data as the sg driver writes it: mx_sb_len bytes at most
        const uint8_t sense[18] = {0x70, 0, kSenseUnitAttention, 0, 0,    0,    0,    10,  0, 0,
                                   0,    0, kAscMediumChanged,   0, 0xAA, 0xAA, 0xAA, 0xAA};
        hdr.sb_len_wr = std::min<unsigned char>(hdr.mx_sb_len, sizeof sense);
        std::memcpy(hdr.sbp, sense, hdr.sb_len_wr);
        hdr.status = kStatusCheckCondition;
        hdr.masked_status = kStatusCheckCondition >> 1;
        hdr.driver_status = 0x08; // DRIVER_SENSE
        return 0;
    };
    CommandResult r = drive.execute(kTur, Direction::None, {});
    EXPECT_TRUE(r.transport_ok);
    EXPECT_EQ(r.target_status, kStatusCheckCondition);
    EXPECT_EQ((std::vector<uint8_t>(r.sense.begin(), r.sense.begin() + 15)),
              (std::vector<uint8_t>{0x70, 0, kSenseUnitAttention, 0, 0, 0, 0, 10, 0, 0, 0, 0,
                                    kAscMediumChanged, 0, 0})); // the driver was told 14 bytes
    const std::tuple<unsigned short, unsigned short, int, uint8_t> cases[] = {
        {0x01, 0, 0, kHostSelectionTimeout}, {0x03, 0, 0, kHostCommandTimeout}, {0x08, 0, 0, kHostBusReset},
        {0x07, 0, 0, kHostPhaseError},       {0, 0x06, 0, kHostCommandTimeout}, {0, 0x04, 0, kHostPhaseError},
        {0, 0, EIO, kHostSelectionTimeout}};
    for (auto [hostStatus, driverStatus, errorNumber, expected] : cases) {
        // Copies: a lambda cannot capture a structured binding before C++20 compilers all allow it.
        const unsigned short host = hostStatus, driver = driverStatus;
        const int ioctlErrno = errorNumber;
        kernel.answer = [=](sg_io_hdr_t& hdr) {
            std::tie(hdr.host_status, hdr.driver_status, errno) = std::tuple(host, driver, ioctlErrno);
            return ioctlErrno ? -1 : 0;
        };
        r = drive.execute(kTur, Direction::None, {});
        EXPECT_EQ(std::pair(r.transport_ok, r.host_status), std::pair(false, expected))
            << host << "/" << driver << "/" << ioctlErrno;
    }
    EXPECT_TRUE(kernel.closed.empty());
    // The drive counts the medium change and names its time-outs by command, block and drive.
    kernel.answer = [](sg_io_hdr_t& hdr) { return hdr.host_status = 0x03, 0; };
    const uint8_t readCd[12] = {0xBE, 0, 0, 0, 0x04, 0xD2, 0, 0, 1, 0xF8, 0, 0};
    std::array<uint8_t, 2352> sector{};
    drive.execute(readCd, Direction::In, sector);
    EXPECT_EQ(
        std::tuple(drive.medium_changes(), drive.timeouts(), drive.last_timeout()),
        std::tuple(1u, 3u, std::string("READ CD (BEh) at block 1234 timed out after 15 s on /dev/sr0")));
}

TEST(SgBackEnd, GenericNodeIsTheOneOfTheSameScsiDevice) {
    namespace fs = std::filesystem;
    const fs::path sys = ::testing::TempDir() + "ckvd-sysfs";
    fs::remove_all(sys);
    for (const char* d : {"devices/0:0:0:0", "devices/1:0:0:0", "class/scsi_generic/sg0",
                          "class/scsi_generic/sg1", "block/sr0", "block/sr1"})
        fs::create_directories(sys / d);
    // As the kernel links them: sg0 and sr1 are one device, sg1 and sr0 the other.
    fs::create_directory_symlink("../../../devices/1:0:0:0", sys / "class/scsi_generic/sg0/device");
    fs::create_directory_symlink("../../../devices/0:0:0:0", sys / "class/scsi_generic/sg1/device");
    fs::create_directory_symlink("../../devices/0:0:0:0", sys / "block/sr0/device");
    fs::create_directory_symlink("../../devices/1:0:0:0", sys / "block/sr1/device");
    EXPECT_EQ((std::vector<std::string>{GenericNodeOf("sr0", sys), GenericNodeOf("sr1", sys),
                                        GenericNodeOf("sr2", sys), GenericNodeOf("../sr0", sys)}),
              (std::vector<std::string>{"/dev/sg1", "/dev/sg0", "", ""}));
}

TEST(SgBackEnd, VanishedDevicesAreReopenedAndClosedAtTheEnd) {
    FakeKernel kernel;
    {
        SgDrive drive("/dev/sr2", kernel.system());
        kernel.answer = [](sg_io_hdr_t&) {
            errno = ENODEV;
            return -1;
        };
        EXPECT_FALSE(drive.execute(kTur, Direction::None, {}).transport_ok);
        EXPECT_EQ(kernel.closed, std::vector<int>{6});
        EXPECT_FALSE(drive.is_open());
        kernel.answer = [](sg_io_hdr_t&) { return 0; };
        EXPECT_TRUE(drive.execute(kTur, Direction::None, {}).transport_ok);
        EXPECT_EQ(std::count(kernel.opened.begin(), kernel.opened.end(), "/dev/sr2"), 2);
    }
    EXPECT_EQ(kernel.closed, (std::vector<int>{6, 6}));
    // A drive that cannot be opened answers as an empty selection; a CDB over 16 bytes is refused.
    SgDrive drive("/dev/sr9", kernel.system());
    const size_t before = kernel.requests.size();
    CommandResult r = drive.execute(kTur, Direction::None, {});
    EXPECT_FALSE(r.transport_ok);
    EXPECT_EQ(r.host_status, kHostSelectionTimeout);
    EXPECT_EQ(kernel.requests.size(), before);
    const uint8_t too_long[17] = {};
    EXPECT_EQ(drive.execute(too_long, Direction::None, {}).target_status, kStatusCheckCondition);
}

// Drives named as users name them: a link stands for the node it leads to, a /dev/sgN that INQUIRY calls a CD
// drive is added; a disk's node, one the user may not open and nothing at all are each said as they are.
TEST(SgBackEnd, DrivesAsUsersNameThem) {
    FakeKernel kernel;
    kernel.devices = {{"/dev/sr0", 5}, {"/dev/sg0", 7}, {"/dev/sg1", 8}};
    kernel.denied = {"/dev/sr1"};
    kernel.nodes = {{"/dev/sr1", {S_IFBLK | 0660, 24}},
                    {"/dev/sg0", {S_IFCHR | 0600, 0}},
                    {"/dev/sg1", {S_IFCHR | 0660, 24}},
                    {"/dev/notes", {S_IFREG | 0644, 0}}};
    kernel.answer = [&](sg_io_hdr_t& hdr) { // INQUIRY: /dev/sg0 is a disk, the others CD drives
        if (hdr.cmdp[0] == 0x12)
            static_cast<uint8_t*>(hdr.dxferp)[0] = kernel.fd == 7 ? 0 : 5;
        return 0;
    };
    const std::string dir = ::testing::TempDir() + "ckvd-names/";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "disc.iso") << "a disc";
    std::filesystem::remove(dir + "cdrom");
    std::filesystem::create_symlink(dir + "disc.iso", dir + "cdrom");
    auto images = std::make_shared<ImageAdapter>();
    images->add(std::make_unique<ImageDrive>(dir + "disc.iso", nullptr));
    auto sg = std::make_shared<SgAdapter>(kernel.system());
    ckvd::drives::SetDriveGroups({sg, images});
    ASSERT_EQ(Aspi_Initialize(), 1);
    std::string error;
    const auto found = [&](const std::string& path) {
        const int index = Tools_FindDevice(path, error);
        return index < 0 ? error : std::string(Aspi_GetDevice(uint16_t(index))->driveRootPath);
    };
    EXPECT_EQ(found("/dev/sr0"), "/dev/sr0/");
    EXPECT_EQ(found(dir + "cdrom"), dir + "disc.iso/");
    EXPECT_EQ(found("/dev/sg1"), "/dev/sg1/");
    EXPECT_EQ(found("/dev/sg0"), "no CD drive at /dev/sg0: the device is of SCSI peripheral type 0, not 5");
    EXPECT_EQ(found("/dev/sr1"),
              "Permission denied: /dev/sr1: join the group that owns /dev/sr1, cdrom (sudo "
              "adduser $USER cdrom), and log in again");
    EXPECT_EQ(found("/dev/sr7"), "");
    EXPECT_EQ(found("/dev/notes"), "");
    ASSERT_EQ(sg->refused().size(), 1u);
    EXPECT_EQ(std::tuple(sg->refused()[0].path, sg->refused()[0].gid), std::tuple("/dev/sr1", 24u));
    Aspi_Terminate();
    ckvd::drives::SetDriveGroups({});
}

} // namespace
