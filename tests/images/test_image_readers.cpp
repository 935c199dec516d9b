// Image readers over fixtures made by genisoimage/sox and composed by ckvd-mkdisc, checked against
// libcdio's cd-info, plus malformed sheets that must be refused with the file and line.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/drives/image_drive.h"
#include "platform/images/disc_image.h"

using namespace ckvd;
using namespace ckvd::images;
namespace fs = std::filesystem;

namespace {

std::string fx(const std::string& name) {
    const char* dir = std::getenv("CKVD_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

std::string volume_id_at(SectorReader& reader, lba_t lba) {
    std::array<uint8_t, 2048> b{};
    if (!reader.read_user_data(lba, b) || std::memcmp(b.data() + 1, "CD001", 5) != 0)
        return "";
    std::string id(reinterpret_cast<const char*>(b.data() + 40), 32);
    return id.substr(0, id.find_last_not_of(' ') + 1);
}

int count_points(const DiscImage& d, uint8_t session, uint8_t point) {
    int n = 0;
    for (const auto& e : d.full_toc)
        n += e.session == session && e.point == point;
    return n;
}

struct PeerTrack {
    int number;
    long lsn;
};

struct PeerToc {
    int first = 0, last = 0;       // "CD-ROM Track List (F - L)"
    std::vector<PeerTrack> tracks; // the lead-out is number 170
};

PeerToc cd_info_toc(const std::string& file) {
    std::ifstream in(file);
    PeerToc toc;
    std::regex list(R"(Track List \((\d+) - (\d+)\))");
    std::regex re(R"(^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+)\s)");
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_search(l, m, list)) {
            toc.first = std::stoi(m[1]);
            toc.last = std::stoi(m[2]);
        } else if (std::regex_search(l, m, re)) {
            toc.tracks.push_back({std::stoi(m[1]), std::stol(m[2])});
        }
    }
    return toc;
}

// READ TOC of `format` from an image drive, whole.
std::vector<uint8_t> read_toc(drives::ImageDrive& drive, uint8_t format) {
    std::vector<uint8_t> buf(4096);
    const uint8_t cdb[10] = {0x43, 0, format, 0, 0, 0, 0, 0x10, 0x00, 0};
    auto r = drive.execute(cdb, drives::Direction::In, buf);
    EXPECT_EQ(r.target_status, drives::kStatusGood);
    buf.resize(r.transferred);
    return buf;
}

} // namespace

TEST(ImageReaders, PlainIsoIsOneClosedDataSession) {
    LoadResult r = load_image(fx("plain.iso"));
    ASSERT_TRUE(r) << r.error;
    const DiscImage& d = *r.disc;
    ASSERT_EQ(d.sessions.size(), 1u);
    ASSERT_EQ(d.sessions[0].tracks.size(), 1u);
    const Track& t = d.sessions[0].tracks[0];
    EXPECT_EQ(t.start, 0);
    EXPECT_EQ(t.control, 0x04);
    EXPECT_EQ(static_cast<uint64_t>(t.length) * 2048, fs::file_size(fx("plain.iso")));
    EXPECT_TRUE(d.closed);
    EXPECT_EQ(count_points(d, 1, 0xB0), 0); // a closed disc
    EXPECT_EQ(count_points(d, 1, 0xC0), 0);
    SectorReader reader(d);
    EXPECT_EQ(volume_id_at(reader, 16), "PLAIN");
    std::array<uint8_t, 2048> b{};
    EXPECT_FALSE(reader.read_user_data(static_cast<lba_t>(t.length), b)); // lead-out
    EXPECT_FALSE(reader.read_user_data(-1, b));
}

