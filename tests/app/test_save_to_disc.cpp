// Save to Disc over a disc made by genisoimage: byte-identical copies of files around the 32-sector chunk,
// and the outcome of a read error, a cancelled dialog, a path that cannot be created and a full disk. Then
// several rows and folders into a folder, and audio tracks saved as the WAV files bchunk writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "appmodel/first_drive.h"
#include "appmodel/save_to_disc.h"
#include "appmodel/tree_copy.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "platform/aspi32/drive_setup.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Accepts `limit` bytes, then fails as a full disk does.
class FullDisk final : public SaveWriter {
  public:
    explicit FullDisk(size_t limit) : m_limit(limit) {}
    bool Write(const uint8_t*, size_t length) override {
        if (m_taken + length > m_limit)
            return false;
        m_taken += length;
        return true;
    }
    bool Close() override { return true; }

  private:
    size_t m_limit, m_taken = 0;
};

class SaveToDisc : public ::testing::Test {
  protected:
    static constexpr uint64_t kSizes[] = {0, 100, 65536, 65537, 131072};
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ckvd-save-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "src");
        std::mt19937 random(7);
        for (uint64_t size : kSizes) {
            std::string bytes(size, '\0');
            for (auto& b : bytes)
                b = char(random());
            std::ofstream(dir_ / "src" / ("F" + std::to_string(size) + ".BIN"), std::ios::binary) << bytes;
        }
        image_ = (dir_ / "save.iso").string();
        const std::string cmd = "genisoimage -quiet -o '" + image_ + "' '" + (dir_ / "src").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "genisoimage is needed";
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_EQ(Iso_Initialize(), 1);
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives({image_}, &error)) << error;
        const int device = App_StartFirstDrive(true, sink_, false);
        ASSERT_GE(device, 0);
        ASSERT_EQ(Iso_AnalyzeDisc(uint16_t(device)), 1);
        g_CurrentSession = 0;
        entries_ = g_DiscModel->firstTree->root->firstChild;
    }
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
        fs::remove_all(dir_);
    }
    int RowOf(uint64_t size) const {
        int row = 0;
        for (const FileEntry* e = entries_; e; e = e->nextSibling, ++row)
            if (e->size == size)
                return row;
        return -1;
    }
    FileEntry* Entry(uint64_t size) const {
        for (const FileEntry* e = entries_; e; e = e->nextSibling)
            if (e->size == size)
                return const_cast<FileEntry*>(e);
        return nullptr;
    }
    std::string Source(uint64_t size) const {
        return ReadAll(dir_ / "src" / ("F" + std::to_string(size) + ".BIN"));
    }
    CSaveToDiscDlgModel Dialog(uint64_t size, const std::string& dest) {
        CSaveToDiscDlgModel dlg(sink_, entries_, RowOf(size));
        dlg.chooseFile = [this, dest](const std::string& proposed) {
            proposed_ = proposed;
            return dest;
        };
        return dlg;
    }
    fs::path dir_;
    std::string image_, proposed_;
    ckvd::ui::RecordingSink sink_;
    const FileEntry* entries_ = nullptr;
};

TEST_F(SaveToDisc, CopiesAroundTheChunkAreByteIdentical) {
    for (uint64_t size : kSizes) {
        const fs::path out = dir_ / ("out" + std::to_string(size));
        CSaveToDiscDlgModel dlg = Dialog(size, out.string());
        uint64_t range = 0, steps = 0, last = 0;
        dlg.setRange = [&](uint64_t max) { range = max; };
        dlg.progress = [&](uint64_t written) {
            ++steps;
            last = written;
        };
        const SaveOutcome o = dlg.OnShowWindow();
        EXPECT_EQ(o.result, SaveResult::Ok) << size;
        EXPECT_EQ(proposed_, "F" + std::to_string(size) + ".BIN;1"); // the name as the disc model holds it
        EXPECT_EQ(ReadAll(out), Source(size)) << size;
        EXPECT_EQ(range, size);
        EXPECT_EQ(last, size);
        EXPECT_EQ(steps, (size + 65535) / 65536) << size; // one step per chunk of 32 sectors
    }
    EXPECT_TRUE(sink_.shown.empty());
}

