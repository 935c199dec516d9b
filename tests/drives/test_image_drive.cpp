// The image drive as an MMC initiator sees it, over in-memory discs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "disc_builder.h"
#include "platform/drives/image_drive.h"

using namespace ckvd;
using namespace ckvd::drives;
using ckvd::testing::DiscBuilder;
using ckvd::testing::sector_byte;

namespace {

constexpr uint8_t kCanary = 0xCC;
constexpr size_t kCanaryBytes = 64;

struct Answer {
    CommandResult result;
    std::vector<uint8_t> data; // the caller's buffer after the command
};

// Runs one CDB with a buffer of `length` bytes and checks that nothing was written past it.
Answer run(ImageDrive& drive, std::vector<uint8_t> cdb, size_t length, Direction dir = Direction::In) {
    std::vector<uint8_t> buf(length + kCanaryBytes, kCanary);
    Answer a;
    a.result = drive.execute(cdb, dir, std::span<uint8_t>(buf.data(), length));
    for (size_t i = length; i < buf.size(); ++i)
        EXPECT_EQ(buf[i], kCanary) << "written past the buffer at " << i;
    EXPECT_LE(a.result.transferred, length);
    buf.resize(length);
    a.data = std::move(buf);
    return a;
}

void expect_sense(const CommandResult& r, uint8_t key, uint8_t asc, uint8_t ascq = 0) {
    EXPECT_TRUE(r.transport_ok);
    ASSERT_EQ(r.target_status, kStatusCheckCondition);
    EXPECT_EQ(r.sense[0], 0x70);
    EXPECT_EQ(r.sense[2] & 0x0F, key);
    EXPECT_EQ(r.sense[12], asc);
    EXPECT_EQ(r.sense[13], ascq);
}

void expect_good(const CommandResult& r) {
    EXPECT_TRUE(r.transport_ok);
    EXPECT_EQ(r.target_status, kStatusGood) << "sense " << int(r.sense[2]) << "/" << int(r.sense[12]);
}

uint32_t be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

std::vector<uint8_t> read10(uint32_t lba, uint16_t count) {
    return {0x28,         0, uint8_t(lba >> 24),  uint8_t(lba >> 16), uint8_t(lba >> 8),
            uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count),     0};
}

std::vector<uint8_t> read_toc(bool msf, uint8_t format, uint8_t number, uint16_t alloc) {
    return {0x43, uint8_t(msf ? 2 : 0), format, 0, 0, 0, number, uint8_t(alloc >> 8), uint8_t(alloc), 0};
}

class ImageDriveTest : public ::testing::Test {
  protected:
    DiscBuilder builder{"two-session"};
    ImageDrive drive{"/discs/two.cue", builder.two_session_data_disc()};
    const images::lba_t start2 = 300 + 6750 + 4500 + 150;
};

TEST_F(ImageDriveTest, InquiryDescribesABlankPaddedCdRom) {
    Answer a = run(drive, {0x12, 0, 0, 0, 36, 0}, 36);
    expect_good(a.result);
    EXPECT_EQ(a.result.transferred, 36u);
    EXPECT_EQ(a.data[0], 5);
    EXPECT_EQ(a.data[1] & 0x80, 0x80); // removable
    EXPECT_EQ(std::string(a.data.begin() + 8, a.data.begin() + 16), "CKVD    ");
    EXPECT_EQ(std::string(a.data.begin() + 16, a.data.begin() + 32), "IMAGE DRIVE     ");
    EXPECT_EQ(a.data[4], 31);

    Answer cut = run(drive, {0x12, 0, 0, 0, 5, 0}, 5);
    EXPECT_EQ(cut.result.transferred, 5u);
    expect_sense(run(drive, {0x12, 1, 0x80, 0, 36, 0}, 36).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);
    expect_sense(run(drive, {0x12, 0, 0, 0, 36, 0}, 20).result, kSenseIllegalRequest, kAscInvalidFieldInCdb);
    EXPECT_EQ(drive.device_path(), "/discs/two.cue");
}

