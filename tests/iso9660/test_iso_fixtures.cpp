// Discs made by genisoimage, xorriso, sox and ckvd-mkdisc, loaded through the image drives and the real
// ASPI manager; each session's model is compared with what isoinfo or xorriso lists for it.
#include <gtest/gtest.h>
#include <iconv.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "image_disc.h"
#include "report/disc_text.h"

namespace {

const std::string kDir = CKVD_ISO_FIXTURES;

using testdisc::RunCommand;

struct Entry {
    char type = 0;
    uint32_t lbn = 0;
    uint32_t size = 0;
    int year = 0, month = 0, day = 0;
};
using Listing = std::map<std::string, Entry>;

// The tree of one session, path -> entry, names in UTF-8.
void AddListing(const FileEntry* first, const std::string& parent, Listing& out) {
    for (const FileEntry* e = first; e; e = e->nextSibling) {
        const std::string path = parent + "/" + Report_SjisToUtf8(e->name);
        out[path] = {e->type, e->lbn, e->size, e->date[0] + 1900, e->date[1], e->date[2]};
        AddListing(e->firstChild, path, out);
    }
}
Listing ModelListing(const SessionTree* tree) {
    Listing out;
    if (tree && tree->root)
        AddListing(tree->root->firstChild, "", out);
    return out;
}

// isoinfo -l: "Directory listing of /DIR/" headers, then one line per record with size, date and extent.
Listing IsoinfoListing(const std::string& args) {
    const std::string months = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::regex line(
        R"(^([d-])\S*\s+\d+\s+\d+\s+\d+\s+(\d+)\s+(\w{3})\s+(\d+)\s+(\d{4})\s+\[\s*(\d+)\s+\d+\]\s\s(.*) $)");
    Listing out;
    std::istringstream in(RunCommand("isoinfo -l " + args + " 2>/dev/null"));
    std::string dir;
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (l.rfind("Directory listing of ", 0) == 0)
            dir = l.substr(21, l.size() - 22); // without the last "/"
        else if (std::regex_match(l, m, line) && m[7] != "." && m[7] != "..")
            out[dir + "/" + m[7].str()] = {
                m[1] == "d" ? 'D' : 'F', uint32_t(std::stoul(m[6])),           uint32_t(std::stoul(m[2])),
                std::stoi(m[5]),         int(months.find(m[3].str())) / 3 + 1, std::stoi(m[4])};
    }
    return out;
}

// xorriso's report of file extents (UTF-8 names, Joliet tree): start block and size of every file.
Listing XorrisoFiles(const std::string& image) {
    const std::regex line(R"(^File data lba:\s+\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'$)");
    Listing out;
    std::istringstream in(
        RunCommand("LC_ALL=C.UTF-8 xorriso -abort_on NEVER -rr_reading off -joliet on -indev '" + image +
                   "' -find / -type f -exec report_lba -- 2>/dev/null"));
    std::smatch m;
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, m, line))
            out[m[3]] = {'F', uint32_t(std::stoul(m[1])), uint32_t(std::stoul(m[2]))};
    return out;
}

// `ours` (only its files if `filesOnly`) lists what `peer` lists; dates compared when the peer has them.
void ExpectSameListing(const Listing& ours, const Listing& peer, bool filesOnly, const std::string& what) {
    ASSERT_FALSE(peer.empty()) << what << ": the peer listed nothing";
    size_t compared = 0;
    for (const auto& [path, o] : ours) {
        if (filesOnly && o.type != 'F')
            continue;
        ++compared;
        auto it = peer.find(path);
        if (it == peer.end()) {
            ADD_FAILURE() << what << ": " << path << " not listed by the peer";
            continue;
        }
        const Entry& p = it->second;
        EXPECT_EQ(std::tie(o.type, o.lbn, o.size), std::tie(p.type, p.lbn, p.size)) << what << " " << path;
        if (p.year && o.type == 'F') {
            EXPECT_EQ(std::tie(o.year, o.month, o.day), std::tie(p.year, p.month, p.day))
                << what << " " << path;
        }
    }
    EXPECT_EQ(compared, peer.size()) << what;
}

