// Save to Disc over a folder tree written by genisoimage: one row around the 32-sector chunk, two extents, a
// link and every failure; several rows and folders into a folder, cancelled, over a directory where a file
// goes; an audio track as FLAC and its read errors (its WAV is checked against bchunk's through ckvd get).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <tuple>

#include "appmodel/first_drive.h"
#include "appmodel/save_to_disc.h"
#include "appmodel/tree_copy.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "platform/drives/drive_setup.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every regular file below `root`, by its path relative to it, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& f : fs::recursive_directory_iterator(root))
        if (f.is_regular_file())
            files[fs::relative(f.path(), root).string()] = ReadAll(f.path());
    return files;
}

// Takes one chunk, then fails as a full disk does.
struct FullDisk final : SaveWriter {
    size_t taken = 0;
    bool Write(const uint8_t*, size_t length) override { return (taken += length) <= 65536; }
    bool Close() override { return true; }
};

const std::pair<std::string, size_t> kFiles[] = {
    {"F0.BIN", 0},           {"F100.BIN", 100},    {"F65536.BIN", 65536}, {"F65537.BIN", 65537},
    {"F131072.BIN", 131072}, {"D1/C.BIN", 200000}, {"D1/D2/E.BIN", 70000}};

class SaveToDisc : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("ckvd-save-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        std::mt19937 random(7);
        for (const auto& [path, size] : kFiles) {
            fs::create_directories((dir_ / "src" / path).parent_path());
            std::string bytes(size, '\0');
            std::generate(bytes.begin(), bytes.end(), [&] { return char(random()); });
            std::ofstream(dir_ / "src" / path, std::ios::binary) << bytes;
            source_[path] = bytes;
        }
        image_ = (dir_ / "tree.iso").string();
        const std::string cmd =
            "genisoimage -quiet -R -J -o '" + image_ + "' '" + (dir_ / "src").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << "genisoimage is needed";
    }
    void Load(const std::string& image) {
        ASSERT_TRUE(Aspi_Initialize() == 1 && Iso_Initialize() == 1);
        std::string error;
        ASSERT_TRUE(ckvd::drives::SetupDrives({image}, &error)) << error;
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
    std::pair<int, FileEntry*> Find(const std::string& name) const {
        int row = 0;
        for (const FileEntry* e = entries_; e; e = e->nextSibling, ++row)
            if (Iso_EntryName(e) == name)
                return {row, const_cast<FileEntry*>(e)};
        return {-1, nullptr};
    }
    // The progress window on the row named, the save-file dialog answering `dest` (empty: cancelled).
    CSaveToDiscDlgModel Dialog(const std::string& name, const fs::path& dest) {
        CSaveToDiscDlgModel dlg(sink_, entries_, Find(name).first);
        dlg.chooseFile = [this, dest](const std::string& proposed) {
            proposed_ = proposed;
            return dest.string();
        };
        dlg.setRange = [this](uint64_t max) { range_ = max, steps_ = 0; };
        dlg.progress = [this](uint64_t written) { ++steps_, last_ = written; };
        return dlg;
    }
    // Save to Disc on the rows named, into `dest`, stopped by `stop`.
    TreeCopyResult SaveRows(const std::vector<std::string>& names, const fs::path& dest,
                            std::function<bool(uint64_t done)> stop = {}) {
        std::vector<int> rows;
        for (const std::string& name : names)
            rows.push_back(Find(name).first);
        CSaveTreeDlgModel dlg(sink_, SaveToDisc_RowEntries(entries_, rows));
        total_ = dlg.Total().bytes;
        dlg.chooseFolder = [&] { return dest.string(); };
        dlg.progress = [&](const TreeCopyTotals& done) { done_ = done.bytes; };
        dlg.stop = [&] { return stop && stop(done_); };
        return dlg.OnShowWindow();
    }
    fs::path dir_;
    std::string image_, proposed_;
    std::map<std::string, std::string> source_;
    ckvd::ui::RecordingSink sink_;
    const FileEntry* entries_ = nullptr;
    uint64_t total_ = 0, done_ = 0, range_ = 0, steps_ = 0, last_ = 0;
};

