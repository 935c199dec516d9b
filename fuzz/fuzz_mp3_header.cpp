// Fuzzes the MPEG frame header search and the figures computed from it: the fuzzed bytes are the whole file.
#include "fuzz_mp3_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    mp3fuzz::AnalyzeFile(std::vector<uint8_t>(data, data + size));
    return 0;
}
