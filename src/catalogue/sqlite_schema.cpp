// The catalogue's SQLite file: opening it, its schema and each version's migration, the online backup.
#include "catalogue/sqlite_catalogue.h"

#include <sys/stat.h>

#include "catalogue/catalogue_block.h"
#include "catalogue/sqlite_index.h"
#include "catalogue/sqlite_internal.h"

using namespace cat_internal;

namespace {

constexpr int kSchemaVersion = 5;
constexpr int kBusyMs = 3000; // a second writer waits this long, then the catalogue is busy

// Schema version 1: a row per entry, indexed by SQLite's trigram tokenizer with every trigram of every path.
constexpr const char* kSchema1 = R"(
CREATE TABLE discs(
  id INTEGER PRIMARY KEY, number INTEGER NOT NULL UNIQUE, volume TEXT NOT NULL, sessions INTEGER NOT NULL,
  toc TEXT NOT NULL, disc_key TEXT NOT NULL, comment TEXT NOT NULL, source TEXT NOT NULL, added TEXT NOT NULL);
CREATE INDEX discs_key ON discs(disc_key);
CREATE TABLE entries(
  id INTEGER PRIMARY KEY, disc INTEGER NOT NULL REFERENCES discs(id) ON DELETE CASCADE, session INTEGER NOT NULL,
  path TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL, lbn INTEGER NOT NULL, size INTEGER NOT NULL,
  date TEXT NOT NULL, title TEXT NOT NULL, artist TEXT NOT NULL, album TEXT NOT NULL, codec TEXT NOT NULL,
  bitrate INTEGER NOT NULL, sampling INTEGER NOT NULL, seconds INTEGER NOT NULL);
CREATE INDEX entries_disc ON entries(disc);
CREATE VIRTUAL TABLE entries_text USING fts5(
  path, title, artist, album, content='entries', content_rowid='id', tokenize='trigram', detail='none');
CREATE TABLE catalogue_info(key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT INTO catalogue_info VALUES('application', 'ckvd-explorer disc catalogue');
)";

// Version 2: a disc's entries in compressed blocks, each block's 96-bit masks of its entries' trigrams in a
// row of their own (read without the block); the index has a document per block holding each of its
// trigrams once (the ckvd_trigram tokenizer), and a search checks the entries of the blocks it names whose
// masks have the text's trigrams.
constexpr const char* kSchema2 = R"(
ALTER TABLE discs ADD COLUMN entries INTEGER NOT NULL DEFAULT 0;
CREATE TABLE blocks(
  id INTEGER PRIMARY KEY, disc INTEGER NOT NULL REFERENCES discs(id) ON DELETE CASCADE, n INTEGER NOT NULL,
  entries INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(disc, n));
CREATE TABLE block_masks(id INTEGER PRIMARY KEY REFERENCES blocks(id) ON DELETE CASCADE, masks BLOB NOT NULL);
CREATE VIRTUAL TABLE block_text USING fts5(
  text, content='', tokenize='ckvd_trigram', detail='none', columnsize=0);
)";

// Version 3: where each block is (its disc, its place, its entry count) in an index of its own, so that
// ordering the blocks a search names reads a few small pages instead of a page of block bytes for each.
constexpr const char* kSchema3 = "CREATE INDEX blocks_place ON blocks(id, disc, n, entries)";

// Version 4: texts are found without their diacritics and in any case of any script ("zlutoucky" in
// "Žluťoučký", "ς" as "σ", "ß" as "ss"); the index documents and masks are made again with that folding.

// Version 5: the index is lists of groups of entries for each trigram (sqlite_index.h), made again from the
// blocks, which get ids that are never used again (a removed block's groups stay in the lists until a
// merge), and each block's entries' masks in its row, before its bytes (read without them). Pages of lists
// are rows appended in order (which fills the file's pages), found through a small index.
constexpr const char* kSchema5 = R"(
DROP TABLE block_text;
DROP TABLE block_masks;
CREATE TABLE blocks5(
  id INTEGER PRIMARY KEY AUTOINCREMENT, disc INTEGER NOT NULL REFERENCES discs(id) ON DELETE CASCADE,
  n INTEGER NOT NULL, entries INTEGER NOT NULL, masks BLOB NOT NULL, data BLOB NOT NULL, UNIQUE(disc, n));
INSERT INTO blocks5 SELECT id, disc, n, entries, x'', data FROM blocks;
DROP TABLE blocks;
ALTER TABLE blocks5 RENAME TO blocks;
CREATE INDEX blocks_place ON blocks(id, disc, n, entries);
CREATE TABLE segments(seg INTEGER PRIMARY KEY, level INTEGER NOT NULL);
CREATE TABLE postings(
  id INTEGER PRIMARY KEY, seg INTEGER NOT NULL REFERENCES segments(seg) ON DELETE CASCADE,
  first INTEGER NOT NULL, page BLOB NOT NULL);
