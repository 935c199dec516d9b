// CD-TEXT of discs made in the test setup: cue and cdrdao sheets with text commands (as libcdio's cd-info and
// cdrdao's show-toc read them), CloneCD [CDText] and CDTEXTFILE packs (the texts make_fixtures.sh gave
// make_packs.py). Each is read by its image reader and again through an image drive (READ TOC format 5 and
// READ SUB-CHANNEL) into the disc model.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "catalogue/catalogue.h"
#include "image_disc.h"
#include "images/disc_image.h"
#include "iso9660/iso_cdtext.h"

using ckvd::cdtext::DiscText;

namespace {

std::string fx(const std::string& name) {
    return std::string(CKVD_CDTEXT_FIXTURES) + "/" + name;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// "0 TITLE=..." lines of the disc (0) and each track, with "0 MCN=" and "N ISRC=" codes.
using Texts = std::map<std::string, std::string>;

Texts Flatten(const DiscText& d) {
    Texts t;
    auto put = [&](int n, const char* key, const std::string& v) {
        if (!v.empty())
            t[std::to_string(n) + " " + key] = v;
    };
    put(0, "TITLE", d.title);
    put(0, "PERFORMER", d.performer);
    put(0, "SONGWRITER", d.songwriter);
    put(0, "MCN", d.catalog);
    for (const auto& [n, tr] : d.tracks) {
        put(n, "TITLE", tr.title);
        put(n, "PERFORMER", tr.performer);
        put(n, "SONGWRITER", tr.songwriter);
        put(n, "ISRC", tr.isrc);
    }
    return t;
}

// cd-info's "CD-TEXT for Disc:" / "CD-TEXT for Track  N:" blocks of tab-indented "KEY: value" lines and its
// "Media Catalog Number (MCN): " line.
Texts CdInfo(const std::string& path) {
    Texts t;
    std::istringstream in(Slurp(path));
    std::smatch m;
    int track = -1;
    for (std::string l; std::getline(in, l);) {
        if (std::regex_search(l, m, std::regex(R"(^CD-TEXT for (Disc|Track +(\d+)):)")))
            track = m[1] == "Disc" ? 0 : std::stoi(m[2]);
        else if (track >= 0 &&
                 std::regex_search(l, m, std::regex(R"(^\t(TITLE|PERFORMER|SONGWRITER): (.*)$)")))
            t[std::to_string(track) + " " + std::string(m[1])] = m[2];
        else if (std::regex_search(l, m, std::regex(R"(^Media Catalog Number \(MCN\): (\d+))")))
            t["0 MCN"] = m[1];
    }
    return t;
}

// What the model holds after loading `image` through an image drive.
Texts FromDrive(const std::string& image) {
    std::string error;
    EXPECT_EQ(testdisc::LoadImageDisc(image, &error), 1) << error;
    const DiscText* d = Iso_DiscText();
    return d ? Flatten(*d) : Texts{};
}

// The packs make_fixtures.sh wrote: the texts it gave make_packs.py.
const Texts kPackTexts = {
    {"0 TITLE", "Album of Packs"},   {"0 PERFORMER", "The Pack Band"}, {"0 MCN", "4006381333931"},
    {"1 TITLE", "Pack Song"},        {"1 PERFORMER", "Pack Singer"},   {"1 SONGWRITER", "Pack Writer"},
    {"1 ISRC", "GBXYZ0000001"},      {"2 TITLE", "Second Pack Song"},  {"3 TITLE", "Third Pack Song"},
    {"3 PERFORMER", "Guest Singer"},
};

} // namespace

TEST(CdTextDiscs, SheetsAndPacksAsPeersReadThem) {
    Texts cue = CdInfo(fx("text.cue.cd-info.txt"));
    Texts toc = CdInfo(fx("text.toc.cd-info.txt"));
    const Texts nrg = CdInfo(fx("packs.nrg.cd-info.txt"));
    ASSERT_TRUE(cue.count("1 TITLE") && toc.count("1 TITLE") && nrg.count("1 TITLE"))
        << "cd-info read no CD-TEXT";
    // The sub-channel codes: the cue sheet's ISRC as written, the cdrdao sheet's as show-toc prints it.
    cue["1 ISRC"] = "USABC1234567";
    std::smatch m;
    const std::string shown = Slurp(fx("text.toc.cdrdao.txt"));
    ASSERT_TRUE(std::regex_search(shown, m, std::regex(R"(ISRC (\w\w) (\w\w\w) (\d\d) (\d{5}))")));
    toc["1 ISRC"] = std::string(m[1]) + std::string(m[2]) + std::string(m[3]) + std::string(m[4]);
    ASSERT_TRUE(std::regex_search(shown, m, std::regex(R"(CATALOG NUMBER: (\d+))")));
    EXPECT_EQ(toc["0 MCN"], m[1]);

    const struct {
        const char* image;
        const Texts& want;
    } cases[] = {{"text.cue", cue},
                 {"text.toc", toc},
                 {"packs.ccd", kPackTexts},
                 {"cdt.cue", kPackTexts},
                 {"packs.nrg", nrg}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image);
        ckvd::images::LoadResult r = ckvd::images::load_image(fx(c.image));
        ASSERT_TRUE(r) << r.error;
        // The sheet's codes are the sub-channel's, which the reader keeps apart from the CD-TEXT.
        Texts read = Flatten(r.disc->text);
        if (!r.disc->mcn.empty())
            read["0 MCN"] = r.disc->mcn;
        for (const auto& [n, isrc] : r.disc->isrc)
            read[std::to_string(n) + " ISRC"] = isrc;
        EXPECT_EQ(read, c.want);
        EXPECT_TRUE(r.disc->text.notes.empty()) << r.disc->text.notes.front();
        EXPECT_EQ(FromDrive(fx(c.image)), c.want);
    }
    // The catalogue keeps a track's title and performer (the disc's where it has none) and the album's title.
    FromDrive(fx("text.cue"));
    std::vector<std::string> tags;
    Cat_EachLoadedEntry(Iso_CurrentDisc(),
                        [&](CatalogueEntry& e) { tags.push_back(e.title + "|" + e.artist + "|" + e.album); });
    EXPECT_EQ(tags, (std::vector<std::string>{
                        cue["1 TITLE"] + "|" + cue["1 PERFORMER"] + "|" + cue["0 TITLE"],
                        cue["2 TITLE"] + "|" + cue["0 PERFORMER"] + "|" + cue["0 TITLE"], "||"}));
    FromDrive(fx("packs.ccd"));
    EXPECT_EQ(Iso_TrackFileName(1), "01 Pack Singer - Pack Song.wav");
    EXPECT_EQ(Iso_TrackFileName(2), "02 The Pack Band - Second Pack Song.wav");
    EXPECT_EQ(Iso_TrackFileName(4), "Track04.wav");
}

