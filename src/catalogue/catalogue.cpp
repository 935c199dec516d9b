// The catalogue's SQLite file: schema and migrations, the add transaction, search, listing and removal.
#include "catalogue/catalogue.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "report/report_number.h"

namespace {

constexpr int kSchemaVersion = 1;
constexpr int kBusyMs = 3000; // a second writer waits this long, then the catalogue is busy

// Schema version 1. The full-text index holds no text of its own: it indexes the entries' columns, by
// trigrams without their positions (a LIKE of three characters and more finds its candidates there and checks
// them).
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
    std::string ColumnText(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
        return t ? t : "";
    }
    int64_t ColumnInt(int i) const { return sqlite3_column_int64(s, i); }
};

// The disc's number and volume name, then the entry's columns, as HitOf reads them.
constexpr const char* kHitColumns =
    "d.number, d.volume, e.session, e.path, e.type, e.lbn, e.size, e.date, e.title, "
    "e.artist, e.album, e.codec, e.bitrate, e.sampling, e.seconds, d.source";

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

// What tells one disc from another: its volume name, TOC and every entry's place.
std::string DiscKey(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    const auto mix = [&h](const std::string& s) {
        for (unsigned char c : s)
            h = (h ^ c) * 1099511628211ull;
        h = (h ^ 0xFF) * 1099511628211ull;
    };
    for (const CatalogueEntry& e : entries)
        mix(std::to_string(e.session) + e.path + "|" + std::to_string(e.lbn) + "|" + std::to_string(e.size));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return disc.volume + "\n" + disc.toc + "\n" + hex;
}

void MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

CatalogueHit HitOf(const Statement& s) {
    CatalogueHit h;
    h.number = int(s.ColumnInt(0));
    h.volume = s.ColumnText(1);
    CatalogueEntry& e = h.entry;
    e.session = int(s.ColumnInt(2));
    e.path = s.ColumnText(3);
    e.type = s.ColumnText(4).empty() ? 'F' : s.ColumnText(4)[0];
    e.lbn = uint32_t(s.ColumnInt(5));
    e.size = uint64_t(s.ColumnInt(6));
    e.date = s.ColumnText(7);
    e.title = s.ColumnText(8);
    e.artist = s.ColumnText(9);
    e.album = s.ColumnText(10);
    e.codec = s.ColumnText(11);
    e.bitrate = uint32_t(s.ColumnInt(12));
    e.sampling = uint32_t(s.ColumnInt(13));
    e.seconds = uint32_t(s.ColumnInt(14));
    h.source = s.ColumnText(15);
    return h;
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

} // namespace

Catalogue::~Catalogue() {
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
    // In WAL mode a commit needs no sync of the database file: a crash keeps it whole, at worst without the
    // last transaction.
    return Exec("PRAGMA foreign_keys = ON", error) && Exec("PRAGMA journal_mode = WAL", error) &&
           Exec("PRAGMA synchronous = NORMAL", error) && Migrate(error);
}

bool Catalogue::Migrate(std::string& error) {
    Statement v;
    if (!v.Prepare(m_db, "PRAGMA user_version") || sqlite3_step(v.s) != SQLITE_ROW) {
        error = Message(m_db, m_path);
        return false;
    }
    const int version = int(v.ColumnInt(0));
    if (version > kSchemaVersion) {
        error =
            m_path + ": written by a newer version of the catalogue (schema " + std::to_string(version) + ")";
        return false;
    }
    if (version == kSchemaVersion) {
        Statement app;
        if (!app.Prepare(m_db, "SELECT value FROM catalogue_info WHERE key = 'application'") ||
            sqlite3_step(app.s) != SQLITE_ROW) {
            error = m_path + ": the file is damaged or no catalogue";
            return false;
        }
        return true;
    }
    // Version 0: a new file, or one of another program's, which is not touched.
    Statement tables;
    if (!tables.Prepare(m_db, "SELECT count(*) FROM sqlite_master") || sqlite3_step(tables.s) != SQLITE_ROW) {
        error = Message(m_db, m_path);
        return false;
    }
    if (tables.ColumnInt(0) != 0) {
        error = m_path + ": a database of another program, no catalogue";
        return false;
    }
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    if (!Exec(kSchema1, error) || !Exec("PRAGMA user_version = 1", error)) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error);
}

int Catalogue::NextNumber() {
    Statement s;
    if (!s.Prepare(m_db, "SELECT coalesce(max(number), 0) + 1 FROM discs") || sqlite3_step(s.s) != SQLITE_ROW)
        return 1;
    return int(s.ColumnInt(0));
}

