// Save to Disc on a worker, from an image genisoimage makes of a folder and whose drive answers slowly: the
// window keeps answering while a file and a folder are copied, whole copies are the files given to
// genisoimage, and Cancel (or closing the window) stops the copy within a chunk or two and leaves no file cut
// short.
#include "widget_fixture.h"

#include <cstdlib>

#include <QDialogButtonBox>
#include <QPushButton>
#include <chrono>
#include <map>
#include <random>

namespace {

constexpr int kDelayMs = 60;      // each command of the image drive: each chunk of 32 sectors
constexpr int kChunk = 65536;     // 32 sectors of 2048 bytes
constexpr int kBig = 16 * kChunk; // BIG.BIN

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SaveOnWorker : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        std::mt19937 random(11);
        for (const auto& [name, size] :
             {std::pair{"BIG.BIN", kBig}, {"DIR/A.BIN", 150000}, {"DIR/B.BIN", 300000}}) {
            QByteArray bytes(size, '\0');
            for (char& c : bytes)
                c = char(random());
            QDir(dir_.path()).mkpath("src/DIR");
            QFile f(dir_.path() + "/src/" + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == size);
            source_[name] = bytes;
        }
        const QString image = dir_.path() + "/tree.iso";
        // Through the C library's fork, which ThreadSanitizer follows (QProcess's clone it cannot).
        const std::string make = "genisoimage -quiet -R -J -o '" + image.toStdString() + "' '" +
                                 dir_.path().toStdString() + "/src'";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        ASSERT_NO_FATAL_FAILURE(Show());
        OpenImage(image.toStdString());
        ASSERT_NE(Select("/BIG.BIN"), nullptr);
        ckvd::drives::FindImageDrive(image.toStdString())
            ->set_command_delay(std::chrono::milliseconds(kDelayMs));
        QObject::connect(&tick_, &QTimer::timeout, [this] { ++ticks_; });
        tick_.start(10);
    }
    // The list's entry of that name.
    const FileEntry* Row(const char* name) {
        for (const FileEntry* e = frame_->Model().List().Entries(); e; e = e->nextSibling)
            if (std::string(Iso_EntryName(e)) == name)
                return e;
        return nullptr;
    }
    // Shows `dlg`, waits for its copy to start, calls `cancel` once `done()` bytes are past `cancelAt` (0:
    // never), waits for the window to close; the GUI thread's 10 ms timer must have fired at least three
    // times for every chunk read meanwhile.
    template <class Dlg>
    void Run(Dlg& dlg, const std::function<uint64_t()>& done, uint64_t cancelAt,
             const std::function<void()>& cancel) {
        dlg.open();
        ASSERT_TRUE(Within([&] { return dlg.Running(); }));
        const int ticks = ticks_;
        bool cancelled = false;
        while (dlg.Running()) {
            if (cancelAt && !cancelled && done() >= cancelAt) {
                cancel();
                cancelled = true;
            }
            QTest::qWait(5);
        }
        EXPECT_GE(ticks_ - ticks, 3 * int(done() / kChunk)) << "the window stood still during the copy";
        EXPECT_TRUE(Within([&] { return !dlg.isVisible(); }));
    }
    std::map<std::string, QByteArray> source_;
    QTimer tick_;
    int ticks_ = 0;
};

TEST_F(SaveOnWorker, OneFileCopiesWholeAndClosingTheWindowStopsItAndRemovesTheCut) {
    CKVDAppViewModel& list = frame_->Model().List();
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        const QString copy = dir_.path() + (cancel ? "/cut.bin" : "/big.bin");
        CSaveToDiscDlg dlg(sink_, list.Entries(), list.CurrentItem(), frame_.get());
        dlg.Model().chooseFile = [&](const std::string&) { return copy.toStdString(); };
        ASSERT_NO_FATAL_FAILURE(Run(
            dlg, [&] { return uint64_t(std::max(0, dlg.Progress()->value())); }, cancel ? 2 * kChunk : 0,
            [&] { dlg.close(); }));
        if (!cancel) {
            EXPECT_EQ(dlg.Outcome().result, SaveResult::Ok);
            EXPECT_TRUE(ReadAll(copy) == source_["BIG.BIN"]);
            EXPECT_EQ(dlg.Progress()->value(), dlg.Progress()->maximum());
        } else {
            EXPECT_EQ(dlg.Outcome().result, SaveResult::Cancelled);
            EXPECT_LE(dlg.Outcome().written, uint64_t(5 * kChunk)) << "the copy went on after Cancel";
            EXPECT_FALSE(QFileInfo::exists(copy));
        }
    }
    EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(SaveOnWorker, AFolderCopiesWholeAndCancelKeepsOnlyWholeFiles) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        const QString out = dir_.path() + (cancel ? "/cut" : "/out");
        std::vector<const FileEntry*> rows = {Row("DIR")};
        if (cancel)
            rows.insert(rows.begin(), Row("BIG.BIN"));
        CSaveTreeDlg dlg(sink_, rows, frame_.get());
        dlg.Model().chooseFolder = [&] { return out.toStdString(); };
        QPushButton* button = dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
        ASSERT_NO_FATAL_FAILURE(Run(
            dlg, [&] { return uint64_t(dlg.Progress()->value()); }, cancel ? 2 * kChunk : 0,
            [&] { QTest::mouseClick(button, Qt::LeftButton); }));
        EXPECT_EQ(dlg.Result().cancelled, cancel);
        if (!cancel) {
            EXPECT_TRUE(dlg.Result().whole);
            for (const char* name : {"DIR/A.BIN", "DIR/B.BIN"})
                EXPECT_TRUE(ReadAll(out + "/" + name) == source_[name]) << name;
        } else {
            // Stopped inside BIG.BIN, the first file: nothing stays.
            EXPECT_LE(dlg.Model().Done().bytes, uint64_t(5 * kChunk));
            EXPECT_TRUE(QDir(out).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
            ASSERT_EQ(sink_.shown.size(), 1u);
            EXPECT_EQ(sink_.shown[0].rfind("Save to Disc was cancelled: 0 of 3 files", 0), 0u)
                << sink_.shown[0];
        }
    }
}

} // namespace
