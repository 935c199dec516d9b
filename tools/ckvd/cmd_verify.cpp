// ckvd verify: every block of the disc read and checked, the damage and the files it hits.
#include <unistd.h>

#include <cstdio>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"
#include "json_writer.h"
#include "verify/disc_verify.h"
#include "verify/verify_map.h"
#include "verify/verify_text.h"

namespace {

const char* CheckName(const VerifyTrack& t) {
    switch (t.check) {
    case VerifyCheck::Sectors:
        return "sectors";
    case VerifyCheck::UserData:
        return "user data";
    case VerifyCheck::Audio:
        return "audio";
    case VerifyCheck::NoErrorCodes:
        return "no EDC/ECC";
    default:
        return "none";
    }
}

void WriteJson(const DiscVerify& v, const std::vector<VerifyRange>& ranges,
               const std::vector<VerifyDamagedEntry>& damaged, bool sound) {
    JsonWriter out(Cli_WriteStdout);
    const auto entry = [&out](int session, const std::string& path, char type) {
        out.Key("session").Int(session);
        out.Key("path").String(path);
        out.Key("type").String(type == 'F' ? "file" : "directory");
    };
    out.BeginObject().Key("tracks").BeginArray();
    for (const VerifyTrack& t : v.Tracks()) {
        out.BeginObject();
        out.Key("session").Int(t.session);
        out.Key("track").Int(t.number);
        out.Key("type").String(t.audio ? "audio" : "data");
        out.Key("start").Uint(t.start);
        out.Key("recorded").Uint(t.recorded);
        out.Key("blocks").Uint(t.blocks);
        out.Key("check").String(CheckName(t));
        out.EndObject();
    }
    out.EndArray().Key("ranges").BeginArray();
    for (const VerifyRange& r : ranges) {
        out.BeginObject();
        out.Key("first").Uint(r.first);
        out.Key("last").Uint(uint64_t{r.first} + r.count - 1);
        out.Key("blocks").Uint(r.count);
        out.Key("state").String(Verify_StateName(r.state));
        out.Key("reason").String(r.reason);
        out.Key("hits").BeginArray();
        for (const VerifyHit& h : v.Hits(r)) {
            out.BeginObject();
            entry(h.session, h.path, h.type);
            out.EndObject();
        }
        out.EndArray().EndObject();
    }
    out.EndArray().Key("unreadable_entries").BeginArray();
    for (const VerifyDamagedEntry& d : damaged) {
        out.BeginObject();
        entry(d.session, d.path, d.type);
        out.Key("reason").String(d.reason);
        out.EndObject();
    }
    const std::vector<uint64_t> counts = v.Counts();
    out.EndArray().Key("summary").BeginObject();
    out.Key("blocks").Uint(v.Total());
    out.Key("readable").Uint(counts[VERIFY_READABLE]);
    out.Key("corrupt").Uint(counts[VERIFY_CORRUPT]);
    out.Key("unreadable").Uint(counts[VERIFY_UNREADABLE]);
    out.Key("gaps").Uint(counts[VERIFY_GAP]);
    if (counts[VERIFY_NO_EDC]) // blocks whose drive gave no EDC/ECC: read, headers checked
        out.Key("no_edc_ecc").Uint(counts[VERIFY_NO_EDC]);
    out.Key("sound").Bool(sound);
    out.EndObject().EndObject();
}

void WriteText(const DiscVerify& v, const std::vector<VerifyRange>& ranges,
               const std::vector<VerifyDamagedEntry>& damaged) {
    std::string text;
    for (const VerifyTrack& t : v.Tracks())
        text += Verify_TrackLine(t) + "\n";
    for (const VerifyRange& r : ranges) {
        text += Verify_RangeLine(r) + "\n";
        for (const VerifyHit& h : v.Hits(r))
            text += "  " + Verify_HitName(h.session, h.path, h.type) + "\n";
    }
    for (const VerifyDamagedEntry& d : damaged)
        text += Verify_HitName(d.session, d.path, d.type) + " (unreadable: " + d.reason + ")\n";
    Cli_WriteStdout(text + Verify_Summary(v, ranges, damaged) + "\n");
}

// Every step of the verify, its progress on a terminal.
void Steps(DiscVerify& v) {
    const bool progress = isatty(STDERR_FILENO);
    for (int step = 0; v.Step(); ++step)
        if (progress && step % 64 == 0)
            std::fprintf(stderr, "\rckvd: verifying: %3d %%",
                         static_cast<int>(v.Done() * 100 / std::max<uint64_t>(v.Total(), 1)));
    if (progress)
        std::fprintf(stderr, "\r%*s\r", 24, "");
}

} // namespace

int Cmd_Verify(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION | CLI_MAP, o))
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
        std::fprintf(stderr,
                     "ckvd: the file systems could not be read (Code %04X): damage is not put to files\n",
                     static_cast<unsigned>(analysis));
    int sessions = 0;
    for (const SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr; s; s = s->next)
        ++sessions;
    if (o.session >= sessions) {
        std::fprintf(stderr, "ckvd: the disc has %d session(s)\n", sessions);
        return kExitFailure;
    }
    DiscVerify v;
    // A medium change met by the reads: the disc is read again and verified again, once, if it is the same.
    for (;;) {
        const int rc = v.Start(Iso_CurrentDisc(), static_cast<uint16_t>(device), o.session);
        if (rc == 1)
            Steps(v);
        if (!CliDisc_Changed()) {
            if (rc != 1)
                return Cli_Fail("The TOC could not be read.", rc);
            break;
        }
        if (!CliDisc_ReadAgain(&analysis))
            return kExitFailure;
    }
    const std::vector<VerifyRange> ranges = v.Ranges();
    const std::vector<VerifyDamagedEntry> damaged = Verify_DamagedEntries(Iso_CurrentDisc(), o.session);
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
