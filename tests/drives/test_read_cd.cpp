// READ CD through the ASPI manager: the image drive answers it from a mixed-mode disc written here as
// .cue/.bin and as .ccd/.img (its audio blocks byte for byte, a data block or a block past the lead-out
// refused), and the SG_IO drive hands the command to the kernel as it is, with a transfer of 2352 bytes a
// block.
#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <filesystem>
#include <fstream>

#include "aspi/aspi_manager.h"
#include "platform/aspi32/aspi_library.h"
#include "platform/drives/image_drive.h"
#include "platform/drives/sg_drive.h"

using namespace ckvd;

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kAudio = 2352;
constexpr int kDataBlocks = 10, kAudioBlocks = 5;

class ReadCd : public ::testing::Test {
  protected:
    void SetUp() override {
        // Track 1: MODE1/2352 blocks 0-9; track 2: audio blocks 10-14, each byte a function of its place.
        const fs::path dir = ::testing::TempDir();
        bin_.assign(size_t(kDataBlocks + kAudioBlocks) * kAudio, '\0');
        for (size_t i = 0; i < bin_.size(); ++i)
            bin_[i] = char(i * 7 + i / kAudio);
        std::ofstream(dir / "readcd.bin", std::ios::binary) << bin_;
        std::ofstream(dir / "readcd.img", std::ios::binary) << bin_;
        std::ofstream(dir / "readcd.cue")
            << "FILE \"readcd.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
               "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n";
        // The same disc as a CloneCD sheet: A0, A1, A2 (lead-out at 15) and the two track points.
        std::ofstream ccd(dir / "readcd.ccd");
        ccd << "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=5\nSessions=1\n"
            << "[TRACK 1]\nMODE=1\n[TRACK 2]\nMODE=0\n";
        const int points[][5] = {
            {0xA0, 4, 1, 0, 0}, {0xA1, 0, 2, 0, 0}, {0xA2, 0, 0, 2, 15}, {1, 4, 0, 2, 0}, {2, 0, 0, 2, 10}};
        for (int n = 0; n < 5; ++n)
            ccd << "[Entry " << n << "]\nSession=1\nPoint=" << points[n][0]
                << "\nADR=1\nControl=" << points[n][1] << "\nAMin=0\nASec=0\nAFrame=0\nPMin=" << points[n][2]
                << "\nPSec=" << points[n][3] << "\nPFrame=" << points[n][4] << "\n";
        ccd.close();
        auto sg = std::make_shared<drives::SgAdapter>(Kernel(), std::vector<std::string>{"/dev/sr0"});
        auto images = std::make_shared<drives::ImageAdapter>();
        for (const char* sheet : {"readcd.cue", "readcd.ccd"}) {
            images::LoadResult loaded = images::load_image((dir / sheet).string());
            ASSERT_TRUE(loaded) << loaded.error;
            images->add(std::make_unique<drives::ImageDrive>(sheet, std::move(loaded.disc)));
        }
        aspi32::SetHostAdapters({sg, images});
        ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
        Aspi_ScanDevices();
        ASSERT_EQ(g_DeviceCount, 3); // 0: the SG_IO drive, 1 and 2: the image drives
    }
    void TearDown() override {
        Aspi_Terminate();
        aspi32::ResetStandIn();
    }
    drives::SgSystem Kernel() {
        drives::SgSystem s;
        s.open = [](const char*, int) { return 5; };
        s.close = [](int) { return 0; };
        s.ioctl = [this](int, unsigned long, void* arg) {
            const auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
            if (hdr.cmdp[0] == 0x12 && hdr.dxfer_len > 0) // INQUIRY: a CD-ROM drive
                static_cast<uint8_t*>(hdr.dxferp)[0] = 5;
            cdb_.assign(hdr.cmdp, hdr.cmdp + hdr.cmd_len);
            transfer_ = hdr.dxfer_len;
            return 0;
        };
        return s;
    }
    std::string bin_;
    std::vector<uint8_t> cdb_;
    unsigned transfer_ = 0;
};

TEST_F(ReadCd, ImageDriveGivesAudioBlocksAndRefusesOthers) {
    struct Case {
        uint32_t lba;
        uint16_t count;
        bool good;
    } cases[] = {
        {10, 5, true},  // the whole audio track
        {12, 2, true},  // inside it
        {9, 2, false},  // a data block first
        {0, 1, false},  // a data block
        {14, 2, false}, // past the lead-out
        {15, 1, false},
    };
    for (uint16_t device : {1, 2})
        for (const Case& c : cases) {
            std::vector<uint8_t> got(size_t(c.count) * kAudio, 0xCC);
            const int rc = Aspi_ReadCd(device, c.lba, c.count, got.data());
            EXPECT_EQ(rc == ASPI_OK, c.good) << device << " " << c.lba << " " << rc;
            if (c.good) {
                EXPECT_EQ(std::string(got.begin(), got.end()),
                          bin_.substr(size_t(c.lba) * kAudio, got.size()))
                    << c.lba;
            }
        }
    // The senses behind the refusals: a data block is of another mode, a block past the lead-out out of
    // range.
    drives::ImageDrive* drive = static_cast<drives::ImageAdapter*>(aspi32::HostAdapters()[1].get())->drive(0);
    const auto sense = [&](uint8_t type, uint32_t lba) {
        uint8_t cdb[12] = {0xBE, uint8_t(type << 2), 0, 0, 0, uint8_t(lba), 0, 0, 1, 0x10, 0, 0};
        std::vector<uint8_t> data(kAudio);
        const drives::CommandResult r = drive->execute(cdb, drives::Direction::In, data);
        return std::make_pair(r.sense[2] & 0x0F, int(r.sense[12]));
    };
    EXPECT_EQ(sense(1, 0), std::make_pair(0x05, 0x64));  // ILLEGAL REQUEST, illegal mode for this track
    EXPECT_EQ(sense(1, 15), std::make_pair(0x05, 0x21)); // ILLEGAL REQUEST, LBA out of range
    EXPECT_EQ(sense(2, 10), std::make_pair(0x05, 0x24)); // a Mode 1 block was asked for: invalid field
    EXPECT_EQ(sense(0, 10), std::make_pair(0, 0));       // any type: the audio block
}

TEST_F(ReadCd, SgDriveHandsTheCommandOn) {
    std::vector<uint8_t> buffer(3 * kAudio);
    EXPECT_EQ(Aspi_ReadCd(0, 0x01020304, 3, buffer.data()), ASPI_OK);
    // MMC READ CD: CD-DA expected, LBA, 3 blocks, user data only, no sub-channel.
    EXPECT_EQ(cdb_, (std::vector<uint8_t>{0xBE, 0x04, 1, 2, 3, 4, 0, 0, 3, 0x10, 0, 0}));
    EXPECT_EQ(transfer_, 3 * kAudio);
}

} // namespace
