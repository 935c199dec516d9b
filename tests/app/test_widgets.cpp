// The Qt front ends on the offscreen platform: profile file, instance lock, display text, the main window on
// the demo disc, the list's commands and the Disc Information dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "app/about_dlg.h"
#include "app/disc_info_dialog.h"
#include "app/first_drive.h"
#include "app/main_frm.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "platform/ui/ui_instance.h"
#include "platform/ui/ui_profile.h"
#include "platform/ui/ui_text.h"
#include "report/lbn_size_style.h"
#include "res/app_strings.h"

namespace {

TEST(UiProfile, WritesTheSectionAsNamedAndReadsItBack) {
    QTemporaryDir dir;
    QString path = dir.path() + "/sub/profile.ini";
    {
        ckvd::ui::IniProfile p(path);
        EXPECT_EQ(p.GetInt("CX", 640), 640);
        p.WriteInt("CX", 812);
        p.WriteInt("ISZOOM", 1);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.startsWith("[CkvdExplorer Settings]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("\nCX=812\n"));
    ckvd::ui::IniProfile again(path);
    EXPECT_EQ(again.GetInt("CX", 0), 812);
    EXPECT_EQ(again.GetInt("ISZOOM", 0), 1);
    EXPECT_EQ(again.GetInt("DISCMNGRNO", 7), 7);
    // No temporary file is left beside the profile.
    EXPECT_EQ(QDir(dir.path() + "/sub").entryList(QDir::Files), QStringList{"profile.ini"});
}

TEST(UiInstance, SecondGuardFailsWhileTheFirstHoldsAndReleaseHappensOnce) {
    QTemporaryDir dir;
    ckvd::ui::LockFileGuard first(dir.path()), second(dir.path());
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(QFile::exists(dir.path() + "/CKVDExpInstance.lock"));
    EXPECT_FALSE(second.Acquire());
    first.Release();
    first.Release();
    EXPECT_FALSE(QFile::exists(dir.path() + "/CKVDExpInstance.lock"));
    EXPECT_TRUE(second.Acquire());
}

TEST(UiText, ShiftJisToUnicode) {
    // "音楽" 0x89B9 0x8A79, half-width katakana "ｱ" 0xB1, ASCII, and a lone lead byte at the end.
    const char sjis[] = "\x89\xb9\x8a\x79-\xb1 A\x82\xa0\x81";
    QString text = ckvd::ui::SjisToQString(sjis);
    EXPECT_EQ(text, QString::fromUtf8("音楽-ｱ Aあ\xEF\xBF\xBD"));
    EXPECT_EQ(ckvd::ui::SjisToQString(nullptr), QString());
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        demo_ = ckvd::images::demo_disc_paths();
        ASSERT_EQ(demo_.size(), 2u);
        ASSERT_EQ(Aspi_Initialize(), 1);
        ASSERT_EQ(Iso_Initialize(), 1);
        std::string error;
        ASSERT_TRUE(ckvd::aspi32::SetupDrives(demo_, &error)) << error;
        g_LbnSizeStyle = 0;
        profile_ = std::make_unique<ckvd::ui::IniProfile>(dir_.path() + "/profile.ini");
        frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
    }
    void TearDown() override {
        frame_.reset();
        Iso_Terminate();
        Aspi_Terminate();
    }
    QTemporaryDir dir_;
    std::vector<std::string> demo_;
    ckvd::ui::RecordingSink sink_;
    std::unique_ptr<ckvd::ui::IniProfile> profile_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainWindow, MenusToolBarAndStatusBar) {
    QStringList menus;
    for (QAction* a : frame_->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"FIle(&F)", "Tool(&T)", "View(&V)", "Help(&H)"}));
    QStringList file;
    for (QAction* a : frame_->menuBar()->actions()[0]->menu()->actions())
        file << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(file, (QStringList{"Select Drive(&S)...", "Save DiscInfomation(&W)...", "-", "Exit(&X)"}));
    std::vector<QAction*> tools;
    for (QAction* a : frame_->ToolBar()->actions())
        tools.push_back(a->isSeparator() ? nullptr : a);
    std::vector<QAction*> expected;
    for (int command : kToolBarButtons)
        expected.push_back(command ? frame_->Action(command) : nullptr);
    EXPECT_EQ(tools, expected);
    EXPECT_EQ(frame_->Action(ID_VIEW_LARGEICON)->toolTip(), "Large Icon");
    EXPECT_EQ(frame_->Action(ID_SELECT_DRIVE)->statusTip(), "Select Drive");
    EXPECT_EQ(frame_->Action(ID_DISC_INFORMATION)->statusTip(), "Disc Information");
    EXPECT_EQ(frame_->statusBar()->currentMessage(), "Ready");
    EXPECT_EQ(frame_->windowTitle(), "CKVD Explorer");
}

