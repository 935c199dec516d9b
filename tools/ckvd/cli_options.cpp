// ckvd's option parser.
#include "cli_options.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "platform/images/demo_discs.h"

namespace {

// Takes the flag `flag` out of the arguments; true when it was there.
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

// --session N: 1 to 255, the index N - 1 into `session`.
bool parse_session(const char* text, int& session) {
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (!end || *end || n < 1 || n > 255)
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

bool is(const char* arg, const char* option, unsigned accept, unsigned kind) {
    return (accept & kind) && !std::strcmp(arg, option);
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
    if (accept & CLI_JSON)
        o.json = take_flag(argc, argv, "--json");
    if (accept & CLI_RECURSIVE)
        o.recursive = take_flag(argc, argv, "-r");
    if (accept & CLI_CSV)
        o.csv = take_flag(argc, argv, "--csv");
    if (accept & CLI_CHECK)
        o.order = take_flag(argc, argv, "--order");
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (is(arg, "--session", accept, CLI_SESSION) && hasValue) {
            if (!parse_session(argv[++i], o.session))
                return Cli_Usage();
        } else if (is(arg, "--demo", accept, CLI_IMAGES)) {
            const std::vector<std::string> demo = Cli_DemoDiscs();
            if (demo.empty())
                return kExitFailure;
            o.images.insert(o.images.end(), demo.begin(), demo.end());
        } else if (is(arg, "--image", accept, CLI_IMAGES) && hasValue) {
            o.images.emplace_back(argv[++i]);
        } else if (is(arg, "--number", accept, CLI_REPORT) && hasValue) {
            if (!parse_number(argv[++i], o.number))
                return Cli_Usage();
            o.haveNumber = true;
        } else if (is(arg, "--comment", accept, CLI_REPORT) && hasValue) {
            o.comment = argv[++i];
        } else if (is(arg, "-o", accept, CLI_REPORT) && hasValue) {
            o.output = argv[++i];
        } else if (is(arg, "--catalogue", accept, CLI_CATALOGUE) && hasValue) {
            o.catalogue = argv[++i];
        } else if (is(arg, "--profile", accept, CLI_CHECK) && hasValue) {
            o.profile = argv[++i];
        } else if (is(arg, "--map", accept, CLI_MAP) && hasValue) {
            o.map = argv[++i];
        } else if ((accept & CLI_NO_ARGS) || ((accept & CLI_NO_DASH) && arg[0] == '-')) {
            return Cli_Usage();
        } else {
            o.args.emplace_back(arg);
        }
    }
    return 0;
}
