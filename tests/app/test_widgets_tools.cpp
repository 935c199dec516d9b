// The main window's tools on the offscreen platform: the first start's size, a cut image, the tree's width,
// the tool bar, Save to Disc of rows, sorting, widths, Verify Disc, the Player Check, the catalogue and the
// navigation-file viewers.
#include "platform/text/grouped_number.h"
#include "widget_fixture.h"

namespace {

TEST(FirstStart, TakesThreeQuartersOfTheScreenCentredAndNeverLessThan640By400) {
    struct Case {
        ScreenRect available, expected;
    } const cases[] = {
        {{0, 0, 1366, 740}, {171, 92, 1023, 555}},
        {{1920, 24, 2560, 1416}, {2240, 201, 1920, 1062}},
        {{0, 0, 800, 480}, {80, 40, 640, 400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Placement_FirstStart(c.available), c.expected) << c.available.width;
}

// A disc image cut short by genisoimage's standards: the volume the file starts claims blocks it lacks.
std::string CutImage(const QString& dir, qint64 blocks) {
    QDir().mkpath(dir + "/tree");
    for (int i = 0; i < 40; ++i) {
        QFile f(dir + QString("/tree/file_%1.dat").arg(i));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(30000, char('a' + i % 26)));
    }
    const QString iso = dir + "/cut.iso";
    QProcess mk;
    mk.start("genisoimage", {"-quiet", "-J", "-o", iso, dir + "/tree"});
    EXPECT_TRUE(mk.waitForFinished(60000) && mk.exitCode() == 0) << mk.readAllStandardError().toStdString();
    QFile f(iso);
    EXPECT_TRUE(f.resize(blocks * 2048));
    return iso.toStdString();
}

TEST_F(MainWindow, ACutImageKeepsTheDiscShownNamesTheReasonAndLeavesTheDrives) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const QString title = frame_->windowTitle();
    const size_t treeItems = frame_->Model().Tree().Items().size();
    const int rows = frame_->GetRightPane()->ListModel()->rowCount();
    ASSERT_GT(rows, 0);

    const std::string cut = CutImage(dir_.path(), 19);
    sink_.shown.clear();
    OpenImage(cut);
    ASSERT_EQ(sink_.shown.size(), 1u);
    const std::string& text = sink_.shown[0];
    EXPECT_EQ(text.rfind("ISO9660 FileSystem Analyze Error\nFile MainFrm Line ", 0), 0u) << text;
    EXPECT_NE(
        text.find("\n\n" + cut + ": the image file ends at block 19; the disc's directory lies at block "),
        std::string::npos)
        << text;
    EXPECT_NE(text.find(": the file is incomplete."), std::string::npos) << text;

    // The demo disc is still shown and usable; the broken image is in no drive.
    EXPECT_EQ(frame_->windowTitle(), title);
    EXPECT_EQ(frame_->Model().Tree().Items().size(), treeItems);
    EXPECT_EQ(frame_->GetRightPane()->ListModel()->rowCount(), rows);
    EXPECT_EQ(ckvd::drives::FindImageDrive(cut), nullptr);
    EXPECT_TRUE(frame_->Model().CheckDisc());
    const FileEntry* mp3 = Select("/音楽/アルバム 一/01 さくら.mp3");
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(Iso_ReadFile(mp3->lbn, mp3->size), ISO_OK);
    Iso_FreeFile();

    // ckvd says the same after its own message.
    QProcess ckvd;
    ckvd.start(CKVD_BIN, {"ls", QString::fromStdString(cut)});
    ASSERT_TRUE(ckvd.waitForFinished(60000));
    EXPECT_EQ(ckvd.exitCode(), 1);
    const QStringList lines = QString(ckvd.readAllStandardError()).split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "ckvd: ISO9660 FileSystem Analyze Error Code 1002");
    EXPECT_TRUE(
        lines[1].startsWith("ckvd: " + QString::fromStdString(cut) + ": the image file ends at block 19;"))
        << lines[1].toStdString();
}

