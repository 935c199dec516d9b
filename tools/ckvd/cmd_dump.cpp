// ckvd dump: the disc copied into an image file (.iso, or .cue with its .bin), with a map of what was read
// that a later run resumes from, a verify of the sectors and a log with the hashes.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "dump/dump_check.h"
#include "dump/dump_cue.h"
#include "dump/dump_log.h"
#include "dump/dump_map.h"
#include "dump/dump_plan.h"
#include "dump/dump_reader.h"
#include "json_writer.h"
#include "res/version.h"

namespace {

constexpr size_t kRunsNamed = 20; // unreadable runs named on stderr; the map lists them all

bool EndsWith(const std::string& text, const char* end) {
    const std::string e = end;
    if (text.size() <= e.size())
        return false;
    std::string tail = text.substr(text.size() - e.size());
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == e;
}

// `text` into `path` through a new file renamed over it.
bool WriteText(const std::string& path, const std::string& text) {
    const std::string temp = path + ".new";
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out && std::rename(temp.c_str(), path.c_str()) == 0;
}

void Hashes(JsonWriter& out, const DumpHashes& h) {
    out.Key("size").Uint(h.size).Key("crc32").String(h.crc32).Key("md5").String(h.md5);
    out.Key("sha1").String(h.sha1);
}

void WriteJson(const std::string& image, const std::string& map, const std::string& log, const DumpPlan& plan,
               const DumpCounts& c, const DumpCheck& check) {
    JsonWriter out(Cli_WriteStdout);
    out.BeginObject().Key("image").String(image).Key("map").String(map).Key("log").String(log);
    out.Key("blocks").Uint(c.blocks).Key("read").Uint(c.read).Key("retried").Uint(c.retried);
    out.Key("unreadable").Uint(c.unreadable).Key("not_tried").Uint(c.notTried);
    out.Key("verified").Uint(check.verified).Key("synthesised").Uint(check.synthesised);
    out.Key("corrupt").Uint(check.corrupt);
    out.Key("complete").Bool(c.unreadable == 0 && c.notTried == 0 && check.corrupt == 0);
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

// What is missing from the dump on stderr; the exit status.
int Verdict(const std::string& map, const std::string& log, const DumpPlan& plan, const DumpReader& reader,
            const DumpCounts& c, const DumpCheck& check) {
    int status = 0;
    if (c.unreadable) {
        const std::vector<std::string> runs = Dump_UnreadableRuns(plan, reader.States());
        std::string named;
        for (size_t i = 0; i < runs.size() && i < kRunsNamed; ++i)
            named += (i ? ", " : "") + runs[i];
        if (runs.size() > kRunsNamed)
            named += ", ...";
        std::fprintf(stderr, "ckvd: dump incomplete: %llu unreadable blocks (%s), listed in %s\n",
                     static_cast<unsigned long long>(c.unreadable), named.c_str(), map.c_str());
        status = kExitFailure;
    }
    if (c.notTried) {
        std::fprintf(stderr, "ckvd: dump incomplete: %llu blocks not read yet; run it again to go on\n",
                     static_cast<unsigned long long>(c.notTried));
        status = kExitFailure;
    }
    if (check.corrupt) {
        std::fprintf(stderr,
                     "ckvd: %llu sectors read fail their checks (sync, header, EDC, ECC), listed in %s\n",
                     static_cast<unsigned long long>(check.corrupt), log.c_str());
        status = kExitFailure;
    }
    return status;
}

// The read image checked and hashed, its cue sheet and log written, the summary printed; the exit status.
int Finish(uint16_t device, const std::string& out, const DumpPlan& plan, const DumpReader& reader,
           bool json) {
    const std::string map = out + ".map", log = out + ".log";
    DumpCheck check;
    std::string why;
    if (!Dump_Check(plan, reader.States(), reader.Made(), check, why)) {
        std::fprintf(stderr, "ckvd: %s\n", why.c_str());
        return kExitFailure;
    }
    if (plan.format == DumpFormat::Cue && !WriteText(out, Dump_CueSheet(plan, check))) {
        std::fprintf(stderr, "ckvd: cannot write %s\n", out.c_str());
        return kExitFailure;
    }
    const std::string program = "ckvd (CKVD Explorer) " CKVD_VERSION;
    if (!WriteText(log, Dump_LogText(program, Aspi_GetDevice(device), out, map, plan, reader, check))) {
        std::fprintf(stderr, "ckvd: cannot write %s\n", log.c_str());
        return kExitFailure;
    }
    const DumpCounts c = Dump_Count(reader);
    if (json) {
        WriteJson(out, map, log, plan, c, check);
    } else {
        const auto n = [](uint64_t v) { return std::to_string(v); };
        Cli_WriteStdout(out + ": " + n(c.blocks) + " blocks: " + n(c.read) + " read now (" + n(c.retried) +
                        " of them retried), " + n(c.unreadable) + " unreadable; " + n(check.verified) +
                        " sectors verified, " + n(check.synthesised) + " synthesised, " + n(check.corrupt) +
                        " corrupt\nmap: " + map + "\nlog: " + log + "\n");
    }
    return Cli_FinishOutput(Verdict(map, log, plan, reader, c, check));
}

} // namespace

int Cmd_Dump(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_RETRY, o))
        return rc;
    if (o.args.size() != 2)
        return Cli_Usage();
    const std::string out = o.args[1];
    const bool iso = EndsWith(out, ".iso");
    if (!iso && !EndsWith(out, ".cue"))
        return Cli_UsageError(
            "OUT ends in .iso (the user data of a data disc) or .cue (whole sectors of every "
            "track in a .bin beside it), not '" +
            out + "'");
    EngineSession engine;
    if (engine.failed)
        return Cli_Fail(engine.failed, engine.result);
    int analysis = 1; // the dump needs the TOC, not the file systems
    const int device = CliDisc_Load(o.args[0], &analysis);
    if (device < 0)
        return kExitFailure;
    DumpPlan plan;
    std::string why;
    const int rc =
        Dump_MakePlan(static_cast<uint16_t>(device), iso ? DumpFormat::Iso : DumpFormat::Cue, out, plan, why);
    if (rc == 0) {
        std::fprintf(
            stderr,
            "ckvd: %s: %s; an .iso holds the user data of one data session: dump the disc to a .cue\n",
            out.c_str(), why.c_str());
        return kExitFailure;
    }
    if (rc != 1)
        return Cli_Fail("The TOC could not be read.", rc);
    const std::string map = out + ".map", log = out + ".log";
    DumpReader reader;
    if (!iso && access(out.c_str(), F_OK) == 0 && access(map.c_str(), F_OK) != 0)
        why = out + " exists without the map " + map +
              " of a dump: it is not overwritten (remove it, or give another name)";
    if (!why.empty() || !reader.Open(static_cast<uint16_t>(device), plan, map, why)) {
        std::fprintf(stderr, "ckvd: %s\n", why.c_str());
        return kExitFailure;
    }
    const bool tty = isatty(STDERR_FILENO);
    uint64_t shown = 0;
    const auto progress = [&](uint64_t done, uint64_t total) {
        if (tty && done - shown >= 256) {
            std::fprintf(stderr, "\rckvd: dumping: %3d %%",
                         static_cast<int>(done * 100 / std::max<uint64_t>(total, 1)));
            shown = done;
        }
    };
    const bool ran = reader.Run(o.retry, progress, nullptr, why);
    if (tty)
        std::fprintf(stderr, "\r%*s\r", 24, "");
    if (!ran) {
        std::fprintf(stderr, "ckvd: %s\n", why.c_str());
        return kExitFailure;
    }
    return Finish(static_cast<uint16_t>(device), out, plan, reader, o.json);
}
