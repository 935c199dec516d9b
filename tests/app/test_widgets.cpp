// The Qt front ends on the offscreen platform: profile file, instance lock, display text, the main window on
// the demo disc, the list's commands and the dialogs they open.
#include "widget_fixture.h"

namespace {

TEST(UiProfile, WritesTheSectionAsNamedAndReadsItBack) {
    QTemporaryDir dir;
    QString path = dir.path() + "/sub/profile.ini";
    {
        ckvd::ui::IniProfile p(path);
        EXPECT_EQ(p.GetInt("CX", 640), 640);
        p.WriteInt("CX", 812);
        p.WriteString("Recent Images", "Image1", "/discs/one disc.cue");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::string text = f.readAll().toStdString();
    EXPECT_EQ(text.find("[CkvdExplorer Settings]\nCX=812\n"), 0u) << text;
    EXPECT_NE(text.find("[Recent Images]\nImage1=/discs/one disc.cue\n"), std::string::npos) << text;
    ckvd::ui::IniProfile again(path);
    EXPECT_EQ(again.GetInt("CX", 0), 812);
    EXPECT_EQ(again.GetString("Recent Images", "Image1"), "/discs/one disc.cue");
    // No temporary file is left beside the profile.
    EXPECT_EQ(QDir(dir.path() + "/sub").entryList(QDir::Files), QStringList{"profile.ini"});
}

TEST(UiInstance, SecondGuardFailsWhileTheFirstHoldsAndReleaseHappensOnce) {
    QTemporaryDir dir;
    ckvd::ui::LockFileGuard first(dir.path()), second(dir.path());
    // The name holds the user, the display and the profile directory.
    EXPECT_TRUE(QFileInfo(first.Path()).fileName().contains("-offscreen-")) << first.Path().toStdString();
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(QFile::exists(first.Path()));
    EXPECT_FALSE(second.Acquire());
    first.Release();
    first.Release();
    EXPECT_FALSE(QFile::exists(first.Path()));
    EXPECT_TRUE(second.Acquire());
    // Another display or profile is another session; a name too long for a socket's path is hashed.
    const QString name = ckvd::ui::Instance_Name("u", ":57", "/home/u/.config/ckvd-explorer");
    EXPECT_TRUE(name.startsWith("CKVDExpInstance-u-:57-")) << name.toStdString();
    EXPECT_NE(name, ckvd::ui::Instance_Name("u", ":58", "/home/u/.config/ckvd-explorer"));
    EXPECT_NE(name, ckvd::ui::Instance_Name("u", ":57", "/tmp/p/ckvd-explorer"));
    EXPECT_LE(ckvd::ui::Instance_Name(QString(200, 'u'), "wayland-0", "/p").size(), 60);
}

TEST(UiText, ShiftJisToUnicode) {
    // "音楽" 0x89B9 0x8A79, half-width katakana "ｱ" 0xB1, ASCII, and a lone lead byte at the end.
    EXPECT_EQ(ckvd::ui::SjisToQString("\x89\xb9\x8a\x79-\xb1 A\x82\xa0\x81"),
              QString::fromUtf8("音楽-ｱ Aあ\xEF\xBF\xBD"));
    EXPECT_EQ(ckvd::ui::SjisToQString(nullptr), QString());
}

TEST_F(MainWindow, MenusToolBarAndStatusBar) {
    QString text;
    auto add = [&text](const QList<QAction*>& actions) {
        for (QAction* a : actions)
            text += a->isSeparator() ? "  -\n"
                                     : "  " + a->text() + "|" + a->shortcut().toString() + "|" +
                                           a->statusTip() + "|" + a->toolTip() + "\n";
    };
    for (QAction* menu : frame_->menuBar()->actions()) {
        text += menu->text() + "\n";
        add(menu->menu()->actions());
    }
    text += "tool bar\n";
    add(frame_->ToolBar()->actions());
    text += frame_->statusBar()->currentMessage() + "\n" + frame_->windowTitle() + "\n";
    ExpectGolden("app/main_window_commands.txt", text.toStdString());
    // The view-style buttons carry their own four distinct pictures.
    QSet<QByteArray> pictures;
    for (int command : {ID_VIEW_LARGEICON, ID_VIEW_SMALLICON, ID_VIEW_LIST, ID_VIEW_DETAILS}) {
        QImage image = frame_->Action(command)->icon().pixmap(16, 16).toImage();
        ASSERT_FALSE(image.isNull());
        pictures.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), 4);
}

TEST_F(MainWindow, ImagesOpenFromTheMenuADropAndTheRecentList) {
    ASSERT_NO_FATAL_FAILURE(Show());
    QAbstractItemModel* list = frame_->GetRightPane()->ListModel();
    frame_->chooseImage = [this] { return QString::fromStdString(demo_[1]); };
    frame_->Action(ID_OPEN_IMAGE)->trigger();
    EXPECT_TRUE(
        frame_->GetLeftPane()->model()->index(0, 0).data().toString().startsWith("(Session1) Audio CD"));
    EXPECT_EQ(list->index(0, 0).data().toString(), "Track01.cda");
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown[0];
    // A malformed sheet: a message, and the disc shown stays usable.
    const std::string bad = dir_.path().toStdString() + "/bad.cue";
    std::ofstream(bad) << "FILE \"none.bin\" BINARY\n  TRACK 01 MODE1/2048\n";
    OpenImage(bad);
    EXPECT_EQ(sink_.shown.size(), 1u);
    EXPECT_EQ(list->index(0, 0).data().toString(), "Track01.cda");
    // A dropped image is loaded the same way.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(demo_[0]))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame_.get(), &drop);
    EXPECT_EQ(sink_.shown.size(), 1u) << sink_.shown.back();
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S1"));
    // Both head the recent list, newest first; an entry whose file has gone leaves the menu.
    const QStringList recent{"&1 demo-data.cue", "&2 demo-audio.cue", "-"};
    EXPECT_EQ(Texts(frame_->FileMenu()->actions()).mid(5, 3), recent); // after Add to Catalogue
    EXPECT_EQ(profile_->GetString("Recent Images", "Image2"), demo_[1]);
    frame_->Model().Recent().Add(dir_.path().toStdString() + "/gone.iso");
    frame_->OpenRecentImage(0);
    EXPECT_EQ(Texts(frame_->FileMenu()->actions()).mid(5, 3), recent);
}

TEST_F(MainWindow, DemoDiscFillsTreeAndListAndTheTreeDrivesTheList) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CLeftView* tree = frame_->GetLeftPane();
    CKVDAppView* list = frame_->GetRightPane();
    QAbstractItemModel* rows = list->ListModel();
    EXPECT_EQ(tree->model()->rowCount(), 2);
    EXPECT_EQ(tree->currentIndex(), tree->model()->index(0, 0));
    EXPECT_TRUE(frame_->windowTitle().endsWith(" - CKVD Explorer"));
    EXPECT_EQ(rows->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "FileName");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentIndex().parent(), tree->model()->index(0, 0));
    EXPECT_NE(rows->rowCount(), 0);
    // The second session's item: the list follows. Focus moving alone, or the selection being cleared,
    // selects nothing.
    tree->setCurrentIndex(tree->model()->index(1, 0));
    EXPECT_EQ(g_CurrentSession, 1);
    const int shownRows = rows->rowCount();
    tree->selectionModel()->setCurrentIndex(tree->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    tree->selectionModel()->clearSelection();
    EXPECT_EQ(g_CurrentSession, 1);
    EXPECT_EQ(rows->rowCount(), shownRows);
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S2"));
    tree->setCurrentIndex(tree->model()->index(1, 0));
    // Japanese names come through the Shift-JIS conversion.
    EXPECT_EQ(rows->match(rows->index(0, 0), Qt::DisplayRole, QString::fromUtf8("追加"), 1, Qt::MatchExactly)
                  .size(),
              1);
    const QString lbn = rows->index(0, 1).data().toString();
    list->OnCommand(ID_LBNSIZE_BASE16);
    EXPECT_TRUE(rows->index(0, 1).data().toString().startsWith("0x"));
    EXPECT_EQ(rows->index(0, 1).data().toString().toUInt(nullptr, 16), lbn.trimmed().toUInt());
    list->OnCommand(ID_LBNSIZE_BASE10);
    frame_->OnViewStyle(ID_VIEW_LARGEICON);
    EXPECT_EQ(list->currentWidget(), list->IconView());
    EXPECT_EQ(list->IconView()->viewMode(), QListView::IconMode);
    EXPECT_TRUE(frame_->Action(ID_VIEW_LARGEICON)->isChecked());
    EXPECT_FALSE(frame_->Action(ID_VIEW_DETAILS)->isChecked());
    frame_->OnViewStyle(ID_VIEW_DETAILS);
    EXPECT_EQ(list->currentWidget(), list->ReportView());
}

