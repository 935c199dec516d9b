// The two demo discs (made by genisoimage and sox at build time) in image drives, through the real ASPI
// manager and disc file system.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "appmodel/drive_dlg_model.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "platform/ui/message_sink.h"
#include "platform/ui/profile_store.h"
#include "report/lbn_size_style.h"

class DemoDrives : public ::testing::Test {
  protected:
    void SetUp() override {
        demo_ = ckvd::images::demo_disc_paths();
        ASSERT_EQ(demo_.size(), 2u) << "demo discs missing";
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_EQ(Iso_Initialize(), 1);
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives(demo_, &error)) << error;
        g_LbnSizeStyle = 0;
    }
    void TearDown() override {
        Iso_Terminate();
        Aspi_Terminate();
    }
    // Row of the dialog showing `path`.
    static int RowOf(const CDriveDlgModel& dlg, const std::string& path) {
        for (size_t i = 0; i < dlg.Rows().size(); ++i)
            if (dlg.Rows()[i].path == path)
                return static_cast<int>(i);
        return -1;
    }
    CDriveDlgModel Dialog(ckvd::ui::MessageSink& sink) {
        CDriveDlgModel dlg(sink);
        dlg.sleep = [this](int ms) { sleeps_.push_back(ms); };
        return dlg;
    }
    std::vector<std::string> demo_;
    std::vector<int> sleeps_;
    ckvd::ui::RecordingSink sink_;
    ckvd::ui::MemoryProfile profile_;
};
