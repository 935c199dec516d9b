// Image readers over fixtures made by genisoimage/sox and composed by ckvd-mkdisc, read back against the
// files genisoimage wrote and checked against libcdio's cd-info, plus malformed sheets refused with file and
// line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "golden.h"
#include "image_fixtures.h"
#include "images/disc_image.h"
#include "platform/drives/image_drive.h"

using namespace ckvd;
using namespace ckvd::images;
using namespace image_tests;
namespace fs = std::filesystem;

namespace {

int count_points(const DiscImage& d, uint8_t session, uint8_t point) {
    return int(std::count_if(d.full_toc.begin(), d.full_toc.end(),
                             [&](const auto& e) { return e.session == session && e.point == point; }));
}

} // namespace

TEST(ImageReaders, TwoSessionDiscsLandAtRecorderAddresses) {
    for (const std::string ext : {"cue", "ccd"}) {
        SCOPED_TRACE(ext);
        LoadResult r = load_image(fx("two." + ext));
        ASSERT_TRUE(r) << r.error;
        const DiscImage& d = *r.disc;
        ASSERT_EQ(d.sessions.size(), 2u);
        const Session& s1 = d.sessions[0];
        const Session& s2 = d.sessions[1];
        ASSERT_EQ(s1.tracks.size(), 1u);
        ASSERT_EQ(s2.tracks.size(), 1u);
        const lba_t start2 = s2.tracks[0].start;
        EXPECT_EQ(s2.tracks[0].number, 2);
        EXPECT_EQ(s1.tracks[0].start, 0);
        EXPECT_EQ(s1.leadout, static_cast<lba_t>(s1.tracks[0].length));
        // 6750 lead-out, 4500 lead-in and 150 pregap sectors between the sessions.
        EXPECT_EQ(start2, s1.leadout + 11400);
        EXPECT_EQ(uint64_t(s2.leadout - start2) * 2048, fs::file_size(fx("s2-" + ext + ".iso")));
        EXPECT_EQ(d.last_lba(), s2.leadout - 1);
        EXPECT_FALSE(d.closed);

        // Each session's blocks as genisoimage wrote them (-C: the file's block 0 is the session's start).
        SectorReader reader(d);
        EXPECT_EQ(disc_blocks(reader, 16, 4), file_blocks("s1-" + ext + ".iso", 16, 4));
        EXPECT_EQ(disc_blocks(reader, start2 + 16, 4), file_blocks("s2-" + ext + ".iso", 16, 4));
        for (lba_t gap : {s1.leadout, s1.leadout + 6749, s1.leadout + 6750, start2 - 1, s2.leadout})
            EXPECT_EQ(disc_blocks(reader, gap, 1), "") << gap;

        // The full TOC as a recorder leaves an appendable disc: A0, A1, A2 and B0 in each session, C0 in the
        // first only.
        for (uint8_t point : {0xA0, 0xA1, 0xA2, 0xB0})
            EXPECT_EQ(std::pair(count_points(d, 1, point), count_points(d, 2, point)), std::pair(1, 1))
                << point;
        EXPECT_EQ(std::pair(count_points(d, 1, 0xC0), count_points(d, 2, 0xC0)), std::pair(1, 0));
        for (const auto& e : d.full_toc) {
            const lba_t at = msf_to_lba(e.min, e.sec, e.frame), p = msf_to_lba(e.pmin, e.psec, e.pframe);
            if (e.point == 0xB0 && e.session == 1) {
                EXPECT_EQ(at, start2 - 150);
            } else if (e.point == 0xA2 && e.session == 2) {
                EXPECT_EQ(p, s2.leadout);
            } else if (e.point == 2) {
                EXPECT_EQ(p, start2);
            }
        }
        EXPECT_EQ(next_session_start(d.sessions), s2.leadout + 2250 + 4500 + 150);
    }
}

