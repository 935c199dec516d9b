// Discs made by genisoimage, xorriso, sox and ckvd-mkdisc, loaded through the image drives and the real
// ASPI manager; each session's model is compared with what isoinfo or xorriso lists for it.
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "aspi/aspi_manager.h"
#include "image_disc.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"
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

// The tree of one session, path -> entry, names in UTF-8 (iterative, depth first).
Listing ModelListing(const SessionTree* tree) {
    Listing out;
    std::vector<std::pair<const FileEntry*, std::string>> stack;
    for (const FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
        stack.push_back({e, ""});
    while (!stack.empty()) {
        auto [e, parent] = stack.back();
        stack.pop_back();
        std::string path = parent + "/" + Report_SjisToUtf8(e->name);
        out[path] = {e->type, e->lbn, e->size, e->date[0] + 1900, e->date[1], e->date[2]};
        for (const FileEntry* c = e->firstChild; c; c = c->nextSibling)
            stack.push_back({c, path});
    }
    return out;
}

// isoinfo -l: "Directory listing of /DIR/" headers, then one line per record with size, date and extent.
Listing IsoinfoListing(const std::string& args) {
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::regex line(
        R"(^([d-])\S*\s+\d+\s+\d+\s+\d+\s+(\d+)\s+(\w{3})\s+(\d+)\s+(\d{4})\s+\[\s*(\d+)\s+\d+\]\s\s(.*) $)");
    Listing out;
    std::istringstream in(RunCommand("isoinfo -l " + args + " 2>/dev/null"));
    std::string dir, l;
    while (std::getline(in, l)) {
        if (l.rfind("Directory listing of ", 0) == 0) {
            dir = l.substr(21);
            if (!dir.empty() && dir.back() == '/')
                dir.pop_back();
            continue;
        }
        std::smatch m;
        if (!std::regex_match(l, m, line))
            continue;
        const std::string name = m[7];
        if (name == "." || name == "..")
            continue;
        Entry e;
        e.type = m[1] == "d" ? 'D' : 'F';
        e.size = uint32_t(std::stoul(m[2]));
        for (int i = 0; i < 12; ++i)
            if (m[3] == kMonths[i])
                e.month = i + 1;
        e.day = std::stoi(m[4]);
        e.year = std::stoi(m[5]);
        e.lbn = uint32_t(std::stoul(m[6]));
        out[dir + "/" + name] = e;
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
    std::string l;
    while (std::getline(in, l)) {
        std::smatch m;
        if (!std::regex_match(l, m, line))
            continue;
        out[m[3]] = {'F', uint32_t(std::stoul(m[1])), uint32_t(std::stoul(m[2]))};
    }
    return out;
}

void ExpectSameListing(const Listing& ours, const Listing& peer, bool compareDates, const std::string& what) {
    ASSERT_FALSE(peer.empty()) << what << ": the peer listed nothing";
    for (const auto& [path, p] : peer) {
        auto it = ours.find(path);
        if (it == ours.end()) {
            ADD_FAILURE() << what << ": " << path << " missing from the model";
            continue;
        }
        const Entry& o = it->second;
        EXPECT_EQ(o.type, p.type) << what << " " << path;
        EXPECT_EQ(o.lbn, p.lbn) << what << " " << path;
        EXPECT_EQ(o.size, p.size) << what << " " << path;
        if (compareDates && o.type == 'F') {
            EXPECT_EQ(std::tie(o.year, o.month, o.day), std::tie(p.year, p.month, p.day))
                << what << " " << path;
        }
    }
    EXPECT_EQ(ours.size(), peer.size()) << what;
}

Listing FilesOnly(const Listing& all) {
    Listing files;
    for (const auto& [p, e] : all)
        if (e.type == 'F')
            files[p] = e;
    return files;
}

class Fixture : public ::testing::Test {
  protected:
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
    }
    // Loads the image into an image drive and analyses it; returns the result code.
    int Load(const std::string& name) {
        std::string error;
        const int result = testdisc::LoadImageDisc(kDir + "/" + name, &error);
        EXPECT_NE(result, -1) << error;
        return result;
    }
    const SessionTree* Tree(int k) const {
        const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr;
        while (t && k-- > 0)
            t = t->next;
        return t;
    }
    const SessionEntry* Session(int k) const {
        const SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr;
        while (s && k-- > 0)
            s = s->next;
        return s;
    }
};

TEST_F(Fixture, Level1MatchesIsoinfo) {
    ASSERT_EQ(Load("level1.iso"), 1);
    const Listing ours = ModelListing(Tree(0));
    ExpectSameListing(ours, IsoinfoListing("-i " + kDir + "/level1.iso"), true, "level1");
    EXPECT_EQ(ours.at("/README.TXT;1").size, 6u);
    EXPECT_EQ(ours.at("/MUSIC/SONG.MP3;1").size, 70000u);
    EXPECT_EQ(std::string(Tree(0)->root->name).substr(0, 14), "LEVEL1_VOLUME ");
    EXPECT_EQ(Tree(0)->directoryCount, 4u);
}

TEST_F(Fixture, JolietJapaneseNamesMatchXorriso) {
    ASSERT_EQ(Load("joliet_jp.iso"), 1);
    const Listing ours = ModelListing(Tree(0));
    ExpectSameListing(FilesOnly(ours), XorrisoFiles(kDir + "/joliet_jp.iso"), false, "joliet");
    EXPECT_TRUE(ours.count("/音楽/アルバム/さくら.mp3"));
    EXPECT_EQ(ours.at("/音楽/アルバム").type, 'D');
    EXPECT_STREQ(Tree(0)->root->name, "JOLIET_JP       "); // 16 characters, blanks included
}

TEST_F(Fixture, DeepAndLongNamesMatchIsoinfoAndXorriso) {
    ASSERT_EQ(Load("deep_long.iso"), 1);
    const Listing ours = ModelListing(Tree(0));
    ExpectSameListing(ours, IsoinfoListing("-J -i " + kDir + "/deep_long.iso"), true, "deep");
    ExpectSameListing(FilesOnly(ours), XorrisoFiles(kDir + "/deep_long.iso"), false, "deep xorriso");
    EXPECT_EQ(Tree(0)->directoryCount, 13u);
    EXPECT_TRUE(ours.count("/" + std::string(100, 'n') + ".txt"));
}

TEST_F(Fixture, ThousandsOfFilesAndAPathTableOverOneBlock) {
    ASSERT_EQ(Load("many.iso"), 1);
    const Listing ours = ModelListing(Tree(0));
    ExpectSameListing(ours, IsoinfoListing("-i " + kDir + "/many.iso"), true, "many");
    EXPECT_EQ(Tree(0)->fileCount, 3000u);
    EXPECT_EQ(Tree(0)->directoryCount, 303u);
    EXPECT_GT(ours.at("/BIGDIR").size, 32u * 2048); // more than one piece of 32 blocks
    // The path table genisoimage wrote (size at byte 132 of the descriptor at block 16) spans blocks.
    FILE* f = fopen((kDir + "/many.iso").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    uint8_t size[4] = {};
    fseek(f, 16 * 2048 + 132, SEEK_SET);
    ASSERT_EQ(fread(size, 1, 4, f), 4u);
    fclose(f);
    EXPECT_GT(uint32_t(size[0] | size[1] << 8 | size[2] << 16 | size[3] << 24), 2048u);
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
        ExpectSameListing(ModelListing(Tree(k)), IsoinfoListing(args), true, files[k]);
    }
    const Listing last = ModelListing(Tree(2));
    EXPECT_TRUE(last.count("/ONE/FIRST.TXT") && last.count("/TWO/SECOND.TXT") &&
                last.count("/THREE/THIRD.TXT"));
    EXPECT_EQ(last.at("/ONE/FIRST.TXT").lbn, ModelListing(Tree(0)).at("/ONE/FIRST.TXT").lbn);
    EXPECT_STREQ(Tree(2)->root->name, "SESSION_3       ");
    EXPECT_EQ(g_CurrentSession, 3);
}

// A level 3 disc with Rock Ridge shows its primary names.
TEST_F(Fixture, RockRidgeBootableAndIso9660Of1999DiscsMatchIsoinfo) {
    // A disc with Rock Ridge and no Joliet lists its Rock Ridge names (isoinfo -R), as Debian's rescue disc.
    for (auto [name, names] : {std::pair<const char*, const char*>{"level3_rr.iso", "-R -i "},
                               {"grub-rescue-cdrom.iso", "-R -i "},
                               {"boot_genisoimage.iso", "-J -i "},
                               {"boot_xorriso.iso", "-J -i "},
                               {"iso_level4.iso", "-i "}}) {
        ASSERT_EQ(Load(name), 1) << name;
        ExpectSameListing(ModelListing(Tree(0)), IsoinfoListing(names + kDir + "/" + name), true, name);
        Iso_Terminate();
        Aspi_Terminate();
    }
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
        const size_t bytes = sjis.size() - outLeft;
        const bool jis =
            n == 1 || (converted && bytes == 2 && uint8_t(sjis[0]) >= 0x81 && uint8_t(sjis[0]) <= 0xEF);
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

TEST_F(Fixture, AudioDiscBecomesTrackFiles) {
    ASSERT_EQ(Load("audio.cue"), 1);
    const Listing ours = ModelListing(Tree(0));
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_STREQ(Tree(0)->root->name, "Audio CD");
    // sox tracks of 1, 2 and 3 seconds: 75, 150 and 225 sectors.
    EXPECT_EQ(ours.at("/Track01.cda").size, 75u);
    EXPECT_EQ(ours.at("/Track02.cda").lbn, 75u);
    EXPECT_EQ(ours.at("/Track03.cda").size, 225u);
    EXPECT_EQ(Session(0)->firstTrack->next->next->size, 225u);
    EXPECT_EQ(Session(0)->pvdLbn, 0u);
}

TEST_F(Fixture, CdExtraIsAnAudioDiscWithTwoSessions) {
    ASSERT_EQ(Load("extra.cue"), 1);
    EXPECT_EQ(g_DiscModel->sessionCount, 2);
    const Listing ours = ModelListing(Tree(0));
    ASSERT_EQ(ours.size(), 3u);
    // The last audio track ends before the lead-out, lead-in and pregap of the data session.
    EXPECT_EQ(ours.at("/Track03.cda").size, 225u);
    const SessionEntry* data = Session(1);
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(Iso_IsDataType(data->type));
    EXPECT_EQ(data->firstTrack->trackNumber, 4);
    EXPECT_EQ(data->firstTrack->address, 450u + 6750 + 4500 + 150);
}

} // namespace