TEST(CdTextDiscs, PacksMadeFromTextReadAsCdInfoReadsThem) {
    // The packs the image drive answers for a sheet's text, put into a Nero image's CDTX chunk for cd-info.
    // cd-info gives a string the track of the pack it ends in, so each text here ends in a pack that begins
    // with its own track's text.
    DiscText text;
    text.title = "Caf\xC3\xA9 Album";
    text.performer = "Writer Band";
    text.songwriter = "Writers";
    text.tracks[1] = {"A Title Longer Than Twelve Bytes", "Someone", "Songwriter", ""};
    const std::vector<uint8_t> packs = ckvd::cdtext::MakePacks(text, 1, 1);
    std::string image = Slurp(fx("plain.nrg"));
    const size_t end = image.rfind("END!", image.size() - 12);
    ASSERT_NE(end, std::string::npos);
    const uint32_t n = static_cast<uint32_t>(packs.size());
    const std::string chunk = "CDTX" + std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} +
                              std::string(packs.begin(), packs.end());
    const std::string path = fx("written.nrg");
    std::ofstream(path, std::ios::binary) << image.insert(end, chunk);
    std::ofstream(fx("written.cd-info.txt"))
        << testdisc::RunCommand("cd-info --no-device-info --no-cddb --nrg-file '" + path + "' 2>&1");
    Texts shown = CdInfo(fx("written.cd-info.txt"));
    shown.erase("0 MCN");
    EXPECT_EQ(shown, Flatten(text));
}

TEST(CdTextDiscs, BadTextLoadsAndIsSaid) {
    // A damaged pack: the disc loads, the title it held is lost and said, the rest is read.
    ckvd::images::LoadResult r = ckvd::images::load_image(fx("badpack.ccd"));
    ASSERT_TRUE(r) << r.error;
    Texts want = kPackTexts;
    want.erase("0 TITLE");
    want.erase("1 TITLE");
    EXPECT_EQ(FromDrive(fx("badpack.ccd")), want);
    ASSERT_NE(Iso_DiscText(), nullptr);
    ASSERT_FALSE(Iso_DiscText()->notes.empty());
    EXPECT_EQ(Iso_DiscText()->notes.front(), "CD-TEXT pack 1: CRC mismatch, passed over");
    EXPECT_EQ(Iso_TrackFileName(1), "Track01.wav");

    // Codes that are none: passed over with the sheet's line, the texts kept.
    r = ckvd::images::load_image(fx("badcode.cue"));
    ASSERT_TRUE(r) << r.error;
    EXPECT_TRUE(r.disc->mcn.empty());
    EXPECT_TRUE(r.disc->isrc.empty());
    EXPECT_EQ(r.disc->text.title, "Album of Cues");
    ASSERT_EQ(r.disc->text.notes.size(), 2u);
    EXPECT_EQ(r.disc->text.notes[0], "line 1: CATALOG '12AB' is not a valid code, passed over");

    // A data disc: the drive answers format 5 with no packs, the model has no text.
    std::string error;
    ASSERT_EQ(testdisc::LoadImageDisc(fx("notext.iso"), &error), 1) << error;
    EXPECT_EQ(Iso_DiscText(), nullptr);
}
