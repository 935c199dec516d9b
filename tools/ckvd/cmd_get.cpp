// ckvd get: copies a file off the disc as Save to Disc does; get -r a directory with all below it.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "appmodel/save_to_disc.h"
#include "appmodel/tree_copy.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "commands.h"
#include "iso9660/iso9660.h"

namespace {

// Why a copy stopped; what was read before a failed read stays in the file: says where it stopped (and, for
// a compressed file whose data is damaged, the file and what is wrong).
int report_outcome(const SaveOutcome& o, const std::string& dest, const std::string& path) {
    if (o.result == SaveResult::Ok)
        return 0;
    const std::string why = o.why.empty() ? "" : ": " + path + ": " + o.why;
    if (o.result == SaveResult::ReadError)
        std::fprintf(stderr, "ckvd: %s at block %u Code %04X%s (%llu bytes kept in %s)\n",
                     SaveToDisc_Message(o.result), o.failedLba, static_cast<unsigned>(o.code), why.c_str(),
                     static_cast<unsigned long long>(o.written), dest.c_str());
    else
        std::fprintf(stderr, "ckvd: %s %s\n", SaveToDisc_Message(o.result), dest.c_str());
    return kExitFailure;
}

// ckvd get's copy of the file to DEST (args[2]) or to its name here; an audio track as DEST's extension
// says (.flac: FLAC), or as --audio (`asked`) says for a DEST that is a directory or not given.
int copy_file(const DiscPath& found, const std::vector<std::string>& args, const std::string& asked) {
    AudioFormat audio = asked == "flac" ? AudioFormat::Flac : AudioFormat::Wav;
    const Disc& disc = Iso_CurrentDisc();
    // An audio track is written as a WAV or FLAC file: Track02.cda becomes Track02.wav or Track02.flac.
    const std::string name = SaveToDisc_LocalName(disc, *found.entry, audio);
    // A link has no data: an empty file in its place would say the copy worked.
    if (const char* target = Iso_SymlinkTarget(found.entry)) {
        std::fprintf(stderr, "ckvd: %s is a symbolic link to %s: no data to copy (get -r makes it a link)\n",
                     args[1].c_str(), target);
        return kExitFailure;
    }
    std::string dest = args.size() == 3 ? args[2] : name;
    if (args.size() == 3 && std::filesystem::is_directory(dest))
        dest += "/" + name;
    else if (args.size() == 3 && SaveToDisc_IsAudioTrack(disc, *found.entry)) {
        if (!asked.empty() && SaveToDisc_FormatOf(dest) != audio)
            return Cli_UsageError("--audio " + asked + " and " + dest +
                                  " disagree: DEST's extension (.flac or "
                                  "another) picks the format");
        audio = SaveToDisc_FormatOf(dest);
    }
    if (Iso_SelectSession() != 1)
        return Cli_Fail("Sorry, Disc Read Error...", ISO_ERR_NO_MODEL);
    std::string why;
    std::unique_ptr<SaveWriter> out = SaveToDisc_OpenFile(dest, &why);
    if (!out) {
        std::fprintf(stderr, "ckvd: Sorry, Cannot Create the File... %s: %s\n", dest.c_str(), why.c_str());
        return kExitFailure;
    }
    const bool terminal = ::isatty(STDERR_FILENO);
    const uint64_t size = SaveToDisc_LocalSize(disc, *found.entry);
    const SaveSource from = SaveToDisc_CurrentSource();
    std::vector<uint8_t> buffer = SaveToDisc_Buffer(from);
    if (buffer.empty())
        return Cli_Fail(IDS_SAVE_NO_MEMORY, ISO_ERR_NO_MODEL);
    // A damaged disc: every block before the first unreadable one is kept, and that block is named.
    SaveHooks hooks;
    hooks.salvage = true;
    hooks.audio = audio;
    hooks.tags = SaveToDisc_TrackTags(disc, *found.entry);
    hooks.progress = [&](uint64_t written) {
        if (terminal)
            std::fprintf(stderr, "\r%s: %llu of %llu bytes", dest.c_str(),
                         static_cast<unsigned long long>(written), static_cast<unsigned long long>(size));
    };
    const SaveOutcome o = SaveToDisc_Save(from, *found.entry, *out, buffer, hooks);
    out.reset();
    if (terminal && size > 0)
        std::fputc('\n', stderr);
    // A track that could not be read whole is not kept: it would play as if it were.
    if (o.result == SaveResult::ReadError && SaveToDisc_IsAudioTrack(disc, *found.entry)) {
        const bool removed = std::remove(dest.c_str()) == 0;
        std::fprintf(stderr, "ckvd: %s %s%s\n", SaveToDisc_Message(o.result),
                     SaveToDisc_UnreadableText(disc, *found.entry, o).c_str(),
                     removed ? ("; the incomplete " + dest + " was removed").c_str() : "");
        return kExitFailure;
    }
    return report_outcome(o, dest, args[1]);
}

// The entries and all below them into DEST, with one line on a terminal counting the files and bytes; each
// message on a line of its own, the count going on below it.
int copy_entries(const std::vector<const FileEntry*>& entries, const std::string& dest, AudioFormat audio) {
    const bool terminal = ::isatty(STDERR_FILENO);
    const SaveSource from = SaveToDisc_CurrentSource();
    const TreeCopyTotals total = TreeCopy_Count(from.disc, entries);
    bool shown = false;
    TreeCopyHooks hooks;
    hooks.audio = audio;
    hooks.note = [&](const std::string& line) {
        if (shown)
            std::fputc('\n', stderr);
        std::fprintf(stderr, "ckvd: %s\n", line.c_str());
    };
    if (terminal)
        hooks.progress = [&](const TreeCopyTotals& done) {
            shown = true;
            std::fprintf(stderr, "\r%s: %u of %u files, %llu of %llu bytes", dest.c_str(), done.files,
                         total.files, static_cast<unsigned long long>(done.bytes),
                         static_cast<unsigned long long>(total.bytes));
        };
    const TreeCopyResult r = TreeCopy_Entries(from, entries, dest, hooks);
    if (shown)
        std::fputc('\n', stderr);
    return r.whole ? 0 : kExitFailure;
}

// A word as the shell takes it back: in single quotes unless it is plain.
std::string shell_word(const std::string& word) {
    if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                "0123456789/._-+:,=@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// get -r: the directory args[1] with everything below it into DEST (args[2]).
int copy_tree(const std::vector<std::string>& args, int session, AudioFormat audio) {
    const DiscPath found = Report_FindPath(args[1], session);
    if (found.entry && found.entry->type == 'F') {
        std::fprintf(stderr, "ckvd: %s is a file; ckvd get %s %s %s copies it\n", args[1].c_str(),
                     shell_word(args[0]).c_str(), shell_word(args[1]).c_str(), shell_word(args[2]).c_str());
        return kExitFailure;
    }
    if (!found.entry) {
        std::fprintf(stderr, "ckvd: no directory %s on the disc\n", args[1].c_str());
        return kExitFailure;
    }
    g_CurrentSession = static_cast<uint8_t>(found.session);
    if (Iso_SelectSession() != 1)
        return Cli_Fail("Sorry, Disc Read Error...", ISO_ERR_NO_MODEL);
    return copy_entries(TreeCopy_Chain(found.entry->firstChild), args[2], audio);
}

} // namespace

int Cmd_Get(int argc, char** argv) {
    CliOptions o;
    if (const int rc = Cli_ParseOptions(argc, argv, CLI_RECURSIVE | CLI_SESSION | CLI_AUDIO, o))
        return rc;
    const AudioFormat audio = o.audio == "flac" ? AudioFormat::Flac : AudioFormat::Wav;
    const std::string asked = o.audio;
    if (o.recursive)
        return CliDisc_Run(o, 3, 3, [audio](const std::vector<std::string>& args, int session) {
            return copy_tree(args, session, audio);
        });
    return CliDisc_Run(o, 2, 3, [asked](const std::vector<std::string>& args, int session) {
        if (const DiscPath dir = Report_FindPath(args[1], session); dir.entry && dir.entry->type != 'F') {
            std::fprintf(stderr,
                         "ckvd: %s is a directory; ckvd get -r %s %s %s copies it with all below it\n",
                         args[1].c_str(), shell_word(args[0]).c_str(), shell_word(args[1]).c_str(),
                         args.size() == 3 ? shell_word(args[2]).c_str() : "DEST");
            return kExitFailure;
        }
        const DiscPath found = CliDisc_LookupFile(args[1], session);
        return found.entry ? copy_file(found, args, asked) : kExitFailure;
    });
}
