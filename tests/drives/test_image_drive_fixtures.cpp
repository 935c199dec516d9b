// Image drives over discs made by genisoimage and sox and composed by ckvd-mkdisc, seen through the ASPI
// manager exactly as the program sees a drive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "aspi/aspi_manager.h"
#include "platform/aspi32/aspi_library.h"
#include "platform/aspi32/drive_setup.h"

namespace {

std::string fixture(const std::string& name) {
    const char* dir = std::getenv("CKVD_FIXTURES");
    return std::string(dir ? dir : "fixtures-not-set") + "/" + name;
}

// Blocks `first` to `first + count` of an image file (empty when it is shorter).
std::vector<uint8_t> blocks(const std::string& name, size_t first, size_t count) {
    std::ifstream in(fixture(name), std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::vector<uint8_t> image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (count == SIZE_MAX)
        return image;
    if (image.size() < (first + count) * 2048)
        return {};
    return {image.begin() + first * 2048, image.begin() + (first + count) * 2048};
}

struct TocTrack {
    uint8_t number, adr_control;
    uint32_t start;
};

const char* const kImages[] = {"plain.iso", "two.cue", "two.ccd", "audio.cue", "raw.cue"};
enum : uint16_t { kPlain, kTwoCue, kTwoCcd, kAudio, kRaw };

class FixtureDrives : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::vector<std::string> paths(std::begin(kImages), std::end(kImages));
        for (auto& p : paths)
            p = fixture(p);
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives(paths, &error)) << error;
    }
    static void TearDownTestSuite() { ckvd::aspi32::SetHostAdapters({}); }
    void SetUp() override {
        ASSERT_EQ(Aspi_Initialize(), ASPI_OK);
        const int scan = Aspi_ScanDevices();
        EXPECT_TRUE(scan == ASPI_OK || scan == SS_NO_DEVICE) << scan;
        ASSERT_EQ(g_DeviceCount, std::size(kImages));
        Aspi_AssignRootPaths();
    }
    void TearDown() override { Aspi_Terminate(); }

    // READ TOC format 0 in LBA form, read the way the disc analysis does: header, then the announced length.
    static std::vector<TocTrack> toc(uint16_t device, uint32_t* leadout) {
        uint8_t head[4] = {};
        EXPECT_EQ(Aspi_ReadToc(device, 0, 0, 0, sizeof head, head), ASPI_OK);
        std::vector<uint8_t> buf((head[0] << 8 | head[1]) + 2);
        EXPECT_EQ(Aspi_ReadToc(device, 0, 0, 0, uint16_t(buf.size()), buf.data()), ASPI_OK);
        std::vector<TocTrack> tracks;
        for (size_t at = 4; at + 8 <= buf.size(); at += 8) {
            const uint32_t start =
                uint32_t{buf[at + 4]} << 24 | buf[at + 5] << 16 | buf[at + 6] << 8 | buf[at + 7];
            if (buf[at + 2] == 0xAA)
                *leadout = start;
            else
                tracks.push_back({buf[at + 2], buf[at + 1], start});
        }
        return tracks;
    }
    // Reads `count` blocks; an unreadable block gives an empty answer.
    static std::vector<uint8_t> read(uint16_t device, uint32_t lba, uint16_t count) {
        std::vector<uint8_t> buf(size_t{count} * 2048);
        const int r = Aspi_ReadSectors(device, lba, 2048, count, buf.data());
        EXPECT_TRUE(r == ASPI_OK || r == SS_ERR) << r;
        return r == ASPI_OK ? buf : std::vector<uint8_t>{};
    }
};

TEST_F(FixtureDrives, EveryImageIsACdRomOnTheImageAdapterInOrder) {
    for (uint16_t i = 0; i < g_DeviceCount; ++i) {
        const DeviceEntry* d = Aspi_GetDevice(i);
        EXPECT_EQ(d->hostAdapterId, 1);
        EXPECT_EQ(d->targetId, i);
        EXPECT_STREQ(d->vendor, "CKVD    ");
        EXPECT_STREQ(d->product, "IMAGE DRIVE     ");
        EXPECT_EQ(std::string(d->driveRootPath), fixture(kImages[i]) + "/");
        EXPECT_EQ(Aspi_StartStopUnit(i, 1), ASPI_OK);
        EXPECT_EQ(Aspi_TestUnitReady(i), ASPI_OK);
    }
    EXPECT_NE(ckvd::aspi32::FindImageDrive(fixture("two.cue")), nullptr);
    EXPECT_EQ(ckvd::aspi32::FindImageDrive(fixture("nothing.cue")), nullptr);
}

