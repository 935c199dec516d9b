// What the files of the catalogue share: prepared statements, SQLite's failures in words, row walks and a
// disc's identity; not for other modules.
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
#include "catalogue/catalogue_text.h"

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

// What tells one disc from another: its volume name, TOC and every file's place (session, LBN and size).
// Only files, in any order: a disc's Rock Ridge names and its Joliet names (its report's) name the same files
// at the same places, in other orders and under directories of other extents, and are one disc.
class DiscKey {
  public:
    void Mix(const CatalogueEntry& e) {
        if (e.type != 'F')
            return;
        m_sum += Round(Round(0x243F6A8885A308D3ull, uint64_t(e.session) << 32 | e.lbn), e.size);
        ++m_files;
    }
    std::string Of(const CatalogueDisc& disc) const {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Round(m_sum, m_files)));
        return disc.volume + "\n" + disc.toc + "\n" + hex;
    }

  private:
    // One round of a multiply-and-fold mix (as in wyhash): every bit of the word reaches every bit of the
    // hash.
    static uint64_t Round(uint64_t h, uint64_t w) {
        const unsigned __int128 m = static_cast<unsigned __int128>(h ^ w) * 0x9E3779B97F4A7C15ull;
        return uint64_t(m >> 64) ^ uint64_t(m) ^ 0xA0761D6478BD642Full;
    }
    uint64_t m_sum = 0, m_files = 0;
};

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
// parameters bound by `bind`) picks, in disc and block order, until it returns false; a block that cannot be
// read fails the whole walk.
using BlockVisit =
    std::function<bool(const CatalogueHit&, std::vector<CatalogueEntry>&, std::string_view masks)>;

// With `wanted`, a block none of whose entries' masks has its bits is passed over unread.
bool EachBlock(sqlite3* db, const std::string& path, const std::string& where,
               const std::function<void(Statement&)>& bind, const BlockVisit& each, std::string& error,
               const CatalogueMask* wanted = nullptr);

} // namespace cat_internal
