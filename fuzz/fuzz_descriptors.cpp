// Fuzzes the volume descriptor set walk: the fuzzed bytes are the sectors from block 16 on.
#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 2048)
        return 0;
    isofuzz::Image img;
    isofuzz::Block(img, 15);
    isofuzz::Place(img, 16, data, size);
    isofuzz::Analyze(img);
    return 0;
}
