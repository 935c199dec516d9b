// MMC READ CD: the image drive answers it from a mixed-mode disc written here as .cue/.bin and as .ccd/.img
// (its audio blocks byte for byte, a data block or a block past the lead-out refused with its sense), and
// through the device facade the SG_IO drive hands the command to the kernel as it is, 2352 bytes a block.
#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <filesystem>
#include <fstream>

#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/image_drive.h"
#include "platform/drives/sg_drive.h"

using namespace ckvd;

namespace {

constexpr uint32_t kAudio = 2352;

TEST(ReadCd, ImageDriveGivesAudioBlocksAndRefusesOthers) {
    // Track 1: MODE1/2352 blocks 0-9; track 2: audio blocks 10-14, each byte a function of its place.
    const std::filesystem::path dir = ::testing::TempDir();
    std::string bin(15 * kAudio, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = char(i * 7 + i / kAudio);
    std::ofstream(dir / "readcd.bin", std::ios::binary) << bin;
    std::ofstream(dir / "readcd.img", std::ios::binary) << bin;
    std::ofstream(dir / "readcd.cue") << "FILE \"readcd.bin\" BINARY\n  TRACK 01 MODE1/2352\n"
                                         "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n";
    // The same disc as a CloneCD sheet: A0, A1, A2 (lead-out at 15) and the two track points.
    std::ofstream ccd(dir / "readcd.ccd");
    ccd << "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=5\nSessions=1\n[TRACK 1]\nMODE=1\n[TRACK 2]\nMODE=0\n";
    const int points[][5] = {
        {0xA0, 4, 1, 0, 0}, {0xA1, 0, 2, 0, 0}, {0xA2, 0, 0, 2, 15}, {1, 4, 0, 2, 0}, {2, 0, 0, 2, 10}};
    for (int n = 0; n < 5; ++n)
        ccd << "[Entry " << n << "]\nSession=1\nPoint=" << points[n][0] << "\nADR=1\nControl=" << points[n][1]
            << "\nAMin=0\nASec=0\nAFrame=0\nPMin=" << points[n][2] << "\nPSec=" << points[n][3]
            << "\nPFrame=" << points[n][4] << "\n";
    ccd.close();
    // Refusals are ILLEGAL REQUEST: 64 illegal mode for this track, 21 LBA out of range, 24 invalid field.
    struct Case { // expected sector type (0 any, 1 CD-DA, 2 Mode 1), LBA, blocks, sense key and ASC
        uint8_t type, lba, count;
        int key, asc;
    } cases[] = {
        {1, 10, 5, 0, 0},    // the whole audio track
        {0, 12, 2, 0, 0},    // inside it, of any type
        {1, 9, 2, 5, 0x64},  // a data block first
        {1, 0, 1, 5, 0x64},  // a data block
        {1, 14, 2, 5, 0x21}, // past the lead-out
        {1, 15, 1, 5, 0x21}, // the lead-out itself
        {2, 10, 1, 5, 0x24}, // a Mode 1 block asked of an audio one
    };
    for (const char* sheet : {"readcd.cue", "readcd.ccd"}) {
        images::LoadResult loaded = images::load_image((dir / sheet).string());
        ASSERT_TRUE(loaded) << loaded.error;
        drives::ImageDrive drive(sheet, std::move(loaded.disc));
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << sheet << " lba " << int(c.lba));
            const uint8_t cdb[] = {0xBE, uint8_t(c.type << 2), 0, 0, 0, c.lba, 0, 0, c.count, 0x10, 0, 0};
            std::vector<uint8_t> data(c.count * kAudio, 0xCC);
            const drives::CommandResult r = drive.execute(cdb, drives::Direction::In, data);
            EXPECT_EQ(r.target_status == drives::kStatusGood, c.key == 0);
            EXPECT_EQ(std::make_pair(r.sense[2] & 0x0F, int(r.sense[12])), std::make_pair(c.key, c.asc));
            if (c.key == 0) {
                EXPECT_EQ(std::string(data.begin(), data.end()), bin.substr(c.lba * kAudio, data.size()));
            }
        }
    }
}

