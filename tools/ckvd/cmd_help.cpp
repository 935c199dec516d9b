// ckvd help: the command table, every command's usage and the notes they share.
#include <algorithm>

#include "cli.h"
#include "commands.h"
#include "res/version.h"

namespace {

constexpr Command kCommands[] = {
    {"drives", "ckvd drives [--json] [--demo] [--image PATH]...",
     "the scanned CD-ROM devices (images put into image drives first) and their readiness"},
    {"toc", "ckvd toc [--json] DRIVE", "the sessions and tracks of the disc's TOC"},
    {"ls", "ckvd ls [--json] [--session N] DRIVE [PATH]", "the file tree of one session or of every session"},
    {"info", "ckvd info [--json] [--session N] DRIVE PATH...\nckvd info --file [--json] FILE...",
     "what Tag Information shows for each file (ID3 tags, MPEG frame, Windows Media, WAV, JPEG, CD audio "
     "track); with --file for files of the local file system"},
    {"get",
     "ckvd get [--session N] [--audio flac|wav] DRIVE PATH [DEST]\n"
     "ckvd get -r [--session N] [--audio flac|wav] DRIVE DIR DEST",
     "copies a file off the disc as Save to Disc does; -r a directory with all below it into DEST; an audio "
     "track as WAV, or FLAC (DEST ending in .flac, or --audio flac); a track not read whole is not kept and "
     "its unreadable sectors are named"},
    {"nav", "ckvd nav [--json] [--session N] DRIVE PATH",
     "what the viewer of a navigation file (.LMX) shows"},
    {"report", "ckvd report DRIVE [--number N] [--comment TEXT] -o FILE",
     "the CSV disc report, as Save DiscInfomation writes it"},
    {"check", "ckvd check [--json|--csv] [--order] [--profile NAME|FILE] DRIVE",
     "checks the disc against a CD player's profile (car-cd, iso9660-level1, iso9660-level2, a profile "
     "file): "
     "what will not play, what plays but shows wrong, and with --order the playback order; exit 0 when "
     "everything plays, 1 otherwise, 2 for a wrong usage or profile"},
    {"burn", "ckvd burn [--json] [--blank] [--multisession] [--speed N] IMAGE DRIVE",
     "burns the disc image onto the disc in DRIVE (a device path, or stdio:PATH for a file) through libburn "
     "in one session, blanking a rewritable disc first with --blank, leaving it open for another session (or "
     "adding one, from an image made for the block it starts at, as mkisofs -C makes it) with "
     "--multisession, "
     "at N times CD speed; then reads the session back and compares every block with the image; exit 0 when "
     "they are equal, 1 otherwise"},
    {"make",
     "ckvd make [--json] [--profile NAME|FILE] MUSIC_DIR OUT.iso\nckvd make --plan [--json] [--profile "
     "NAME|FILE] MUSIC_DIR",
     "makes a disc image of the music under MUSIC_DIR that the profile's player plays right: files read by "
     "their "
     "content, folders and tracks in natural order, the tree cut to what the player reads, names fitted and "
     "numbered, files it cannot play left out; prints the plan (--plan: only the plan), writes OUT.iso and "
     "checks it; exit 0 when everything on the image plays, 1 otherwise"},
    {"catalog",
     "ckvd catalog add DRIVE [--number N] [--comment TEXT] [--catalogue FILE]\n"
     "ckvd catalog search TEXT [--json] [--catalogue FILE]\n"
     "ckvd catalog list|show N|remove N [--json] [--catalogue FILE]\n"
     "ckvd catalog ls N [PATH] [--json] [--catalogue FILE]\n"
     "ckvd catalog export --csv|dupes [--json]|backup FILE [--catalogue FILE]\n"
     "ckvd catalog import REPORT.csv... [--catalogue FILE]\n"
     "ckvd catalog check|vacuum|copy --to CATALOGUE [--catalogue FILE]",
     "the disc catalogue ($XDG_DATA_HOME/ckvd-explorer/catalogue.sqlite): add the disc of DRIVE (a disc "
     "already "
     "there is updated), search paths and tag texts of every disc, list, show or remove discs, list a disc's "
     "tree as ls "
     "does without the disc, export every "
     "entry "
     "as CSV, list files found on several discs, copy the catalogue while it is in use, read disc reports "
     "into it, check it, give back the room of removed discs, copy every disc into another catalogue; a "
     "catalogue is a file or a PostgreSQL database a team shares (postgresql://[user@]host[:port]/dbname)"},
    {"verify", "ckvd verify [--json] [--session N] [--map FILE.png] DRIVE",
     "reads every block of every track and checks whole sectors (sync, header, EDC, ECC) where the image or "
     "drive gives them: the unreadable and corrupt ranges and the files they hit; exit 0 only when all is "
     "sound"},
    {"dump", "ckvd dump [--retry N] [--json] DRIVE OUT.iso|OUT.cue",
     "copies the disc into an image: OUT.iso the user data of one data session, OUT.cue whole sectors of "
     "every track in a .bin beside it; OUT.map keeps what was read, so a run again (from this or another "
     "drive) reads only what is missing, --retry N reads the unreadable blocks again N times; the sectors "
     "are verified and OUT.log holds the drive's errors and the CRC32, MD5 and SHA-1 of each track and file; "
     "exit 0 only when every block was read"},
};
constexpr const char* kUsageNotes =
    "DRIVE: a device path such as /dev/sr0, a disc image (.iso .cue .ccd .nrg .toc .mds .bin .img), demo or "
    "demo-audio\n"
    "PATH: an entry's path as ckvd ls prints it; without --session the last session holding it\n"
    "--json: one JSON document on stdout instead of the text\n"
    "Exit status: 0 done, 1 a failure (its message on stderr), 2 a wrong usage\n";

const Command* g_command = nullptr;

// Each line of `usage` (one per form) after `first` for the first line, `next` for the others.
void print_forms(FILE* to, const char* usage, const char* first, const char* next) {
    const std::string text = usage;
    for (size_t start = 0, i = 0; start <= text.size(); ++i) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::fprintf(to, "%s%s\n", i == 0 ? first : next, text.substr(start, end - start).c_str());
        start = end + 1;
    }
}

} // namespace

