// cdrdao .toc sheets over genisoimage ISOs and sox audio: the TOC as `cdrdao show-toc` prints it, sectors as
// the ISO and the little-endian PCM hold them, malformed sheets refused with file and line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "golden.h"
#include "image_fixtures.h"
#include "images/disc_image.h"

using namespace ckvd::images;
using namespace image_tests;
namespace fs = std::filesystem;

namespace {} // namespace

TEST(TocReader, TocEqualsCdrdaoShowToc) {
    for (const std::string base : {"toc-mixed", "toc-xa", "toc-one", "toc-join"}) {
        SCOPED_TRACE(base);
        LoadResult r = load_image(fx(base + ".toc"));
        ASSERT_TRUE(r) << r.error;
        ASSERT_EQ(r.disc->sessions.size(), 1u);
        const Session& s = r.disc->sessions[0];
        // cdrdao's lines: "TOC TYPE: T", "TRACK  n  Mode M:", "COPY PERMITTED", "PRE-EMPHASIS",
        // "START  mm:ss:ff(  lba)" and "END[*] ...(  lba)".
        std::ifstream in(fx(base + ".cdrdao.txt"));
        std::string type, got, want;
        lba_t end = -1;
        std::smatch m;
        for (std::string l; std::getline(in, l);) {
            if (std::regex_search(l, m, std::regex(R"(TOC TYPE: (\w+))")))
                type = m[1];
            else if (std::regex_search(l, m, std::regex(R"(TRACK +(\d+) +Mode (AUDIO|MODE1|MODE2))")))
                want += "\n" + std::string(m[1]) + " " + std::string(m[2]) + " ";
            else if (std::regex_search(l, m, std::regex(R"(^ *(COPY PERMITTED|PRE-EMPHASIS|FOUR CHANNEL))")))
                want += m[1] == "PRE-EMPHASIS" ? "pre " : m[1] == "FOUR CHANNEL" ? "four " : "copy ";
            else if (std::regex_search(l, m, std::regex(R"(START .*\( *(\d+)\))")))
                want += m[1];
            else if (std::regex_search(l, m, std::regex(R"(END\*? .*\( *(\d+)\))")))
                end = std::stoi(m[1]);
        }
        for (const Track& t : s.tracks)
            got += "\n" + std::to_string(t.number) + " " +
                   (t.mode == TrackMode::Audio   ? "AUDIO"
                    : t.mode == TrackMode::Mode1 ? "MODE1"
                                                 : "MODE2") +
                   " " + (t.control & 2 ? "copy " : "") + (t.control & 1 ? "pre " : "") +
                   (t.control & 8 ? "four " : "") + std::to_string(t.start);
        ASSERT_FALSE(want.empty()) << "cdrdao listed no tracks";
        EXPECT_EQ(got, want);
        EXPECT_EQ(s.leadout, end);
        EXPECT_EQ(s.disc_type, type == "CD_ROM_XA" ? 0x20 : 0x00);
        for (const Track& t : s.tracks)
            EXPECT_EQ(t.control & 0x04, t.mode == TrackMode::Audio ? 0 : 0x04);
    }
}

