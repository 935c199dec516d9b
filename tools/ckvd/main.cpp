// ckvd: the command-line companion of CKVD Explorer.
//   ckvd drives [--demo] [--image PATH]...   scanned devices and their readiness after START STOP UNIT
//   ckvd toc DRIVE                           sessions and tracks of the TOC
//   ckvd ls [--session N] DRIVE              the file tree of one session or of every session
//   ckvd info [--session N] DRIVE PATH...    what the information dialog of each file's analyzer shows
//   ckvd get [--session N] DRIVE PATH [DEST] copies a file off the disc as Save to Disc does
//   ckvd nav [--session N] DRIVE PATH       what the navigation-file viewer of an .LMX file shows
//   ckvd report DRIVE [--number N] [--comment TEXT] -o FILE
//                                            the CSV disc report, as Save DiscInfomation writes it
// DRIVE is a device path (/dev/sr0), a disc image path, `demo` (the demo data disc) or `demo-audio`.
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
#include "app/app_modules.h"
#include "app/save_disc_info_model.h"
#include "app/save_to_disc.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "navigation/nav_text.h"
#include "navigation/nav_viewer.h"
#include "platform/aspi32/drive_setup.h"
#include "platform/images/demo_discs.h"
#include "report/disc_report.h"
#include "report/disc_text.h"
#include "report/report_number.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int usage() {
    std::fprintf(
        stderr,
        "usage: ckvd drives [--demo] [--image PATH]...\n"
        "       ckvd toc DRIVE\n"
        "       ckvd ls [--session N] DRIVE\n"
        "       ckvd info [--session N] DRIVE PATH...\n"
        "       ckvd get [--session N] DRIVE PATH [DEST]\n"
        "       ckvd nav [--session N] DRIVE PATH\n"
        "       ckvd report DRIVE [--number N] [--comment TEXT] -o FILE\n"
        "PATH: an entry's path as ckvd ls prints it; without --session the last session holding it\n"
        "DRIVE: a device path such as /dev/sr0, a disc image (.iso, .cue, .ccd), demo or demo-audio\n");
    return kExitUsage;
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
    int rc = Aspi_ScanDevices();
    if (rc != 1 && rc != 130) {
        fail("Scan Device Error", rc);
        return -1;
    }
    Aspi_AssignRootPaths();
    std::string root = devicePath + "/";
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        if (root != d->driveRootPath)
            continue;
        Aspi_StartStopUnit(index, 1);
        for (int attempt = 0; attempt < 10; ++attempt) {
            rc = Aspi_TestUnitReady(index);
            if (rc == 1)
                return index;
        }
        fail("Drive Not Ready", rc);
        return -1;
    }
    std::fprintf(stderr, "ckvd: no CD drive at %s\n", devicePath.c_str());
    return -1;
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
    if (rc != 1 && rc != 130)
        return fail("Scan Device Error", rc);
    Aspi_AssignRootPaths();
    std::printf("# index  ha:target  vendor  product  path  state\n");
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        Aspi_StartStopUnit(index, 1);
        int ready = Aspi_TestUnitReady(index);
        if (ready != 1) // a medium change answers UNIT ATTENTION once
            ready = Aspi_TestUnitReady(index);
        std::string path = d->driveRootPath;
        if (!path.empty() && path.back() == '/')
            path.pop_back();
        std::printf("%u  %u:%u  \"%s\"  \"%s\"  %s  %s\n", index, d->hostAdapterId, d->targetId, d->vendor,
                    d->product, path.c_str(), ready == 1 ? "ready" : "not-ready");
    }
    if (g_DeviceCount == 0)
        std::printf("# no CD-ROM device found\n");
    return finish_output(0);
}

int cmd_toc(int argc, char** argv) {
    if (argc != 1)
        return usage();
    EngineSession engine;
    if (engine.failed)
        return fail(engine.failed, engine.result);
    int analysis = 1;
    if (load_disc(argv[0], &analysis) < 0)
        return kExitFailure;
    // The TOC was read: it is shown even when no file system of the disc could be (a UDF-only disc).
    std::fputs(Report_TocText().c_str(), stdout);
    if (finish_output(0) != 0)
        return kExitFailure;
    if (analysis != 1)
        return fail("ISO9660 FileSystem Analyze Error", analysis);
    return 0;
}

