// ckvd ls: the file tree of one session or of every session.
#include <cstdio>

#include "appmodel/app_modules.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"
#include "json_views.h"
#include "json_writer.h"
#include "report/disc_text.h"

int Cmd_Ls(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_JSON | CLI_SESSION, o))
        return rc;
    std::string drive;
    if (!Cli_SingleArg(o.args, drive))
        return Cli_Usage();
    EngineSession engine;
    if (!CliDisc_Start(engine, drive))
        return kExitFailure;
    int count = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        ++count;
    if (o.session >= count) {
        std::fprintf(stderr, "ckvd: the disc has %d session(s)\n", count);
        return kExitFailure;
    }
    int index = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index)
        if (o.session < 0 || o.session == index)
            for (const IsoTreeNote& note : Iso_TreeNotes(t))
                if (note.unreadable == 0) // said below, with the counts of each kind
                    std::fprintf(stderr, "ckvd: (Session%d) %s\n", index + 1, note.text.c_str());
    // Written as it is made: a disc of many files is never held as one text.
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        Json_Tree(out, o.session);
    } else {
        Report_WriteTreeText(o.session, Cli_WriteStdout);
    }
    // What could not be read is listed, marked; a line per damaged session says how much was read.
    bool damaged = false;
    index = 0;
    for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index) {
        if (o.session >= 0 && o.session != index)
            continue;
        size_t dirs = 1, files = 0, badDirs = (t->root && (t->root->flags & ISO_UNREADABLE)) ? 1 : 0,
               badFiles = 0;
        Report_WalkTree(t->root, [&](FileEntry& e, const std::string&, size_t) {
            const bool bad = e.flags & ISO_UNREADABLE;
            (e.type == 'F' ? files : dirs) += 1;
            (e.type == 'F' ? badFiles : badDirs) += bad ? 1 : 0;
        });
        if (badDirs + badFiles == 0)
            continue;
        damaged = true;
        std::fprintf(stderr,
                     "ckvd: (Session%d) %zu of %zu directories and %zu of %zu files could not be read; "
                     "the rest is listed\n",
                     index + 1, badDirs, dirs, badFiles, files);
    }
    return Cli_FinishOutput(damaged ? kExitFailure : 0);
}