// A file recorded in two extents (here the entries of F65536 and F65537 marked so in the model): either row
// saves the whole file from its first extent, one progress range over both. Then a cancelled dialog, a path
// that cannot be created, a full disk and a read error.
TEST_F(SaveToDisc, EveryExtentOfAFileIsSavedAndFailuresSayWhatHappenedAndKeepWhatWasRead) {
    FileEntry* first = Entry(65536);
    ASSERT_TRUE(first && first->nextSibling && first->nextSibling->size == 65537);
    first->flags = ISO_EXTENT_MORE;
    first->nextSibling->flags = ISO_EXTENT_CONTINUED;
    // A Rock Ridge link's row saves nothing and says why (F100's entry marked so in the model).
    FileEntry* link = Entry(100);
    ASSERT_NE(link, nullptr);
    link->flags = ISO_SYMLINK;
    iso_internal::g_SymlinkTargets[link] = "F0.BIN";
    EXPECT_EQ(Dialog(100, (dir_ / "link").string()).OnShowWindow().result, SaveResult::ReadError);
    EXPECT_EQ(sink_.shown,
              std::vector<std::string>{"F100.BIN;1 is a symbolic link to F0.BIN: it has no data to save."});
    EXPECT_FALSE(fs::exists(dir_ / "link"));
    sink_.shown.clear();
    for (uint64_t row : {65536u, 65537u}) {
        const fs::path out = dir_ / ("extents" + std::to_string(row));
        CSaveToDiscDlgModel dlg = Dialog(row, out.string());
        uint64_t range = 0;
        dlg.setRange = [&](uint64_t max) { range = max; };
        EXPECT_EQ(dlg.OnShowWindow().result, SaveResult::Ok);
        EXPECT_EQ(proposed_, "F65536.BIN;1");
        EXPECT_EQ(range, 131073u);
        EXPECT_EQ(ReadAll(out), Source(65536) + Source(65537));
    }

    sink_.shown.clear();
    // Cancelled: nothing written, no message.
    EXPECT_EQ(Dialog(0, "").OnShowWindow().result, SaveResult::Ok);
    EXPECT_TRUE(sink_.shown.empty());
    // A path that cannot be created.
    EXPECT_EQ(Dialog(0, (dir_ / "no" / "such" / "dir").string()).OnShowWindow().result,
              SaveResult::WriteError);
    // A full disk after the first chunk.
    CSaveToDiscDlgModel full = Dialog(131072, (dir_ / "full").string());
    full.openFile = [](const std::string&) { return std::make_unique<FullDisk>(65536); };
    const SaveOutcome f = full.OnShowWindow();
    EXPECT_EQ(f.result, SaveResult::WriteError);
    EXPECT_EQ(f.written, 65536u);
    EXPECT_EQ(sink_.shown,
              (std::vector<std::string>{"Sorry, Cannot Create the File...", "Sorry, Disc Write Error..."}));

    // A read error in the second chunk: the image ends there. The first chunk stays in the file.
    const FileEntry* e = Entry(131072);
    ASSERT_NE(e, nullptr);
    fs::resize_file(image_, uint64_t(e->lbn + 32) * 2048);
    const fs::path out = dir_ / "damaged";
    const SaveOutcome r = Dialog(131072, out.string()).OnShowWindow();
    EXPECT_EQ(r.result, SaveResult::ReadError);
    EXPECT_EQ(r.failedLba, e->lbn + 32);
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(ReadAll(out), Source(131072).substr(0, 65536));
    EXPECT_EQ(sink_.shown.back(), "Sorry, Disc Read Error...");
}

// Every regular file below `root`, by its path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& f : fs::recursive_directory_iterator(root))
        if (f.is_regular_file() && !f.is_symlink())
            files[fs::relative(f.path(), root).string()] = ReadAll(f.path());
    return files;
}

