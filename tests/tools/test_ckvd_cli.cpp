// The command-line companion on the demo discs: its output formats are what users' scripts parse.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);)
            v.push_back(l);
        return v;
    }
};

// A shell command line, its output and status.
CliRun shell(const std::string& command) {
    CliRun r;
    std::string cmd = command + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

CliRun run(const std::string& args) {
    return shell(std::string(CKVD_BIN) + " " + args);
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        f.push_back(w);
    return f;
}

bool contains_line(const CliRun& r, const std::string& needle) {
    for (const auto& l : r.lines())
        if (l.find(needle) != std::string::npos)
            return true;
    return false;
}

// Each of `needles` on some line of the output.
void expect_lines(const CliRun& r, const std::vector<std::string>& needles) {
    for (const std::string& needle : needles)
        EXPECT_TRUE(contains_line(r, needle)) << needle << "\n" << r.out;
}

} // namespace

TEST(CkvdCli, DrivesListsBothDemoDrivesReady) {
    CliRun r = run("drives --demo");
    ASSERT_EQ(r.status, 0) << r.out;
    auto lines = r.lines();
    ASSERT_EQ(lines.size(), 3u) << r.out; // header and two drives
    EXPECT_EQ(lines[0][0], '#');
    EXPECT_NE(lines[1].find("0  1:0  \""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("demo-data.cue  ready"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("1  1:1  \""), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("demo-audio.cue  ready"), std::string::npos) << lines[2];
    // Vendor and product keep their blanks: 8 and 16 characters between the quotes.
    auto q = lines[1].find('"');
    auto q2 = lines[1].find('"', q + 1);
    EXPECT_EQ(q2 - q - 1, 8u) << lines[1];
    auto q3 = lines[1].find('"', q2 + 1);
    auto q4 = lines[1].find('"', q3 + 1);
    EXPECT_EQ(q4 - q3 - 1, 16u) << lines[1];
}

TEST(CkvdCli, TocOfTheTwoSessionDemoDisc) {
    CliRun r = run("toc demo");
    ASSERT_EQ(r.status, 0) << r.out;
    auto lines = r.lines();
    ASSERT_EQ(lines.size(), 4u) << r.out;
    auto s1 = fields(lines[0]), t1 = fields(lines[1]), s2 = fields(lines[2]), t2 = fields(lines[3]);
    ASSERT_EQ(s1.size(), 8u);
    ASSERT_EQ(t1.size(), 6u);
    using Row = std::vector<std::string>;
    EXPECT_EQ((Row{s1[0], s1[1], s1[2], s1[4], s2[1]}), (Row{"session", "1", "CD-ROM", "2048", "2"}));
    EXPECT_EQ((Row{t1[0], t1[1], t1[3], t1[5], t2[1]}), (Row{"1", "1", "0", "16", "2"}));
    // The second session starts where a recorder puts it: lead-out of session 1 + 6750 + 4500 + 150.
    long leadout1 = std::stol(s1[6]);
    long start2 = std::stol(t2[3]);
    EXPECT_EQ(start2, leadout1 + 11400);
    EXPECT_EQ(std::stol(t2[5]), start2 + 16);
    // Session 1's B0 names the program area of session 2 (150 pregap sectors before its track).
    EXPECT_EQ(std::stol(s1[7]), start2 - 150);
    // Session 1's C0 lead-in start (97:xx:xx) lies in the lead-in: a negative address, printed signed.
    EXPECT_LT(std::stol(s1[5]), 0) << lines[0];
    EXPECT_GT(std::stol(s1[5]), -22500) << lines[0];
}

TEST(CkvdCli, TocIsShownWhenTheDiscHasNoIso9660FileSystem) {
    // Twenty blocks of zeros: a data track whose block 16 is no volume descriptor (as on a UDF-only disc).
    char path[] = "/tmp/ckvd-cli-noiso-XXXXXX.iso";
    int fd = mkstemps(path, 4);
    ASSERT_GE(fd, 0);
    const std::string zeros(20 * 2048, '\0');
    ASSERT_EQ(write(fd, zeros.data(), zeros.size()), ssize_t(zeros.size()));
    close(fd);
    CliRun r = run(std::string("toc ") + path);
    unlink(path);
    EXPECT_EQ(r.status, 1) << r.out;
    auto lines = r.lines();
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(fields(lines[0])[0], "session");
    EXPECT_EQ(fields(lines[1])[1], "1");
    EXPECT_EQ(lines[2], "ckvd: ISO9660 FileSystem Analyze Error Code 1002");
}

TEST(CkvdCli, LsShowsJolietJapaneseNamesInBothSessions) {
    CliRun all = run("ls demo");
    ASSERT_EQ(all.status, 0) << all.out;
    expect_lines(all, {"(Session1) CKVD_DEMO_S1", "(Session2) CKVD_DEMO_S2",
                       "/音楽/アルバム 一/01 さくら.mp3", "/音楽/アルバム 二/ボーナス/Evening.wma"});

    CliRun s2 = run("ls --session 2 demo");
    ASSERT_EQ(s2.status, 0) << s2.out;
    auto lines = s2.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("(Session2) CKVD_DEMO_S2", 0), 0u) << lines[0]; // the volume id keeps its blanks
    expect_lines(s2, {"/追加/夜.mp3", "/README.TXT"}); // README.TXT merged from session 1 by -M
    EXPECT_FALSE(contains_line(s2, "(Session1)"));
    // Every entry line: type, LBN, size, date, time, path; directories before their contents.
    bool sawDir = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        auto f = fields(lines[i]);
        ASSERT_GE(f.size(), 5u) << lines[i];
        ASSERT_TRUE(f[0] == "D" || f[0] == "F") << lines[i];
        EXPECT_EQ(f[3].size(), 10u) << lines[i];
        EXPECT_EQ(f[4].size(), 8u) << lines[i];
        EXPECT_EQ(lines[i].find("  /") != std::string::npos, true) << lines[i];
        if (lines[i].find("/追加/夜.mp3") != std::string::npos) {
            EXPECT_TRUE(sawDir);
        }
        if (f[0] == "D" && lines[i].find("/追加") != std::string::npos)
            sawDir = true;
    }
}

