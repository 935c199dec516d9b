// Two discs open at once: two genisoimage images in two image drives, each analysed into a Disc of its own,
// listed against isoinfo and read file by file against the files they were made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image_disc.h"
#include "iso9660/disc.h"

namespace fs = std::filesystem;
using testdisc::RunCommand;

namespace {

struct Image {
    std::string name, options; // genisoimage's options: plain names, or Rock Ridge ones
    fs::path source, iso;
    uint16_t device = 0;
};

// What a disc's analysis gives: its paths ("/DIR/NAME", as isoinfo -f lists them) and each file's bytes.
struct Listing {
    int result = 0;
    std::set<std::string> paths;
    std::vector<std::pair<std::string, std::string>> files; // path without ";1", bytes read
};

std::string FileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Walk(Disc& disc, const FileEntry* dir, const std::string& at, std::vector<const FileEntry*>& files,
          std::vector<std::string>& paths, Listing& out) {
    for (const FileEntry* e = dir->firstChild; e; e = e->nextSibling) {
        const std::string path = at + "/" + Iso_EntryName(disc, e);
        out.paths.insert(path);
        if (e->type == 'F') {
            files.push_back(e);
            paths.push_back(
                path.substr(0, path.rfind(";1") == path.size() - 2 ? path.size() - 2 : path.size()));
        } else {
            Walk(disc, e, path, files, paths, out);
        }
    }
}

// The entries of `disc`'s first session; the reads of their bytes are left to the caller.
void List(Disc& disc, std::vector<const FileEntry*>& files, Listing& out) {
    std::vector<std::string> paths;
    const SessionTree* tree = disc.model ? disc.model->firstTree : nullptr;
    if (tree && tree->root)
        Walk(disc, tree->root, "", files, paths, out);
    for (const std::string& p : paths)
        out.files.emplace_back(p, std::string());
}

std::string Read(Disc& disc, const FileEntry& e) {
    const SessionEntry* s = disc.Session(0);
    if (!s || disc.ReadEntry(*s, e) != ISO_OK)
        return "(not read)";
    const auto bytes = disc.FileBytes();
    return std::string(bytes.begin(), bytes.end());
}

class TwoDiscs : public ::testing::Test {
  protected:
    static inline fs::path dir;
    static inline std::vector<Image> images;

    static void SetUpTestSuite() {
        dir = fs::temp_directory_path() / ("ckvd-two-discs-" + std::to_string(getpid()));
        images = {{"A", "", dir / "a", dir / "a.iso"}, {"B", "-R", dir / "b", dir / "b.iso"}};
        // Different trees, sizes and contents; B's Rock Ridge names in lower case.
        for (int n = 0; n < 2; ++n) {
            const fs::path src = images[n].source;
            fs::create_directories(src / (n ? "deep/er/still" : "SUB/LEVEL2"));
            for (int k = 0; k < 12 + 5 * n; ++k) {
                const fs::path f =
                    n ? src / "deep/er" / ("file_" + std::to_string(k) + ".bin")
                      : src / (k % 2 ? "SUB" : "SUB/LEVEL2") / ("F" + std::to_string(k) + ".DAT");
                std::ofstream(f, std::ios::binary)
                    << std::string(size_t(k) * 1531 + 7 + n * 4099, char('a' + k + n));
            }
            std::ofstream(src / (n ? "readme.txt" : "TOP.TXT")) << "disc " << images[n].name << "\n";
            const std::string cmd = "genisoimage -quiet " + images[n].options + " -V " + images[n].name +
                                    " -o " + images[n].iso.string() + " " + src.string();
            ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        }
        std::string error;
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_TRUE(ckvd::drives::SetupDrives({images[0].iso.string(), images[1].iso.string()}, &error))
            << error;
        Aspi_ScanDevices();
        Aspi_AssignRootPaths();
        uint16_t index = 0;
        for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index)
            for (Image& image : images)
                if (std::string(d->driveRootPath) == image.iso.string() + "/") {
                    image.device = index;
                    Aspi_StartStopUnit(index, 1);
                    Aspi_TestUnitReady(index); // a new medium answers UNIT ATTENTION once
                    Aspi_TestUnitReady(index);
                }
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }

