// Times (median of RUNS) the full analysis of a disc image through the image drive and the real device
// facade, and counts the READ(10) commands and sectors it sent against the sectors of all directory extents
// and path tables.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_analysis IMAGE [RUNS]\n");
        return 2;
    }
    const std::string image = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::string error;
    if (Aspi_Initialize() != 1 || !ckvd::drives::SetupDrives({image}, &error)) {
        std::fprintf(stderr, "bench_analysis: %s\n", error.c_str());
        return 1;
    }
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d && std::string(d->driveRootPath) != image + "/"; d = d->next)
        ++index;
    ckvd::drives::ImageDrive* drive = ckvd::drives::FindImageDrive(image);
    if (index >= g_DeviceCount || !drive) {
        std::fprintf(stderr, "bench_analysis: no drive for %s\n", image.c_str());
        return 1;
    }
    Aspi_TestUnitReady(index);
    std::vector<double> times;
    uint64_t commands = 0, sectors = 0;
    for (int r = 0; r < runs; ++r) {
        drive->read10_commands = 0;
        drive->sectors_read = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = Iso_AnalyzeDisc(index);
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (rc != 1) {
            std::fprintf(stderr, "bench_analysis: analysis failed, code %04X\n", unsigned(rc));
            return 1;
        }
        times.push_back(s);
        commands = drive->read10_commands;
        sectors = drive->sectors_read;
    }
    // The median, as hyperfine reports for the command-line tools beside it.
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2 ? times[times.size() / 2]
                                           : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    // Sectors of every directory extent (volume and directories) of every session.
    uint64_t dirSectors = 0, files = 0, dirs = 0;
    for (const SessionTree* t = g_DiscModel->firstTree; t; t = t->next) {
        std::vector<const FileEntry*> stack;
        if (t->root)
            stack.push_back(t->root);
        while (!stack.empty()) {
            const FileEntry* e = stack.back();
            stack.pop_back();
            if (e->type != 'F') {
                dirSectors += (uint64_t(e->size) + 2047) / 2048;
                ++dirs;
            } else {
                ++files;
            }
            for (const FileEntry* c = e->firstChild; c; c = c->nextSibling)
                stack.push_back(c);
        }
    }
    std::printf("analysis_seconds %.6f\nread10_commands %llu\nsectors_read %llu\ndirectory_sectors %llu\n"
                "directories %llu\nfiles %llu\n",
                median, (unsigned long long)commands, (unsigned long long)sectors,
                (unsigned long long)dirSectors, (unsigned long long)dirs, (unsigned long long)files);
    Iso_Terminate();
    Aspi_Terminate();
    return 0;
}
