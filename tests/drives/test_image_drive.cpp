// The image drive as an MMC initiator sees it, over discs written to small sector files here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "golden.h"
#include "low_track_files.h"
#include "platform/drives/image_drive.h"

using namespace ckvd;
using namespace ckvd::drives;

namespace {

const std::string kDir = ::testing::TempDir() + "ckvd-drives-";
constexpr uint8_t kCanary = 0xCC;
using lowdisc::Disc;
using lowdisc::Track;
using lowdisc::UserData;

// Two data sessions as a recorder leaves them: 300 blocks, then (6750 lead-out, 4500 lead-in, 150 pregap
// later) 200 blocks at 11700; left open.
constexpr images::lba_t kStart2 = 300 + 6750 + 4500 + 150;
std::unique_ptr<images::DiscImage> two_sessions() {
    return Disc({{1, 0, {Track(kDir + "s1.iso", 1, 0, 300)}, 300},
                 {2, 0, {Track(kDir + "s2.iso", 2, kStart2, 200)}, kStart2 + 200}},
                false);
}

std::string hex(uint8_t b) {
    const char* digits = "0123456789abcdef";
    return {' ', digits[b >> 4], digits[b & 15]};
}

// Runs one CDB with a buffer of `length` bytes and describes it: the CDB, the status with its sense and the
// bytes transferred (READ(10) data goes to `out` instead). Nothing may be written past the buffer, nor at all
// by a rejected command.
std::string run(ImageDrive& d, const std::vector<uint8_t>& cdb, size_t length, Direction dir = Direction::In,
                std::string* out = nullptr) {
    std::string buf(length + 64, char(kCanary));
    const CommandResult r = d.execute(cdb, dir, std::span(reinterpret_cast<uint8_t*>(buf.data()), length));
    EXPECT_TRUE(r.transport_ok);
    EXPECT_LE(r.transferred, length);
    EXPECT_EQ(buf.substr(length), std::string(64, char(kCanary))) << "written past the buffer";
    std::string text = ">";
    for (uint8_t b : cdb)
        text += hex(b);
    text += " [" + std::to_string(length) + "]\n<";
    if (r.target_status == kStatusGood) {
        text += " GOOD";
    } else {
        EXPECT_EQ(r.target_status, kStatusCheckCondition);
        EXPECT_EQ(r.sense[0], 0x70);
        text += " CHECK" + hex(r.sense[2]) + hex(r.sense[12]) + hex(r.sense[13]);
        if ((r.sense[2] & 0x0F) == kSenseIllegalRequest) {
            EXPECT_EQ(buf, std::string(buf.size(), char(kCanary))) << "written by a rejected command";
        }
    }
    text += " " + std::to_string(r.transferred);
    if (out)
        *out = buf.substr(0, r.transferred);
    // READ TOC: the 4-byte header, then a descriptor a row (11 bytes in the full TOC, else 8).
    const bool toc = !cdb.empty() && cdb[0] == 0x43;
    const size_t head = toc ? 4 : 0, row = toc ? (cdb[2] == 2 ? 11 : 8) : 16;
    for (size_t i = 0; i < r.transferred && !out; ++i)
        text += (i == 0 || (i >= head && (i - head) % row == 0) ? "\n " : "") + hex(uint8_t(buf[i]));
    return text + "\n";
}

// Runs a script: lines of commands, each its CDB in hex and "/" with the buffer length (data in; none for an
// empty buffer or with "n" after the length), and "#" lines copied as they are.
std::string script(ImageDrive& d, const std::string& text) {
    std::istringstream lines(text);
    std::string t, line, token;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::vector<uint8_t> cdb;
        while (line[0] != '#' && in >> token) {
            if (token[0] != '/') {
                cdb.push_back(uint8_t(std::stoul(token, nullptr, 16)));
                continue;
            }
            const size_t length = std::stoul(token.substr(1));
            t += run(d, cdb, length, length && token.back() != 'n' ? Direction::In : Direction::None);
            cdb.clear();
        }
        t += line[0] == '#' ? line + "\n" : "";
    }
    return t;
}