const Command* Cli_FindCommand(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

void Cli_PrintUsage(FILE* to, const Command* command) {
    if (command) {
        print_forms(to, command->usage, "usage: ", "       ");
        std::fprintf(to, "%s\n%s", command->summary, kUsageNotes);
        return;
    }
    std::fprintf(to, "usage: ckvd COMMAND [ARGS]   (ckvd COMMAND --help for one command)\n");
    for (const Command& c : kCommands) {
        print_forms(to, c.usage, "  ", "  ");
        std::fprintf(to, "      %s\n", c.summary);
    }
    std::fputs(kUsageNotes, to);
}

void Cli_SetCommand(const Command* command) {
    g_command = command;
}

int Cli_Usage() {
    Cli_PrintUsage(stderr, g_command);
    return kExitUsage;
}

int Cli_UsageError(const std::string& what) {
    if (g_command)
        std::fprintf(stderr, "ckvd: %s: %s (ckvd %s --help shows its usage)\n", g_command->name, what.c_str(),
                     g_command->name);
    else
        std::fprintf(stderr, "ckvd: %s (ckvd --help lists the commands)\n", what.c_str());
    return kExitUsage;
}

int Cli_UnknownCommand(const std::string& word) {
    g_command = nullptr;
    return Cli_UsageError("unknown command '" + word + "'");
}

int Cli_Version() {
    std::printf("ckvd (CKVD Explorer) %s\n", CKVD_VERSION);
    return Cli_FinishOutput(0);
}

int Cmd_Help(int argc, char** argv) {
    const Command* command = argc > 0 ? Cli_FindCommand(argv[0]) : nullptr;
    if (argc > 0 && !command)
        return Cli_UnknownCommand(argv[0]);
    Cli_PrintUsage(stdout, command);
    return Cli_FinishOutput(0);
}
