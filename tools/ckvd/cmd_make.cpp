// ckvd make: a music folder made into a disc image for a player: the plan (playback order, every change to
// a name, every file left out and why), the image written by libisofs, then the Player Check of that image.
#include <cstdio>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "discmaker/make_image.h"
#include "discmaker/make_plan.h"
#include "iso9660/iso9660.h"
#include "json_views.h"
#include "json_writer.h"
#include "playercheck/player_text.h"

namespace {

void Changes(JsonWriter& out, const std::vector<std::string>& changes) {
    out.Key("changes").BeginArray();
    for (const std::string& c : changes)
        out.String(c);
    out.EndArray();
}

void PlanJson(JsonWriter& out, const PlayerProfile& profile, const MakePlan& plan) {
    out.Key("profile").String(profile.name).Key("volume").String(plan.volume);
    out.Key("tracks").Uint(plan.Tracks()).Key("bytes").Uint(plan.Bytes());
    out.Key("folders").BeginArray();
    for (const MakeFolder& f : plan.folders) {
        out.BeginObject().Key("number").Int(f.number).Key("path").String(f.path.empty() ? "/" : f.path);
        out.Key("source").String(f.source);
        Changes(out, f.changes);
        out.Key("files").BeginArray();
        for (const MakeFile& x : f.files) {
            out.BeginObject().Key("folder").Int(x.folder).Key("track").Int(x.track);
            out.Key("path")
                .String(f.path + "/" + x.name)
                .Key("source")
                .String(x.source)
                .Key("size")
                .Uint(x.size);
            out.Key("content").String(Player_ContentExtension(x.content));
            Changes(out, x.changes);
            Json_PlayerFindings(out, x.findings);
            out.EndObject();
        }
        out.EndArray().EndObject();
    }
    out.EndArray().Key("left_out").BeginArray();
    for (const MakeLeftOut& l : plan.leftOut)
        out.BeginObject()
            .Key("source")
            .String(l.source)
            .Key("rule")
            .String(l.rule)
            .Key("why")
            .String(l.why)
            .EndObject();
    out.EndArray().Key("navigation").BeginArray();
    for (const std::string& name : plan.navigation)
        out.String("/" + name);
    out.EndArray();
}

// The plan as text: the playback order as `ckvd check --order` prints it, then the changes beyond the
// numbering, the files left out and a summary.
std::string PlanText(const PlayerProfile& profile, const MakePlan& plan) {
    std::string text = "Folder  Track  Path\n", notes;
    auto changed = [&notes](const std::string& path, const std::string& source,
                            const std::vector<std::string>& cs) {
        std::string words;
        for (const std::string& c : cs)
            if (c.rfind("numbered ", 0) != 0)
                words += (words.empty() ? "" : "; ") + c;
        if (!words.empty())
            notes += "changed: " + path + " (" + source + "): " + words + "\n";
    };
    for (const MakeFolder& f : plan.folders) {
        changed(f.path.empty() ? "/" : f.path, f.source, f.changes);
        for (const MakeFile& x : f.files) {
            char number[32];
            std::snprintf(number, sizeof number, "%6d  %5d  ", x.folder, x.track);
            text += number + f.path + "/" + x.name + "\n";
            changed(f.path + "/" + x.name, x.source, x.changes);
            for (const PlayerFinding& finding : x.findings)
                notes += Player_FindingLine(finding) + "\n";
        }
    }
    for (const MakeLeftOut& l : plan.leftOut)
        notes += "left out: " + l.source + ": " + l.why + " [" + l.rule + "]\n";
    if (plan.navigation.size() > 4) // the four tables and the playlists between TEXT.LMX and LSN.LMX
        notes += "navigation: " + plan.navigation[0] + ", " + plan.navigation[1] + ", " + plan.navigation[2] +
                 ", " + plan.navigation.back() + " and " + std::to_string(plan.navigation.size() - 4) +
                 " playlists (" + plan.navigation[3] + "...) written into the root [navigation]\n";
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "%s: %s, %zu folders, %zu tracks, %llu bytes; %zu files left out%s\n", profile.name.c_str(),
                  plan.volume.c_str(), plan.folders.size(), plan.Tracks(),
                  static_cast<unsigned long long>(plan.Bytes()), plan.leftOut.size(),
                  profile.numberPrefix ? "; names numbered in playback order" : "");
    return text + notes + summary;
}

// The Player Check of the image written: its findings and summary; whether nothing will not play.
bool CheckImage(const std::string& image, const PlayerProfile& profile, JsonWriter* json, std::string& text) {
    EngineSession engine;
    if (!CliDisc_Start(engine, image, Player_ReadNames(profile)))
        return false;
    const PlayerCheck c = Player_Check(Iso_CurrentDisc(), profile);
    if (json) {
        json->Key("check").BeginObject();
        Json_PlayerFindings(*json, c.findings);
        json->Key("will_not_play").Uint(c.Count(PlayerSeverity::WillNotPlay));
        json->Key("shows_wrong").Uint(c.Count(PlayerSeverity::ShowsWrong)).EndObject();
    }
    for (const PlayerFinding& f : c.findings)
        text += Player_FindingLine(f) + "\n";
    text += Player_Summary(profile, c) + "\n";
    return c.Count(PlayerSeverity::WillNotPlay) == 0;
}

} // namespace

int Cmd_Make(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_CHECK | CLI_PLAN, o))
        return rc;
    if (o.order || o.args.size() != (o.plan ? 1u : 2u) || o.args[0].empty() || (!o.plan && o.args[1].empty()))
        return Cli_Usage();
    PlayerProfile profile;
    if (!Cli_PlayerProfile(o, profile))
        return kExitUsage;
    std::string error;
    MakePlan plan;
    if (!Make_Plan(o.args[0], profile, plan, error)) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return kExitFailure;
    }
    JsonWriter out(Cli_WriteStdout);
    if (o.json)
        out.BeginObject();
    std::string text = o.json ? "" : PlanText(profile, plan);
    if (o.json)
        PlanJson(out, profile, plan);
    bool plays = true;
    if (!o.plan) {
        const std::string& image = o.args[1];
        std::vector<std::string> warnings;
        const bool written = Make_WriteImage(plan, profile, image, error, warnings);
        for (const std::string& w : warnings)
            std::fprintf(stderr, "ckvd: %s\n", w.c_str());
        if (!written) {
            if (o.json)
                out.EndObject(), out.Flush();
            Cli_WriteStdout(text);
            std::fprintf(stderr, "ckvd: %s\n", error.c_str());
            return Cli_FinishOutput(kExitFailure);
        }
        if (o.json)
            out.Key("image").String(image);
        std::string checked;
        plays = CheckImage(image, profile, o.json ? &out : nullptr, checked);
        text += "wrote " + image + "\n" + checked;
    }
    if (o.json) {
        out.EndObject();
        out.Flush();
    } else {
        Cli_WriteStdout(text);
    }
    return Cli_FinishOutput(plays ? 0 : kExitFailure);
}
