// Loading the disc of DRIVE (a device path, an image, demo or demo-audio) as ckvd's commands do.
#include "cli_disc.h"

#include <cstdint>
#include <cstdio>

#include "appmodel/disc_analysis.h"
#include "cli.h"
#include "common/device_open.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"

namespace {

// Resolves DRIVE to image paths to install (none for a device path) and the device path to look for.
bool resolve_drive(const std::string& arg, std::vector<std::string>& images, std::string& devicePath) {
    if (arg == "demo" || arg == "demo-audio") {
        const std::vector<std::string> demo = Cli_DemoDiscs();
        if (demo.size() < 2)
            return false;
        devicePath = arg == "demo" ? demo[0] : demo[1];
        images = {devicePath};
        return true;
    }
    devicePath = arg;
    if (!Tools_IsDeviceNode(arg))
        images = {arg};
    return true;
}

// Finds the device whose path is `devicePath` and spins it up. Returns its index or -1.
int open_device(const std::string& devicePath) {
    std::string error;
    const int index = Tools_OpenDevice(devicePath, "ckvd", error);
    if (index < 0 && error.empty())
        std::fprintf(stderr, "ckvd: no CD drive at %s\n", devicePath.c_str());
    else if (index < 0)
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
    return index;
}

} // namespace

bool CliDisc_InstallDrives(const std::vector<std::string>& images) {
    std::string error;
    if (!ckvd::drives::SetupDrives(images, &error)) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return false;
    }
    return true;
}

int CliDisc_Load(const std::string& drive, int* analysis, uint8_t names) {
    std::vector<std::string> images;
    std::string devicePath;
    if (!resolve_drive(drive, images, devicePath) || !CliDisc_InstallDrives(images))
        return -1;
    const int index = open_device(devicePath);
    if (index < 0)
        return -1;
    std::string reason;
    const int rc = App_AnalyzeDisc(static_cast<uint16_t>(index), &reason, names);
    if (rc != 1) {
        if (analysis && g_DiscModel && g_DiscModel->firstSession) {
            *analysis = rc;
            return index;
        }
        Cli_Fail("ISO9660 FileSystem Analyze Error", rc);
        if (!reason.empty())
            std::fprintf(stderr, "ckvd: %s\n", reason.c_str());
        return -1;
    }
    // A cut image is read as far as it goes; that the file is incomplete is said once, not left to the marks.
    if (const std::string incomplete = App_IncompleteImage(static_cast<uint16_t>(index)); !incomplete.empty())
        std::fprintf(stderr, "ckvd: %s\n", incomplete.c_str());
    return index;
}

bool CliDisc_Start(const EngineSession& engine, const std::string& drive, uint8_t names) {
    if (engine.failed) {
        Cli_Fail(engine.failed, engine.result);
        return false;
    }
    return CliDisc_Load(drive, nullptr, names) >= 0;
}

int CliDisc_Run(const CliOptions& options, size_t minArgs, size_t maxArgs,
                const std::function<int(const std::vector<std::string>& args, int session)>& command) {
    if (options.args.size() < minArgs || options.args.size() > maxArgs)
        return Cli_Usage();
    EngineSession engine;
    if (!CliDisc_Start(engine, options.args[0]))
        return kExitFailure;
    return command(options.args, options.session);
}

DiscPath CliDisc_LookupFile(const std::string& path, int session) {
    DiscPath found = Report_FindPath(path, session);
    if (!found.entry) {
        std::fprintf(stderr, "ckvd: no entry %s on the disc\n", path.c_str());
        return {};
    }
    if (found.entry->type != 'F') {
        std::fprintf(stderr, "ckvd: %s is a directory\n", path.c_str());
        return {};
    }
    // Reads go to the session the list would show the file in.
    g_CurrentSession = static_cast<uint8_t>(found.session);
    return found;
}
