// The window's disc load on a worker: the window keeps answering while a slowed drive is read, Esc leaves the
// disc shown as it was, and a load that completes shows the new disc.
#include "widget_fixture.h"

#include <QToolButton>
#include <chrono>

namespace {

// Events until `done` holds or 20 s have passed.
bool Within(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        QTest::qWait(10);
    return done();
}

} // namespace

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
    EXPECT_EQ(frame_->GetLeftPane()->model()->rowCount(), 2);
    EXPECT_TRUE(sink_.shown.empty()) << sink_.shown.front();
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