bool Catalogue::Add(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries,
                    const std::function<int()>& newNumber, int* number, bool* updated, std::string& error) {
    const std::string key = DiscKey(disc, entries);
    // Writers queue here: the transaction takes the write lock at once.
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    const auto fail = [&](const std::string& what) {
        error = what;
        Rollback();
        return false;
    };
    Statement same;
    if (!same.Prepare(m_db, "SELECT id, number, comment FROM discs WHERE disc_key = ?"))
        return fail(Message(m_db, m_path));
    same.Text(1, key);
    int64_t old = 0;
    int oldNumber = -1;
    std::string comment = disc.comment;
    if (sqlite3_step(same.s) == SQLITE_ROW) {
        old = same.ColumnInt(0);
        oldNumber = int(same.ColumnInt(1));
        if (comment.empty()) // an update without a comment keeps the one the disc had
            comment = same.ColumnText(2);
    }
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
    Statement d;
    if (!d.Prepare(m_db, "INSERT INTO discs(number, volume, sessions, toc, disc_key, comment, source, added) "
                         "VALUES(?, ?, ?, ?, ?, ?, ?, ?)"))
        return fail(Message(m_db, m_path));
    d.Int(1, use);
    d.Text(2, disc.volume);
    d.Int(3, disc.sessions);
    d.Text(4, disc.toc);
    d.Text(5, key);
    d.Text(6, comment);
    d.Text(7, disc.source);
    d.Text(8, disc.added.empty() ? Now() : disc.added);
    if (sqlite3_step(d.s) != SQLITE_DONE)
        return fail(Message(m_db, m_path));
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    Statement e;
    if (!e.Prepare(m_db,
                   "INSERT INTO entries(disc, session, path, name, type, lbn, size, date, title, artist, "
                   "album, codec, bitrate, sampling, seconds) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"))
        return fail(Message(m_db, m_path));
    for (const CatalogueEntry& x : entries) {
        sqlite3_reset(e.s);
        e.Int(1, id);
        e.Int(2, x.session);
        e.Text(3, x.path);
        e.Text(4, x.path.substr(x.path.rfind('/') + 1));
        e.Text(5, std::string(1, x.type));
        e.Int(6, x.lbn);
        e.Int(7, int64_t(x.size));
        e.Text(8, x.date);
        e.Text(9, x.title);
        e.Text(10, x.artist);
        e.Text(11, x.album);
        e.Text(12, x.codec);
        e.Int(13, x.bitrate);
        e.Int(14, x.sampling);
        e.Int(15, x.seconds);
        if (sqlite3_step(e.s) != SQLITE_DONE)
            return fail(Message(m_db, m_path));
    }
    // The disc's entries into the index in one statement, which fills it in large pieces.
    Statement t;
    if (!t.Prepare(m_db, "INSERT INTO entries_text(rowid, path, title, artist, album) "
                         "SELECT id, path, title, artist, album FROM entries WHERE disc = ?"))
        return fail(Message(m_db, m_path));
    t.Int(1, id);
    if (sqlite3_step(t.s) != SQLITE_DONE)
        return fail(Message(m_db, m_path));
    if (!Exec("COMMIT", error))
        return fail(error);
    if (number)
        *number = use;
    if (updated)
        *updated = old != 0;
    return true;
}

