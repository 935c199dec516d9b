// Save Disc Image on a worker over a slow drive: Stop keeps what was read with its map, Start again reads
// only the rest, and the image is the one ckvd dump makes of the disc in one run.
#include "widget_fixture.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "desktop/dialogs/save_image_dlg.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST_F(MainWindow, SaveDiscImageStopsAndGoesOnFromItsMap) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const std::string dir = dir_.path().toStdString();
    const std::string cli = std::string(CKVD_BIN " dump '") + demo_[0] + "' '" + dir + "/cli.cue' >/dev/null";
    ASSERT_EQ(std::system(cli.c_str()), 0);
    ckvd::drives::FindImageDrive(demo_[0])->set_command_delay(std::chrono::milliseconds(300));
    WithModalDialog<CSaveImageDlg>(
        [&] { frame_->OnSaveDiscImage(); }, "Save Disc Image",
        [&](CSaveImageDlg* dlg) {
            EXPECT_TRUE(dlg->File()->text().endsWith("/disc.cue")); // two sessions: no .iso
            dlg->File()->setText(dir_.path() + "/win.cue");
            dlg->Start();
            ASSERT_TRUE(Within([&] { return dlg->Model().Done() > 0; }));
            dlg->Model().Stop();
            ASSERT_TRUE(Within([&] { return !dlg->Model().Running(); }));
            EXPECT_FALSE(dlg->Model().Complete());
            EXPECT_NE(FileText(dir + "/win.cue.map").find(" not-tried\n"), std::string::npos);
            ckvd::drives::FindImageDrive(demo_[0])->set_command_delay(std::chrono::milliseconds(0));
            dlg->Start();
            ASSERT_TRUE(Within([&] { return !dlg->Model().Running(); }));
            EXPECT_TRUE(dlg->Model().Complete()) << dlg->Model().ResultText();
        });
    for (const char* bin : {".bin", "-session2.bin"})
        EXPECT_EQ(FileText(dir + "/win" + bin), FileText(dir + "/cli" + bin)) << bin;
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}
