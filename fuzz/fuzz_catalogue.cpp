// A catalogue block as a damaged catalogue file may hold it (the first two bytes are the row's entry count):
// the decoder checks every field; a block it takes is written again and reads back to the same entries; its
// texts go through the index document, which must name every trigram of each path, and the folding search.
#include <cstdint>
#include <cstdlib>
#include <set>
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
    // The index document names every trigram a search for any part of a path looks for (a NUL ends texts).
    const std::string document = Cat_IndexText(entries);
    std::set<std::string> indexed;
    for (size_t at = 0, end; (end = document.find('\0', at)) != std::string::npos; at = end + 1)
        indexed.insert(document.substr(at, end - at));
    for (const CatalogueEntry& e : entries) {
        if (!Cat_Holds(e.path, Cat_Folded(e.path)) || !Cat_Holds(e.title, Cat_Folded(e.title)))
            std::abort(); // every text holds itself, in any case
        const std::vector<uint32_t> folded = Cat_Folded(e.path);
        if (e.path.find('\0') == std::string::npos)
            for (const std::string& gram : Cat_Trigrams(folded))
                if (!indexed.count(gram))
                    std::abort();
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