TEST(CkvdCli, AudioDemoDiscBecomesTrackFiles) {
    CliRun toc = run("toc demo-audio");
    ASSERT_EQ(toc.status, 0) << toc.out;
    auto lines = toc.lines();
    ASSERT_EQ(lines.size(), 5u) << toc.out;
    EXPECT_EQ(fields(lines[0])[2], "Audio");
    EXPECT_EQ(fields(lines[1])[3], "0");
    EXPECT_EQ(fields(lines[1])[5], "0"); // an audio CD has no volume descriptors
    // Tracks follow each other: address + size = next address.
    for (int i = 1; i < 4; ++i) {
        auto a = fields(lines[i]), b = fields(lines[i + 1]);
        EXPECT_EQ(std::stol(a[3]) + std::stol(a[4]), std::stol(b[3])) << lines[i];
    }
    CliRun ls = run("ls demo-audio");
    ASSERT_EQ(ls.status, 0) << ls.out;
    expect_lines(ls, {"(Session1) Audio CD", "1995-01-01", "/Track01.cda", "/Track04.cda"});
    EXPECT_FALSE(contains_line(ls, "/Track05.cda"));
}

TEST(CkvdCli, InfoPrintsWhatTheDialogShowsAndGetCopiesTheFile) {
    // The demo's MP3: lame -b 128 of a 44.1 kHz tone, tagged by id3v2 (ID3v1.1 and ID3v2.3) as "Sakura".
    CliRun mp3 = run("info demo '/音楽/アルバム 一/01 さくら.mp3'");
    ASSERT_EQ(mp3.status, 0) << mp3.out;
    expect_lines(mp3, {"Identifier: 01 さくら.mp3", "ID3 TagVersion: v1.1", "ID3 TagVersion: v2.3",
                       "Title: Sakura", "Artist: CKVD Demo Artist", "Genre: (12)", "Bitrate: 128 kbps",
                       "Sampling Freq.: 44100 Hz", "Version: MPEG-1", "Layer: Layer 3"});
    // The demo's WMA: ffmpeg wmav2 at 64 kbit/s titled "Evening".
    CliRun wma = run("info demo '/音楽/アルバム 二/ボーナス/Evening.wma'");
    ASSERT_EQ(wma.status, 0) << wma.out;
    expect_lines(wma, {"Title: Evening", "Bitrate: 64000 bps"});
    // The demo's WAV: sox, one second of 16-bit stereo pink noise at 44.1 kHz.
    CliRun wav = run("info demo '/音楽/アルバム 二/波の音.wav'");
    ASSERT_EQ(wav.status, 0) << wav.out;
    expect_lines(wav, {"Format: 0x0001", "Sampling Freq.: 44100 Hz", "Channel: 2 channels",
                       "Sample: 16 bits/sample", "Length:  0: 1"});
    // The demo audio CD's second track: 3 s from frame 150.
    CliRun cda = run("info demo-audio Track02.cda");
    ASSERT_EQ(cda.status, 0) << cda.out;
    expect_lines(cda, {"Number of Track: 02", "Track Start Address: 150", "Track Size: 225"});
    EXPECT_TRUE(std::regex_search(cda.out, std::regex("(^|\n)Disc Serial Number: [0-9A-F]{8}\n"))) << cda.out;
    CliRun text = run("info demo /README.TXT");
    EXPECT_EQ(text.status, 1);
    expect_lines(text, {"This format isn't being supported."});
    EXPECT_EQ(run("info demo /NO/SUCH").status, 1);
    // Several files in one run: each block after its path; one that no analyzer takes fails the run.
    CliRun both = run("info demo '/音楽/アルバム 二/ボーナス/Evening.wma' /README.TXT");
    EXPECT_EQ(both.status, 1);
    EXPECT_EQ(both.lines()[0], "Path: /音楽/アルバム 二/ボーナス/Evening.wma") << both.out;
    expect_lines(both, {"Title: Evening", "Path: /README.TXT"});

    // An ID3v1 title of 8-bit Chinese (GBK) whose last byte is a Shift-JIS lead byte (歌 is B8 E8), after
    // lame's frames: each value is converted on its own, so the title keeps to its line; a control character
    // shows as \xNN.
    char dir[] = "/tmp/ckvd-cli-get-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir;
    std::string tag = std::string("TAG") + "GBK title \xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA\xC3\xFB\xB3\xC6" +
                      "\xBA\xDC\xB3\xA4\xB5\xC4\xB8\xE8" + "Someone";
    tag.resize(63, '\0');
    tag += "Tab\there";
    tag.resize(127, '\0');
    tag += '\xFF';
    std::filesystem::create_directory(d + "/disc");
    CliRun made = shell("sox -q -n -r 44100 -c 1 " + d + "/t.wav synth 0.3 sine 440 && lame --silent " + d +
                        "/t.wav " + d + "/disc/gbk.mp3");
    ASSERT_EQ(made.status, 0) << made.out;
    std::ofstream(d + "/disc/gbk.mp3", std::ios::app | std::ios::binary) << tag;
    ASSERT_EQ(shell("genisoimage -quiet -J -o " + d + "/gbk.iso " + d + "/disc").status, 0);
    CliRun gbk = run("info " + d + "/gbk.iso /gbk.mp3");
    ASSERT_EQ(gbk.status, 0) << gbk.out;
    EXPECT_TRUE(std::regex_search(
        gbk.out, std::regex("\nTitle: GBK title [^\n]+\nArtist: Someone\nAlbum: Tab\\\\x09here\n")))
        << gbk.out;
    CliRun json = run("info --json " + d + "/gbk.iso /gbk.mp3");
    expect_lines(json, {R"({"label":"Artist","value":"Someone"})"});

    // get: the same bytes as isoinfo extracts from the first session's image.
    const std::string out = d + "/readme";
    CliRun get = run("get --session 1 demo /README.TXT " + out);
    EXPECT_EQ(get.status, 0) << get.out;
    CliRun same = shell("isoinfo -i " + std::string(std::getenv("CKVD_DEMO_DIR")) +
                        "/demo-data.bin -x '/README.TXT;1' | cmp - " + out + " && echo same");
    EXPECT_NE(same.out.find("same"), std::string::npos) << same.out;
    EXPECT_EQ(run("get demo /README.TXT /nonexistent-dir/x").status, 1);
    std::system(("rm -rf " + std::string(dir)).c_str());
}

