// The disc report over hand-built models (recorded discs: test_report_csv.py): the CSV past the 16-bit
// counts, failed writes, the management number's profile, `ckvd ls`'s tree text and the names typed to it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "disc_model_builder.h"
#include "golden.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "listing/disc_text.h"
#include "names/name_match.h"
#include "report/disc_report.h"
#include "report/report_number.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A data session and a CD-XA one; a tree of 65,538 files: one in the root, 256 directories of 256, then one
// with the largest LBN and size.
void BuildWideDisc(DiscModelBuilder& disc) {
    SessionEntry* s = disc.AddSession(0x04);
    s->pvdLbn = 16;
    s->leadIn = uint32_t(-11634);
    disc.AddTrack(s, 1, 0, 0);
    disc.AddTrack(disc.AddSession(0x24), 2, 11761, 0);
    // Numbered as the path table numbers them: a file carries its directory's number and parent.
    auto in = [](FileEntry* e, int directory) {
        e->directoryNumber = uint16_t(directory);
        e->parentNumber = 1;
        return e;
    };
    FileEntry* root = in(disc.AddTree("WIDE", 259), 1);
    disc.Model()->firstTree->fileCount = 65538;
    in(disc.File(root, "R.TXT", 30, 1), 1);
    for (uint32_t d = 2, n = 0; d < 258; ++d) {
        FileEntry* dir = in(disc.Dir(root, "D"), int(d));
        for (int i = 0; i < 256; ++i, ++n)
            in(disc.File(dir, "F.TXT", 40 + n, n), int(d));
    }
    in(disc.File(in(disc.Dir(root, "B"), 258), "WIDE.TXT", 4294967295u, 4294967295u), 258);
    disc.Install();
}

TEST(DiscReport, HandBuiltTreePastSixteenBitCountsAndFailedWrites) {
    DiscModelBuilder disc;
    BuildWideDisc(disc);
    DiscReportHeader header{7, "memo", {}};
    header.time.tm_year = 102, header.time.tm_mon = 9, header.time.tm_mday = 1;
    header.time.tm_hour = 9, header.time.tm_min = 5, header.time.tm_sec = 7;
    std::string csv;
    uint32_t calls = 0, last = 0, total = 0;
    const auto sink = [&](std::string_view bytes) { return csv.append(bytes), true; };
    EXPECT_EQ(Report_WriteDiscCsv(header, sink,
                                  [&](int, uint32_t done, uint32_t n) { ++calls, last = done, total = n; }),
              REPORT_OK);
    EXPECT_EQ(std::to_string(calls) + " " + std::to_string(last) + " " + std::to_string(total),
              "65538 65538 65538");
    std::vector<std::string> lines;
    std::istringstream in(csv);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 15u + 257u * 256u + 2u);
    // The head, the 257th directory, the last file of the 257th, the 258th and its file of the widest values.
    std::string shown;
    for (size_t i = 0; i < lines.size(); ++i)
        if (i < 17 || i == 15 + 257 || i >= 15 + 257 * 256 - 1)
            shown += lines[i] + "\n";
    ExpectGolden("report/wide_disc.csv", shown);

    // A sink that takes nothing: its first piece, long before the tree's end, is the last one asked for.
    int pieces = 0;
    uint32_t done = 0;
    EXPECT_EQ(Report_WriteDiscCsv(
                  {}, [&](std::string_view) { return ++pieces, false; },
                  [&](int, uint32_t n, uint32_t) { done = n; }),
              REPORT_ERR_WRITE);
    EXPECT_EQ(pieces, 1);
    EXPECT_LT(done, 10000u);

    const fs::path dir = fs::temp_directory_path() / ("ckvd-report-fail-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder");
    std::ofstream(dir / "folder" / "keep") << "kept";
    std::ofstream(dir / "old.csv") << "old bytes";
    auto listing = [&dir] {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            names.insert(fs::relative(e.path(), dir).string() + "=" +
                         (e.is_regular_file() ? ReadAll(e) : ""));
        return names;
    };
    const auto before = listing();
    std::string error;
    // Writes that stop at 4 KiB as on a full disk: part of the first piece goes in, the rest fails.
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const int full = Report_SaveDiscCsv((dir / "old.csv").string(), {}, nullptr, &error);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal);
    EXPECT_EQ(full, REPORT_ERR_WRITE);
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    // A folder under the name (the rename fails), a missing folder, a folder without write permission.
    EXPECT_EQ(Report_SaveDiscCsv((dir / "folder").string(), {}, nullptr, &error), REPORT_ERR_WRITE);
    EXPECT_EQ(Report_SaveDiscCsv((dir / "missing/x.csv").string(), {}, nullptr, &error), REPORT_ERR_WRITE);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    if (::geteuid() != 0) { // root writes there all the same
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_EQ(Report_SaveDiscCsv((dir / "old.csv").string(), {}, nullptr, &error), REPORT_ERR_WRITE);
        fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    }
    EXPECT_EQ(listing(), before);
    EXPECT_EQ(Report_SaveDiscCsv((dir / "old.csv").string(), {}, nullptr, &error), REPORT_OK) << error;
    EXPECT_EQ(ReadAll(dir / "old.csv").substr(0, 6), "<DCF>,");
    EXPECT_EQ(listing().size(), before.size());
    fs::remove_all(dir);
}