// Disc Information: one row per track, headings and values whole, within the screen.
TEST_F(MainWindow, DiscInformationShowsEveryTrackWholeWithinTheScreen) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CDiscInfoDlg info(frame_.get());
    QTreeWidget* table = info.List();
    EXPECT_EQ(table->topLevelItemCount(), static_cast<int>(info.Content().Rows().size()));
    EXPECT_EQ(table->headerItem()->text(13), "RecordingAreaLeadOut");
    EXPECT_EQ(table->topLevelItem(0)->text(3), "1");
    EXPECT_LE(info.width(), frame_->screen()->availableGeometry().width());
    for (int c = 0; c < DISCINFO_COLUMNS; ++c)
        for (int r = -1; r < table->topLevelItemCount(); ++r) {
            const QString text = r < 0 ? table->headerItem()->text(c) : table->topLevelItem(r)->text(c);
            EXPECT_GT(table->columnWidth(c), table->fontMetrics().horizontalAdvance(text))
                << text.toStdString();
        }
}

// Screenshots select a directory or a file by path, in the last session that has it.
TEST_F(MainWindow, ScreenshotsSelectByPathAndDrawTheCaption) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    CLeftView* tree = frame_->GetLeftPane();
    CKVDAppView* list = frame_->GetRightPane();
    Select("/DOCS/NOTES");
    EXPECT_EQ(tree->currentIndex().data().toString(), "NOTES");
    Select("/README.TXT");
    EXPECT_EQ(tree->currentIndex().data().toString().left(10), "(Session2)");
    EXPECT_EQ(list->ReportView()->currentIndex().data().toString(), "README.TXT");
    Select(QString::fromUtf8("/追加").toStdString()); // a name only the second session has
    EXPECT_EQ(g_CurrentSession, 1);
    std::string error;
    EXPECT_FALSE(Screenshot_Select(*frame_, "/NO/SUCH", &error));
    QImage shot = Screenshot_Grab(*frame_);
    EXPECT_EQ(shot.width(), frame_->width());
    EXPECT_GT(shot.height(), frame_->height()); // the caption above the window
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, 3), frame_->palette().color(QPalette::Highlight));
}

