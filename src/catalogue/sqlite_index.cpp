// The catalogue's index in SQLite rows: segments of pages of lists (index_list.h), written by adds, merged
// level by level, read by searches and tallied by the check.
#include "catalogue/sqlite_index.h"

#include <algorithm>
#include <deque>
#include <string>

#include "catalogue/catalogue_block.h"
#include "catalogue/index_list.h"
#include "catalogue/sqlite_internal.h"

namespace cat_internal {

namespace {

// Three segments of one level are merged into one of the next: a search looks a trigram up once in each
// segment, and a catalogue of N discs has at most 2 log3(N) of them (4 at 1,000 discs). Two into one made
// the import a fifth slower for a segment or two less.
constexpr int kFanout = 3;
constexpr size_t kPageBytes = 2000; // a page of lists: one row, kept within its database page
constexpr const char* kDamaged = ": the file is damaged (a list of the index cannot be read)";

bool NewSegment(sqlite3* db, int level, int64_t& seg) {
    Statement s;
    if (!s.Prepare(db, "INSERT INTO segments(level) VALUES(?)"))
        return false;
    s.Int(1, level);
    if (sqlite3_step(s.s) != SQLITE_DONE)
        return false;
    seg = sqlite3_last_insert_rowid(db);
    return true;
}

// Lists in trigram order into the pages of one new segment.
class SegmentWriter {
  public:
    SegmentWriter(sqlite3* db, const std::string& path) : m_db(db), m_path(path) {}
    bool Open(int level, std::string& error) {
        if (NewSegment(m_db, level, m_seg) &&
            m_put.Prepare(m_db, "INSERT INTO postings(seg, first, page) VALUES(?, ?, ?)"))
            return true;
        error = Message(m_db, m_path);
        return false;
    }
    bool Put(uint64_t gram, std::string_view list, std::string& error) {
        if (!m_page.empty() && m_page.size() + list.size() > kPageBytes && !Flush(error))
            return false;
        if (m_page.empty())
            m_first = m_last = gram;
        IndexPage_Put(gram, m_last, list, m_page);
        m_last = gram;
        return true;
    }
    bool Flush(std::string& error) {
        if (m_page.empty())
            return true;
        sqlite3_reset(m_put.s);
        m_put.Int(1, m_seg);
        m_put.Int(2, int64_t(m_first));
        m_put.Blob(3, m_page);
        m_page.clear();
        if (sqlite3_step(m_put.s) == SQLITE_DONE)
            return true;
        error = Message(m_db, m_path);
        return false;
    }

  private:
    sqlite3* m_db;
    const std::string& m_path;
    Statement m_put;
    int64_t m_seg = 0;
    std::string m_page;
    uint64_t m_first = 0, m_last = 0;
};

// One segment's lists in trigram order, a page at a time.
class SegmentReader {
  public:
    bool Open(sqlite3* db, int64_t seg) {
        if (!m_rows.Prepare(db, "SELECT first, page FROM postings WHERE seg = ? ORDER BY first"))
            return false;
        m_rows.Int(1, seg);
        return true;
    }
    // kList with the next list (valid until the next call), kEnd, or kDamaged.
    IndexPageCursor::Step Next(uint64_t& gram, std::string_view& list) {
        for (;;) {
            const IndexPageCursor::Step step = m_cursor.Next(gram, list);
            if (step != IndexPageCursor::kEnd)
                return step;
            const int rc = sqlite3_step(m_rows.s);
            if (rc == SQLITE_DONE)
                return IndexPageCursor::kEnd;
            if (rc != SQLITE_ROW)
                return IndexPageCursor::kDamaged;
            m_page = m_rows.ColumnBytes(1);
            m_cursor = IndexPageCursor(m_page, uint64_t(m_rows.ColumnInt(0)));
        }
    }

  private:
    Statement m_rows;
    std::string m_page;
    IndexPageCursor m_cursor{{}, 0};
};

bool Column(sqlite3* db, const std::string& path, const char* sql, int bind, std::vector<int64_t>& out,
            std::string& error) {
    Statement s;
    if (!s.Prepare(db, sql)) {
        error = Message(db, path);
        return false;
    }
    if (bind >= 0)
        s.Int(1, bind);
    return EachRow(
        db, path, s, [&] { out.push_back(s.ColumnInt(0)); }, error);
}

bool LiveBlocks(sqlite3* db, const std::string& path, std::vector<int64_t>& live, std::string& error) {
    return Column(db, path, "SELECT id FROM blocks ORDER BY id", -1, live, error);
}

// The blocks still there, asked about for every group of every list a merge or a check reads: a bit each
// where their ids are few enough (they count up from 1), else a search of the sorted ids.
class LiveSet {
  public:
    explicit LiveSet(const std::vector<int64_t>& ids) : m_ids(ids) {
        if (!ids.empty() && ids.front() >= 0 && ids.back() < (int64_t(1) << 28)) {
            m_bits.assign(size_t(ids.back()) + 1, false);
            for (int64_t id : ids)
                m_bits[size_t(id)] = true;
        }
    }
    bool HasGroup(int64_t group) const {
        const int64_t block = group / int64_t(kCatGroups);
        if (!m_bits.empty())
            return block >= 0 && size_t(block) < m_bits.size() && m_bits[size_t(block)];
        return std::binary_search(m_ids.begin(), m_ids.end(), block);
    }

