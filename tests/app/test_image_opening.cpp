// Opening disc images from the window, without a display: the recent list in the profile, the command line,
// the messages for images that cannot be opened, image drives named by their files, and the list's column
// widths.

#include <filesystem>
#include <fstream>

#include "appmodel/app_options.h"
#include "appmodel/image_open.h"
#include "appmodel/kvd_app_view_model.h"
#include "appmodel/main_frm_model.h"
#include "appmodel/recent_images.h"
#include "demo_drives.h"

namespace {

namespace fs = std::filesystem;

TEST(RecentImages, NewestFirstOnceEachAtMostEightKeptInTheProfile) {
    ckvd::ui::MemoryProfile profile;
    {
        RecentImages recent(profile);
        for (int i = 1; i <= 10; ++i)
            recent.Add("/discs/d" + std::to_string(i) + ".iso");
        recent.Add("/discs/d5.iso");  // opened again: moves to the top, not twice in the list
        recent.Add("/bad\nname.iso"); // a line break would not read back from the profile
    }
    EXPECT_EQ(profile.GetString("Recent Images", "Image1"), "/discs/d5.iso");
    EXPECT_EQ(profile.GetString("Recent Images", "Image2"), "/discs/d10.iso");
    EXPECT_EQ(profile.GetString("Recent Images", "Image8"), "/discs/d3.iso");
    EXPECT_EQ(profile.GetString("Recent Images", "Image9"), "");
    RecentImages again(profile);
    ASSERT_EQ(again.Paths().size(), 8u);
    EXPECT_EQ(again.Paths()[2], "/discs/d9.iso");
    again.Remove("/discs/d10.iso");
    EXPECT_EQ(profile.GetString("Recent Images", "Image2"), "/discs/d9.iso");
    EXPECT_EQ(profile.GetString("Recent Images", "Image8"), "");
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

TEST(ListColumns, StartFromTheFractionsAndGrowFromTheNameOnly) {
    // 600 wide: 200, 100, 100, 200. Size needs 130 and Date 250: 80 more, taken from the name.
    EXPECT_EQ(List_FitColumns(600, {50, 80, 130, 250}, 90), (std::array<int, 4>{120, 100, 130, 250}));
    // Values that fit leave the fractions alone.
    EXPECT_EQ(List_FitColumns(600, {300, 40, 40, 120}, 90), (std::array<int, 4>{200, 100, 100, 200}));
    // The name keeps its minimum (or its own need when that is less); the list then scrolls.
    EXPECT_EQ(List_FitColumns(300, {200, 80, 80, 150}, 90), (std::array<int, 4>{90, 80, 80, 150}));
    EXPECT_EQ(List_FitColumns(300, {40, 80, 80, 150}, 90), (std::array<int, 4>{40, 80, 80, 150}));
}

// Demo drives of the image host adapter, a frame model over them and a folder for files of a test's own.
class ImageOpening : public DemoDrives {
  protected:
    void SetUp() override {
        DemoDrives::SetUp();
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives({}, &error)) << error; // no image in a drive yet
        dir_ = fs::temp_directory_path() / ("ckvd-open-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        frame_.waitBetweenTests = false;
    }
    void TearDown() override {
        frame_.Tree().Clear();
        frame_.List().Clear();
        DemoDrives::TearDown();
        fs::remove_all(dir_);
    }
    fs::path dir_;
    CMainFrameModel frame_{sink_, profile_};
};

TEST_F(ImageOpening, AnImageGoesIntoADriveOnceOrIsNamedWithTheReasonItCannot) {
    const int device = frame_.StartImageDrive(demo_[0]);
    ASSERT_GE(device, 0) << (sink_.shown.empty() ? "" : sink_.shown[0]);
    ASSERT_TRUE(frame_.LoadDisc(static_cast<uint16_t>(device)));
    EXPECT_EQ(frame_.Tree().TopLevel().size(), 2u);
    EXPECT_EQ(frame_.Doc().Title().rfind("CKVD_DEMO_S1", 0), 0u);
    // Opened again: the same drive gets the medium anew, no second drive.
    EXPECT_EQ(frame_.StartImageDrive(demo_[0]), device);
    EXPECT_EQ(frame_.StartImageDrive(demo_[1]), device + 1);
    EXPECT_EQ(g_DeviceCount, device + 2);
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown[0];

    // Images that cannot be opened are named and said why in plain words.
    const std::string bad = (dir_ / "bad.cue").string();
    std::ofstream(bad) << "FILE \"gone.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n";
    const std::string missing = (dir_ / "missing.iso").string();
    EXPECT_EQ(frame_.StartImageDrive(missing), -1);
    EXPECT_EQ(frame_.StartImageDrive(dir_.string()), -1);
    EXPECT_EQ(frame_.StartImageDrive(bad), -1);
    ASSERT_EQ(sink_.shown.size(), 3u);
    EXPECT_EQ(sink_.shown[0],
              "The disc image cannot be opened:\n" + missing + "\n\nThe file does not exist.");
    EXPECT_NE(sink_.shown[1].find("It is a folder, not a disc image file."), std::string::npos);
    EXPECT_EQ(sink_.shown[2].rfind("The disc image cannot be opened:\n" + bad + "\n\n", 0), 0u)
        << sink_.shown[2];
    EXPECT_NE(sink_.shown[2].find(bad + ":1: "), std::string::npos)
        << sink_.shown[2];                // the reader's words stay
    EXPECT_EQ(g_DeviceCount, device + 2); // nothing was put into a drive
    EXPECT_EQ(frame_.StartImageDrive(demo_[1]), device + 1);

    // A recent entry whose file has gone is taken off with a message naming it.
    const std::string copy = (dir_ / "copy.cue").string();
    frame_.Recent().Add(copy);
    frame_.Recent().Add(demo_[0]);
    EXPECT_EQ(frame_.TakeRecentImage(demo_[0]), demo_[0]);
    EXPECT_EQ(frame_.TakeRecentImage(copy), "");
    EXPECT_EQ(frame_.Recent().Paths(), std::vector<std::string>{demo_[0]});
    EXPECT_NE(sink_.shown.back().find(copy), std::string::npos);
}

} // namespace
