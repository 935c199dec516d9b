// Drives used from several threads: two image drives read at once, each giving its own disc's sectors and
// TOC, a drive shared by two threads answering each its own commands, and the delay of a slow image drive.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc_commands.h"

using namespace ckvd::drives;

namespace {

const std::string kDir = ::testing::TempDir() + "ckvd-drive-threads/";

// An ISO 9660 image made by genisoimage of a folder holding one file of `kib` KiB of `fill`, and its bytes.
std::string MakeImage(const std::string& name, size_t kib, char fill, std::string* bytes) {
    const std::string tree = kDir + name + "-tree", image = kDir + name + ".iso";
    std::filesystem::create_directories(tree);
    std::ofstream(tree + "/data.bin", std::ios::binary) << std::string(kib * 1024, fill);
    const std::string command = "genisoimage -quiet -o '" + image + "' '" + tree + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(image, std::ios::binary);
    bytes->assign(std::istreambuf_iterator<char>(in), {});
    return image;
}

class DriveThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        paths = {MakeImage("a", 600, 'A', &bytes[0]), MakeImage("b", 300, 'B', &bytes[1])};
        ASSERT_EQ(bytes[0].size() % 2048, 0u);
        ASSERT_NE(bytes[0].size(), bytes[1].size());
        std::string error;
        ASSERT_TRUE(SetupDrives(paths, &error)) << error;
    }
    void TearDown() override { SetDriveGroups({}); }
    std::vector<std::string> paths;
    std::string bytes[2];
};

// The formatted TOC with block addresses of a one-track data disc of `blocks` blocks.
std::vector<uint8_t> OneTrackToc(uint32_t blocks) {
    std::vector<uint8_t> toc = {0, 18, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0};
    for (int shift = 24; shift >= 0; shift -= 8)
        toc.push_back(uint8_t(blocks >> shift));
    return toc;
}

// Reads the disc of `drive` as `bytes` holds it, over and over; the first difference found, or "".
std::string ReadBack(Drive& drive, const std::string& bytes, unsigned seed) {
    const auto blocks = static_cast<uint32_t>(bytes.size() / 2048);
    std::vector<uint8_t> data(16 * 2048), toc;
    for (unsigned i = 0; i < 200; ++i) {
        const uint32_t lba = (seed + i * 37) % (blocks - 16);
        const CommandResult r = Read10(drive, lba, 16, data);
        if (!r.ok() || r.transferred != data.size() ||
            bytes.compare(size_t{lba} * 2048, data.size(), reinterpret_cast<char*>(data.data()), data.size()))
            return "blocks " + std::to_string(lba) + " of " + drive.device_path();
        if (!ReadTocAnswer(drive, false, 0, 0, toc).ok() || toc != OneTrackToc(blocks))
            return "TOC of " + drive.device_path();
    }
    return {};
}

TEST_F(DriveThreads, TwoDrivesReadFromTwoThreadsAtOnce) {
    ImageDrive* drives[2] = {FindImageDrive(paths[0]), FindImageDrive(paths[1])};
    ASSERT_TRUE(drives[0] && drives[1]);
    std::string found[4];
    // Each thread reads its own disc; then two threads read the same drive, each its own blocks.
    {
        std::jthread a([&] { found[0] = ReadBack(*drives[0], bytes[0], 1); });
        std::jthread b([&] { found[1] = ReadBack(*drives[1], bytes[1], 2); });
    }
    {
        std::jthread a([&] { found[2] = ReadBack(*drives[0], bytes[0], 3); });
        std::jthread b([&] { found[3] = ReadBack(*drives[0], bytes[0], 4); });
    }
    for (const std::string& f : found)
        EXPECT_EQ(f, "");
}

// A drive takes its commands one at a time, whatever thread sends them; a slow drive holds up no other.
TEST_F(DriveThreads, OneCommandAtATimeOnADriveAndNoneWaitsForAnotherDrive) {
    using namespace std::chrono;
    ImageDrive *slow = FindImageDrive(paths[0]), *quick = FindImageDrive(paths[1]);
    ASSERT_TRUE(slow && quick);
    slow->set_command_delay(milliseconds(20));
    auto start = steady_clock::now();
    {
        const auto fiveTests = [&] {
            for (int i = 0; i < 5; ++i)
                EXPECT_TRUE(TestUnitReady(*slow).ok());
        };
        std::jthread a(fiveTests), b(fiveTests);
    }
    EXPECT_GE(steady_clock::now() - start, milliseconds(200)); // ten commands of 20 ms, none at once
    slow->set_command_delay(milliseconds(600));
    std::jthread busy([&] { EXPECT_TRUE(TestUnitReady(*slow).ok()); });
    std::this_thread::sleep_for(milliseconds(50));
    start = steady_clock::now();
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(TestUnitReady(*quick).ok());
    EXPECT_LT(steady_clock::now() - start, milliseconds(400));
}

TEST_F(DriveThreads, SlowImageDriveTakesItsDelayEachCommand) {
    setenv("CKVD_IMAGE_DRIVE_DELAY_MS", "40", 1);
    std::string error;
    const bool set = SetupDrives({paths[0]}, &error);
    unsetenv("CKVD_IMAGE_DRIVE_DELAY_MS");
    ASSERT_TRUE(set) << error;
    Drive* drive = FindImageDrive(paths[0]);
    ASSERT_NE(drive, nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(TestUnitReady(*drive).ok());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

} // namespace