// The Save to Disc window copies the file and closes by itself; a track's file dialog offers WAV and FLAC.
TEST_F(MainWindow, SaveToDiscCopiesTheFileAndOffersWavOrFlacForATrack) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    FileEntry* readme = Select("/README.TXT");
    CKVDAppViewModel& model = frame_->Model().List();
    CSaveToDiscDlg save(sink_, model.Entries(), model.CurrentItem(), frame_.get());
    const QString copy = dir_.path() + "/readme.txt";
    save.Model().chooseFile = [&](const std::string& proposed) {
        EXPECT_EQ(proposed, "README.TXT");
        return copy.toStdString();
    };
    EXPECT_EQ(save.exec(), QDialog::Accepted);
    EXPECT_EQ(save.Outcome().result, SaveResult::Ok);
    EXPECT_EQ(QFileInfo(copy).size(), qint64(readme->size));
    EXPECT_EQ(save.Progress()->value(), save.Progress()->maximum());
    EXPECT_TRUE(sink_.shown.empty());
    // An audio track's file dialog offers WAV and FLAC; the filter chosen gives the name its extension.
    const auto track = App_SaveToDiscFileDialog("Track02.wav", frame_.get(), true);
    EXPECT_EQ(track->nameFilters(), QStringList({"WAV audio (*.wav)", "FLAC audio (*.flac)"}));
    track->selectNameFilter("FLAC audio (*.flac)");
    Q_EMIT track->filterSelected("FLAC audio (*.flac)");
    EXPECT_TRUE(track->selectedFiles().value(0).endsWith("/Track02.flac"))
        << track->selectedFiles().value(0).toStdString();
    EXPECT_EQ(track->defaultSuffix(), "flac");
    EXPECT_FALSE(
        App_SaveToDiscFileDialog("README.TXT", frame_.get())->nameFilters().join(";").contains("FLAC"));
}

