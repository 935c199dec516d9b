// ckvd check: the disc held against a CD player's profile: what will not play, what shows wrong, the order.
#include <cstdio>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"
#include "json_views.h"
#include "json_writer.h"
#include "playercheck/player_check.h"
#include "playercheck/player_text.h"

namespace {

void WriteJson(const PlayerProfile& profile, const PlayerCheck& c, bool order) {
    JsonWriter out(Cli_WriteStdout);
    out.BeginObject();
    out.Key("profile").String(profile.name);
    out.Key("session").Int(c.session);
    out.Key("folders").Uint(c.folders);
    out.Key("files").Uint(c.files);
    Json_PlayerFindings(out, c.findings);
    if (order) {
        out.Key("order").BeginArray();
        for (const PlayerTrack& t : c.order) {
            out.BeginObject();
            out.Key("folder").Int(t.folder);
            out.Key("track").Int(t.track);
            out.Key("path").String(t.path);
            out.Key("plays").Bool(t.plays);
            out.EndObject();
        }
        out.EndArray();
    }
    out.Key("will_not_play").Uint(c.Count(PlayerSeverity::WillNotPlay));
    out.Key("shows_wrong").Uint(c.Count(PlayerSeverity::ShowsWrong));
    out.Key("notes").Uint(c.Count(PlayerSeverity::Note));
    out.EndObject();
}

} // namespace

int Cmd_Check(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_CHECK | CLI_CSV, o))
        return rc;
    std::string drive;
    if (!Cli_SingleArg(o.args, drive) || (o.json && o.csv))
        return Cli_Usage();
    PlayerProfile profile;
    if (!Cli_PlayerProfile(o, profile))
        return kExitUsage;
    EngineSession engine;
    // The disc is read in the names its player reads, so the check walks no second tree.
    if (!CliDisc_Start(engine, drive, Player_ReadNames(profile)))
        return kExitFailure;
    const PlayerCheck c = Player_Check(Iso_CurrentDisc(), profile);
    if (o.json) {
        WriteJson(profile, c, o.order);
    } else if (o.csv) {
        Cli_WriteStdout(Player_FindingsCsv(c));
    } else {
        std::string text;
        for (const PlayerFinding& f : c.findings)
            text += Player_FindingLine(f) + "\n";
        if (o.order) {
            text += "Folder  Track  Path\n";
            for (const PlayerTrack& t : c.order) {
                char number[32];
                std::snprintf(number, sizeof number, "%6d  %5d  ", t.folder, t.track);
                text += number + t.path + (t.plays ? "\n" : "  (will not play)\n");
            }
        }
        Cli_WriteStdout(text + Player_Summary(profile, c) + "\n");
    }
    return Cli_FinishOutput(c.Count(PlayerSeverity::WillNotPlay) ? kExitFailure : 0);
}