TEST_F(MainWindow, TheTreeTakesWhatItNeedsUpToAThirdAndGivesWayFirst) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    auto* splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    ASSERT_NE(splitter, nullptr);
    const int needs = frame_->GetLeftPane()->NeededWidth();
    for (int width : {1200, 640, 400}) {
        frame_->resize(width, 500);
        QApplication::processEvents();
        const QList<int> sizes = splitter->sizes();
        EXPECT_EQ(sizes[0], std::min(needs, (sizes[0] + sizes[1]) / 3)) << width;
    }
    // Narrower than its names, the tree scrolls sideways and cuts none.
    CLeftView* tree = frame_->GetLeftPane();
    const QModelIndex session = tree->model()->index(0, 0);
    EXPECT_EQ(DrawnText(tree, session), session.data().toString());
    // Once the user moved the splitter, the tree keeps the width given.
    emit splitter->splitterMoved(300, 1);
    splitter->setSizes({300, 900});
    frame_->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_EQ(splitter->sizes()[0], 300);
}

TEST_F(MainWindow, ToolBarPicturesAreDrawnInThePalettesTextColour) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    QApplication::setPalette(dark);
    QApplication::processEvents();
    for (QAction* a : frame_->ToolBar()->actions()) {
        if (a->text() != "List" && a->text() != "Small Icon")
            continue;
        // The lines of the picture: light pixels on the dark bar.
        const QImage picture = a->icon().pixmap(16, 16).toImage();
        int light = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                light += qAlpha(picture.pixel(x, y)) > 128 && QColor(picture.pixel(x, y)).lightness() > 200;
        EXPECT_GT(light, 8) << a->text().toStdString();
    }
    QApplication::setPalette(before);
}

TEST_F(MainWindow, SaveToDiscTakesSeveralRowsWithTheirFoldersIntoAChosenFolder) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    list->ReportView()->selectAll(); // README.TXT, DOCS and 音楽
    const QString out = dir_.path() + "/saved";
    QDir().mkpath(out);
    // The progress window opens first and asks for the folder.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            answer.stop();
            // The folder shown, taken as it stands (a typed selection would race the dialog's own listing).
            chooser->setDirectory(out);
            static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
        }
    });
    answer.start(20);
    list->OnCommand(ID_SAVE_TO_DISC);
    EXPECT_FALSE(answer.isActive()) << "no folder chooser";
    EXPECT_TRUE(sink_.shown.empty());
    // The demo disc's files below the three rows, with the sizes its listing gives.
    const std::pair<const char*, qint64> files[] = {
        {"README.TXT", 36},
        {"DOCS/NOTES/2002/メモ.txt", 14},
        {"音楽/アルバム 一/01 さくら.mp3", 34944},
        {"音楽/アルバム 一/02 Morning.mp3", 49655},
        {"音楽/アルバム 二/波の音.wav", 176444},
        {"音楽/アルバム 二/ボーナス/Evening.wma", 19916},
    };
    for (const auto& [name, size] : files)
        EXPECT_EQ(QFileInfo(out + "/" + QString::fromUtf8(name)).size(), size) << name;
    // The status bar keeps what was done: 281,009 bytes in all.
    EXPECT_EQ(frame_->LastAction(), "Saved 6 files (281.0 kB) to " + out);
    EXPECT_TRUE(frame_->statusBar()->currentMessage().startsWith("Saved 6 files")); // the folder may give way
}

// The names of the list's rows in the order shown.
QStringList ShownNames(CMainFrame& frame) {
    QStringList names;
    for (int r = 0; r < frame.Model().List().RowCount(); ++r)
        names << QString::fromUtf8(Iso_EntryName(frame.Model().List().Entry(r)));
    return names;
}

