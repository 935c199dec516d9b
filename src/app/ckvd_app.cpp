#include "app/ckvd_app.h"

#include <QApplication>
#include <QThread>
#include <QWindow>
#include <cstdio>

#include "app/app_startup.h"
#include "app/first_drive.h"
#include "app/main_frm.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "platform/ui/ui_images.h"
#include "platform/ui/ui_instance.h"
#include "platform/ui/ui_message.h"
#include "platform/ui/ui_profile.h"
#include "report/disc_text.h"
#include "res/app_strings.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: ckvd-explorer [--demo] [--image PATH]... [--screenshot OUT.png] [--verbose]\n"
                 "  --image PATH       put a disc image (.iso, .cue, .ccd) into an image drive (repeatable)\n"
                 "  --demo             put the built-in demo discs into image drives\n"
                 "  --screenshot PATH  load the first drive, select the first session, save a PNG of the\n"
                 "                     main window and exit\n"
                 "  --verbose          print the number of tree items and list rows after the load\n");
}

// A text run shows no window, so it takes no instance guard.
class NoGuard final : public ckvd::ui::InstanceGuard {
  public:
    bool Acquire() override { return true; }
    void Release() override {}
};

void PrintCounts(CMainFrameModel& model) {
    std::printf("tree items: %zu\nlist rows: %d\ntitle: %s\n", model.Tree().Items().size(),
                model.List().RowCount(), Report_SjisToUtf8(model.Doc().Title().c_str()).c_str());
    std::fflush(stdout);
}

} // namespace

int CKVDApp::Run(int argc, char** argv) {
    AppOptions options = App_ParseOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "ckvd-explorer: %s\n", options.error.c_str());
        Usage(stderr);
        return kExitUsage;
    }
    if (options.help) {
        Usage(stdout);
        return 0;
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
        std::string error;
        if (!ckvd::aspi32::SetupDrives(options.images, &error)) {
            sink.Show(error);
        } else {
            ckvd::ui::MemoryProfile profile;
            CMainFrameModel frame(sink, profile);
            int device = App_StartFirstDrive(!options.images.empty(), sink);
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
    ckvd::ui::QtMessageSink boxes;
    ckvd::ui::StderrSink printed;
    ckvd::ui::MessageSink& sink = batch ? static_cast<ckvd::ui::MessageSink&>(printed) : boxes;
    ckvd::ui::LockFileGuard guard;
    CKVDAppCore core(guard, sink);
    int rc = kExitFailure;
    if (!core.InitInstance()) {
        if (core.AnotherCopyRunning() && batch)
            std::fprintf(stderr, "ckvd-explorer: another copy is running (%s)\n", qPrintable(guard.Path()));
        core.ExitInstance();
        return kExitFailure;
    }
    std::string error;
    if (!ckvd::aspi32::SetupDrives(options.images, &error)) {
        sink.Show(error);
        core.ExitInstance();
        return kExitFailure;
    }
    {
        ckvd::ui::IniProfile profile;
        CMainFrame frame(sink, profile);
        boxes.SetOwner(&frame);
        frame.ShowWindow(batch ? SW_SHOW_CMD : App_ShowCommand(profile));
        bool loaded = false;
        if (options.LoadAtStart()) {
            int device = App_StartFirstDrive(!options.images.empty(), sink);
            loaded = device >= 0 && frame.LoadDisc(static_cast<uint16_t>(device));
            if (loaded && options.verbose)
                PrintCounts(frame.Model());
        }
        if (batch) {
            rc = kExitFailure;
            // The window must have appeared before it can be grabbed.
            for (int i = 0; i < 500 && !(frame.windowHandle() && frame.windowHandle()->isExposed()); ++i) {
                QApplication::processEvents();
                QThread::msleep(10);
            }
            QApplication::processEvents();
            if (!frame.windowHandle() || !frame.windowHandle()->isExposed()) {
                std::fprintf(stderr, "ckvd-explorer: the main window did not appear\n");
            } else if (loaded) {
                if (frame.grab().save(QString::fromStdString(options.screenshot), "PNG"))
                    rc = 0;
                else
                    std::fprintf(stderr, "ckvd-explorer: cannot write %s\n", options.screenshot.c_str());
            }
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