TEST(ImageReaders, MkdiscMsinfoAndRefusalOfAWrongSession) {
    const std::string mk = std::getenv("CKVD_MKDISC") ? std::getenv("CKVD_MKDISC") : "ckvd-mkdisc";
    TempDir dir;
    fs::copy_file(fx("s1-cue.iso"), dir / "s1.iso");
    const std::string disc = dir / "d.cue";
    auto run = [&](const std::string& args) {
        return std::system((mk + " " + args + " 2>/dev/null").c_str());
    };
    ASSERT_EQ(run("create " + disc + " " + (dir / "s1.iso")), 0);
    ASSERT_EQ(run("msinfo " + disc + " > " + (dir / "msinfo.txt")), 0);
    std::ifstream in(dir / "msinfo.txt");
    std::string line;
    std::getline(in, line);
    LoadResult r = load_cue(disc);
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(line, "0," + std::to_string(r.disc->sessions[0].leadout + 11400));
    // A session made for another address is refused and the disc is left as it was.
    EXPECT_NE(run("append " + disc + " " + fx("wrong.iso")), 0);
    LoadResult again = load_cue(disc);
    ASSERT_TRUE(again) << again.error;
    EXPECT_EQ(again.disc->sessions.size(), 1u);
    EXPECT_NE(run("audio " + (dir / "a.cue") + " " + fx("mono.wav")), 0);
    EXPECT_NE(run("frob"), 0);
}

TEST(ImageReaders, RawSheetsFirstAndLastTrackAgreeWithCdInfo) {
    // cdda.cue names "CDDA.BIN" for cdda.bin; late.cue holds tracks 04-05.
    for (const std::string base : {"audio", "raw", "cdda", "late"}) {
        SCOPED_TRACE(base);
        LoadResult r = load_image(fx(base + ".cue"));
        ASSERT_TRUE(r) << r.error;
        drives::ImageDrive drive(base, std::move(r.disc));
        // cd-info's "CD-ROM Track List (F - L)" (its tracks and lead-out: ckvd toc against it in ckvd_discs).
        std::ifstream in(fx(base + ".cd-info.txt"));
        int first = 0, last = 0;
        std::smatch m;
        for (std::string l; std::getline(in, l);)
            if (std::regex_search(l, m, std::regex(R"(Track List \((\d+) - (\d+)\))")))
                std::tie(first, last) = std::pair(std::stoi(m[1]), std::stoi(m[2]));
        ASSERT_NE(last, 0) << "cd-info listed no tracks";
        // As the drive answers READ TOC: the formatted TOC's header, A0/A1 PMIN of the full TOC.
        auto toc = [&](uint8_t format) {
            std::vector<uint8_t> buf(4096);
            const uint8_t cdb[10] = {0x43, 0, format, 0, 0, 0, 0, 0x10, 0x00, 0};
            auto res = drive.execute(cdb, drives::Direction::In, buf);
            EXPECT_EQ(res.target_status, drives::kStatusGood);
            buf.resize(std::max<size_t>(res.transferred, 4));
            return buf;
        };
        const auto formatted = toc(0), full = toc(2);
        std::map<int, int> pmin;
        for (size_t i = 4; i + 11 <= full.size(); i += 11)
            pmin[full[i + 3]] = full[i + 8];
        EXPECT_EQ(std::tuple(int(formatted[2]), int(formatted[3]), pmin[0xA0], pmin[0xA1]),
                  std::tuple(first, last, first, last));
    }
    LoadResult audio = load_cue(fx("audio.cue"));
    ASSERT_TRUE(audio);
    for (const auto& t : audio.disc->sessions[0].tracks)
        EXPECT_EQ(std::pair(t.mode, int(t.control)), std::pair(TrackMode::Audio, 0));
    SectorReader reader(*audio.disc);
    EXPECT_EQ(disc_blocks(reader, 0, 1), ""); // audio blocks have no user data
    // CD-Extra: the data track 4 after the audio session's lead-out, lead-in and pregap, a data session in
    // its A0 point.
    LoadResult extra = load_cue(fx("extra.cue"));
    ASSERT_TRUE(extra) << extra.error;
    ASSERT_EQ(extra.disc->sessions.size(), 2u);
    const Track& data = extra.disc->sessions[1].tracks.at(0);
    EXPECT_EQ(std::tuple(int(data.number), data.start),
              std::tuple(4, extra.disc->sessions[0].leadout + 11400));
    for (const auto& e : extra.disc->full_toc)
        EXPECT_TRUE(e.point != 0xA0 || (e.adr_control & 0x04) == (e.session == 2 ? 0x04 : 0))
            << int(e.session);
    // The raw MODE1/2352 sheet gives the user data of genisoimage's blocks.
    LoadResult raw = load_cue(fx("raw.cue"));
    ASSERT_TRUE(raw);
    SectorReader rawReader(*raw.disc);
    EXPECT_EQ(disc_blocks(rawReader, 0, 20), file_blocks("raw-src.iso", 0, 20));
}
// A plain ISO image and raw sectors without a sheet: one closed data session holding the source's blocks.
TEST(ImageReaders, SingleTrackImagesReadTheirSourceBlocks) {
    struct Case {
        const char *raw, *source;
        lba_t start;
        TrackMode mode;
        uint8_t discType;
    };
    for (const Case& c : {Case{"plain.iso", "plain.iso", 0, TrackMode::Mode1, 0x00},
                          Case{"raw-m1.iso", "raw-plain.iso", 0, TrackMode::Mode1, 0x00},
                          Case{"raw-m1.bin", "raw-plain.iso", 0, TrackMode::Mode1, 0x00},
                          Case{"raw-m2.img", "raw-plain.iso", 0, TrackMode::Mode2, 0x20},
                          Case{"raw-late.bin", "raw-late.iso", 11400, TrackMode::Mode1, 0x00}}) {
        SCOPED_TRACE(c.raw);
        LoadResult r = load_image(fx(c.raw));
        ASSERT_TRUE(r) << r.error;
        ASSERT_EQ(r.disc->sessions.size(), 1u);
        const Session& s = r.disc->sessions[0];
        ASSERT_EQ(s.tracks.size(), 1u);
        const Track& t = s.tracks[0];
        const auto blocks = uint32_t(fs::file_size(fx(c.source)) / 2048);
        EXPECT_EQ(std::tuple(t.start, t.length, t.mode, t.control, s.disc_type, s.leadout),
                  std::tuple(c.start, blocks, c.mode, 0x04, c.discType, c.start + lba_t(blocks)));
        EXPECT_TRUE(r.disc->closed);
        EXPECT_EQ(count_points(*r.disc, 1, 0xB0) + count_points(*r.disc, 1, 0xC0), 0);
        SectorReader reader(*r.disc);
        EXPECT_EQ(disc_blocks(reader, c.start, blocks), file_blocks(c.source, 0, blocks));
        EXPECT_EQ(disc_blocks(reader, c.start + lba_t(blocks), 1) + disc_blocks(reader, c.start - 1, 1), "");
    }
    // A dump cut inside its last sector keeps the whole sectors before it.
    TempDir dir;
    fs::copy_file(fx("raw-m1.bin"), dir / "cut.bin");
    fs::resize_file(dir / "cut.bin", fs::file_size(fx("raw-m1.bin")) - 100);
    LoadResult cut = load_image(dir / "cut.bin");
    ASSERT_TRUE(cut) << cut.error;
    EXPECT_EQ(uint64_t(cut.disc->sessions[0].tracks[0].length) * 2048,
              fs::file_size(fx("raw-plain.iso")) - 2048);
}