TEST(ImageReaders, TwoSessionDiscsLandAtRecorderAddresses) {
    for (const char* name : {"two.cue", "two.ccd"}) {
        SCOPED_TRACE(name);
        LoadResult r = load_image(fx(name));
        ASSERT_TRUE(r) << r.error;
        const DiscImage& d = *r.disc;
        ASSERT_EQ(d.sessions.size(), 2u);
        const Session& s1 = d.sessions[0];
        const Session& s2 = d.sessions[1];
        ASSERT_EQ(s1.tracks.size(), 1u);
        ASSERT_EQ(s2.tracks.size(), 1u);
        EXPECT_EQ(s2.tracks[0].number, 2);
        EXPECT_EQ(s1.tracks[0].start, 0);
        EXPECT_EQ(s1.leadout, static_cast<lba_t>(s1.tracks[0].length));
        // 6750 lead-out, 4500 lead-in and 150 pregap sectors between the sessions.
        EXPECT_EQ(s2.tracks[0].start, s1.leadout + 11400);
        EXPECT_EQ(d.last_lba(), s2.leadout - 1);
        EXPECT_FALSE(d.closed);

        SectorReader reader(d);
        EXPECT_EQ(volume_id_at(reader, 16), "S1");
        EXPECT_EQ(volume_id_at(reader, s2.tracks[0].start + 16), "S2");
        std::array<uint8_t, 2048> b{};
        for (lba_t gap : {s1.leadout, s1.leadout + 6750, s2.tracks[0].start - 1, s2.leadout})
            EXPECT_FALSE(reader.read_user_data(gap, b)) << gap;

        // The full TOC as a recorder leaves an appendable disc.
        for (uint8_t s : {1, 2}) {
            EXPECT_EQ(count_points(d, s, 0xA0), 1);
            EXPECT_EQ(count_points(d, s, 0xA1), 1);
            EXPECT_EQ(count_points(d, s, 0xA2), 1);
            EXPECT_EQ(count_points(d, s, 0xB0), 1);
        }
        EXPECT_EQ(count_points(d, 1, 0xC0), 1);
        EXPECT_EQ(count_points(d, 2, 0xC0), 0);
        for (const auto& e : d.full_toc) {
            if (e.point == 0xB0 && e.session == 1) {
                EXPECT_EQ(msf_to_lba(e.min, e.sec, e.frame), s2.tracks[0].start - 150);
            }
            if (e.point == 0xA2 && e.session == 2) {
                EXPECT_EQ(msf_to_lba(e.pmin, e.psec, e.pframe), s2.leadout);
            }
            if (e.point == 2) {
                EXPECT_EQ(msf_to_lba(e.pmin, e.psec, e.pframe), s2.tracks[0].start);
            }
        }
        EXPECT_EQ(next_session_start(d.sessions), s2.leadout + 2250 + 4500 + 150);
    }
}