CREATE UNIQUE INDEX postings_at ON postings(seg, first);
)";

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

} // namespace

std::string cat_internal::Message(sqlite3* db, const std::string& what) {
    const int code = sqlite3_errcode(db);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return what + ": the catalogue is busy (another program is writing to it); try again";
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
        return what + ": the file is damaged or no catalogue";
    return what + ": " + sqlite3_errmsg(db);
}

SqliteCatalogue::~SqliteCatalogue() {
    FinishStatements();
    sqlite3_close(m_db);
}

bool SqliteCatalogue::Exec(const char* sql, std::string& error) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error = Message(m_db, m_path);
    return false;
}

void SqliteCatalogue::Rollback() {
    std::string ignored; // the failure that led here is the one worth telling
    Exec("ROLLBACK", ignored);
}

bool SqliteCatalogue::Open(const std::string& path, bool create, std::string& error) {
    FinishStatements();
    sqlite3_close(m_db);
    m_db = nullptr;
    m_path = path;
    struct stat st {};
    if (!create && ::stat(path.c_str(), &st) != 0) {
        error = "no catalogue at " + path;
        return false;
    }
    if (create)
        MakeFolders(path);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0),
                        nullptr) != SQLITE_OK) {
        error = Message(m_db, path);
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    // From the schema on (kMapTheFile); without a mapping the reads go through SQLite's cache.
    sqlite3_exec(m_db, kMapTheFile, nullptr, nullptr, nullptr);
    // An empty file is no catalogue until an add makes it one (nothing here writes to it before).
    int version = 0, tables = 0;
    if (!create && !ReadVersion(version, tables, error))
        return false;
    if (!create && version == 0 && tables == 0) {
        error = "no catalogue at " + path;
        return false;
    }
    // In WAL mode a commit needs no sync of the database file: a crash keeps it whole, at worst without the
    // last transaction.
    // A new file gets pages of 16 KB (a file there keeps its own): two blocks fill one (kCatBlockBytes), and
    // a large disc's add writes a quarter of the pages, each a call, that it would at 4 KB.
    return Exec("PRAGMA page_size = 16384", error) && Exec("PRAGMA foreign_keys = ON", error) &&
           UseWal(error) && Exec("PRAGMA synchronous = NORMAL", error) && Migrate(error);
}

bool SqliteCatalogue::UseWal(std::string& error) {
    // Two programs opening a new file at the same moment both switch it to WAL, and SQLite turns one away
    // at once rather than wait (which could deadlock): that one tries again within the busy wait.
    for (int waited = 0;; waited += 10) {
        if (sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        if (sqlite3_errcode(m_db) != SQLITE_BUSY || waited >= kBusyMs) {
            error = Message(m_db, m_path);
            return false;
        }
        sqlite3_sleep(10);
    }
}

bool SqliteCatalogue::ReadVersion(int& version, int& tables, std::string& error) {
    Statement v;
    if (!v.Prepare(m_db,
                   "SELECT (SELECT user_version FROM pragma_user_version), count(*) FROM sqlite_master") ||
        sqlite3_step(v.s) != SQLITE_ROW) {
        error = Message(m_db, m_path);
        return false;
    }
    version = int(v.ColumnInt(0));
    tables = int(v.ColumnInt(1));
    return true;
}

bool SqliteCatalogue::Recognise(int version, int tables, std::string& error) {
    if (version > kSchemaVersion) {
        error =
            m_path + ": written by a newer version of the catalogue (schema " + std::to_string(version) + ")";
        return false;
    }
    if (version == 0) { // a new file, or one of another program's, which is not touched
        if (tables == 0)
            return true;
        error = m_path + ": a database of another program, no catalogue";
        return false;
    }
    Statement app;
    if (!app.Prepare(m_db, "SELECT value FROM catalogue_info WHERE key = 'application'") ||
        sqlite3_step(app.s) != SQLITE_ROW) {
        error = m_path + ": the file is damaged or no catalogue";
        return false;
    }
    return true;
}

bool SqliteCatalogue::Migrate(std::string& error) {
    int version = 0, tables = 0;
    if (!ReadVersion(version, tables, error) || !Recognise(version, tables, error))
        return false;
    if (version == kSchemaVersion)
        return true;
    // The versions before 5 kept a full-text index, made and dropped through its tokenizer.
    if (!Cat_RegisterTokenizer(m_db)) {
        error = m_path + ": this SQLite has no full-text search (FTS5)";
        return false;
    }
    // Every change is one transaction that holds the write lock from its start, and the version is read
    // again inside it: a second program making the same new file at the same moment waits here, then finds
    // the tables made. A new file is made as version 1 and brought up like any other.
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    const bool ok = ReadVersion(version, tables, error) && Recognise(version, tables, error) &&
                    (version >= 1 || Exec(kSchema1, error)) && (version >= 2 || Exec(kSchema2, error)) &&
                    (version >= 3 || Exec(kSchema3, error)) && (version >= 5 || Exec(kSchema5, error)) &&
                    (version >= 2 || ToVersion2(error)) && (version >= 5 || Reindex(error)) &&
                    Exec("PRAGMA user_version = 5", error);
    if (!ok) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error);
}