TEST_F(MainWindow, ClosingWritesThePlacementAndAMaximisedStartKeepsItRunAfterRun) {
    frame_->move(40, 30);
    frame_->resize(700, 500);
    ASSERT_NO_FATAL_FAILURE(Show());
    frame_->resize(720, 480);
    frame_->close();
    ckvd::ui::IniProfile read(ProfilePath());
    EXPECT_EQ(read.GetInt("CX", 0), frame_->frameGeometry().width());
    EXPECT_EQ(read.GetInt("CY", 0), frame_->frameGeometry().height());
    EXPECT_EQ(read.GetInt("ISZOOM", -1), 0);
    EXPECT_EQ(read.GetInt("DISCMNGRNO", -1), -1); // only a report stores a number: ckvd may have taken one
    frame_.reset();
    for (const auto& [key, value] : {std::pair{"X", 40}, {"Y", 30}, {"CX", 700}, {"CY", 500}})
        profile_->WriteInt(key, value);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        profile_->WriteInt("ISZOOM", 1);
        CMainFrame frame(sink_, *profile_);
        frame.ShowWindow(App_ShowCommand(*profile_));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        QTRY_VERIFY(frame.isMaximized());
        frame.showNormal();
        QTRY_VERIFY(!frame.isMaximized());
        frame.close();
        EXPECT_EQ((std::array{profile_->GetInt("X", 0), profile_->GetInt("Y", 0), profile_->GetInt("CX", 0),
                              profile_->GetInt("CY", 0)}),
                  (std::array{40, 30, 700, 500}));
    }
}

TEST_F(MainWindow, NumbersAndDatesShowWholeInEveryStyleAtTheFirstStartSize) {
    frame_->ShowWindow(5);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    // Three quarters of the offscreen screen's 800 x 800, never below 640 x 400.
    ASSERT_EQ(frame_->frameGeometry().size(), QSize(640, 600));
    ASSERT_TRUE(frame_->LoadDisc(uint16_t(App_StartFirstDrive(true, sink_, false))));
    CKVDAppView* list = frame_->GetRightPane();
    QTreeView* view = list->ReportView();
    auto expectWhole = [&](const char* what) {
        QApplication::processEvents();
        ASSERT_GT(list->ListModel()->rowCount(), 0);
        for (int r = 0; r < list->ListModel()->rowCount(); ++r)
            for (int c = 1; c <= 3; ++c) {
                QModelIndex i = list->ListModel()->index(r, c);
                EXPECT_EQ(DrawnText(view, i), i.data().toString()) << what << " row " << r << " column " << c;
            }
    };
    for (int style : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF}) {
        list->OnCommand(style);
        expectWhole("demo disc");
    }
    // 10-digit sizes and LBNs, and long names, on a hand-built disc.
    DiscModelBuilder big;
    FileEntry* root = big.AddTree("BIG", 1);
    big.File(root, "b.mp3", 1000000000u, 3999999999u);
    big.File(root, "a-long-file-name-of-a-recording-that-goes-on-and-on.wav", 4294967295u, 4000000000u);
    list->OnCommand(ID_LBNSIZE_BASE10);
    frame_->Model().List().Clear();
    for (int style : {ID_LBNSIZE_BASE10, ID_LBNSIZE_BASE16, ID_LBNSIZE_MSF}) {
        frame_->Model().List().FillList(root->firstChild);
        list->OnCommand(style);
        expectWhole("10-digit sizes");
    }
    EXPECT_EQ(list->ListModel()->index(1, 2).data().toString(), "888888:53:25");
    // The long name is never cut: the row is wider than the list, which scrolls sideways.
    const QModelIndex name = list->ListModel()->index(1, 0);
    EXPECT_EQ(DrawnText(view, name), name.data().toString());
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    // In the list style the cell is sized from the widest name (up to the view's width), not from the first.
    frame_->OnViewStyle(ID_VIEW_LIST);
    QApplication::processEvents();
    QListView* icons = list->IconView();
    QModelIndex longName = list->ListModel()->index(1, 0);
    const int need =
        icons->fontMetrics().horizontalAdvance(longName.data().toString()) + icons->iconSize().width();
    EXPECT_GE(icons->visualRect(longName).width(), std::min(need, icons->viewport()->width()));
    frame_->Model().List().Clear();
    list->Reload();
}

