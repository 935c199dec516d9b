// The window's disc load on a worker: the window keeps answering while a slowed drive is read, Esc leaves the
// disc shown as it was, and a load that completes shows the new disc; the drive poll's loads.
#include "widget_fixture.h"

#include <QToolButton>
#include <chrono>

#include "appmodel/catalogue_add.h"
#include "catalogue/catalogue.h"

TEST_F(MainWindow, ALoadOnAWorkerKeepsTheWindowAnsweringAndCancelKeepsTheDiscShown) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const int data = App_StartFirstDrive(true, sink_, false);
    ASSERT_GE(data, 0);
    const uint16_t audio = uint16_t(data + 1);
    ASSERT_TRUE(frame_->LoadDisc(audio));
    const QString audioTitle = frame_->windowTitle();
    ASSERT_EQ(frame_->Model().List().Text(0, 0), "Track01.cda");
    frame_->SetBackgroundWork(true);
    ckvd::drives::FindImageDrive(demo_[0])->set_command_delay(std::chrono::milliseconds(40));

    ASSERT_TRUE(frame_->BeginLoad(uint16_t(data)));
    ASSERT_TRUE(frame_->Loading());
    EXPECT_TRUE(frame_->statusBar()->currentMessage().startsWith(QString::fromUtf8("Reading the disc…")));
    auto* cancel = frame_->statusBar()->findChild<QToolButton*>("cancelLoad");
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(cancel->isVisible());
    // The event loop runs during the load: the File menu opens and closes, the window takes a new size.
    QMenu* file = frame_->FileMenu();
    QTimer::singleShot(0, file, [file] { file->popup(QPoint(10, 10)); });
    EXPECT_TRUE(Within([] { return QApplication::activePopupWidget() != nullptr; }));
    file->close();
    const QSize size = frame_->size() + QSize(40, 30);
    frame_->resize(size);
    EXPECT_TRUE(Within([&] { return frame_->size() == size; }));
    ASSERT_TRUE(frame_->Loading()) << "the load ended before the window was tried";
    // Esc: the audio disc stays as it was.
    QTest::keyClick(frame_.get(), Qt::Key_Escape);
    EXPECT_FALSE(frame_->Loading());
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_FALSE(frame_->statusBar()->currentMessage().startsWith(QString::fromUtf8("Reading the disc")));
    QTest::qWait(100);
    EXPECT_EQ(frame_->windowTitle(), audioTitle);
    EXPECT_EQ(frame_->Model().List().Text(0, 0), "Track01.cda");
    EXPECT_EQ(frame_->GetLeftPane()->model()->rowCount(), 1);

    // A load that completes shows the data disc, as the load that waits does.
    bool loaded = false;
    ASSERT_TRUE(frame_->BeginLoad(uint16_t(data), [&loaded](bool ok) { loaded = ok; }));
    EXPECT_TRUE(Within([&] { return !frame_->Loading(); }));
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S1"));
    EXPECT_FALSE(frame_->statusBar()->currentMessage().startsWith(QString::fromUtf8("Reading the disc")));
    EXPECT_EQ(frame_->GetLeftPane()->model()->rowCount(), 2);
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}

// File > Add to Catalogue's work: the data disc added on a worker while the window shows the audio disc gives
// the catalogue what the add of that disc while shown gives; a cancelled add leaves the catalogue without it.
TEST_F(MainWindow, ACatalogueAddOnAWorkerReadsItsOwnDiscWhileTheWindowShowsAnother) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const int data = App_StartFirstDrive(true, sink_, false);
    ASSERT_GE(data, 0);
    const std::string onWorker = (dir_.path() + "/worker.sqlite").toStdString();
    const std::string whileShown = (dir_.path() + "/shown.sqlite").toStdString();
    ASSERT_TRUE(frame_->LoadDisc(uint16_t(data)));
    std::string message;
    ASSERT_TRUE(App_AddToCatalogue(7, "c", whileShown, message)) << message;
    ASSERT_TRUE(frame_->LoadDisc(uint16_t(data + 1)));
    ckvd::drives::FindImageDrive(demo_[0])->set_command_delay(std::chrono::milliseconds(5));

    CatalogueAddJob cancelled(uint16_t(data), 7, "c", onWorker);
    cancelled.Cancel();
    EXPECT_FALSE(cancelled.Added());
    CatalogueAddJob add(uint16_t(data), 7, "c", onWorker);
    QMenu* file = frame_->FileMenu();
    QTimer::singleShot(0, file, [file] { file->popup(QPoint(10, 10)); });
    EXPECT_TRUE(Within([] { return QApplication::activePopupWidget() != nullptr; }));
    file->close();
    EXPECT_FALSE(add.Finished()) << "the add ended before the window was tried";
    ASSERT_TRUE(add.Added()) << add.Message();
    EXPECT_EQ(frame_->Model().List().Text(0, 0), "Track01.cda"); // the window's disc untouched

    const auto entries = [](const std::string& path, CatalogueDisc& disc) {
        Catalogue cat;
        std::string error;
        std::vector<CatalogueEntry> found;
        std::vector<CatalogueDisc> discs;
        EXPECT_TRUE(cat.Open(path, false, error)) << error;
        EXPECT_TRUE(cat.List(discs, error) && discs.size() == 1) << error; // the cancelled add left nothing
        EXPECT_TRUE(cat.Show(7, disc, found, error)) << error;
        std::vector<std::string> rows;
        for (const CatalogueEntry& e : found)
            rows.push_back(std::to_string(e.session) + " " + e.path + " " + std::to_string(e.lbn) + " " +
                           std::to_string(e.size) + " " + e.date + " " + e.title + "|" + e.artist);
        return rows;
    };
    CatalogueDisc a, b;
    const std::vector<std::string> got = entries(onWorker, a), expected = entries(whileShown, b);
    EXPECT_GT(expected.size(), 2u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(a.volume, b.volume);
    EXPECT_EQ(a.toc, b.toc);
}