// A disc of a folder tree (genisoimage, Rock Ridge and Joliet), or the demo audio disc, loaded in an image
// drive; the entries shown for its root.
class SaveMany : public ::testing::Test {
  protected:
    void Load(const std::string& image) {
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_EQ(Iso_Initialize(), 1);
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives({image}, &error)) << error;
        const int device = App_StartFirstDrive(true, sink_, false);
        ASSERT_GE(device, 0);
        ASSERT_EQ(Iso_AnalyzeDisc(uint16_t(device)), 1);
        g_CurrentSession = 0;
        root_ = g_DiscModel->firstTree->root->firstChild;
    }
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ckvd-save-many-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        std::mt19937 random(11);
        for (auto [path, size] : std::vector<std::pair<std::string, size_t>>{
                 {"A.BIN", 100000}, {"B.TXT", 0}, {"D1/C.BIN", 200000}, {"D1/D2/E.BIN", 70000}}) {
            fs::create_directories((dir_ / "src" / path).parent_path());
            std::string bytes(size, '\0');
            for (auto& b : bytes)
                b = char(random());
            std::ofstream(dir_ / "src" / path, std::ios::binary) << bytes;
        }
    }
    void LoadTree() {
        image_ = (dir_ / "tree.iso").string();
        const std::string cmd =
            "genisoimage -quiet -R -J -o '" + image_ + "' '" + (dir_ / "src").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "genisoimage is needed";
        Load(image_);
    }
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
        fs::remove_all(dir_);
    }
    // Save to Disc on the rows named, into `dest`, stopped by `stop`.
    TreeCopyResult Save(const std::vector<std::string>& names, const fs::path& dest,
                        std::function<bool(uint64_t done)> stop = {}) {
        std::vector<int> rows;
        int row = 0;
        for (const FileEntry* e = root_; e; e = e->nextSibling, ++row)
            if (std::find(names.begin(), names.end(), Iso_EntryName(e)) != names.end())
                rows.push_back(row);
        CSaveTreeDlgModel dlg(sink_, SaveToDisc_RowEntries(root_, rows));
        total_ = dlg.Total().bytes;
        dlg.chooseFolder = [&] { return dest.string(); };
        dlg.progress = [&](const TreeCopyTotals& done) { done_ = done.bytes; };
        dlg.stop = [&] { return stop && stop(done_); };
        return dlg.OnShowWindow();
    }
    fs::path dir_;
    std::string image_;
    ckvd::ui::RecordingSink sink_;
    const FileEntry* root_ = nullptr;
    uint64_t total_ = 0, done_ = 0;
};

TEST_F(SaveMany, RowsAndFoldersAreTheSourceTreeAndCancelKeepsOnlyWholeFiles) {
    LoadTree();
    auto source = Tree(dir_ / "src");
    const TreeCopyResult r = Save({"A.BIN", "D1"}, dir_ / "out");
    EXPECT_TRUE(r.whole);
    EXPECT_TRUE(sink_.shown.empty());
    source.erase("B.TXT");
    EXPECT_EQ(Tree(dir_ / "out"), source);
    EXPECT_EQ(done_, total_);
    EXPECT_EQ(total_, 100000u + 200000 + 70000);

    // Cancelled halfway through the bytes: the file being written is gone, those finished are whole.
    const TreeCopyResult c =
        Save({"A.BIN", "B.TXT", "D1"}, dir_ / "cut", [&](uint64_t d) { return d > total_ / 2; });
    EXPECT_TRUE(c.cancelled);
    EXPECT_FALSE(c.whole);
    const auto cut = Tree(dir_ / "cut");
    EXPECT_LT(cut.size(), 4u);
    for (const auto& [path, bytes] : cut)
        EXPECT_EQ(bytes, Tree(dir_ / "src")[path]) << path;
    ASSERT_EQ(sink_.shown.size(), 1u);
    EXPECT_NE(sink_.shown[0].find("cancelled"), std::string::npos) << sink_.shown[0];
}