TEST_F(MainWindow, DemoDiscFillsTreeAndListAndTheTreeDrivesTheList) {
    frame_->ShowWindow(5);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    int device = App_StartFirstDrive(true, sink_, false);
    ASSERT_GE(device, 0);
    ASSERT_TRUE(frame_->LoadDisc(static_cast<uint16_t>(device)));
    CLeftView* tree = frame_->GetLeftPane();
    CKVDAppView* list = frame_->GetRightPane();
    EXPECT_EQ(tree->model()->rowCount(), 2);
    EXPECT_TRUE(tree->model()->index(0, 0).data().toString().startsWith("(Session1) CKVD_DEMO_S1"));
    EXPECT_EQ(tree->currentIndex(), tree->model()->index(0, 0));
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S1"));
    EXPECT_TRUE(frame_->windowTitle().endsWith(" - CKVD Explorer"));
    int rootRows = list->ListModel()->rowCount();
    EXPECT_GT(rootRows, 0);
    EXPECT_EQ(list->ListModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "FileName");

    // Down arrow: the first directory of session 1 is shown in the list.
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    QModelIndex dir = tree->currentIndex();
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(dir.parent(), tree->model()->index(0, 0));
    EXPECT_NE(list->ListModel()->rowCount(), 0);
    // The second session's item: the list and g_CurrentSession follow.
    tree->setCurrentIndex(tree->model()->index(1, 0));
    EXPECT_EQ(g_CurrentSession, 1);
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S2"));
    // Focus moving alone, or the selection being cleared, selects nothing.
    int shownRows = list->ListModel()->rowCount();
    tree->selectionModel()->setCurrentIndex(tree->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(g_CurrentSession, 1);
    tree->selectionModel()->clearSelection();
    EXPECT_EQ(g_CurrentSession, 1);
    EXPECT_EQ(list->ListModel()->rowCount(), shownRows);
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S2"));
    tree->setCurrentIndex(tree->model()->index(1, 0));
    // Japanese names come through the Shift-JIS conversion.
    bool japanese = false;
    for (int r = 0; r < list->ListModel()->rowCount(); ++r)
        japanese |= list->ListModel()->index(r, 0).data().toString() == QString::fromUtf8("追加");
    EXPECT_TRUE(japanese);

    // LBN/Size (&16) rewrites the numbers at once.
    QString lbn = list->ListModel()->index(0, 1).data().toString();
    list->OnCommand(ID_LBNSIZE_BASE16);
    EXPECT_TRUE(list->ListModel()->index(0, 1).data().toString().startsWith("0x"));
    EXPECT_EQ(list->ListModel()->index(0, 1).data().toString().toUInt(nullptr, 16), lbn.trimmed().toUInt());
    list->OnCommand(ID_LBNSIZE_BASE10);

    // View styles switch the list widget and the radio marks.
    frame_->OnViewStyle(ID_VIEW_LARGEICON);
    EXPECT_EQ(list->currentWidget(), list->IconView());
    EXPECT_EQ(list->IconView()->viewMode(), QListView::IconMode);
    EXPECT_TRUE(frame_->Action(ID_VIEW_LARGEICON)->isChecked());
    EXPECT_FALSE(frame_->Action(ID_VIEW_DETAILS)->isChecked());
    frame_->OnViewStyle(ID_VIEW_DETAILS);
    EXPECT_EQ(list->currentWidget(), list->ReportView());

    // Disc Information over the loaded disc: one row per track.
    DiscInfoDialog info(frame_.get());
    EXPECT_EQ(info.List()->topLevelItemCount(), static_cast<int>(info.Content().Rows().size()));
    EXPECT_EQ(info.List()->headerItem()->text(13), "RecordingAreaLeadOut");
    EXPECT_EQ(info.List()->topLevelItem(0)->text(3), "1");

    QImage shot = frame_->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_GT(shot.width(), 100);
}

TEST_F(MainWindow, ClosingWritesThePlacementToTheProfile) {
    frame_->move(40, 30);
    frame_->resize(700, 500);
    frame_->ShowWindow(5);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    frame_->resize(720, 480);
    frame_->close();
    ckvd::ui::IniProfile read(dir_.path() + "/profile.ini");
    EXPECT_EQ(read.GetInt("CX", 0), frame_->frameGeometry().width());
    EXPECT_EQ(read.GetInt("CY", 0), frame_->frameGeometry().height());
    EXPECT_EQ(read.GetInt("ISZOOM", -1), 0);
    EXPECT_EQ(read.GetInt("DISCMNGRNO", -1), 0);
}

TEST(AboutBox, ShowsVersionAndBuild) {
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Version");
    EXPECT_EQ(dlg.Version(), "0.90");
    EXPECT_EQ(dlg.Build(), "Oct.21 2002");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
