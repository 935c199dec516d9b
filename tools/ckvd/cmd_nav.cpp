// ckvd nav: what the viewer of a navigation file (.LMX) shows.
#include <cstdio>

#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "json_views.h"
#include "json_writer.h"
#include "listing/disc_text.h"
#include "navigation/nav_text.h"
#include "navigation/nav_viewer.h"

int Cmd_Nav(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION, o))
        return rc;
    const bool json = o.json;
    return CliDisc_Run(o, 2, 2, [json](const std::vector<std::string>& args, int session) {
        const DiscPath found = CliDisc_LookupFile(args[1], session);
        if (!found.entry)
            return kExitFailure;
        if (!Nav_IsNavigationFile(*found.entry)) {
            std::fprintf(stderr, "ckvd: %s is not a navigation file (.LMX)\n", args[1].c_str());
            return kExitFailure;
        }
        NavDocument document;
        std::string error;
        const int rc = Nav_ViewerDocument(*found.entry, document, error);
        if (rc != 1) // the message names a playlist in its Shift-JIS form
            return Cli_Fail(Report_SjisToUtf8(error.c_str()).c_str(), rc);
        if (json) {
            JsonWriter out(Cli_WriteStdout);
            Json_Nav(out, args[1], found.session, document);
        } else {
            Cli_WriteStdout(Nav_DocumentText(document, Report_ValueText));
        }
        return Cli_FinishOutput(0);
    });
}
