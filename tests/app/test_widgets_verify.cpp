// Verify Disc on a worker: the window answers while a slow drive fails block after block, Stop and closing
// the window end the verify within a read or two, and a whole verify ends as ckvd verify does.
#include "widget_fixture.h"

#include <QPushButton>
#include <chrono>
#include <cstdio>

TEST_F(MainWindow, VerifyDiscReadsOnAWorkerAndStopsWithinABlock) {
    ASSERT_NO_FATAL_FAILURE(ShowDemoDisc());
    // Blocks 40-250 fail (files' blocks, no directory's): the first run of 256 blocks is read again block by
    // block, 10 ms a command, some 2.5 s in all.
    const char* kUnreadable = "40-250";
    // Through the C library's fork, which ThreadSanitizer follows (QProcess's clone it cannot).
    std::string out;
    const std::string command =
        std::string("CKVD_IMAGE_DRIVE_UNREADABLE=") + kUnreadable + " " CKVD_BIN " verify '" + demo_[0] + "'";
    FILE* cli = popen(command.c_str(), "r");
    ASSERT_NE(cli, nullptr);
    for (char piece[4096]; const size_t n = fread(piece, 1, sizeof piece, cli);)
        out.append(piece, n);
    pclose(cli);
    const QString summary = QString::fromStdString(out).trimmed().section('\n', -1);
    ASSERT_TRUE(summary.contains(" 211 unreadable; 1 damaged range hits 12 files")) << summary.toStdString();
    ckvd::drives::ImageDrive* drive = ckvd::drives::FindImageDrive(demo_[0]);
    drive->add_unreadable(40, 250);
    drive->set_command_delay(std::chrono::milliseconds(10));

    enum { kStop, kClose, kToTheEnd };
    for (const int how : {kStop, kClose, kToTheEnd}) {
        SCOPED_TRACE(how);
        WithModalDialog<CVerifyDlg>(
            [&] { frame_->OnVerifyDisc(); }, "Verify Disc",
            [&](CVerifyDlg* dlg) {
                // The window's own timers keep their rate while the worker reads.
                int beats = 0;
                QTimer beat;
                QObject::connect(&beat, &QTimer::timeout, [&beats] { ++beats; });
                beat.start(20);
                EXPECT_TRUE(Within([&] { return dlg->List()->topLevelItemCount() > 0; }))
                    << "no rows as blocks fail";
                beats = 0;
                QTest::qWait(200); // a verify on the GUI thread let through one beat or none here
                EXPECT_GE(beats, 3);
                ASSERT_TRUE(dlg->Model().Running()) << "the verify ended before the window was tried";
                if (how == kStop) {
                    QPushButton* stop = nullptr;
                    for (QPushButton* b : dlg->findChildren<QPushButton*>())
                        stop = b->text() == "&Stop" ? b : stop;
                    ASSERT_NE(stop, nullptr);
                    QTest::mouseClick(stop, Qt::LeftButton);
                    EXPECT_FALSE(stop->isEnabled());
                    EXPECT_TRUE(Within([&] { return !dlg->Model().Running(); }));
                    EXPECT_TRUE(dlg->Status()->text().startsWith("Stopped after "))
                        << dlg->Status()->text().toStdString();
                } else if (how == kToTheEnd) {
                    EXPECT_TRUE(Within([&] { return !dlg->Model().Running(); }));
                    EXPECT_EQ(dlg->Model().SummaryText(), summary.toStdString());
                    EXPECT_EQ(dlg->Status()->text(), "The disc is damaged: the entries below are hit");
                }
            });
        // Closed while it reads (kClose): the worker was cancelled and joined at its next block, with no
        // verdict and no message.
    }
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}