TEST(ImageReaders, SheetFeaturesSeveralFilesFlagsAndMode2) {
    TempDir dir;
    dir.write("a.bin", std::string(2352 * 100, '\0'));
    dir.write("b.bin", std::string(2352 * 50, '\0'));
    dir.write("m.cue",
              "FILE \"a.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
              "  TRACK 02 AUDIO\n    FLAGS DCP PRE\n    INDEX 00 00:00:40\n"
              "    INDEX 01 00:00:60\nFILE \"b.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 01 00:00:00\n");
    LoadResult r = load_cue(dir / "m.cue");
    ASSERT_TRUE(r) << r.error;
    const auto& t = r.disc->sessions[0].tracks;
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(r.disc->sessions[0].disc_type, 0x20);
    EXPECT_EQ(t[0].user_offset, 24u);
    EXPECT_EQ(t[0].length, 40u); // up to the next track's INDEX 00
    EXPECT_EQ(std::tuple(t[1].start, t[1].control, t[1].length), std::tuple(60, 0x03, 40u));
    EXPECT_EQ(std::tuple(t[2].start, t[2].length), std::tuple(100, 50u)); // the second FILE follows the first
    EXPECT_EQ(r.disc->sessions[0].leadout, 150);
}

// Every refusal names the file (and the line of a sheet): the sheets of tests/data/images/refused beside a
// data file of 10 blocks, CloneCD images whose .img is short or whose track numbers skip, images of no CD
// size, files named in another case, raw track files. The messages are compared whole with
// tests/data/images/refusals.txt (the temporary directory shown as DIR).
TEST(ImageReaders, RefusalsNameTheFileAndLine) {
    TempDir dir;
    const std::string d = dir.path.string();
    dir.write("d.bin", std::string(2048 * 10, '\0'));
    std::string all;
    auto refused = [&](const std::string& name, const LoadResult& r) {
        EXPECT_FALSE(r) << name;
        all += name + ": " + std::regex_replace(r.error, std::regex(d), "DIR") + "\n";
    };
    std::vector<fs::path> sheets;
    for (const auto& e : fs::directory_iterator(std::string(CKVD_TEST_DATA) + "/images/refused"))
        sheets.push_back(e.path());
    std::sort(sheets.begin(), sheets.end());
    for (const fs::path& sheet : sheets) {
        const std::string name = sheet.filename().string();
        fs::copy_file(sheet, dir.path / name);
        if (sheet.extension() == ".ccd")
            dir.write(sheet.stem().string() + ".img", "");
        refused(name, sheet.extension() == ".ccd" ? load_ccd(dir / name) : load_cue(dir / name));
    }
    fs::copy_file(fx("two.ccd"), dir / "short.ccd");
    dir.write("short.img", std::string(2352 * 20, '\0'));
    refused("short.ccd", load_ccd(dir / "short.ccd"));
    std::ifstream two(fx("two.ccd"));
    const std::string ccd((std::istreambuf_iterator<char>(two)), std::istreambuf_iterator<char>());
    const std::string gap = std::regex_replace(ccd, std::regex("Point=0x0?2(\r?\n)"), "Point=0x3$1");
    ASSERT_NE(gap, ccd);
    dir.write("gap.ccd", gap);
    fs::copy_file(fx("two.img"), dir / "gap.img");
    refused("gap.ccd", load_ccd(dir / "gap.ccd"));
    refused("nothing.iso", load_iso(dir / "nothing.iso"));
    // Sparse files: a plain image past what a block address counts (4 TiB); a sheet's DVD-sized track.
    dir.write("huge.iso", "");
    fs::resize_file(dir / "huge.iso", uint64_t(2048) * (uint64_t(1) << 31));
    refused("huge.iso", load_iso(dir / "huge.iso"));
    dir.write("dvd.bin", "");
    fs::resize_file(dir / "dvd.bin", uint64_t(2048) * 2300000);
    dir.write("dvd.cue", "FILE \"dvd.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
    refused("dvd.cue", load_cue(dir / "dvd.cue"));
    dir.write("short.iso", std::string(100, 'x'));
    refused("short.iso", load_iso(dir / "short.iso"));

    // Several files match in some case: the exact one is taken, else none is. A raw track file names the
    // sheet beside it, whatever its case, or asks for one.
    for (const char* name : {"dup.bin", "DUP.BIN", "Two.bin", "TWO.bin", "solo.img"})
        dir.write(name, std::string(2048 * 10, '\0'));
    auto sheet = [&](const std::string& cue, const std::string& file) {
        dir.write(cue, "FILE \"" + file + "\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n");
        return load_image(dir / cue);
    };
    LoadResult exact = sheet("dup.cue", "DUP.BIN");
    ASSERT_TRUE(exact) << exact.error;
    EXPECT_EQ(exact.disc->sessions[0].tracks[0].file, d + "/DUP.BIN");
    refused("amb.cue", sheet("amb.cue", "two.BIN"));
    refused("gone.cue", sheet("gone.cue", "CDDA.BIN"));
    dir.write("TWO.CCD", "");
    // Raw sectors whose sync or mode at block 16 is not a data sector's.
    std::ifstream rawIn(fx("raw-m1.bin"), std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(rawIn)), std::istreambuf_iterator<char>());
    raw[16 * 2352 + 5] = 0;
    dir.write("nosync.bin", raw);
    raw[16 * 2352 + 5] = char(0xFF);
    raw[16 * 2352 + 15] = 0; // a Mode 0 sector
    dir.write("mode0.bin", raw);
    for (const char* raw : {"dup.bin", "Two.bin", "solo.img", "nosync.bin", "mode0.bin", "gone.mdf"})
        refused(raw, load_image(dir / raw));
    ExpectGolden("images/refusals.txt", all);
    // A plain image of a DVD is one data session of all its blocks, without the full TOC of a CD.
    fs::rename(dir / "dvd.bin", dir / "dvd.iso");
    LoadResult dvd = load_image(d + "/dvd.iso");
    ASSERT_TRUE(dvd) << dvd.error;
    ASSERT_EQ(dvd.disc->sessions.size(), 1u);
    EXPECT_EQ(dvd.disc->sessions[0].tracks[0].length, 2300000u);
    EXPECT_EQ(dvd.disc->last_lba(), 2299999);
    EXPECT_TRUE(dvd.disc->full_toc.empty());
    // A plain ISO image named .img, with no sheet beside it, is read as the ISO image it is.
    fs::copy_file(fx("plain.iso"), dir / "dd.img");
    LoadResult dd = load_image(d + "/dd.img");
    EXPECT_TRUE(dd) << dd.error;
}
