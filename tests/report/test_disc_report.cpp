// The CSV disc report: discs made by Debian's tools and ckvd-mkdisc, read back with Python's csv module and
// compared with isoinfo, mediainfo, id3v2 and cd-info; a hand-built tree past the 16-bit counts; writes that
// fail; the management number in the profile file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "disc_model_builder.h"
#include "image_disc.h"
#include "report/disc_report.h"
#include "report/report_number.h"

namespace {

namespace fs = std::filesystem;
using testdisc::RunCommand;
using Row = std::vector<std::string>;
using Group = std::vector<Row>;

const std::string kDir = CKVD_REPORT_FIXTURES;
const std::string kTocColumns = "DiscType,MaxSector,SectorSize,Session,Mode,Track,Address,Size,PvdLBN,LeadIn,"
                                "LeadOut,Mode5,NextProgramArea,RecordingAreaLeadOut,,,,,,";
const std::string kTreeColumns = "PathTable Order,ParentDirectory No.,Play Order,Category,Identifier,LBN,"
                                 "Size,Album,Title,Artist,Header Position,Header(Data),MPEG Version,Layer,"
                                 "CRC,CRC(Data),Bitrate(kbps),SamplingFrequency(Hz),Channel,";

Row Split(const std::string& text, char separator) {
    Row parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

std::string Join(const Row& fields) {
    std::string text;
    for (size_t i = 0; i < fields.size(); ++i)
        text += (i ? "," : "") + fields[i];
    return text;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The report as Python's csv module reads it from Shift-JIS (fields in UTF-8), in the groups of lines that
// empty lines set off.
std::vector<Group> ReadCsv(const std::string& path) {
    const std::string out =
        RunCommand("PYTHONIOENCODING=utf-8 python3 -c 'import csv, sys\n"
                   "for r in csv.reader(open(sys.argv[1], encoding=\"cp932\", newline=\"\")):\n"
                   "    print(\"\".join(f + \"\\x1f\" for f in r), end=\"\\x1e\")' '" +
                   path + "'");
    std::vector<Group> groups(1);
    for (const std::string& line : Split(out, '\x1e'))
        line.empty() ? void(groups.emplace_back()) : groups.back().push_back(Split(line, '\x1f'));
    return groups;
}

// mediainfo's values of a fixture file by a --Inform template, split at '|'.
Row Mediainfo(const std::string& name, const std::string& inform) {
    const std::string out =
        RunCommand("mediainfo '--Inform=" + inform + "' '" + kDir + "/files/" + name + "'");
    Row fields = Split(out.substr(0, out.find('\n')), '|');
    fields.resize(std::count(inform.begin(), inform.end(), '|') + 1);
    return fields;
}

// A name as isoinfo prints a Joliet name without a character set: "_" for each character past Latin-1.
std::string AsIsoinfo(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8)
        if (c < 0x80 || c >= 0xC0)
            out += c < 0x80 ? char(c) : '_';
    return out;
}

// The first seven fields of a session tree's lines from isoinfo's listing of that session: directories
// numbered in the order isoinfo lists them (the path table's), each followed by its files in record order,
// then its subdirectories; files numbered from 1 in that order, a directory showing the next file's number.
Group ExpectedTree(const std::string& listing) {
    struct Dir {
        std::string lbn, size, parent;
        Group files;
        Row subdirs;
    };
    std::vector<Dir> dirs;
    std::map<std::string, std::string> names; // extent -> name
    std::map<std::string, size_t> number;     // extent -> directory number
    static const std::regex record(
        R"(^([d-])-{9} +\d+ +\d+ +\d+ +(\d+) \w+ +\d+ \d+ \[ *(\d+) \d+\]  (.*) $)");
    std::smatch m;
    for (const std::string& line : Split(listing, '\n')) {
        if (line.rfind("Directory listing of ", 0) == 0)
            dirs.emplace_back();
        if (dirs.empty() || !std::regex_match(line, m, record))
            continue;
        Dir& d = dirs.back();
        if (m[4] == ".")
            d.lbn = m[3], d.size = m[2], number[m[3]] = dirs.size();
        else if (m[4] == "..")
            d.parent = m[3];
        else if (m[1] == "d")
            d.subdirs.push_back(m[3]), names[m[3]] = m[4];
        else
            d.files.push_back({m[4], m[3], m[2]});
    }
    Group rows;
    uint32_t order = 1;
    std::function<void(size_t)> walk = [&](size_t n) {
        const Dir& d = dirs[n - 1];
        const std::string no = std::to_string(n), parent = std::to_string(number[d.parent]);
        rows.push_back({no, parent, std::to_string(order), n == 1 ? "<Volume>" : "<Directory>", names[d.lbn],
                        d.lbn, d.size});
        for (const Row& f : d.files)
            rows.push_back({no, parent, std::to_string(order++), "File", f[0], f[1], f[2]});
        for (const std::string& sub : d.subdirs)
            walk(number[sub]);
    };
    if (!dirs.empty())
        walk(1);
    return rows;
}

class ReportFixtures : public ::testing::Test {
  protected:
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
        fs::remove(csv_);
    }
    // Loads the image, writes its report as the dialog does and reads it back with Python.
    std::vector<Group> Report(const std::string& image) {
        std::string error;
        EXPECT_EQ(testdisc::LoadImageDisc(kDir + "/" + image, &error), 1) << error;
        DiscReportHeader header{7, "a, \"quoted\"\r\n\x83\x52\x83\x81\x83\x93\x83\x67", {}}; // コメント
        header.time.tm_year = 102, header.time.tm_mon = 9, header.time.tm_mday = 21;
        header.time.tm_hour = 9, header.time.tm_min = 5, header.time.tm_sec = 7;
        EXPECT_EQ(Report_SaveDiscCsv(csv_, header, nullptr, &error), REPORT_OK) << error;
        const std::string bytes = ReadAll(csv_);
        EXPECT_FALSE(std::regex_search(bytes, std::regex("(^|[^\r])\n"))) << "a line not ended by CR LF";
        std::vector<Group> groups = ReadCsv(csv_);
        EXPECT_GE(groups.size(), 4u);
        groups.resize(std::max<size_t>(groups.size(), 4));
        EXPECT_EQ(groups[0].size(), 1u);
        EXPECT_EQ(Join(groups[0].at(0)), "<DCF>,,,,,,,,,,,,,,,,,,,");
        EXPECT_EQ(Join(groups[1].at(0)), "[HEADER],,,,,,,,,,,,,,,,,,,");
        EXPECT_EQ(Join(groups[1].at(1)), "No.,Comment,Date,Time,,,,,,,,,,,,,,,,");
        EXPECT_EQ(groups[1].at(2).at(1), "a, \"quoted\"\r\nコメント"); // whole, line break and all
        EXPECT_EQ(Join(groups[1][2]), "MA000007," + groups[1][2][1] + ",2002.10.21,9:5:7,,,,,,,,,,,,,,,,");
        EXPECT_EQ(Join(groups[2].at(0)), "[TOC Information],,,,,,,,,,,,,,,,,,,");
        EXPECT_EQ(Join(groups[2].at(1)), kTocColumns);
        for (const Group& g : groups)
            for (const Row& r : g)
                EXPECT_TRUE(r.size() == 20 || (r.size() > 7 && r[3] == "File")) << Join(r); // files: by kind
        return groups;
    }
    const std::string csv_ =
        fs::temp_directory_path() / ("ckvd-report-" + std::to_string(::getpid()) + ".csv");
};

TEST_F(ReportFixtures, TwoSessionDataDiscAgreesWithIsoinfoMediainfoAndId3v2) {
    const std::vector<Group> groups = Report("report.cue");
    ASSERT_EQ(groups.size(), 5u);
    // The TOC: the second session where genisoimage -C was told it starts, its volume descriptors 16
    // blocks on; each session's lead-out after its image's blocks; B0 150 blocks before the next session.
    const uint64_t next = std::stoull(Split(ReadAll(kDir + "/msinfo"), ',').at(1));
    const uint64_t end1 = fs::file_size(kDir + "/s1.iso") / 2048,
                   end2 = next + fs::file_size(kDir + "/s2.iso") / 2048;
    const Group& toc = groups[2];
    ASSERT_EQ(toc.size(), 4u);
    const std::string start1 = "CD-ROM," + std::to_string(end2 - 1) + ",2048,1,,1,0,0,16,";
    EXPECT_EQ(Join(toc[2]).substr(0, start1.size()), start1);
    EXPECT_LT(std::stol(toc[2][9]), 0); // the lead-in start lies before 00:00:00
    EXPECT_EQ(toc[2][10] + "," + toc[2][12], std::to_string(end1) + "," + std::to_string(next - 150));
    EXPECT_EQ(Join(Row(toc[3].begin(), toc[3].begin() + 11)),
              "CD-ROM," + std::to_string(end2 - 1) + ",2048,2,,2," + std::to_string(next) + ",0," +
                  std::to_string(next + 16) + ",0," + std::to_string(end2));
    // id3v2 put different texts into this file's two tags: the ID3v2 ones are to be shown.
    ASSERT_NE(RunCommand("id3v2 -l '" + kDir + "/files/01 両方.mp3'").find("Title  : V1 Title"),
              std::string::npos);

    const std::string listings[] = {
        RunCommand("isoinfo -l -J -i '" + kDir + "/s1.iso'"),
        RunCommand("isoinfo -l -J -N " + std::to_string(next) + " -i '" + kDir + "/s2.iso'")};
    Row names;
    for (int session = 1; session <= 2; ++session) {
        SCOPED_TRACE(session);
        const Group expected = ExpectedTree(listings[session - 1]);
        const Group& tree = groups[2 + session];
        ASSERT_EQ(tree.size(), expected.size() + 2);
        const auto files =
            std::count_if(expected.begin(), expected.end(), [](const Row& r) { return r[3] == "File"; });
        EXPECT_EQ(Join(tree[0]), "[DISC Contents],Session[" + std::to_string(session) + "],Dir[" +
                                     std::to_string(expected.size() - files) + "],File[" +
                                     std::to_string(files) + "],,,,,,,,,,,,,,,,");
        EXPECT_EQ(Join(tree[1]), kTreeColumns);
        EXPECT_EQ(tree[2][4], session == 1 ? "REPORT_S1       " : "REPORT_S2       ");
        for (size_t i = 2; i < tree.size(); ++i) {
            const Row& e = tree[i];
            SCOPED_TRACE(e[4]);
            names.push_back(e[4]);
            EXPECT_EQ((Row{e[0], e[1], e[2], e[3], i == 2 ? "" : AsIsoinfo(e[4]), e[5], e[6]}),
                      expected[i - 2]);
            const std::string ext = e[4].substr(e[4].size() - std::min<size_t>(4, e[4].size()));
            Row rest(e.begin() + 7, e.end());
            if (ext == ".mp3") {
                const Row a =
                    Mediainfo(e[4], "Audio;%Format_Version%|%Format_Profile%|%BitRate%|%SamplingRate%|"
                                    "%Format_Settings_Mode%|%Channel(s)%");
                Row expect = Mediainfo(e[4], "General;%Album%|%Title%|%Performer%");
                // The header and the two bytes after it as the file holds them at the position shown.
                std::ifstream in(kDir + "/files/" + e[4], std::ios::binary);
                unsigned char h[6] = {};
                in.seekg(std::stol(rest.at(3))).read(reinterpret_cast<char*>(h), 6);
                char bytes[2][16];
                std::snprintf(bytes[0], 16, "%02X %02X %02X %02X", h[0], h[1], h[2], h[3]);
                std::snprintf(bytes[1], 16, "%02X %02X", h[4], h[5]);
                const bool untagged =
                    e[4] == "03 素.mp3" || e[4] == "04 layer2.mp3"; // no ID3v2 before the frame
                expect.insert(expect.end(), {untagged ? "0" : rest[3], bytes[0],
                                             a[0] == "Version 1"     ? "MPEG-1"
                                             : a[0] == "Version 2.5" ? "MPEG-2.5"
                                                                     : "MPEG-2 or 2.5",
                                             a[1], e[4] == "03 素.mp3" ? "Exist" : "None" /* lame -p */,
                                             bytes[1], std::to_string(std::stoul(a[2]) / 1000), a[3],
                                             a[5] == "1"              ? "Monaural"
                                             : a[4] == "Joint stereo" ? "Joint Stereo"
                                             : a[4] == "Dual mono"    ? "Dual Channel"
                                                                      : "Stereo",
                                             "", ""});
                EXPECT_EQ(rest, expect);
            } else if (ext == ".wma") {
                Row expect = Mediainfo(e[4], "General;%Album%|%Title%|%Performer%");
                // ffmpeg writes a codec name without a description.
                expect.insert(expect.end(), {"", "", Mediainfo(e[4], "Audio;%CodecID_Description%")[0], "",
                                             "", "", "", "", ""});
                EXPECT_EQ(rest, expect);
                EXPECT_TRUE(e[4] != "untagged.wma" || Join(Row(e.begin() + 7, e.begin() + 10)) == ",,");
            } else {
                EXPECT_EQ(rest, Row(13, ""));
            }
        }
    }
    for (const char* name : {"音楽", "アルバム 一", "ディスク 2", "波.wav", "01 両方.mp3", "03 素.mp3",
                             "メモ.txt", "a, \"b\".txt", "追加", "夜.mp3", "低.mp3"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
}

TEST_F(ReportFixtures, AudioDiscTocAndTrackFilesAgreeWithCdInfo) {
    const std::vector<Group> groups = Report("audio.cue");
    const std::string info =
        RunCommand("cd-info --no-device-info --no-cddb -q -i '" + kDir + "/audio.cue' 2>/dev/null");
    static const std::regex line(R"(\n *\d+: \d\d:\d\d:\d\d +(\d+) (audio|leadout))");
    Row starts; // the lead-out last
    for (std::sregex_iterator m(info.begin(), info.end(), line), end; m != end; ++m)
        starts.push_back((*m)[1]);
    ASSERT_EQ(starts.size(), 4u) << info;
    ASSERT_EQ(groups.size(), 4u);
    ASSERT_EQ(groups[2].size(), 5u);
    ASSERT_EQ(groups[3].size(), 6u);
    EXPECT_EQ(Join(groups[3][0]), "[DISC Contents],Session[1],Dir[1],File[3],,,,,,,,,,,,,,,,");
    EXPECT_EQ(Join(groups[3][2]), "0,0,1,<Volume>,Audio CD,0,0,,,,,,,,,,,,,");
    for (size_t i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i + 1), at = std::to_string(std::stol(starts[i])),
                          size = std::to_string(std::stol(starts[i + 1]) - std::stol(starts[i]));
        const std::string end = std::to_string(std::stol(starts[3]));
        EXPECT_EQ(Join(groups[2][i + 2]), "Audio," + std::to_string(std::stol(end) - 1) + ",2048,1,," + n +
                                              "," + at + "," + size + ",0,0," + end + ",0x00,0,0,,,,,,");
        EXPECT_EQ(Join(groups[3][i + 3]),
                  "0,0," + n + ",File,Track0" + n + ".cda," + at + "," + size + ",,,,,,,,,,,,,");
    }
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
    std::string csv;
    uint32_t calls = 0, last = 0, total = 0;
    const auto sink = [&](std::string_view bytes) { return csv.append(bytes), true; };
    EXPECT_EQ(Report_WriteDiscCsv({}, sink,
                                  [&](int, uint32_t done, uint32_t n) { ++calls, last = done, total = n; }),
              REPORT_OK);
    EXPECT_EQ(std::to_string(calls) + " " + std::to_string(last) + " " + std::to_string(total),
              "65538 65538 65538");
    const Row lines = Split(csv, '\n');
    ASSERT_EQ(lines.size(), 15u + 257u * 256u + 2u);
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
