// ckvd ls: the file tree of one session or of every session, whole or below a folder.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "appmodel/app_modules.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"
#include "json_views.h"
#include "json_writer.h"
#include "listing/disc_text.h"

int Cmd_Ls(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION, o))
        return rc;
    // PATH as the listing prints it, from the root: a second word without its "/" is no path.
    if (o.args.empty() || o.args.size() > 2 || (o.args.size() == 2 && o.args[1].rfind('/', 0) != 0))
        return Cli_Usage();
    EngineSession engine;
    if (!CliDisc_Start(engine, o.args[0]))
        return kExitFailure;
    return Ls_Listing(o, o.args.size() == 2 ? o.args[1] : "/");
}

int Ls_Listing(const CliOptions& o, const std::string& folder) {
    int count = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        ++count;
    if (o.session >= count) {
        std::fprintf(stderr, "ckvd: the disc has %d session(s)\n", count);
        return kExitFailure;
    }
    int index = 0;
    std::vector<bool> damaged(static_cast<size_t>(count)); // sessions whose notes count unreadable entries
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index)
        if (o.session < 0 || o.session == index)
            for (const IsoTreeNote& note : Iso_TreeNotes(t)) {
                damaged[static_cast<size_t>(index)] =
                    damaged[static_cast<size_t>(index)] || note.unreadable > 0;
                if (note.unreadable == 0) // said below, with the counts of each kind
                    std::fprintf(stderr, "ckvd: (Session%d) %s\n", index + 1, note.text.c_str());
            }
    if (!Report_HoldsFolder(folder, o.session)) {
        const DiscPath found = Report_FindPath(folder, o.session);
        std::fprintf(stderr,
                     found.entry ? "ckvd: %s is not a directory\n" : "ckvd: no entry %s on the disc\n",
                     folder.c_str());
        return kExitFailure;
    }
    // Written as it is made: a disc of many files is never held as one text.
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        Json_Tree(out, o.session, folder);
    } else {
        Report_WriteFolderText(folder, o.session, Cli_WriteStdout);
    }
    // What could not be read is listed, marked; a line per damaged session says how much was read.
    index = 0;
    for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index) {
        if (!damaged[static_cast<size_t>(index)])
            continue;
        size_t dirs = 1, files = 0, badDirs = (t->root && (t->root->flags & ISO_UNREADABLE)) ? 1 : 0,
               badFiles = 0;
        Report_WalkTree(t->root, [&](FileEntry& e, const std::string&, size_t) {
            const bool bad = e.flags & ISO_UNREADABLE;
            (e.type == 'F' ? files : dirs) += 1;
            (e.type == 'F' ? badFiles : badDirs) += bad ? 1 : 0;
        });
        std::fprintf(stderr,
                     "ckvd: (Session%d) %zu of %zu directories and %zu of %zu files could not be read; "
                     "the rest is listed\n",
                     index + 1, badDirs, dirs, badFiles, files);
    }
    const bool anyDamaged = std::find(damaged.begin(), damaged.end(), true) != damaged.end();
    return Cli_FinishOutput(anyDamaged ? kExitFailure : 0);
}