// Every command the drive answers, and its refusals, over the two-session disc, an audio CD and no disc.
TEST(ImageDrive, AnswersAsTheGoldenTranscript) {
    ImageDrive drive("/discs/two.cue", two_sessions());
    EXPECT_EQ(drive.device_path(), "/discs/two.cue");
    std::string t = script(drive, R"(# two sessions: 0-299, 11700-11899; lead-out 11900; left open
# INQUIRY; cut to 5; vital product data; a buffer shorter than the allocation
12 00 00 00 24 00 /36  12 00 00 00 05 00 /5  12 01 80 00 24 00 /36  12 00 00 00 24 00 /20
# READ CAPACITY; into 4 bytes
25 00 00 00 00 00 00 00 00 00 /8  25 00 00 00 00 00 00 00 00 00 /4
# TOC: LBA, MSF, from track 2, lead-out only, track 3, header only, format 5
43 00 00 00 00 00 00 03 24 00 /804  43 02 00 00 00 00 00 03 24 00 /804  43 00 00 00 00 00 02 03 24 00 /804
43 00 00 00 00 00 aa 03 24 00 /804  43 00 00 00 00 00 03 03 24 00 /804  43 00 00 00 00 00 00 00 04 00 /4
43 00 05 00 00 00 00 03 24 00 /804
# session information; full TOC, its header, from session 2, session 3
43 00 01 00 00 00 00 00 0c 00 /12  43 00 02 00 00 00 00 ff ff 00 /1000  43 00 02 00 00 00 00 00 08 00 /8
43 00 02 00 00 00 02 ff ff 00 /1000  43 00 02 00 00 00 03 ff ff 00 /1000
# READ(10) of 0 blocks; buffer short by one byte; no data direction; CDB of 9 bytes; no CDB
28 00 00 00 00 00 00 00 00 00 /0  28 00 00 00 00 00 00 00 02 00 /4095  28 00 00 00 00 00 00 00 01 00 /2048n
28 00 00 00 00 00 00 00 01 /2048  /0
# across the end of session 1, lead-out, lead-in, pregap, past the last session, wrapping
28 00 00 00 01 2b 00 00 02 00 /4096  28 00 00 00 01 2c 00 00 01 00 /2048  28 00 00 00 13 88 00 00 01 00 /2048
28 00 00 00 2d b3 00 00 01 00 /2048  28 00 00 00 2e 7b 00 00 02 00 /4096  28 00 00 00 2e 7c 00 00 01 00 /2048
28 00 7f ff ff ff 00 00 01 00 /2048  28 00 ff ff ff ff 00 00 01 00 /2048  28 00 ff ff ff f0 00 00 20 00 /65536
# start, stop
1b 00 00 00 01 00 /0  1b 00 00 00 00 00 /0
)");
    t += "# every other opcode\n";
    for (uint8_t op : {0x03, 0x1A, 0x1E, 0x2B, 0x42, 0x46, 0x4A, 0x51, 0x5A, 0xA8, 0xAD, 0xBB, 0xBE, 0xFF}) {
        std::vector<uint8_t> cdb(op >= 0xA0 ? 12 : 10, 0);
        cdb[0] = op;
        t += run(drive, cdb, 64);
    }
    EXPECT_EQ(drive.sectors_read, 0u);
    drive.set_ready(false);
    t += script(drive, "# not ready\n00 00 00 00 00 00 /0  28 00 00 00 00 00 00 00 01 00 /2048\n");
    drive.set_ready(true);
    drive.set_toc_convention(TocConvention::Sff8020i);
    t += script(drive, "# the older ATAPI convention: the format from byte 9 alone\n"
                       "43 02 02 00 00 00 00 00 ff 00 /255  43 02 00 00 00 00 00 00 ff 80 /255  "
                       "43 00 00 00 00 00 00 00 0c 40 /12\n");
    drive.set_toc_convention(TocConvention::NoFullToc);
    t += script(drive, "# no full TOC: the formatted TOC for it\n43 02 02 00 00 00 00 00 ff 80 /255\n");
    drive.set_toc_convention(TocConvention::Mmc);
    drive.set_start_fails(true);
    t += script(drive, "# start fails\n1b 00 00 00 01 00 /0\n");
    drive.set_start_fails(false);
    drive.change_medium(two_sessions());
    t += script(drive,
                "# medium changed: INQUIRY does not take the attention, the next command takes it once\n"
                "12 00 00 00 24 00 /36  00 00 00 00 00 00 /0  00 00 00 00 00 00 /0\n");
    drive.change_medium(nullptr);
    t += script(
        drive,
        "# medium removed\n00 00 00 00 00 00 /0  00 00 00 00 00 00 /0  25 00 00 00 00 00 00 00 00 00 /8\n");
    ImageDrive empty("/discs/none.iso", nullptr);
    t += script(empty, "# never a medium: start, eject\n1b 00 00 00 01 00 /0  1b 00 00 00 02 00 /0\n");
    ImageDrive audio("/discs/audio.cue", Disc({Track(kDir + "a1.bin", 1, 0, 100, 2352, 0, 0),
                                               Track(kDir + "a2.bin", 2, 100, 150, 2352, 0, 0x02),
                                               Track(kDir + "a3.bin", 3, 250, 50, 2352, 0, 0)},
                                              300));
    t += script(audio, R"(# audio CD: 0-99, 100-249 (copy permitted), 250-299
28 00 00 00 00 00 00 00 01 00 /2048  28 00 00 00 00 78 00 00 01 00 /2048
43 00 00 00 00 00 00 03 24 00 /804  25 00 00 00 00 00 00 00 00 00 /8
)");
    ExpectGolden("drives/image_drive.txt", t);
}

