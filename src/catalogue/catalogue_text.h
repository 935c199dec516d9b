// How the catalogue finds text: characters folded (one case, no diacritics, compatibility forms as their
// plain ones: "Ž" is "z", "ß" is "ss", "ς" is "σ", "ｶ" is "カ"), every run of three characters (a trigram) of
// a block's names, paths and tags in the full-text index once, and the check of a candidate entry against the
// text looked for.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct CatalogueEntry;

// Separates the texts of one index document: no trigram spans it, and no name or tag text holds it.
constexpr char kCatTextBreak = '\0';

// `text` as folded code points (a byte that is no UTF-8 is U+FFFD).
std::vector<uint32_t> Cat_Folded(std::string_view text);
// Whether `text`, folded, holds `folded` (from Cat_Folded), not ending between a kana and its voicing mark;
// an empty `folded` is held by every text.
bool Cat_Holds(std::string_view text, std::span<const uint32_t> folded);
// Whether the entry's path or one of its tag texts (title, artist, album) holds `folded`.
bool Cat_EntryHolds(const CatalogueEntry& e, std::span<const uint32_t> folded);
// The distinct trigrams of `folded`, each as its UTF-8 text, in the order they first appear.
std::vector<std::string> Cat_Trigrams(std::span<const uint32_t> folded);
// 96 bits standing for an entry's trigrams (a Bloom filter): an entry whose mask lacks a bit of the text's
// cannot hold the text, so a search checks few entries of a block the index names. A block's 256 masks
// (3,072 bytes) fit in one database page.
using CatalogueMask = std::array<uint32_t, 3>;

// A block's index document: the distinct trigrams of each folder's path, each entry's name with the two
// characters and '/' before it (so text that spans the folder and the name is found) and its tag texts,
// each trigram ended by kCatTextBreak. With `masks`, each entry's mask (of all those trigrams of its own)
// appended, 12 bytes an entry.
std::string Cat_IndexText(std::span<const CatalogueEntry> entries, std::string* masks = nullptr);
// The mask of the text's trigrams (all zero for a text of fewer than three characters).
CatalogueMask Cat_TextMask(std::span<const uint32_t> folded);
// Whether entry `entry`'s mask in `masks` has every bit of `wanted` (true past the masks' end).
bool Cat_MaskHolds(std::string_view masks, size_t entry, const CatalogueMask& wanted);
// Registers the "ckvd_trigram" tokenizer the index uses on `db`; false when the SQLite has no FTS5.
bool Cat_RegisterTokenizer(sqlite3* db);
