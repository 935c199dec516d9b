// Nero images composed by make_nrg.py from genisoimage's images and sox's samples: the TOC as cd-info
// (libcdio) lists it where cd-info reads the variant, every track's sectors equal to the file it was made
// from, and damaged images refused with the byte they are refused at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "golden.h"
#include "image_fixtures.h"
#include "images/disc_image.h"

using namespace ckvd::images;
using namespace image_tests;
namespace fs = std::filesystem;

namespace {

// cd-info's "CD-ROM Track List": number, LSN and "audio" or not of each track, the lead-out as track 170.
struct Listed {
    int number;
    lba_t lsn;
    bool audio;
    bool operator==(const Listed&) const = default;
};
std::vector<Listed> cd_info_tracks(const std::string& text) {
    std::vector<Listed> out;
    std::smatch m;
    const std::regex line(R"(^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+) (\S+))");
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (std::regex_search(l, m, line))
            out.push_back({std::stoi(m[1]), std::stoi(m[2]), m[3] == "audio"});
    return out;
}

} // namespace

// Each image's tracks come from these files, in order ("|" starts a session): ISO images are data
// tracks, .pcm files audio tracks. cd-info's listing is compared where it reads the variant: it aborts
// on a second session and takes CUES addresses for something else; it gives every track of a
// disc-at-once image the type of the first and does not know raw Mode 1 (mode code 5), so the types of
// those two come from the files they were made from.
TEST(NrgImages, TracksAgreeWithCdInfoAndTheirSourceFiles) {
    struct Case {
        const char* image;
        std::vector<std::string> sources;
        bool cdInfoStarts, cdInfoTypes;
    };
    const Case cases[] = {
        {"nrg-mixed", {"nrg-a.iso", "nrg-2s.pcm", "nrg-3s.pcm"}, true, false},
        {"nrg-raw", {"nrg-a.iso", "nrg-b.iso"}, true, false},
        {"nrg-old", {"nrg-a.iso", "nrg-2s.pcm"}, false, false},
        {"nrg-sub", {"nrg-3s.pcm", "nrg-2s.pcm"}, true, true},
        {"nrg-tao-old", {"nrg-a.iso", "nrg-b.iso"}, true, true},
        {"nrg-tao-audio", {"nrg-2s.pcm", "nrg-3s.pcm"}, true, true},
        {"nrg-tao-m2f1", {"nrg-a.iso"}, true, true},
        {"nrg-tao-two", {"nrg-s1.iso", "|", "nrg-s2.iso"}, false, false},
        {"nrg-dao-two", {"nrg-s1.iso", "|", "nrg-s2.iso"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        LoadResult r = load_image(fx(std::string(c.image) + ".nrg"));
        ASSERT_TRUE(r) << r.error;
        const DiscImage& d = *r.disc;
        std::vector<Listed> mine;
        std::vector<const Track*> tracks;
        for (const Session& s : d.sessions)
            for (const Track& t : s.tracks) {
                mine.push_back({t.number, t.start, t.mode == TrackMode::Audio});
                tracks.push_back(&t);
            }
        mine.push_back({170, d.sessions.back().leadout, false});
        auto listed = cd_info_tracks(slurp(fx(std::string(c.image) + ".cd-info.txt")));
        if (c.cdInfoStarts) {
            ASSERT_EQ(listed.size(), mine.size());
            for (size_t i = 0; i < listed.size(); ++i) {
                if (!c.cdInfoTypes || listed[i].number == 170)
                    listed[i].audio = mine[i].audio;
                EXPECT_EQ(listed[i], mine[i]) << "track " << listed[i].number;
            }
        }

        // Sessions as the sources give them; a later session where genisoimage -C was told it starts.
        size_t sessions = 1, ti = 0;
        SectorReader reader(d);
        for (const std::string& src : c.sources) {
            if (src == "|") {
                ++sessions;
                continue;
            }
            ASSERT_LT(ti, tracks.size());
            const Track& t = *tracks[ti++];
            const bool audio = src.ends_with(".pcm");
            EXPECT_EQ(std::pair(t.mode == TrackMode::Audio, t.control & 0x04),
                      std::pair(audio, audio ? 0 : 4));
            EXPECT_TRUE(disc_blocks(reader, t.start, t.length, audio) == slurp(fx(src)))
                << src << " differs from track " << int(t.number);
        }
        EXPECT_EQ(ti, tracks.size());
        ASSERT_EQ(d.sessions.size(), sessions);
        if (sessions == 2) {
            EXPECT_EQ(d.sessions[1].tracks.front().start, d.sessions[0].leadout + 11400);
        }
    }
}

// Damaged images: a byte pattern put at an offset from a chunk id (or the file's end) of a good image. The
// messages are compared whole with tests/data/images/nrg-refusals.txt (the fixture directory shown as DIR).
TEST(NrgImages, DamagedImagesAreRefusedAtTheirByte) {
    struct Damage {
        const char* name;
        const char* image;
        const char* chunk; // "" for the file's end
        long at;           // from the chunk's id, or from the end
        std::string bytes;
    };
    using namespace std::string_literals;
    const Damage damages[] = {
        {"no footer", "nrg-raw", "", -12, "NERX"},
        {"footer past the end", "nrg-raw", "", -8, "\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF"},
        {"old footer past the end", "nrg-tao-old", "", -4, "\xFF\xFF\xFF\xF0"},
        {"chunk past the footer", "nrg-raw", "CUEX", 4, "\xFF\xFF\xFF\xF0"},
        {"no END!", "nrg-raw", "END!", 0, "CDTX"},
        {"unknown chunk", "nrg-raw", "MTYP", 0,
         "AB\x01"
         "D"},
        {"bad BCD track", "nrg-raw", "CUEX", 8 + 2 * 8 + 1, "\x1A"},
        {"cue points going back", "nrg-raw", "CUEX", 8 + 4 * 8 + 4, "\0\0\0\x10"s},
        {"data track with an audio cue point", "nrg-raw", "CUEX", 8 + 2 * 8, "\x01"},
        {"unknown mode code", "nrg-raw", "DAOX", 8 + 22 + 14, "\x09"},
        {"sector size of another mode", "nrg-raw", "DAOX", 8 + 22 + 12, "\x08\x00"s},
        {"track past the data", "nrg-raw", "DAOX", 8 + 22 + 42 + 34, "\x00\x00\x00\x01\x00\x00\x00\x00"s},
        {"INDEX 01 offset off its cue point", "nrg-raw", "DAOX", 8 + 22 + 26 + 7, "\x01"},
        {"no DAO table", "nrg-raw", "DAOX", 0, "CDTX"},
        {"SINF count", "nrg-raw", "SINF", 11, "\x03"},
        {"TAO length of no whole sector", "nrg-tao-old", "ETNF", 8 + 4 + 3, "\x01"},
        {"TAO tracks overlapping", "nrg-tao-old", "ETNF", 8 + 20, "\0\0\0\0"s},
        {"TAO track past the data", "nrg-tao-old", "ETNF", 8 + 20, "\x7F\0\0\0"s},
        {"TAO unknown mode code", "nrg-tao-old", "ETNF", 8 + 8, "\0\0\x01\0"s},
    };
    const std::string dir = fx("");
    auto shown = [&](std::string error) {
        for (size_t at; (at = error.find(dir)) != std::string::npos;)
            error.replace(at, dir.size(), "DIR/");
        return error;
    };
    std::string all;
    for (const Damage& d : damages) {
        std::string bytes = slurp(fx(std::string(d.image) + ".nrg"));
        const size_t base = *d.chunk ? bytes.rfind(d.chunk) : bytes.size();
        ASSERT_NE(base, std::string::npos) << d.name;
        bytes.replace(base + d.at, d.bytes.size(), d.bytes);
        const std::string path = fx("damaged.nrg");
        std::ofstream(path, std::ios::binary) << bytes;
        LoadResult r = load_nrg(path);
        EXPECT_FALSE(r) << d.name;
        all += std::string(d.name) + ": " + shown(r.error) + "\n";
    }
    for (const std::string& small :
         {"NER"s, "NERO\0\0\0\0"s, std::string(20, '\0') + "NER5" + std::string(8, '\0')}) {
        std::ofstream(fx("damaged.nrg"), std::ios::binary) << small;
        all += "file of " + std::to_string(small.size()) +
               " bytes: " + shown(load_nrg(fx("damaged.nrg")).error) + "\n";
    }
    fs::remove(fx("damaged.nrg"));
    ExpectGolden("images/nrg-refusals.txt", all);
}
