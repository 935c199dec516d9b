// Fuzzes the path table walk: a sound descriptor set and root, the fuzzed bytes as the type L path table.
#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 2048)
        return 0;
    isofuzz::Image img;
    isofuzz::Descriptor(img, 16, 1, uint32_t(size), 30, 20);
    isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
    uint8_t* root = isofuzz::Block(img, 20);
    root[0] = 34;
    isofuzz::PutBoth32(root + 2, 20);
    isofuzz::PutBoth32(root + 10, 2048);
    root[25] = 2;
    root[32] = 1;
    isofuzz::Place(img, 30, data, size);
    isofuzz::Analyze(img);
    return 0;
}
