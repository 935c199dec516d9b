// The drive dialog, disc loading and image opening on the demo discs (made by genisoimage and sox at build
// time), served by image drives through the real ASPI manager; the recent list, the command line, drive names
// and the list's column widths.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "appmodel/app_options.h"
#include "appmodel/disc_info_dlg_model.h"
#include "appmodel/drive_dlg_model.h"
#include "appmodel/first_drive.h"
#include "appmodel/image_open.h"
#include "appmodel/kvd_app_view_model.h"
#include "appmodel/main_frm_model.h"
#include "appmodel/message_sink.h"
#include "appmodel/profile_store.h"
#include "appmodel/recent_images.h"
#include "appmodel/save_disc_info_dlg_model.h"
#include "aspi/aspi_manager.h"
#include "disc_model_builder.h"
#include "images/demo_discs.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "listing/lbn_size_style.h"
#include "platform/drives/drive_setup.h"

namespace {

namespace fs = std::filesystem;

class DemoDrives : public ::testing::Test {
  protected:
    void SetUp() override {
        demo_ = ckvd::images::demo_disc_paths();
        ASSERT_EQ(demo_.size(), 2u) << "demo discs missing";
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_EQ(Iso_Initialize(), 1);
        std::string error;
        ASSERT_TRUE(ckvd::drives::SetupDrives(demo_, &error)) << error;
        g_LbnSizeStyle = 0;
    }
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
    }
    CDriveDlgModel Dialog() {
        CDriveDlgModel dlg(sink_);
        dlg.sleep = [this](int ms) { sleeps_.push_back(ms); };
        EXPECT_TRUE(dlg.OnInitDialog());
        return dlg;
    }
    std::vector<std::string> demo_;
    std::vector<int> sleeps_;
    ckvd::ui::RecordingSink sink_;
    ckvd::ui::MemoryProfile profile_;
};

const std::regex kNotReady("Drive Not Ready\nFile DriveDlg Line [0-9]+ Code [0-9A-F]{4}");
const std::regex kSpinUp("SpinUp Error\nFile DriveDlg Line [0-9]+ Code [0-9A-F]{4}");
const std::regex kAnalyze("ISO9660 FileSystem Analyze Error\nFile MainFrm Line [0-9]+ Code [0-9A-F]{4}\n\n"
                          ".*: a block of its file system could not be read\\.");

// Each row's revision and state, tested again without starting the drive.
TEST_F(DemoDrives, DialogRowsSayRevisionAndStateAndTestItAgain) {
    CDriveDlgModel dlg = Dialog();
    const auto states = [&dlg] {
        std::vector<std::string> s;
        for (const DriveRow& row : dlg.Rows())
            if (row.id.starts_with("1:"))
                s.push_back(row.revision + " " + row.state);
        return s;
    };
    EXPECT_EQ(states(), (std::vector<std::string>{"0.90 ready", "0.90 ready"}));
    ckvd::drives::FindImageDrive(demo_[0])->change_medium(nullptr);
    ckvd::drives::FindImageDrive(demo_[1])->set_ready(false);
    dlg.RefreshStates();
    EXPECT_EQ(states(), (std::vector<std::string>{"0.90 no-disc", "0.90 becoming-ready"}));
    EXPECT_TRUE(sleeps_.empty());
}

