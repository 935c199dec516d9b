// The drive dialog and disc loading on the demo discs (made by genisoimage and sox at build time), served by
// image drives through the real ASPI manager.

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

#include "appmodel/disc_info_dlg_model.h"
#include "appmodel/first_drive.h"
#include "appmodel/main_frm_model.h"
#include "demo_drives.h"

namespace {

const std::regex kNotReady("Drive Not Ready\nFile DriveDlg Line [0-9]+ Code [0-9A-F]{4}");
const std::regex kSpinUp("SpinUp Error\nFile DriveDlg Line [0-9]+ Code [0-9A-F]{4}");
const std::regex kAnalyze("ISO9660 FileSystem Analyze Error\nFile MainFrm Line [0-9]+ Code [0-9A-F]{4}");

TEST_F(DemoDrives, DialogOnAReadyANeverReadyAndASpinUpFailingDrive) {
    CDriveDlgModel dlg = Dialog(sink_);
    ASSERT_TRUE(dlg.OnInitDialog());
    const int data = RowOf(dlg, demo_[0]), audio = RowOf(dlg, demo_[1]);
    ASSERT_GE(data, 0);
    EXPECT_EQ(audio, data + 1); // rows follow the device list
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

    ckvd::aspi32::FindImageDrive(demo_[0])->set_ready(false);
    CDriveDlgModel never = Dialog(sink_);
    ASSERT_TRUE(never.OnInitDialog());
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
    ckvd::aspi32::FindImageDrive(demo_[0])->set_ready(true);
    ckvd::aspi32::FindImageDrive(demo_[0])->set_start_fails(true);
    CDriveDlgModel spin = Dialog(sink_);
    ASSERT_TRUE(spin.OnInitDialog());
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

    const int device = App_StartFirstDrive(true, sink_, false);
    ASSERT_GE(device, 0);
    ASSERT_TRUE(frame.LoadDisc(static_cast<uint16_t>(device))) << (sink_.shown.empty() ? "" : sink_.shown[0]);
    const auto& tree = frame.Tree();
    ASSERT_EQ(tree.TopLevel().size(), 2u);
    EXPECT_EQ(tree.Items()[size_t(tree.TopLevel()[0])].text.rfind("(Session1) CKVD_DEMO_S1", 0), 0u);
    EXPECT_EQ(tree.Items()[size_t(tree.TopLevel()[1])].text.rfind("(Session2) CKVD_DEMO_S2", 0), 0u);
    EXPECT_EQ(tree.Selected(), tree.TopLevel()[0]);
    EXPECT_GT(frame.List().RowCount(), 0);
    EXPECT_EQ(g_CurrentSession, 0);
    EXPECT_EQ(frame.Doc().Title().rfind("CKVD_DEMO_S1", 0), 0u);
    // The second session's root: its number is the first session's directory count.
    uint32_t hint = 0;
    ASSERT_TRUE(frame.Tree().Select(tree.TopLevel()[1], &hint));
    frame.Doc().UpdateAllViews(true, hint);
    EXPECT_EQ(g_CurrentSession, 1);
    EXPECT_EQ(frame.Doc().Title().rfind("CKVD_DEMO_S2", 0), 0u);
    EXPECT_EQ(hint, g_DiscModel->firstTree->directoryCount);
    EXPECT_TRUE(frame.OnDiscInformation());
    EXPECT_TRUE(frame.OnLevel1Simulation()); // a data disc
    EXPECT_TRUE(sink_.shown.empty());
    // Cancelling a later drive dialog keeps reading from the loaded disc's drive.
    Aspi_TestUnitReady(static_cast<uint16_t>(device + 1));
    ASSERT_NE(g_CurrentDevice, device);
    frame.DriveDialogCancelled();
    EXPECT_EQ(g_CurrentDevice, device);

    // A failed analysis: the message, empty views, no disc.
    ckvd::aspi32::FindImageDrive(demo_[0])->set_ready(false);
    EXPECT_FALSE(frame.LoadDisc(static_cast<uint16_t>(device)));
    ASSERT_EQ(sink_.shown.size(), 1u);
    EXPECT_TRUE(std::regex_match(sink_.shown[0], kAnalyze)) << sink_.shown[0];
    EXPECT_TRUE(frame.Tree().Items().empty());
    EXPECT_EQ(frame.List().RowCount(), 0);
    EXPECT_EQ(frame.List().Entries(), nullptr);
    EXPECT_FALSE(frame.OnDiscInformation());
    EXPECT_EQ(sink_.shown.back(), "No Disc");
    sink_.shown.clear();

    // The audio disc: track files, an audio TOC block, no Level1 simulation.
    ASSERT_TRUE(frame.LoadDisc(static_cast<uint16_t>(device + 1)));
    ASSERT_GT(frame.List().RowCount(), 0);
    EXPECT_EQ(frame.List().Text(0, 0), "Track01.cda");
    CDiscInfoDlgModel info;
    info.OnInitDialog(g_DiscModel, g_LbnSizeStyle);
    ASSERT_EQ(info.Rows().size(), static_cast<size_t>(frame.List().RowCount()));
    EXPECT_EQ(info.Rows()[0][0], "Audio");
    EXPECT_EQ(info.Rows()[0][5], "1");
    EXPECT_FALSE(frame.OnLevel1Simulation());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This Medium is Not CD-ROM"});
    // The data drive loads again once it is ready.
    ckvd::aspi32::FindImageDrive(demo_[0])->set_ready(true);
    EXPECT_TRUE(frame.LoadDisc(static_cast<uint16_t>(device)));
}

TEST_F(DemoDrives, PlacementAndManagementNumberGoThroughTheProfile) {
    profile_.values = {{"DISCMNGRNO", 41}, {"X", 30}, {"CX", 700}};
    CMainFrameModel frame(sink_, profile_);
    WindowPlacement p = frame.PreCreateWindow();
    EXPECT_EQ(frame.DiscMngrNo(), 41);
    EXPECT_EQ(p.normal, (ScreenRect{30, 0, 700, 400}));
    frame.DestroyWindow({{5, 6, 800, 500}, false, false});
    EXPECT_EQ(profile_.values["DISCMNGRNO"], 41);
    EXPECT_EQ(profile_.values["CY"], 500);
}

TEST_F(DemoDrives, DiscReportUsesTheNumberShownOrTypedAndOnlyAWrittenOneAdvancesIt) {
    profile_.values = {{"DISCMNGRNO", 41}};
    CMainFrameModel frame(sink_, profile_);
    frame.PreCreateWindow();
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
    frame.OnSaveDiscInformation();
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"No Disc"});
    EXPECT_EQ(dialogs, 0);
    sink_.shown.clear();
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
    ASSERT_EQ(std::system((std::string(CKVD_BIN) + " report demo --number 7 -o " + cli).c_str()), 0);
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

} // namespace