TEST_F(SaveToDisc, OneRowIsTheFileAndFailuresSayWhatHappenedAndKeepWhatWasRead) {
    Load(image_);
    for (const std::string name : {"F0.BIN", "F100.BIN", "F65536.BIN", "F65537.BIN", "F131072.BIN"}) {
        const uint64_t size = source_[name].size();
        EXPECT_EQ(Dialog(name, dir_ / name).OnShowWindow().result, SaveResult::Ok) << name;
        EXPECT_EQ(proposed_, name);
        EXPECT_EQ(ReadAll(dir_ / name), source_[name]) << name;
        // The range and the last step are the size, one step per chunk of 32 sectors.
        EXPECT_EQ((std::vector{range_, last_, steps_}), (std::vector{size, size, (size + 65535) / 65536}))
            << name;
    }
    EXPECT_TRUE(sink_.shown.empty());
    // A file recorded in two extents (F65536's and F65537's entries marked so): either row saves the whole
    // file from its first extent, one progress range over both.
    FileEntry* first = Find("F65536.BIN").second;
    first->flags = ISO_EXTENT_MORE;
    first->nextSibling->flags = ISO_EXTENT_CONTINUED;
    for (const char* row : {"F65536.BIN", "F65537.BIN"}) {
        EXPECT_EQ(Dialog(row, dir_ / row).OnShowWindow().result, SaveResult::Ok); // over the row's own copy
        EXPECT_EQ(proposed_, "F65536.BIN");
        EXPECT_EQ(range_, 131073u);
        EXPECT_EQ(ReadAll(dir_ / row), source_["F65536.BIN"] + source_["F65537.BIN"]);
    }
    // A Rock Ridge link's row saves nothing and says why (F100's entry marked so).
    FileEntry* link = Find("F100.BIN").second;
    link->flags = ISO_SYMLINK;
    iso_internal::SetSymlinkTarget(Iso_CurrentDisc(), link, "F0.BIN");
    EXPECT_EQ(Dialog("F100.BIN", dir_ / "link").OnShowWindow().result, SaveResult::ReadError);
    EXPECT_EQ(sink_.shown,
              std::vector<std::string>{"F100.BIN is a symbolic link to F0.BIN: it has no data to save."});
    EXPECT_FALSE(fs::exists(dir_ / "link"));
    sink_.shown.clear();
    // Cancelled: nothing written, no message. Then a path that cannot be created, a full disk after a chunk.
    EXPECT_EQ(Dialog("F0.BIN", "").OnShowWindow().result, SaveResult::Ok);
    EXPECT_TRUE(sink_.shown.empty());
    EXPECT_EQ(Dialog("F0.BIN", dir_ / "no" / "such" / "dir").OnShowWindow().result, SaveResult::WriteError);
    CSaveToDiscDlgModel full = Dialog("F131072.BIN", dir_ / "full");
    full.openFile = [](const std::string&) { return std::make_unique<FullDisk>(); };
    const SaveOutcome f = full.OnShowWindow();
    EXPECT_EQ(f.result, SaveResult::WriteError);
    EXPECT_EQ(f.written, 65536u);
    EXPECT_EQ(sink_.shown,
              (std::vector<std::string>{"Sorry, Cannot Create the File...", "Sorry, Disc Write Error..."}));
    // A read error in the second chunk: the image ends there. The first chunk stays in the file.
    const FileEntry* e = Find("F131072.BIN").second;
    fs::resize_file(image_, uint64_t(e->lbn + 32) * 2048);
    const SaveOutcome r = Dialog("F131072.BIN", dir_ / "damaged").OnShowWindow();
    EXPECT_EQ(r.result, SaveResult::ReadError);
    EXPECT_EQ(r.failedLba, e->lbn + 32);
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(ReadAll(dir_ / "damaged"), source_["F131072.BIN"].substr(0, 65536));
    EXPECT_EQ(sink_.shown.back(), "Sorry, Disc Read Error...");
}