TEST(ReportNumber, AMissingOneGoesIntoItsSectionAndTextThatIsNoNumberReadsAsZero) {
    const fs::path dir = fs::temp_directory_path() / ("ckvd-report-number-" + std::to_string(::getpid()));
    const std::string path = (dir / "ckvd-explorer/profile.ini").string();
    std::string error;
    ASSERT_TRUE(Report_WriteNumber(path, 5, &error)) << error; // into a folder made for it
    EXPECT_EQ(ReadAll(path), "[CkvdExplorer Settings]\nDISCMNGRNO=5\n");
    const std::string others = "[Recent Images]\r\nImage1=/a b.cue\r\n\r\n[CkvdExplorer Settings]\nX=30\n";
    std::ofstream(path) << others << "\n[Other]\nDISCMNGRNO=9\n";
    EXPECT_EQ(Report_ReadNumber(path), 0);
    ASSERT_TRUE(Report_WriteNumber(path, 3, &error)) << error;
    EXPECT_EQ(ReadAll(path), others + "DISCMNGRNO=3\n\n[Other]\nDISCMNGRNO=9\n");
    for (const char* value : {"abc", "12x", "99999999999", ""}) {
        std::ofstream(path) << "[CkvdExplorer Settings]\nDISCMNGRNO=" << value << "\n";
        EXPECT_EQ(Report_ReadNumber(path), 0) << value;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "ckvd-explorer"), {}), 1); // no new file left
    EXPECT_FALSE(Report_WriteNumber("/proc/ckvd/profile.ini", 1, &error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

// `name` as a primary volume records it: the model keeps its Unicode reading beside it.
FileEntry* Entry(char type, const char* name, FileEntry* parent) {
    auto* e = new FileEntry{};
    e->type = type;
    std::strncpy(e->name, name, sizeof e->name - 1);
    iso_internal::SetEntryText(e, Iso_BytesToUtf8(reinterpret_cast<const uint8_t*>(name), strlen(name)));
    if (parent) {
        FileEntry** link = &parent->firstChild;
        while (*link)
            link = &(*link)->nextSibling;
        *link = e;
    }
    return e;
}

class TreeText : public ::testing::Test {
  protected:
    FileEntry* root = nullptr;
    void SetUp() override {
        Iso_Terminate();
        g_DiscModel = new DiscModel{};
        g_DiscModel->firstTree = new SessionTree{};
        g_DiscModel->firstTree->next = new SessionTree{}; // a second session without a tree
        root = g_DiscModel->firstTree->root = Entry('V', "VOLUME", nullptr);
    }
    void TearDown() override { Iso_Terminate(); }
};

TEST_F(TreeText, FieldsAtTheirWidestAndNamesBeyondAscii) {
    FileEntry* dir = Entry('D', "\x83\x65\x83\x58\x83\x67", root); // テスト in Shift-JIS
    dir->lbn = 23;
    dir->size = 2048;
    dir->date[0] = 99;                          // a directory shows no date
    FileEntry* f = Entry('F', "\xB1\x83", dir); // half-width katakana, then a lead byte without its trail
    f->lbn = 4294967295u;
    f->size = 0;
    const uint8_t date[7] = {255, 255, 1, 9, 100, 7, 0};
    std::memcpy(f->date, date, sizeof date);
    // A full-width space, a pair that is no character (its second byte stays itself), a byte that starts
    // none (the "z" after it stays).
    FileEntry* g = Entry('F', "\x81\x40\x85\x40\xA0z", root);
    g->lbn = 1;
    g->size = 10;
    std::memset(g->date, 0, sizeof g->date);
    Entry('D', "EMPTY", root);

    ExpectGolden("report/tree_text.txt", Report_TreeText(-1));
    EXPECT_EQ(Report_TreeText(1), "(Session2) \n");
    EXPECT_EQ(Report_TreeText(2), "");
}

TEST_F(TreeText, PiecesMakeTheWholeTextAndTheLongestNameWhole) {
    // A chain of directories of long names with files beside each: some hundred kilobytes of text.
    FileEntry* dir = root;
    for (int depth = 0; depth < 30; ++depth) {
        dir = Entry('D', std::string(250, static_cast<char>('a' + depth % 26)).c_str(), dir);
        for (int i = 0; i < 10; ++i)
            Entry('F', ("F" + std::to_string(i)).c_str(), dir);
    }
    FileEntry* longest = dir->firstChild;
    std::memset(longest->name, 'n', sizeof longest->name - 1);
    iso_internal::SetEntryText(longest, longest->name); // its name reads the same in both forms

    const std::string whole = Report_TreeText(-1);
    std::string joined;
    int pieces = 0;
    Report_WriteTreeText(-1, [&](std::string_view piece) {
        joined += piece;
        ++pieces;
    });
    EXPECT_EQ(joined, whole);
    EXPECT_GT(pieces, 1);
    EXPECT_NE(whole.find("/" + std::string(255, 'n') + "\n"), std::string::npos);
}

// Names typed in another normal form than the disc's: expected forms from Python's unicodedata.normalize.
TEST_F(TreeText, TypedNamesWithoutTheIso9660Version) {
    FileEntry* a = Entry('F', "A.MP3;1", root);
    FileEntry* b1 = Entry('F', "B.MP3;1", root);
    FileEntry* b2 = Entry('F', "B.MP3;2", root);
    FileEntry* c = Entry('F', "C;X", root);
    const struct {
        const char* typed;
        FileEntry* found;
    } cases[] = {
        {"A.MP3;1", a},      {"A.MP3", a},       {"B.MP3;2", b2},
        {"B.MP3;1", b1},     {"B.MP3", nullptr}, // two versions: neither is meant more than the other
        {"C;X", c},          {"C", nullptr},     // ";X" is no version
        {"A.MP3;", nullptr},
    };
    for (const auto& k : cases)
        EXPECT_EQ(Report_FindChild(root, k.typed), k.found) << k.typed;
}

TEST(TypedNames, NormalizationFormC) {
    const struct {
        const char* typed;
        const char* nfc;
    } cases[] = {
        {"cafe\u0301.txt", "caf\u00e9.txt"},          // a letter and its accent
        {"\u1100\u1161\u11A8", "\uAC01"},             // Hangul jamo to a syllable
        {"a\u0301\u0328", "\u0105\u0301"},            // marks put in canonical order first
        {"\u212B", "\u00C5"},                         // a singleton
        {"\u0344", "\u0308\u0301"},                   // a mark that never composes
        {"\u0958", "\u0915\u093C"},                   // a composite excluded from composition
        {"\U0001D15E", "\U0001D157\U0001D165"},       // beyond the BMP, excluded
        {"s\u0307\u0323", "\u1E69"},                  // two marks, both composed
        {"\u0B47\u0300\u0B3E", "\u0B47\u0300\u0B3E"}, // a starter between blocks the pair
        {"e\u0301\u0301", "\u00E9\u0301"},            // a second mark of one class stays
        {"\xFF name", "\xFF name"},                   // no UTF-8: as it stands
    };
    for (const auto& c : cases)
        EXPECT_EQ(Report_NfcText(c.typed), c.nfc) << c.typed;
}

} // namespace
