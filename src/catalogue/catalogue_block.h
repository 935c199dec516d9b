// The catalogue keeps a disc's entries in blocks of up to kCatBlockEntries, each one compressed record: a
// disc of 90,000 entries is a few hundred rows and a few megabytes less to write than a row per entry.
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

// A block as it is stored: its bytes, its entry count, its index document and its entries' masks
// (Cat_IndexText).
struct CatalogueBlock {
    std::string bytes;
    size_t entries = 0;
    std::string text;
    std::string masks;
};
// Touches no database or disc, so that blocks can be made on another thread.
CatalogueBlock Cat_MakeBlock(std::span<const CatalogueEntry> entries);
// `entries` as blocks of kCatBlockEntries (the last one shorter).
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
