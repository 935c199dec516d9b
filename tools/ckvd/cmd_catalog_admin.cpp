// ckvd catalog check (the catalogue's own checks and every block read back: "ok" or a problem a line),
// vacuum (the room of removed discs given back) and copy --to CATALOGUE (every disc into another catalogue,
// which is made when missing, such as a file moved to a team's server).
#include "cmd_catalog_admin.h"

#include <cstdio>

#include "appmodel/catalogue_add.h"
#include "catalogue/catalogue.h"
#include "cli.h"

namespace {

int Failed(const std::string& error) {
    std::fprintf(stderr, "ckvd: %s\n", error.c_str());
    return kExitFailure;
}

int Check(Catalogue& cat) {
    std::vector<std::string> problems, notes;
    std::string error;
    if (!cat.Check(problems, error, &notes))
        return Failed(error);
    for (const std::string& note : notes)
        std::fprintf(stderr, "ckvd: %s\n", note.c_str());
    std::string text = problems.empty() ? "ok\n" : "";
    for (const std::string& p : problems)
        text += p + "\n";
    Cli_WriteStdout(text);
    return Cli_FinishOutput(problems.empty() ? 0 : kExitFailure);
}

int Copy(Catalogue& from, const std::string& to) {
    Catalogue target;
    std::string error;
    if (!target.Open(to, true, error))
        return Failed(error);
    const bool ok = from.CopyTo(
        target,
        [](const CatalogueDisc& d) {
            Cli_WriteStdout("copied disc " + std::to_string(d.number) + " (" + d.volume + ", " +
                            std::to_string(d.entries) + " entries)\n");
        },
        error,
        [](int number, const std::string& why) {
            std::fprintf(stderr, "ckvd: disc %d: %s\n", number, why.c_str());
        });
    if (!ok)
        Failed(error);
    return Cli_FinishOutput(ok ? 0 : kExitFailure);
}

} // namespace

bool Cmd_IsCatalogAdmin(const std::string& what) {
    return what == "check" || what == "vacuum" || what == "copy";
}

int Cmd_CatalogAdmin(const CliOptions& o) {
    const std::string& what = o.args[0];
    if (o.args.size() != 1 || (what == "copy") != !o.to.empty())
        return Cli_Usage();
    Catalogue cat;
    std::string error;
    if (!cat.Open(o.catalogue.empty() ? App_CataloguePath() : o.catalogue, false, error))
        return Failed(error);
    if (what == "check")
        return Check(cat);
    if (what == "vacuum")
        return cat.Vacuum(error) ? Cli_FinishOutput(0) : Failed(error);
    return Copy(cat, o.to);
}
