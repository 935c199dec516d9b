// Case folding and trigrams. A group of entries gives the index each of its trigrams once, however often it
// has it: a disc of 90,000 entries has millions of trigrams but far fewer distinct ones per group, and the
// index's cost follows what it is given. They are taken apart from the database (on a second core while the
// disc is walked). The tokenizer of earlier versions' full-text index stays for their files' migration.
#include "catalogue/catalogue_text.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/fold_table.h"
#include "iso9660/iso9660.h"

namespace {

// Calls `f` with each character `c` folds to (fold_table): none for a diacritic that folds away.
template <class F> void FoldEach(uint32_t c, F f) {
    if (c < 0x80)
        return f(c >= 'A' && c <= 'Z' ? c + 32 : c);
    const uint16_t page = c < 0x110000 ? kFoldPageIndex[c >> 8] : 0;
    const uint16_t number = page ? kFoldPages[page][c & 0xFF] : 0;
    if (number == 0)
        return f(c);
    const uint32_t span = kFoldSpans[number];
    for (const uint32_t *p = kFoldChars + (span >> 5), *end = p + (span & 31); p != end; ++p)
        f(*p);
}

// A kana's voicing mark, which folding parts from its letter ("ガ" is "カ" and U+3099).
bool VoicingMark(uint32_t c) {
    return c == 0x3099 || c == 0x309A;
}
bool Kana(uint32_t c) {
    return c >= 0x3041 && c <= 0x30FF;
}

// The next code point of `text` at `at` (moved past it); a byte that starts no UTF-8 sequence, and an ASCII
// character written in more bytes, are U+FFFD: an ASCII character is always its own byte (Cat_Holds looks
// for ASCII texts byte by byte, and a NUL would end a token in the index document).
uint32_t Next(std::string_view text, size_t& at) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (b < 0x80) {
        ++at;
        return b;
    }
    // Two and three bytes (Latin, Greek, Cyrillic, kana, kanji) read here; the rest as Iso_DecodeUtf8 reads.
    const auto* p = reinterpret_cast<const uint8_t*>(text.data()) + at;
    const size_t left = text.size() - at;
    size_t n = 0;
    uint32_t c = 0;
    if ((b >> 5) == 0x06 && left >= 2 && (p[1] & 0xC0) == 0x80) {
        c = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        n = 2;
    } else if ((b >> 4) == 0x0E && left >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
        c = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        n = 3;
    } else {
        c = Iso_DecodeUtf8(p, left, &n);
    }
    at += n ? n : 1;
    return n && c >= 0x80 ? c : 0xFFFD;
}

// Trigrams seen in one document, each once: an open-addressing set of three 21-bit code points in 64 bits,
// emptied slot by slot after the document.
class TrigramSet {
  public:
    // True when `key` is new.
    bool Insert(uint64_t key) {
        if ((m_used.size() + 1) * 2 > m_slots.size())
            Grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t i = Hash(key) & mask;; i = (i + 1) & mask) {
            if (m_slots[i] == key)
                return false;
            if (m_slots[i] == 0) {
                m_slots[i] = key;
                m_used.push_back(i);
                return true;
            }
        }
    }
    void Clear() {
        for (size_t i : m_used)
            m_slots[i] = 0;
        m_used.clear();
    }

  private:
    static size_t Hash(uint64_t key) { return size_t((key * 0x9E3779B97F4A7C15ull) >> 20); }
    void Grow() {
        std::vector<uint64_t> keys;
        keys.reserve(m_used.size());
        for (size_t i : m_used)
            keys.push_back(m_slots[i]);
        m_slots.assign(std::max<size_t>(4096, m_slots.size() * 2), 0);
        m_used.clear();
        for (uint64_t k : keys)
            Insert(k);
    }
    std::vector<uint64_t> m_slots;
    std::vector<size_t> m_used;
};