class Fixture : public ::testing::Test {
  protected:
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
    }
    // Loads the image into an image drive and analyses it; returns the result code.
    int Load(const std::string& name) {
        Iso_Terminate();
        Aspi_Terminate();
        std::string error;
        const int result = testdisc::LoadImageDisc(kDir + "/" + name, &error);
        EXPECT_NE(result, -1) << error;
        return result;
    }
    template <class T> static const T* Nth(const T* p, int k) {
        while (p && k-- > 0)
            p = p->next;
        return p;
    }
    static const SessionTree* Tree(int k) { return Nth(g_DiscModel ? g_DiscModel->firstTree : nullptr, k); }
    static const SessionEntry* Session(int k) {
        return Nth(g_DiscModel ? g_DiscModel->firstSession : nullptr, k);
    }
};

// Each disc's tree against isoinfo (its Rock Ridge names with -R, Joliet names with -J) and xorriso's
// Joliet files; the directory and file counts against isoinfo's listing.
TEST_F(Fixture, DiscsMatchIsoinfoAndXorriso) {
    struct Case {
        const char* image;
        const char* isoinfo; // names option, or nullptr
        bool xorriso;
        const char* volume; // the volume name's first characters
    };
    const Case cases[] = {
        {"level1.iso", "", false, "LEVEL1_VOLUME "},
        {"joliet_jp.iso", nullptr, true, "JOLIET_JP       "}, // 16 characters, blanks included
        {"deep_long.iso", "-J", true, "DEEP_LONG"},
        {"many.iso", "", false, "MANY_FILES"}, // 3000 files in one directory, a path table over one block
        {"level3_rr.iso", "-R", false, "LEVEL3_RR"},
        {"grub-rescue-cdrom.iso", "-R", false, ""},
        {"boot_genisoimage.iso", "-J", false, "BOOT_GENISO"},
        {"boot_xorriso.iso", "-J", false, "BOOT_XORRISO"},
        {"iso_level4.iso", "", false, "LEVEL4_1999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        ASSERT_EQ(Load(c.image), 1);
        const Listing ours = ModelListing(Tree(0));
        EXPECT_EQ(std::string(Tree(0)->root->name).substr(0, strlen(c.volume)), c.volume);
        if (c.xorriso)
            ExpectSameListing(ours, XorrisoFiles(kDir + "/" + c.image), true, "xorriso");
        if (!c.isoinfo)
            continue;
        const Listing peer = IsoinfoListing(std::string(c.isoinfo) + " -i " + kDir + "/" + c.image);
        ExpectSameListing(ours, peer, false, "isoinfo");
        uint32_t directories = 1, files = 0;
        for (const auto& [path, e] : peer)
            (e.type == 'D' ? directories : files)++;
        EXPECT_EQ(Tree(0)->directoryCount, directories);
        EXPECT_EQ(Tree(0)->fileCount, files);
    }
    Load("joliet_jp.iso");
    EXPECT_EQ(ModelListing(Tree(0)).at("/音楽/アルバム").type, 'D');
    Load("many.iso");
    EXPECT_GT(ModelListing(Tree(0)).at("/BIGDIR").size, 32u * 2048); // more than one piece of 32 blocks
}

TEST_F(Fixture, ThreeSessionsEachMatchIsoinfo) {
    ASSERT_EQ(Load("three.cue"), 1);
    EXPECT_EQ(g_DiscModel->sessionCount, 3);
    const char* files[] = {"three.bin", "three-s2.bin", "three-s3.bin"};
    for (int k = 0; k < 3; ++k) {
        const SessionEntry* s = Session(k);
        ASSERT_NE(s, nullptr);
        const uint32_t start = s->firstTrack->address;
        EXPECT_EQ(s->pvdLbn, start + 16);
        std::string args = "-J -i " + kDir + "/" + files[k];
        if (k > 0)
            args += " -N " + std::to_string(start);
        ExpectSameListing(ModelListing(Tree(k)), IsoinfoListing(args), false, files[k]);
    }
    const Listing last = ModelListing(Tree(2));
    EXPECT_TRUE(last.count("/ONE/FIRST.TXT") && last.count("/TWO/SECOND.TXT") &&
                last.count("/THREE/THIRD.TXT"));
    EXPECT_EQ(last.at("/ONE/FIRST.TXT").lbn, ModelListing(Tree(0)).at("/ONE/FIRST.TXT").lbn);
    EXPECT_STREQ(Tree(2)->root->name, "SESSION_3       ");
    EXPECT_EQ(g_CurrentSession, 3);
}

// Each character of a UTF-8 name as glibc's SHIFT_JIS converter has it: kept where it has a JIS X 0208 code
// (or is ASCII), "?" where it has none.
std::string WithQuestionMarks(const std::string& utf8) {
    std::string out;
    iconv_t cd = iconv_open("SHIFT_JIS", "UTF-8");
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::string ch = utf8.substr(i, n), sjis(8, '\0');
        i += n;
        char* in = ch.data();
        char* o = sjis.data();
        size_t inLeft = ch.size(), outLeft = sjis.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool converted = iconv(cd, &in, &inLeft, &o, &outLeft) != size_t(-1);
        const bool jis =
            n == 1 || (converted && outLeft == 6 && uint8_t(sjis[0]) >= 0x81 && uint8_t(sjis[0]) <= 0xEF);
        out += jis ? ch : "?";
    }
    iconv_close(cd);
    return out;
}

