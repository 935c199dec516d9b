#include "desktop/mainwindow/ckvd_app.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "appmodel/app_startup.h"
#include "appmodel/first_drive.h"
#include "appmodel/image_open.h"
#include "desktop/mainwindow/main_frm.h"
#include "desktop/mainwindow/screenshot.h"
#include "images/demo_discs.h"
#include "listing/disc_text.h"
#include "listing/lbn_size_style.h"
#include "platform/drives/drive_setup.h"
#include "platform/ui/ui_dialog_fit.h"
#include "platform/ui/ui_handover.h"
#include "platform/ui/ui_images.h"
#include "platform/ui/ui_instance.h"
#include "platform/ui/ui_message.h"
#include "platform/ui/ui_profile.h"
#include "res/app_strings.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Usage(FILE* out) {
    std::string dialogs;
    for (const std::string& name : Screenshot_DialogNames())
        dialogs += (dialogs.empty() ? "" : ", ") + name;
    std::fprintf(
        out,
        "usage: ckvd-explorer [IMAGE...] [--demo] [--image PATH]... [--lbn-size 10|16|msf]\n"
        "                     [--view large|small|list|details] [--sort COLUMN[:desc]] [--verbose]\n"
        "                     [--screenshot OUT.png [--select PATH] [--dialog NAME]\n"
        "                      [--player-profile FILE] [--music DIR]]\n"
        "  IMAGE              a disc image (.iso .cue .ccd .nrg .toc .mds .bin .img) to open as from File > "
        "Open Disc Image\n"
        "                     (the first one is loaded; each goes into a drive of its own)\n"
        "  --image PATH       put a disc image into an image drive (repeatable)\n"
        "  --demo             put the built-in demo discs into image drives\n"
        "  --screenshot PATH  load the first drive, save a PNG of the main window (caption included)\n"
        "                     and exit; the profile is neither read nor written\n"
        "  --select PATH      with --screenshot: show the directory PATH (\"/DOCS/NOTES\"), or the\n"
        "                     directory of the file PATH with that file's row selected\n"
        "  --dialog NAME      with --screenshot: save that dialog over the main window instead\n"
        "                     (%s)\n"
        "  --lbn-size STYLE   LBN and size in base 10, base 16 or minutes:seconds:frames at start\n"
        "  --view STYLE       the list's view style at start (details by default)\n"
        "  --sort COLUMN      the list's order: name, lbn, size or date, with :desc for the other way,\n"
        "                     or disc (the disc's own order); kept for the next run as a click keeps it\n"
        "  --player-profile FILE  with --dialog player-check: the profile file chosen after the first check\n"
        "  --music DIR        with --dialog new-disc: the music folder planned\n"
        "  --verbose          print the number of tree items and list rows after the load\n"
        "  --version          print the program's version\n",
        dialogs.c_str());
}

// A text run shows no window, so it takes no instance guard.
class NoGuard final : public ckvd::ui::InstanceGuard {
  public:
    bool Acquire() override { return true; }
    void Release() override {}
};

// Installs the drives unless they are, and puts each image into one; an image that cannot be read is
// reported and left out. False when not one of several images could be put into a drive. Drives already
// installed stay: a disc loaded from one of them is still being read.
bool PutImagesIntoDrives(const std::vector<std::string>& paths, ckvd::ui::MessageSink& sink) {
    std::string error;
    if (!ckvd::drives::ImageDrives() && !ckvd::drives::SetupDrives({}, &error)) {
        sink.Show(error);
        return false;
    }
    size_t added = 0;
    for (const std::string& path : paths) {
        if (App_PutImageIntoDrive(App_ImagePath(path), sink) >= 0)
            ++added;
    }
    return paths.empty() || added > 0;
}

// A document file of the command line must exist and be readable; nothing is read from it.
bool CheckDocumentFile(const std::string& path, ckvd::ui::MessageSink& sink) {
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::ReadOnly))
        return true;
    sink.ShowUtf8("The file cannot be opened:\n" + path + "\n\n" + file.errorString().toStdString() + ".");
    return false;
}

void PrintCounts(CMainFrameModel& model) {
    std::printf("tree items: %zu\nlist rows: %d\ntitle: %s\n", model.Tree().Items().size(),
                model.List().RowCount(), model.Doc().Title().c_str());
    std::fflush(stdout);
}

