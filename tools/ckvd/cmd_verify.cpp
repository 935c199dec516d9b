// ckvd verify: every block of the disc read and checked, the damage and the files it hits.
#include <unistd.h>

#include <cstdio>
#include <set>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"
#include "json_writer.h"
#include "platform/images/disc_image.h"
#include "verify/disc_verify.h"
#include "verify/verify_map.h"

namespace {

using ckvd::images::grouped;

const char* CheckName(const VerifyTrack& t) {
    switch (t.check) {
    case VerifyCheck::Sectors:
        return "sectors";
    case VerifyCheck::UserData:
        return "user data";
    case VerifyCheck::Audio:
        return "audio";
    default:
        return "none";
    }
}

const char* CheckText(const VerifyTrack& t) {
    switch (t.check) {
    case VerifyCheck::Sectors:
        return "whole sectors checked (sync, header, EDC, ECC)";
    case VerifyCheck::UserData:
        return "user data read (no whole sectors to check)";
    case VerifyCheck::Audio:
        return "audio read";
    default:
        return "not read";
    }
}

// Entries the analysis could not read, by session.
struct DamagedEntry {
    int session;
    std::string path;
    char type;
    std::string reason;
};
std::vector<DamagedEntry> DamagedEntries(int session) {
    std::vector<DamagedEntry> found;
    int number = 1;
    for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++number) {
        if (session >= 0 && number != session + 1)
            continue;
        if (t->root && (t->root->flags & ISO_UNREADABLE))
            found.push_back({number, "/", 'D', Iso_UnreadableReason(t->root)});
        Report_WalkTree(t->root, [&](FileEntry& e, const std::string& path, size_t) {
            if (e.flags & ISO_UNREADABLE)
                found.push_back({number, path, e.type == 'F' ? 'F' : 'D', Iso_UnreadableReason(&e)});
        });
    }
    return found;
}

std::string Count(size_t n, const char* one, const char* many) {
    return grouped(n) + " " + (n == 1 ? one : many);
}

std::string Blocks(const VerifyRange& r) {
    return r.count == 1 ? "block " + grouped(r.first)
                        : "blocks " + grouped(r.first) + "-" + grouped(uint64_t{r.first} + r.count - 1);
}

const char* StateName(uint8_t state) {
    return state == VERIFY_CORRUPT ? "corrupt" : "unreadable";
}

void WriteJson(const DiscVerify& v, const std::vector<VerifyRange>& ranges,
               const std::vector<DamagedEntry>& damaged, bool sound) {
    JsonWriter out(Cli_WriteStdout);
    out.BeginObject().Key("tracks").BeginArray();
    for (const VerifyTrack& t : v.Tracks())
        out.BeginObject()
            .Key("session").Int(t.session)
            .Key("track").Int(t.number)
            .Key("type").String(t.audio ? "audio" : "data")
            .Key("start").Uint(t.start)
            .Key("recorded").Uint(t.recorded)
            .Key("blocks").Uint(t.blocks)
            .Key("check").String(CheckName(t))
            .EndObject();
    out.EndArray().Key("ranges").BeginArray();
    for (const VerifyRange& r : ranges) {
        out.BeginObject()
            .Key("first").Uint(r.first)
            .Key("last").Uint(uint64_t{r.first} + r.count - 1)
            .Key("blocks").Uint(r.count)
            .Key("state").String(StateName(r.state))
            .Key("reason").String(r.reason)
            .Key("hits").BeginArray();
        for (const VerifyHit& h : v.Hits(r))
            out.BeginObject()
                .Key("session").Int(h.session)
                .Key("path").String(h.path)
                .Key("type").String(h.type == 'F' ? "file" : "directory")
                .EndObject();
        out.EndArray().EndObject();
    }
    out.EndArray().Key("unreadableEntries").BeginArray();
    for (const DamagedEntry& d : damaged)
        out.BeginObject()
            .Key("session").Int(d.session)
            .Key("path").String(d.path)
            .Key("type").String(d.type == 'F' ? "file" : "directory")
            .Key("reason").String(d.reason)
            .EndObject();
    const std::vector<uint64_t> counts = v.Counts();
    out.EndArray()
        .Key("summary").BeginObject()
        .Key("blocks").Uint(v.Total())
        .Key("readable").Uint(counts[VERIFY_READABLE])
        .Key("corrupt").Uint(counts[VERIFY_CORRUPT])
        .Key("unreadable").Uint(counts[VERIFY_UNREADABLE])
        .Key("gaps").Uint(counts[VERIFY_GAP])
        .Key("sound").Bool(sound)
        .EndObject()
        .EndObject();
}

