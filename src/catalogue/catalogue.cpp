// The catalogue's SQLite file: schema and migrations, the add transaction, search, listing and removal.
#include "catalogue/catalogue.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <unordered_map>

#include "catalogue/catalogue_block.h"
#include "catalogue/catalogue_text.h"
#include "report/report_number.h"

namespace {

constexpr int kSchemaVersion = 3;
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

std::string Message(sqlite3* db, const std::string& what) {
    const int code = sqlite3_errcode(db);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return what + ": the catalogue is busy (another program is writing to it); try again";
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
        return what + ": the file is damaged or no catalogue";
    return what + ": " + sqlite3_errmsg(db);
}

std::string Now() {
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

// What tells one disc from another: its volume name, TOC and every entry's place (session, path, LBN and
// size), hashed eight bytes at a time as the entries come (schema 1 hashed a byte at a time, slower than
// everything else an add does but the disc's walk).
class DiscKey {
  public:
    void Mix(const CatalogueEntry& e) {
        Word(uint64_t(e.session) << 32 | e.lbn);
        Word(e.size);
        Word(e.path.size());
        const std::string_view p = e.path;
        size_t at = 0;
        for (; at + 8 <= p.size(); at += 8) {
            uint64_t w;
            std::memcpy(&w, p.data() + at, 8);
            Word(w);
        }
        uint64_t tail = 0;
        std::memcpy(&tail, p.data() + at, p.size() - at);
        Word(tail);
    }
    std::string Of(const CatalogueDisc& disc) const {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(m_hash));
        return disc.volume + "\n" + disc.toc + "\n" + hex;
    }

  private:
    // One round of a multiply-and-fold mix (as in wyhash): every bit of the word reaches every bit of the
    // hash.
    void Word(uint64_t w) {
        const unsigned __int128 m = static_cast<unsigned __int128>(m_hash ^ w) * 0x9E3779B97F4A7C15ull;
        m_hash = uint64_t(m >> 64) ^ uint64_t(m) ^ 0xA0761D6478BD642Full;
    }
    uint64_t m_hash = 0x243F6A8885A308D3ull;
};

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

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
               const CatalogueMask* wanted = nullptr) {
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

} // namespace

Catalogue::~Catalogue() {
    FinishStatements();
    sqlite3_close(m_db);
}

bool Catalogue::Exec(const char* sql, std::string& error) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    error = Message(m_db, m_path);
    return false;
}

void Catalogue::Rollback() {
    std::string ignored; // the failure that led here is the one worth telling
    Exec("ROLLBACK", ignored);
}

bool Catalogue::Open(const std::string& path, std::string& error) {
    FinishStatements();
    sqlite3_close(m_db);
    m_db = nullptr;
    m_path = path;
    MakeFolders(path);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        error = Message(m_db, path);
        return false;
    }
    sqlite3_busy_timeout(m_db, kBusyMs);
    if (!Cat_RegisterTokenizer(m_db)) {
        error = path + ": this SQLite has no full-text search (FTS5)";
        return false;
    }
    // In WAL mode a commit needs no sync of the database file: a crash keeps it whole, at worst without the
    // last transaction.
    // A new file gets pages of 16 KB (a file there keeps its own): a large disc's add writes a quarter of
    // the pages, each a call, and its commit copies them again into the file.
    return Exec("PRAGMA page_size = 16384", error) && Exec("PRAGMA foreign_keys = ON", error) &&
           Exec("PRAGMA journal_mode = WAL", error) && Exec("PRAGMA synchronous = NORMAL", error) &&
           Migrate(error);
}

