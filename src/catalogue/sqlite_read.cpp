// Reading the SQLite catalogue: the walk over blocks, search, the disc list.
#include "catalogue/catalogue_block.h"
#include "catalogue/sqlite_internal.h"

using namespace cat_internal;

// With `wanted`, a block none of whose entries' masks has its bits is passed over unread.
bool cat_internal::EachBlock(sqlite3* db, const std::string& path, const std::string& where,
                             const std::function<void(Statement&)>& bind, const BlockVisit& each,
                             std::string& error, const CatalogueMask* wanted) {
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
    // The blocks' ids in disc and block order first: the sort then carries no block bytes. A search, which
    // reads few of the blocks it names, takes their places from the small index rather than from the pages
    // of their bytes.
    Statement ids, one, maskOf;
    const std::string sql = std::string("SELECT b.id, b.entries FROM blocks b ") +
                            (wanted ? "INDEXED BY blocks_place " : "") + "JOIN discs d ON d.id = b.disc " +
                            where + " ORDER BY d.number, b.n";
    if (!ids.Prepare(db, sql.c_str()) ||
        !one.Prepare(db, "SELECT d.number, d.volume, d.source, b.data FROM blocks b "
                         "JOIN discs d ON d.id = b.disc WHERE b.id = ?") ||
        !maskOf.Prepare(db, "SELECT masks FROM block_masks WHERE id = ?")) {
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
        std::string_view masks;
        if (wanted && count > 0) {
            sqlite3_reset(maskOf.s);
            maskOf.Int(1, id);
            if (sqlite3_step(maskOf.s) == SQLITE_ROW) {
                masks = maskOf.ColumnBytes(0);
                size_t i = 0; // an entry past the masks' end holds them all: a damaged row hides nothing
                while (i < size_t(count) && !Cat_MaskHolds(masks, i, *wanted))
                    ++i;
                if (i == size_t(count))
                    continue;
            }
        }
        sqlite3_reset(one.s);
        one.Int(1, id);
        if (sqlite3_step(one.s) != SQLITE_ROW) {
            error = Message(db, path);
            return false;
        }
        disc.number = int(one.ColumnInt(0));
        disc.volume = one.ColumnText(1);
        disc.source = one.ColumnText(2);
        if (count < 0 || !Cat_DecodeBlock(one.ColumnBytes(3), size_t(count), entries)) {
            error = path + ": the file is damaged (a block of disc " + std::to_string(disc.number) +
                    " cannot be read)";
            return false;
        }
        if (!each(disc, entries, masks))
            break;
    }
    return true;
}

bool SqliteCatalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                             std::string& error) {
    hits.clear();
    const std::vector<uint32_t> folded = Cat_Folded(text);
    // The blocks that hold every trigram of the text; a text of one or two characters has none, and every
    // block is looked at.
    std::string match;
    for (const std::string& gram : Cat_Trigrams(folded)) {
        match += match.empty() ? "\"" : " AND \"";
        for (char c : gram)
            match += c == '"' ? std::string("\"\"") : std::string(1, c);
        match += '"';
    }
    // Within those blocks, the entries whose masks have the text's bits.
    const CatalogueMask mask = Cat_TextMask(folded);
    const auto check = [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries,
                           std::string_view masks) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (hits.size() >= limit)
                return false;
            CatalogueEntry& e = entries[i];
            if (Cat_MaskHolds(masks, i, mask) && Cat_EntryHolds(e, folded))
                hits.push_back({disc.number, disc.volume, disc.source, std::move(e)});
        }
        return hits.size() < limit;
    };
    if (match.empty())
        return EachBlock(
            m_db, m_path, "", [](Statement&) {}, check, error);
    return EachBlock(
        m_db, m_path, "WHERE b.id IN (SELECT rowid FROM block_text WHERE block_text MATCH ?)",
        [&](Statement& s) { s.Text(1, match); }, check, error, &mask);
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
    const auto visit = [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, std::string_view) {
        return each(disc, entries);
    };
    if (number < 0)
        return EachBlock(
            m_db, m_path, "", [](Statement&) {}, visit, error);
    return EachBlock(
        m_db, m_path, "WHERE d.number = ?", [&](Statement& s) { s.Int(1, number); }, visit, error);
}
