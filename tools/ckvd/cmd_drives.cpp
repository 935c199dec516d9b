// ckvd drives: the scanned CD-ROM devices, images put into image drives first, and their readiness; the
// drives the user may not open are named on stderr.
#include <cstdint>
#include <cstdio>
#include <string>

#include "appmodel/app_modules.h"
#include "aspi/aspi_manager.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "common/device_open.h"
#include "json_writer.h"
#include "platform/drives/drive_setup.h"

namespace {

// What a drive's line shows beside its record: INQUIRY's revision, the generic SCSI node of the same drive,
// and the state its start left.
struct DriveState {
    std::string revision, generic;
    const char* medium = "not-ready";
    bool ready = false;
};

DriveState state_of(uint16_t index, const DeviceEntry& d) {
    DriveState s;
    s.revision = Aspi_Revision(d);
    if (const ckvd::drives::Drive* drive = Aspi_GetDrive(index))
        s.generic = drive->generic_path();
    const AspiStartResult start = Aspi_StartDevice(index);
    s.ready = start.ready == 1;
    s.medium = Aspi_MediumState(start);
    return s;
}

void write_drive(JsonWriter& out, bool json, uint16_t index, const DeviceEntry& d, const DriveState& s) {
    std::string path = d.driveRootPath;
    if (!path.empty() && path.back() == '/')
        path.pop_back();
    if (!json) {
        std::printf("%u  %u:%u  \"%s\"  \"%s\"  %s  %s  \"%s\"  %s  %s\n", index, d.hostAdapterId, d.targetId,
                    d.vendor, d.product, path.c_str(), s.ready ? "ready" : "not-ready", s.revision.c_str(),
                    s.generic.empty() ? "-" : s.generic.c_str(), s.medium);
        return;
    }
    out.BeginObject()
        .Key("index")
        .Uint(index)
        .Key("host_adapter")
        .Uint(d.hostAdapterId)
        .Key("target")
        .Uint(d.targetId)
        .Key("vendor")
        .String(d.vendor)
        .Key("product")
        .String(d.product)
        .Key("path")
        .String(path)
        .Key("ready")
        .Bool(s.ready)
        .Key("revision")
        .String(s.revision)
        .Key("generic_path");
    if (s.generic.empty())
        out.Null();
    else
        out.String(s.generic);
    out.Key("state").String(s.medium).EndObject();
}

} // namespace

int Cmd_Drives(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_IMAGES | CLI_NO_ARGS, o))
        return rc;
    EngineSession engine;
    if (engine.failed)
        return Cli_Fail(engine.failed, engine.result);
    if (!CliDisc_InstallDrives(o.images))
        return kExitFailure;
    const int rc = Aspi_ScanDevices();
    if (rc != ASPI_OK && rc != ASPI_SCAN_NO_DEVICE)
        return Cli_Fail("Scan Device Error", rc);
    Aspi_AssignRootPaths();
    JsonWriter out(Cli_WriteStdout);
    if (o.json)
        out.BeginObject().Key("drives").BeginArray();
    else
        std::printf("# index  ha:target  vendor  product  path  state  revision  generic  medium\n");
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index)
        write_drive(out, o.json, index, *d, state_of(index, *d));
    if (o.json)
        out.EndArray().EndObject();
    else if (g_DeviceCount == 0)
        std::printf("# no CD-ROM device found\n");
    out.Flush();
    // A drive the user may not open is no drive to the scan: it is named, with the way to it.
    if (const ckvd::drives::SgAdapter* sg = ckvd::drives::SgDrives())
        for (const ckvd::drives::SgNode& node : sg->refused())
            std::fprintf(stderr, "ckvd: %s\n", Tools_PermissionText(node.path, node.path, node.gid).c_str());
    return Cli_FinishOutput(0);
}