  private:
    const std::vector<int64_t>& m_ids;
    std::vector<bool> m_bits;
};

struct Head {
    uint64_t gram = 0;
    std::string_view list;
    bool more = false;
};

// `segs` merged into one new segment of `level`: each trigram's lists joined, the groups of blocks not in
// `live` (sorted) left out, the segments read side by side a page at a time.
bool Merge(sqlite3* db, const std::string& path, const std::vector<int64_t>& segs, int level,
           const std::vector<int64_t>& live, std::string& error) {
    std::deque<SegmentReader> readers(segs.size());
    std::vector<Head> heads(segs.size());
    SegmentWriter out(db, path);
    if (!out.Open(level, error))
        return false;
    const auto advance = [&](size_t i) {
        const IndexPageCursor::Step step = readers[i].Next(heads[i].gram, heads[i].list);
        heads[i].more = step == IndexPageCursor::kList;
        return step != IndexPageCursor::kDamaged;
    };
    for (size_t i = 0; i < segs.size(); ++i)
        if (!readers[i].Open(db, segs[i]) || !advance(i)) {
            error = path + kDamaged;
            return false;
        }
    const LiveSet alive(live);
    std::vector<int64_t> groups, kept;
    std::string list;
    for (;;) {
        uint64_t gram = UINT64_MAX;
        bool any = false;
        for (const Head& h : heads)
            if (h.more) {
                gram = std::min(gram, h.gram);
                any = true;
            }
        if (!any)
            break;
        groups.clear();
        for (size_t i = 0; i < heads.size(); ++i)
            if (heads[i].more && heads[i].gram == gram &&
                (!IndexList_Decode(heads[i].list, groups) || !advance(i))) {
                error = path + kDamaged;
                return false;
            }
        // Segments of one level hold groups of adds one after another: their lists, taken in the segments'
        // order, are in order already.
        if (!std::is_sorted(groups.begin(), groups.end()))
            std::sort(groups.begin(), groups.end());
        kept.clear();
        for (int64_t g : groups)
            if ((kept.empty() || kept.back() != g) && alive.HasGroup(g))
                kept.push_back(g);
        if (kept.empty())
            continue;
        list.clear();
        IndexList_Encode(kept, list);
        if (!out.Put(gram, list, error))
            return false;
    }
    if (!out.Flush(error))
        return false;
    Statement drop; // their pages go with them (ON DELETE CASCADE)
    if (!drop.Prepare(db, "DELETE FROM segments WHERE seg = ?")) {
        error = Message(db, path);
        return false;
    }
    for (int64_t s : segs) {
        sqlite3_reset(drop.s);
        drop.Int(1, s);
        if (sqlite3_step(drop.s) != SQLITE_DONE) {
            error = Message(db, path);
            return false;
        }
    }
    return true;
}

} // namespace

uint64_t Index_PairHash(uint64_t gram, int64_t group) {
    const unsigned __int128 m = static_cast<unsigned __int128>(gram ^ 0x9E3779B97F4A7C15ull) *
                                (uint64_t(group) * 0xA0761D6478BD642Full + 1);
    return uint64_t(m >> 64) ^ uint64_t(m);
}

bool IndexLists::Write(sqlite3* db, const std::string& path, std::string& error) {
    if (m_lists.empty())
        return true;
    // In trigram order.
    std::vector<std::pair<uint64_t, const IndexListBuilder*>> lists;
    lists.reserve(m_lists.size());
    for (const auto& [gram, built] : m_lists)
        lists.emplace_back(gram, &built);
    std::sort(lists.begin(), lists.end());
    std::sort(m_late.begin(), m_late.end());
    SegmentWriter out(db, path);
    if (!out.Open(0, error))
        return false;
    std::string list;
    std::vector<int64_t> groups;
    auto late = m_late.begin();
    for (const auto& [gram, built] : lists) {
        list.clear();
        built->Finish(list);
        if (late != m_late.end() && late->first == gram) { // its groups out of order joined in
            groups.clear();
            IndexList_Decode(list, groups);
            for (; late != m_late.end() && late->first == gram; ++late)
                groups.push_back(late->second);
            std::sort(groups.begin(), groups.end());
            groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
            list.clear();
            IndexList_Encode(groups, list);
        }
        if (!out.Put(gram, list, error))
            return false;
    }
    m_lists.clear();
    m_late.clear();
    if (!out.Flush(error))
        return false;
    // A level with kFanout segments becomes one of the next.
    std::vector<int64_t> live;
    for (int level = 0;; ++level) {
        std::vector<int64_t> segs;
        if (!Column(db, path, "SELECT seg FROM segments WHERE level = ? ORDER BY seg", level, segs, error))
            return false;
        if (segs.size() < size_t(kFanout))
            return true;
        if (live.empty() && !LiveBlocks(db, path, live, error))
            return false;
        if (!Merge(db, path, segs, level + 1, live, error))
            return false;
    }
}

bool Index_MergeAll(sqlite3* db, const std::string& path, std::string& error) {
    std::vector<int64_t> segs, live, levels;
    if (!Column(db, path, "SELECT seg FROM segments ORDER BY seg", -1, segs, error) ||
        !Column(db, path, "SELECT coalesce(max(level), 0) FROM segments", -1, levels, error) ||
        !LiveBlocks(db, path, live, error))
        return false;
    return segs.size() < 2 || Merge(db, path, segs, int(levels.empty() ? 0 : levels[0]), live, error);
}

namespace {

// The lists of `grams` (in key order) in segment `seg`, copied out of its pages; `lists` empty where the
// segment lacks one of them (none of its groups can hold the text); false for a failed read.
bool SegmentLists(sqlite3* db, const std::string& path, Statement& find, int64_t seg,
                  const std::vector<uint64_t>& grams, std::vector<std::string>& lists, std::string& error) {
    lists.assign(grams.size(), {});
    for (size_t k = 0; k < grams.size(); ++k) {
        sqlite3_reset(find.s);
        find.Int(1, seg);
        find.Int(2, int64_t(grams[k]));
        const int rc = sqlite3_step(find.s);
        std::string_view list;
        IndexPageCursor::Step step = IndexPageCursor::kEnd;
        if (rc == SQLITE_ROW)
            step = IndexPage_Find(find.ColumnBytes(1), uint64_t(find.ColumnInt(0)), grams[k], list);
        else if (rc != SQLITE_DONE) {
            error = Message(db, path);
            return false;
        }
        if (step == IndexPageCursor::kDamaged) {
            error = path + kDamaged;
            return false;
        }
        if (step == IndexPageCursor::kEnd) {
            lists.clear();
            return true;
        }
        lists[k] = list;
    }
    return true;
}

// The groups of one segment's `lists` holding every trigram: the shortest list decoded, the others only
// asked about its groups (a bitmap's bit each). The lists are read already: taking every one costs little,
// and each group it rules out is a block that is not read.
bool Intersect(std::vector<std::string>& lists, std::vector<int64_t>& groups) {
    std::sort(lists.begin(), lists.end(),
              [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    groups.clear();
    if (!IndexList_Decode(lists[0], groups))
        return false;
    for (size_t i = 1; i < lists.size() && !groups.empty(); ++i)
        if (!IndexList_Filter(lists[i], groups))
            return false;
    return true;
}

} // namespace

bool Index_Groups(sqlite3* db, const std::string& path, const std::vector<uint64_t>& grams,
                  std::vector<int64_t>& groups, std::string& error) {
    groups.clear();
    std::vector<int64_t> segs;
    Statement find;
    if (!Column(db, path, "SELECT seg FROM segments", -1, segs, error))
        return false;
    if (!find.Prepare(db, "SELECT first, page FROM postings WHERE seg = ? AND first <= ? "
                          "ORDER BY first DESC LIMIT 1")) {
        error = Message(db, path);
        return false;
    }
    // A group's lists are all in one segment: each segment is intersected on its own.
    std::vector<std::string> lists;
    std::vector<int64_t> found;
    for (int64_t seg : segs) {
        if (!SegmentLists(db, path, find, seg, grams, lists, error))
            return false;
        if (lists.empty())
            continue;
        if (!Intersect(lists, found)) {
            error = path + kDamaged;
            return false;
        }
        groups.insert(groups.end(), found.begin(), found.end());
    }
    std::sort(groups.begin(), groups.end());
    groups.erase(std::unique(groups.begin(), groups.end()), groups.end());
    return true;
}

bool Index_Tally(sqlite3* db, const std::string& path, const std::vector<int64_t>& live, uint64_t& pairs,
                 uint64_t& sum, std::string& error) {
    pairs = sum = 0;
    Statement s;
    if (!s.Prepare(db, "SELECT first, page FROM postings")) {
        error = Message(db, path);
        return false;
    }
    const LiveSet alive(live);
    std::vector<int64_t> groups;
    bool ok = true;
    if (!EachRow(
            db, path, s,
            [&] {
                IndexPageCursor cursor(s.ColumnBytes(1), uint64_t(s.ColumnInt(0)));
                uint64_t gram = 0;
                std::string_view list;
                IndexPageCursor::Step step;
                while (ok && (step = cursor.Next(gram, list)) == IndexPageCursor::kList) {
                    groups.clear();
                    ok = IndexList_Decode(list, groups);
                    for (int64_t g : groups)
                        if (alive.HasGroup(g)) {
                            ++pairs;
                            sum += Index_PairHash(gram, g);
                        }
                }
                ok = ok && step == IndexPageCursor::kEnd;
            },
            error))
        return false;
    if (!ok)
        error = path + kDamaged;
    return ok;
}

} // namespace cat_internal