TEST(ImageReaders, MkdiscMsinfoAndRefusalOfAWrongSession) {
    const std::string mk = std::getenv("CKVD_MKDISC") ? std::getenv("CKVD_MKDISC") : "ckvd-mkdisc";
    fs::path dir = fs::temp_directory_path() / ("ckvd-img-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(fx("s1-cue.iso"), dir / "s1.iso");
    std::string disc = (dir / "d.cue").string();
    ASSERT_EQ(std::system((mk + " create " + disc + " " + (dir / "s1.iso").string()).c_str()), 0);
    std::string out = (dir / "msinfo.txt").string();
    ASSERT_EQ(std::system((mk + " msinfo " + disc + " > " + out).c_str()), 0);
    std::ifstream in(out);
    std::string line;
    std::getline(in, line);
    LoadResult r = load_cue(disc);
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(line, "0," + std::to_string(r.disc->sessions[0].leadout + 11400));
    // A session made for another address is refused and the disc is left as it was.
    EXPECT_NE(std::system((mk + " append " + disc + " " + fx("wrong.iso") + " 2>/dev/null").c_str()), 0);
    LoadResult again = load_cue(disc);
    ASSERT_TRUE(again) << again.error;
    EXPECT_EQ(again.disc->sessions.size(), 1u);
    EXPECT_NE(
        std::system(
            (mk + " audio " + (dir / "a.cue").string() + " " + fx("mono.wav") + " 2>/dev/null").c_str()),
        0);
    EXPECT_NE(std::system((mk + " frob 2>/dev/null").c_str()), 0);
    fs::remove_all(dir);
}

TEST(ImageReaders, RawSheetsAgreeWithCdInfo) {
    // cdda.cue names "CDDA.BIN" for cdda.bin; late.cue holds tracks 04-05.
    for (const char* base : {"audio", "raw", "cdda", "late"}) {
        SCOPED_TRACE(base);
        LoadResult r = load_image(fx(std::string(base) + ".cue"));
        ASSERT_TRUE(r) << r.error;
        drives::ImageDrive drive(base, std::move(r.disc));
        const DiscImage& d = *drive.disc();
        auto peer = cd_info_toc(fx(std::string(base) + ".cd-info.txt"));
        std::vector<const Track*> ours;
        for (const auto& s : d.sessions)
            for (const auto& t : s.tracks)
                ours.push_back(&t);
        ASSERT_EQ(peer.tracks.size(), ours.size() + 1) << "cd-info lists the tracks and the lead-out";
        for (size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(peer.tracks[i].number, ours[i]->number);
            EXPECT_EQ(peer.tracks[i].lsn, ours[i]->start);
            EXPECT_EQ(peer.tracks[i + 1].lsn - peer.tracks[i].lsn, static_cast<long>(ours[i]->length));
        }
        EXPECT_EQ(peer.tracks.back().number, 170);
        EXPECT_EQ(peer.tracks.back().lsn, d.sessions.back().leadout);

        // First and last track as the drive answers READ TOC: the formatted TOC's header, A0/A1 PMIN.
        auto formatted = read_toc(drive, 0);
        ASSERT_GE(formatted.size(), 4u);
        EXPECT_EQ(formatted[2], peer.first);
        EXPECT_EQ(formatted[3], peer.last);
        auto full = read_toc(drive, 2);
        int a0 = 0, a1 = 0;
        for (size_t i = 4; i + 11 <= full.size(); i += 11) {
            if (full[i + 3] == 0xA0)
                a0 = full[i + 8];
            if (full[i + 3] == 0xA1)
                a1 = full[i + 8];
        }
        EXPECT_EQ(a0, peer.first);
        EXPECT_EQ(a1, peer.last);
    }
    LoadResult audio = load_cue(fx("audio.cue"));
    ASSERT_TRUE(audio);
    for (const auto& t : audio.disc->sessions[0].tracks) {
        EXPECT_EQ(t.mode, TrackMode::Audio);
        EXPECT_EQ(t.control, 0);
    }
    SectorReader reader(*audio.disc);
    std::array<uint8_t, 2048> b{};
    EXPECT_FALSE(reader.read_user_data(0, b)); // audio blocks have no user data
    LoadResult raw = load_cue(fx("raw.cue"));
    ASSERT_TRUE(raw);
    SectorReader rawReader(*raw.disc);
    EXPECT_EQ(volume_id_at(rawReader, 16), "RAW");
}

TEST(ImageReaders, SheetFeaturesSeveralFilesFlagsAndMode2) {
    fs::path dir = fs::temp_directory_path() / ("ckvd-sheet-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a.bin", std::ios::binary) << std::string(2352 * 100, '\0');
    std::ofstream(dir / "b.bin", std::ios::binary) << std::string(2352 * 50, '\0');
    std::ofstream(dir / "m.cue") << "FILE \"a.bin\" BINARY\n  TRACK 01 MODE2/2352\n    INDEX 01 00:00:00\n"
                                    "  TRACK 02 AUDIO\n    FLAGS DCP PRE\n    INDEX 00 00:00:40\n"
                                    "    INDEX 01 00:00:60\nFILE \"b.bin\" BINARY\n  TRACK 03 AUDIO\n"
                                    "    INDEX 01 00:00:00\n";
    LoadResult r = load_cue((dir / "m.cue").string());
    ASSERT_TRUE(r) << r.error;
    const auto& t = r.disc->sessions[0].tracks;
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(r.disc->sessions[0].disc_type, 0x20);
    EXPECT_EQ(t[0].user_offset, 24u);
    EXPECT_EQ(t[0].length, 40u); // up to the next track's INDEX 00
    EXPECT_EQ(t[1].start, 60);
    EXPECT_EQ(t[1].control, 0x03);
    EXPECT_EQ(t[1].length, 40u);
    EXPECT_EQ(t[2].start, 100); // the second FILE follows the first
    EXPECT_EQ(t[2].length, 50u);
    EXPECT_EQ(r.disc->sessions[0].leadout, 150);
    fs::remove_all(dir);
}

TEST(ImageReaders, MalformedImagesAreRefusedWithFileAndLine) {
    fs::path dir = fs::temp_directory_path() / ("ckvd-bad-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "d.bin", std::ios::binary) << std::string(2048 * 10, '\0');
    struct Case {
        const char* sheet;
        const char* line;
    };
    const Case cases[] = {
        {"FILE \"missing.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n", ":1:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 01 MODE9/2048\n    INDEX 01 00:00:00\n", ":2:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:20\n", ":2:"}, // past the file
        {"FILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:99:00\n", ":3:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 00 MODE1/2048\n    INDEX 01 00:00:00\n", ":2:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 04 MODE1/2048\n    INDEX 01 00:00:00\n  TRACK 06 MODE1/2048\n",
         ":4:"}, // a gap
        {"FILE \"d.bin\" BINARY\n  TRACK 05 MODE1/2048\n    INDEX 01 00:00:00\n  TRACK 04 MODE1/2048\n",
         ":4:"}, // a decrease
        {"  TRACK 01 MODE1/2048\n", ":1:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2048\n", ":2:"},
        {"REM SESSION 03\nFILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n", ":1:"},
        {"FILE \"d.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\nGARBAGE here\n", ":4:"},
        {"", ":0:"},
    };
    int i = 0;
    for (const auto& c : cases) {
        fs::path cue = dir / ("bad" + std::to_string(i++) + ".cue");
        std::ofstream(cue) << c.sheet;
        LoadResult r = load_cue(cue.string());
        EXPECT_FALSE(r) << c.sheet;
        EXPECT_NE(r.error.find(cue.string() + c.line), std::string::npos) << r.error;
    }
    // CloneCD: a bad entry and a track that runs past the .img.
    std::ofstream(dir / "c.ccd") << "[CloneCD]\nVersion=3\n[Entry 0]\nSession=1\nPoint=0xa0\n";
    std::ofstream(dir / "c.img") << "";
    LoadResult c = load_ccd((dir / "c.ccd").string());
    EXPECT_FALSE(c);
    EXPECT_NE(c.error.find("c.ccd:3:"), std::string::npos) << c.error;
    fs::copy_file(fx("two.ccd"), dir / "short.ccd");
    std::ofstream(dir / "short.img", std::ios::binary) << std::string(2352 * 20, '\0');
    LoadResult s = load_ccd((dir / "short.ccd").string());
    EXPECT_FALSE(s);
    EXPECT_NE(s.error.find("runs past the end"), std::string::npos) << s.error;
    // Track numbers from the full TOC must follow one by one too.
    std::ifstream two(fx("two.ccd"));
    std::string ccd((std::istreambuf_iterator<char>(two)), std::istreambuf_iterator<char>());
    const std::string gap = std::regex_replace(ccd, std::regex("Point=0x0?2(\r?\n)"), "Point=0x3$1");
    ASSERT_NE(gap, ccd);
    std::ofstream(dir / "gap.ccd") << gap;
    fs::copy_file(fx("two.img"), dir / "gap.img");
    LoadResult g = load_ccd((dir / "gap.ccd").string());
    EXPECT_FALSE(g);
    EXPECT_NE(g.error.find("track 3 does not follow track 1"), std::string::npos) << g.error;
    EXPECT_FALSE(load_iso((dir / "nothing.iso").string()));
    // A DVD-sized image (sparse, nothing written) says what it is rather than "not a CD image size".
    std::ofstream(dir / "dvd.iso").close();
    fs::resize_file(dir / "dvd.iso", uint64_t(2048) * 2300000);
    EXPECT_EQ(load_iso((dir / "dvd.iso").string()).error,
              (dir / "dvd.iso").string() +
                  ":0: larger than a CD: 2,300,000 blocks of 2,048 bytes; a CD holds at most 449,850");
    std::ofstream(dir / "short.iso", std::ios::binary) << std::string(100, 'x');
    EXPECT_NE(load_iso((dir / "short.iso").string()).error.find("not a CD image size (100 bytes)"),
              std::string::npos);
    fs::remove_all(dir);
}

TEST(ImageReaders, FileNamesInAnyCaseAndRawTrackFilesRefused) {
    const fs::path dir = fs::temp_directory_path() / ("ckvd-case-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string d = dir.string();
    for (const char* name : {"dup.bin", "DUP.BIN", "Two.bin", "TWO.bin", "solo.img"})
        std::ofstream(dir / name, std::ios::binary) << std::string(2048 * 10, '\0');
    auto sheet = [&](const std::string& cue, const std::string& file) {
        std::ofstream(dir / cue) << "FILE \"" << file
                                 << "\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
        return load_image(d + "/" + cue);
    };
    // Several files match in some case: the exact one is taken, else none is.
    LoadResult exact = sheet("dup.cue", "DUP.BIN");
    ASSERT_TRUE(exact) << exact.error;
    EXPECT_EQ(exact.disc->sessions[0].tracks[0].file, d + "/DUP.BIN");
    EXPECT_EQ(sheet("amb.cue", "two.BIN").error, d + "/amb.cue:1: ambiguous file '" + d +
                                                     "/two.BIN': TWO.bin, Two.bin in " + d +
                                                     " differ only in case");
    EXPECT_EQ(sheet("gone.cue", "CDDA.BIN").error, d + "/gone.cue:1: missing file '" + d +
                                                       "/CDDA.BIN' (no file of that name, in any case, in " +
                                                       d + ")");

    // A raw track file names the sheet beside it, whatever its case, or asks for one.
    std::ofstream(dir / "TWO.CCD") << "";
    EXPECT_EQ(load_image(d + "/dup.bin").error,
              d + "/dup.bin:0: a raw track file; open the sheet " + d + "/dup.cue instead");
    EXPECT_EQ(load_image(d + "/Two.bin").error,
              d + "/Two.bin:0: a raw track file; open the sheet " + d + "/TWO.CCD instead");
    EXPECT_EQ(load_image(d + "/solo.img").error,
              d + "/solo.img:0: a raw track file; open its .cue or .ccd sheet instead");
    // A plain ISO image named .img, with no sheet beside it, is read as the ISO image it is.
    fs::copy_file(fx("plain.iso"), dir / "dd.img");
    LoadResult dd = load_image(d + "/dd.img");
    EXPECT_TRUE(dd) << dd.error;
    fs::remove_all(dir);
}