// Sectors read through the image equal the bytes of the ISO or of sox's little-endian PCM (then zeros to the
// end of the last sector), whichever byte order and container the sheet names; ZERO reads as zeros, a
// pregap is no track's.
TEST(TocReader, SectorsEqualTheirSources) {
    struct Case {
        const char* toc;
        lba_t lba;
        uint32_t count;
        bool audio;
        const char* source;
        uint64_t offset, bytes;
    };
    const uint64_t iso = fs::file_size(fx("toc-data.iso")), tone = fs::file_size(fx("toc-tone.raw"));
    const Case cases[] = {
        {"toc-mixed", 0, 325, false, "toc-data.iso", 0, iso},           // then ZERO 00:02:00
        {"toc-mixed", 475, 300, true, "toc-le.raw", 88200, 300 * 2352}, // big-endian FILE from sample 22050
        {"toc-mixed", 805, 293, true, "toc-tone.raw", 105 * 2352, tone - 105 * 2352}, // WAVE from 0:1:0+30
        {"toc-mixed", 1098, 94, true, "toc-le.raw", 352800, 75 * 2352}, // DATAFILE #352800, then ZERO
        {"toc-xa", 0, 175, false, "toc-data.iso", 0, iso},
        {"toc-xa", 175, 175, false, "toc-data.iso", 0, iso},       // MODE2_FORM_MIX
        {"toc-xa", 350, 175, false, "raw-src.iso", 0, 175 * 2048}, // MODE1_RAW
        {"toc-one", 0, 175, false, "toc-data.iso", 0, iso},
        {"toc-one", 175, 450, true, "toc-le.raw", 0, 450 * 2352},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.toc) + " " + std::to_string(c.lba));
        LoadResult r = load_toc(fx(std::string(c.toc) + ".toc"));
        ASSERT_TRUE(r) << r.error;
        SectorReader reader(*r.disc);
        const uint32_t size = c.audio ? 2352 : 2048;
        std::string want(size_t{c.count} * size, '\0');
        want.replace(0, c.bytes, slurp(fx(c.source)).substr(c.offset, c.bytes));
        EXPECT_TRUE(disc_blocks(reader, c.lba, c.count, c.audio) == want);
    }
    // Pregaps (PREGAP, START) and the lead-out are in no track.
    LoadResult mixed = load_toc(fx("toc-mixed.toc"));
    ASSERT_TRUE(mixed);
    for (lba_t gap : {325, 474, 775, 804, 1192})
        EXPECT_EQ(mixed.disc->track_at(gap), nullptr) << gap;
}

// Tracks joined from pieces of files and zeros after INDEX 01 read as the pieces one after another (the
// big-endian FILE swapped, the WAVE file's data, a START inside the first piece); a Mode 2 Form 2 track gives
// its 2,324 bytes a sector, and no 2048.
TEST(TocReader, JoinedTracksAndForm2Sectors) {
    LoadResult r = load_toc(fx("toc-join.toc"));
    ASSERT_TRUE(r) << r.error;
    SectorReader reader(*r.disc);
    const std::string iso = slurp(fx("toc-data.iso")), le = slurp(fx("toc-le.raw")),
                      tone = slurp(fx("toc-tone.raw")), form2 = slurp(fx("toc-form2.bin"));
    const std::string data = iso.substr(0, 20480) + std::string(4096, '\0') + iso.substr(20480);
    EXPECT_TRUE(disc_blocks(reader, 0, uint32_t(data.size() / 2048)) == data);
    const std::vector<Track>& t = r.disc->sessions[0].tracks;
    ASSERT_EQ(t.size(), 3u);
    std::string f2(form2.size(), '\0');
    EXPECT_EQ(reader.read_form2(t[1].start, 30, std::span(reinterpret_cast<uint8_t*>(f2.data()), f2.size())),
              30u);
    EXPECT_TRUE(f2 == form2);
    EXPECT_EQ(disc_blocks(reader, t[1].start, 1), "");
    EXPECT_TRUE(reader.is_form2(t[1].start) && !reader.is_form2(0));
    std::string audio =
        (le.substr(0, 20000) + std::string(3108, '\0') + tone.substr(176400, 352800) + le.substr(1000, 4004))
            .substr(5 * 2352);
    audio.resize((audio.size() + 2351) / 2352 * 2352, '\0');
    ASSERT_EQ(t[2].length, audio.size() / 2352);
    EXPECT_TRUE(disc_blocks(reader, t[2].start, t[2].length, true) == audio);
}