// Images a second copy handed over: opened as the command line's are, and the window comes to the front.
void TakeHandedImages(CMainFrame& frame, const QStringList& images, bool verbose,
                      ckvd::ui::MessageSink& sink) {
    // A dialog open over the window (the report's offer, a message) may hold the disc shown: the images wait
    // until it is closed.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
        QTimer::singleShot(250, &frame, [&frame, images, verbose, &sink] {
            TakeHandedImages(frame, images, verbose, sink);
        });
        return;
    }
    std::vector<std::string> others;
    for (qsizetype i = 1; i < images.size(); ++i)
        others.push_back(images[i].toStdString());
    // The others go into their drives once the first is read (the drives do not change under a load).
    auto putOthers = [&frame, others, verbose, &sink](bool loaded) {
        if (loaded && verbose)
            PrintCounts(frame.Model());
        PutImagesIntoDrives(others, sink);
    };
    if (!images.isEmpty())
        frame.OpenDiscImage(images.front(), putOthers);
    if (frame.isMinimized())
        frame.showNormal();
    frame.raise();
    frame.activateWindow();
}

void Listen(ckvd::ui::HandoverServer& handover, const ckvd::ui::LockFileGuard& guard) {
    QString error;
    if (!handover.Listen(guard.SocketPath(), &error))
        std::fprintf(stderr, "ckvd-explorer: a second copy cannot hand its images over: %s\n",
                     qPrintable(error));
}

// A copy started while another runs: its images go to the running copy's window (none: that window comes to
// the front). 0 when the running copy took them.
int HandOver(const ckvd::ui::LockFileGuard& guard, const AppOptions& options) {
    QStringList images;
    for (const std::string& image : options.openImages)
        images << QString::fromStdString(App_ImagePath(image));
    for (const std::string& image : options.images)
        images << QString::fromStdString(App_ImagePath(image));
    QString error;
    if (ckvd::ui::Handover_Send(guard.SocketPath(), images, &error))
        return 0;
    std::fprintf(stderr, "ckvd-explorer: another copy is running (%s) but did not answer: %s\n",
                 qPrintable(guard.Path()), qPrintable(error));
    return kExitFailure;
}

// The window manager places the window first, so that the first message or the report's offer opens over
// the window and not where the window was before it was placed.
void WaitUntilPlaced(CMainFrame& frame) {
    QElapsedTimer placing;
    placing.start();
    while (frame.windowHandle() && !frame.windowHandle()->isExposed() && placing.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

// The picture --screenshot asks for, of the window as loaded: 0 once it is saved.
int TakeScreenshot(CMainFrame& frame, const AppOptions& options, bool loaded) {
    std::string error;
    // Without any image the window (or a dialog such as the empty drive list) is shown as it is.
    const bool discWanted = !options.images.empty() || !options.openImages.empty();
    if (discWanted && !loaded) {
        std::fprintf(stderr, "ckvd-explorer: no disc was loaded; no screenshot taken\n");
        return kExitFailure;
    }
    if ((!options.select.empty() && !Screenshot_Select(frame, options.select, &error)) ||
        !Screenshot_Save(frame, options.dialog, QString::fromStdString(options.screenshot), &error,
                         options.playerProfile, options.music)) {
        std::fprintf(stderr, "ckvd-explorer: %s\n", error.c_str());
        return kExitFailure;
    }
    return 0;
}

} // namespace

int CKVDApp::Run(int argc, char** argv) {
    AppOptions options = App_ParseOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "ckvd-explorer: %s\n", options.error.c_str());
        Usage(stderr);
        return kExitUsage;
    }
    if (options.version) {
        std::printf("%s\n", App_VersionText());
        return 0;
    }
    if (options.help) {
        Usage(stdout);
        return 0;
    }
    if (!options.dialog.empty()) {
        const auto names = Screenshot_DialogNames();
        if (std::find(names.begin(), names.end(), options.dialog) == names.end()) {
            std::fprintf(stderr, "ckvd-explorer: no dialog is called %s\n", options.dialog.c_str());
            Usage(stderr);
            return kExitUsage;
        }
    }
    if (options.demo) {
        std::vector<std::string> demo = ckvd::images::demo_disc_paths();
        if (demo.empty()) {
            std::fprintf(stderr,
                         "ckvd-explorer: the demo discs were not generated (build the project first)\n");
            return kExitFailure;
        }
        options.images.insert(options.images.end(), demo.begin(), demo.end());
    }
    g_LbnSizeStyle = static_cast<uint16_t>(options.lbnSizeStyle);
    if (App_NoDisplay())
        return RunText(options);
    return RunWindow(argc, argv, options);
}

