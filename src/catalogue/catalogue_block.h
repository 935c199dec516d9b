// The catalogue keeps a disc's entries in blocks of up to kCatBlockEntries, each one compressed record: a
// disc of 90,000 entries is a few hundred rows and a few megabytes less to write than a row per entry.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CatalogueEntry;

constexpr size_t kCatBlockEntries = 256;

// `entries` as a block's bytes.
std::string Cat_EncodeBlock(std::span<const CatalogueEntry> entries);
// Appends the `count` entries of a block's bytes to `entries`; false (and nothing appended) for bytes that
// are no such block.
bool Cat_DecodeBlock(std::string_view bytes, size_t count, std::vector<CatalogueEntry>& entries);