int cmd_ls(int argc, char** argv) {
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
    // Written as it is made: a disc of many files is never held as one text.
    Report_WriteTreeText(session,
                         [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
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

int cmd_info(int argc, char** argv) {
    return with_disc(argc, argv, 2, SIZE_MAX, [](const std::vector<std::string>& args, int session) {
        // Several files: each block is introduced by its path and set off by a blank line.
        const bool several = args.size() > 2;
        int status = 0;
        for (size_t i = 1; i < args.size(); ++i) {
            if (several)
                std::printf("%sPath: %s\n", i > 1 ? "\n" : "", args[i].c_str());
            std::fflush(stdout); // a message about this file comes after its path
            const DiscPath found = lookup_file(args[i], session);
            const TagAnalyzer analyzer = found.entry ? Tag_Analyze(found.entry) : TagAnalyzer::None;
            if (found.entry && analyzer == TagAnalyzer::None)
                std::fprintf(stderr, "ckvd: %s: This format isn't being supported.\n", args[i].c_str());
            if (analyzer == TagAnalyzer::None) {
                status = kExitFailure;
                continue;
            }
            const std::string text = Report_SjisToUtf8(Tag_InfoText(analyzer, *found.entry, 0).c_str());
            std::fwrite(text.data(), 1, text.size(), stdout);
        }
        return finish_output(status);
    });
}

int cmd_nav(int argc, char** argv) {
    return with_disc(argc, argv, 2, 2, [](const std::vector<std::string>& args, int session) {
        const DiscPath found = lookup_file(args[1], session);
        if (!found.entry)
            return kExitFailure;
        if (!Nav_IsNavigationFile(*found.entry)) {
            std::fprintf(stderr, "ckvd: %s is not a navigation file (.LMX)\n", args[1].c_str());
            return kExitFailure;
        }
        std::string text, error;
        const int rc = Nav_ViewerText(*found.entry, text, error);
        if (rc != 1)
            return fail(error.c_str(), rc);
        const std::string utf8 = Report_SjisToUtf8(text.c_str());
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        return finish_output(0);
    });
}

// ckvd get's copy of the file to DEST (args[2]) or to its name here.
int copy_file(const DiscPath& found, const std::vector<std::string>& args) {
    const std::string name = Report_SjisToUtf8(found.entry->name);
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
    const uint64_t size = found.entry->size;
    SaveOutcome o = SaveToDisc_Copy(*found.entry, *out, [&](uint64_t written) {
        if (terminal)
            std::fprintf(stderr, "\r%s: %llu of %llu bytes", dest.c_str(),
                         static_cast<unsigned long long>(written), static_cast<unsigned long long>(size));
    });
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
    return with_disc(argc, argv, 2, 3, [](const std::vector<std::string>& args, int session) {
        const DiscPath found = lookup_file(args[1], session);
        return found.entry ? copy_file(found, args) : kExitFailure;
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
    const std::string profile = Report_ProfilePath();
    if (!haveNumber)
        number = Report_ReadNumber(profile);
    DiscReportHeader header;
    header.number = number;
    header.comment = Report_Utf8ToSjis(comment);
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &header.time);
    const bool terminal = ::isatty(STDERR_FILENO);
    std::string error;
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
        std::fprintf(stderr, "ckvd: %s: %s\n", output.c_str(), error.c_str());
        return kExitFailure;
    }
    if (!haveNumber && !Report_WriteNumber(profile, Report_NextNumber(number), &error)) {
        std::fprintf(stderr, "ckvd: the report MA%06d was written, but the next number was not stored: %s\n",
                     number, error.c_str());
        return kExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string cmd = argv[1];
    if (cmd == "drives")
        return cmd_drives(argc - 2, argv + 2);
    if (cmd == "toc")
        return cmd_toc(argc - 2, argv + 2);
    if (cmd == "ls")
        return cmd_ls(argc - 2, argv + 2);
    if (cmd == "info")
        return cmd_info(argc - 2, argv + 2);
    if (cmd == "get")
        return cmd_get(argc - 2, argv + 2);
    if (cmd == "nav")
        return cmd_nav(argc - 2, argv + 2);
    if (cmd == "report")
        return cmd_report(argc - 2, argv + 2);
    return usage();
}