TEST_F(DemoDrives, DialogOnAReadyANeverReadyAndASpinUpFailingDrive) {
    CDriveDlgModel dlg = Dialog();
    int data = 0;
    while (data < int(dlg.Rows().size()) && dlg.Rows()[size_t(data)].path != demo_[0])
        ++data;
    const int audio = data + 1; // rows follow the device list
    ASSERT_LT(audio, int(dlg.Rows().size()));
    EXPECT_EQ(dlg.Rows()[size_t(audio)].path, demo_[1]);
    EXPECT_EQ(dlg.Rows()[size_t(audio)].id, "1:1");
    EXPECT_FALSE(dlg.Rows()[size_t(audio)].vendor.empty());
    dlg.OnOK(); // OK without a selection does nothing
    EXPECT_EQ(dlg.DialogResult(), CDriveDlgModel::Result::Open);
    dlg.OnItemChanged(audio, 1);
    EXPECT_EQ(dlg.DialogResult(), CDriveDlgModel::Result::Ok);
    EXPECT_EQ(dlg.Selected(), audio);
    EXPECT_EQ(dlg.ReadinessTests(), 1);
    EXPECT_TRUE(sleeps_.empty());
    EXPECT_TRUE(sink_.shown.empty());
    ckvd::drives::FindImageDrive(demo_[0])->set_ready(false);
    CDriveDlgModel never = Dialog();
    bool disabledDuringSpinUp = false;
    never.repaint = [&] { disabledDuringSpinUp = !never.ControlsEnabled(); };
    never.OnItemChanged(data, 1);
    EXPECT_TRUE(disabledDuringSpinUp);
    EXPECT_EQ(never.ReadinessTests(), 10);
    EXPECT_EQ(sleeps_, std::vector<int>(9, 500));
    ASSERT_EQ(sink_.shown.size(), 1u);
    EXPECT_TRUE(std::regex_match(sink_.shown[0], kNotReady)) << sink_.shown[0];
    EXPECT_EQ(never.DialogResult(), CDriveDlgModel::Result::Open);
    EXPECT_TRUE(never.ControlsEnabled());
    never.OnItemChanged(data, 0); // picking the other drive still works
    never.OnItemChanged(audio, 1);
    EXPECT_EQ(never.DialogResult(), CDriveDlgModel::Result::Ok);
    // A failed spin-up is reported and the drive is readiness-tested all the same.
    ckvd::drives::FindImageDrive(demo_[0])->set_ready(true);
    ckvd::drives::FindImageDrive(demo_[0])->set_start_fails(true);
    CDriveDlgModel spin = Dialog();
    spin.OnItemChanged(data, 1);
    ASSERT_EQ(sink_.shown.size(), 2u);
    EXPECT_TRUE(std::regex_match(sink_.shown[1], kSpinUp)) << sink_.shown[1];
    EXPECT_EQ(spin.DialogResult(), CDriveDlgModel::Result::Ok);
}

TEST_F(DemoDrives, LoadingFillsTreeAndListAndAFailedAnalysisLeavesNoDisc) {
    CMainFrameModel frame(sink_, profile_);
    EXPECT_FALSE(frame.OnDiscInformation());
    frame.OnSaveDiscInformation();
    EXPECT_FALSE(frame.OnLevel1Simulation());
    EXPECT_EQ(sink_.shown, (std::vector<std::string>{"No Disc", "No Disc", "No Disc"}));
    sink_.shown.clear();
    const auto device = uint16_t(App_StartFirstDrive(true, sink_, false));
    ASSERT_TRUE(frame.LoadDisc(device)) << (sink_.shown.empty() ? "" : sink_.shown[0]);
    const auto& tree = frame.Tree();
    ASSERT_EQ(tree.TopLevel().size(), 2u);
    EXPECT_EQ(tree.Items()[size_t(tree.TopLevel()[0])].text.rfind("(Session1) CKVD_DEMO_S1", 0), 0u);
    EXPECT_EQ(tree.Selected(), tree.TopLevel()[0]);
    EXPECT_GT(frame.List().RowCount(), 0);
    // The second session's root: its number is the first session's directory count.
    uint32_t hint = 0;
    ASSERT_TRUE(frame.Tree().Select(tree.TopLevel()[1], &hint));
    frame.Doc().UpdateAllViews(true, hint);
    EXPECT_EQ(hint, g_DiscModel->firstTree->directoryCount);
    EXPECT_TRUE(frame.OnDiscInformation());
    EXPECT_TRUE(frame.OnLevel1Simulation()); // a data disc
    EXPECT_TRUE(sink_.shown.empty());
    // A later drive dialog's commands, then its cancel, keep reading from the loaded disc's drive.
    Aspi_TestUnitReady(device + 1);
    frame.DriveDialogCancelled();
    EXPECT_EQ(g_CurrentDevice, device);
    // A failed analysis: the message, empty views, no disc.
    ckvd::drives::FindImageDrive(demo_[0])->set_ready(false);
    EXPECT_FALSE(frame.LoadDisc(device));
    ASSERT_EQ(sink_.shown.size(), 1u);
    EXPECT_TRUE(std::regex_match(sink_.shown[0], kAnalyze)) << sink_.shown[0];
    // The drive that could not read keeps its image for another try.
    EXPECT_NE(ckvd::drives::FindImageDrive(demo_[0]), nullptr);
    EXPECT_TRUE(frame.Tree().Items().empty());
    EXPECT_EQ(frame.List().RowCount(), 0);
    EXPECT_EQ(frame.List().Entries(), nullptr);
    EXPECT_FALSE(frame.OnDiscInformation());
    EXPECT_EQ(sink_.shown.back(), "No Disc");
    sink_.shown.clear();
    // The audio disc: track files, an audio TOC block, no Level1 simulation.
    ASSERT_TRUE(frame.LoadDisc(device + 1));
    EXPECT_EQ(frame.List().Text(0, 0), "Track01.cda");
    CDiscInfoDlgModel info;
    info.OnInitDialog(g_DiscModel, g_LbnSizeStyle);
    ASSERT_EQ(info.Rows().size(), static_cast<size_t>(frame.List().RowCount()));
    EXPECT_EQ(info.Rows()[0][0], "Audio");
    EXPECT_EQ(info.Rows()[0][5], "1");
    EXPECT_FALSE(frame.OnLevel1Simulation());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This Medium is Not CD-ROM"});
    // The data drive loads again once it is ready.
    ckvd::drives::FindImageDrive(demo_[0])->set_ready(true);
    EXPECT_TRUE(frame.LoadDisc(device));
}