TEST_F(Fixture, CharactersWithoutJisCodeBecomeQuestionMarksAndTheNamesGoOn) {
    ASSERT_EQ(Load("names.iso"), 1);
    const Listing ours = ModelListing(Tree(0));
    const Listing peer = XorrisoFiles(kDir + "/names.iso");
    ASSERT_EQ(peer.size(), 7u);
    for (const auto& [path, e] : peer)
        EXPECT_TRUE(ours.count(WithQuestionMarks(path))) << path << " as " << WithQuestionMarks(path);
    for (const char* name : {"/?uro.txt", "/?circled.txt", "/???.txt", "/?wave.txt", "/Ελληνικ?.txt",
                             "/?体中文.txt", "/音楽.txt"})
        EXPECT_TRUE(ours.count(name)) << name;
    EXPECT_EQ(ours.size(), 7u);
}

// sox tracks of 1, 2 and 3 seconds: 75, 150 and 225 sectors; on the CD-Extra disc, the data session after
// the first lead-out, a lead-in and a pregap.
TEST_F(Fixture, AudioAndCdExtraDiscsBecomeTrackFiles) {
    for (const char* cue : {"audio.cue", "extra.cue"}) {
        SCOPED_TRACE(cue);
        ASSERT_EQ(Load(cue), 1);
        const Listing ours = ModelListing(Tree(0));
        ASSERT_EQ(ours.size(), 3u);
        EXPECT_STREQ(Tree(0)->root->name, "Audio CD");
        EXPECT_EQ(std::tie(ours.at("/Track01.cda").lbn, ours.at("/Track01.cda").size), std::tuple(0u, 75u));
        EXPECT_EQ(ours.at("/Track02.cda").lbn, 75u);
        EXPECT_EQ(ours.at("/Track03.cda").size, 225u);
        EXPECT_EQ(Session(0)->firstTrack->next->next->size, 225u);
        EXPECT_EQ(Session(0)->pvdLbn, g_DiscModel->sessionCount == 1 ? 0u : 16u); // track 1 + 16 on two
    }
    EXPECT_EQ(g_DiscModel->sessionCount, 2);
    const SessionEntry* data = Session(1);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(Iso_IsDataType(data->type));
    EXPECT_EQ(data->firstTrack->trackNumber, 4);
    EXPECT_EQ(data->firstTrack->address, 450u + 6750 + 4500 + 150);
}

} // namespace
