// The main window on a Linux desktop: its first size, the room of tree and list, and a disc image that
// fails to load while another disc is shown.
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QProcess>
#include <QSplitter>
#include <QToolBar>

#include "appmodel/window_placement.h"
#include "desktop/mainwindow/left_view.h"
#include "iso9660/iso9660.h"
#include "main_window_fixture.h"

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
static std::string CutImage(const QString& dir, qint64 blocks) {
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
    EXPECT_EQ(ckvd::aspi32::FindImageDrive(cut), nullptr);
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
    // Once the user moved the splitter, the tree keeps the width given.
    emit splitter->splitterMoved(300, 1);
    splitter->setSizes({300, 900});
    frame_->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_EQ(splitter->sizes()[0], 300);
}

TEST_F(MainWindow, ToolBarPicturesAreDrawnInThePalettesTextColour) {
    frame_->ShowWindow(5);
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