TEST_F(MainWindow, DriveDialogNamesImagesByFileAndPointsAtOpenDiscImageWhenEmpty) {
    frame_->ShowWindow(5);
    CDriveDlg dlg(sink_, frame_.get());
    dlg.Prepare();
    ASSERT_EQ(dlg.List()->topLevelItemCount(), 2);
    EXPECT_EQ(dlg.List()->topLevelItem(0)->text(0), "demo-data.cue");
    EXPECT_EQ(dlg.List()->topLevelItem(0)->toolTip(0), QString::fromStdString(demo_[0]));
    EXPECT_FALSE(dlg.EmptyHint()->isVisibleTo(&dlg));
    // Revision and state; the state follows the drive while the dialog is open.
    EXPECT_EQ(dlg.List()->topLevelItem(0)->text(4) + " " + dlg.List()->topLevelItem(0)->text(5),
              "0.90 ready");
    ckvd::drives::FindImageDrive(demo_[0])->change_medium(nullptr);
    EXPECT_TRUE(Within([&] { return dlg.List()->topLevelItem(0)->text(5) == "no-disc"; }));
    std::string error;
    ASSERT_TRUE(ckvd::drives::SetupDrives({}, &error));
    CDriveDlg empty(sink_, frame_.get());
    empty.Prepare();
    EXPECT_EQ(empty.List()->topLevelItemCount(), 0);
    EXPECT_TRUE(empty.EmptyHint()->isVisibleTo(&empty));
    EXPECT_TRUE(empty.EmptyHint()->text().contains("Open Disc Image"));
}