TEST_F(FixtureDrives, PlainIsoReadsBackItsFile) {
    const auto image = blocks("plain.iso", 0, SIZE_MAX);
    const uint32_t count = static_cast<uint32_t>(image.size() / 2048);
    uint32_t last = 0, length = 0, leadout = 0;
    ASSERT_EQ(Aspi_ReadCapacity(kPlain, &last, &length), ASPI_OK);
    EXPECT_EQ(last, count - 1);
    EXPECT_EQ(length, 2048u);
    auto tracks = toc(kPlain, &leadout);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].adr_control, 0x14);
    EXPECT_EQ(tracks[0].start, 0u);
    EXPECT_EQ(leadout, count);
    for (uint32_t lba = 0; lba < count; lba += 32) {
        const uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(32, count - lba));
        ASSERT_EQ(read(kPlain, lba, n), blocks("plain.iso", lba, n)) << lba;
    }
    EXPECT_TRUE(read(kPlain, count, 1).empty());
    // The raw sheet of the same kind of disc gives the user data of its 2352-byte sectors.
    ASSERT_FALSE(blocks("raw-src.iso", 16, 4).empty());
    EXPECT_EQ(read(kRaw, 16, 4), blocks("raw-src.iso", 16, 4));
    EXPECT_EQ(read(kRaw, 0, 1), blocks("raw-src.iso", 0, 1));
}

// Both sheet formats of the same two-session disc: each session at its recorder address, its own volume
// descriptors where genisoimage put them, and nothing readable in between.
TEST_F(FixtureDrives, SessionsSitAtTheirAddressesWithUnreadableGaps) {
    for (uint16_t dev : {kTwoCue, kTwoCcd}) {
        const std::string ext = dev == kTwoCue ? "cue" : "ccd";
        SCOPED_TRACE(ext);
        const size_t s1_blocks = blocks("s1-" + ext + ".iso", 0, SIZE_MAX).size() / 2048;
        const size_t s2_blocks = blocks("s2-" + ext + ".iso", 0, SIZE_MAX).size() / 2048;
        uint32_t leadout = 0, last = 0, length = 0;
        auto tracks = toc(dev, &leadout);
        ASSERT_EQ(tracks.size(), 2u);
        EXPECT_EQ(tracks[0].start, 0u);
        // A recorder's layout: 6750 lead-out, 4500 lead-in and 150 pregap after the first session.
        const uint32_t start2 = tracks[1].start;
        EXPECT_EQ(start2, s1_blocks + 6750 + 4500 + 150);
        EXPECT_EQ(read(dev, 16, 1), blocks("s1-" + ext + ".iso", 16, 1));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&read(dev, 16, 1)[1]), 5), "CD001");
        // genisoimage -C writes only the new session; its block 0 is the session's first block on the disc.
        ASSERT_GT(s2_blocks, 20u);
        EXPECT_EQ(read(dev, start2 + 16, 4), blocks("s2-" + ext + ".iso", 16, 4));
        EXPECT_EQ(leadout, start2 + s2_blocks);
        for (uint32_t gap : {uint32_t(s1_blocks), uint32_t(s1_blocks + 6749), start2 - 1, leadout})
            EXPECT_TRUE(read(dev, gap, 1).empty()) << "LBA " << gap << " read although unrecorded";
        ASSERT_EQ(Aspi_ReadCapacity(dev, &last, &length), ASPI_OK);
        EXPECT_EQ(last, leadout - 1);
    }
}

TEST_F(FixtureDrives, AudioDiscHasAudioTracksThatAreNotData) {
    uint32_t leadout = 0;
    auto tracks = toc(kAudio, &leadout);
    ASSERT_EQ(tracks.size(), 3u);
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(tracks[i].number, i + 1);
        EXPECT_EQ(tracks[i].adr_control & 0x04, 0);
    }
    EXPECT_EQ(tracks[0].start, 0u);
    // sox made 1.5, 2.5 and 3.5 seconds of 75 sectors a second.
    EXPECT_EQ(tracks[1].start - tracks[0].start, 113u);
    EXPECT_LT(tracks[1].start, tracks[2].start);
    EXPECT_GT(leadout, tracks[2].start);
    EXPECT_TRUE(read(kAudio, tracks[1].start, 1).empty());
}

} // namespace
