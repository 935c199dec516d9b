// A disc's identity in the catalogue: what tells one disc from another, the same in every store.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "catalogue/catalogue.h"

namespace cat_internal {

// What tells one disc from another: its volume name, TOC and every file's place (session, LBN and size).
// Only files, in any order: a disc's Rock Ridge names and its Joliet names (its report's) name the same files
// at the same places, in other orders and under directories of other extents, and are one disc.
class DiscKey {
  public:
    void Mix(const CatalogueEntry& e) {
        if (e.type != 'F')
            return;
        m_sum += Round(Round(0x243F6A8885A308D3ull, uint64_t(e.session) << 32 | e.lbn), e.size);
        ++m_files;
    }
    std::string Of(const CatalogueDisc& disc) const {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Round(m_sum, m_files)));
        return disc.volume + "\n" + disc.toc + "\n" + hex;
    }

  private:
    // One round of a multiply-and-fold mix (as in wyhash): every bit of the word reaches every bit of the
    // hash.
    static uint64_t Round(uint64_t h, uint64_t w) {
        const unsigned __int128 m = static_cast<unsigned __int128>(h ^ w) * 0x9E3779B97F4A7C15ull;
        return uint64_t(m >> 64) ^ uint64_t(m) ^ 0xA0761D6478BD642Full;
    }
    uint64_t m_sum = 0, m_files = 0;
};

} // namespace cat_internal
