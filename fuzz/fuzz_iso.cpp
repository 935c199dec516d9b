// Fuzzes one walk of the disc analysis (CKVD_ISO_PART picks it): "descriptors", the volume descriptor set,
// the fuzzed bytes being the sectors from block 16 on; "pathtable", the type L path table after a sound
// descriptor set and root; "directory", the directory records: a sound descriptor set and path table (root
// and one subdirectory), the fuzzed bytes as the root's extent and, further on, the subdirectory's.
#include <string_view>

#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr std::string_view part = CKVD_ISO_PART;
    if (size > 64 * 2048)
        return 0;
    isofuzz::Image img;
    if (part == "descriptors") {
        isofuzz::Block(img, 15);
        isofuzz::Place(img, 16, data, size);
    } else if (part == "pathtable") {
        isofuzz::Descriptor(img, 16, 1, uint32_t(size), 30, 20);
        isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
        uint8_t* root = isofuzz::Block(img, 20);
        root[0] = 34;
        isofuzz::PutBoth32(root + 2, 20);
        isofuzz::PutBoth32(root + 10, 2048);
        root[25] = 2;
        root[32] = 1;
        isofuzz::Place(img, 30, data, size);
    } else {
        const uint8_t table[] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0, 1, 0, 21, 0, 0, 0, 1, 0, 'X', 0};
        isofuzz::Descriptor(img, 16, 1, sizeof table, 18, 20);
        isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
        isofuzz::Place(img, 18, table, sizeof table);
        isofuzz::Place(img, 20, data, size);
    }
    isofuzz::Analyze(img);
    return 0;
}