TEST_F(ImageDriveTest, ReadinessMediumAndUnitAttention) {
    const std::vector<uint8_t> tur(6, 0);
    expect_good(run(drive, tur, 0, Direction::None).result);
    drive.set_ready(false);
    expect_sense(run(drive, tur, 0, Direction::None).result, kSenseNotReady, 0x04, 0x01);
    expect_sense(run(drive, read10(0, 1), 2048).result, kSenseNotReady, 0x04, 0x01);
    drive.set_ready(true);

    drive.change_medium(builder.two_session_data_disc());
    // INQUIRY does not take the attention; the next command gets it exactly once.
    expect_good(run(drive, {0x12, 0, 0, 0, 36, 0}, 36).result);
    expect_sense(run(drive, tur, 0, Direction::None).result, kSenseUnitAttention, kAscMediumChanged);
    expect_good(run(drive, tur, 0, Direction::None).result);

    drive.change_medium(nullptr);
    expect_sense(run(drive, tur, 0, Direction::None).result, kSenseUnitAttention, kAscMediumChanged);
    expect_sense(run(drive, tur, 0, Direction::None).result, kSenseNotReady, kAscMediumNotPresent);
    expect_sense(run(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8).result, kSenseNotReady,
                 kAscMediumNotPresent);
}

TEST_F(ImageDriveTest, StartStopUnit) {
    expect_good(run(drive, {0x1B, 0, 0, 0, 1, 0}, 0, Direction::None).result);
    expect_good(run(drive, {0x1B, 0, 0, 0, 0, 0}, 0, Direction::None).result);
    drive.set_start_fails(true);
    expect_sense(run(drive, {0x1B, 0, 0, 0, 1, 0}, 0, Direction::None).result, kSenseNotReady, 0x04, 0x00);

    ImageDrive empty("/discs/none.iso", nullptr);
    expect_sense(run(empty, {0x1B, 0, 0, 0, 1, 0}, 0, Direction::None).result, kSenseNotReady,
                 kAscMediumNotPresent);
    expect_good(run(empty, {0x1B, 0, 0, 0, 2, 0}, 0, Direction::None).result); // eject
}