TEST_F(DemoDrives, PlacementAndTheReportNumberShownOrTypedGoThroughTheProfileOnlyWhenWritten) {
    profile_.values = {{"DISCMNGRNO", 41}, {"X", 30}, {"CX", 700}};
    CMainFrameModel frame(sink_, profile_);
    EXPECT_EQ(frame.PreCreateWindow().normal, (ScreenRect{30, 0, 700, 400}));
    EXPECT_EQ(frame.DiscMngrNo(), 41);
    // The dialog as a user answers it: "Yes...Please", the number as shown or typed over, "Save...", and
    // `chosen` in the file dialog.
    std::string typed, chosen, shown, proposed;
    int dialogs = 0;
    frame.runReportDialog = [&](int number, const ReportNumbers& numbers) {
        CSaveDiscInfoDlgModel dlg(number, sink_);
        dlg.numbers = numbers;
        dlg.OnInitDialog();
        shown = dlg.OnYesPlease();
        dlg.chooseFile = [&](const std::string& name) { return proposed = name, chosen; };
        dlg.now = [] { return std::tm{7, 5, 9, 21, 9, 102, 0, 0, 0, 0, nullptr}; };
        dlg.OnSave(typed.empty() ? shown : typed, "", nullptr);
        return ++dialogs, std::make_pair(dlg.Result(), dlg.Number());
    };
    ASSERT_TRUE(frame.LoadDisc(uint16_t(App_StartFirstDrive(true, sink_, false))));
    const std::string csv = "/tmp/ckvd-report-" + std::to_string(::getpid()) + ".csv";
    auto header = [&csv] {
        std::ifstream in(csv);
        std::string line;
        for (int i = 0; i < 5; ++i)
            std::getline(in, line);
        return line;
    };
    chosen = csv;
    frame.OnSaveDiscInformation();
    EXPECT_EQ(shown + " " + proposed, "000041 MA000041.csv");
    EXPECT_EQ(header(), "MA000041,,2002.10.21,9:5:7,,,,,,,,,,,,,,,,\r");
    EXPECT_EQ(frame.DiscMngrNo(), 42);
    EXPECT_EQ(profile_.values["DISCMNGRNO"], 42);
    // A typed number is the report's; the next one follows it.
    typed = "7";
    frame.OnSaveDiscInformation();
    EXPECT_EQ(shown + " " + proposed, "000042 MA000007.csv");
    EXPECT_EQ(header().rfind("MA000007,", 0), 0u);
    EXPECT_EQ(profile_.values["DISCMNGRNO"], 8);
    // ckvd report of the same disc and number writes the same bytes, the date and time aside.
    const std::string cli = csv + ".cli";
    // (Its disc goes into a catalogue beside the report, not the user's.)
    const std::string command =
        "XDG_DATA_HOME=" + csv + ".data " + std::string(CKVD_BIN) + " report demo --number 7 -o " + cli;
    ASSERT_EQ(std::system(command.c_str()), 0);
    auto undated = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string text(std::istreambuf_iterator<char>(in), {});
        return std::regex_replace(text, std::regex("\r\n(MA000007,[^,]*),[0-9.]+,[0-9:]+,"),
                                  "\r\n$1,DATE,TIME,");
    };
    const std::string desktop = undated(csv);
    EXPECT_NE(desktop.find(",DATE,TIME,"), std::string::npos);
    EXPECT_EQ(undated(cli), desktop);
    std::remove(cli.c_str());
    std::remove(csv.c_str());
    // No file chosen, then one that cannot be written: nothing written, no number used up.
    chosen = "";
    frame.OnSaveDiscInformation();
    EXPECT_TRUE(sink_.shown.empty());
    chosen = "/nonexistent-dir/x.csv";
    frame.OnSaveDiscInformation();
    EXPECT_EQ(sink_.shown,
              std::vector<std::string>{"Sorry, Cannot Write the DiscInformation...\n"
                                       "/nonexistent-dir/x.csv\n\n"
                                       "The file cannot be created: No such file or directory."});
    EXPECT_EQ(dialogs, 4);
    EXPECT_EQ(frame.DiscMngrNo(), 8);
    EXPECT_EQ(profile_.values["DISCMNGRNO"], 8);
}

