// Fill time of the file list for a 10,000-entry directory: the content model's refill (in the disc's order
// and sorted by each column), the Qt model reset, and reading every row's four texts in each number style
// (what a full scroll through the list costs).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>

#include "desktop/mainwindow/kvd_app_view.h"
#include "disc_model_builder.h"
#include "listing/lbn_size_style.h"

namespace {

struct BigDirectory {
    DiscModelBuilder b;
    BigDirectory() {
        b.AddSession(0x04);
        FileEntry* root = b.AddTree("BIG", 1);
        char name[64];
        for (int i = 0; i < 10000; ++i) {
            std::snprintf(name, sizeof name, "FILE%05d.MP3", i);
            b.File(root, name, 100u + static_cast<uint32_t>(i) * 3u, 5000000u + static_cast<uint32_t>(i));
        }
        b.Install();
    }
};

void BM_ListFill(benchmark::State& state) {
    BigDirectory disc;
    CKVDAppViewModel content;
    FileListModel model(content);
    for (auto _ : state) {
        content.OnUpdate(true, 0);
        model.Reload();
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["rows"] = content.RowCount();
}
BENCHMARK(BM_ListFill)->Unit(benchmark::kMicrosecond);

// The refill of the same folder sorted by one column (0 name, 1 LBN, 2 size, 3 date), names in the
// collation's natural order.
void BM_ListFillSorted(benchmark::State& state) {
    BigDirectory disc;
    CKVDAppViewModel content;
    FileListModel model(content);
    content.SetSort({static_cast<int>(state.range(0)), true});
    for (auto _ : state) {
        content.OnUpdate(true, 0);
        model.Reload();
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_ListFillSorted)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_ListAllTexts(benchmark::State& state) {
    BigDirectory disc;
    CKVDAppViewModel content;
    FileListModel model(content);
    content.OnUpdate(true, 0);
    model.Reload();
    g_LbnSizeStyle = static_cast<uint16_t>(state.range(0));
    for (auto _ : state) {
        for (int r = 0; r < model.rowCount(); ++r)
            for (int c = 0; c < 4; ++c)
                benchmark::DoNotOptimize(model.data(model.index(r, c), Qt::DisplayRole));
    }
    g_LbnSizeStyle = 0;
}
BENCHMARK(BM_ListAllTexts)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
