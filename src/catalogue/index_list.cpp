// Writing and reading the index's lists and pages (index_list.h).
#include "catalogue/index_list.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "platform/bytes/varint.h"

namespace {

enum Kind : char { kDeltas = 0, kBitmap = 1 };

using bytes::GetVarint;
using bytes::PutVarint;
using bytes::VarintSize;

constexpr uint64_t kMaxGroup = uint64_t(std::numeric_limits<int64_t>::max());

// Whether a bitmap of the groups first..last is shorter than their `deltas` bytes of varints.
bool BitmapShorter(int64_t first, int64_t last, size_t deltas) {
    return VarintSize(uint64_t(first)) + size_t((uint64_t(last - first) + 8) / 8) < deltas;
}

} // namespace

void IndexList_Encode(const std::vector<int64_t>& groups, std::string& out) {
    if (groups.empty()) {
        out += char(kDeltas);
        return;
    }
    size_t deltas = 0;
    int64_t last = 0;
    for (int64_t g : groups) {
        deltas += VarintSize(uint64_t(g - last));
        last = g;
    }
    if (BitmapShorter(groups.front(), groups.back(), deltas)) {
        const uint64_t span = uint64_t(groups.back() - groups.front()) + 1;
        out += char(kBitmap);
        PutVarint(uint64_t(groups.front()), out);
        const size_t start = out.size();
        out.append(size_t((span + 7) / 8), '\0');
        for (int64_t g : groups) {
            const uint64_t bit = uint64_t(g - groups.front());
            out[start + bit / 8] = char(static_cast<unsigned char>(out[start + bit / 8]) | (1u << (bit % 8)));
        }
        return;
    }
    out += char(kDeltas);
    last = 0;
    for (int64_t g : groups) {
        PutVarint(uint64_t(g - last), out);
        last = g;
    }
}

bool IndexList_Decode(std::string_view list, std::vector<int64_t>& out) {
    if (list.empty())
        return false;
    size_t at = 1;
    uint64_t v = 0;
    if (list[0] == kBitmap) {
        if (!GetVarint(list, at, v) || v > kMaxGroup || (list.size() - at) * 8 > kMaxGroup - v)
            return false;
        for (size_t i = at; i < list.size(); ++i)
            for (unsigned bits = static_cast<unsigned char>(list[i]); bits; bits &= bits - 1)
                out.push_back(int64_t(v + (i - at) * 8 + unsigned(std::countr_zero(bits))));
        return true;
    }
    if (list[0] != kDeltas)
        return false;
    uint64_t group = 0;
    while (at < list.size()) {
        if (!GetVarint(list, at, v) || v > kMaxGroup - group)
            return false;
        group += v;
        out.push_back(int64_t(group));
    }
    return true;
}

bool IndexList_Filter(std::string_view list, std::vector<int64_t>& groups) {
    if (list.empty())
        return false;
    size_t at = 1, kept = 0;
    uint64_t v = 0;
    if (list[0] == kBitmap) {
        if (!GetVarint(list, at, v) || v > kMaxGroup)
            return false;
        const std::string_view bits = list.substr(at);
        for (int64_t g : groups) {
            const uint64_t bit = uint64_t(g) - v;
            if (uint64_t(g) >= v && bit / 8 < bits.size() &&
                (static_cast<unsigned char>(bits[bit / 8]) >> (bit % 8) & 1))
                groups[kept++] = g;
        }
        groups.resize(kept);
        return true;
    }
    if (list[0] != kDeltas)
        return false;
    uint64_t group = 0;
    size_t next = 0; // the first of `groups` not yet passed
    while (at < list.size() && next < groups.size()) {
        if (!GetVarint(list, at, v) || v > kMaxGroup - group)
            return false;
        group += v;
        while (next < groups.size() && uint64_t(groups[next]) < group)
            ++next;
        if (next < groups.size() && uint64_t(groups[next]) == group)
            groups[kept++] = groups[next++];
    }
    groups.resize(kept);
    return true;
}

bool IndexListBuilder::Add(int64_t group) {
    if (group < 0 || group <= m_last)
        return false;
    PutVarint(uint64_t(group - std::max<int64_t>(m_last, 0)), m_deltas);
    if (m_first < 0)
        m_first = group;
    m_last = group;
    return true;
}

void IndexListBuilder::Finish(std::string& out) const {
    if (m_first < 0 || !BitmapShorter(m_first, m_last, m_deltas.size())) {
        out += char(kDeltas);
        out += m_deltas;
        return;
    }
    std::vector<int64_t> groups;
    IndexList_Decode(std::string(1, char(kDeltas)) + m_deltas, groups);
    IndexList_Encode(groups, out);
}

void IndexPage_Put(uint64_t gram, uint64_t before, std::string_view list, std::string& page) {
    PutVarint(gram - before, page);
    PutVarint(list.size(), page);
    page += list;
}

IndexPageCursor::Step IndexPageCursor::Next(uint64_t& gram, std::string_view& list) {
    if (m_at == m_page.size())
        return kEnd;
    uint64_t delta = 0, size = 0;
    if (!GetVarint(m_page, m_at, delta) || !GetVarint(m_page, m_at, size) || size > m_page.size() - m_at ||
        delta > std::numeric_limits<uint64_t>::max() - m_gram || (m_started && delta == 0) ||
        (!m_started && delta != 0))
        return kDamaged;
    m_started = true;
    m_gram += delta;
    gram = m_gram;
    list = m_page.substr(m_at, size_t(size));
    m_at += size_t(size);
    return kList;
}

IndexPageCursor::Step IndexPage_Find(std::string_view page, uint64_t first, uint64_t gram,
                                     std::string_view& list) {
    IndexPageCursor cursor(page, first);
    uint64_t at = 0;
    for (;;) {
        const IndexPageCursor::Step step = cursor.Next(at, list);
        if (step != IndexPageCursor::kList)
            return step;
        if (at == gram)
            return IndexPageCursor::kList;
        if (at > gram)
            return IndexPageCursor::kEnd;
    }
}
