// A catalogue block as a damaged catalogue file may hold it (the first two bytes are the row's entry count):
// the decoder checks every field; a block it takes is written again and reads back to the same entries; its
// texts go through the index's trigrams of each group, which must name every trigram of each path, the
// entries' masks, which must have each path's bits, and the folding search.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_block.h"
#include "catalogue/catalogue_text.h"

namespace {

bool Same(const CatalogueEntry& a, const CatalogueEntry& b) {
    return a.session == b.session && a.path == b.path && a.type == b.type && a.lbn == b.lbn &&
           a.size == b.size && a.date == b.date && a.title == b.title && a.artist == b.artist &&
           a.album == b.album && a.codec == b.codec && a.bitrate == b.bitrate && a.sampling == b.sampling &&
           a.seconds == b.seconds && a.hash == b.hash;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t count = data[0] | size_t(data[1]) << 8;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 2), size - 2);
    std::vector<CatalogueEntry> entries;
    if (!Cat_DecodeBlock(bytes, count, entries))
        return 0;
    std::vector<CatalogueEntry> back;
    if (!Cat_DecodeBlock(Cat_EncodeBlock(entries), entries.size(), back) || back.size() != entries.size())
        std::abort();
    for (size_t i = 0; i < entries.size(); ++i)
        if (!Same(entries[i], back[i]))
            std::abort();
    // The groups' trigrams name every trigram a search for any part of a path looks for; each entry's mask
    // has the bits of its path's.
    std::string masks;
    std::vector<std::vector<uint64_t>> groups = Cat_GroupGrams(entries, &masks);
    for (std::vector<uint64_t>& g : groups)
        std::sort(g.begin(), g.end());
    if (masks.size() != 8 * entries.size())
        std::abort();
    const size_t group = Cat_GroupSize(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::vector<uint64_t> grams = Cat_TextGrams(Cat_Folded(entries[i].path));
        const std::vector<uint64_t>& indexed = groups.at(i / group);
        if (entries[i].path.find('\0') != std::string::npos) // a NUL ends a text of the index
            continue;
        if (!Cat_MaskHolds(masks, i, Cat_TextMask(grams)))
            std::abort();
        for (uint64_t g : grams)
            if (!std::binary_search(indexed.begin(), indexed.end(), g))
                std::abort();
    }
    for (const CatalogueEntry& e : entries) {
        if (!Cat_Holds(e.path, Cat_Folded(e.path)) || !Cat_Holds(e.title, Cat_Folded(e.title)))
            std::abort(); // every text holds itself, in any case
        const std::vector<uint32_t> folded = Cat_Folded(e.path);
        // Every part of the folded path is found in it, but one that parts a kana from its voicing mark.
        for (size_t from = 0, to = folded.size(); from < to; from += 1 + from / 2, to -= 1 + to / 3) {
            const bool parted = to < folded.size() && (folded[to] == 0x3099 || folded[to] == 0x309A) &&
                                folded[to - 1] >= 0x3041 && folded[to - 1] <= 0x30FF;
            if (!parted && !Cat_Holds(e.path, std::span(folded).subspan(from, to - from)))
                std::abort();
        }
    }
    return 0;
}