TEST_F(MainWindow, HeadingClicksSortTheListForEveryFolderAndRunAndBackspaceGoesUp) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    QHeaderView* header = frame_->GetRightPane()->ReportView()->header();
    const auto click = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 8, header->height() / 2));
    };
    click(2);
    click(2); // sizes down; the folders' equal sizes keep the disc's order
    EXPECT_EQ(ShownNames(*frame_), QStringList({"DOCS", "音楽", "README.TXT"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    // The next folder comes sorted the same way (sizes from ckvd ls demo), the status bar counts it.
    Select("/CONTENTS.LMX");
    EXPECT_EQ(ShownNames(*frame_).mid(4),
              QStringList({"TEXT.LMX", "CONTENTS.LMX", "MENU.LMX", "PLAY0001.LMX", "LSN.LMX", "PLAY0003.LMX",
                           "PLAY0002.LMX", "README.TXT"}));
    EXPECT_EQ(frame_->EntryCount()->text(), "12 entries");
    // Backspace and Alt+Up go up a folder, the folder left the current row.
    Select("/DOCS/NOTES/2002/メモ.txt");
    QTest::keyClick(frame_->GetRightPane()->ReportView(), Qt::Key_Backspace);
    CKVDAppViewModel& list = frame_->Model().List();
    ASSERT_NE(list.Entry(list.CurrentItem()), nullptr);
    EXPECT_STREQ(Iso_EntryName(list.Entry(list.CurrentItem())), "2002");
    QTest::keyClick(frame_->GetRightPane()->ReportView(), Qt::Key_Up, Qt::AltModifier);
    ASSERT_NE(list.Entry(list.CurrentItem()), nullptr);
    EXPECT_STREQ(Iso_EntryName(list.Entry(list.CurrentItem())), "NOTES");
    EXPECT_EQ(frame_->EntryCount()->text(), "2 entries"); // DOCS of session 2: SESSION2.TXT and NOTES
    // The sort stays for the next run.
    frame_->close();
    frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    EXPECT_EQ(ShownNames(*frame_), QStringList({"DOCS", "音楽", "README.TXT"}));
    EXPECT_EQ(frame_->GetRightPane()->ReportView()->header()->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(MainWindow, WidthsTheUserSetStayForTheNextRun) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    auto* splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    emit splitter->splitterMoved(260, 1);
    splitter->setSizes({260, 380});
    frame_->GetRightPane()->ReportView()->header()->resizeSection(0, 333);
    frame_->close();
    EXPECT_EQ(profile_->GetInt("TREEWIDTH", 0), 260);
    EXPECT_EQ(profile_->GetInt("COLUMN0", 0), 333);
    frame_.reset();
    frame_ = std::make_unique<CMainFrame>(sink_, *profile_);
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    splitter = qobject_cast<QSplitter*>(frame_->centralWidget());
    EXPECT_EQ(splitter->sizes().value(0), 260);
    EXPECT_EQ(frame_->GetRightPane()->ReportView()->columnWidth(0), 333);
}

TEST_F(MainWindow, VerifyDiscNamesTheFilesACutImageLostAndADoubleClickShowsOne) {
    // The demo disc with its second session's track file cut after 80 blocks: the files beyond are named.
    ASSERT_NO_FATAL_FAILURE(Show());
    const QString cue = dir_.path() + "/cut.cue";
    for (const char* name : {"demo-data.cue", "demo-data.bin", "demo-data-s2.bin"})
        ASSERT_TRUE(
            QFile::copy(QFileInfo(QString::fromStdString(demo_[0])).dir().filePath(name),
                        dir_.path() + "/" + (name == std::string("demo-data.cue") ? "cut.cue" : name)));
    ASSERT_TRUE(QFile::resize(dir_.path() + "/demo-data-s2.bin", 80 * 2048));
    OpenImage(cue.toStdString());
    ASSERT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    WithModalDialog<CVerifyDlg>(
        [&] { frame_->OnVerifyDisc(); }, "Verify Disc",
        [&](CVerifyDlg* dlg) {
            dlg->Model().RunToEnd();
            dlg->Refresh();
            EXPECT_FALSE(dlg->Model().Sound());
            EXPECT_EQ(dlg->Model().StatusText(), "The disc is damaged: the entries below are hit");
            QTreeWidget* list = dlg->List();
            ASSERT_GT(list->topLevelItemCount(), 0);
            QTreeWidgetItem* row = list->topLevelItem(0);
            const uint32_t cut = 11737 + 80; // the session's start in the full TOC (ckvd toc demo)
            EXPECT_TRUE(row->text(1).startsWith(QString::fromStdString(ckvd::text::grouped(cut)) + "-"))
                << row->text(1).toStdString();
            EXPECT_EQ(row->text(2), "unreadable: past the end of the recorded area");
            const QString path = row->text(0).section(") ", 1);
            emit list->itemDoubleClicked(row, 0);
            // The file is the list's current row now, in the directory the tree shows.
            CKVDAppViewModel& files = frame_->Model().List();
            const FileEntry* shown = files.Entry(files.CurrentItem());
            ASSERT_NE(shown, nullptr);
            EXPECT_TRUE(path.endsWith("/" + QString::fromUtf8(Iso_EntryName(shown)))) << path.toStdString();
            EXPECT_GT(shown->lbn + (shown->size + 2047) / 2048, cut);
        });
}

TEST_F(MainWindow, VerifyDiscSaysWhatWasCheckedAsCkvdVerifyDoes) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    // The demo disc holds 2,048-byte blocks: read, with no whole sectors to check.
    QProcess cli;
    cli.start(CKVD_BIN, {"verify", QString::fromStdString(demo_[0])});
    ASSERT_TRUE(cli.waitForFinished(60000));
    QStringList tracks;
    for (const QString& line : QString::fromUtf8(cli.readAllStandardOutput()).split('\n'))
        if (line.startsWith("(Session") && line.contains(" track "))
            tracks << line;
    ASSERT_EQ(tracks.size(), 2) << cli.readAllStandardError().toStdString();
    WithModalDialog<CVerifyDlg>([&] { frame_->OnVerifyDisc(); }, "Verify Disc",
                                [&](CVerifyDlg* dlg) {
                                    dlg->Model().RunToEnd();
                                    dlg->Refresh();
                                    EXPECT_EQ(
                                        dlg->Status()->text(),
                                        "No damage found: every block was read (no whole sectors to check)");
                                    EXPECT_EQ(dlg->Checked()->text(), tracks.join('\n'));
                                });
}

TEST_F(MainWindow, PlayerCheckAfterARefusedProfileShowsTheProfileItsResultsComeFrom) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    const QString bad = dir_.path() + "/bad.ini";
    std::ofstream(bad.toStdString()) << "colour = red\n";
    WithModalDialog<CPlayerCheckDlg>([&] { frame_->OnPlayerCheck(); }, "Player Check",
                                     [&](CPlayerCheckDlg* dlg) {
                                         const QString summary = dlg->Summary()->text();
                                         dlg->ChooseProfileFile(bad);
                                         ASSERT_EQ(sink_.shown.size(), 1u);
                                         EXPECT_NE(sink_.shown[0].find("colour"), std::string::npos)
                                             << sink_.shown[0];
                                         EXPECT_EQ(dlg->ProfileBox()->currentText(), "car-cd");
                                         EXPECT_EQ(dlg->ProfileBox()->findText(bad), -1);
                                         EXPECT_EQ(dlg->Model().SummaryText().rfind("car-cd", 0), 0u);
                                         EXPECT_EQ(dlg->Summary()->text(), summary);
                                     });
}

TEST_F(MainWindow, PlayerCheckListsTheDemoDiscsOrderAndADoubleClickShowsTheFile) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    WithModalDialog<CPlayerCheckDlg>(
        [&] { frame_->OnPlayerCheck(); }, "Player Check",
        [&](CPlayerCheckDlg* dlg) {
            // Session 2 as a car player reads it: 追加 is folder 1 (its files before 音楽's), the empty root
            // and 音楽 itself have no number.
            EXPECT_EQ(dlg->ProfileBox()->currentText(), "car-cd");
            EXPECT_EQ(dlg->Tabs()->tabText(0), "&Findings (0)");
            QTreeWidget* order = dlg->Order();
            ASSERT_EQ(order->topLevelItemCount(), 4);
            QStringList rows;
            for (int i = 0; i < 4; ++i)
                rows << order->topLevelItem(i)->text(0) + " " + order->topLevelItem(i)->text(1) + " " +
                            order->topLevelItem(i)->text(2);
            EXPECT_EQ(rows, QStringList({"1 1 /追加/夜.mp3", "2 1 /音楽/アルバム 一/01 さくら.mp3",
                                         "2 2 /音楽/アルバム 一/02 Morning.mp3",
                                         "3 1 /音楽/アルバム 二/ボーナス/Evening.wma"}));
            emit order->itemDoubleClicked(order->topLevelItem(2), 0);
            CKVDAppViewModel& files = frame_->Model().List();
            ASSERT_NE(files.Entry(files.CurrentItem()), nullptr);
            EXPECT_STREQ(Iso_EntryName(files.Entry(files.CurrentItem())), "02 Morning.mp3");
        });
}