// Player Check on a worker: the dialog opens at once saying what it checks, then fills as the check that
// waits.
TEST_F(MainWindow, PlayerCheckOnAWorkerFillsAsTheCheckThatWaits) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    QString summary;
    int findings = 0, order = 0;
    {
        CPlayerCheckDlg waits(sink_, frame_.get());
        ASSERT_TRUE(waits.Check());
        summary = waits.Summary()->text();
        findings = waits.Findings()->topLevelItemCount();
        order = waits.Order()->topLevelItemCount();
    }
    ASSERT_GT(order, 0);
    frame_->SetBackgroundWork(true);
    ckvd::drives::FindImageDrive(demo_[0])->set_command_delay(std::chrono::milliseconds(20));
    WithModalDialog<CPlayerCheckDlg>([&] { frame_->OnPlayerCheck(); }, "Player Check",
                                     [&](CPlayerCheckDlg* dlg) {
                                         EXPECT_TRUE(dlg->Checking());
                                         EXPECT_TRUE(dlg->Summary()->text().startsWith("Checking the disc"));
                                         EXPECT_TRUE(Within([&] { return !dlg->Checking(); }));
                                         EXPECT_EQ(dlg->Summary()->text(), summary);
                                         EXPECT_EQ(dlg->Findings()->topLevelItemCount(), findings);
                                         EXPECT_EQ(dlg->Order()->topLevelItemCount(), order);
                                     });
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}

// The drive of the disc shown, polled: its disc taken out is said in the status bar, another put in is
// loaded on a worker as Select Drive loads it.
TEST_F(MainWindow, TheDrivePollSaysADiscTakenOutAndLoadsOnePutIn) {
    ASSERT_NO_FATAL_FAILURE(Show());
    const int data = App_StartFirstDrive(true, sink_, false);
    ASSERT_GE(data, 0);
    ASSERT_TRUE(frame_->LoadDisc(uint16_t(data)));
    frame_->SetBackgroundWork(true);
    frame_->SetDrivePoll(true);
    ckvd::drives::ImageDrive* drive = ckvd::drives::FindImageDrive(demo_[0]);
    drive->change_medium(nullptr);
    EXPECT_TRUE(
        Within([&] { return frame_->LastAction() == QString::fromStdString("No disc in " + demo_[0]); }));
    EXPECT_TRUE(frame_->windowTitle().startsWith("CKVD_DEMO_S1")); // the disc shown stays
    ckvd::images::LoadResult audio = ckvd::images::load_image(demo_[1]);
    ASSERT_TRUE(audio) << audio.error;
    drive->change_medium(std::move(audio.disc));
    EXPECT_TRUE(
        Within([&] { return frame_->Model().List().Text(0, 0) == "Track01.cda" && !frame_->Loading(); }));
    EXPECT_EQ(frame_->LastAction(), "Ready");
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
    frame_->SetDrivePoll(false);
}

