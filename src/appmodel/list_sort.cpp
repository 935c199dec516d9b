#include "appmodel/list_sort.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <numeric>

#include "appmodel/recorded_date.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"

namespace {

struct CollatorClose {
    void operator()(UCollator* c) const { ucol_close(c); }
};

// The user's language's collation with numbers compared by value; null when ICU has none to give, and names
// are then compared byte by byte.
UCollator* NaturalCollator() {
    static const std::unique_ptr<UCollator, CollatorClose> collator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open("", &status);
        if (U_FAILURE(status))
            return std::unique_ptr<UCollator, CollatorClose>();
        ucol_setAttribute(c, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
        return std::unique_ptr<UCollator, CollatorClose>(c);
    }();
    return collator.get();
}

// Every name's collation key, one after another in `keys` (each ends with its zero byte), at `at[row]`.
void NameKeys(const std::vector<const FileEntry*>& entries, std::string& keys, std::vector<size_t>& at) {
    UCollator* collator = NaturalCollator();
    std::u16string text;
    std::string key;
    for (const FileEntry* e : entries) {
        const char* name = Iso_EntryName(e);
        at.push_back(keys.size());
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = 0;
        const int32_t bytes = static_cast<int32_t>(std::strlen(name));
        text.resize(static_cast<size_t>(bytes) + 1);
        u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, name, bytes, 0xFFFD,
                             nullptr, &status);
        if (!collator || U_FAILURE(status)) {
            keys.append(name).push_back('\0');
            continue;
        }
        key.resize(std::max<size_t>(key.size(), 64));
        int32_t needed =
            ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()),
                            static_cast<int32_t>(key.size()));
        if (needed > static_cast<int32_t>(key.size())) {
            key.resize(static_cast<size_t>(needed));
            needed = ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()),
                                     needed);
        }
        if (needed > 0)
            keys.append(key.data(), static_cast<size_t>(needed)); // its last byte is the key's zero
        else
            keys.push_back('\0');
    }
}

// A date as the moment it names; the oldest of all for none.
int64_t Moment(const FileEntry* e) {
    const uint8_t* date = e->type == 'F' ? e->date : Iso_DirectoryDate(e);
    const std::optional<RecordedDate> d = date ? RecordedDate_Of(date) : std::nullopt;
    return d ? RecordedDate_Seconds(*d) : std::numeric_limits<int64_t>::min();
}

// "." first, ".." next, then every other entry.
int Rank(const FileEntry* e) {
    const char* name = Iso_EntryName(e);
    return std::strcmp(name, ".") == 0 ? 0 : std::strcmp(name, "..") == 0 ? 1 : 2;
}

template <class Less>
void SortBy(const std::vector<const FileEntry*>& entries, bool descending, std::vector<uint32_t>& order,
            Less less) {
    std::vector<int> rank(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        rank[i] = Rank(entries[i]);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        if (rank[a] != rank[b])
            return rank[a] < rank[b];
        return descending ? less(b, a) : less(a, b);
    });
}

} // namespace

ListSort List_NextSort(const ListSort& current, int column) {
    if (current.column != column)
        return {column, false};
    return current.descending ? ListSort{} : ListSort{column, true};
}

void List_Sort(const std::vector<const FileEntry*>& entries, const ListSort& sort,
               std::vector<uint32_t>& order) {
    order.resize(entries.size());
    std::iota(order.begin(), order.end(), 0u);
    switch (sort.column) {
    case 0: {
        std::string keys;
        std::vector<size_t> at;
        keys.reserve(entries.size() * 24);
        at.reserve(entries.size());
        NameKeys(entries, keys, at);
        const char* base = keys.data();
        SortBy(entries, sort.descending, order,
               [&](uint32_t a, uint32_t b) { return std::strcmp(base + at[a], base + at[b]) < 0; });
        break;
    }
    case 1:
        SortBy(entries, sort.descending, order,
               [&](uint32_t a, uint32_t b) { return entries[a]->lbn < entries[b]->lbn; });
        break;
    case 2:
        SortBy(entries, sort.descending, order,
               [&](uint32_t a, uint32_t b) { return entries[a]->size < entries[b]->size; });
        break;
    case 3: {
        std::vector<int64_t> moments(entries.size());
        for (size_t i = 0; i < entries.size(); ++i)
            moments[i] = Moment(entries[i]);
        SortBy(entries, sort.descending, order,
               [&](uint32_t a, uint32_t b) { return moments[a] < moments[b]; });
        break;
    }
    case 4: { // an audio track's CD-TEXT title, byte by byte; rows without one first
        std::vector<std::string> titles(entries.size());
        for (size_t i = 0; i < entries.size(); ++i)
            if (const ckvd::cdtext::TrackText* t = Iso_TrackText(Iso_CdaTrackNumber(entries[i])))
                titles[i] = t->title;
        SortBy(entries, sort.descending, order,
               [&](uint32_t a, uint32_t b) { return titles[a] < titles[b]; });
        break;
    }
    default:
        break;
    }
}

bool List_ParseSort(const std::string& text, ListSort& sort) {
    static const char* const kNames[] = {"name", "lbn", "size", "date", "title"};
    const size_t colon = text.find(':');
    const std::string column = text.substr(0, colon);
    const std::string direction = colon == std::string::npos ? "" : text.substr(colon + 1);
    if (direction != "" && direction != "asc" && direction != "desc")
        return false;
    if (column == "disc" && direction.empty()) {
        sort = {};
        return true;
    }
    for (int c = 0; c < 5; ++c)
        if (column == kNames[c]) {
            sort = {c, direction == "desc"};
            return true;
        }
    return false;
}