TEST_F(MainWindow, AddToCatalogueThenFindAndOpenTheEntry) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    frame_->OnAddToCatalogue();
    ASSERT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    // Added, or updated when a report of an earlier test added it first.
    EXPECT_TRUE(frame_->statusBar()->currentMessage().contains(" disc "))
        << frame_->statusBar()->currentMessage().toStdString();
    Select("/DOCS"); // somewhere else, so the double-click has to show the file
    WithModalDialog<CFindCatalogueDlg>(
        [&] { frame_->OnFindInCatalogue(); }, "Find in Catalogue",
        [&](CFindCatalogueDlg* dlg) {
            dlg->Field()->setText("contents.lmx");
            dlg->Search();
            EXPECT_EQ(dlg->Status()->text(), "1 entry on 1 disc");
            dlg->Field()->setText("さく"); // two characters: below the index's three, found all the same
            dlg->Search();
            QTreeWidget* results = dlg->Results();
            ASSERT_EQ(results->topLevelItemCount(), 2);
            EXPECT_EQ(results->topLevelItem(1)->text(2), "(Session2) /音楽/アルバム 一/01 さくら.mp3");
            EXPECT_EQ(dlg->Status()->text(), "2 entries on 1 disc");
            emit results->itemDoubleClicked(results->topLevelItem(1), 0);
            CKVDAppViewModel& files = frame_->Model().List();
            ASSERT_NE(files.Entry(files.CurrentItem()), nullptr);
            EXPECT_STREQ(Iso_EntryName(files.Entry(files.CurrentItem())), "01 さくら.mp3");
        });
}

