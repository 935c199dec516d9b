// ckvd dump: the disc copied into an image file (.iso, or .cue with its .bin), with a map of what was read
// that a later run resumes from, a verify of the sectors and a log with the hashes.
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "dump/dump_job.h"
#include "json_writer.h"
#include "res/version.h"

namespace {

void Hashes(JsonWriter& out, const DumpHashes& h) {
    out.Key("size").Uint(h.size).Key("crc32").String(h.crc32).Key("md5").String(h.md5);
    out.Key("sha1").String(h.sha1);
}

void WriteJson(const DumpJob& job) {
    const DumpCounts c = job.Counts();
    const DumpCheck& check = job.Check();
    const DumpPlan& plan = job.Plan();
    JsonWriter out(Cli_WriteStdout);
    out.BeginObject().Key("image").String(job.Out()).Key("map").String(job.MapPath());
    out.Key("log").String(job.LogPath());
    out.Key("blocks").Uint(c.blocks).Key("read").Uint(c.read).Key("retried").Uint(c.retried);
    out.Key("unreadable").Uint(c.unreadable).Key("not_tried").Uint(c.notTried);
    out.Key("verified").Uint(check.verified).Key("synthesised").Uint(check.synthesised);
    out.Key("corrupt").Uint(check.corrupt).Key("complete").Bool(job.Faults().empty());
    out.Key("tracks").BeginArray();
    for (size_t i = 0; i < plan.tracks.size() && i < check.tracks.size(); ++i) {
        const DumpTrack& t = plan.tracks[i];
        out.BeginObject().Key("session").Int(t.session).Key("track").Int(t.number);
        out.Key("type").String(t.audio ? "audio" : "data").Key("start").Uint(t.start);
        out.Key("blocks").Uint(t.blocks);
        Hashes(out, check.tracks[i]);
        out.EndObject();
    }
    out.EndArray().Key("files").BeginArray();
    for (size_t i = 0; i < plan.files.size() && i < check.files.size(); ++i) {
        out.BeginObject().Key("path").String(plan.files[i]);
        Hashes(out, check.files[i]);
        out.EndObject();
    }
    out.EndArray().EndObject();
}

void WriteText(const DumpJob& job) {
    const DumpCounts c = job.Counts();
    const DumpCheck& check = job.Check();
    const auto n = [](uint64_t v) { return std::to_string(v); };
    Cli_WriteStdout(job.Out() + ": " + n(c.blocks) + " blocks: " + n(c.read) + " read now (" + n(c.retried) +
                    " of them retried), " + n(c.unreadable) + " unreadable; " + n(check.verified) +
                    " sectors verified, " + n(check.synthesised) + " synthesised, " + n(check.corrupt) +
                    " corrupt\nmap: " + job.MapPath() + "\nlog: " + job.LogPath() + "\n");
}

} // namespace

int Cmd_Dump(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_RETRY, o))
        return rc;
    if (o.args.size() != 2)
        return Cli_Usage();
    DumpFormat format;
    if (!Dump_FormatOf(o.args[1], format))
        return Cli_UsageError(
            "OUT ends in .iso (the user data of a data disc) or .cue (whole sectors of every "
            "track in a .bin beside it), not '" +
            o.args[1] + "'");
    EngineSession engine;
    if (engine.failed)
        return Cli_Fail(engine.failed, engine.result);
    int analysis = 1; // the dump needs the TOC, not the file systems
    const int device = CliDisc_Load(o.args[0], &analysis);
    if (device < 0)
        return kExitFailure;
    DumpJob job;
    std::string why;
    const int rc = job.Prepare(static_cast<uint16_t>(device), o.args[1], why);
    if (rc != 0 && rc != 1)
        return Cli_Fail("The TOC could not be read.", rc);
    const bool tty = isatty(STDERR_FILENO);
    uint64_t shown = 0;
    const auto progress = [&](uint64_t done, uint64_t total) {
        if (tty && done - shown >= 256) {
            std::fprintf(stderr, "\rckvd: dumping: %3d %%",
                         static_cast<int>(done * 100 / std::max<uint64_t>(total, 1)));
            shown = done;
        }
    };
    const bool done = rc == 1 && job.Read(o.retry, progress, nullptr, why);
    if (tty && rc == 1)
        std::fprintf(stderr, "\r%*s\r", 24, "");
    if (!done || !job.Finish("ckvd (CKVD Explorer) " CKVD_VERSION, why)) {
        std::fprintf(stderr, "ckvd: %s\n", why.c_str());
        return kExitFailure;
    }
    if (o.json)
        WriteJson(job);
    else
        WriteText(job);
    const int status = Cli_FinishOutput(0);
    for (const std::string& fault : job.Faults())
        std::fprintf(stderr, "ckvd: %s\n", fault.c_str());
    return status ? status : job.Faults().empty() ? 0 : kExitFailure;
}
