// Fuzzes the CD-TEXT pack reader: arbitrary bytes as a drive's or an image's packs, the text read made into
// packs again and read back, and the names Save to Disc would propose from it.
#include <cstdint>
#include <span>

#include "cdtext/cd_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ckvd::cdtext;
    const DiscText text = ReadPacks(std::span<const uint8_t>(data, size));
    const std::vector<uint8_t> packs = MakePacks(text, 1, 99);
    const DiscText again = ReadPacks(packs);
    // Packs the writer made carry their CRC and hold whole strings: nothing of them is passed over.
    if (!again.notes.empty())
        __builtin_trap();
    for (uint8_t n = 0; n <= 99; ++n)
        (void)TrackFileName(&text, n);
    return 0;
}
