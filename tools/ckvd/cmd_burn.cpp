// ckvd burn: a disc image burned through libburn (a CD in a drive, or libburn's stdio:PATH pseudo-drive),
// then read back through the disc engine and compared with the image block by block.
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "aspi/aspi_manager.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "discmaker/burn_disc.h"
#include "discmaker/burn_verify.h"
#include "iso9660/iso9660.h"
#include "json_writer.h"

namespace {

constexpr uint32_t kBlock = 2048;

// The burned disc read back through the disc engine and held against the image. False when the disc cannot
// be loaded (said already) or the image read.
bool Compare(const std::string& drive, const std::string& image, uint32_t start, std::vector<BurnRange>& bad,
             uint32_t& blocks) {
    EngineSession engine;
    if (!CliDisc_Start(engine, drive))
        return false;
    const uint16_t device = g_CurrentDevice;
    std::string error;
    const bool ok = Burn_Compare(
        image, start,
        [device](uint32_t lba, uint16_t count, uint8_t* out) {
            return Aspi_ReadSectors(device, lba, kBlock, count, out) == ASPI_OK;
        },
        bad, blocks, error);
    if (!ok)
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
    return ok;
}

// The drive as the disc engine names it: libburn's stdio:PATH is the image file PATH.
std::string EngineDrive(const std::string& drive) {
    const std::string file = Burn_StdioFile(drive);
    return file.empty() ? drive : file;
}

} // namespace

int Cmd_Burn(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_BURN, o))
        return rc;
    if (o.args.size() != 2 || o.args[0].empty() || o.args[1].empty())
        return Cli_Usage();
    const std::string &image = o.args[0], &drive = o.args[1];
    BurnOptions options;
    options.blank = o.blank;
    options.multisession = o.multisession;
    options.speed = o.speed * 150 * 1024 / 1000; // kB/s of 1000 bytes, as libburn counts them
    const bool terminal = isatty(STDERR_FILENO);
    int shown = -1;
    std::string error;
    uint32_t start = 0;
    const bool burned = Burn_Image(
        image, drive, options,
        [&](const char* phase, uint64_t done, uint64_t total) {
            const int percent = total ? int(done * 100 / total) : 0;
            if (terminal && percent != shown)
                std::fprintf(stderr, "\r%s %3d%%", phase, shown = percent);
        },
        error, &start);
    if (terminal && shown >= 0)
        std::fprintf(stderr, "\n");
    if (!burned) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return kExitFailure;
    }
    std::vector<BurnRange> bad;
    uint32_t blocks = 0;
    if (!Compare(EngineDrive(drive), image, start, bad, blocks))
        return kExitFailure;
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        out.BeginObject().Key("image").String(image).Key("drive").String(drive).Key("blocks").Uint(blocks);
        out.Key("start").Uint(start).Key("damaged").BeginArray();
        for (const BurnRange& r : bad)
            out.BeginObject()
                .Key("first")
                .Uint(r.first)
                .Key("last")
                .Uint(r.last)
                .Key("state")
                .String(r.state)
                .EndObject();
        out.EndArray().Key("verified").Bool(bad.empty()).EndObject();
        out.Flush();
    } else {
        std::string text = "burned " + image + " onto " + drive +
                           (start ? " as a session at block " + std::to_string(start) : "") + "\n";
        for (const BurnRange& r : bad)
            text +=
                "blocks " + std::to_string(r.first) + "-" + std::to_string(r.last) + ": " + r.state + "\n";
        text += bad.empty() ? "verified: " + std::to_string(blocks) + " blocks read back equal the image\n"
                            : "not verified: " + std::to_string(bad.size()) + " ranges are not the image's\n";
        Cli_WriteStdout(text);
    }
    return Cli_FinishOutput(bad.empty() ? 0 : kExitFailure);
}