void WriteText(const DiscVerify& v, const std::vector<VerifyRange>& ranges,
               const std::vector<DamagedEntry>& damaged) {
    std::string text;
    for (const VerifyTrack& t : v.Tracks()) {
        text += "(Session" + std::to_string(t.session) + ") track " + std::to_string(t.number) + ", " +
                (t.audio ? "audio" : "data") + ", blocks " + grouped(t.start) + "-" +
                grouped(uint64_t{t.start} + t.blocks - (t.blocks ? 1 : 0)) + ": " + CheckText(t);
        if (t.blocks > t.recorded)
            text += "; its volume claims " + grouped(t.blocks - t.recorded) + " blocks past the track";
        text += "\n";
    }
    std::set<std::pair<int, std::string>> files, directories; // each counted once, however many ranges hit it
    for (const VerifyRange& r : ranges) {
        text += Blocks(r) + ": " + StateName(r.state) + ": " + r.reason + "\n";
        for (const VerifyHit& h : v.Hits(r)) {
            text += "  (Session" + std::to_string(h.session) + ") " + h.path + (h.type == 'F' ? "" : "/") + "\n";
            (h.type == 'F' ? files : directories).insert({h.session, h.path});
        }
    }
    for (const DamagedEntry& d : damaged)
        text += "(Session" + std::to_string(d.session) + ") " + d.path + (d.type == 'F' ? "" : "/") +
                " (unreadable: " + d.reason + ")\n";
    const std::vector<uint64_t> counts = v.Counts();
    text += Count(v.Total(), "block", "blocks") + " in " + Count(v.Tracks().size(), "track", "tracks") + ": " +
            grouped(counts[VERIFY_READABLE]) + " sound, " + grouped(counts[VERIFY_CORRUPT]) + " corrupt, " +
            grouped(counts[VERIFY_UNREADABLE]) + " unreadable";
    if (counts[VERIFY_GAP])
        text += ", " + grouped(counts[VERIFY_GAP]) + " in gaps before tracks that the image leaves out";
    if (!ranges.empty())
        text += "; " + Count(ranges.size(), "damaged range hits", "damaged ranges hit") + " " +
                Count(files.size(), "file", "files") + " and " +
                Count(directories.size(), "directory", "directories");
    if (!damaged.empty())
        text += "; " + Count(damaged.size(), "entry", "entries") + " of the file system could not be read";
    Cli_WriteStdout(text + "\n");
}

} // namespace

int Cmd_Verify(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION | CLI_MAP | CLI_NO_DASH, o))
        return rc;
    std::string drive;
    if (!Cli_SingleArg(o.args, drive))
        return Cli_Usage();
    EngineSession engine;
    if (engine.failed)
        return Cli_Fail(engine.failed, engine.result);
    int analysis = 1;
    const int device = CliDisc_Load(drive, &analysis);
    if (device < 0)
        return kExitFailure;
    if (analysis != 1) // the blocks are verified all the same, without the files they hold
        std::fprintf(stderr, "ckvd: the file systems could not be read (Code %04X): damage is not put to files\n",
                     static_cast<unsigned>(analysis));
    int sessions = 0;
    for (const SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr; s; s = s->next)
        ++sessions;
    if (o.session >= sessions) {
        std::fprintf(stderr, "ckvd: the disc has %d session(s)\n", sessions);
        return kExitFailure;
    }
    DiscVerify v;
    if (const int rc = v.Start(static_cast<uint16_t>(device), o.session); rc != 1)
        return Cli_Fail("The TOC could not be read.", rc);
    const bool progress = isatty(STDERR_FILENO);
    for (int step = 0; v.Step(); ++step)
        if (progress && step % 64 == 0)
            std::fprintf(stderr, "\rckvd: verifying: %3d %%",
                         static_cast<int>(v.Done() * 100 / std::max<uint64_t>(v.Total(), 1)));
    if (progress)
        std::fprintf(stderr, "\r%*s\r", 24, "");
    const std::vector<VerifyRange> ranges = v.Ranges();
    const std::vector<DamagedEntry> damaged = DamagedEntries(o.session);
    const bool sound = ranges.empty() && damaged.empty() && analysis == 1;
    if (o.json)
        WriteJson(v, ranges, damaged, sound);
    else
        WriteText(v, ranges, damaged);
    if (!o.map.empty()) {
        const VerifyMapLayout layout = Verify_MapLayout(v.Total());
        std::string error;
        if (!Verify_WritePng(o.map, Verify_MapPicture(Verify_MapCells(v, layout), layout), error)) {
            std::fprintf(stderr, "ckvd: the map was not written: %s\n", error.c_str());
            return Cli_FinishOutput(kExitFailure);
        }
    }
    return Cli_FinishOutput(sound ? 0 : kExitFailure);
}