bool Catalogue::Migrate(std::string& error) {
    Statement v;
    if (!v.Prepare(m_db, "PRAGMA user_version") || sqlite3_step(v.s) != SQLITE_ROW) {
        error = Message(m_db, m_path);
        return false;
    }
    const int version = int(v.ColumnInt(0));
    sqlite3_reset(v.s); // a statement left running would keep the old tables from being dropped
    if (version > kSchemaVersion) {
        error =
            m_path + ": written by a newer version of the catalogue (schema " + std::to_string(version) + ")";
        return false;
    }
    if (version > 0) {
        Statement app;
        if (!app.Prepare(m_db, "SELECT value FROM catalogue_info WHERE key = 'application'") ||
            sqlite3_step(app.s) != SQLITE_ROW) {
            error = m_path + ": the file is damaged or no catalogue";
            return false;
        }
        sqlite3_reset(app.s);
        if (version == kSchemaVersion)
            return true;
    } else {
        // Version 0: a new file, or one of another program's, which is not touched.
        Statement tables;
        if (!tables.Prepare(m_db, "SELECT count(*) FROM sqlite_master") ||
            sqlite3_step(tables.s) != SQLITE_ROW) {
            error = Message(m_db, m_path);
            return false;
        }
        if (tables.ColumnInt(0) != 0) {
            error = m_path + ": a database of another program, no catalogue";
            return false;
        }
    }
    // A new file is made as version 1 and brought up like any other: every file takes the same steps.
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    const bool ok = (version >= 1 || Exec(kSchema1, error)) && (version >= 2 || ToVersion2(error)) &&
                    Exec(kSchema3, error) && Exec("PRAGMA user_version = 3", error);
    if (!ok) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error);
}

bool Catalogue::ToVersion2(std::string& error) {
    if (!Exec(kSchema2, error) || !CopyVersion1Rows(error))
        return false;
    // The old tables go once no statement reads them.
    return Exec("DROP TABLE entries_text; DROP TABLE entries;", error);
}