// Reads `count` blocks at `lba`: the first `good` come back, then a read error when that is fewer.
void expect_read(ImageDrive& d, uint32_t lba, uint16_t count, uint16_t good) {
    std::string data;
    const std::vector<uint8_t> read10 = {
        0x28,         0, uint8_t(lba >> 24),  uint8_t(lba >> 16), uint8_t(lba >> 8),
        uint8_t(lba), 0, uint8_t(count >> 8), uint8_t(count),     0};
    const std::string text = run(d, read10, size_t{count} * 2048, Direction::In, &data);
    EXPECT_NE(text.find(good == count ? "< GOOD" : "< CHECK 03 11 00"), std::string::npos) << text;
    ASSERT_EQ(data.size(), size_t{good} * 2048) << text;
    for (uint16_t n = 0; n < good; ++n)
        ASSERT_EQ(data.substr(size_t{n} * 2048, 2048), UserData(images::lba_t(lba + n))) << text << n;
}

TEST(ImageDrive, ReadsUserDataUpToTheLastWholeBlockOfItsFile) {
    ImageDrive two("two", two_sessions());
    expect_read(two, 298, 2, 2);
    expect_read(two, kStart2, 32, 32);
    EXPECT_EQ(two.read10_commands, 2u);
    EXPECT_EQ(two.sectors_read, 34u);
    // Two raw tracks (user data at 16), the second cut after the user data of its block 90.
    ImageDrive raw("raw", Disc({Track(kDir + "r1.bin", 1, 0, 150, 2352, 16),
                                Track(kDir + "r2.bin", 2, 150, 100, 2352, 16, 4, 90 * 2352 + 16 + 2048)},
                               250));
    expect_read(raw, 0, 200, 200);
    expect_read(raw, 200, 45, 41);
    EXPECT_EQ(raw.sectors_read, 241u);
    // A cooked file of 40 blocks and 1000 bytes under a track of 100.
    ImageDrive cut("cut", Disc({Track(kDir + "cut.iso", 1, 0, 100, 2048, 0, 4, 40 * 2048 + 1000)}, 100));
    expect_read(cut, 30, 20, 10);
    expect_read(cut, 40, 1, 0);
    EXPECT_EQ(cut.sectors_read, 10u);
}