// Mode 2 sectors of 2,336 bytes (subheader, then data): Form 1 blocks 0-1 and Form 2 blocks 2-4 by their
// submode; block 4 unreadable, as a scratch leaves it. READ(10) gives Form 1 user data only, READ CD of type
// 5 the 2,324 bytes of Form 2 blocks only; an unreadable block ends the transfer with MEDIUM ERROR.
TEST(ReadCd, Form2BlocksAreReadCdOfTheirTypeAndRefusedByRead10) {
    const std::filesystem::path dir = ::testing::TempDir();
    std::string bin;
    for (int n = 0; n < 5; ++n) {
        const char mode = n < 2 ? 0x08 : 0x20;
        bin += std::string{0, 0, mode, 0, 0, 0, mode, 0};
        for (int i = 0; i < 2328; ++i)
            bin += char(n * 13 + i * 7);
    }
    std::ofstream(dir / "xa.bin", std::ios::binary) << bin;
    std::ofstream(dir / "xa.cue") << "FILE \"xa.bin\" BINARY\n  TRACK 01 MODE2/2336\n    INDEX 01 00:00:00\n";
    images::LoadResult loaded = images::load_image((dir / "xa.cue").string());
    ASSERT_TRUE(loaded) << loaded.error;
    drives::ImageDrive drive("xa.cue", std::move(loaded.disc));
    drive.add_unreadable(4, 4);
    struct Case { // READ(10) or READ CD of type 5, LBA, blocks, sense key and ASC, user bytes a block
        bool read10;
        uint8_t lba, count;
        int key, asc;
        uint32_t bytes;
    } cases[] = {
        {true, 0, 2, 0, 0, 2048},  {true, 1, 2, 5, 0x64, 2048},  {false, 2, 2, 0, 0, 2324},
        {false, 1, 1, 5, 0x64, 0}, {false, 3, 2, 3, 0x11, 2324},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.read10 ? "READ(10) " : "READ CD ") << int(c.lba));
        const std::vector<uint8_t> cdb =
            c.read10 ? std::vector<uint8_t>{0x28, 0, 0, 0, 0, c.lba, 0, 0, c.count, 0}
                     : std::vector<uint8_t>{0xBE, 5 << 2, 0, 0, 0, c.lba, 0, 0, c.count, 0x10, 0, 0};
        std::vector<uint8_t> data(c.count * kAudio, 0xCC);
        const drives::CommandResult r = drive.execute(cdb, drives::Direction::In, data);
        EXPECT_EQ(std::make_pair(r.sense[2] & 0x0F, int(r.sense[12])), std::make_pair(c.key, c.asc));
        std::string want;
        for (uint32_t n = c.lba; want.size() < r.transferred; ++n)
            want += bin.substr(n * 2336 + 8, c.bytes);
        EXPECT_EQ(r.transferred, c.key ? c.bytes : c.count * c.bytes);
        EXPECT_EQ(std::string(data.begin(), data.begin() + r.transferred), want);
    }
}

TEST(ReadCd, SgDriveHandsTheCommandOn) {
    std::vector<uint8_t> cdb;
    unsigned transfer = 0;
    drives::SgSystem kernel;
    kernel.open = [](const char*, int) { return 5; };
    kernel.close = [](int) { return 0; };
    kernel.ioctl = [&](int, unsigned long, void* arg) {
        const auto& hdr = *static_cast<sg_io_hdr_t*>(arg);
        if (hdr.cmdp[0] == 0x12 && hdr.dxfer_len > 0) // INQUIRY: a CD-ROM drive
            static_cast<uint8_t*>(hdr.dxferp)[0] = 5;
        cdb.assign(hdr.cmdp, hdr.cmdp + hdr.cmd_len);
        transfer = hdr.dxfer_len;
        return 0;
    };
    drives::SetDriveGroups(
        {std::make_shared<drives::SgAdapter>(kernel, std::vector<std::string>{"/dev/sr0"})});
    ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
    Aspi_ScanDevices();
    ASSERT_EQ(g_DeviceCount, 1);
    std::vector<uint8_t> buffer(3 * kAudio);
    EXPECT_EQ(Aspi_ReadCd(0, 0x01020304, 3, buffer.data()), ASPI_OK);
    // CD-DA expected, LBA, 3 blocks, user data only, no sub-channel.
    EXPECT_EQ(cdb, (std::vector<uint8_t>{0xBE, 0x04, 1, 2, 3, 4, 0, 0, 3, 0x10, 0, 0}));
    EXPECT_EQ(transfer, 3 * kAudio);
    Aspi_Terminate();
    drives::SetDriveGroups({});
}

} // namespace
