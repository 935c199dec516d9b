// ckvd burn: a disc image burned through libburn (a CD in a drive, or libburn's stdio:PATH pseudo-drive),
// then read back through the disc engine and compared with the image block by block.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "aspi/aspi_manager.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "discmaker/burn_disc.h"
#include "iso9660/iso9660.h"
#include "json_writer.h"

namespace {

constexpr uint32_t kBlock = 2048;
constexpr uint16_t kRun = 32; // blocks a read

struct Range {
    uint32_t first, last;
    const char* what; // "differ from the image", "unreadable"
};

// The burned disc read back from block `start` on and held against the image's blocks; the ranges that
// are not the image's. False when the disc cannot be loaded (said already).
bool Compare(const std::string& drive, const std::string& image, std::vector<Range>& bad, uint32_t& blocks) {
    const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const off_t size = lseek(fd, 0, SEEK_END);
    blocks = size > 0 ? uint32_t(uint64_t(size) / kBlock) : 0;
    EngineSession engine;
    if (!CliDisc_Start(engine, drive)) {
        close(fd);
        return false;
    }
    const uint16_t device = g_CurrentDevice;
    std::vector<uint8_t> disc(size_t(kRun) * kBlock), mine(disc.size());
    auto mark = [&bad](uint32_t block, const char* what) {
        if (!bad.empty() && bad.back().what == what && bad.back().last + 1 == block)
            bad.back().last = block;
        else
            bad.push_back({block, block, what});
    };
    for (uint32_t at = 0; at < blocks;) {
        const auto n = uint16_t(std::min<uint32_t>(kRun, blocks - at));
        const bool read = Aspi_ReadSectors(device, at, kBlock, n, disc.data()) == ASPI_OK;
        const ssize_t got = pread(fd, mine.data(), size_t(n) * kBlock, off_t(uint64_t(at) * kBlock));
        for (uint32_t i = 0; i < n; ++i) {
            if (!read || got < ssize_t((i + 1) * kBlock))
                mark(at + i, read ? "differ from the image" : "unreadable");
            else if (std::memcmp(disc.data() + size_t(i) * kBlock, mine.data() + size_t(i) * kBlock, kBlock))
                mark(at + i, "differ from the image");
        }
        at += n;
    }
    close(fd);
    return true;
}

// The drive as the disc engine names it: libburn's stdio:PATH is the image file PATH.
std::string EngineDrive(const std::string& drive) {
    return drive.rfind("stdio:", 0) == 0 ? drive.substr(6) : drive;
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
    const bool burned = Burn_Image(
        image, drive, options,
        [&](const char* phase, uint64_t done, uint64_t total) {
            const int percent = total ? int(done * 100 / total) : 0;
            if (terminal && percent != shown)
                std::fprintf(stderr, "\r%s %3d%%", phase, shown = percent);
        },
        error);
    if (terminal && shown >= 0)
        std::fprintf(stderr, "\n");
    if (!burned) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return kExitFailure;
    }
    std::vector<Range> bad;
    uint32_t blocks = 0;
    if (!Compare(EngineDrive(drive), image, bad, blocks))
        return kExitFailure;
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        out.BeginObject().Key("image").String(image).Key("drive").String(drive).Key("blocks").Uint(blocks);
        out.Key("damaged").BeginArray();
        for (const Range& r : bad)
            out.BeginObject()
                .Key("first")
                .Uint(r.first)
                .Key("last")
                .Uint(r.last)
                .Key("state")
                .String(r.what)
                .EndObject();
        out.EndArray().Key("verified").Bool(bad.empty()).EndObject();
        out.Flush();
    } else {
        std::string text = "burned " + image + " onto " + drive + "\n";
        for (const Range& r : bad)
            text += "blocks " + std::to_string(r.first) + "-" + std::to_string(r.last) + ": " + r.what + "\n";
        text += bad.empty() ? "verified: " + std::to_string(blocks) + " blocks read back equal the image\n"
                            : "not verified: " + std::to_string(bad.size()) + " ranges are not the image's\n";
        Cli_WriteStdout(text);
    }
    return Cli_FinishOutput(bad.empty() ? 0 : kExitFailure);
}