// What stands in the folder under the disc's names: a link to a file elsewhere is replaced, not written
// through; a link to a folder elsewhere becomes a real folder; a directory where a file goes stays and the
// file is named in the summary, as is a file the image cannot give; the copy is not a success.
TEST_F(SaveMany, CollisionsFollowGetRAndFailuresAreNamed) {
    LoadTree();
    const fs::path out = dir_ / "out", elsewhere = dir_ / "elsewhere";
    fs::create_directories(out / "B.TXT");
    fs::create_directories(elsewhere / "dir");
    std::ofstream(elsewhere / "file") << "keep";
    fs::create_symlink(elsewhere / "file", out / "A.BIN");
    fs::create_symlink(elsewhere / "dir", out / "D1");
    // The image ends inside D1/D2/E.BIN, the last file genisoimage places.
    const FileEntry* d1 = root_;
    while (d1 && std::string(Iso_EntryName(d1)) != "D1")
        d1 = d1->nextSibling;
    ASSERT_NE(d1, nullptr);
    const FileEntry* e = d1->firstChild;
    while (e && e->type != 'D')
        e = e->nextSibling;
    ASSERT_TRUE(e && e->firstChild);
    fs::resize_file(image_, uint64_t(e->firstChild->lbn + 1) * 2048);

    const TreeCopyResult r = Save({"A.BIN", "B.TXT", "D1"}, out);
    EXPECT_FALSE(r.whole);
    EXPECT_EQ(ReadAll(elsewhere / "file"), "keep");
    EXPECT_TRUE(fs::is_empty(elsewhere / "dir"));
    EXPECT_FALSE(fs::is_symlink(out / "A.BIN"));
    EXPECT_EQ(ReadAll(out / "A.BIN"), ReadAll(dir_ / "src" / "A.BIN"));
    EXPECT_FALSE(fs::is_symlink(out / "D1"));
    EXPECT_EQ(ReadAll(out / "D1" / "C.BIN"), ReadAll(dir_ / "src" / "D1" / "C.BIN"));
    ASSERT_EQ(sink_.shown.size(), 1u);
    const std::string& summary = sink_.shown[0];
    for (const char* named : {"B.TXT: Is a directory", "E.BIN: Sorry, Disc Read Error..."})
        EXPECT_NE(summary.find(named), std::string::npos) << named << " in " << summary;
}

// The demo audio disc (ckvd-mkdisc from sox's sines): one track saved with the save-file dialog, all of them
// into a folder, each the WAV bchunk writes from the same .cue/.bin; a track the image cannot give or that
// runs past the lead-out is a read error naming the track.
TEST_F(SaveMany, AudioTracksAreTheWavFilesBchunkWrites) {
    const char* demo = std::getenv("CKVD_DEMO_DIR");
    ASSERT_NE(demo, nullptr);
    const fs::path cue = fs::path(demo) / "demo-audio.cue", bin = dir_ / "audio.bin";
    fs::create_directories(dir_ / "bchunk");
    fs::copy_file(fs::path(demo) / "demo-audio.bin", bin);
    std::ofstream(dir_ / "audio.cue")
        << ReadAll(cue).replace(ReadAll(cue).find("demo-audio.bin"), 14, "audio.bin");
    const std::string cmd = "cd '" + dir_.string() + "' && bchunk -w audio.bin audio.cue bchunk/t >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "bchunk is needed";
    Load((dir_ / "audio.cue").string());
    std::string proposed;
    CSaveToDiscDlgModel one(sink_, root_, 1);
    one.chooseFile = [&](const std::string& name) {
        proposed = name;
        return (dir_ / "one.wav").string();
    };
    EXPECT_EQ(one.OnShowWindow().result, SaveResult::Ok);
    EXPECT_EQ(proposed, "Track02.wav");
    EXPECT_EQ(ReadAll(dir_ / "one.wav"), ReadAll(dir_ / "bchunk" / "t02.wav"));
    EXPECT_TRUE(Save({"Track01.cda", "Track02.cda", "Track03.cda", "Track04.cda"}, dir_ / "all").whole);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(ReadAll(dir_ / "all" / ("Track0" + std::to_string(n) + ".wav")),
                  ReadAll(dir_ / "bchunk" / ("t0" + std::to_string(n) + ".wav")))
            << n;
    EXPECT_TRUE(sink_.shown.empty());

    FileEntry* last = const_cast<FileEntry*>(root_->nextSibling->nextSibling->nextSibling);
    last->size += 1; // one sector past the lead-out
    CSaveToDiscDlgModel past(sink_, root_, 3);
    past.chooseFile = [&](const std::string&) { return (dir_ / "past.wav").string(); };
    EXPECT_EQ(past.OnShowWindow().result, SaveResult::ReadError);
    last->size -= 1;
    fs::resize_file(bin, uint64_t(last->lbn + 40) * 2352); // cut inside track 4
    CSaveToDiscDlgModel cut(sink_, root_, 3);
    cut.chooseFile = [&](const std::string&) { return (dir_ / "cut.wav").string(); };
    EXPECT_EQ(cut.OnShowWindow().result, SaveResult::ReadError);
    EXPECT_EQ(ReadAll(dir_ / "cut.wav"), ReadAll(dir_ / "bchunk" / "t04.wav").substr(0, 44 + 32 * 2352));
    EXPECT_EQ(sink_.shown, std::vector<std::string>(2, "Sorry, Disc Read Error...\nTrack04.cda"));
}

} // namespace
