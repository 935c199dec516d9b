// Reading the SQLite catalogue: the walk over blocks, search, the disc list.
#include <unordered_map>

#include "catalogue/catalogue_block.h"
#include "catalogue/sqlite_index.h"
#include "catalogue/sqlite_internal.h"

using namespace cat_internal;

bool cat_internal::EachBlock(sqlite3* db, const std::string& path, const std::string& where,
                             const std::function<void(Statement&)>& bind, const BlockVisit& each,
                             std::string& error, const BlockWorth* worth) {
    // One read transaction for the whole walk: the blocks are those of one state of the file, and each
    // statement does not take and drop the file's locks again.
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = Message(db, path);
        return false;
    }
    struct EndRead {
        sqlite3* db;
        bool own;
        ~EndRead() { // after the statements below are finished
            if (own)
                sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }
    } endRead{db, own};
    // The blocks' ids in disc and block order first, from the small index of their places: the sort then
    // carries no block bytes.
    Statement ids, one;
    const std::string sql = "SELECT b.id, b.entries FROM blocks b INDEXED BY blocks_place JOIN discs d ON "
                            "d.id = b.disc " +
                            where + " ORDER BY d.number, b.n";
    if (!ids.Prepare(db, sql.c_str()) ||
        !one.Prepare(db, "SELECT d.number, d.volume, d.source, b.masks, b.data FROM blocks b "
                         "JOIN discs d ON d.id = b.disc WHERE b.id = ?")) {
        error = Message(db, path);
        return false;
    }
    bind(ids);
    std::vector<std::pair<int64_t, int64_t>> found; // each block's id and entry count
    if (!EachRow(
            db, path, ids, [&] { found.emplace_back(ids.ColumnInt(0), ids.ColumnInt(1)); }, error))
        return false;
    CatalogueHit disc;
    std::vector<CatalogueEntry> entries;
    for (const auto& [id, count] : found) {
        sqlite3_reset(one.s);
        one.Int(1, id);
        if (sqlite3_step(one.s) != SQLITE_ROW) {
            error = Message(db, path);
            return false;
        }
        if (worth && count >= 0 && !(*worth)(id, size_t(count), one.ColumnBytes(3)))
            continue;
        disc.number = int(one.ColumnInt(0));
        disc.volume = one.ColumnText(1);
        disc.source = one.ColumnText(2);
        if (count < 0 || !Cat_DecodeBlock(one.ColumnBytes(4), size_t(count), entries)) {
            error = path + ": the file is damaged (a block of disc " + std::to_string(disc.number) +
                    " cannot be read)";
            return false;
        }
        if (!each(disc, entries, id))
            break;
    }
    return true;
}

bool SqliteCatalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                             std::string& error) {
    const std::vector<uint32_t> folded = Cat_Folded(text);
    const std::vector<uint64_t> grams = Cat_TextGrams(folded);
    if (grams.empty()) // one or two characters: no trigram, every entry is checked
        return EachBlock(
            m_db, m_path, "", [](Statement&) {},
            [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, int64_t) {
                return Cat_TakeHits(disc, entries, folded, limit, hits);
            },
            error);
    // One read transaction: the groups found and the blocks read are of one state of the file.
    if (!Exec("BEGIN", error))
        return false;
    struct EndRead {
        sqlite3* db;
        ~EndRead() { sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); }
    } endRead{m_db};
    std::vector<int64_t> groups;
    if (!Index_Groups(m_db, m_path, grams, groups, error))
        return false;
    if (groups.empty())
        return true;
    std::unordered_map<int64_t, unsigned> found; // each block's groups
    std::string ids = "[";
    for (int64_t g : groups) {
        unsigned& bits = found[g / int64_t(kCatGroups)];
        if (!bits)
            (ids += std::to_string(g / int64_t(kCatGroups))) += ',';
        bits |= 1u << (g % int64_t(kCatGroups));
    }
    ids.back() = ']';
    // Within those groups, the entries whose masks have the text's bits; a block with none is not read.
    const uint64_t wanted = Cat_TextMask(grams);
    std::string_view masks;
    unsigned bits = 0;
    size_t group = 1; // the entries of each group of the block
    const auto may = [&](size_t i) { return (bits >> (i / group) & 1) && Cat_MaskHolds(masks, i, wanted); };
    const BlockWorth worth = [&](int64_t block, size_t count, std::string_view m) {
        masks = m;
        bits = found[block];
        group = Cat_GroupSize(count);
        for (size_t i = 0; i < count; ++i)
            if (may(i))
                return true;
        return false;
    };
    return EachBlock(
        m_db, m_path, "WHERE b.id IN (SELECT value FROM json_each(?))", [&](Statement& s) { s.Text(1, ids); },
        [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, int64_t) {
            return Cat_TakeHits(disc, entries, folded, limit, hits, may);
        },
        error, &worth);
}

bool SqliteCatalogue::Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) {
    discs.clear();
    Statement s;
    if (!s.Prepare(m_db, "SELECT number, volume, sessions, toc, comment, source, added, entries FROM discs "
                         "WHERE ?1 < 0 OR number = ?1 ORDER BY number")) {
        error = Message(m_db, m_path);
        return false;
    }
    s.Int(1, number);
    return EachRow(
        m_db, m_path, s,
        [&] {
            discs.push_back({int(s.ColumnInt(0)), s.ColumnText(1), int(s.ColumnInt(2)), s.ColumnText(3),
                             s.ColumnText(4), s.ColumnText(5), s.ColumnText(6), uint64_t(s.ColumnInt(7))});
        },
        error);
}

bool SqliteCatalogue::Blocks(int number, const CatalogueBlockVisit& each, std::string& error) {
    const auto visit = [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, int64_t) {
        return each(disc, entries);
    };
    if (number < 0)
        return EachBlock(
            m_db, m_path, "", [](Statement&) {}, visit, error);
    return EachBlock(
        m_db, m_path, "WHERE d.number = ?", [&](Statement& s) { s.Int(1, number); }, visit, error);
}
