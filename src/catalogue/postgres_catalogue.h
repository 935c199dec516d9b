// The catalogue in a PostgreSQL database a team shares: discs (management number, volume name, TOC, comment,
// where and when it was read), their entries in the same compressed blocks as the SQLite file's, each block
// with a document of its entries' folded texts under a trigram index (pg_trgm) that finds substrings. Every
// add is one transaction behind one lock of the whole catalogue, so that several computers adding at once
// never give two discs one number; a client killed in the middle leaves nothing (the server rolls it back).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "catalogue/catalogue_store.h"
#include "catalogue/postgres_connection.h"

class PostgresCatalogue final : public CatalogueStore {
  public:
    // As Catalogue::Open, for a "postgresql://" URI.
    bool Open(const std::string& uri, bool create, std::string& error);

    bool Add(const CatalogueDisc& disc, const CatalogueWalk& walk, const std::function<int()>& newNumber,
             int* number, bool* updated, uint64_t* count, std::string& error) override;
    bool Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                std::string& error) override;
    bool Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) override;
    bool Blocks(int number, const CatalogueBlockVisit& each, std::string& error) override;
    bool Remove(int number, std::string& error) override;
    int NextNumber() override;
    bool Check(std::vector<std::string>& problems, std::string& error) override;
    bool Vacuum(std::string& error) override;
    bool Backup(const std::string& path, std::string& error) override;

  private:
    // The schema version and application the database holds (0 and "" for none), and whether it has other
    // tables of its own.
    bool ReadVersion(int& version, std::string& application, bool& others, std::string& error);
    // Whether a database of `version` is this program's catalogue (or an empty one) it can use.
    bool Recognise(int version, const std::string& application, bool others, std::string& error);
    // Each step from the database's version to this one, each its own transaction.
    bool Migrate(std::string& error);
    bool MakeSchema(std::string& error);
    bool NeedTrigrams(std::string& error);
    // The rows of `select` (ending in a query on blocks b joined to discs d: number, volume, source, entry
    // count, data) through a cursor, a batch at a time, each block decoded, until `each` returns false;
    // `byIndex` for a search whose blocks the trigram index finds.
    bool WalkBlocks(const std::string& select, const cat_pg::Params& params, const CatalogueBlockVisit& each,
                    std::string& error, bool byIndex = false);
    // The add's steps inside its transaction: the walk's entries sent as the blocks of disc row `id`, then
    // the disc settled (as the SQLite store does it).
    bool SendBlocks(int64_t id, const CatalogueWalk& walk, std::string& key, const CatalogueDisc& disc,
                    uint64_t& entries, std::string& error);
    bool Settle(int64_t id, const CatalogueDisc& disc, const std::string& key, uint64_t entries,
                const std::function<int()>& newNumber, int& use, bool& updated, std::string& error);
    // The server's own check of the catalogue's btree indexes (amcheck), where it may be had.
    void CheckIndexes(std::vector<std::string>& problems);

    cat_pg::Connection m_db;
    std::string m_dbname;
};

namespace cat_pg {
// The advisory lock every writer of the catalogue takes first ("ckvdcat"): adds and schema changes queue.
constexpr int64_t kWriterLock = 0x636B7664636174;
// A block's document: the folded texts of each entry's path, title, artist and album, one a line.
std::string BlockDocument(std::span<const CatalogueEntry> entries);
// `text` folded as the documents are, for LIKE (its % _ and \ escaped).
std::string LikePattern(const std::string& text);
} // namespace cat_pg