// Links standing in the folder: ckvd get -r's test, over the same TreeCopy_Entries.
TEST_F(SaveToDisc, RowsAndFoldersAreTheSourceTreeCancelKeepsWholeFilesAndFailuresAreNamed) {
    Load(image_);
    EXPECT_TRUE(SaveRows({"F100.BIN", "D1"}, dir_ / "out").whole);
    EXPECT_TRUE(sink_.shown.empty());
    auto picked = source_;
    std::erase_if(picked, [](const auto& f) { return f.first[0] == 'F' && f.first != "F100.BIN"; });
    EXPECT_EQ(Tree(dir_ / "out"), picked);
    EXPECT_EQ(done_, total_);
    EXPECT_EQ(total_, 100u + 200000 + 70000);
    // Cancelled halfway through the bytes: the file being written is gone, those finished are whole.
    const std::vector<std::string> all = {"D1",          "F0.BIN",     "F100.BIN",
                                          "F131072.BIN", "F65536.BIN", "F65537.BIN"};
    const TreeCopyResult c = SaveRows(all, dir_ / "cut", [&](uint64_t d) { return d > total_ / 2; });
    EXPECT_TRUE(c.cancelled);
    EXPECT_FALSE(c.whole);
    const auto cut = Tree(dir_ / "cut");
    EXPECT_LT(cut.size(), source_.size());
    for (const auto& [path, bytes] : cut)
        EXPECT_EQ(bytes, source_[path]) << path;
    ASSERT_EQ(sink_.shown.size(), 1u);
    EXPECT_NE(sink_.shown[0].find("cancelled"), std::string::npos) << sink_.shown[0];
    sink_.shown.clear();
    // A directory where a file goes stays and the file is named, as is one the image cannot give (it ends
    // inside D1/D2/E.BIN, the last file genisoimage places); the files after them are copied.
    fs::create_directories(dir_ / "over" / "F0.BIN");
    const FileEntry* e = Find("D1").second->firstChild->nextSibling->firstChild; // after C.BIN, in D2
    ASSERT_STREQ(Iso_EntryName(e), "E.BIN");
    fs::resize_file(image_, uint64_t(e->lbn + 1) * 2048);
    EXPECT_FALSE(SaveRows(all, dir_ / "over").whole);
    EXPECT_EQ(ReadAll(dir_ / "over" / "F65537.BIN"), source_["F65537.BIN"]);
    ASSERT_EQ(sink_.shown.size(), 1u);
    for (const char* named : {"F0.BIN: Is a directory", "E.BIN: Sorry, Disc Read Error..."})
        EXPECT_NE(sink_.shown[0].find(named), std::string::npos) << named << " in " << sink_.shown[0];
}

// What a tool prints on its standard output.
std::string Output(const std::string& command) {
    std::string text;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, p)) > 0;)
            text.append(chunk, n);
        ::pclose(p);
    }
    return text;
}

