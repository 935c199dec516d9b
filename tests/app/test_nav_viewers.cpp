// The navigation-file viewers in the window, on the demo disc's second session: how they are opened (a
// double-click, the context menu's item), what they show, the radio buttons and the group tree that refill
// them, the file image they hold while open and the read error of a file that cannot be read.
//
// The second session's tree (tools/demo/make_demo.sh): playlists for 追加 (夜.mp3, 波.wav, the cover 夜.jpg),
// 追加/写真 (空.jpg, 海.png) and 追加/動画 (テスト.avi); MENU/BACK.JPG the one menu image.
#include "main_window_fixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>

#include "desktop/mediainfo/tag_information.h"
#include "desktop/navigation/nav_dlg.h"
#include "iso9660/iso9660.h"
#include "res/resource.h"

namespace {

class NavViewers : public MainWindow {
  protected:
    void SetUp() override {
        MainWindow::SetUp();
        frame_->Model().waitBetweenTests = false;
        ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    }
    // The values beside `labels`, "|" after each, or a marker for a field the viewer does not have.
    static QString Value(const CNavViewerDlg* dlg, std::initializer_list<const char*> labels) {
        QString text;
        for (const char* label : labels)
            text +=
                (dlg->Field(label) ? dlg->Field(label)->text() : QString("<no field %1>").arg(label)) + "|";
        return text;
    }
    static QStringList Column(const NavListView* list, int column) {
        QStringList cells;
        for (int r = 0; r < list->Content().rowCount(); ++r)
            cells << list->Content().Cell(r, column);
        return cells;
    }
};

TEST_F(NavViewers, DoubleClickOpensContentsAndTheRadioButtonsRefillTheFileTable) {
    CKVDAppView* list = frame_->GetRightPane();
    Select("/CONTENTS.LMX");
    WithModalDialog(
        [list] { DoubleClickRow(list, "CONTENTS.LMX"); },
        [](QDialog* shown) {
            auto* dlg = dynamic_cast<CContentsDlg*>(shown);
            ASSERT_NE(dlg, nullptr);
            EXPECT_EQ(dlg->windowTitle(), "CONTENTS.LMX");
            EXPECT_TRUE(dlg->HoldsImage());
            // Three playlists, two audio files, one menu image, three images, one video.
            EXPECT_EQ(
                Value(dlg, {"Number of Playlist Files", "Number of Image files", "Size of Audio Entry"}),
                "3(0x00000003)|3(0x00000003)|32(0x0020)|");
            EXPECT_EQ(dlg->LcidList()->count(), 1);
            EXPECT_EQ(Column(dlg->List("Directory Table"), 4),
                      (QStringList{"", "DOCS", "MENU", "追加", "写真", "動画"}));
            EXPECT_EQ(Column(dlg->List("Playlist Table"), 0),
                      (QStringList{"1(0x00000001)", "2(0x00000002)", "3(0x00000003)"}));
            // Opens on Audio; CIDs go on from the playlists': 3 + 1.
            using T = CContentsDlgModel::FileTable;
            EXPECT_TRUE(dlg->Radio(T::Audio)->isChecked());
            NavListView* files = dlg->FileTable();
            EXPECT_EQ(files->Content().columnCount(), 21);
            const QStringList audio{"4(0x00000004)", "5(0x00000005)", "夜.mp3", "波.wav"};
            EXPECT_EQ(Column(files, 0) + Column(files, 20), audio);
            // Video: the first CID after 3 + 2 + 1 + 3 entries; only its button checked.
            dlg->Radio(T::Video)->click();
            EXPECT_EQ(Column(files, 0) + Column(files, 20), (QStringList{"10(0x0000000A)", "テスト.avi"}));
            EXPECT_EQ((QList<bool>{dlg->Radio(T::Audio)->isChecked(), dlg->Radio(T::MenuImage)->isChecked(),
                                   dlg->Radio(T::Image)->isChecked()}),
                      QList<bool>(3, false));
            dlg->Radio(T::Image)->click();
            EXPECT_EQ(Column(files, 13), (QStringList{"160(0x000000A0)", "120(0x00000078)",
                                                      "160(0x000000A0)"})); // ffmpeg's sizes
            dlg->Radio(T::Audio)->click();
            EXPECT_EQ(Column(files, 0) + Column(files, 20), audio);
            // The tables fit their values rather than cutting them to width / 21.
            for (int c = 0; c < 21; ++c)
                EXPECT_GE(files->columnWidth(c),
                          files->fontMetrics().horizontalAdvance(files->Content().Cell(0, c)))
                    << c;
        });
    EXPECT_EQ(g_FileData, nullptr); // released by OK
    EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(NavViewers, ContextMenuItemOpensTheViewerChosenByName) {
    CKVDAppView* list = frame_->GetRightPane();
    // The item is there for a navigation file only.
    auto contextItems = [list] {
        QStringList texts;
        QTimer::singleShot(0, [&texts] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                texts = Texts(menu->actions());
                menu->close();
            }
        });
        list->OnContextMenu(list->mapToGlobal(QPoint(10, 10)));
        return texts;
    };
    Select("/README.TXT");
    EXPECT_FALSE(contextItems().contains("&Navigation File Viewer..."));
    Select("/MENU.LMX");
    EXPECT_EQ(contextItems().mid(contextItems().size() - 2),
              (QStringList{"-", "&Navigation File Viewer..."}));

