// ckvd's output and messages.
#include <cerrno>
#include <cstring>

#include "cli.h"

void Cli_WriteStdout(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int Cli_FinishOutput(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "ckvd: cannot write the output: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return status;
}

int Cli_Fail(const char* what, int code) {
    std::fprintf(stderr, "ckvd: %s Code %04X\n", what, static_cast<unsigned>(code));
    return kExitFailure;
}