// Every refusal names the sheet and line; the messages are compared whole with
// tests/data/images/toc-refusals.txt (the temporary directory shown as DIR). d.bin holds 10 blocks.
TEST(TocReader, RefusalsNameTheSheetAndLine) {
    const TempDir tmp;
    const fs::path& dir = tmp.path;
    std::string blocks;
    for (int i = 0; i < 10 * 2048; ++i)
        blocks += char(i * 7 / 2048);
    std::ofstream(dir / "d.bin", std::ios::binary) << blocks;
    std::ofstream(dir / "x.wav", std::ios::binary) << std::string("RIFF\x04\0\0\0WAVEdata\xff\0\0\0", 20);
    auto load = [&](const std::string& name, const std::string& sheet) {
        std::ofstream(dir / name, std::ios::binary) << sheet;
        return load_toc((dir / name).string());
    };
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += "TRACK MODE1\nDATAFILE \"d.bin\" 2048\n";
    const std::pair<const char*, std::string> cases[] = {
        {"mode", "CD_ROM\nTRACK MODE3\nDATAFILE \"d.bin\"\n"},
        {"nomode", "CD_ROM\nTRACK MODE1\nDATAFILE \"d.bin\"\nTRACK"},
        {"nodata", "TRACK MODE1\nDATAFILE \"d.bin\"\nTRACK AUDIO\nCOPY\n"},
        {"missing", "TRACK MODE1\nDATAFILE \"e.bin\"\n"},
        {"long", "TRACK MODE1\n// eleven blocks\nDATAFILE \"d.bin\" 00:00:11\n"},
        {"offset", "TRACK MODE1\nDATAFILE \"d.bin\" #20481\n"},
        {"string", "CD_ROM\nTRACK MODE1\nDATAFILE \"d.bin\nSTART\n"},
        {"brace", "CD_TEXT {\n LANGUAGE 0 { TITLE \"}\" }\nTRACK MODE1\nDATAFILE \"d.bin\"\n"},
        {"hundred", hundred},
        {"start", "TRACK AUDIO\nSILENCE 00:00:10\nSTART 00:00:10\n"},
        {"unknown", "TRACK MODE1\nDATAFILE \"d.bin\"\nPOSTGAP 00:02:00\n"},
        {"empty", "CD_DA // nothing else\n"},
        {"wave", "TRACK AUDIO\nFILE \"x.wav\" 0\n"},
        {"index", "TRACK MODE1\nDATAFILE \"d.bin\"\nINDEX 00:00:10\n"},
        {"fifo", "TRACK AUDIO\nFIFO \"/tmp/f\" 2352\n"},
        {"nofile", "TRACK AUDIO\nFILE \"d.bin\"\n"},
        {"huge", "TRACK MODE1\nZERO 999999999999999\n"},
    };
    std::string all;
    for (const auto& [name, sheet] : cases) {
        LoadResult r = load(std::string(name) + ".toc", sheet);
        EXPECT_FALSE(r) << name;
        all += std::regex_replace(r.error, std::regex(dir.string()), "DIR") + "\n";
    }
    ExpectGolden("images/toc-refusals.txt", all);
    // Pieces of one file that follow on are one run of sectors, the name matched in any case; a sub-channel
    // mode widens the stored sector.
    LoadResult one = load("one.toc", "TRACK MODE1\nDATAFILE \"D.BIN\" 4096\nDATAFILE \"d.bin\" #4096\n");
    ASSERT_TRUE(one) << one.error;
    const Track& t = one.disc->sessions[0].tracks[0];
    EXPECT_EQ(std::tuple(t.length, t.file_bytes, one.disc->sessions[0].leadout), std::tuple(10u, 20480u, 10));
    std::string got(20480, '\0');
    SectorReader reader(*one.disc);
    EXPECT_EQ(reader.read_user_data(0, 10, std::span(reinterpret_cast<uint8_t*>(got.data()), got.size())),
              10u);
    EXPECT_TRUE(got == blocks);
    LoadResult sub = load("sub.toc", "TRACK MODE1_RAW RW_RAW\nDATAFILE \"d.bin\"\n");
    ASSERT_TRUE(sub) << sub.error;
    EXPECT_EQ(std::tuple(sub.disc->sessions[0].tracks[0].sector_size, sub.disc->sessions[0].leadout),
              std::tuple(2448u, 9)); // 20480 bytes: 8 blocks and part of a ninth
}
