// ckvd info: what Tag Information shows for each file.
#include <cstdint>
#include <cstdio>

#include "analyzers/tag_chain.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "cmd_info_file.h"
#include "commands.h"
#include "json_views.h"
#include "json_writer.h"
#include "listing/disc_text.h"

namespace {

// The path of the directory `path` lies in, as `ckvd ls` prints paths ("/" for a session's root).
std::string directory_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// One file's block; false when the file is not there or no analyzer takes it.
bool show_file(JsonWriter& out, bool json, const std::string& path, int session) {
    const DiscPath found = CliDisc_LookupFile(path, session);
    TagFindings findings;
    const TagAnalyzer analyzer = found.entry ? Tag_Examine(found.entry, findings) : TagAnalyzer::None;
    if (found.entry && analyzer == TagAnalyzer::None)
        std::fprintf(stderr, "ckvd: %s: This format isn't being supported.\n", path.c_str());
    if (analyzer == TagAnalyzer::None) {
        if (json)
            out.BeginObject()
                .Key("path")
                .String(path)
                .Key("error")
                .String(found.entry ? "This format isn't being supported."
                                    : "no file of that path on the disc")
                .EndObject();
        return false;
    }
    if (json)
        Json_Info(out, path, found.session, directory_of(path), *found.entry, analyzer,
                  Tag_FindingLines(findings, *found.entry, 0));
    else
        Cli_WriteStdout(Tag_LinesText(Tag_FindingLines(findings, *found.entry, 0), Report_ValueText));
    return true;
}

} // namespace

int Cmd_Info(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION | CLI_FILE, o))
        return rc;
    if (o.file)
        return Cmd_InfoFiles(o);
    const bool json = o.json;
    return CliDisc_Run(o, 2, SIZE_MAX, [json](const std::vector<std::string>& args, int session) {
        // Several files: each block is introduced by its path and set off by a blank line.
        const bool several = args.size() > 2;
        int status = 0;
        JsonWriter out(Cli_WriteStdout);
        if (json)
            out.BeginObject().Key("files").BeginArray();
        for (size_t i = 1; i < args.size(); ++i) {
            if (several && !json)
                std::printf("%sPath: %s\n", i > 1 ? "\n" : "", args[i].c_str());
            std::fflush(stdout); // a message about this file comes after its path
            if (!show_file(out, json, args[i], session))
                status = kExitFailure;
        }
        if (json)
            out.EndArray().EndObject();
        out.Flush();
        return Cli_FinishOutput(status);
    });
}