    // isoinfo's paths of the image, in the names the analysis shows (Rock Ridge where recorded).
    static std::set<std::string> PeerPaths(const Image& image) {
        std::istringstream lines(RunCommand("isoinfo " + image.options + " -f -i " + image.iso.string()));
        std::set<std::string> paths;
        for (std::string line; std::getline(lines, line);)
            paths.insert(line);
        return paths;
    }

    // The listing and every file's bytes against isoinfo and the files the image was made from.
    static void Check(const Image& image, const Listing& got) {
        SCOPED_TRACE(image.name);
        EXPECT_EQ(got.result, ISO_OK);
        EXPECT_EQ(got.paths, PeerPaths(image));
        ASSERT_FALSE(got.files.empty());
        for (const auto& [path, bytes] : got.files)
            EXPECT_TRUE(bytes == FileBytes(image.source.string() + path)) << path;
    }
};

// Both Discs alive in one process, their files read in turn: each read goes to its own disc and drive.
TEST_F(TwoDiscs, OpenAtOnceAndReadInTurn) {
    std::vector<DiscAnalysis> discs;
    for (const Image& image : images)
        discs.push_back(AnalyzeDisc(image.device));
    std::vector<Listing> listings(2);
    std::vector<std::vector<const FileEntry*>> files(2);
    for (int n = 0; n < 2; ++n) {
        listings[n].result = discs[n].result;
        List(*discs[n].disc, files[n], listings[n]);
    }
    for (size_t k = 0; k < std::max(files[0].size(), files[1].size()); ++k)
        for (int n = 0; n < 2; ++n)
            if (k < files[n].size())
                listings[n].files[k].second = Read(*discs[n].disc, *files[n][k]);
    EXPECT_EQ(g_DiscModel, nullptr); // the facade's current Disc was never touched
    for (int n = 0; n < 2; ++n)
        Check(images[n], listings[n]);
}

// The same two analyses on two threads at once: the Discs share nothing, and each drive command hands its own
// result to the thread that sent it (run under ThreadSanitizer in CI).
TEST_F(TwoDiscs, AnalysedOnTwoThreadsAtOnce) {
    std::vector<Listing> listings(2);
    std::vector<std::thread> threads;
    for (int n = 0; n < 2; ++n)
        threads.emplace_back([n, &listings] {
            DiscAnalysis a = AnalyzeDisc(images[n].device);
            std::vector<const FileEntry*> files;
            listings[n].result = a.result;
            List(*a.disc, files, listings[n]);
            for (size_t k = 0; k < files.size(); ++k)
                listings[n].files[k].second = Read(*a.disc, *files[k]);
        });
    for (std::thread& t : threads)
        t.join();
    for (int n = 0; n < 2; ++n)
        Check(images[n], listings[n]);
}

} // namespace

// The count a worker shows as a load's progress is the disc's folders (the root and each one below it), and
// a load cancelled before it starts reads no folder and says it was cancelled.
TEST_F(TwoDiscs, FoldersCountedAndAStoppedAnalysisEndsCancelled) {
    const Image& image = images[1];
    uint32_t folders = 1;
    for (const auto& e : fs::recursive_directory_iterator(image.source))
        folders += e.is_directory() ? 1 : 0;
    Disc disc;
    ASSERT_EQ(disc.Analyze(image.device), ISO_OK);
    EXPECT_EQ(disc.directoriesRead.load(), folders);

    const std::atomic<bool> stop{true};
    disc.stop = &stop;
    EXPECT_EQ(disc.Analyze(image.device), ISO_ERR_CANCELLED);
    EXPECT_EQ(disc.directoriesRead.load(), 0u);
}
