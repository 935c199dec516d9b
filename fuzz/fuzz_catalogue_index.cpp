// A page of the catalogue's index as a damaged file may hold it (the first eight bytes are the row's first
// trigram): every list the cursor gives is decoded or refused; a list that decodes is written again and
// decodes to the same groups, and asking it about groups gives the groups it holds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/index_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    uint64_t first = 0;
    for (int i = 0; i < 8; ++i)
        first = first << 8 | data[i];
    const std::string_view page(reinterpret_cast<const char*>(data + 8), size - 8);
    IndexPageCursor cursor(page, first);
    uint64_t gram = 0, last = 0;
    std::string_view list;
    bool started = false;
    while (cursor.Next(gram, list) == IndexPageCursor::kList) {
        if (started && gram <= last)
            std::abort(); // trigrams only go up
        started = true;
        last = gram;
        std::string_view found;
        if (IndexPage_Find(page, first, gram, found) != IndexPageCursor::kList || found != list)
            std::abort();
        std::vector<int64_t> groups;
        if (!IndexList_Decode(list, groups) || groups.size() > 1u << 16)
            continue;
        if (!std::is_sorted(groups.begin(), groups.end()) ||
            std::adjacent_find(groups.begin(), groups.end()) != groups.end())
            continue; // a damaged list may repeat a group; a search only loses time on it
        std::string again;
        IndexList_Encode(groups, again);
        std::vector<int64_t> back;
        if (!IndexList_Decode(again, back) || back != groups)
            std::abort();
        // Asked about every group and its neighbours, the list keeps exactly its own.
        std::vector<int64_t> asked;
        for (int64_t g : groups)
            for (int64_t d : {-1, 0, 1})
                if (g + d >= 0 && (asked.empty() || asked.back() < g + d))
                    asked.push_back(g + d);
        if (!IndexList_Filter(again, asked) || asked != groups)
            std::abort();
    }
    return 0;
}
