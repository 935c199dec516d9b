// The CSV disc report over a hand-built tree past the 16-bit counts, writes that fail, and the management
// number in the profile file (the report of recorded discs: test_report_csv.py).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "disc_model_builder.h"
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

TEST(DiscReport, HandBuiltTreePastSixteenBitCountsWithTheWidestValues) {
    DiscModelBuilder disc;
    BuildWideDisc(disc);
    // The header with a time of single digits: no zero padding.
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
    EXPECT_EQ(csv.substr(0, csv.find("\r\nCD-ROM")),
              "<DCF>,,,,,,,,,,,,,,,,,,,\r\n\r\n"
              "[HEADER],,,,,,,,,,,,,,,,,,,\r\n"
              "No.,Comment,Date,Time,,,,,,,,,,,,,,,,\r\n"
              "MA000007,memo,2002.10.1,9:5:7,,,,,,,,,,,,,,,,\r\n\r\n"
              "[TOC Information],,,,,,,,,,,,,,,,,,,\r\n"
              "DiscType,MaxSector,SectorSize,Session,Mode,Track,Address,"
              "Size,PvdLBN,LeadIn,LeadOut,Mode5,NextProgramArea,"
              "RecordingAreaLeadOut,,,,,,");
    EXPECT_EQ(lines[12], "PathTable Order,ParentDirectory No.,Play Order,Category,Identifier,LBN,Size,Album,"
                         "Title,Artist,Header Position,Header(Data),MPEG Version,Layer,CRC,CRC(Data),"
                         "Bitrate(kbps),SamplingFrequency(Hz),Channel,\r");
    EXPECT_EQ(lines[8], "CD-ROM,1000,2048,1,,1,0,0,16,-11634,0,0x00,0,0,,,,,,\r");
    EXPECT_EQ(lines[9], "CD-XA,1000,2048,2,,2,11761,0,0,0,0,0x00,0,0,,,,,,\r");
    EXPECT_EQ(lines[11], "[DISC Contents],Session[1],Dir[259],File[65538],,,,,,,,,,,,,,,,\r");
    EXPECT_EQ(lines[13] + lines[14] + lines[15] + lines[16], "1,1,1,<Volume>,WIDE,0,0,,,,,,,,,,,,,\r"
                                                             "1,1,1,File,R.TXT,30,1,,,,,,,,,,,,,\r"
                                                             "2,1,2,<Directory>,D,20,2048,,,,,,,,,,,,,\r"
                                                             "2,1,2,File,F.TXT,40,0,,,,,,,,,,,,,\r");
    EXPECT_EQ(lines[15 + 257], "3,1,258,<Directory>,D,20,2048,,,,,,,,,,,,,\r");
    EXPECT_EQ(lines[15 + 257 * 256 - 1], "257,1,65537,File,F.TXT,65575,65535,,,,,,,,,,,,,\r");
    EXPECT_EQ(lines[15 + 257 * 256], "258,1,65538,<Directory>,B,20,2048,,,,,,,,,,,,,\r");
    EXPECT_EQ(lines.back(), "258,1,65538,File,WIDE.TXT,4294967295,4294967295,,,,,,,,,,,,,\r");
}

TEST(DiscReport, FailedWritesLeaveThePathAsItWasAndNoOtherFile) {
    DiscModelBuilder disc;
    BuildWideDisc(disc);
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

} // namespace