QStringList Column(const NavListView* list, int column) {
    QStringList cells;
    for (int r = 0; r < list->Content().rowCount(); ++r)
        cells << list->Content().Cell(r, column);
    return cells;
}

TEST_F(MainWindow, NavViewerOnDoubleClickShowsContentsAndTheRadioButtonsRefillTheFileTable) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    Select("/CONTENTS.LMX");
    WithModalDialog<CContentsDlg>(
        [list] { DoubleClickRow(list, "CONTENTS.LMX"); }, "CONTENTS.LMX",
        [](CContentsDlg* dlg) {
            EXPECT_TRUE(dlg->HoldsImage());
            // Three playlists, two audio files, one menu image, three images, one video.
            EXPECT_EQ(
                Value(dlg, {"Number of Playlist Files", "Number of Image files", "Size of Audio Entry"}),
                "3(0x00000003)|3(0x00000003)|32(0x0020)|");
            EXPECT_EQ(dlg->LcidList()->count(), 1);
            EXPECT_EQ(Column(dlg->List("Directory Table"), 4),
                      (QStringList{"", "DOCS", "MENU", "追加", "写真", "動画"}));
            // Opens on Audio; CIDs go on from the playlists': 3 + 1.
            using T = CContentsDlgModel::FileTable;
            EXPECT_TRUE(dlg->Radio(T::Audio)->isChecked());
            NavListView* files = dlg->FileTable();
            EXPECT_EQ(Column(files, 0) + Column(files, 20),
                      (QStringList{"4(0x00000004)", "5(0x00000005)", "夜.mp3", "波.wav"}));
            // Video: the first CID after 3 + 2 + 1 + 3 entries; only its button checked.
            dlg->Radio(T::Video)->click();
            EXPECT_EQ(Column(files, 0) + Column(files, 20), (QStringList{"10(0x0000000A)", "テスト.avi"}));
            EXPECT_EQ((QList<bool>{dlg->Radio(T::Audio)->isChecked(), dlg->Radio(T::MenuImage)->isChecked(),
                                   dlg->Radio(T::Image)->isChecked()}),
                      QList<bool>(3, false));
            dlg->Radio(T::Image)->click();
            EXPECT_EQ(Column(files, 13), (QStringList{"160(0x000000A0)", "120(0x00000078)",
                                                      "160(0x000000A0)"})); // ffmpeg's sizes
            // The tables fit their values rather than cutting them to width / 21.
            for (int c = 0; c < 21; ++c)
                EXPECT_GE(files->columnWidth(c),
                          files->fontMetrics().horizontalAdvance(files->Content().Cell(0, c)))
                    << c;
        });
    EXPECT_EQ(g_FileData, nullptr); // released by OK
    EXPECT_TRUE(sink_.shown.empty());
}

