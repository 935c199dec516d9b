// The one option parser of ckvd's commands: each command names the options it takes.
#pragma once

#include <string>
#include <vector>

// Options a command takes (Cli_ParseOptions' `accept`).
enum : unsigned {
    CLI_JSON = 1u << 0,      // --json
    CLI_RECURSIVE = 1u << 1, // -r
    CLI_SESSION = 1u << 2,   // --session N
    CLI_IMAGES = 1u << 3,    // --demo, --image PATH
    CLI_REPORT = 1u << 4,    // --number N, --comment TEXT, -o FILE
    CLI_NO_ARGS = 1u << 5,   // nothing but options
    CLI_MAP = 1u << 7,       // --map FILE
    CLI_CHECK = 1u << 8,     // --profile NAME|FILE, --order
    CLI_CATALOGUE = 1u << 9, // --catalogue FILE
    CLI_CSV = 1u << 10,      // --csv
    CLI_AUDIO = 1u << 11,    // --audio flac|wav
    CLI_FILE = 1u << 12,     // --file
    CLI_RETRY = 1u << 13,    // --retry N
    CLI_COPY_TO = 1u << 14,  // --to CATALOGUE
    CLI_PLAN = 1u << 15,     // --plan
    CLI_BURN = 1u << 16,     // --blank, --multisession, --speed N
};

struct CliOptions {
    bool json = false;               // --json
    bool recursive = false;          // -r
    int session = -1;                // --session N as an index (N - 1); -1 without
    std::vector<std::string> images; // --image PATH and the demo discs of --demo, in their order
    bool haveNumber = false;         // --number N
    int number = 0;
    std::string comment;           // --comment TEXT
    std::string output;            // -o FILE
    std::string map;               // --map FILE
    std::string profile;           // --profile NAME|FILE
    std::string catalogue;         // --catalogue FILE
    std::string to;                // --to CATALOGUE
    bool csv = false;              // --csv
    bool order = false;            // --order
    bool plan = false;             // --plan: the plan alone, nothing written
    bool blank = false;            // --blank
    bool multisession = false;     // --multisession
    int speed = 0;                 // --speed N: times a CD's 150 KiB/s; 0 without
    std::string audio;             // --audio: "flac" or "wav", empty without
    bool file = false;             // --file: the arguments are local files, no DRIVE
    int retry = 0;                 // --retry N: passes over the unreadable blocks
    std::vector<std::string> args; // the other arguments, in their order
};

// Parses the arguments after the command's name, in order: an option takes the next word as its value
// whatever it is; any other word starting with '-' (but "-" itself) is an option the command does not take,
// and "--" makes every word after it an argument. Returns 0, or the exit status after the message naming
// the word (a wrong usage: 2).
int Cli_ParseOptions(int argc, char** argv, unsigned accept, CliOptions& options);

// The one argument (DRIVE) of `args` into `arg`: empty arguments before it count as none given. False
// when there is none or more than one.
bool Cli_SingleArg(const std::vector<std::string>& args, std::string& arg);

struct PlayerProfile;
// The player profile --profile names (car-cd without it); false after "ckvd: why" on stderr.
bool Cli_PlayerProfile(const CliOptions& options, PlayerProfile& profile);

// The demo discs (data, audio), or empty after the message that they were not generated.
std::vector<std::string> Cli_DemoDiscs();
