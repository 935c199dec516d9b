// ckvd: the command-line companion of CKVD Explorer. Its commands, their usage and what they print are in
// cmd_help.cpp's table; `ckvd --help` prints them all. DRIVE is a device path (/dev/sr0), a disc image path,
// `demo` (the demo data disc) or `demo-audio`. Exit status: 0 done, 1 a failure (its message on stderr), 2 a
// wrong usage (an unknown command or option is named). Each command is in its own cmd_NAME.cpp; cli_options
// reads the options they share.
#include <cstring>
#include <string>
#include <utility>

#include "cli.h"
#include "cli_disc.h"
#include "commands.h"

int main(int argc, char** argv) {
    if (argc < 2)
        return Cli_Usage();
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help")
        return Cmd_Help(argc - 2, argv + 2);
    if (cmd == "--version")
        return Cli_Version();
    const Command* command = Cli_FindCommand(cmd);
    if (!command)
        return Cli_UnknownCommand(cmd);
    Cli_SetCommand(command);
    for (int i = 2; i < argc && std::strcmp(argv[i], "--"); ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            Cli_PrintUsage(stdout, command);
            return Cli_FinishOutput(0);
        }
    using Run = int (*)(int, char**);
    const std::pair<const char*, Run> runs[] = {
        {"drives", Cmd_Drives},  {"toc", Cmd_Toc},     {"ls", Cmd_Ls},         {"info", Cmd_Info},
        {"get", Cmd_Get},        {"nav", Cmd_Nav},     {"report", Cmd_Report}, {"verify", Cmd_Verify},
        {"dump", Cmd_Dump},      {"check", Cmd_Check}, {"make", Cmd_Make},     {"burn", Cmd_Burn},
        {"catalog", Cmd_Catalog}};
    for (const auto& [name, run] : runs)
        if (cmd == name)
            return CliDisc_Finish(run(argc - 2, argv + 2));
    return Cli_Usage();
}