// The test hooks of a drive whose medium changes while it is read: a reset's and a change's UNIT ATTENTION at
// the Nth command after INQUIRY, a medium swapped in before it, and whole sectors made up as QEMU's ATAPI
// drives make them (sync, binary address, mode 1, the user data, EDC and ECC zero).
TEST(ImageDrive, AttentionsSwapsAndSectorsWithoutErrorCodes) {
    ImageDrive d("d", two_sessions());
    const std::vector<uint8_t> tur(6, 0), inquiry = {0x12, 0, 0, 0, 0, 0},
                                          readCapacity = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    d.attention_at(2, 0x29);
    const uint64_t media = d.medium_generation();
    d.swap_medium_at(4, Disc({Track(kDir + "swap.iso", 1, 0, 200)}, 200));
    std::string seen; // one command after the other
    for (const std::vector<uint8_t>* cdb : {&tur, &inquiry, &tur, &tur, &readCapacity, &readCapacity})
        seen += run(d, *cdb, cdb == &readCapacity ? 8 : 0,
                    cdb == &readCapacity ? Direction::In : Direction::None);
    EXPECT_EQ(seen, "> 00 00 00 00 00 00 [0]\n< GOOD 0\n> 12 00 00 00 00 00 [0]\n< GOOD 0\n"
                    "> 00 00 00 00 00 00 [0]\n< CHECK 06 29 00 0\n> 00 00 00 00 00 00 [0]\n< GOOD 0\n"
                    "> 25 00 00 00 00 00 00 00 00 00 [8]\n< CHECK 06 28 00 0\n"
                    "> 25 00 00 00 00 00 00 00 00 00 [8]\n< GOOD 8\n  00 00 00 c7 00 00 08 00\n");
    EXPECT_EQ(std::pair(d.medium_changes(), d.medium_generation()), std::pair(uint64_t{1}, media + 1));
    d.set_zero_error_codes(true);
    std::string sector;
    const std::vector<uint8_t> readCd = {0xBE, 0, 0, 0, 0, 16, 0, 0, 1, 0xF8, 0, 0};
    EXPECT_EQ(run(d, readCd, 2352, Direction::In, &sector),
              "> be 00 00 00 00 10 00 00 01 f8 00 00 [2352]\n< GOOD 2352\n");
    const std::string head("\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00\x00\x02\x10\x01", 16);
    EXPECT_EQ(sector.substr(0, 16), head); // 166 frames: 0:02:16, in binary
    EXPECT_EQ(sector.substr(16, 2048), UserData(16));
    EXPECT_EQ(sector.substr(2064), std::string(288, '\0'));
}

TEST(ImageDrive, ReadsBlocksBeyondFourGibibytesOfTheirFile) {
    // Sparse files holding only the block read, 4.3 GB (cooked) and 4.9 GB (raw) into them.
    std::vector<images::Track> tracks;
    for (auto [number, start, sector, offset] :
         {std::tuple<uint8_t, images::lba_t, uint32_t, uint32_t>{1, 0, 2048, 0}, {2, 2200000, 2352, 16}}) {
        tracks.push_back(Track(kDir + "big" + std::to_string(number), number, start, 0, sector, offset));
        tracks.back().length = 2200000;
        std::fstream f(tracks.back().file, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(std::streamoff(uint64_t{2100000} * sector + offset)) << UserData(start + 2100000);
        ASSERT_TRUE(f.good());
    }
    ImageDrive drive("/discs/big.cue", Disc(tracks, 4400000));
    expect_read(drive, 2100000, 1, 1);
    expect_read(drive, 4300000, 1, 1);
    for (const auto& t : tracks)
        std::filesystem::remove(t.file);
}

// A plain image of a DVD (2,300,000 blocks, sparse) as drives answer for DVD media: no full TOC, since its
// times cannot address the blocks; formats 0 and 1 with exact LBAs, times held at 99:59:74.
TEST(ImageDrive, DvdImageAnswersWithoutAFullToc) {
    const std::string file = kDir + "dvd.iso";
    std::ofstream(file, std::ios::binary).seekp(std::streamoff(uint64_t{2299999} * 2048))
        << UserData(2299999);
    images::LoadResult loaded = images::load_iso(file);
    ASSERT_TRUE(loaded) << loaded.error;
    ImageDrive drive("/discs/dvd.iso", std::move(loaded.disc));
    ExpectGolden("drives/image_drive_dvd.txt", script(drive, R"(# one session: blocks 0-2,299,999
# READ CAPACITY; TOC: LBA, MSF, the lead-out alone; session information; full TOC
25 00 00 00 00 00 00 00 00 00 /8  43 00 00 00 00 00 00 00 14 00 /20  43 02 00 00 00 00 00 00 14 00 /20
43 02 00 00 00 00 aa 00 0c 00 /12  43 00 01 00 00 00 00 00 0c 00 /12  43 00 02 00 00 00 00 ff ff 00 /1000
# READ(10) past the lead-out
28 00 00 23 18 60 00 00 01 00 /2048
)"));
    expect_read(drive, 2299999, 1, 1);
    std::filesystem::remove(file);
}

TEST(ImageAdapter, SixteenDrivesAtMost) {
    ImageAdapter adapter;
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(adapter.add(std::make_unique<ImageDrive>("d" + std::to_string(i), nullptr)), i);
    EXPECT_EQ(adapter.add(std::make_unique<ImageDrive>("one too many", nullptr)), -1);
    EXPECT_EQ(adapter.drive(15)->device_path(), "d15");
    EXPECT_EQ(adapter.drive(16), nullptr);
    adapter.clear();
    EXPECT_EQ(adapter.drive(0), nullptr);
}

} // namespace