// Three code points as one key, never 0 (the first is stored plus one).
uint64_t Key(uint32_t a, uint32_t b, uint32_t c) {
    return (uint64_t(a + 1) << 42) | (uint64_t(b) << 21) | c;
}

// Calls `each(key)` with every trigram of `text`; no trigram spans a kCatTextBreak.
template <class F> void EachTrigram(std::string_view text, F each) {
    uint32_t a = 0, b = 0;
    int have = 0;
    // Inlined at both calls below: this runs for every character of every name.
    const auto put = [&](uint32_t c) __attribute__((always_inline)) {
        if (have >= 2)
            each(Key(a, b, c));
        else
            ++have;
        a = b;
        b = c;
    };
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 0x80) {
            FoldEach(Next(text, at), put);
            continue;
        }
        ++at; // most names are ASCII: their bytes are taken here
        if (byte == kCatTextBreak)
            have = 0;
        else
            put(byte >= 'A' && byte <= 'Z' ? byte + 32u : byte);
    }
}

// `text`'s code points, folded, appended to `out`.
void FoldInto(std::string_view text, std::vector<uint32_t>& out) {
    for (size_t at = 0; at < text.size();)
        FoldEach(Next(text, at), [&](uint32_t c) { out.push_back(c); });
}

int TokenizerCreate(void*, const char**, int, Fts5Tokenizer** out) {
    static int instance; // the tokenizer keeps nothing of its own
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void TokenizerDelete(Fts5Tokenizer*) {}

// A document is the block's distinct trigrams, each ended by kCatTextBreak (Cat_IndexText); a query term is
// one trigram.
int Tokenize(Fts5Tokenizer*, void* context, int, const char* text, int length,
             int (*token)(void*, int, const char*, int, int, int)) {
    const std::string_view all(text, size_t(std::max(length, 0)));
    for (size_t at = 0; at < all.size();) {
        const size_t end = std::min(all.find(kCatTextBreak, at), all.size());
        if (end > at) {
            const int rc = token(context, 0, all.data() + at, int(end - at), int(at), int(end));
            if (rc != SQLITE_OK)
                return rc;
        }
        at = end + 1;
    }
    return SQLITE_OK;
}

} // namespace

std::vector<uint32_t> Cat_Folded(std::string_view text) {
    std::vector<uint32_t> out;
    FoldInto(text, out);
    return out;
}

bool Cat_Holds(std::string_view text, std::span<const uint32_t> folded) {
    if (folded.empty())
        return true;
    // ASCII letters fold to ASCII only, and no byte of another character is ASCII: a text of ASCII is
    // looked for byte by byte, and one found so in any text is there (a character beside it folds alone).
    if (std::all_of(folded.begin(), folded.end(), [](uint32_t c) { return c < 0x80; })) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        const size_t n = folded.size();
        for (size_t i = 0; i + n <= text.size(); ++i) {
            if (lower(text[i]) != char(folded[0]))
                continue;
            size_t k = 1;
            while (k < n && lower(text[i + k]) == char(folded[k]))
                ++k;
            if (k == n)
                return true;
        }
        // Only another character that folds to ASCII ("é" to "e") or to nothing (a diacritic joining the
        // letters beside it) can make a match the bytes do not show.
        bool joins = false;
        for (size_t at = 0; at < text.size() && !joins;) {
            if (static_cast<unsigned char>(text[at]) < 0x80) {
                ++at;
                continue;
            }
            bool ascii = false, none = true;
            FoldEach(Next(text, at), [&](uint32_t c) {
                none = false;
                ascii |= c < 0x80;
            });
            joins = none || ascii;
        }
        if (!joins)
            return false;
    }
    thread_local std::vector<uint32_t> chars;
    chars.clear();
    FoldInto(text, chars);
    // A match that ends on a kana must not leave its voicing mark behind: "カ" is not in "ガ".
    const bool kana = Kana(folded.back());
    for (auto at = chars.begin();; ++at) {
        at = std::search(at, chars.end(), folded.begin(), folded.end());
        if (at == chars.end())
            return false;
        const auto end = at + std::ptrdiff_t(folded.size());
        if (!kana || end == chars.end() || !VoicingMark(*end))
            return true;
    }
}

