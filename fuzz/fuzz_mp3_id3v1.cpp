// Fuzzes the ID3v1 tag: a free-format MPEG frame header (taken without a following frame, since it names no
// frame length), then the fuzzed bytes as the rest of the file, whose last 128 bytes are the tag.
#include "fuzz_mp3_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16 * 1024)
        return 0;
    std::vector<uint8_t> file = {0xFF, 0xFB, 0x00, 0x44};
    file.insert(file.end(), data, data + size);
    mp3fuzz::AnalyzeFile(file);
    return 0;
}