int CKVDApp::RunText(const AppOptions& options) {
    std::fprintf(stderr,
                 "ckvd-explorer: no display (DISPLAY and WAYLAND_DISPLAY are unset and QT_QPA_PLATFORM is "
                 "not chosen); printing the disc tree and TOC as text\n");
    ckvd::ui::StderrSink sink;
    NoGuard guard;
    CKVDAppCore core(guard, sink);
    int rc = kExitFailure;
    if (core.InitInstance()) {
        std::vector<std::string> images = options.openImages;
        images.insert(images.end(), options.images.begin(), options.images.end());
        if (PutImagesIntoDrives(images, sink)) {
            ckvd::ui::MemoryProfile profile;
            CMainFrameModel frame(sink, profile);
            int device = App_StartFirstDrive(!images.empty(), sink);
            if (device >= 0 && frame.LoadDisc(static_cast<uint16_t>(device))) {
                if (options.verbose)
                    PrintCounts(frame);
                std::fputs(Report_TreeText(-1).c_str(), stdout);
                std::fputs(Report_TocText().c_str(), stdout);
                rc = 0;
            }
            frame.Tree().Clear();
            frame.List().Clear();
        }
    }
    core.ExitInstance();
    return rc;
}

int CKVDApp::RunWindow(int argc, char** argv, const AppOptions& options) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(IDS_APP_TITLE);
    QApplication::setWindowIcon(ckvd::ui::ApplicationIcon());
    const bool batch = !options.screenshot.empty();
    ckvd::ui::DialogPlacer placer;
    app.installEventFilter(&placer);
    ckvd::ui::QtMessageSink boxes;
    ckvd::ui::StderrSink printed;
    ckvd::ui::MessageSink& sink = batch ? static_cast<ckvd::ui::MessageSink&>(printed) : boxes;
    ckvd::ui::LockFileGuard guard;
    CKVDAppCore core(guard, sink);
    int rc = kExitFailure;
    if (!core.InitInstance()) {
        if (core.AnotherCopyRunning() && !batch)
            rc = HandOver(guard, options);
        else if (core.AnotherCopyRunning())
            std::fprintf(stderr, "ckvd-explorer: another copy is running (%s)\n", qPrintable(guard.Path()));
        core.ExitInstance();
        return rc;
    }
    if (!options.documentFile.empty() && !CheckDocumentFile(options.documentFile, sink)) {
        core.ExitInstance();
        return kExitFailure;
    }
    // An image that cannot be read is reported; the program goes on with the other drives.
    PutImagesIntoDrives(options.images, sink);
    {
        // A screenshot shows the first-start layout and leaves the user's profile as it is.
        ckvd::ui::MemoryProfile batchProfile;
        std::unique_ptr<ckvd::ui::IniProfile> userProfile;
        ckvd::ui::ProfileStore* profile = &batchProfile;
        if (!batch) {
            userProfile = std::make_unique<ckvd::ui::IniProfile>();
            profile = userProfile.get();
        }
        CMainFrame frame(sink, *profile);
        frame.SetRememberImages(!batch);
        frame.SetOfferReports(!batch);
        if (options.viewCommand)
            frame.OnViewStyle(options.viewCommand);
        if (options.sort)
            frame.GetRightPane()->SetSort(*options.sort);
        boxes.SetOwner(&frame);
        if (!options.documentFile.empty())
            frame.SetDocumentTitle(QFileInfo(QString::fromStdString(options.documentFile)).fileName());
        frame.ShowWindow(batch ? SW_SHOW_CMD : App_ShowCommand(*profile));
        if (!batch)
            WaitUntilPlaced(frame);
        // A second copy started with an image hands it over to this window and ends.
        ckvd::ui::HandoverServer handover(
            [&](const QStringList& images) { TakeHandedImages(frame, images, options.verbose, sink); });
        if (!batch)
            Listen(handover, guard);
        bool loaded = false;
        if (!options.openImages.empty()) {
            // Opened as from the window: the first is loaded, the others wait in their drives.
            loaded = frame.OpenDiscImage(QString::fromStdString(options.openImages.front()));
            PutImagesIntoDrives({options.openImages.begin() + 1, options.openImages.end()}, sink);
        } else if (options.LoadAtStart()) {
            int device = App_StartFirstDrive(!options.images.empty(), sink);
            loaded = device >= 0 && frame.LoadDisc(static_cast<uint16_t>(device));
        }
        if (loaded && options.verbose)
            PrintCounts(frame.Model());
        // From here on the window's own loads run on a worker; the command line's and a screenshot's wait.
        frame.SetBackgroundWork(!batch);
        frame.SetDrivePoll(!batch); // a disc taken out or put in is seen; never in a screenshot
        if (batch) {
            rc = TakeScreenshot(frame, options, loaded);
            frame.close();
        } else {
            rc = app.exec();
        }
        frame.Model().Tree().Clear();
        frame.Model().List().Clear();
    }
    core.ExitInstance();
    return rc;
}