TEST(RecentImages, NewestFirstOnceEachAtMostEightKeptInTheProfile) {
    ckvd::ui::MemoryProfile profile;
    {
        RecentImages recent(profile);
        for (int i = 1; i <= 10; ++i)
            recent.Add("/d/" + std::to_string(i) + ".iso");
        recent.Add("/d/5.iso");       // opened again: moves to the top, not twice in the list
        recent.Add("/bad\nname.iso"); // a line break would not read back from the profile
    }
    auto stored = [&profile] {
        std::string names;
        for (int i = 1; i <= 9; ++i)
            names += profile.GetString("Recent Images", "Image" + std::to_string(i)) + " ";
        return names;
    };
    EXPECT_EQ(stored(), "/d/5.iso /d/10.iso /d/9.iso /d/8.iso /d/7.iso /d/6.iso /d/4.iso /d/3.iso  ");
    RecentImages again(profile);
    EXPECT_EQ(again.Paths().size(), 8u);
    again.Remove("/d/10.iso");
    EXPECT_EQ(stored(), "/d/5.iso /d/9.iso /d/8.iso /d/7.iso /d/6.iso /d/4.iso /d/3.iso   ");
}

TEST(AppOptions, ImagesDocumentsAndScreenshotSwitches) {
    const char* argv[] = {"ckvd-explorer", "one.CUE", "notes.txt", "two.iso", "--screenshot", "out.png",
                          "--select",      "/DOCS",   "--dialog",  "about",   "--lbn-size",   "msf"};
    AppOptions o = App_ParseOptions(12, const_cast<char**>(argv));
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.openImages, (std::vector<std::string>{"one.CUE", "two.iso"}));
    EXPECT_EQ(o.documentFile, "notes.txt");
    EXPECT_EQ(o.select, "/DOCS");
    EXPECT_EQ(o.dialog, "about");
    EXPECT_EQ(o.lbnSizeStyle, 2);
    EXPECT_TRUE(o.LoadAtStart());
    const char* lone[] = {"ckvd-explorer", "--dialog", "drive"};
    EXPECT_NE(App_ParseOptions(3, const_cast<char**>(lone)).error, "");
    const char* style[] = {"ckvd-explorer", "--lbn-size", "8"};
    EXPECT_NE(App_ParseOptions(3, const_cast<char**>(style)).error, "");
}

TEST(DriveNames, ImagesOfTheSameNameAreToldApartByTheirFolders) {
    EXPECT_EQ(
        Drive_DistinctNames({"/home/u/one/disc.cue", "/home/u/two/disc.cue", "/tmp/x.iso", "/a/b/disc.cue"}),
        (std::vector<std::string>{"one/disc.cue", "two/disc.cue", "x.iso", "b/disc.cue"}));
    EXPECT_EQ(Drive_DistinctNames({"/x/same/d.iso", "/y/same/d.iso"}),
              (std::vector<std::string>{"x/same/d.iso", "y/same/d.iso"}));
}

TEST(ListColumns, StartFromTheFractionsAndNeverCutAName) {
    // 600 wide: LBN 100, Size 100, Date 200; Size needs 130 and Date 250, the name takes the 120 left.
    EXPECT_EQ(List_FitColumns(600, {50, 80, 130, 250, 0}), (std::array<int, 5>{120, 100, 130, 250, 0}));
    // A name longer than the rest of the row keeps its width: the list scrolls sideways.
    EXPECT_EQ(List_FitColumns(600, {300, 40, 40, 120, 0}), (std::array<int, 5>{300, 100, 100, 200, 0}));
    EXPECT_EQ(List_FitColumns(300, {200, 80, 80, 150, 0}), (std::array<int, 5>{200, 80, 80, 150, 0}));
    EXPECT_EQ(List_FitColumns(300, {40, 80, 80, 150, 0}), (std::array<int, 5>{40, 80, 80, 150, 0}));
    // Title is as wide as its longest title (or its heading), from the name's share.
    EXPECT_EQ(List_FitColumns(600, {50, 80, 130, 250, 70}), (std::array<int, 5>{50, 100, 130, 250, 70}));
}