bool Catalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                       std::string& error) {
    hits.clear();
    size_t characters = 0;
    for (unsigned char c : text)
        characters += (c & 0xC0) != 0x80;
    // The trigram index answers three characters and more; shorter texts are looked for in every entry.
    const bool indexed = characters >= 3;
    // LIKE's own characters stand for themselves.
    std::string pattern = "%";
    for (char c : text)
        pattern += (c == '%' || c == '_' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    pattern += "%";
    // Each column's LIKE on its own, so that every one is answered by the index.
    const std::string sql =
        std::string("SELECT ") + kHitColumns +
        (indexed ? " FROM entries e JOIN discs d ON d.id = e.disc WHERE e.id IN ("
                   "SELECT rowid FROM entries_text WHERE path LIKE ?1 ESCAPE '\\' UNION "
                   "SELECT rowid FROM entries_text WHERE title LIKE ?1 ESCAPE '\\' UNION "
                   "SELECT rowid FROM entries_text WHERE artist LIKE ?1 ESCAPE '\\' UNION "
                   "SELECT rowid FROM entries_text WHERE album LIKE ?1 ESCAPE '\\') ORDER BY d.number, e.id "
                   "LIMIT ?2"
                 : " FROM entries e JOIN discs d ON d.id = e.disc WHERE instr(lower(e.path), lower(?1)) "
                   "OR instr(lower(e.title), lower(?1)) OR instr(lower(e.artist), lower(?1)) "
                   "OR instr(lower(e.album), lower(?1)) ORDER BY d.number, e.id LIMIT ?2");
    Statement s;
    if (!s.Prepare(m_db, sql.c_str())) {
        error = Message(m_db, m_path);
        return false;
    }
    s.Text(1, indexed ? pattern : text);
    s.Int(2, int64_t(limit));
    return EachRow(
        m_db, m_path, s, [&] { hits.push_back(HitOf(s)); }, error);
}

bool Catalogue::List(std::vector<CatalogueDisc>& discs, std::string& error) {
    return Discs(-1, discs, error);
}

bool Catalogue::Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) {
    discs.clear();
    Statement s;
    if (!s.Prepare(m_db, "SELECT number, volume, sessions, toc, comment, source, added, "
                         "(SELECT count(*) FROM entries WHERE disc = discs.id) FROM discs "
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
    Statement s;
    const std::string sql = std::string("SELECT ") + kHitColumns +
                            " FROM entries e JOIN discs d ON d.id = e.disc WHERE d.number = ? ORDER BY e.id";
    if (!s.Prepare(m_db, sql.c_str())) {
        error = Message(m_db, m_path);
        return false;
    }
    s.Int(1, number);
    return EachRow(
        m_db, m_path, s, [&] { entries.push_back(HitOf(s).entry); }, error);
}

bool Catalogue::DropDisc(int64_t id, std::string& error) {
    // The index keeps no text of its own: it is told what it indexed before the entries go.
    Statement forget, gone;
    if (!forget.Prepare(m_db,
                        "INSERT INTO entries_text(entries_text, rowid, path, title, artist, album) "
                        "SELECT 'delete', id, path, title, artist, album FROM entries WHERE disc = ?") ||
        !gone.Prepare(m_db, "DELETE FROM discs WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    forget.Int(1, id);
    gone.Int(1, id);
    if (sqlite3_step(forget.s) != SQLITE_DONE || sqlite3_step(gone.s) != SQLITE_DONE) {
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
    Statement s;
    const std::string sql = std::string("SELECT ") + kHitColumns +
                            " FROM entries e JOIN discs d ON d.id = e.disc ORDER BY d.number, e.id";
    if (!s.Prepare(m_db, sql.c_str())) {
        error = Message(m_db, m_path);
        return false;
    }
    return EachRow(
        m_db, m_path, s, [&] { each(HitOf(s)); }, error);
}

bool Catalogue::Duplicates(std::vector<Duplicate>& found, std::string& error) {
    found.clear();
    const std::pair<const char*, const char*> kinds[] = {
        {"name and size",
         "SELECT e.name || ', ' || e.size || ' bytes', group_concat(DISTINCT d.number) FROM entries e "
         "JOIN discs d ON d.id = e.disc WHERE e.type = 'F' AND e.size > 0 GROUP BY e.name, e.size "
         "HAVING count(DISTINCT e.disc) > 1 ORDER BY e.name, e.size"},
        {"title and artist",
         "SELECT e.title || ' / ' || e.artist, group_concat(DISTINCT d.number) FROM entries e "
         "JOIN discs d ON d.id = e.disc WHERE e.title <> '' GROUP BY e.title, e.artist "
         "HAVING count(DISTINCT e.disc) > 1 ORDER BY e.title, e.artist"}};
    for (const auto& [what, sql] : kinds) {
        Statement s;
        if (!s.Prepare(m_db, sql)) {
            error = Message(m_db, m_path);
            return false;
        }
        const bool read = EachRow(
            m_db, m_path, s,
            [&, what = what] {
                Duplicate d{what, s.ColumnText(0), {}};
                const std::string list = s.ColumnText(1);
                for (size_t at = 0; at < list.size();) {
                    const size_t comma = std::min(list.find(',', at), list.size());
                    d.numbers.push_back(std::atoi(list.substr(at, comma - at).c_str()));
                    at = comma + 1;
                }
                std::sort(d.numbers.begin(), d.numbers.end());
                found.push_back(std::move(d));
            },
            error);
        if (!read)
            return false;
    }
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