// File > New Disc for Player on workers: a folder of sox and lame files planned for car-cd (natural order,
// the WAV named .mp3 left out), written with the progress bar, then opened in the window and checked.
TEST_F(MainWindow, NewDiscForPlayerPlansAndWritesOnWorkersThenOpensAndChecksTheImage) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    frame_->SetBackgroundWork(true);
    // The tone the test's fixture made with sox and lame (CKVD_TEST_MUSIC).
    const char* made = std::getenv("CKVD_TEST_MUSIC");
    ASSERT_NE(made, nullptr) << "CKVD_TEST_MUSIC is not set (ctest sets it)";
    const QString music = dir_.path() + "/Trip", wav = QString(made) + "/tone.wav";
    QDir().mkpath(music);
    ASSERT_TRUE(QFile::copy(QString(made) + "/tone.mp3", music + "/Track 10.mp3"));
    ASSERT_TRUE(QFile::copy(music + "/Track 10.mp3", music + "/Track 2.mp3"));
    ASSERT_TRUE(QFile::copy(wav, music + "/noise.mp3"));
    const QString image = dir_.path() + "/trip.iso";
    QString checked;
    // The Player Check the window opens on the image made: its summary taken, then closed.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* check = dynamic_cast<CPlayerCheckDlg*>(QApplication::activeModalWidget())) {
            if (!check->Checking() && !check->Model().SummaryText().empty()) {
                checked = QString::fromStdString(check->Model().SummaryText());
                check->accept();
            }
        }
    });
    watch.start(20);
    WithModalDialog<CMakeDiscDlg>(
        [&] { frame_->OnNewDisc(); }, "New Disc for Player",
        [&](CMakeDiscDlg* dlg) {
            dlg->SetBackground(true);
            dlg->Folder()->setText(music);
            ASSERT_TRUE(dlg->PlanNow());
            ASSERT_TRUE(Within([&] { return dlg->Model().Planned() && !dlg->Model().Busy(); }));
            QStringList rows;
            for (int i = 0; i < dlg->Order()->topLevelItemCount(); ++i)
                rows << dlg->Order()->topLevelItem(i)->text(0) + " " +
                            dlg->Order()->topLevelItem(i)->text(1) + " " +
                            dlg->Order()->topLevelItem(i)->text(2);
            EXPECT_EQ(rows, QStringList({"1 1 /01 Track 2.mp3", "1 2 /02 Track 10.mp3"}));
            ASSERT_EQ(dlg->LeftOut()->topLevelItemCount(), 1);
            EXPECT_EQ(dlg->LeftOut()->topLevelItem(0)->text(2), "extensions");
            EXPECT_TRUE(dlg->MakeButton()->isEnabled());
            ASSERT_TRUE(dlg->MakeNow(image));
            EXPECT_FALSE(dlg->MakeButton()->isEnabled());
            ASSERT_TRUE(Within([&] { return !dlg->isVisible() || !dlg->Model().Busy(); }));
        });
    ASSERT_TRUE(Within([&] { return !checked.isEmpty(); }))
        << (sink_.shown.empty() ? "" : sink_.shown.front());
    EXPECT_TRUE(QFile::exists(image));
    EXPECT_TRUE(frame_->windowTitle().startsWith("TRIP")) << frame_->windowTitle().toStdString();
    EXPECT_EQ(checked.toStdString(), "car-cd: session 1, 1 folder, 2 files, 2 tracks play; 0 will not play, "
                                     "0 play but show wrong, 0 notes");
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}

// File > Burn Disc Image on a worker: an image of the fixture's tone burned into a file by libburn's stdio:
// pseudo-drive and read back equal; the window then opens the burned file and verifies it.
TEST_F(MainWindow, BurnDiscImageWritesAFileReadsItBackAndTheWindowVerifiesIt) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    frame_->SetBackgroundWork(true);
    const char* made = std::getenv("CKVD_TEST_MUSIC");
    ASSERT_NE(made, nullptr) << "CKVD_TEST_MUSIC is not set (ctest sets it)";
    const QString music = dir_.path() + "/Burn", image = dir_.path() + "/burn.iso",
                  burned = dir_.path() + "/out.iso";
    QDir().mkpath(music);
    ASSERT_TRUE(QFile::copy(QString(made) + "/tone.mp3", music + "/Song.mp3"));
    CMakeDiscDlgModel maker(sink_);
    ASSERT_TRUE(maker.StartPlan(music.toStdString(), "car-cd", BackgroundJob::Where::Here) && maker.Finish());
    ASSERT_TRUE(maker.StartMake(image.toStdString(), BackgroundJob::Where::Here) && maker.Finish());
    QString verified;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* verify = dynamic_cast<CVerifyDlg*>(QApplication::activeModalWidget()))
            if (verify->Model().Started() && !verify->Model().Running()) {
                verified = QString::fromStdString(verify->Model().SummaryText());
                EXPECT_TRUE(verify->Model().Sound()) << verified.toStdString();
                verify->accept();
            }
    });
    watch.start(20);
    WithModalDialog<CBurnDlg>([&] { frame_->OnBurnImage(); }, "Burn Disc Image",
                              [&](CBurnDlg* dlg) {
                                  dlg->SetBackground(true);
                                  dlg->Image()->setText(image);
                                  dlg->Target()->setCurrentIndex(dlg->Target()->count() - 1);
                                  dlg->File()->setText(burned);
                                  ASSERT_TRUE(dlg->BurnNow());
                                  // Nothing changes the burn under way.
                                  EXPECT_FALSE(dlg->BurnButton()->isEnabled() || dlg->Image()->isEnabled());
                                  ASSERT_TRUE(Within([&] { return !dlg->Model().Busy(); }));
                                  EXPECT_TRUE(dlg->Image()->isEnabled());
                                  EXPECT_EQ(dlg->Status()->text().toStdString(),
                                            "verified: " + std::to_string(QFileInfo(image).size() / 2048) +
                                                " blocks read back equal the image");
                                  EXPECT_EQ(dlg->Ranges()->topLevelItemCount(), 0);
                              });
    QFile a(image), b(burned);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
    ASSERT_TRUE(Within([&] { return !verified.isEmpty(); }));
    EXPECT_TRUE(frame_->windowTitle().startsWith("BURN")) << frame_->windowTitle().toStdString();
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