TEST_F(DemoDrives, AnImageGoesIntoADriveOnceOrIsNamedWithTheReasonItCannot) {
    std::string error;
    ASSERT_TRUE(ckvd::drives::SetupDrives({}, &error)) << error; // no image in a drive yet
    const fs::path dir = fs::temp_directory_path() / ("ckvd-open-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    CMainFrameModel frame(sink_, profile_);
    frame.waitBetweenTests = false;
    const int device = frame.StartImageDrive(demo_[0]);
    ASSERT_GE(device, 0) << (sink_.shown.empty() ? "" : sink_.shown[0]);
    ASSERT_TRUE(frame.LoadDisc(static_cast<uint16_t>(device)));
    EXPECT_EQ(frame.Tree().TopLevel().size(), 2u);
    EXPECT_EQ(frame.Doc().Title().rfind("CKVD_DEMO_S1", 0), 0u);
    // Opened again: the same drive gets the medium anew, no second drive.
    EXPECT_EQ(frame.StartImageDrive(demo_[0]), device);
    EXPECT_EQ(frame.StartImageDrive(demo_[1]), device + 1);
    EXPECT_EQ(g_DeviceCount, device + 2);
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    // Images that cannot be opened are named and said why in plain words.
    const std::string bad = (dir / "bad.cue").string(), missing = (dir / "missing.iso").string();
    std::ofstream(bad) << "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    for (const std::string& path : {missing, dir.string(), bad})
        EXPECT_EQ(frame.StartImageDrive(path), -1);
    ASSERT_EQ(sink_.shown.size(), 3u);
    EXPECT_EQ(sink_.shown[0],
              "The disc image cannot be opened:\n" + missing + "\n\nThe file does not exist.");
    EXPECT_NE(sink_.shown[1].find("It is a folder, not a disc image file."), std::string::npos);
    EXPECT_EQ(sink_.shown[2].rfind("The disc image cannot be opened:\n" + bad + "\n\n", 0), 0u)
        << sink_.shown[2];
    EXPECT_NE(sink_.shown[2].find(bad + ":1: "), std::string::npos); // the reader's words stay
    EXPECT_EQ(g_DeviceCount, device + 2);                            // nothing was put into a drive
    EXPECT_EQ(frame.StartImageDrive(demo_[1]), device + 1);
    // A recent entry whose file has gone is taken off with a message naming it.
    const std::string copy = (dir / "copy.cue").string();
    frame.Recent().Add(copy);
    frame.Recent().Add(demo_[0]);
    EXPECT_EQ(frame.TakeRecentImage(demo_[0]), demo_[0]);
    EXPECT_EQ(frame.TakeRecentImage(copy), "");
    EXPECT_EQ(frame.Recent().Paths(), std::vector<std::string>{demo_[0]});
    EXPECT_NE(sink_.shown.back().find(copy), std::string::npos);
    fs::remove_all(dir);
}

// The window's report says once how many names Shift-JIS cannot hold, with the first one, as `ckvd report`
// does (there on discs genisoimage made: test_ckvd_cli.py). The names here are the disc's and the report's.
TEST(ReportDialog, NamesShiftJisCannotHoldAreSaidOnce) {
    DiscModelBuilder disc;
    disc.AddTrack(disc.AddSession(0x04), 1, 0, 0);
    FileEntry* root = disc.AddTree("VOLUME", 2);
    FileEntry* dir = disc.Dir(root, "Ubung");
    iso_internal::SetEntryText(dir, "Übung");
    iso_internal::SetEntryText(disc.File(dir, "?e?tina.txt", 30, 1), "Čeština.txt");
    disc.File(root, "plain.txt", 31, 1);
    disc.Install();
    ckvd::ui::RecordingSink sink;
    CSaveDiscInfoDlgModel dlg(1, sink);
    const std::string csv =
        (fs::temp_directory_path() / ("ckvd-lossy-" + std::to_string(::getpid()))).string();
    dlg.chooseFile = [&csv](const std::string&) { return csv; };
    dlg.OnInitDialog();
    dlg.OnSave(dlg.OnYesPlease(), "", nullptr);
    EXPECT_EQ(dlg.Result(), ReportDlgResult::Ok);
    EXPECT_EQ(sink.shown, std::vector<std::string>{"2 names hold characters Shift-JIS has no code for: the "
                                                   "report writes \"Übung\" as \"Ubung\"."});
    fs::remove(csv);
}

} // namespace
