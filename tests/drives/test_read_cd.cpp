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

// MMC READ CD on both image drives: the senses of a refusal (ILLEGAL REQUEST: 64 illegal mode for this track,
// 21 LBA out of range, 24 invalid field in CDB); an accepted read gives the .bin's blocks.
TEST_F(ReadCd, ImageDriveGivesAudioBlocksAndRefusesOthers) {
    struct Case {
        uint8_t type; // expected sector type: 0 any, 1 CD-DA, 2 Mode 1
        uint32_t lba;
        uint8_t count;
        int key, asc;
    } cases[] = {
        {1, 10, 5, 0, 0},                         // the whole audio track
        {0, 12, 2, 0, 0},                         // inside it, of any type
        {1, 9, 2, 5, 0x64},                       // a data block first
        {1, 0, 1, 5, 0x64},                       // a data block
        {1, 14, 2, 5, 0x21},                      // past the lead-out
        {1, 15, 1, 5, 0x21}, {2, 10, 1, 5, 0x24}, // a Mode 1 block asked of an audio one
    };
    for (size_t d : {0, 1})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "drive " << d << " lba " << c.lba);
            uint8_t cdb[12] = {0xBE, uint8_t(c.type << 2), 0, 0, 0, uint8_t(c.lba), 0, 0, c.count, 0x10, 0,
                               0};
            std::vector<uint8_t> data(c.count * kAudio, 0xCC);
            const drives::CommandResult r =
                static_cast<drives::ImageAdapter*>(aspi32::HostAdapters()[1].get())
                    ->drive(d)
                    ->execute(cdb, drives::Direction::In, data);
            EXPECT_EQ(r.target_status == drives::kStatusGood, c.key == 0);
            EXPECT_EQ(std::make_pair(r.sense[2] & 0x0F, int(r.sense[12])), std::make_pair(c.key, c.asc));
            if (c.key == 0) {
                EXPECT_EQ(std::string(data.begin(), data.end()), bin_.substr(c.lba * kAudio, data.size()));
            }
        }
}

TEST_F(ReadCd, SgDriveHandsTheCommandOn) {
    std::vector<uint8_t> buffer(3 * kAudio);
    EXPECT_EQ(Aspi_ReadCd(0, 0x01020304, 3, buffer.data()), ASPI_OK);
    // MMC READ CD: CD-DA expected, LBA, 3 blocks, user data only, no sub-channel.
    EXPECT_EQ(cdb_, (std::vector<uint8_t>{0xBE, 0x04, 1, 2, 3, 4, 0, 0, 3, 0x10, 0, 0}));
    EXPECT_EQ(transfer_, 3 * kAudio);
}

} // namespace
