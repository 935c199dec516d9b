// Loading the disc of DRIVE (a device path, an image, demo or demo-audio) as ckvd's commands do.
#include "cli_disc.h"

#include <cstdint>
#include <cstdio>

#include "appmodel/disc_analysis.h"
#include "aspi/aspi_manager.h"
#include "cli.h"
#include "common/device_open.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc_commands.h"

namespace {

constexpr int kChangedWhileRead = -1; // no result code of the analysis

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

// The drive of the disc loaded, as it was found, and what it had noticed when the load began: a medium
// change or a time-out after that is the loaded disc's.
struct LoadedDrive {
    unsigned group = 0, slot = 0;
    std::string path;      // its device path: a drive found again at the same place is the same one
    uint64_t changes = 0;  // medium changes noticed before the load
    uint64_t timeouts = 0; // time-outs already told
    uint16_t device = 0;
    uint8_t names = 0;
    std::vector<uint8_t> identity; // the drive's TOC when the disc was read
    bool again = false;            // the disc was read again once
    bool changed = false;          // found while the disc was read again
    bool told = false;             // the change was said
    bool known = false;
};
LoadedDrive g_loaded;

ckvd::drives::Drive* loaded_drive() {
    ckvd::drives::Drive* d =
        g_loaded.known ? ckvd::drives::FindDrive(g_loaded.group, g_loaded.slot) : nullptr;
    return d && d->device_path() == g_loaded.path ? d : nullptr;
}

void remember_drive(int index) {
    g_loaded = {};
    const DeviceEntry* entry = Aspi_GetDevice(static_cast<uint16_t>(index));
    const ckvd::drives::Drive* d =
        entry ? ckvd::drives::FindDrive(entry->hostAdapterId, entry->targetId) : nullptr;
    if (!d)
        return;
    g_loaded.group = entry->hostAdapterId;
    g_loaded.slot = entry->targetId;
    g_loaded.path = d->device_path();
    g_loaded.changes = d->medium_changes();
    g_loaded.timeouts = d->timeouts();
    g_loaded.known = true;
}

// Says the last time-out of the loaded drive not told yet ("READ CD (BEh) at block 1234 timed out after 15 s
// on /dev/sr0").
void tell_timeout() {
    const ckvd::drives::Drive* d = loaded_drive();
    if (!d || d->timeouts() == g_loaded.timeouts)
        return;
    g_loaded.timeouts = d->timeouts();
    std::fprintf(stderr, "ckvd: %s\n", d->last_timeout().c_str());
}

// The disc's identity: its formatted TOC as the loaded drive answers it, straight from the drive (the device
// list may be gone when a command ends); empty when it gives none. A failure is asked again once, but for a
// medium change's notice.
std::vector<uint8_t> identity() {
    std::vector<uint8_t> toc;
    ckvd::drives::Drive* d = loaded_drive();
    for (int attempt = 0; d && attempt < 2; ++attempt) {
        const ckvd::drives::CommandResult r = ckvd::drives::ReadTocAnswer(*d, false, 0, 0, toc);
        if (r.ok())
            return toc;
        const ckvd::drives::Sense s = r.sense_code();
        if (s.key == ckvd::drives::kSenseUnitAttention && s.asc == ckvd::drives::kAscMediumChanged)
            break;
    }
    return {};
}

// The analysis of the disc in the drive. A medium change noticed meanwhile (06/28) means what was read may
// be of two discs: the disc is read again from the start, once, and the load fails when the second read met
// a change too or the drive's TOC is no longer the one it gave before the first.
int analyze(int index, std::string& reason, uint8_t names) {
    const auto device = static_cast<uint16_t>(index);
    const ckvd::drives::Drive* d = loaded_drive();
    std::vector<uint8_t> before = d ? identity() : std::vector<uint8_t>();
    if (d && d->medium_changes() != g_loaded.changes) { // changed before anything was read: that disc is read
        g_loaded.changes = d->medium_changes();
        before = identity();
    }
    g_loaded.device = device;
    g_loaded.names = names;
    g_loaded.identity = before;
    int rc = App_AnalyzeDisc(device, &reason, names);
    // A change the system's own media polling took in passing shows only as another TOC.
    if (!d || (d->medium_changes() == g_loaded.changes && identity() == before))
        return rc;
    g_loaded.changes = d->medium_changes();
    g_loaded.again = true;
    const std::vector<uint8_t> now = identity();
    reason.clear();
    rc = App_AnalyzeDisc(device, &reason, names);
    if (d->medium_changes() != g_loaded.changes || now != before) {
        g_loaded.changed = true;
        return kChangedWhileRead;
    }
    return rc;
}

} // namespace

bool CliDisc_Changed() {
    const ckvd::drives::Drive* d = loaded_drive();
    return g_loaded.changed ||
           (d && (d->medium_changes() != g_loaded.changes || identity() != g_loaded.identity));
}

bool CliDisc_SameDisc() {
    // At the end, only what the command's own reads met counts: no TOC is read for it any more.
    const ckvd::drives::Drive* d = loaded_drive();
    if (!g_loaded.told && !g_loaded.changed && (!d || d->medium_changes() == g_loaded.changes))
        return true;
    if (!g_loaded.told)
        std::fprintf(stderr, "ckvd: the disc in %s was changed while it was read\n", g_loaded.path.c_str());
    g_loaded.told = true;
    return false;
}

bool CliDisc_ReadAgain(int* analysis) {
    const ckvd::drives::Drive* d = loaded_drive();
    if (d && !g_loaded.again && !g_loaded.changed) {
        g_loaded.again = true;
        g_loaded.changes = d->medium_changes();
        if (identity() == g_loaded.identity) {
            std::string reason;
            const int rc = App_AnalyzeDisc(g_loaded.device, &reason, g_loaded.names);
            if (analysis)
                *analysis = rc;
            if (d->medium_changes() == g_loaded.changes && (rc == 1 || analysis))
                return true;
        }
    }
    g_loaded.changed = true;
    CliDisc_SameDisc();
    return false;
}

int CliDisc_Finish(int status) {
    if (!CliDisc_SameDisc())
        return kExitFailure;
    if (status != 0)
        tell_timeout();
    return status;
}

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
    remember_drive(index);
    std::string reason;
    const int rc = analyze(index, reason, names);
    if (rc == kChangedWhileRead) {
        CliDisc_SameDisc();
        return -1;
    }
    if (rc != 1) {
        tell_timeout();
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
    std::string incomplete = App_IncompleteImage(static_cast<uint16_t>(index));
    if (CliDisc_Changed()) { // its reads met a medium change: the same disc is read again
        if (!CliDisc_ReadAgain(analysis))
            return -1;
        incomplete = App_IncompleteImage(static_cast<uint16_t>(index));
        if (CliDisc_Changed() && !CliDisc_ReadAgain(analysis))
            return -1;
    }
    if (!incomplete.empty())
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
