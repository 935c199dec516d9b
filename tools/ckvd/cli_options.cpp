// ckvd's option parser.
#include "cli_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "cli.h"
#include "images/demo_discs.h"
#include "playercheck/player_profile.h"

namespace {

// --session N: 1 to 255, the index N - 1 into `session`.
bool parse_session(const char* text, int& session) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (!*text || !end || *end || n < 1 || n > 255)
        return false;
    session = static_cast<int>(n) - 1;
    return true;
}

// --number N: any 32-bit signed number.
bool parse_number(const char* text, int& number) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (!*text || *end || errno == ERANGE || n < INT32_MIN || n > INT32_MAX)
        return false;
    number = static_cast<int>(n);
    return true;
}

// The options that stand alone, and those that take the next argument as their value.
struct Flag {
    const char* name;
    unsigned kind;
    bool CliOptions::*field;
};
constexpr Flag kFlags[] = {
    {"--json", CLI_JSON, &CliOptions::json},   {"-r", CLI_RECURSIVE, &CliOptions::recursive},
    {"--csv", CLI_CSV, &CliOptions::csv},      {"--order", CLI_CHECK, &CliOptions::order},
    {"--file", CLI_FILE, &CliOptions::file},   {"--plan", CLI_PLAN, &CliOptions::plan},
    {"--blank", CLI_BURN, &CliOptions::blank}, {"--multisession", CLI_BURN, &CliOptions::multisession}};
constexpr std::pair<const char*, unsigned> kValued[] = {
    {"--session", CLI_SESSION}, {"--image", CLI_IMAGES}, {"--number", CLI_REPORT},
    {"--comment", CLI_REPORT},  {"-o", CLI_REPORT},      {"--catalogue", CLI_CATALOGUE},
    {"--profile", CLI_CHECK},   {"--map", CLI_MAP},      {"--audio", CLI_AUDIO},
    {"--retry", CLI_RETRY},     {"--to", CLI_COPY_TO},   {"--speed", CLI_BURN}};

// An option with a value into `o`; 0, or the exit status after the message on a value it refuses.
int take_value(const std::string& option, const char* value, CliOptions& o) {
    if (option == "--session" && !parse_session(value, o.session))
        return Cli_UsageError("--session takes a session number from 1 to 255, not '" + std::string(value) +
                              "'");
    if (option == "--number") {
        if (!parse_number(value, o.number))
            return Cli_UsageError("--number takes a whole number, not '" + std::string(value) + "'");
        o.haveNumber = true;
    }
    std::string* const texts[] = {&o.comment, &o.output, &o.catalogue, &o.profile, &o.map, &o.to};
    const char* const names[] = {"--comment", "-o", "--catalogue", "--profile", "--map", "--to"};
    for (size_t i = 0; i < std::size(names); ++i)
        if (option == names[i])
            *texts[i] = value;
    if (option == "--image")
        o.images.emplace_back(value);
    if (option == "--retry") {
        if (!parse_number(value, o.retry) || o.retry < 0 || o.retry > 99)
            return Cli_UsageError("--retry takes a number of passes from 0 to 99, not '" +
                                  std::string(value) + "'");
    }
    if (option == "--speed" && (!parse_number(value, o.speed) || o.speed < 1 || o.speed > 100))
        return Cli_UsageError("--speed takes a CD speed from 1 to 100 (times 150 KiB/s), not '" +
                              std::string(value) + "'");
    if (option == "--audio") {
        o.audio = value;
        if (o.audio != "flac" && o.audio != "wav")
            return Cli_UsageError("--audio takes flac or wav, not '" + o.audio + "'");
    }
    return 0;
}

} // namespace

bool Cli_SingleArg(const std::vector<std::string>& args, std::string& arg) {
    size_t first = 0;
    while (first < args.size() && args[first].empty())
        ++first;
    if (first + 1 != args.size())
        return false;
    arg = args[first];
    return true;
}

std::vector<std::string> Cli_DemoDiscs() {
    std::vector<std::string> demo = ckvd::images::demo_disc_paths();
    if (demo.empty())
        std::fprintf(stderr, "ckvd: the demo discs were not generated (build the project first)\n");
    return demo;
}

int Cli_ParseOptions(int argc, char** argv, unsigned accept, CliOptions& o) {
    bool optionsEnd = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        // "--" ends the options: a word after it is an argument even when it starts with '-'.
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            if (accept & CLI_NO_ARGS)
                return Cli_UsageError("unexpected argument '" + arg + "'");
            o.args.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                       [&](const Flag& f) { return arg == f.name && (accept & f.kind); });
        if (flag != std::end(kFlags)) {
            o.*(flag->field) = true;
            continue;
        }
        if (arg == "--demo" && (accept & CLI_IMAGES)) {
            const std::vector<std::string> demo = Cli_DemoDiscs();
            if (demo.empty())
                return kExitFailure;
            o.images.insert(o.images.end(), demo.begin(), demo.end());
            continue;
        }
        const auto valued = std::find_if(std::begin(kValued), std::end(kValued), [&](const auto& v) {
            return arg == v.first && (accept & v.second);
        });
        if (valued == std::end(kValued))
            return Cli_UsageError("unknown option '" + arg + "'");
        if (i + 1 >= argc)
            return Cli_UsageError("option '" + arg + "' needs a value");
        if (const int rc = take_value(arg, argv[++i], o))
            return rc;
    }
    return 0;
}

bool Cli_PlayerProfile(const CliOptions& options, PlayerProfile& profile) {
    std::string error;
    if (Player_FindProfile(options.profile.empty() ? "car-cd" : options.profile, profile, error))
        return true;
    std::fprintf(stderr, "ckvd: %s\n", error.c_str());
    return false;
}
