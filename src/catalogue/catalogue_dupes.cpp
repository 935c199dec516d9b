// Files held more than once across the catalogue: the same size and content hash, or (where a copy has no
// hash: a report's disc, a file past the size whose content is hashed) the same name and size; and songs of
// the same title and artist. Two walks over every block: the first counts each key's copies by a 64-bit
// digest (8 bytes a file, whatever the catalogue's size), the second keeps the copies of the keys seen twice.
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_store.h"
#include "platform/bytes/hex_text.h"

namespace {

enum class By { Content, NameAndSize, TitleAndArtist };

std::string_view Name(const std::string& path) {
    return std::string_view(path).substr(path.rfind('/') + 1);
}

// The keys an entry is found under, each with its kind.
template <class F> void Keys(const CatalogueEntry& e, F put) {
    if (e.type == 'F' && e.size > 0) {
        std::string key(reinterpret_cast<const char*>(&e.size), sizeof e.size);
        if (!e.hash.empty())
            put(By::Content, key + e.hash);
        else
            put(By::NameAndSize, key + std::string(Name(e.path)));
    }
    if (!e.title.empty())
        put(By::TitleAndArtist, e.title + '\0' + e.artist);
}

uint64_t Digest(By by, const std::string& key) {
    return std::hash<std::string_view>{}(key)*3 + uint64_t(by);
}

const char* ByText(By by) {
    return by == By::Content ? "content" : by == By::NameAndSize ? "name and size" : "title and artist";
}

} // namespace

bool Catalogue::Duplicates(std::vector<CatalogueDuplicate>& found, std::string& error) {
    found.clear();
    std::vector<uint64_t> digests;
    if (!Opened(error) ||
        !m_store->Blocks(
            -1,
            [&](const CatalogueHit&, std::vector<CatalogueEntry>& entries) {
                for (const CatalogueEntry& e : entries)
                    Keys(e, [&](By by, const std::string& key) { digests.push_back(Digest(by, key)); });
                return true;
            },
            error))
        return false;
    std::sort(digests.begin(), digests.end());
    std::vector<uint64_t> twice;
    for (size_t i = 1; i < digests.size(); ++i)
        if (digests[i] == digests[i - 1] && (twice.empty() || twice.back() != digests[i]))
            twice.push_back(digests[i]);
    digests = {};
    // By kind and key, with the places (disc and LBN) of the copies: the same file in two sessions of a
    // disc (each session's tree names it again) is one copy.
    struct Group {
        CatalogueDuplicate d;
        std::vector<std::pair<int, uint32_t>> places;
    };
    std::unordered_map<std::string, Group> groups;
    const bool read = m_store->Blocks(
        -1,
        [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries) {
            for (const CatalogueEntry& e : entries)
                Keys(e, [&](By by, const std::string& key) {
                    if (!std::binary_search(twice.begin(), twice.end(), Digest(by, key)))
                        return;
                    Group& group = groups[char('0' + int(by)) + key];
                    const std::pair<int, uint32_t> place(disc.number, e.lbn);
                    if (std::find(group.places.begin(), group.places.end(), place) != group.places.end())
                        return;
                    group.places.push_back(place);
                    CatalogueDuplicate& d = group.d;
                    if (d.copies.empty()) {
                        d.by = ByText(by);
                        d.name =
                            by == By::TitleAndArtist ? e.title + " / " + e.artist : std::string(Name(e.path));
                        d.size = by == By::TitleAndArtist ? 0 : e.size;
                        if (by == By::Content)
                            d.hash = bytes::HexText(e.hash.data(), e.hash.size());
                    }
                    d.copies.push_back({disc.number, disc.volume, e.session, e.path});
                });
            return true;
        },
        error);
    if (!read)
        return false;
    for (auto& [key, group] : groups)
        if (group.d.copies.size() > 1)
            found.push_back(std::move(group.d));
    // The most wasted bytes first; then by kind (content before names before titles) and name.
    std::sort(found.begin(), found.end(), [](const CatalogueDuplicate& a, const CatalogueDuplicate& b) {
        if (a.Wasted() != b.Wasted())
            return a.Wasted() > b.Wasted();
        if (a.by != b.by)
            return a.by < b.by;
        return a.name != b.name ? a.name < b.name : a.copies.front().number < b.copies.front().number;
    });
    return true;
}
