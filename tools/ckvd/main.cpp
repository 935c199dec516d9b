// ckvd: the command-line companion of CKVD Explorer. Its commands, their usage and what they print are in
// kCommands below; `ckvd --help` prints them all. DRIVE is a device path (/dev/sr0), a disc image path,
// `demo` (the demo data disc) or `demo-audio`. Exit status: 0 done, 1 a failure (its message on stderr), 2 a
// wrong usage.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "analyzers/tag_chain.h"
#include "appmodel/app_modules.h"
#include "appmodel/save_disc_info_dlg_model.h"
#include "appmodel/save_to_disc.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "json_views.h"
#include "json_writer.h"
#include "navigation/nav_text.h"
#include "navigation/nav_viewer.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "report/disc_report.h"
#include "report/disc_text.h"
#include "report/report_number.h"
#include "tree_copy.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
};
constexpr Command kCommands[] = {
    {"drives", "ckvd drives [--json] [--demo] [--image PATH]...",
     "the scanned CD-ROM devices (images put into image drives first) and their readiness"},
    {"toc", "ckvd toc [--json] DRIVE", "the sessions and tracks of the disc's TOC"},
    {"ls", "ckvd ls [--json] [--session N] DRIVE", "the file tree of one session or of every session"},
    {"info", "ckvd info [--json] [--session N] DRIVE PATH...",
     "what Tag Information shows for each file (ID3 tags, MPEG frame, Windows Media, WAV, CD audio track)"},
    {"get", "ckvd get [--session N] DRIVE PATH [DEST]\nckvd get -r [--session N] DRIVE DIR DEST",
     "copies a file off the disc as Save to Disc does; -r a directory with all below it into DEST"},
    {"nav", "ckvd nav [--json] [--session N] DRIVE PATH",
     "what the viewer of a navigation file (.LMX) shows"},
    {"report", "ckvd report DRIVE [--number N] [--comment TEXT] -o FILE",
     "the CSV disc report, as Save DiscInfomation writes it"},
};
constexpr const char* kUsageNotes =
    "DRIVE: a device path such as /dev/sr0, a disc image (.iso, .cue, .ccd), demo or demo-audio\n"
    "PATH: an entry's path as ckvd ls prints it; without --session the last session holding it\n"
    "--json: one JSON document on stdout instead of the text\n"
    "Exit status: 0 done, 1 a failure (its message on stderr), 2 a wrong usage\n";

const Command* find_command(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

// A command's usage holds one line per form.
void print_usage(FILE* to, const Command* command) {
    auto forms = [to](const char* usage, const char* first, const char* next) {
        std::string text = usage;
        for (size_t start = 0, i = 0; start <= text.size(); ++i) {
            const size_t end = std::min(text.find('\n', start), text.size());
            std::fprintf(to, "%s%s\n", i == 0 ? first : next, text.substr(start, end - start).c_str());
            start = end + 1;
        }
    };
    if (command) {
        forms(command->usage, "usage: ", "       ");
        std::fprintf(to, "%s\n%s", command->summary, kUsageNotes);
        return;
    }
    std::fprintf(to, "usage: ckvd COMMAND [ARGS]   (ckvd COMMAND --help for one command)\n");
    for (const Command& c : kCommands) {
        forms(c.usage, "  ", "  ");
        std::fprintf(to, "      %s\n", c.summary);
    }
    std::fputs(kUsageNotes, to);
}

// A wrong usage: the command's usage (every command's without one) on stderr, status 2.
const Command* g_command = nullptr;
int usage() {
    print_usage(stderr, g_command);
    return kExitUsage;
}

// Takes the option `flag` (`--json`, `-r`) out of the arguments; true when it was there.
bool take_flag(int& argc, char** argv, const char* flag) {
    bool found = false;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], flag))
            found = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return found;
}

