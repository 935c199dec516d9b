// Save to Disc over a disc made by genisoimage: byte-identical copies of files around the 32-sector chunk,
// and the outcome of a read error, a cancelled dialog, a path that cannot be created and a full disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "appmodel/first_drive.h"
#include "appmodel/save_to_disc.h"
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

} // namespace
