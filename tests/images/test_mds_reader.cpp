// Alcohol descriptors written by make_mds.py (tests/images) from genisoimage images and sox PCM: the TOC
// the writer was given, data tracks byte-equal to the ISO images (listed as isoinfo lists them), audio
// sectors equal to the PCM; malformed descriptors refused naming the byte at fault.
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

namespace {

struct Want {
    uint8_t session, number;
    TrackMode mode;
    uint8_t control;
    lba_t start;
    uint32_t length, sector_size, user_offset;
    std::string source; // the ISO image or PCM the track was written from
};

} // namespace

TEST(MdsReader, TocAndSectorsAsWritten) {
    // Sizes of the sources in sectors; the layout is make_mds.py's: the first track at 0, a 150-sector
    // pregap before audio after data and before a later session's first track, which follows the first
    // session's lead-out by 6750 + 4500 + 150 sectors.
    const lba_t n = lba_t(fs::file_size(fx("mds-1.iso")) / 2048),
                a = lba_t(fs::file_size(fx("mds-tone.raw")) / 2352),
                n2 = lba_t(fs::file_size(fx("mds-2.iso")) / 2048), end1 = n + 150 + a;
    const uint32_t un = uint32_t(n), ua = uint32_t(a), un2 = uint32_t(n2);
    const std::vector<Want> one = {{1, 1, TrackMode::Mode1, 4, 0, un, 2048, 0, "mds-1.iso"}};
    const std::vector<Want> mixed = {{1, 1, TrackMode::Mode1, 4, 0, un, 2352, 16, "mds-1.iso"},
                                     {1, 2, TrackMode::Audio, 0, n + 150, ua, 2352, 0, "mds-tone.raw"},
                                     {2, 3, TrackMode::Mode1, 4, end1 + 11400, un2, 2352, 16, "mds-2.iso"}};
    const std::vector<Want> sub = {{1, 1, TrackMode::Mode2, 4, 0, un, 2448, 24, "mds-1.iso"},
                                   {1, 2, TrackMode::Audio, 0, n + 150, ua, 2448, 0, "mds-tone.raw"}};
    const struct {
        std::string file;
        std::vector<Want> tracks;
        std::vector<lba_t> leadouts;
        uint8_t disc_type;
        std::vector<lba_t> gaps; // blocks in no track: nothing is read there
    } cases[] = {
        {"one.mds", one, {n}, 0x00, {-1, n}},
        {"mixed.mds",
         mixed,
         {end1, end1 + 11400 + n2},
         0x00,
         {n, n + 149, end1, end1 + 11399, end1 + 11400 + n2}},
        {"MIXED.mdf", mixed, {end1, end1 + 11400 + n2}, 0x00, {-1}}, // its descriptor beside it, any case
        {"sub.mds", sub, {end1}, 0x20, {n, n + 149, end1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        LoadResult r = load_image(fx(c.file));
        ASSERT_TRUE(r) << r.error;
        const DiscImage& d = *r.disc;
        ASSERT_EQ(d.sessions.size(), c.leadouts.size());
        for (size_t i = 0; i < d.sessions.size(); ++i) {
            EXPECT_EQ(d.sessions[i].leadout, c.leadouts[i]);
            EXPECT_EQ(d.sessions[i].disc_type, c.disc_type);
        }
        SectorReader reader(d);
        size_t k = 0;
        for (const auto& s : d.sessions)
            for (const Track& t : s.tracks) {
                ASSERT_LT(k, c.tracks.size());
                const Want& w = c.tracks[k++];
                EXPECT_EQ(std::tuple(s.number, t.number, t.mode, t.control, t.start, t.length, t.sector_size,
                                     t.user_offset),
                          std::tuple(w.session, w.number, w.mode, w.control, w.start, w.length, w.sector_size,
                                     w.user_offset));
                const bool audio = w.mode == TrackMode::Audio;
                const std::string got = disc_blocks(reader, t.start, t.length, audio);
                EXPECT_TRUE(got == slurp(fx(w.source)))
                    << "track " << int(t.number) << " differs from " << w.source;
                if (c.file == "sub.mds" && !audio) { // isoinfo lists the track as it lists the image
                    const std::string track = fx("sub-track1.iso"), listing = fx("sub-track1.isoinfo.txt");
                    std::ofstream(track, std::ios::binary) << got;
                    ASSERT_EQ(std::system(("isoinfo -l -i " + track + " > " + listing).c_str()), 0);
                    EXPECT_EQ(slurp(listing), slurp(fx("mds-1.isoinfo.txt")));
                }
            }
        EXPECT_EQ(k, c.tracks.size());
        std::array<uint8_t, 2048> block{};
        for (lba_t gap : c.gaps)
            EXPECT_FALSE(reader.read_user_data(gap, block)) << gap;
    }
}

// One descriptor changed a field at a time (offsets of make_mds.py's layout of one track: header 0-87,
// session block 88, track blocks A0 112, A1 192, A2 272, track 1 352, extra block 432, file block 440,
// name 456-461) or cut short; the messages are compared whole with tests/data/images/mds-refusals.txt.
TEST(MdsReader, RefusalsNameTheByte) {
    const TempDir tmp;
    const fs::path& dir = tmp.path;
    fs::copy_file(fx("one.mdf"), dir / "one.mdf");
    const std::string good = slurp(fx("one.mds"));
    ASSERT_EQ(good.size(), 462u);
    const struct {
        const char* name;
        size_t at;
        std::string bytes;
        size_t cut = 0; // the descriptor's length when not 0
    } cases[] = {
        {"bad-signature", 0, "X"},
        {"version-2", 16, "\x02"},
        {"dvd", 18, "\x10"},
        {"no-session", 20, std::string(1, '\0')},
        {"100-sessions", 20, "\x64"},
        {"sessions-past-the-end", 80, "\xF0\x01"},
        {"short-header", 0, "", 60},
        {"short-track-blocks", 0, "", 400},
        {"255-track-blocks", 98, "\xFF"},
        {"session-numbered-2", 96, "\x02"},
        {"session-end-after-its-track", 92, "\xB0"},
        {"a2-elsewhere", 282, "\x05"},
        {"track-100", 356, "\x64"},
        {"track-2-first", 356, "\x02"},
        {"unknown-mode", 352, "\xAE"},
        {"2000-byte-sectors", 368, std::string("\xD0\x07", 2)},
        {"audio-control", 354, "\x10"},
        {"start-not-its-address", 388, "\x05"},
        {"extra-past-the-end", 364, "\xFF\x01"},
        {"two-files", 400, "\x02"},
        {"file-block-past-the-end", 404, "\xFF\x01"},
        {"name-without-end", 0, "", 461},
        {"missing-data-file", 456, "*.xyz"},
        {"track-past-the-data-file", 436, "\xB0"},
    };
    std::string all;
    for (const auto& c : cases) {
        std::string mds = good;
        mds.replace(c.at, c.bytes.size(), c.bytes);
        if (c.cut)
            mds.resize(c.cut);
        const fs::path p = dir / "one.mds";
        std::ofstream(p, std::ios::binary | std::ios::trunc) << mds;
        LoadResult r = load_mds(p.string());
        EXPECT_FALSE(r) << c.name;
        all +=
            std::string(c.name) + ": " + std::regex_replace(r.error, std::regex(dir.string()), "DIR") + "\n";
    }
    ExpectGolden("images/mds-refusals.txt", all);
}