// A missing image and wrong usages: test_ckvd_json.py, with the other exit statuses.
TEST(CkvdCli, FailuresAreReportedWithNonZeroStatus) {
    CliRun badSession = run("ls --session 9 demo");
    EXPECT_EQ(badSession.status, 1) << badSession.out;

    // A listing that cannot be written is a failure.
    CliRun full = shell(std::string(CKVD_BIN) + " ls demo >/dev/full");
    EXPECT_EQ(full.status, 1) << full.out;
}

TEST(CkvdCli, ReportTakesTheGivenOrTheStoredNumberAndStoresTheNextAfterAWrittenReport) {
    char dir[] = "/tmp/ckvd-cli-report-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir, profile = d + "/cfg/ckvd-explorer/profile.ini";
    auto report = [&d](const std::string& args) {
        return shell("XDG_CONFIG_HOME=" + d + "/cfg " + CKVD_BIN + " report " + args);
    };
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    CliRun given = report("demo --number 5 --comment 'メモ, \"x\"' -o " + d + "/a.csv");
    EXPECT_EQ(given.status, 0) << given.out;
    // The comment in Shift-JIS (メモ is 83 81 83 82), quoted for its comma and quotes.
    EXPECT_NE(read(d + "/a.csv").find("\r\nMA000005,\"\x83\x81\x83\x82, \"\"x\"\"\",20"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(d + "/cfg"));
    // What Shift-JIS cannot hold is folded as Joliet names are ("é" to "e", "☃" to "?"), and said.
    CliRun folded = report("demo --number 6 --comment 'Café ☃ é' -o " + d + "/f.csv");
    EXPECT_EQ(folded.status, 0) << folded.out;
    EXPECT_NE(read(d + "/f.csv").find("\r\nMA000006,Cafe ? e,20"), std::string::npos);
    expect_lines(folded, {"ckvd: comment: \"é\" written as \"e\", \"☃\" as \"?\""});

    // The number among other values and sections (the desktop program's profile), another section's
    // DISCMNGRNO not being it.
    const std::string head = "[Recent Images]\nImage1=/a b.cue\n\n[CkvdExplorer Settings]\nX=30\nDISCMNGRNO=",
                      tail = "\nCX=700\n\n[Other]\nDISCMNGRNO=9\n";
    std::filesystem::create_directories(d + "/cfg/ckvd-explorer");
    std::ofstream(profile) << head << 41 << tail;
    CliRun failed = report("demo -o /nonexistent-dir/x.csv");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("/nonexistent-dir/x.csv"), std::string::npos) << failed.out;
    EXPECT_EQ(read(profile), head + "41" + tail);
    CliRun stored = report("demo -o " + d + "/b.csv");
    EXPECT_EQ(stored.status, 0) << stored.out;
    EXPECT_NE(read(d + "/b.csv").find("\r\nMA000041,,"), std::string::npos);
    EXPECT_EQ(read(profile), head + "42" + tail);
    // The largest number stays the next one, as after a report written from the window.
    std::ofstream(profile) << "[CkvdExplorer Settings]\nDISCMNGRNO=2147483647\n";
    EXPECT_EQ(report("demo -o " + d + "/c.csv").status, 0);
    EXPECT_EQ(read(profile), "[CkvdExplorer Settings]\nDISCMNGRNO=2147483647\n");

    for (const char* usage :
         {"demo", "-o x.csv", "demo --number 12x -o x.csv", "demo --number 99999999999 -o x.csv",
          "demo demo-audio -o x.csv", "demo -o x.csv --comment"})
        EXPECT_EQ(report(usage).status, 2) << usage;
    EXPECT_FALSE(std::filesystem::exists("x.csv"));
    std::filesystem::remove_all(d);
}