TEST_F(MainWindow, NavViewersChosenByNameReleaseTheImageAndAnUnreadableFileGivesAnEmptyOne) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CKVDAppView* list = frame_->GetRightPane();
    auto contextMenu = [list] { list->OnContextMenu(list->mapToGlobal(QPoint(10, 10))); };
    auto open = [this](const char* path) { return App_NavigationViewer(Select(path), sink_, frame_.get()); };
    Select("/README.TXT");
    EXPECT_FALSE(PopupTexts(contextMenu).contains("&Navigation File Viewer..."));
    Select("/MENU.LMX");
    EXPECT_EQ(PopupTexts(contextMenu).mid(3, 2), (QStringList{"-", "&Navigation File Viewer..."}));
    WithModalDialog<CMenuDlg>([list] { list->OnCommand(ID_NAVIGATION_VIEWER); }, "MENU.LMX",
                              [](CMenuDlg* dlg) {
                                  // 追加 holds its own playlist and the two below.
                                  QTreeWidget* tree = dlg->Tree();
                                  ASSERT_EQ(tree->topLevelItemCount(), 1);
                                  EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0));
                                  QTreeWidgetItem* sub = tree->topLevelItem(0)->child(0);
                                  ASSERT_TRUE(sub && tree->topLevelItem(0)->childCount() == 1 &&
                                              sub->childCount() == 3);
                                  EXPECT_EQ(sub->text(0) + " " + sub->child(2)->text(0), "追加 動画");
                              });
    // 追加's playlist: one group of audio with images, the cover shown first; the groups are the root item's
    // siblings, and the root is selected on opening.
    std::unique_ptr<CNavViewerDlg> viewer = open("/PLAY0001.LMX");
    auto* playlist = dynamic_cast<CPlaylistDlg*>(viewer.get());
    ASSERT_NE(playlist, nullptr);
    EXPECT_EQ(playlist->windowTitle(), "PLAYLIST.LMX");
    EXPECT_EQ(Value(playlist, {"Playlist File Name"}), "PLAY0001.LMX|");
    QTreeWidget* groups = playlist->Tree();
    ASSERT_EQ(groups->topLevelItemCount(), 2);
    EXPECT_EQ(groups->topLevelItem(0)->text(0), "< Playlist Group Viewer >");
    EXPECT_EQ(groups->currentItem(), groups->topLevelItem(0));
    groups->setCurrentItem(groups->topLevelItem(1));
    EXPECT_EQ(Value(playlist, {"Number of Audio Files", "Number of Image Files"}),
              "2(0x00000002)|1(0x00000001)|");
    EXPECT_EQ(playlist->Files()->Content().rowCount(), 3);
    groups->setCurrentItem(groups->topLevelItem(0)); // the root item blanks the counts
    EXPECT_EQ(Value(playlist, {"Number of Audio Files"}), " |");
    // LSN.LMX in CID order: the first playlist's sector is where the disc holds PLAY0001.LMX.
    const uint32_t play1 = Select("/PLAY0001.LMX")->lbn;
    viewer.reset(); // one viewer at a time, as the modal dialogs are
    viewer = open("/LSN.LMX");
    ASSERT_NE(dynamic_cast<CLsnDlg*>(viewer.get()), nullptr);
    EXPECT_EQ(viewer->windowTitle(), "LSN.LMX");
    NavListView* entries = viewer->findChild<NavListView*>();
    ASSERT_NE(entries, nullptr);
    ASSERT_EQ(entries->Content().rowCount(), 10);
    EXPECT_EQ(entries->Content().Cell(0, 0).section('(', 0, 0), QString::number(play1));
    // Esc releases the image; another viewer afterwards reads its own file.
    viewer->show();
    ASSERT_NE(g_FileData, nullptr);
    QTest::keyClick(viewer.get(), Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_FALSE(viewer->HoldsImage());
    EXPECT_EQ(g_FileData, nullptr);
    viewer = open("/TEXT.LMX");
    ASSERT_NE(dynamic_cast<CTextDlg*>(viewer.get()), nullptr);
    EXPECT_EQ(viewer->windowTitle(), "TEXT.LMX");
    EXPECT_TRUE(viewer->HoldsImage());
    EXPECT_EQ(Value(viewer.get(), {"Identifier"}), "TXTLMX01|");
    viewer->reject();
    EXPECT_EQ(g_FileData, nullptr);
}