void write_stdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// The exit status of a command that wrote `status`'s output: a listing that could not be written whole (a
// full disk, a closed pipe) is a failure, not a success.
int finish_output(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "ckvd: cannot write the output: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}

int fail(const char* what, int code) {
    std::fprintf(stderr, "ckvd: %s Code %04X\n", what, static_cast<unsigned>(code));
    return kExitFailure;
}

bool install_drives(const std::vector<std::string>& images) {
    std::string error;
    if (!ckvd::aspi32::SetupDrives(images, &error)) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Resolves DRIVE to image paths to install (none for a device path) and the device path to look for.
bool resolve_drive(const std::string& arg, std::vector<std::string>& images, std::string& devicePath) {
    if (arg == "demo" || arg == "demo-audio") {
        auto demo = ckvd::images::demo_disc_paths();
        if (demo.size() < 2) {
            std::fprintf(stderr, "ckvd: the demo discs were not generated (build the project first)\n");
            return false;
        }
        devicePath = arg == "demo" ? demo[0] : demo[1];
        images = {devicePath};
        return true;
    }
    devicePath = arg;
    if (arg.rfind("/dev/", 0) != 0)
        images = {arg};
    return true;
}

// Scans, finds the device whose path is `devicePath` and spins it up. Returns its index or -1.
int open_device(const std::string& devicePath) {
    int scan = 1;
    const int index = Aspi_FindDevice(devicePath.c_str(), &scan);
    if (scan != 1) {
        fail("Scan Device Error", scan);
        return -1;
    }
    if (index < 0) {
        std::fprintf(stderr, "ckvd: no CD drive at %s\n", devicePath.c_str());
        return -1;
    }
    AspiStartHooks hooks;
    hooks.spinUpFailed = [](int code) {
        std::fprintf(stderr, "ckvd: SpinUp Error Code %04X\n", unsigned(code));
    };
    const AspiStartResult started = Aspi_StartDevice(static_cast<uint16_t>(index), hooks);
    if (started.ready != 1) {
        fail("Drive Not Ready", started.ready);
        return -1;
    }
    return index;
}

// Loads the disc of DRIVE; its device index, or -1 after the failure was printed. With `analysis`, a disc
// whose TOC was read is kept even when the analysis of its file systems failed: the result goes there and
// the caller reports it after what it can show.
int load_disc(const std::string& arg, int* analysis = nullptr) {
    std::vector<std::string> images;
    std::string devicePath;
    if (!resolve_drive(arg, images, devicePath) || !install_drives(images))
        return -1;
    int index = open_device(devicePath);
    if (index < 0)
        return -1;
    int rc = Iso_AnalyzeDisc(static_cast<uint16_t>(index));
    if (rc != 1) {
        if (analysis && g_DiscModel && g_DiscModel->firstSession) {
            *analysis = rc;
            return index;
        }
        fail("ISO9660 FileSystem Analyze Error", rc);
        return -1;
    }
    return index;
}

// Engine up and the disc of DRIVE loaded; false after the failure was printed.
bool start_with_disc(const EngineSession& engine, const std::string& drive) {
    if (engine.failed) {
        fail(engine.failed, engine.result);
        return false;
    }
    return load_disc(drive) >= 0;
}

int cmd_drives(int argc, char** argv) {
    const bool json = take_flag(argc, argv, "--json");
    std::vector<std::string> images;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--demo")) {
            auto demo = ckvd::images::demo_disc_paths();
            if (demo.empty()) {
                std::fprintf(stderr, "ckvd: the demo discs were not generated (build the project first)\n");
                return kExitFailure;
            }
            images.insert(images.end(), demo.begin(), demo.end());
        } else if (!std::strcmp(argv[i], "--image") && i + 1 < argc) {
            images.emplace_back(argv[++i]);
        } else {
            return usage();
        }
    }
    EngineSession engine;
    if (engine.failed)
        return fail(engine.failed, engine.result);
    if (!install_drives(images))
        return kExitFailure;
    int rc = Aspi_ScanDevices();
    if (rc != ASPI_OK && rc != ASPI_SCAN_NO_DEVICE)
        return fail("Scan Device Error", rc);
    Aspi_AssignRootPaths();
    JsonWriter out(write_stdout);
    if (json)
        out.BeginObject().Key("drives").BeginArray();
    else
        std::printf("# index  ha:target  vendor  product  path  state\n");
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        const int ready = Aspi_StartDevice(index).ready;
        std::string path = d->driveRootPath;
        if (!path.empty() && path.back() == '/')
            path.pop_back();
        if (json)
            out.BeginObject()
                .Key("index")
                .Uint(index)
                .Key("host_adapter")
                .Uint(d->hostAdapterId)
                .Key("target")
                .Uint(d->targetId)
                .Key("vendor")
                .String(d->vendor)
                .Key("product")
                .String(d->product)
                .Key("path")
                .String(path)
                .Key("ready")
                .Bool(ready == 1)
                .EndObject();
        else
            std::printf("%u  %u:%u  \"%s\"  \"%s\"  %s  %s\n", index, d->hostAdapterId, d->targetId,
                        d->vendor, d->product, path.c_str(), ready == 1 ? "ready" : "not-ready");
    }
    if (json)
        out.EndArray().EndObject();
    else if (g_DeviceCount == 0)
        std::printf("# no CD-ROM device found\n");
    out.Flush();
    return finish_output(0);
}

