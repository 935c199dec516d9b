// How the catalogue finds text: characters folded (one case, no diacritics, compatibility forms as their
// plain ones: "Ž" is "z", "ß" is "ss", "ς" is "σ", "ｶ" is "カ"), every run of three characters (a trigram) of
// a group's names, paths and tags in the index once, and the check of a candidate entry against the text
// looked for.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct CatalogueEntry;
struct CatalogueHit;

// Separates the texts of one index document: no trigram spans it, and no name or tag text holds it.
constexpr char kCatTextBreak = '\0';

// `text` as folded code points (a byte that is no UTF-8 is U+FFFD).
std::vector<uint32_t> Cat_Folded(std::string_view text);
// Whether `text`, folded, holds `folded` (from Cat_Folded), not ending between a kana and its voicing mark;
// an empty `folded` is held by every text.
bool Cat_Holds(std::string_view text, std::span<const uint32_t> folded);
// Whether the entry's path or one of its tag texts (title, artist, album) holds `folded`.
bool Cat_EntryHolds(const CatalogueEntry& e, std::span<const uint32_t> folded);
// Moves the entries of `entries` that `may` lets through (by their place) and that hold `folded` into `hits`,
// as hits on `disc`, until `hits` has `limit`; false once it has.
bool Cat_TakeHits(const CatalogueHit& disc, std::vector<CatalogueEntry>& entries,
                  std::span<const uint32_t> folded, size_t limit, std::vector<CatalogueHit>& hits,
                  const std::function<bool(size_t)>& may = {});
// The distinct trigrams of `folded`, each three code points as one key, in key order.
std::vector<uint64_t> Cat_TextGrams(std::span<const uint32_t> folded);
// The distinct trigrams of a group of entries, in the order first met: each folder's path, each entry's name
// with the two characters and '/' before it (so text that spans the folder and the name is found) and its tag
// texts. A search's text whose trigrams are not all here is in none of the group's entries. With `masks`,
// each entry's mask appended.
std::vector<uint64_t> Cat_IndexGrams(std::span<const CatalogueEntry> entries,
                                     std::vector<uint64_t>* masks = nullptr);
// 64 bits standing for an entry's trigrams, one bit each (a Bloom filter): an entry whose mask lacks a bit
// of the text's cannot hold the text, so a search checks few entries of the groups the index names. With
// some forty trigrams a name, a text of ten trigrams passes a wrong entry one time in a thousand.
uint64_t Cat_MaskBit(uint64_t gram);
uint64_t Cat_TextMask(std::span<const uint64_t> grams);
// Registers the "ckvd_trigram" tokenizer of earlier versions' index on `db` (their tables are dropped with
// it); false when the SQLite has no FTS5.
bool Cat_RegisterTokenizer(sqlite3* db);
