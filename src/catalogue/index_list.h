// The bytes of the catalogue's index: a trigram's list of groups, and a page of lists.
//
// A list is a kind byte, then either the groups' numbers as delta varints (kind 0: the first from zero) or a
// bitmap (kind 1: the first group as a varint, then a bit for it and each group after it) where that is
// shorter: a common trigram is in most groups, one bit each. A page holds lists in trigram order, each as
// its trigram's distance from the one before (from the page's first trigram for the first: zero), its
// length in bytes and its bytes. Every number read is checked: a damaged page is reported, never followed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// `groups` (sorted, distinct, not negative) as a list, appended to `out`.
void IndexList_Encode(const std::vector<int64_t>& groups, std::string& out);
// Appends the groups of `list` to `out` in order; false for bytes that are no list.
bool IndexList_Decode(std::string_view list, std::vector<int64_t>& out);
// Keeps of `groups` (sorted) those `list` holds, without decoding a bitmap; false for bytes that are no list.
bool IndexList_Filter(std::string_view list, std::vector<int64_t>& groups);

// A list built a group at a time, in order: its delta varints as they come, made a list when complete (a
// bitmap where that is shorter). An add keeps a byte or so a group this way where a vector takes eight.
class IndexListBuilder {
  public:
    // False for a group not after the last one (the caller keeps it aside).
    bool Add(int64_t group);
    void Finish(std::string& out) const;

  private:
    std::string m_deltas;
    int64_t m_first = -1, m_last = -1;
};

// Appends one list to a page.
void IndexPage_Put(uint64_t gram, uint64_t before, std::string_view list, std::string& page);

// Walks a page's lists in trigram order.
class IndexPageCursor {
  public:
    IndexPageCursor(std::string_view page, uint64_t first) : m_page(page), m_gram(first) {}
    enum Step { kList, kEnd, kDamaged };
    Step Next(uint64_t& gram, std::string_view& list);

  private:
    std::string_view m_page;
    uint64_t m_gram;
    size_t m_at = 0;
    bool m_started = false;
};

// The list of `gram` in a page that starts at `first`: kList, kEnd when the page has none, kDamaged.
IndexPageCursor::Step IndexPage_Find(std::string_view page, uint64_t first, uint64_t gram,
                                     std::string_view& list);