TEST_F(ImageDriveTest, ReadCapacityGivesTheLastBlockOfTheLastSession) {
    Answer a = run(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    expect_good(a.result);
    EXPECT_EQ(be32(&a.data[0]), static_cast<uint32_t>(start2 + 199));
    EXPECT_EQ(be32(&a.data[4]), 2048u);
    expect_sense(run(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);
}

TEST_F(ImageDriveTest, FormattedTocInLbaAndMsf) {
    Answer lba = run(drive, read_toc(false, 0, 0, 804), 804);
    expect_good(lba.result);
    ASSERT_EQ(lba.result.transferred, 4u + 3 * 8);
    EXPECT_EQ(be16(&lba.data[0]), 2 + 3 * 8);
    EXPECT_EQ(lba.data[2], 1);
    EXPECT_EQ(lba.data[3], 2);
    const uint8_t* d = &lba.data[4];
    EXPECT_EQ(d[1], 0x14);
    EXPECT_EQ(d[2], 1);
    EXPECT_EQ(be32(d + 4), 0u);
    EXPECT_EQ(d[8 + 2], 2);
    EXPECT_EQ(be32(d + 8 + 4), static_cast<uint32_t>(start2));
    EXPECT_EQ(d[16 + 1], 0x14);
    EXPECT_EQ(d[16 + 2], 0xAA);
    EXPECT_EQ(be32(d + 16 + 4), static_cast<uint32_t>(start2 + 200));

    Answer msf = run(drive, read_toc(true, 0, 0, 804), 804);
    expect_good(msf.result);
    const uint8_t* m = &msf.data[4];
    EXPECT_EQ((std::vector<uint8_t>(m + 4, m + 8)), (std::vector<uint8_t>{0, 0, 2, 0}));
    // 11700 + 150 = 11850 frames = 2:38:00; lead-out 12050 frames = 2:40:50.
    EXPECT_EQ((std::vector<uint8_t>(m + 12, m + 16)), (std::vector<uint8_t>{0, 2, 38, 0}));
    EXPECT_EQ((std::vector<uint8_t>(m + 20, m + 24)), (std::vector<uint8_t>{0, 2, 40, 50}));
}

TEST_F(ImageDriveTest, FormattedTocHonoursTrackNumberAndAllocation) {
    Answer from2 = run(drive, read_toc(false, 0, 2, 804), 804);
    EXPECT_EQ(be16(&from2.data[0]), 2 + 2 * 8);
    EXPECT_EQ(from2.data[4 + 2], 2);
    Answer leadout = run(drive, read_toc(false, 0, 0xAA, 804), 804);
    EXPECT_EQ(be16(&leadout.data[0]), 2 + 8);
    EXPECT_EQ(leadout.data[4 + 2], 0xAA);
    expect_sense(run(drive, read_toc(false, 0, 3, 804), 804).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);

    Answer header = run(drive, read_toc(false, 0, 0, 4), 4);
    expect_good(header.result);
    EXPECT_EQ(header.result.transferred, 4u);
    EXPECT_EQ(be16(&header.data[0]), 2 + 3 * 8); // the whole length, whatever was asked
    expect_sense(run(drive, read_toc(false, 5, 0, 804), 804).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);
}

TEST_F(ImageDriveTest, FullTocIsTheRecordersInOrder) {
    const auto& toc = drive.disc()->full_toc;
    ASSERT_FALSE(toc.empty());
    const size_t whole = 4 + 11 * toc.size();
    Answer a = run(drive, read_toc(false, 2, 0, 0xFFFF), whole + 100);
    expect_good(a.result);
    ASSERT_EQ(a.result.transferred, whole);
    EXPECT_EQ(be16(&a.data[0]), whole - 2);
    EXPECT_EQ(a.data[2], 1);
    EXPECT_EQ(a.data[3], 2);
    for (size_t i = 0; i < toc.size(); ++i) {
        const uint8_t* e = &a.data[4 + 11 * i];
        const auto& x = toc[i];
        EXPECT_EQ((std::vector<uint8_t>(e, e + 11)),
                  (std::vector<uint8_t>{x.session, x.adr_control, x.tno, x.point, x.min, x.sec, x.frame,
                                        x.zero, x.pmin, x.psec, x.pframe}))
            << "descriptor " << i;
    }

    // The two-step read: the header first, announcing the whole.
    Answer head = run(drive, read_toc(false, 2, 0, 8), 8);
    expect_good(head.result);
    EXPECT_EQ(head.result.transferred, 8u);
    EXPECT_EQ(be16(&head.data[0]), whole - 2);
    EXPECT_EQ(std::vector<uint8_t>(head.data.begin() + 4, head.data.end()),
              std::vector<uint8_t>(a.data.begin() + 4, a.data.begin() + 8));

    // From session 2 on.
    const size_t second = std::count_if(toc.begin(), toc.end(), [](const auto& e) { return e.session >= 2; });
    Answer s2 = run(drive, read_toc(false, 2, 2, 0xFFFF), whole);
    EXPECT_EQ(be16(&s2.data[0]), 2 + 11 * second);
    EXPECT_EQ(s2.data[4], 2);
    expect_sense(run(drive, read_toc(false, 2, 3, 0xFFFF), whole).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);
}

TEST_F(ImageDriveTest, SessionInformation) {
    Answer a = run(drive, read_toc(false, 1, 0, 12), 12);
    expect_good(a.result);
    EXPECT_EQ(be16(&a.data[0]), 10);
    EXPECT_EQ(a.data[2], 1);
    EXPECT_EQ(a.data[3], 2);
    EXPECT_EQ(a.data[6], 2);
    EXPECT_EQ(be32(&a.data[8]), static_cast<uint32_t>(start2));
}

TEST_F(ImageDriveTest, ReadReturnsUserDataOfEachSession) {
    Answer a = run(drive, read10(298, 2), 4096);
    expect_good(a.result);
    EXPECT_EQ(a.result.transferred, 4096u);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(a.data[i], sector_byte(298 + static_cast<images::lba_t>(i / 2048), i % 2048)) << i;

    Answer b = run(drive, read10(start2, 32), 65536);
    expect_good(b.result);
    EXPECT_EQ(be32(&b.data[31 * 2048]), static_cast<uint32_t>(start2 + 31));
    EXPECT_EQ(drive.read10_commands, 2u);
    EXPECT_EQ(drive.sectors_read, 34u);
}

TEST_F(ImageDriveTest, BlocksOutsideRecordedAreasAreOutOfRange) {
    // Across the end of session 1, in the lead-out, in the next lead-in and pregap, past the last session.
    for (auto [lba, count] : {std::pair<uint32_t, uint16_t>{299, 2},
                              {300, 1},
                              {5000, 1},
                              {uint32_t(start2 - 1), 1},
                              {uint32_t(start2 + 199), 2},
                              {uint32_t(start2 + 200), 1},
                              {0x7FFFFFFF, 1},
                              {0xFFFFFFFF, 1},
                              {0xFFFFFFF0, 0x20}}) {
        Answer a = run(drive, read10(lba, count), size_t{count} * 2048);
        expect_sense(a.result, kSenseIllegalRequest, kAscLbaOutOfRange);
        EXPECT_EQ(a.result.transferred, 0u);
        EXPECT_EQ(a.data[0], kCanary) << lba;
    }
    EXPECT_EQ(drive.sectors_read, 0u);
}

TEST_F(ImageDriveTest, ReadFieldsAndLengths) {
    Answer none = run(drive, read10(0, 0), 0);
    expect_good(none.result);
    EXPECT_EQ(none.result.transferred, 0u);
    expect_sense(run(drive, read10(0, 2), 4095).result, kSenseIllegalRequest, kAscInvalidFieldInCdb);
    expect_sense(run(drive, read10(0, 1), 2048, Direction::None).result, kSenseIllegalRequest,
                 kAscInvalidFieldInCdb);
    std::vector<uint8_t> short_cdb = read10(0, 1);
    short_cdb.pop_back();
    expect_sense(run(drive, short_cdb, 2048).result, kSenseIllegalRequest, kAscInvalidFieldInCdb);
    expect_sense(run(drive, {}, 0).result, kSenseIllegalRequest, kAscInvalidFieldInCdb);
    EXPECT_EQ(drive.sectors_read, 0u);
}

TEST_F(ImageDriveTest, EveryOtherOpcodeIsInvalid) {
    for (uint8_t op : {0x03, 0x1A, 0x1E, 0x2B, 0x42, 0x46, 0x4A, 0x51, 0x5A, 0xA8, 0xAD, 0xBB, 0xBE, 0xFF}) {
        std::vector<uint8_t> cdb(op >= 0xA0 ? 12 : 10, 0);
        cdb[0] = op;
        expect_sense(run(drive, cdb, 64).result, kSenseIllegalRequest, kAscInvalidOpcode);
    }
}

TEST(ImageDriveAudio, AudioBlocksAreNotReadableAsData) {
    DiscBuilder builder("audio");
    ImageDrive drive("/discs/audio.cue", builder.audio_disc());
    expect_sense(run(drive, read10(0, 1), 2048).result, kSenseIllegalRequest, kAscLbaOutOfRange);
    expect_sense(run(drive, read10(120, 1), 2048).result, kSenseIllegalRequest, kAscLbaOutOfRange);

    Answer toc = run(drive, read_toc(false, 0, 0, 804), 804);
    expect_good(toc.result);
    EXPECT_EQ(be16(&toc.data[0]), 2 + 4 * 8);
    EXPECT_EQ(toc.data[4 + 1], 0x10);
    EXPECT_EQ(toc.data[12 + 1], 0x12); // copy permitted
    EXPECT_EQ(toc.data[28 + 2], 0xAA);
    EXPECT_EQ(be32(&toc.data[28 + 4]), 300u);

    Answer cap = run(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    EXPECT_EQ(be32(&cap.data[0]), 299u);
}

// A data track of raw 2352-byte sectors (user data at 16) in its own file, cut to `stored_bytes` when given.
images::Track raw_data_track(const std::string& name, uint8_t number, images::lba_t start, uint32_t length,
                             uint64_t stored_bytes = UINT64_MAX) {
    images::Track t = ckvd::testing::track(
        number, 0x04, images::TrackMode::Mode1, start, length,
        (std::filesystem::path(::testing::TempDir()) / ("ckvd-drives-" + name + ".bin")).string(), 2352, 16);
    std::vector<char> bytes(size_t{length} * 2352, 0x55);
    for (uint32_t n = 0; n < length; ++n)
        for (size_t i = 0; i < 2048; ++i)
            bytes[n * 2352 + 16 + i] =
                static_cast<char>(sector_byte(start + static_cast<images::lba_t>(n), i));
    bytes.resize(std::min<uint64_t>(bytes.size(), stored_bytes));
    std::ofstream(t.file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
    return t;
}

void expect_blocks(const Answer& a, images::lba_t first, uint32_t count) {
    for (size_t i = 0; i < size_t{count} * 2048; ++i)
        ASSERT_EQ(a.data[i], sector_byte(first + static_cast<images::lba_t>(i / 2048), i % 2048)) << i;
}

TEST(ImageDriveFiles, AFileShorterThanItsTrackEndsTheTransferAtItsLastWholeBlock) {
    DiscBuilder builder("short");
    images::Session s;
    s.number = 1;
    s.tracks.push_back(builder.data_track(1, 0, 100));
    s.leadout = 100;
    std::filesystem::resize_file(s.tracks[0].file, 40 * 2048 + 1000);
    ImageDrive drive("/discs/short.iso", DiscBuilder::disc({s}, true));

    Answer a = run(drive, read10(30, 20), 20 * 2048);
    expect_sense(a.result, kSenseMediumError, kAscReadError);
    EXPECT_EQ(a.result.transferred, 10u * 2048);
    expect_blocks(a, 30, 10);
    expect_sense(run(drive, read10(40, 1), 2048).result, kSenseMediumError, kAscReadError);
    EXPECT_EQ(drive.sectors_read, 10u);
}

TEST(ImageDriveFiles, RawSectorsAcrossChunksTracksAndACutEnd) {
    // Two raw tracks; the second file ends after the user data of its block 90 (EDC/ECC cut off).
    images::Session s;
    s.number = 1;
    s.tracks.push_back(raw_data_track("raw1", 1, 0, 150));
    s.tracks.push_back(raw_data_track("raw2", 2, 150, 100, 90 * 2352 + 16 + 2048));
    s.leadout = 250;
    ImageDrive drive("/discs/raw.cue", DiscBuilder::disc({s}, true));

    Answer a = run(drive, read10(0, 200), 200 * 2048);
    expect_good(a.result);
    expect_blocks(a, 0, 200);
    Answer b = run(drive, read10(200, 45), 45 * 2048);
    expect_sense(b.result, kSenseMediumError, kAscReadError);
    EXPECT_EQ(b.result.transferred, 41u * 2048);
    expect_blocks(b, 200, 41);
    EXPECT_EQ(drive.sectors_read, 241u);
}

TEST(ImageDriveFiles, BlocksBeyondFourGibibytesOfTheirFile) {
    // Sparse files: only the blocks read are written, past 4 GiB in both the cooked and the raw track.
    const auto dir = std::filesystem::path(::testing::TempDir());
    images::Session s;
    s.number = 1;
    for (auto [number, start, sectorSize, userOffset] :
         {std::tuple<uint8_t, images::lba_t, uint32_t, uint32_t>{1, 0, 2048, 0}, {2, 2200000, 2352, 16}}) {
        images::Track t = ckvd::testing::track(
            number, 0x04, images::TrackMode::Mode1, start, 2200000,
            (dir / ("ckvd-drives-big" + std::to_string(number) + ".img")).string(), sectorSize, userOffset);
        const images::lba_t lba = start + 2100000; // 4.3 GB (cooked) and 4.9 GB (raw) into the file
        std::vector<char> block(2048);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(sector_byte(lba, i));
        std::ofstream out(t.file, std::ios::binary | std::ios::trunc);
        out.seekp(static_cast<std::streamoff>(uint64_t{2100000} * sectorSize + userOffset));
        out.write(block.data(), std::streamsize(block.size()));
        ASSERT_TRUE(out.good());
        s.tracks.push_back(t);
    }
    s.leadout = 4400000;
    ImageDrive drive("/discs/big.cue", DiscBuilder::disc({s}, true));
    for (images::lba_t lba : {2100000, 2200000 + 2100000}) {
        Answer a = run(drive, read10(static_cast<uint32_t>(lba), 1), 2048);
        expect_good(a.result);
        expect_blocks(a, lba, 1);
    }
    for (int n = 1; n <= 2; ++n)
        std::filesystem::remove(dir / ("ckvd-drives-big" + std::to_string(n) + ".img"));
}

TEST(ImageAdapterTest, SixteenDrivesAtMost) {
    ImageAdapter adapter;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(adapter.add(std::make_unique<ImageDrive>("d" + std::to_string(i), nullptr)), i);
    EXPECT_EQ(adapter.add(std::make_unique<ImageDrive>("one too many", nullptr)), -1);
    EXPECT_EQ(adapter.target(15)->device_path(), "d15");
    EXPECT_EQ(adapter.target(16), nullptr);
    adapter.clear();
    EXPECT_EQ(adapter.target(0), nullptr);
}

} // namespace