TEST(CkvdCli, InfoShowsTagTextsAsRecordedWhileTheReportKeepsTheirShiftJisForms) {
    // The MP3 and WMA fixtures' texts as eyeD3, mid3v2 and ffmpeg were given them (mutagen and ffprobe read
    // them back alike), and the ID3v1 title, Latin-1 as ID3 defines it.
    const std::string dir = CKVD_FIXTURE_DIR;
    const std::pair<std::string, std::vector<std::string>> files[] = {
        {"mp3/mp3.iso /intl23.mp3",
         {"ID3 TagVersion: v2.3", "Title: Dvo\u0159\u00E1k: Rusalka",
          "Artist: \u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \U0001F3B5",
          "Album: \uD55C\uAD6D\uC5B4 \uC568\uBC94"}},
        {"mp3/mp3.iso /intl24.mp3",
         {"ID3 TagVersion: v1.0",
          "Title: Gro\u00DF"
          "e",
          "ID3 TagVersion: v2.4", "Title: \uD55C\uAD6D\uC5B4 \U0001F3B5", "Artist: Dvo\u0159\u00E1k"}},
        {"asf/asf.iso /intl.wma",
         {"Title: Gro\u00DF"
          "e \u00DC"
          "bung",
          "Auther: Artist \U0001F3B5 Dvo\u0159\u00E1k"}}};
    for (const auto& [args, lines] : files) {
        CliRun info = run("info " + dir + "/" + args);
        ASSERT_EQ(info.status, 0) << info.out;
        expect_lines(info, lines);
    }
    // The report's Title column: Latin-1 letters folded to their ASCII look-alikes, "?" for a character
    // without a JIS X 0208 code (bytes of the file, which is Shift-JIS).
    const std::string csv =
        std::filesystem::temp_directory_path() / ("ckvd-intl-" + std::to_string(getpid()));
    for (const auto& [image, title] :
         {std::pair<std::string, std::string>{"mp3/mp3.iso", ",Dvo?ak: Rusalka,"},
          {"asf/asf.iso", ",GroBe Ubung,"}}) {
        CliRun report = shell("XDG_CONFIG_HOME=" + csv + ".cfg " + CKVD_BIN + " report " + dir + "/" + image +
                              " --number 1 -o " + csv);
        ASSERT_EQ(report.status, 0) << report.out;
        std::ifstream in(csv, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_NE(bytes.find(title), std::string::npos) << title;
    }
    std::filesystem::remove(csv);
    std::filesystem::remove_all(csv + ".cfg");
}

TEST(CkvdCli, NavPrintsWhatTheViewerShows) {
    // The demo's second session: ckvd-mknav's files for 追加 (夜.mp3, 波.wav, cover 夜.jpg), 追加/写真 and
    // 追加/動画; three playlists come first, so the first audio file is CID 4.
    CliRun contents = run("nav demo /CONTENTS.LMX");
    ASSERT_EQ(contents.status, 0) << contents.out;
    EXPECT_EQ(contents.lines()[0], "CONTENTS.LMX");
    expect_lines(contents, {"Identifier: CNTLMX01", "Number of Audio files: 2(0x00000002)",
                            "Size of video Entry: 44(0x002C)", "1041(0x00000411) : 0(0x00000000)",
                            "Directory Table", "Video File Table"});
    EXPECT_TRUE(std::regex_search(contents.out, std::regex("\n4\\(0x00000004\\)\t[^\n]*\t夜\\.mp3\n")))
        << contents.out;
    EXPECT_TRUE(std::regex_search(contents.out, std::regex("\n10\\(0x0000000A\\)\t[^\n]*\tテスト\\.avi\n")))
        << contents.out;
    // A playlist: its group's part after the tree, the file's name last.
    CliRun photos = run("nav demo /PLAY0002.LMX");
    ASSERT_EQ(photos.status, 0) << photos.out;
    expect_lines(photos, {"< Playlist Group Viewer >", "Group 1", "Number of Image Files: 2(0x00000002)"});
    EXPECT_EQ(photos.lines().back(), "Playlist File Name: PLAY0002.LMX");
    // LSN.LMX: CID 1 is PLAY0001.LMX, at the sector `ls` finds it.
    CliRun ls = run("ls --session 2 demo");
    std::smatch at;
    ASSERT_TRUE(std::regex_search(ls.out, at, std::regex("F  ([0-9]+)  [0-9]+  [^\n]*/PLAY0001\\.LMX")))
        << ls.out;
    CliRun lsn = run("nav demo /LSN.LMX");
    ASSERT_EQ(lsn.status, 0) << lsn.out;
    expect_lines(lsn, {"LSN for CID\tFile Size for CID"});
    EXPECT_TRUE(
        std::regex_search(lsn.out, std::regex("\nLSN for CID\tFile Size for CID\n" + at[1].str() + "\\(")))
        << lsn.out;

    CliRun text = run("nav demo /README.TXT");
    EXPECT_EQ(text.status, 1);
    expect_lines(text, {"/README.TXT is not a navigation file (.LMX)"});
    EXPECT_EQ(run("nav --session 1 demo /CONTENTS.LMX").status, 1);
    EXPECT_EQ(run("nav demo").status, 2);
}
