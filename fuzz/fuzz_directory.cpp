// Fuzzes the directory record walk: a sound descriptor set and path table (root and one subdirectory), the
// fuzzed bytes as the root directory's extent; the subdirectory's extent is the same bytes further on.
#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 2048)
        return 0;
    isofuzz::Image img;
    const uint8_t table[] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0, 1, 0, 21, 0, 0, 0, 1, 0, 'X', 0};
    isofuzz::Descriptor(img, 16, 1, sizeof table, 18, 20);
    isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
    isofuzz::Place(img, 18, table, sizeof table);
    isofuzz::Place(img, 20, data, size);
    isofuzz::Analyze(img);
    return 0;
}