int cmd_toc(int argc, char** argv) {
    const bool json = take_flag(argc, argv, "--json");
    if (argc != 1)
        return usage();
    EngineSession engine;
    if (engine.failed)
        return fail(engine.failed, engine.result);
    int analysis = 1;
    if (load_disc(argv[0], &analysis) < 0)
        return kExitFailure;
    // The TOC was read: it is shown even when no file system of the disc could be (a UDF-only disc).
    if (json) {
        JsonWriter out(write_stdout);
        Json_Toc(out);
    } else {
        std::fputs(Report_TocText().c_str(), stdout);
    }
    if (finish_output(0) != 0)
        return kExitFailure;
    if (analysis != 1)
        return fail("ISO9660 FileSystem Analyze Error", analysis);
    return 0;
}

int cmd_ls(int argc, char** argv) {
    const bool json = take_flag(argc, argv, "--json");
    int session = -1;
    std::string drive;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--session") && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 1 || n > 255)
                return usage();
            session = static_cast<int>(n) - 1;
        } else if (drive.empty()) {
            drive = argv[i];
        } else {
            return usage();
        }
    }
    if (drive.empty())
        return usage();
    EngineSession engine;
    if (!start_with_disc(engine, drive))
        return kExitFailure;
    int count = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        ++count;
    if (session >= count) {
        std::fprintf(stderr, "ckvd: the disc has %d session(s)\n", count);
        return kExitFailure;
    }
    int index = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index)
        if ((session < 0 || session == index) && (t->notes & ISO_TREE_PATH_TABLE_PASSED))
            std::fprintf(stderr, "ckvd: (Session%d) %s\n", index + 1, kPathTablePassedOver);
    // Written as it is made: a disc of many files is never held as one text.
    if (json) {
        JsonWriter out(write_stdout);
        Json_Tree(out, session);
    } else {
        Report_WriteTreeText(session, write_stdout);
    }
    return finish_output(0);
}

// `[--session N] DRIVE PATH [DEST]`: the positional arguments in order; false on a wrong usage.
bool parse_file_args(int argc, char** argv, int& session, std::vector<std::string>& args) {
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--session") && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 1 || n > 255)
                return false;
            session = static_cast<int>(n) - 1;
        } else {
            args.emplace_back(argv[i]);
        }
    }
    return true;
}

// The file PATH of the loaded disc; prints why and returns an empty result when there is none.
DiscPath lookup_file(const std::string& path, int session) {
    DiscPath found = Report_FindPath(path, session);
    if (!found.entry) {
        std::fprintf(stderr, "ckvd: no entry %s on the disc\n", path.c_str());
        return {};
    }
    if (found.entry->type != 'F') {
        std::fprintf(stderr, "ckvd: %s is a directory\n", path.c_str());
        return {};
    }
    // Reads go to the session the list would show the file in.
    g_CurrentSession = static_cast<uint8_t>(found.session);
    return found;
}

// Runs `command(args, session)` with the engine up and the disc of `[--session N] DRIVE ARG...` loaded, for
// `minArgs` to `maxArgs` arguments, DRIVE included. Wrong usage, engine and load failures end here.
int with_disc(int argc, char** argv, size_t minArgs, size_t maxArgs,
              const std::function<int(const std::vector<std::string>& args, int session)>& command) {
    int session = -1;
    std::vector<std::string> args;
    if (!parse_file_args(argc, argv, session, args) || args.size() < minArgs || args.size() > maxArgs)
        return usage();
    EngineSession engine;
    if (!start_with_disc(engine, args[0]))
        return kExitFailure;
    return command(args, session);
}

// The path of the directory `found` lies in, as `ckvd ls` prints paths ("/" for a session's root).
std::string directory_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