bool SqliteCatalogue::Reindex(std::string& error) {
    // The lists made from every block's groups, written a segment every few thousand blocks (the add's own
    // merging keeps them few), and every disc's key. A block that cannot be read is left out of both.
    constexpr size_t kSegmentBlocks = 128;
    Statement blocks, putMasks;
    if (!blocks.Prepare(m_db, "SELECT id, entries, data, disc FROM blocks ORDER BY id") ||
        !putMasks.Prepare(m_db, "UPDATE blocks SET masks = ? WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    m_lists = {};
    std::string masks;
    std::vector<CatalogueEntry> entries;
    std::map<int64_t, DiscKey> keys;
    size_t inSegment = 0;
    bool ok = true;
    const bool read = EachRow(
        m_db, m_path, blocks,
        [&] {
            const int64_t count = blocks.ColumnInt(1);
            if (!ok || count < 0 || !Cat_DecodeBlock(blocks.ColumnBytes(2), size_t(count), entries))
                return;
            DiscKey& key = keys[blocks.ColumnInt(3)];
            for (const CatalogueEntry& e : entries)
                key.Mix(e);
            const int64_t id = blocks.ColumnInt(0);
            int64_t group = id * int64_t(kCatGroups);
            masks.clear();
            for (const std::vector<uint64_t>& grams : Cat_GroupGrams(entries, &masks))
                m_lists.Add(group++, grams);
            sqlite3_reset(putMasks.s);
            putMasks.Blob(1, masks);
            putMasks.Int(2, id);
            if (sqlite3_step(putMasks.s) != SQLITE_DONE) {
                error = Message(m_db, m_path);
                ok = false;
                return;
            }
            if (++inSegment == kSegmentBlocks) {
                ok = m_lists.Write(m_db, m_path, error);
                inSegment = 0;
            }
        },
        error);
    return read && ok && m_lists.Write(m_db, m_path, error) && Rekey(keys, error);
}

bool SqliteCatalogue::DiscIdentities(Statement& discs, std::vector<std::pair<int64_t, CatalogueDisc>>& ids,
                                     std::string& error) {
    // Each disc (`discs` selects id, volume and TOC) with what its key is made of.
    return EachRow(
        m_db, m_path, discs,
        [&] {
            CatalogueDisc d;
            d.volume = discs.ColumnText(1);
            d.toc = discs.ColumnText(2);
            ids.emplace_back(discs.ColumnInt(0), d);
        },
        error);
}

bool SqliteCatalogue::Rekey(const std::map<int64_t, DiscKey>& keys, std::string& error) {
    Statement discs, update;
    if (!discs.Prepare(m_db, "SELECT id, volume, toc FROM discs") ||
        !update.Prepare(m_db, "UPDATE discs SET disc_key = ? WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    std::vector<std::pair<int64_t, CatalogueDisc>> ids;
    if (!DiscIdentities(discs, ids, error))
        return false;
    for (const auto& [id, disc] : ids) {
        const auto it = keys.find(id);
        sqlite3_reset(update.s);
        update.Text(1, (it != keys.end() ? it->second : DiscKey()).Of(disc));
        update.Int(2, id);
        if (sqlite3_step(update.s) != SQLITE_DONE) {
            error = Message(m_db, m_path);
            return false;
        }
    }
    return true;
}

bool SqliteCatalogue::ToVersion2(std::string& error) {
    if (!CopyVersion1Rows(error))
        return false;
    // The old tables go once no statement reads them.
    return Exec("DROP TABLE entries_text; DROP TABLE entries;", error);
}

bool SqliteCatalogue::CopyVersion1Rows(std::string& error) {
    Statement discs, rows, count;
    if (!discs.Prepare(m_db, "SELECT id, volume, toc FROM discs ORDER BY id") ||
        !rows.Prepare(m_db,
                      "SELECT session, path, type, lbn, size, date, title, artist, album, codec, bitrate, "
                      "sampling, seconds FROM entries WHERE disc = ? ORDER BY id") ||
        !count.Prepare(m_db, "UPDATE discs SET entries = ?, disc_key = ? WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    std::vector<std::pair<int64_t, CatalogueDisc>> ids;
    if (!DiscIdentities(discs, ids, error))
        return false;
    for (const auto& [id, disc] : ids) {
        std::vector<CatalogueEntry> entries;
        sqlite3_reset(rows.s);
        rows.Int(1, id);
        const bool read = EachRow(
            m_db, m_path, rows,
            [&] {
                CatalogueEntry e;
                e.session = int(rows.ColumnInt(0));
                e.path = rows.ColumnText(1);
                e.type = rows.ColumnText(2) == "D" ? 'D' : 'F';
                e.lbn = uint32_t(rows.ColumnInt(3));
                e.size = uint64_t(rows.ColumnInt(4));
                e.date = rows.ColumnText(5);
                e.title = rows.ColumnText(6);
                e.artist = rows.ColumnText(7);
                e.album = rows.ColumnText(8);
                e.codec = rows.ColumnText(9);
                e.bitrate = uint32_t(rows.ColumnInt(10));
                e.sampling = uint32_t(rows.ColumnInt(11));
                e.seconds = uint32_t(rows.ColumnInt(12));
                entries.push_back(std::move(e));
            },
            error);
        if (!read || !WriteBlocks(id, entries, error))
            return false;
        DiscKey key;
        for (const CatalogueEntry& e : entries)
            key.Mix(e);
        sqlite3_reset(count.s);
        count.Int(1, int64_t(entries.size()));
        count.Text(2, key.Of(disc));
        count.Int(3, id);
        if (sqlite3_step(count.s) != SQLITE_DONE) {
            error = Message(m_db, m_path);
            return false;
        }
    }
    return true;
}

bool SqliteCatalogue::Backup(const std::string& path, std::string& error) {
    sqlite3* to = nullptr;
    if (sqlite3_open_v2(path.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = Message(to, path);
        sqlite3_close(to);
        return false;
    }
    sqlite3_backup* b = sqlite3_backup_init(to, "main", m_db, "main");
    const int rc = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
    sqlite3_backup_finish(b);
    const bool ok = rc == SQLITE_DONE;
    if (!ok)
        error = Message(to, path);
    sqlite3_close(to);
    return ok;
}

std::unique_ptr<CatalogueStore> Cat_OpenSqlite(const std::string& path, bool create, std::string& error) {
    auto store = std::make_unique<SqliteCatalogue>();
    if (!store->Open(path, create, error))
        return nullptr;
    return store;
}

bool SqliteCatalogue::Check(std::vector<std::string>& problems, std::string& error) {
    Statement integrity, blocks;
    if (!integrity.Prepare(m_db, "PRAGMA integrity_check") ||
        !blocks.Prepare(m_db, "SELECT b.id, b.entries, b.data, d.number FROM blocks b JOIN discs d ON d.id = "
                              "b.disc ORDER BY b.id")) {
        error = Message(m_db, m_path);
        return false;
    }
    if (!EachRow(
            m_db, m_path, integrity,
            [&] {
                if (const std::string row = integrity.ColumnText(0); row != "ok")
                    problems.push_back(row);
            },
            error))
        return false;
    // Every block read, and the index in step with the blocks: the (trigram, group) pairs of the readable
    // blocks' groups are those the lists hold for them, by count and by a sum of their hashes.
    std::vector<int64_t> live;
    std::vector<CatalogueEntry> entries;
    uint64_t pairs = 0, sum = 0;
    if (!EachRow(
            m_db, m_path, blocks,
            [&] {
                const int64_t count = blocks.ColumnInt(1);
                if (count < 0 || !Cat_DecodeBlock(blocks.ColumnBytes(2), size_t(count), entries)) {
                    problems.push_back("a block of disc " + std::to_string(blocks.ColumnInt(3)) +
                                       " cannot be read");
                    return;
                }
                live.push_back(blocks.ColumnInt(0));
                int64_t group = live.back() * int64_t(kCatGroups);
                for (const std::vector<uint64_t>& grams : Cat_GroupGrams(entries)) {
                    for (uint64_t g : grams)
                        sum += Index_PairHash(g, group);
                    pairs += grams.size();
                    ++group;
                }
            },
            error))
        return false;
    uint64_t listed = 0, listedSum = 0;
    std::string damaged;
    if (!Index_Tally(m_db, m_path, live, listed, listedSum, damaged))
        problems.push_back(damaged);
    else if (listed != pairs || listedSum != sum)
        problems.push_back("the index is not in step with the blocks (" + std::to_string(listed) + " of " +
                           std::to_string(pairs) + " trigrams of groups listed); a vacuum makes it again");
    return true;
}

bool SqliteCatalogue::Vacuum(std::string& error) {
    // The index made again whole (one segment, nothing of removed discs), then the file's free pages given
    // back.
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    if (!Exec("DELETE FROM segments", error) || !Reindex(error) || !Index_MergeAll(m_db, m_path, error)) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error) && Exec("VACUUM", error);
}
