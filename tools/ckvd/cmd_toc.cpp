// ckvd toc: the sessions and tracks of the disc's TOC.
#include <cstdio>

#include "appmodel/app_modules.h"
#include "appmodel/disc_analysis.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "json_views.h"
#include "json_writer.h"
#include "listing/disc_text.h"

int Cmd_Toc(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON, o))
        return rc;
    if (o.args.size() != 1)
        return Cli_Usage();
    EngineSession engine;
    if (engine.failed)
        return Cli_Fail(engine.failed, engine.result);
    int analysis = 1;
    const int device = CliDisc_Load(o.args[0], &analysis);
    if (device < 0)
        return kExitFailure;
    // The TOC was read: it is shown even when no file system of the disc could be (a UDF-only disc). Its text
    // is made whole first: reads that meet a medium change read the disc again, once, if it is the same one.
    std::string text;
    for (;;) {
        text.clear();
        if (o.json) {
            JsonWriter out([&text](std::string_view part) { text += part; });
            Json_Toc(out);
        } else {
            text = Report_TocText();
        }
        if (!CliDisc_Changed())
            break;
        if (!CliDisc_ReadAgain(&analysis))
            return kExitFailure;
    }
    Cli_WriteStdout(text);
    if (Cli_FinishOutput(0) != 0)
        return kExitFailure;
    if (analysis != 1) {
        Cli_Fail("ISO9660 FileSystem Analyze Error", analysis);
        if (const std::string reason = App_LoadFailureReason(static_cast<uint16_t>(device), analysis);
            !reason.empty())
            std::fprintf(stderr, "ckvd: %s\n", reason.c_str());
        return kExitFailure;
    }
    return 0;
}