bool Catalogue::CopyVersion1Rows(std::string& error) {
    Statement discs, rows, count;
    if (!discs.Prepare(m_db, "SELECT id, volume, toc FROM discs ORDER BY id") ||
        !rows.Prepare(m_db,
                      "SELECT session, path, type, lbn, size, date, title, artist, album, codec, bitrate, "
                      "sampling, seconds FROM entries WHERE disc = ? ORDER BY id") ||
        !count.Prepare(m_db, "UPDATE discs SET entries = ?, disc_key = ? WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    // Each disc with what its key is made of.
    std::vector<std::pair<int64_t, CatalogueDisc>> ids;
    if (!EachRow(
            m_db, m_path, discs,
            [&] {
                CatalogueDisc d;
                d.volume = discs.ColumnText(1);
                d.toc = discs.ColumnText(2);
                ids.emplace_back(discs.ColumnInt(0), d);
            },
            error))
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

int Catalogue::NextNumber() {
    Statement s;
    if (!s.Prepare(m_db, "SELECT coalesce(max(number), 0) + 1 FROM discs") || sqlite3_step(s.s) != SQLITE_ROW)
        return 1;
    return int(s.ColumnInt(0));
}

bool Catalogue::WriteBlock(int64_t disc, size_t n, const CatalogueBlock& block, std::string& error) {
    // Prepared once: parsing the statements anew for each block took a tenth of a large disc's add.
    const char* sql[] = {"INSERT INTO blocks(disc, n, entries, data) VALUES(?, ?, ?, ?)",
                         "INSERT INTO block_masks(id, masks) VALUES(?, ?)",
                         "INSERT INTO block_text(rowid, text) VALUES(?, ?)"};
    for (size_t i = 0; i < std::size(sql); ++i)
        if (!m_putBlock[i] && sqlite3_prepare_v2(m_db, sql[i], -1, &m_putBlock[i], nullptr) != SQLITE_OK) {
            error = Message(m_db, m_path);
            FinishStatements();
            return false;
        }
    Statement put{m_putBlock[0]}, masks{m_putBlock[1]}, text{m_putBlock[2]};
    put.Int(1, disc);
    put.Int(2, int64_t(n));
    put.Int(3, int64_t(block.entries));
    put.Blob(4, block.bytes);
    bool ok = sqlite3_step(put.s) == SQLITE_DONE;
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    if (ok) {
        masks.Int(1, id);
        masks.Blob(2, block.masks);
        ok = sqlite3_step(masks.s) == SQLITE_DONE;
    }
    if (ok) {
        text.Int(1, id);
        text.Text(2, block.text);
        ok = sqlite3_step(text.s) == SQLITE_DONE;
    }
    if (!ok)
        error = Message(m_db, m_path);
    for (Statement* s : {&put, &masks, &text}) { // the statements stay prepared for the next block
        sqlite3_reset(s->s);
        s->s = nullptr;
    }
    return ok;
}

void Catalogue::FinishStatements() {
    for (sqlite3_stmt*& s : m_putBlock) {
        sqlite3_finalize(s);
        s = nullptr;
    }
}

bool Catalogue::WriteBlocks(int64_t disc, const std::vector<CatalogueEntry>& entries, std::string& error) {
    size_t n = 0;
    for (const CatalogueBlock& b : Cat_MakeBlocks(entries))
        if (!WriteBlock(disc, n++, b, error))
            return false;
    return true;
}

bool Catalogue::Add(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries,
                    const std::function<int()>& newNumber, int* number, bool* updated, std::string& error) {
    const CatalogueWalk walk = [&](const std::function<void(CatalogueEntry&)>& put) {
        CatalogueEntry copy;
        for (const CatalogueEntry& e : entries) {
            copy = e;
            put(copy);
        }
    };
    return Add(disc, walk, newNumber, number, updated, nullptr, error);
}

bool Catalogue::Add(const CatalogueDisc& disc, const CatalogueWalk& walk,
                    const std::function<int()>& newNumber, int* number, bool* updated, uint64_t* count,
                    std::string& error) {
    // Writers queue here: the transaction takes the write lock at once.
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    const auto fail = [&](const std::string& what) {
        error = what;
        Rollback();
        return false;
    };
    // The disc goes in under a number no disc has (below all others) while its entries are written a block
    // at a time; what it is (its key) is known only after the last one, and with it whether it was here.
    Statement d;
    if (!d.Prepare(m_db,
                   "INSERT INTO discs(number, volume, sessions, toc, disc_key, comment, source, added) "
                   "VALUES((SELECT min(0, coalesce(min(number), 0)) - 1 FROM discs), ?, ?, ?, '', ?, ?, ?)"))
        return fail(Message(m_db, m_path));
    d.Text(1, disc.volume);
    d.Int(2, disc.sessions);
    d.Text(3, disc.toc);
    d.Text(4, disc.comment);
    d.Text(5, disc.source);
    d.Text(6, disc.added.empty() ? Now() : disc.added);
    if (sqlite3_step(d.s) != SQLITE_DONE)
        return fail(Message(m_db, m_path));
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    // Each batch of full blocks is made into their bytes, masks and index documents on a second thread
    // while the next is read into the other buffer. The buffers' entries are assigned over, so their
    // texts' memory serves again.
    constexpr size_t kBatch = 8 * kCatBlockEntries;
    DiscKey hash;
    std::vector<CatalogueEntry> buffers[2] = {std::vector<CatalogueEntry>(kBatch),
                                              std::vector<CatalogueEntry>(kBatch)};
    int filling = 0;
    size_t inBatch = 0, blocks = 0;
    uint64_t entries = 0;
    CatalogueBlockMaker maker;
    bool written = true;
    const auto writeAll = [&](const std::vector<CatalogueBlock>& made) {
        for (const CatalogueBlock& b : made)
            if (!WriteBlock(id, blocks++, b, error))
                return false;
        return true;
    };
    const auto writeMade = [&] { return !maker.Busy() || writeAll(maker.Take()); };
    walk([&](CatalogueEntry& e) {
        if (!written)
            return;
        hash.Mix(e);
        ++entries;
        std::swap(buffers[filling][inBatch++], e); // the walk's next entry reuses the slot's old texts
        if (inBatch == kBatch) {
            written = writeMade();
            maker.Put(buffers[filling]);
            filling ^= 1;
            inBatch = 0;
        }
    });
    written = written && writeMade() &&
              writeAll(Cat_MakeBlocks(std::span<const CatalogueEntry>(buffers[filling].data(), inBatch)));
    if (!written)
        return fail(error);
    const std::string key = hash.Of(disc);
    Statement same;
    if (!same.Prepare(m_db, "SELECT id, number, comment FROM discs WHERE disc_key = ? AND id <> ?"))
        return fail(Message(m_db, m_path));
    same.Text(1, key);
    same.Int(2, id);
    int64_t old = 0;
    int oldNumber = -1;
    std::string comment = disc.comment;
    if (sqlite3_step(same.s) == SQLITE_ROW) {
        old = same.ColumnInt(0);
        oldNumber = int(same.ColumnInt(1));
        if (comment.empty()) // an update without a comment keeps the one the disc had
            comment = same.ColumnText(2);
    }
    sqlite3_reset(same.s);
    int use = disc.number >= 0 ? disc.number : old ? oldNumber : newNumber ? newNumber() : NextNumber();
    if (use < 0)
        return fail("no disc number could be had for the disc");
    if (old && !DropDisc(old, error)) // the same disc again: replaced whole
        return fail(error);
    Statement taken;
    if (!taken.Prepare(m_db, "SELECT 1 FROM discs WHERE number = ?"))
        return fail(Message(m_db, m_path));
    taken.Int(1, use);
    if (sqlite3_step(taken.s) == SQLITE_ROW) {
        // A number given (a report's) is the disc's or nothing; one handed out for it gives way to a free
        // one.
        if (disc.number >= 0)
            return fail("disc number " + std::to_string(use) + " is another disc's in the catalogue");
        use = NextNumber();
    }
    Statement done;
    if (!done.Prepare(m_db,
                      "UPDATE discs SET number = ?, disc_key = ?, comment = ?, entries = ? WHERE id = ?"))
        return fail(Message(m_db, m_path));
    done.Int(1, use);
    done.Text(2, key);
    done.Text(3, comment);
    done.Int(4, int64_t(entries));
    done.Int(5, id);
    if (sqlite3_step(done.s) != SQLITE_DONE || !Exec("COMMIT", error))
        return fail(error.empty() ? Message(m_db, m_path) : error);
    if (number)
        *number = use;
    if (updated)
        *updated = old != 0;
    if (count)
        *count = entries;
    return true;
}

bool Catalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
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
            if (Cat_MaskHolds(masks, i, mask) && (Cat_Holds(e.path, folded) || Cat_Holds(e.title, folded) ||
                                                  Cat_Holds(e.artist, folded) || Cat_Holds(e.album, folded)))
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

bool Catalogue::List(std::vector<CatalogueDisc>& discs, std::string& error) {
    return Discs(-1, discs, error);
}

bool Catalogue::Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) {
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

bool Catalogue::Show(int number, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries,
                     std::string& error) {
    std::vector<CatalogueDisc> found;
    if (!Discs(number, found, error))
        return false;
    if (found.empty()) {
        error = "no disc " + std::to_string(number) + " in the catalogue";
        return false;
    }
    disc = found.front();
    entries.clear();
    return EachBlock(
        m_db, m_path, "WHERE d.number = ?", [&](Statement& s) { s.Int(1, number); },
        [&](const CatalogueHit&, std::vector<CatalogueEntry>& block, std::string_view) {
            std::move(block.begin(), block.end(), std::back_inserter(entries));
            return true;
        },
        error);
}

bool Catalogue::DropDisc(int64_t id, std::string& error) {
    // The index keeps no text: it is given each block's text again to take its trigrams out. A block that
    // cannot be read leaves its trigrams behind, which only name a block that is no longer there.
    Statement blocks, forget, gone;
    if (!blocks.Prepare(m_db, "SELECT id, entries, data FROM blocks WHERE disc = ?") ||
        !forget.Prepare(m_db, "INSERT INTO block_text(block_text, rowid, text) VALUES('delete', ?, ?)") ||
        !gone.Prepare(m_db, "DELETE FROM discs WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    blocks.Int(1, id);
    std::vector<std::pair<int64_t, std::string>> texts;
    if (!EachRow(
            m_db, m_path, blocks,
            [&] {
                std::vector<CatalogueEntry> entries;
                const int64_t count = blocks.ColumnInt(1);
                if (count >= 0 && Cat_DecodeBlock(blocks.ColumnBytes(2), size_t(count), entries))
                    texts.emplace_back(blocks.ColumnInt(0), Cat_IndexText(entries));
            },
            error))
        return false;
    for (const auto& [block, text] : texts) {
        sqlite3_reset(forget.s);
        forget.Int(1, block);
        forget.Text(2, text);
        if (sqlite3_step(forget.s) != SQLITE_DONE) {
            error = Message(m_db, m_path);
            return false;
        }
    }
    gone.Int(1, id);
    if (sqlite3_step(gone.s) != SQLITE_DONE) {
        error = Message(m_db, m_path);
        return false;
    }
    return true;
}

bool Catalogue::Remove(int number, std::string& error) {
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    Statement which;
    if (!which.Prepare(m_db, "SELECT id FROM discs WHERE number = ?")) {
        error = Message(m_db, m_path);
        Rollback();
        return false;
    }
    which.Int(1, number);
    if (sqlite3_step(which.s) != SQLITE_ROW) {
        error = "no disc " + std::to_string(number) + " in the catalogue";
        Rollback();
        return false;
    }
    if (!DropDisc(which.ColumnInt(0), error)) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error);
}

bool Catalogue::Export(const std::function<void(const CatalogueHit&)>& each, std::string& error) {
    return EachBlock(
        m_db, m_path, "", [](Statement&) {},
        [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, std::string_view) {
            CatalogueHit hit{disc.number, disc.volume, disc.source, {}};
            for (CatalogueEntry& e : entries) {
                hit.entry = std::move(e);
                each(hit);
            }
            return true;
        },
        error);
}

bool Catalogue::Duplicates(std::vector<Duplicate>& found, std::string& error) {
    found.clear();
    // Each key with the discs holding it, in number order (blocks come in that order).
    using Groups = std::unordered_map<std::string, std::vector<int>>;
    Groups byName, byTags;
    const auto note = [](Groups& groups, std::string key, int number) {
        std::vector<int>& n = groups[std::move(key)];
        if (n.empty() || n.back() != number)
            n.push_back(number);
    };
    const bool read = EachBlock(
        m_db, m_path, "", [](Statement&) {},
        [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries, std::string_view) {
            for (const CatalogueEntry& e : entries) {
                if (e.type == 'F' && e.size > 0) {
                    char size[24];
                    std::snprintf(size, sizeof size, "%020llu", static_cast<unsigned long long>(e.size));
                    note(byName, e.path.substr(e.path.rfind('/') + 1) + '\0' + size, disc.number);
                }
                if (!e.title.empty())
                    note(byTags, e.title + '\0' + e.artist, disc.number);
            }
            return true;
        },
        error);
    if (!read)
        return false;
    // The keys sort as the texts they stand for: a name (or title) first, then the size (or artist).
    const auto add = [&](const char* what, Groups& groups, bool sized) {
        std::vector<std::pair<std::string, std::vector<int>>> many;
        for (auto& [key, numbers] : groups)
            if (numbers.size() > 1)
                many.emplace_back(key, std::move(numbers));
        std::sort(many.begin(), many.end());
        for (auto& [key, numbers] : many) {
            const size_t cut = key.find('\0');
            const std::string first = key.substr(0, cut), second = key.substr(cut + 1);
            found.push_back(
                {what,
                 sized ? first + ", " + std::to_string(std::strtoull(second.c_str(), nullptr, 10)) + " bytes"
                       : first + " / " + second,
                 std::move(numbers)});
        }
    };
    add("name and size", byName, true);
    add("title and artist", byTags, false);
    return true;
}

bool Catalogue::Backup(const std::string& path, std::string& error) {
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

std::string Cat_DefaultPath() {
    return Report_XdgDirectory("XDG_DATA_HOME", ".local/share") + "/ckvd-explorer/catalogue.sqlite";
}