    WithModalDialog([list] { list->OnCommand(ID_NAVIGATION_VIEWER); },
                    [](QDialog* shown) {
                        auto* dlg = dynamic_cast<CMenuDlg*>(shown);
                        ASSERT_NE(dlg, nullptr);
                        EXPECT_EQ(dlg->windowTitle(), "MENU.LMX");
                        // The menus follow the directories: 追加 holds its own playlist and the two below.
                        QTreeWidget* tree = dlg->Tree();
                        ASSERT_EQ(tree->topLevelItemCount(), 1);
                        EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
                        ASSERT_EQ(tree->topLevelItem(0)->childCount(), 1);
                        QTreeWidgetItem* sub = tree->topLevelItem(0)->child(0);
                        EXPECT_EQ(sub->text(0), "追加");
                        ASSERT_EQ(sub->childCount(), 3);
                        EXPECT_EQ(sub->child(2)->text(0), "動画");
                    });
    Select("/PLAY0001.LMX");
    WithModalDialog([list] { list->OnCommand(ID_NAVIGATION_VIEWER); },
                    [](QDialog* shown) {
                        auto* dlg = dynamic_cast<CPlaylistDlg*>(shown);
                        ASSERT_NE(dlg, nullptr);
                        EXPECT_EQ(dlg->windowTitle(), "PLAYLIST.LMX");
                        EXPECT_EQ(Value(dlg, {"Playlist File Name"}), "PLAY0001.LMX|");
                        // 追加: one group of audio with images, the cover shown first; the groups are
                        // the root item's siblings, and the root is selected on opening.
                        QTreeWidget* tree = dlg->Tree();
                        ASSERT_EQ(tree->topLevelItemCount(), 2);
                        QTreeWidgetItem* root = tree->topLevelItem(0);
                        EXPECT_EQ(root->text(0), "< Playlist Group Viewer >");
                        EXPECT_EQ(tree->currentItem(), root);
                        tree->setCurrentItem(tree->topLevelItem(1));
                        EXPECT_EQ(Value(dlg, {"Number of Audio Files", "Number of Image Files"}),
                                  "2(0x00000002)|1(0x00000001)|");
                        EXPECT_EQ(dlg->Files()->Content().rowCount(), 3);
                        // The root item blanks the counts.
                        tree->setCurrentItem(root);
                        EXPECT_EQ(Value(dlg, {"Number of Audio Files"}), " |");
                    });
    // LSN.LMX in CID order: the first playlist's sector is where the disc holds PLAY0001.LMX.
    const uint32_t play1 = Select("/PLAY0001.LMX")->lbn;
    Select("/LSN.LMX");
    WithModalDialog([list] { list->OnCommand(ID_NAVIGATION_VIEWER); },
                    [play1](QDialog* shown) {
                        auto* dlg = dynamic_cast<CLsnDlg*>(shown);
                        ASSERT_NE(dlg, nullptr);
                        EXPECT_EQ(dlg->windowTitle(), "LSN.LMX");
                        NavListView* entries = dlg->findChild<NavListView*>();
                        ASSERT_NE(entries, nullptr);
                        ASSERT_EQ(entries->Content().rowCount(), 10);
                        EXPECT_EQ(entries->Content().Cell(0, 0).section('(', 0, 0), QString::number(play1));
                    });
    // Tag Information keeps its answer for a navigation file.
    EXPECT_EQ(App_TagInfoDialog(Select("/TEXT.LMX"), sink_, frame_.get()), nullptr);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This format isn't being supported."});
}

TEST_F(NavViewers, EscapeReleasesTheImageAndAnUnreadableFileGivesAnEmptyViewer) {
    FileEntry* lsn = Select("/LSN.LMX");
    {
        std::unique_ptr<CNavViewerDlg> dlg = App_NavigationViewer(lsn, sink_, frame_.get());
        ASSERT_NE(dlg, nullptr);
        dlg->show();
        ASSERT_NE(g_FileData, nullptr);
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_FALSE(dlg->HoldsImage());
        EXPECT_EQ(g_FileData, nullptr);
    }
    // Another viewer afterwards reads its own file.
    std::unique_ptr<CNavViewerDlg> text = App_NavigationViewer(Select("/TEXT.LMX"), sink_, frame_.get());
    ASSERT_NE(dynamic_cast<CTextDlg*>(text.get()), nullptr);
    EXPECT_EQ(text->windowTitle(), "TEXT.LMX");
    EXPECT_TRUE(text->HoldsImage());
    EXPECT_EQ(Value(text.get(), {"Identifier"}), "TXTLMX01|");
    text->reject();
    EXPECT_EQ(g_FileData, nullptr);
    ASSERT_TRUE(sink_.shown.empty());

    // Files placed past the disc's end: the message, then a viewer with nothing in it.
    FileEntry contents = *Select("/CONTENTS.LMX");
    contents.lbn = 0x7FFFFF00;
    std::unique_ptr<CNavViewerDlg> dlg = App_NavigationViewer(&contents, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"CONTENTS.LMX Read Error!"});
    EXPECT_FALSE(dlg->HoldsImage());
    EXPECT_EQ(Value(dlg.get(), {"Identifier"}), "|");
    EXPECT_EQ(dlg->List("Directory Table")->Content().rowCount(), 0);
    EXPECT_EQ(dynamic_cast<CContentsDlg*>(dlg.get())->LcidList()->count(), 0);

    FileEntry playlist = *Select("/PLAY0002.LMX");
    playlist.lbn = 0x7FFFFF00;
    sink_.shown.clear();
    dlg = App_NavigationViewer(&playlist, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"PLAY0002.LMX Read Error!"});
    auto* empty = dynamic_cast<CPlaylistDlg*>(dlg.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(Value(empty, {"Playlist File Name"}), "PLAY0002.LMX|"); // still names the file
}

} // namespace