TEST_F(MainWindow, TagInformationOpensTheMp3WindowsMediaAndWavDialogs) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    // The demo's MP3 is tagged by id3v2: ID3v1.1 and ID3v2.3, title "Sakura", genre 12.
    std::unique_ptr<QDialog> dlg =
        App_TagInfoDialog(Select("/音楽/アルバム 一/01 さくら.mp3"), sink_, frame_.get());
    auto* mp3 = dynamic_cast<CMp3Dlg*>(dlg.get());
    ASSERT_NE(mp3, nullptr);
    EXPECT_EQ(mp3->windowTitle(), "MP3");
    ASSERT_EQ(mp3->TagVersion()->count(), 2);
    EXPECT_EQ(mp3->TagVersion()->itemText(0), "v1.1");
    EXPECT_EQ(Value(mp3->Tag(), {"Title", "Genre"}) + Value(mp3->Mpeg(), {"Bitrate"}), "Sakura|12|128|");
    mp3->TagVersion()->setCurrentIndex(1);
    EXPECT_EQ(Value(mp3->Tag(), {"Genre"}), "(12)|");
    // The demo's WMA: ffmpeg's wmav2 titled "Evening".
    dlg = App_TagInfoDialog(Select("/音楽/アルバム 二/ボーナス/Evening.wma"), sink_, frame_.get());
    auto* wmf = dynamic_cast<CWmfDlg*>(dlg.get());
    ASSERT_NE(wmf, nullptr);
    EXPECT_EQ(Value(wmf->Fields(), {"Title"}), "Evening|");
    EXPECT_FALSE(wmf->Fields()->Field("Trusted")->isEnabled());
    // The demo's WAV: sox, one second of 16-bit stereo pink noise at 44.1 kHz.
    dlg = App_TagInfoDialog(Select("/音楽/アルバム 二/波の音.wav"), sink_, frame_.get());
    auto* wav = dynamic_cast<CWavDlg*>(dlg.get());
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(wav->windowTitle(), "WAV");
    EXPECT_EQ(Value(wav->Fields(), {"Format", "Sampling Freq.", "Channel", "Sample", "Length"}),
              "0x0001|44100|2|16| 0: 1|");
    WithModalDialog<CPcmFormatDlg>(
        [wav] { wav->FormatButton()->click(); }, "PCM Format Classify",
        [](CPcmFormatDlg* pcm) {
            QTreeWidget* list = pcm->List();
            ASSERT_EQ(list->topLevelItemCount(), 38);
            QString rows = list->headerItem()->text(0) + " " + list->headerItem()->text(1) + "\n";
            for (int r = 0; r < list->topLevelItemCount(); ++r) {
                const QModelIndex name = list->model()->index(r, 1);
                rows += list->topLevelItem(r)->text(0) + " " + name.data().toString() + "\n";
                // Every name shows whole, the longest included.
                EXPECT_EQ(DrawnText(list, name), name.data().toString());
            }
            ExpectGolden("app/pcm_formats.txt", rows.toStdString());
        });
    EXPECT_EQ(App_TagInfoDialog(Select("/README.TXT"), sink_, frame_.get()), nullptr);
    EXPECT_EQ(sink_.shown, std::vector<std::string>{"This format isn't being supported."});
}

TEST_F(MainWindow, DoubleClickOpensAFilesInformationOrADirectoryInTheTree) {
    ASSERT_NO_FATAL_FAILURE(Show());
    CKVDAppView* list = frame_->GetRightPane();
    // The demo audio CD: Track01 starts the disc and lasts 2 s, 150 frames.
    OpenImage(demo_[1]);
    // The number base from the View menu's radio items (after the tool bar and status bar items).
    QMenu* viewMenu = nullptr;
    for (QAction* a : frame_->menuBar()->actions())
        if (a->text() == "View(&V)")
            viewMenu = a->menu();
    ASSERT_NE(viewMenu, nullptr);
    for (const bool hex : {false, true}) {
        viewMenu->actions()[hex ? 4 : 3]->trigger();
        WithModalDialog<CCdaDlg>(
            [list] { DoubleClickRow(list, "Track01.cda"); }, "CDA",
            [hex](CCdaDlg* cda) {
                EXPECT_EQ(Value(cda->Fields(), {"Number of Track", "Track Start Address", "Track Size"}),
                          hex ? "01|0x00000000|0x00000096|" : "01|0|150|");
            });
    }
    // Shift+F10: the row's context menu, the number base checked as in the View menu.
    EXPECT_EQ(PopupTexts([list] { QTest::keyClick(list->ReportView(), Qt::Key_F10, Qt::ShiftModifier); }),
              QStringList({"Tag &Information...", "Save to &Disc", "&Play", "-", "LBN/Size (&10)",
                           "LBN/Size (&16) *", "LBN/Size (&MSF)"}));
    list->OnCommand(ID_LBNSIZE_BASE10);
    emit viewMenu->aboutToShow();
    EXPECT_EQ(Texts(viewMenu->actions()).mid(3, 2),
              (QStringList{"Numbers in Base &10 *", "Numbers in Base 1&6"}));
    // The data disc's second session: a directory opens in the tree, a text file gets the message, by a
    // double-click and by Enter alike.
    OpenImage(demo_[0]);
    Select("/README.TXT");
    DoubleClickRow(list, "DOCS");
    EXPECT_EQ(frame_->GetLeftPane()->currentIndex().data().toString(), "DOCS");
    QAbstractItemModel* rows = list->ListModel();
    EXPECT_EQ(rows->match(rows->index(0, 0), Qt::DisplayRole, "SESSION2.TXT", 1, Qt::MatchExactly).size(), 1);
    Select("/README.TXT");
    DoubleClickRow(list, "README.TXT");
    Select("/README.TXT");
    QTest::keyClick(list->ReportView(), Qt::Key_Return);
    EXPECT_EQ(sink_.shown, std::vector<std::string>(2, "This format isn't being supported."));
}

