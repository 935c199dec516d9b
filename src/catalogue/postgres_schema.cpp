// The PostgreSQL catalogue's database: connecting, its schema and each version's step, the checks, vacuum.
#include <cstdlib>
#include <functional>

#include "catalogue/catalogue_block.h"
#include "catalogue/postgres_catalogue.h"

using cat_pg::Params;
using cat_pg::Result;

namespace {

constexpr int kSchemaVersion = 1;
constexpr const char* kApplication = "ckvd-explorer disc catalogue";

// Version 1: discs, and their entries in blocks, each block with its document of folded texts under a
// trigram index. Block bytes are compressed already: the server keeps them out of line as they are.
// (Each statement in parentheses: its lines are one literal, not elements missing their commas.)
constexpr const char* kSchema1[] = {
    ("CREATE TABLE discs(id bigserial PRIMARY KEY, number integer NOT NULL UNIQUE, volume text NOT NULL, "
     "sessions integer NOT NULL, toc text NOT NULL, disc_key text NOT NULL, comment text NOT NULL, "
     "source text NOT NULL, added text NOT NULL, entries bigint NOT NULL DEFAULT 0)"),
    "CREATE INDEX discs_key ON discs(disc_key)",
    ("CREATE TABLE blocks(disc bigint NOT NULL REFERENCES discs(id) ON DELETE CASCADE, n integer NOT NULL, "
     "entries integer NOT NULL, data bytea NOT NULL, doc text NOT NULL, PRIMARY KEY(disc, n))"),
    "ALTER TABLE blocks ALTER COLUMN data SET STORAGE EXTERNAL",
    "CREATE INDEX blocks_doc ON blocks USING gin(doc gin_trgm_ops)",
};

} // namespace

std::unique_ptr<CatalogueStore> Cat_OpenPostgres(const std::string& uri, bool create, std::string& error) {
    auto store = std::make_unique<PostgresCatalogue>();
    if (!store->Open(uri, create, error))
        return nullptr;
    return store;
}

bool PostgresCatalogue::Open(const std::string& uri, bool create, std::string& error) {
    Result name;
    if (!m_db.Open(uri, error) || !m_db.Run("SELECT current_database()", name, error))
        return false;
    m_dbname = name.Text(0, 0);
    int version = 0;
    std::string application;
    bool others = false;
    if (!ReadVersion(version, application, others, error) || !Recognise(version, application, others, error))
        return false;
    if (!create && version == 0) {
        error = "no catalogue at " + m_db.Uri();
        return false;
    }
    return Migrate(error);
}

bool PostgresCatalogue::ReadVersion(int& version, std::string& application, bool& others,
                                    std::string& error) {
    version = 0;
    application.clear();
    Result info, tables;
    if (!m_db.Run("SELECT to_regclass('catalogue_info') IS NOT NULL, (SELECT count(*) FROM pg_class c JOIN "
                  "pg_namespace s ON s.oid = c.relnamespace WHERE s.nspname = current_schema() AND "
                  "c.relkind IN ('r', 'v', 'm', 'p', 'f'))",
                  tables, error))
        return false;
    const bool ours = tables.Bytes(0, 0) == std::string_view("\1", 1);
    others = !ours && tables.Int(0, 1) > 0;
    if (!ours)
        return true;
    if (!m_db.Run("SELECT key, value FROM catalogue_info WHERE key IN ('application', 'schema')", info,
                  error))
        return false;
    for (int i = 0; i < info.Rows(); ++i) {
        if (info.Text(i, 0) == "application")
            application = info.Text(i, 1);
        else
            version = std::atoi(info.Text(i, 1).c_str());
    }
    others = application != kApplication || version < 1;
    return true;
}

bool PostgresCatalogue::Recognise(int version, const std::string& application, bool others,
                                  std::string& error) {
    if (others) { // another program's tables, which are not touched
        error = m_db.Uri() + ": a database of another program, no catalogue";
        return false;
    }
    if (version > kSchemaVersion && application == kApplication) {
        error = m_db.Uri() + ": written by a newer version of the catalogue (schema " +
                std::to_string(version) + ")";
        return false;
    }
    return true;
}

bool PostgresCatalogue::Migrate(std::string& error) {
    // Each step from a version to the next, in order; a new database is made as version 1.
    const std::function<bool(std::string&)> steps[] = {[this](std::string& e) { return MakeSchema(e); }};
    static_assert(std::size(steps) == kSchemaVersion);
    for (;;) {
        // One step a transaction, behind the writers' lock, with the version read again inside it: a second
        // program making the same catalogue at the same moment waits, then finds the step done.
        int version = 0;
        std::string application;
        bool others = false;
        if (!m_db.Run("BEGIN", error))
            return false;
        const bool ok =
            m_db.Run("SELECT pg_advisory_xact_lock(" + std::to_string(cat_pg::kWriterLock) + ")", error) &&
            ReadVersion(version, application, others, error) &&
            Recognise(version, application, others, error);
        if (ok && version == kSchemaVersion)
            return m_db.Run("COMMIT", error);
        const std::string next = std::to_string(version + 1);
        if (!ok || !steps[version](error) ||
            !m_db.Run(
                "INSERT INTO catalogue_info VALUES('schema', $1) ON CONFLICT(key) DO UPDATE SET value = $1",
                Params().Text(next), nullptr, error) ||
            !m_db.Run("COMMIT", error)) {
            m_db.Rollback();
            return false;
        }
    }
}

