// The index's lists and pages byte by byte, as the layout in index_list.h states them, and damaged bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/index_list.h"

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b)
        s += char(c);
    return s;
}

std::string Encoded(const std::vector<int64_t>& groups) {
    std::string out;
    IndexList_Encode(groups, out);
    return out;
}

TEST(IndexList, SparseGroupsAreDeltasAndDenseOnesABitmap) {
    // Kind 0, then 3, 300 - 3 = 297 (0xA9 0x02), 70000 - 300 = 69700 (0xC4 0xA0 0x04).
    EXPECT_EQ(Encoded({3, 300, 70000}), Bytes({0, 3, 0xA9, 0x02, 0xC4, 0xA0, 0x04}));
    // Kind 1, the first group 200 (0xC8 0x01), a bit for each of 200..211: all but 202 and 204.
    EXPECT_EQ(Encoded({200, 201, 203, 205, 206, 207, 208, 209, 210, 211}),
              Bytes({1, 0xC8, 0x01, 0xEB, 0x0F}));
    EXPECT_EQ(Encoded({}), Bytes({0}));
}

TEST(IndexList, ListsDecodeAndAnswerForTheirGroups) {
    const std::vector<std::vector<int64_t>> cases = {
        {}, {0}, {5, 6, 7, 8, 9, 10, 11, 12, 13}, {1, 1000000, 1000001}, {int64_t(1) << 40}};
    for (const std::vector<int64_t>& groups : cases) {
        const std::string list = Encoded(groups);
        std::vector<int64_t> back;
        ASSERT_TRUE(IndexList_Decode(list, back));
        EXPECT_EQ(back, groups);
        std::vector<int64_t> asked = {0, 4, 6, 9, 13, 14, 999999, 1000001, int64_t(1) << 40};
        ASSERT_TRUE(IndexList_Filter(list, asked));
        std::vector<int64_t> held;
        for (int64_t g : std::vector<int64_t>{0, 4, 6, 9, 13, 14, 999999, 1000001, int64_t(1) << 40})
            if (std::find(groups.begin(), groups.end(), g) != groups.end())
                held.push_back(g);
        EXPECT_EQ(asked, held);
    }
}

TEST(IndexList, DamagedListsAreRefused) {
    std::vector<int64_t> out;
    EXPECT_FALSE(IndexList_Decode("", out));               // no kind
    EXPECT_FALSE(IndexList_Decode(Bytes({2, 1}), out));    // an unknown kind
    EXPECT_FALSE(IndexList_Decode(Bytes({0, 0x80}), out)); // a varint cut short
    EXPECT_FALSE(IndexList_Decode(Bytes({1}), out));       // a bitmap without its start
    EXPECT_FALSE(IndexList_Decode(Bytes({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),
                                  out)); // past 64 bits
    EXPECT_FALSE(IndexList_Decode(Bytes({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1}),
                                  out)); // past the largest group
    std::vector<int64_t> asked = {1};
    EXPECT_FALSE(IndexList_Filter(Bytes({3}), asked));
}

TEST(IndexPage, ListsAreFoundByTheirTrigrams) {
    std::string page;
    IndexPage_Put(1000, 1000, Bytes({0, 4}), page);
    IndexPage_Put(1003, 1000, Bytes({0, 1, 1}), page);
    // The first trigram's distance 0 and length 2, then distance 3 and length 3.
    EXPECT_EQ(page, Bytes({0, 2, 0, 4, 3, 3, 0, 1, 1}));
    std::string_view list;
    EXPECT_EQ(IndexPage_Find(page, 1000, 1003, list), IndexPageCursor::kList);
    EXPECT_EQ(list, Bytes({0, 1, 1}));
    EXPECT_EQ(IndexPage_Find(page, 1000, 1001, list), IndexPageCursor::kEnd);
    EXPECT_EQ(IndexPage_Find(page, 1000, 2000, list), IndexPageCursor::kEnd);
}

TEST(IndexPage, DamagedPagesAreRefused) {
    std::string_view list;
    // A first list that is not at the page's own trigram, a second at the same trigram as the first, a
    // length past the page's end.
    for (const std::string& page : {Bytes({1, 1, 0}), Bytes({0, 1, 0, 0, 1, 0}), Bytes({0, 9, 0})})
        EXPECT_EQ(IndexPage_Find(page, 7, 8, list), IndexPageCursor::kDamaged);
}

} // namespace