TEST_F(MainWindow, ReportIsOfferedAfterEveryLoadAndNoKeyAnswersItsDialog) {
    frame_->SetOfferReports(true);
    frame_->ShowWindow(5);
    const auto device = uint16_t(App_StartFirstDrive(true, sink_, false));
    const QString saved = dir_.path() + "/offer.csv";
    const QString title = "Are You Save DiscInformation?";
    WithModalDialog<CSaveDiscInfoDlg>(
        [&] { EXPECT_TRUE(frame_->LoadDisc(device)); }, title,
        [&](CSaveDiscInfoDlg* dlg) {
            dlg->YesButton()->click();
            EXPECT_EQ(dlg->focusWidget(), dlg->NumberEdit()); // focus goes on from the number
            dlg->Model().chooseFile = [&](const std::string&) { return saved.toStdString(); };
            dlg->SaveButton()->click();
            EXPECT_EQ(dlg->Progress()->value(), dlg->Progress()->maximum());
        });
    EXPECT_TRUE(QFileInfo::exists(saved));
    EXPECT_EQ(frame_->LastAction(), "Report 000000 saved to " + saved); // kept in the status bar
    // Tab follows the eye; clearing the check box ends the offers until it is set again.
    WithModalDialog<CSaveDiscInfoDlg>(
        [&] { EXPECT_TRUE(frame_->LoadDisc(device)); }, title,
        [](CSaveDiscInfoDlg* dlg) {
            QWidgetList chain;
            for (QWidget* w = dlg->NumberEdit(); chain.size() < 6; w = w->nextInFocusChain())
                if (w->focusPolicy() & Qt::TabFocus)
                    chain << w;
            EXPECT_EQ(chain, QWidgetList({dlg->NumberEdit(), dlg->CommentEdit(), dlg->YesButton(),
                                          dlg->SaveButton(), dlg->NoButton(), dlg->OfferCheck()}));
            EXPECT_TRUE(dlg->OfferCheck()->isChecked());
            dlg->OfferCheck()->setChecked(false);
            dlg->NoButton()->click();
        });
    EXPECT_EQ(frame_->Model().DiscMngrNo(), 1);
    QTimer::singleShot(0, [] {
        if (auto* offered = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "the report was offered again";
            offered->reject();
        }
    });
    EXPECT_TRUE(frame_->LoadDisc(device));
    QApplication::processEvents();
    EXPECT_EQ(profile_->GetInt("OFFERREPORT", 1), 0);
    // Return, Enter and Escape neither save nor close, before and after "Yes...Please".
    CSaveDiscInfoDlg dlg(41, sink_, frame_.get());
    dlg.Model().chooseFile = [](const std::string&) {
        ADD_FAILURE() << "a key saved the report";
        return std::string();
    };
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    auto usable = [&dlg] {
        return QList<bool>{dlg.NumberEdit()->isEnabled(), dlg.CommentEdit()->isEnabled(),
                           dlg.Progress()->isEnabled(),   dlg.SaveButton()->isEnabled(),
                           dlg.YesButton()->isEnabled(),  dlg.NoButton()->isEnabled()};
    };
    auto pressKeys = [&dlg](std::initializer_list<QWidget*> targets) {
        for (QWidget* target : targets)
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
                QTest::keyClick(target, key);
                EXPECT_TRUE(dlg.isVisible()) << key << " on " << target->metaObject()->className();
            }
    };
    EXPECT_EQ(usable(), (QList<bool>{false, false, false, false, true, true}));
    pressKeys({&dlg, dlg.YesButton()});
    dlg.YesButton()->click();
    EXPECT_EQ(usable(), QList<bool>(6, true));
    EXPECT_EQ(dlg.NumberEdit()->text(), "000041");
    dlg.NumberEdit()->setText("123");
    dlg.YesButton()->click(); // refilled with the frame's number
    EXPECT_EQ(dlg.NumberEdit()->text(), "000041");
    pressKeys({&dlg, dlg.NumberEdit(), dlg.CommentEdit(), dlg.SaveButton()});
    EXPECT_EQ(dlg.Model().State(), ReportDlgState::Ready);
    dlg.NoButton()->click();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.Model().Result(), ReportDlgResult::Cancel);
    EXPECT_TRUE(sink_.shown.empty());
}

