// What the files of the SQLite catalogue share: prepared statements, SQLite's failures in words, row walks
// and a disc's identity; not for other modules.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_key.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/sqlite_catalogue.h"

namespace cat_internal {

struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
    bool Prepare(sqlite3* db, const char* sql) {
        return sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK;
    }
    void Text(int i, const std::string& v) {
        sqlite3_bind_text(s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    void Int(int i, int64_t v) { sqlite3_bind_int64(s, i, v); }
    void Blob(int i, const std::string& v) {
        sqlite3_bind_blob(s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    std::string_view ColumnBytes(int i) const {
        const void* b = sqlite3_column_blob(s, i);
        return b ? std::string_view(static_cast<const char*>(b), size_t(sqlite3_column_bytes(s, i)))
                 : std::string_view();
    }
    std::string ColumnText(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return t ? t : "";
    }
    int64_t ColumnInt(int i) const { return sqlite3_column_int64(s, i); }
};

std::string Message(sqlite3* db, const std::string& what);

// Reads through a mapping of the file: with 16 KB pages, each page copied into SQLite's cache would take a
// fresh page of memory, and a search touches a few hundred. An add maps nothing while it runs (the pages it
// reads would count as its memory), and maps the file again after.
constexpr const char* kMapTheFile = "PRAGMA mmap_size = 2147418112";

// Calls `each` with every row of `s`; false with the reason when a step fails.
template <class F>
bool EachRow(sqlite3* db, const std::string& path, Statement& s, F each, std::string& error) {
    int rc;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW)
        each();
    if (rc == SQLITE_DONE)
        return true;
    error = Message(db, path);
    return false;
}

// Calls `each` with the entries of every block the condition `where` (on blocks b and discs d, its
// parameters bound by `bind`) picks, with the block's id, in disc and block order, until it returns false; a
// block that cannot be read fails the whole walk.
using BlockVisit = std::function<bool(const CatalogueHit&, std::vector<CatalogueEntry>&, int64_t block)>;
// Whether a block is worth reading, from its id, entry count and entries' masks (read without its bytes).
using BlockWorth = std::function<bool(int64_t block, size_t entries, std::string_view masks)>;
bool EachBlock(sqlite3* db, const std::string& path, const std::string& where,
               const std::function<void(Statement&)>& bind, const BlockVisit& each, std::string& error,
               const BlockWorth* worth = nullptr);

} // namespace cat_internal
