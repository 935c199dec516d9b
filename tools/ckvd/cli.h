// What every ckvd command shares: exit statuses, the command table and its usage, output and messages.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* usage; // one line per form
    const char* summary;
};

// The command of that name, or nullptr.
const Command* Cli_FindCommand(const std::string& name);
// The usage of `command` (of every command without one), its summary and the notes on DRIVE, PATH and the
// exit status.
void Cli_PrintUsage(FILE* to, const Command* command);
// The command being run: a wrong usage prints its usage.
void Cli_SetCommand(const Command* command);
// A wrong usage: the command's usage (every command's without one) on stderr; returns kExitUsage.
int Cli_Usage();
// A wrong word: "ckvd: COMMAND: WHAT" and where the usage is (not the whole usage, in which the word would
// be lost) on stderr; returns kExitUsage.
int Cli_UsageError(const std::string& what);
// "ckvd: unknown command 'WORD'" and where the commands are listed; returns kExitUsage.
int Cli_UnknownCommand(const std::string& word);
// "ckvd (CKVD Explorer) VERSION" on stdout; the exit status.
int Cli_Version();

void Cli_WriteStdout(std::string_view text);
// The exit status of a command that wrote `status`'s output: a listing that could not be written whole (a
// full disk, a closed pipe) is a failure, not a success.
int Cli_FinishOutput(int status);
// "ckvd: WHAT Code XXXX" on stderr; returns kExitFailure.
int Cli_Fail(const char* what, int code);
