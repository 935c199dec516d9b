// The catalogue's index in its SQLite file, laid out as a file-name index is: for each trigram the sorted
// numbers of the groups of entries (kCatGroupEntries) holding it, many trigrams' lists to a row (a page,
// index_list.h). Each add writes the lists of its own groups as a new segment, in its transaction; segments
// are merged eight at a time into one of the next level, so a search reads a few pages per trigram; a
// vacuum merges them all. A removed disc's groups stay in the lists until a merge drops them: a search
// finds no block for them.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>

#include "catalogue/index_list.h"
#include <vector>

namespace cat_internal {

// The lists of one add's groups, filled in group order.
class IndexLists {
  public:
    // Groups come in order (blocks are written in the order of their ids); one that does not is kept
    // aside and put in its place when the lists are written.
    void Add(int64_t group, const std::vector<uint64_t>& grams) {
        for (uint64_t g : grams)
            if (!m_lists[g].Add(group))
                m_late.emplace_back(g, group);
    }
    bool Empty() const { return m_lists.empty(); }
    // Written as a new segment (level 0) inside the caller's transaction; full levels merged after.
    bool Write(sqlite3* db, const std::string& path, std::string& error);

  private:
    std::unordered_map<uint64_t, IndexListBuilder> m_lists;
    std::vector<std::pair<uint64_t, int64_t>> m_late;
};

// Every segment merged into one, without the groups of blocks no longer there, inside the caller's
// transaction.
bool Index_MergeAll(sqlite3* db, const std::string& path, std::string& error);
// The groups that may hold every trigram of `grams` (sorted): once a few are left, the lists of the commonest
// trigrams are not read (the entries are checked against the text anyway).
bool Index_Groups(sqlite3* db, const std::string& path, const std::vector<uint64_t>& grams,
                  std::vector<int64_t>& groups, std::string& error);
// The number of (trigram, group) pairs of the lists and a sum of their hashes, counting only groups of
// blocks in `live` (sorted block ids): what the blocks' own trigrams must give.
bool Index_Tally(sqlite3* db, const std::string& path, const std::vector<int64_t>& live, uint64_t& pairs,
                 uint64_t& sum, std::string& error);
uint64_t Index_PairHash(uint64_t gram, int64_t group);

} // namespace cat_internal