int cmd_info(int argc, char** argv) {
    const bool json = take_flag(argc, argv, "--json");
    return with_disc(argc, argv, 2, SIZE_MAX, [json](const std::vector<std::string>& args, int session) {
        // Several files: each block is introduced by its path and set off by a blank line.
        const bool several = args.size() > 2;
        int status = 0;
        JsonWriter out(write_stdout);
        if (json)
            out.BeginObject().Key("files").BeginArray();
        for (size_t i = 1; i < args.size(); ++i) {
            if (several && !json)
                std::printf("%sPath: %s\n", i > 1 ? "\n" : "", args[i].c_str());
            std::fflush(stdout); // a message about this file comes after its path
            const DiscPath found = lookup_file(args[i], session);
            const TagAnalyzer analyzer = found.entry ? Tag_Analyze(found.entry) : TagAnalyzer::None;
            if (found.entry && analyzer == TagAnalyzer::None)
                std::fprintf(stderr, "ckvd: %s: This format isn't being supported.\n", args[i].c_str());
            if (analyzer == TagAnalyzer::None) {
                status = kExitFailure;
                if (json)
                    out.BeginObject()
                        .Key("path")
                        .String(args[i])
                        .Key("error")
                        .String(found.entry ? "This format isn't being supported."
                                            : "no file of that path on the disc")
                        .EndObject();
                continue;
            }
            if (json)
                Json_Info(out, args[i], found.session, directory_of(args[i]), *found.entry, analyzer,
                          Tag_InfoLines(analyzer, *found.entry, 0));
            else
                write_stdout(Tag_InfoText(analyzer, *found.entry, 0, Report_ValueText));
        }
        if (json)
            out.EndArray().EndObject();
        out.Flush();
        return finish_output(status);
    });
}

int cmd_nav(int argc, char** argv) {
    const bool json = take_flag(argc, argv, "--json");
    return with_disc(argc, argv, 2, 2, [json](const std::vector<std::string>& args, int session) {
        const DiscPath found = lookup_file(args[1], session);
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
            return fail(Report_SjisToUtf8(error.c_str()).c_str(), rc);
        if (json) {
            JsonWriter out(write_stdout);
            Json_Nav(out, args[1], found.session, document);
        } else {
            write_stdout(Nav_DocumentText(document, Report_ValueText));
        }
        return finish_output(0);
    });
}

// ckvd get's copy of the file to DEST (args[2]) or to its name here.
int copy_file(const DiscPath& found, const std::vector<std::string>& args) {
    const std::string name = Iso_EntryName(found.entry);
    // A link has no data: an empty file in its place would say the copy worked.
    if (const char* target = Iso_SymlinkTarget(found.entry)) {
        std::fprintf(stderr, "ckvd: %s is a symbolic link to %s: no data to copy (get -r makes it a link)\n",
                     args[1].c_str(), target);
        return kExitFailure;
    }
    std::string dest = args.size() == 3 ? args[2] : name;
    if (args.size() == 3 && std::filesystem::is_directory(dest))
        dest += "/" + name;
    if (Iso_SelectSession() != 1)
        return fail("Sorry, Disc Read Error...", ISO_ERR_NO_MODEL);
    std::string why;
    std::unique_ptr<SaveWriter> out = SaveToDisc_OpenFile(dest, &why);
    if (!out) {
        std::fprintf(stderr, "ckvd: Sorry, Cannot Create the File... %s: %s\n", dest.c_str(), why.c_str());
        return kExitFailure;
    }
    const bool terminal = ::isatty(STDERR_FILENO);
    const uint64_t size = Iso_FileSize(found.entry);
    std::vector<uint8_t> buffer = SaveToDisc_Buffer();
    if (buffer.empty())
        return fail(IDS_SAVE_NO_MEMORY, ISO_ERR_NO_MODEL);
    // A damaged disc: every block before the first unreadable one is kept, and that block is named.
    SaveOutcome o = SaveToDisc_Copy(
        *found.entry, *out, buffer,
        [&](uint64_t written) {
            if (terminal)
                std::fprintf(stderr, "\r%s: %llu of %llu bytes", dest.c_str(),
                             static_cast<unsigned long long>(written), static_cast<unsigned long long>(size));
        },
        true);
    if (terminal && size > 0)
        std::fputc('\n', stderr);
    if (o.result == SaveResult::Ok)
        return 0;
    // What was read before a failed read stays in the file: say where it stopped.
    if (o.result == SaveResult::ReadError)
        std::fprintf(stderr, "ckvd: %s at block %u Code %04X (%llu bytes kept in %s)\n",
                     SaveToDisc_Message(o.result), o.failedLba, static_cast<unsigned>(o.code),
                     static_cast<unsigned long long>(o.written), dest.c_str());
    else
        std::fprintf(stderr, "ckvd: %s %s\n", SaveToDisc_Message(o.result), dest.c_str());
    return kExitFailure;
}

