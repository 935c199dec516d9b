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

std::string fixture(const char* name) {
    const char* dir = std::getenv("CKVD_FIXTURES");
    return std::string(dir ? dir : "fixtures-not-set") + "/" + name;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
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
        std::vector<std::string> paths;
        for (const char* name : kImages)
            paths.push_back(fixture(name));
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
        const uint16_t length = static_cast<uint16_t>((head[0] << 8 | head[1]) + 2);
        std::vector<uint8_t> buf(length);
        EXPECT_EQ(Aspi_ReadToc(device, 0, 0, 0, length, buf.data()), ASPI_OK);
        std::vector<TocTrack> tracks;
        for (size_t at = 4; at + 8 <= buf.size(); at += 8) {
            if (buf[at + 2] == 0xAA)
                *leadout = be32(&buf[at + 4]);
            else
                tracks.push_back({buf[at + 2], buf[at + 1], be32(&buf[at + 4])});
        }
        return tracks;
    }
    static std::vector<uint8_t> read(uint16_t device, uint32_t lba, uint16_t count, int* result = nullptr) {
        std::vector<uint8_t> buf(size_t{count} * 2048);
        const int r = Aspi_ReadSectors(device, lba, 2048, count, buf.data());
        if (result)
            *result = r;
        else
            EXPECT_EQ(r, ASPI_OK) << "LBA " << lba;
        return buf;
    }
    static std::vector<uint8_t> blocks(const std::vector<uint8_t>& image, size_t first, size_t count) {
        if (image.size() < (first + count) * 2048)
            return {};
        return {image.begin() + first * 2048, image.begin() + (first + count) * 2048};
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
    const auto image = file_bytes(fixture("plain.iso"));
    const uint32_t blocks_in_file = static_cast<uint32_t>(image.size() / 2048);
    uint32_t last = 0, length = 0;
    ASSERT_EQ(Aspi_ReadCapacity(kPlain, &last, &length), ASPI_OK);
    EXPECT_EQ(last, blocks_in_file - 1);
    EXPECT_EQ(length, 2048u);
    uint32_t leadout = 0;
    auto tracks = toc(kPlain, &leadout);
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0].adr_control, 0x14);
    EXPECT_EQ(tracks[0].start, 0u);
    EXPECT_EQ(leadout, blocks_in_file);
    for (uint32_t lba = 0; lba < blocks_in_file; lba += 32) {
        const uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(32, blocks_in_file - lba));
        ASSERT_EQ(read(kPlain, lba, n), blocks(image, lba, n)) << lba;
    }
    int result = 0;
    read(kPlain, blocks_in_file, 1, &result);
    EXPECT_NE(result, ASPI_OK);
}

// Both sheet formats of the same two-session disc: each session at its recorder address, its own volume
// descriptors where genisoimage put them, and nothing readable in between.
class TwoSessionFixture : public FixtureDrives, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(TwoSessionFixture, SessionsSitAtTheirAddressesWithUnreadableGaps) {
    const uint16_t dev = GetParam();
    const std::string ext = dev == kTwoCue ? "cue" : "ccd";
    const auto s1 = file_bytes(fixture(("s1-" + ext + ".iso").c_str()));
    const auto s2 = file_bytes(fixture(("s2-" + ext + ".iso").c_str()));
    uint32_t leadout = 0;
    auto tracks = toc(dev, &leadout);
    ASSERT_EQ(tracks.size(), 2u);
    const uint32_t s1_blocks = static_cast<uint32_t>(s1.size() / 2048);
    EXPECT_EQ(tracks[0].start, 0u);
    // A recorder's layout: 6750 lead-out, 4500 lead-in and 150 pregap after the first session.
    EXPECT_EQ(tracks[1].start, s1_blocks + 6750 + 4500 + 150);
    const uint32_t start2 = tracks[1].start;

    EXPECT_EQ(read(dev, 16, 1), blocks(s1, 16, 1));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&read(dev, 16, 1)[1]), 5), "CD001");
    // genisoimage -C writes only the new session; its block 0 is the session's first block on the disc.
    const uint32_t s2_blocks = static_cast<uint32_t>(s2.size() / 2048);
    ASSERT_GT(s2_blocks, 20u);
    EXPECT_EQ(read(dev, start2 + 16, 4), blocks(s2, 16, 4));
    EXPECT_EQ(leadout, start2 + s2_blocks);

    for (uint32_t gap : {s1_blocks, s1_blocks + 6749, start2 - 1, leadout}) {
        int result = ASPI_OK;
        read(dev, gap, 1, &result);
        EXPECT_EQ(result, SS_ERR) << "LBA " << gap << " read although unrecorded";
    }
    uint32_t last = 0, length = 0;
    ASSERT_EQ(Aspi_ReadCapacity(dev, &last, &length), ASPI_OK);
    EXPECT_EQ(last, leadout - 1);
}

INSTANTIATE_TEST_SUITE_P(CueAndCloneCd, TwoSessionFixture,
                         ::testing::Values(uint16_t{kTwoCue}, uint16_t{kTwoCcd}),
                         [](const auto& info) { return info.param == kTwoCue ? "cue" : "ccd"; });

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
    int result = ASPI_OK;
    read(kAudio, tracks[1].start, 1, &result);
    EXPECT_EQ(result, SS_ERR);
}

TEST_F(FixtureDrives, RawSheetReadsTheUserDataOf2352ByteSectors) {
    const auto image = file_bytes(fixture("raw-src.iso"));
    ASSERT_GE(image.size(), 20u * 2048);
    EXPECT_EQ(read(kRaw, 16, 4), blocks(image, 16, 4));
    EXPECT_EQ(read(kRaw, 0, 1), blocks(image, 0, 1));
}

} // namespace
