// What a user waits for in the desktop program on a big disc: the main window (offscreen) loads the disc in
// IMAGE (analysis, tree fill, first session shown and painted), then the tree item named DIRECTORY is
// selected and the list refilled and painted. Prints the median times of RUNS in milliseconds.
// usage: bench_disc_load IMAGE DIRECTORY [RUNS]
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appmodel/first_drive.h"
#include "appmodel/message_sink.h"
#include "appmodel/profile_store.h"
#include "aspi/aspi_manager.h"
#include "desktop/mainwindow/main_frm.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_disc_load IMAGE DIRECTORY [RUNS]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string image = argv[1];
    const std::string directory = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    std::string error;
    if (Aspi_Initialize() != 1 || Iso_Initialize() != 1 || !ckvd::drives::SetupDrives({image}, &error)) {
        std::fprintf(stderr, "bench_disc_load: cannot serve %s: %s\n", image.c_str(), error.c_str());
        return 1;
    }
    ckvd::ui::RecordingSink sink;
    ckvd::ui::MemoryProfile profile;
    CMainFrame frame(sink, profile);
    frame.ShowWindow(5);
    if (!QTest::qWaitForWindowExposed(&frame))
        return 1;
    int device = App_StartFirstDrive(true, sink, false);
    if (device < 0) {
        std::fprintf(stderr, "bench_disc_load: %s\n",
                     sink.shown.empty() ? "no drive" : sink.shown.back().c_str());
        return 1;
    }
    std::vector<double> loads, fills;
    size_t treeItems = 0;
    for (int run = 0; run < runs; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        if (!frame.LoadDisc(static_cast<uint16_t>(device))) {
            std::fprintf(stderr, "bench_disc_load: %s\n",
                         sink.shown.empty() ? "load failed" : sink.shown.back().c_str());
            return 1;
        }
        (void)frame.grab(); // paint it, as the user sees it
        loads.push_back(Ms(t0));

        const auto& items = frame.Model().Tree().Items();
        treeItems = items.size();
        int pick = -1;
        for (size_t i = 0; i < items.size() && pick < 0; ++i)
            if (items[i].text == directory)
                pick = static_cast<int>(i);
        if (pick < 0) {
            std::fprintf(stderr, "bench_disc_load: no directory %s in the tree\n", directory.c_str());
            return 1;
        }
        CLeftView* tree = frame.GetLeftPane();
        auto t1 = std::chrono::steady_clock::now();
        tree->setCurrentIndex(tree->ItemModel()->IndexOf(pick));
        (void)frame.grab();
        fills.push_back(Ms(t1));
    }
    std::printf("tree_items %zu\n", treeItems);
    std::printf("list_rows %d\n", frame.Model().List().RowCount());
    std::printf("load_and_paint_ms %.1f\n", Median(loads));
    std::printf("select_fill_and_paint_ms %.1f\n", Median(fills));
    frame.close();
    Iso_Terminate();
    Aspi_Terminate();
    return 0;
}