// A track of the demo audio disc (ckvd-mkdisc from sox's sines) proposes a WAV name; saved as FLAC (the
// chosen name's extension) with the tags given, it decodes (flac -d) to the WAV's samples and metaflac reads
// the tags back. One that runs past the lead-out or that the image cannot give is a read error naming the
// track and its unreadable sectors, and the file is removed.
TEST_F(SaveToDisc, AudioTracksAsFlacAndReadErrorsNameTheTrack) {
    const char* demo = std::getenv("CKVD_DEMO_DIR");
    ASSERT_NE(demo, nullptr);
    const fs::path cue = fs::path(demo) / "demo-audio.cue", bin = dir_ / "audio.bin";
    fs::copy_file(fs::path(demo) / "demo-audio.bin", bin);
    // The sheet's CD-TEXT names track 4 (and its slash) and the album; track 3 has no title.
    std::string sheet = ReadAll(cue).replace(ReadAll(cue).find("demo-audio.bin"), 14, "audio.bin");
    sheet.insert(sheet.find("    INDEX 01 00:09:00"), "    TITLE \"Sine/880\"\n    ISRC DEXXX2600004\n");
    std::ofstream(dir_ / "audio.cue") << "TITLE \"Demo Tones\"\nPERFORMER \"Tone Maker\"\n" << sheet;
    Load((dir_ / "audio.cue").string());
    EXPECT_EQ(Dialog("Track03.cda", dir_ / "three.wav").OnShowWindow().result, SaveResult::Ok);
    EXPECT_EQ(proposed_, "Track03.wav");
    EXPECT_EQ(Dialog("Track04.cda", dir_ / "whole.wav").OnShowWindow().result, SaveResult::Ok);
    EXPECT_EQ(proposed_, "04 Tone Maker - Sine_880.wav");
    EXPECT_EQ(Dialog("Track04.cda", dir_ / "whole.Flac").OnShowWindow().result, SaveResult::Ok);
    const std::string decode = "flac -d -s -c --force-raw-format --endian=little --sign=signed ";
    EXPECT_TRUE(Output(decode + (dir_ / "whole.Flac").string()) == ReadAll(dir_ / "whole.wav").substr(44));
    FileEntry* last = Find("Track04.cda").second;
    const AudioTags read = SaveToDisc_TrackTags(*last);
    EXPECT_EQ(std::tie(read.title, read.artist, read.album, read.isrc, read.track),
              std::make_tuple("Sine/880", "Tone Maker", "Demo Tones", "DEXXX2600004", 4));
    SaveHooks hooks;
    hooks.audio = AudioFormat::Flac;
    hooks.tags = {"Sine à 880 Hz", "Tone Maker", "Demo Tones", "DEXXX2600004", 4};
    std::vector<uint8_t> buffer = SaveToDisc_Buffer();
    ASSERT_EQ(
        SaveToDisc_Save(*last, *SaveToDisc_OpenFile((dir_ / "tags.flac").string()), buffer, hooks).result,
        SaveResult::Ok);
    EXPECT_EQ(Output("metaflac --export-tags-to=- " + (dir_ / "tags.flac").string()),
              "TITLE=Sine à 880 Hz\nARTIST=Tone Maker\nALBUM=Demo Tones\nTRACKNUMBER=4\nISRC=DEXXX2600004\n");
    last->size += 1; // one sector past the lead-out
    EXPECT_EQ(Dialog("Track04.cda", dir_ / "past.wav").OnShowWindow().result, SaveResult::ReadError);
    last->size -= 1;
    fs::resize_file(bin, uint64_t(last->lbn + 40) * 2352); // cut inside the second chunk
    const SaveOutcome cut = Dialog("Track04.cda", dir_ / "cut.flac").OnShowWindow();
    EXPECT_EQ(cut.result, SaveResult::ReadError);
    EXPECT_FALSE(fs::exists(dir_ / "cut.flac"));
    ASSERT_EQ(cut.unreadable.size(), 1u);
    EXPECT_EQ(std::pair(cut.unreadable[0].first, cut.unreadable[0].last),
              std::pair(last->lbn + 40, last->lbn + last->size - 1));
    ASSERT_EQ(sink_.shown.size(), 2u);
    EXPECT_EQ(sink_.shown[0].rfind("Sorry, Disc Read Error...\nTrack04.cda (track 4, sectors ", 0), 0u);
    EXPECT_NE(sink_.shown[1].find("could not be read (Code"), std::string::npos) << sink_.shown[1];
    EXPECT_NE(sink_.shown[1].find("The incomplete file was removed."), std::string::npos) << sink_.shown[1];
}

} // namespace