bool PostgresCatalogue::MakeSchema(std::string& error) {
    Result encoding;
    if (!m_db.Run("SELECT pg_encoding_to_char(encoding) FROM pg_database WHERE datname = current_database()",
                  encoding, error))
        return false;
    if (const std::string e = encoding.Rows() ? encoding.Text(0, 0) : ""; e != "UTF8" && e != "SQL_ASCII") {
        error =
            m_db.Uri() + ": the database's encoding is " + e + "; a catalogue needs UTF8 (createdb -E UTF8)";
        return false;
    }
    if (!NeedTrigrams(error) ||
        !m_db.Run("CREATE TABLE catalogue_info(key text PRIMARY KEY, value text NOT NULL)", error) ||
        !m_db.Run("INSERT INTO catalogue_info VALUES('application', $1)", Params().Text(kApplication),
                  nullptr, error))
        return false;
    for (const char* sql : kSchema1)
        if (!m_db.Run(sql, error))
            return false;
    return true;
}

bool PostgresCatalogue::NeedTrigrams(std::string& error) {
    Result have;
    if (!m_db.Run("SELECT 1 FROM pg_extension WHERE extname = 'pg_trgm'", have, error))
        return false;
    if (have.Rows() > 0)
        return true;
    // A role that may not make it (or a server without it) is told what a superuser does.
    std::string why;
    if (m_db.Run("CREATE EXTENSION IF NOT EXISTS pg_trgm", why))
        return true;
    error = m_db.Uri() + ": the extension pg_trgm is missing: a superuser runs CREATE EXTENSION pg_trgm in " +
            m_dbname;
    return false;
}

bool PostgresCatalogue::Backup(const std::string&, std::string& error) {
    error = m_db.Uri() + ": a PostgreSQL catalogue is backed up with pg_dump";
    return false;
}

bool PostgresCatalogue::Vacuum(std::string& error) {
    // Outside a transaction, as VACUUM must be.
    return m_db.Run("VACUUM (ANALYZE) discs, blocks, catalogue_info", error);
}

bool PostgresCatalogue::Check(std::vector<std::string>& problems, std::string& error) {
    // Each block's document against the one its entries make (a block that does not decode is told by the
    // facade's walk of every block).
    std::vector<CatalogueEntry> entries;
    Result rows;
    if (!m_db.Run("BEGIN READ ONLY", error) ||
        !m_db.Run("DECLARE docs BINARY NO SCROLL CURSOR FOR SELECT d.number, b.n, b.entries, b.data, b.doc "
                  "FROM blocks b JOIN discs d ON d.id = b.disc ORDER BY d.number, b.n",
                  error)) {
        m_db.Rollback();
        return false;
    }
    do {
        if (!m_db.Run("FETCH 64 FROM docs", rows, error)) {
            m_db.Rollback();
            return false;
        }
        for (int i = 0; i < rows.Rows(); ++i) {
            const int64_t count = rows.Int(i, 2);
            if (count >= 0 && Cat_DecodeBlock(rows.Bytes(i, 3), size_t(count), entries) &&
                cat_pg::BlockDocument(entries) != rows.Bytes(i, 4))
                problems.push_back("the index text of block " + std::to_string(rows.Int(i, 1)) + " of disc " +
                                   std::to_string(rows.Int(i, 0)) + " is not its entries'");
        }
    } while (rows.Rows() > 0);
    m_db.Rollback(); // read only: nothing to keep
    CheckIndexes(problems);
    return true;
}

void PostgresCatalogue::CheckIndexes(std::vector<std::string>& problems) {
    // amcheck is the server's own check of btree indexes; a role that may not make it or call it is told
    // that the check was not run.
    std::string why;
    Result indexes;
    if (!m_db.Run("CREATE EXTENSION IF NOT EXISTS amcheck", why) ||
        !m_db.Run(
            "SELECT i.indexrelid::regclass::text FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
            "JOIN pg_am a ON a.oid = c.relam WHERE a.amname = 'btree' AND i.indrelid IN "
            "('discs'::regclass, 'blocks'::regclass, 'catalogue_info'::regclass) ORDER BY 1",
            indexes, why)) {
        m_notes.push_back("the server's index check (amcheck) was not run: " + why);
        return;
    }
    for (int i = 0; i < indexes.Rows(); ++i) {
        const std::string index = indexes.Text(i, 0);
        if (m_db.Run("SELECT bt_index_check($1::regclass)", Params().Text(index), nullptr, why))
            continue;
        if (m_db.State() == "42501") { // no right to call it
            m_notes.push_back("the server's index check (amcheck) was not run: " + why);
            return;
        }
        problems.push_back("index " + index + ": " + why);
    }
}