// The window and ckvd report share the profile's numbers: ckvd report while the window is open takes number
// 1; the window's next report shows and uses 2; one that ckvd takes between "Yes...Please" and "Save..."
// moves the window's report on to the next free one; closing the window stores no number of its own.
TEST_F(MainWindow, ManagementNumbersAreNeverHandedOutTwice) {
    const QString config = dir_.path() + "/config";
    ShowDemoDisc();
    auto cliReport = [&](const QString& out) {
        const std::string command = "XDG_CONFIG_HOME=" + config.toStdString() + " " + CKVD_BIN +
                                    " report demo -o " + out.toStdString() + " >/dev/null 2>&1";
        return std::system(command.c_str());
    };
    auto numberOf = [](const QString& csv) {
        QFile f(csv);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << csv.toStdString();
        for (int i = 0; i < 4; ++i)
            f.readLine();
        return QString::fromLatin1(f.readLine()).section(',', 0, 0);
    };
    ASSERT_EQ(cliReport(dir_.path() + "/cli1.csv"), 0);
    EXPECT_EQ(numberOf(dir_.path() + "/cli1.csv"), "MA000000");
    for (const bool takenMeanwhile : {false, true}) {
        const QString csv = dir_.path() + (takenMeanwhile ? "/late.csv" : "/window.csv");
        WithModalDialog<CSaveDiscInfoDlg>(
            [&] { frame_->Model().OnSaveDiscInformation(); }, "Are You Save DiscInformation?",
            [&](CSaveDiscInfoDlg* dlg) {
                dlg->YesButton()->click();
                EXPECT_EQ(dlg->NumberEdit()->text(), takenMeanwhile ? "000002" : "000001");
                if (takenMeanwhile) {
                    EXPECT_EQ(cliReport(dir_.path() + "/cli2.csv"), 0);
                }
                dlg->Model().chooseFile = [&](const std::string&) { return csv.toStdString(); };
                dlg->SaveButton()->click();
            });
        EXPECT_EQ(numberOf(csv), takenMeanwhile ? "MA000003" : "MA000001");
    }
    EXPECT_EQ(numberOf(dir_.path() + "/cli2.csv"), "MA000002");
    EXPECT_EQ(
        sink_.shown,
        std::vector<std::string>{
            "Number 000002 was taken by another report in the meantime: this report is number 000003."});
    frame_->close();
    frame_.reset();
    EXPECT_EQ(Report_ReadNumber(ProfilePath().toStdString()), 4);
}

// The navigation-file viewers on the demo disc's second session (tools/demo/make_demo.sh): playlists for
// 追加 (夜.mp3, 波.wav, the cover 夜.jpg), 追加/写真 (空.jpg, 海.png) and 追加/動画 (テスト.avi);
// MENU/BACK.JPG the one menu image.

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A written report adds its disc to the catalogue under XDG_DATA_HOME: the tests keep one of their own.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