TEST_F(MainWindow, NavViewerOfAFilePastTheDiscsEndIsEmptyAfterItsMessage) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    std::unique_ptr<CNavViewerDlg> viewer;
    // Tag Information keeps its answer for a navigation file.
    EXPECT_EQ(App_TagInfoDialog(Select("/TEXT.LMX"), sink_, frame_.get()), nullptr);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This format isn't being supported."});
    // Files placed past the disc's end: the message, then a viewer with nothing in it.
    FileEntry contents = *Select("/CONTENTS.LMX"), play2 = *Select("/PLAY0002.LMX");
    contents.lbn = play2.lbn = 0x7FFFFF00;
    sink_.shown.clear();
    viewer = App_NavigationViewer(&contents, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"CONTENTS.LMX Read Error!"});
    EXPECT_FALSE(viewer->HoldsImage());
    EXPECT_EQ(Value(viewer.get(), {"Identifier"}), "|");
    EXPECT_EQ(viewer->List("Directory Table")->Content().rowCount(), 0);
    EXPECT_EQ(dynamic_cast<CContentsDlg*>(viewer.get())->LcidList()->count(), 0);
    sink_.shown.clear();
    viewer = App_NavigationViewer(&play2, sink_, frame_.get());
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"PLAY0002.LMX Read Error!"});
    auto* empty = dynamic_cast<CPlaylistDlg*>(viewer.get());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(Value(empty, {"Playlist File Name"}), "PLAY0002.LMX|"); // still names the file
    viewer.reset();                                                   // before the entries it was given
}

} // namespace
