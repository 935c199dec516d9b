// ckvd report: the CSV disc report, as Save DiscInfomation writes it. The management number is --number's,
// or the desktop program's next one, which then advances as after a report written from the window; a
// report that was not written uses up no number.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>

#include "appmodel/app_modules.h"
#include "appmodel/catalogue_add.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "listing/disc_text.h"
#include "report/disc_report.h"
#include "report/report_number.h"

namespace {

// The comment in Shift-JIS; the characters it has no code for are named on stderr with what was written.
std::string comment_sjis(const std::string& comment) {
    std::vector<SjisReplacement> replaced;
    std::string sjis = Report_Utf8ToSjis(comment, &replaced);
    if (!replaced.empty()) {
        std::string warning = "ckvd: comment:";
        for (size_t i = 0; i < replaced.size(); ++i)
            warning += (i ? ", \"" : " \"") + replaced[i].original + (i ? "\" as \"" : "\" written as \"") +
                       replaced[i].written + "\"";
        std::fprintf(stderr, "%s\n", warning.c_str());
    }
    return sjis;
}

// Writes the report with the header's number; REPORT_OK or the failure with its text in `error`.
int save_report(const std::string& output, DiscReportHeader& header, std::string& error, ReportLoss& loss) {
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &header.time);
    const bool terminal = ::isatty(STDERR_FILENO);
    const int rc = Report_SaveDiscCsv(
        output, header,
        [&](int tree, uint32_t done, uint32_t total) {
            // Every 256th file is enough for the eye, and keeps a 50,000-file disc from printing 50,000
            // lines.
            if (terminal && (done % 256 == 0 || done == total))
                std::fprintf(stderr, "\r%s: session tree %d, %u of %u files", output.c_str(), tree, done,
                             total);
        },
        &error, &loss);
    if (terminal)
        std::fputc('\n', stderr);
    return rc;
}

} // namespace

int Cmd_Report(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_REPORT | CLI_CATALOGUE, o))
        return rc;
    std::string drive;
    if (!Cli_SingleArg(o.args, drive) || o.output.empty())
        return Cli_Usage();
    EngineSession engine;
    if (!CliDisc_Start(engine, drive))
        return kExitFailure;
    // The number is taken before the report is made (it is in the report's first line) and given back when
    // no report came of it, so two reports running at once never share one.
    const std::string profile = Report_ProfilePath();
    std::string error;
    int number = o.number, stored = 0;
    if (!o.haveNumber && !Report_TakeNumber(profile, 0, true, &number, &stored, &error)) {
        std::fprintf(stderr, "ckvd: Sorry, Cannot Write the DiscInformation... %s: %s\n", o.output.c_str(),
                     error.c_str());
        return kExitFailure;
    }
    DiscReportHeader header;
    header.number = number;
    header.comment = comment_sjis(o.comment);
    ReportLoss loss;
    if (save_report(o.output, header, error, loss) != REPORT_OK) {
        if (!o.haveNumber)
            Report_ReturnNumber(profile, number, stored);
        std::fprintf(stderr, "ckvd: %s: %s\n", o.output.c_str(), error.c_str());
        return kExitFailure;
    }
    if (const std::string warning = Report_LossWarning(loss); !warning.empty())
        std::fprintf(stderr, "ckvd: %s\n", warning.c_str());
    // The report's disc goes into the catalogue under its number; the report stands whatever becomes of that.
    std::string message;
    if (!App_AddToCatalogue(number, o.comment, o.catalogue, message))
        std::fprintf(stderr, "ckvd: the catalogue was not updated: %s\n", message.c_str());
    return 0;
}