int cmd_get(int argc, char** argv) {
    if (!take_flag(argc, argv, "-r"))
        return with_disc(argc, argv, 2, 3, [](const std::vector<std::string>& args, int session) {
            const DiscPath found = lookup_file(args[1], session);
            return found.entry ? copy_file(found, args) : kExitFailure;
        });
    return with_disc(argc, argv, 3, 3, [](const std::vector<std::string>& args, int session) {
        const DiscPath found = Report_FindPath(args[1], session);
        if (!found.entry || found.entry->type == 'F') {
            std::fprintf(stderr, "ckvd: no directory %s on the disc\n", args[1].c_str());
            return kExitFailure;
        }
        g_CurrentSession = static_cast<uint8_t>(found.session);
        if (Iso_SelectSession() != 1)
            return fail("Sorry, Disc Read Error...", ISO_ERR_NO_MODEL);
        return TreeCopy_Run(*found.entry, args[2], ::isatty(STDERR_FILENO)) ? 0 : kExitFailure;
    });
}

// ckvd report: the management number is --number's, or the desktop program's next one, which then advances
// as after a report written from the window; a report that was not written uses up no number.
int cmd_report(int argc, char** argv) {
    std::string drive, output, comment;
    bool haveNumber = false;
    int number = 0;
    for (int i = 0; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--number") && hasValue) {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(argv[++i], &end, 10);
            if (!*argv[i] || *end || errno == ERANGE || n < INT32_MIN || n > INT32_MAX)
                return usage();
            number = static_cast<int>(n);
            haveNumber = true;
        } else if (!std::strcmp(argv[i], "--comment") && hasValue) {
            comment = argv[++i];
        } else if (!std::strcmp(argv[i], "-o") && hasValue) {
            output = argv[++i];
        } else if (drive.empty() && argv[i][0] != '-') {
            drive = argv[i];
        } else {
            return usage();
        }
    }
    if (drive.empty() || output.empty())
        return usage();
    EngineSession engine;
    if (!start_with_disc(engine, drive))
        return kExitFailure;
    // The number is taken before the report is made (it is in the report's first line) and given back when
    // no report came of it, so two reports running at once never share one.
    const std::string profile = Report_ProfilePath();
    std::string error;
    int stored = 0;
    if (!haveNumber && !Report_TakeNumber(profile, 0, true, &number, &stored, &error)) {
        std::fprintf(stderr, "ckvd: Sorry, Cannot Write the DiscInformation... %s: %s\n", output.c_str(),
                     error.c_str());
        return kExitFailure;
    }
    DiscReportHeader header;
    header.number = number;
    std::vector<SjisReplacement> replaced;
    header.comment = Report_Utf8ToSjis(comment, &replaced);
    if (!replaced.empty()) {
        std::string warning = "ckvd: comment:";
        for (size_t i = 0; i < replaced.size(); ++i)
            warning += (i ? ", \"" : " \"") + replaced[i].original + (i ? "\" as \"" : "\" written as \"") +
                       replaced[i].written + "\"";
        std::fprintf(stderr, "%s\n", warning.c_str());
    }
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
        &error);
    if (terminal)
        std::fputc('\n', stderr);
    if (rc != REPORT_OK) {
        if (!haveNumber)
            Report_ReturnNumber(profile, number, stored);
        std::fprintf(stderr, "ckvd: %s: %s\n", output.c_str(), error.c_str());
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        const Command* command = argc > 2 ? find_command(argv[2]) : nullptr;
        if (argc > 2 && !command)
            return usage();
        print_usage(stdout, command);
        return finish_output(0);
    }
    g_command = find_command(cmd);
    if (!g_command)
        return usage();
    for (int i = 2; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            print_usage(stdout, g_command);
            return finish_output(0);
        }
    using Run = int (*)(int, char**);
    const std::pair<const char*, Run> runs[] = {{"drives", cmd_drives}, {"toc", cmd_toc}, {"ls", cmd_ls},
                                                {"info", cmd_info},     {"get", cmd_get}, {"nav", cmd_nav},
                                                {"report", cmd_report}};
    for (const auto& [name, run] : runs)
        if (cmd == name)
            return run(argc - 2, argv + 2);
    return usage();
}