std::vector<uint64_t> Cat_TextGrams(std::span<const uint32_t> folded) {
    std::vector<uint64_t> out;
    for (size_t i = 0; i + 2 < folded.size(); ++i)
        out.push_back(Key(folded[i], folded[i + 1], folded[i + 2]));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

uint64_t Cat_MaskBit(uint64_t gram) {
    return uint64_t(1) << ((gram * 0x9E3779B97F4A7C15ull) >> 58);
}

uint64_t Cat_TextMask(std::span<const uint64_t> grams) {
    uint64_t mask = 0;
    for (uint64_t g : grams)
        mask |= Cat_MaskBit(g);
    return mask;
}

std::vector<uint64_t> Cat_IndexGrams(std::span<const CatalogueEntry> entries, std::vector<uint64_t>* masks) {
    thread_local TrigramSet seen;
    thread_local std::string piece;
    std::vector<uint64_t> grams;
    uint64_t folderMask = 0, mask = 0;
    uint64_t* into = &mask;
    const auto take = [&](uint64_t key) __attribute__((always_inline)) {
        *into |= Cat_MaskBit(key);
        if (seen.Insert(key))
            grams.push_back(key);
    };
    std::string_view folder = "\x01"; // no folder yet
    for (const CatalogueEntry& e : entries) {
        const std::string_view path = e.path;
        const size_t slash = path.rfind('/');
        const std::string_view dir =
            slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
        if (dir != folder) { // a folder's trigrams are taken once for all its entries
            folderMask = 0;
            into = &folderMask;
            EachTrigram(dir, take);
            folder = dir;
        }
        mask = folderMask;
        into = &mask;
        // The folder's last characters that fold to two or more, so that trigrams across the '/' are kept.
        size_t tail = dir.size();
        for (size_t n = 0; n < 2 && tail > 0;) {
            size_t at = --tail;
            while (tail > 0 && (static_cast<unsigned char>(dir[tail]) & 0xC0) == 0x80)
                at = --tail;
            FoldEach(Next(dir, at), [&](uint32_t) { ++n; });
        }
        piece.assign(dir.substr(tail)).append(path.substr(dir.size()));
        EachTrigram(piece, take);
        for (const std::string* tag : {&e.title, &e.artist, &e.album})
            EachTrigram(*tag, take);
        if (masks)
            masks->push_back(mask);
    }
    seen.Clear();
    return grams;
}

bool Cat_RegisterTokenizer(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &s, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_pointer(s, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(s);
    sqlite3_finalize(s);
    if (!api)
        return false;
    static fts5_tokenizer tokenizer{TokenizerCreate, TokenizerDelete, Tokenize};
    return api->xCreateTokenizer(api, "ckvd_trigram", nullptr, &tokenizer, nullptr) == SQLITE_OK;
}

bool Cat_EntryHolds(const CatalogueEntry& e, std::span<const uint32_t> folded) {
    return Cat_Holds(e.path, folded) || Cat_Holds(e.title, folded) || Cat_Holds(e.artist, folded) ||
           Cat_Holds(e.album, folded);
}

bool Cat_TakeHits(const CatalogueHit& disc, std::vector<CatalogueEntry>& entries,
                  std::span<const uint32_t> folded, size_t limit, std::vector<CatalogueHit>& hits,
                  const std::function<bool(size_t)>& may) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (hits.size() >= limit)
            return false;
        if ((!may || may(i)) && Cat_EntryHolds(entries[i], folded))
            hits.push_back({disc.number, disc.volume, disc.source, std::move(entries[i])});
    }
    return hits.size() < limit;
}
