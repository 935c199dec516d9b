// The catalogue keeps a disc's entries in blocks of up to kCatBlockEntries, each one compressed record that
// fills a database page: a disc of 90,000 entries is a few hundred rows and a few megabytes less to write
// than a row per entry.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "catalogue/catalogue.h"

constexpr size_t kCatBlockEntries = 256;
// A block's bytes and masks fill at most this much of a row: two rows to a database page (16 KB), so that a
// disc's last, short block shares its page with the next disc's first; nothing spilt into a page of its own
// (Cat_MakeBlocks takes fewer entries where they are long).
constexpr size_t kCatBlockBytes = 8000;
// The index names groups of a block's entries, kCatGroups to a block (a group's number is the block's id
// times kCatGroups plus the group, so that the numbers leave no gaps): a search then looks at the few groups
// that hold every trigram of its text, where a whole block held them by chance for a quarter of the blocks.
constexpr size_t kCatGroups = 8;
// The fewest entries a block is cut to, however long their texts.
constexpr size_t kCatGroupEntries = 32;
// The entries of each group of a block of `entries`: the last group may be shorter, or empty.
constexpr size_t Cat_GroupSize(size_t entries) {
    return entries == 0 ? 1 : (entries + kCatGroups - 1) / kCatGroups;
}

// A block as it is stored: its bytes, its entry count and the trigrams of each of its groups
// (Cat_IndexGrams).
struct CatalogueBlock {
    std::string bytes;
    size_t entries = 0;
    std::vector<std::vector<uint64_t>> grams;
    std::string masks; // each entry's mask (Cat_TextMask), 8 bytes little-endian
};
// The trigrams of each group of a block's `entries`; with `masks`, each entry's mask appended.
std::vector<std::vector<uint64_t>> Cat_GroupGrams(std::span<const CatalogueEntry> entries,
                                                  std::string* masks = nullptr);
// Whether entry `entry`'s mask in `masks` has every bit of `wanted` (true past the masks' end: a damaged
// row hides nothing).
bool Cat_MaskHolds(std::string_view masks, size_t entry, uint64_t wanted);
// `entries` as blocks of up to kCatBlockEntries that each fill at most kCatBlockBytes. Touches no database
// or disc, so that blocks can be made on another thread.
std::vector<CatalogueBlock> Cat_MakeBlocks(std::span<const CatalogueEntry> entries);

// Makes blocks on a second thread while the caller reads the entries of the next ones: one batch of blocks
// at a time in the making, so that the threads wake each other seldom (each wake-up costs tens of
// microseconds here, about a block's work). Without a thread to be had, Put makes the blocks itself.
class CatalogueBlockMaker {
  public:
    CatalogueBlockMaker();
    ~CatalogueBlockMaker();
    CatalogueBlockMaker(const CatalogueBlockMaker&) = delete;
    CatalogueBlockMaker& operator=(const CatalogueBlockMaker&) = delete;
    // Starts on `entries`, which stay the caller's and untouched until the blocks are taken; the blocks
    // made before must have been taken.
    void Put(std::span<const CatalogueEntry> entries);
    bool Busy() const { return m_busy; }
    // The blocks of the entries put last, once they are made.
    std::vector<CatalogueBlock> Take();

  private:
    void Run();
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::optional<std::span<const CatalogueEntry>> m_in;
    std::optional<std::vector<CatalogueBlock>> m_out;
    bool m_stop = false, m_busy = false;
    std::thread m_thread;
};

// `entries` as a block's bytes.
std::string Cat_EncodeBlock(std::span<const CatalogueEntry> entries);
// The `count` entries of a block's bytes into `entries` (its elements assigned over); false for bytes that
// are no such block.
bool Cat_DecodeBlock(std::string_view bytes, size_t count, std::vector<CatalogueEntry>& entries);
