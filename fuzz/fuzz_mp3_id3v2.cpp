// Fuzzes the ID3v2 tag: the fuzzed bytes follow "ID3" at the start of the file (version, flags, size,
// frames).
#include "fuzz_mp3_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024)
        return 0;
    std::vector<uint8_t> file = {'I', 'D', '3'};
    file.insert(file.end(), data, data + size);
    mp3fuzz::AnalyzeFile(file);
    return 0;
}
