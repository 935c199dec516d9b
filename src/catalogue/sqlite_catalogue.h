// The catalogue in one SQLite file: discs (management number, volume name, TOC, comment, where and when it
// was read), their entries kept in compressed blocks, and a full-text index (FTS5) of the trigrams of names,
// paths and tag texts that finds substrings in any script. Every add is one transaction, so a process killed
// in the middle leaves the catalogue as it was.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_store.h"
#include "catalogue/sqlite_index.h"

struct sqlite3;
struct sqlite3_stmt;
struct CatalogueBlock;
namespace cat_internal {
class DiscKey;
struct Statement;
} // namespace cat_internal

class SqliteCatalogue final : public CatalogueStore {
  public:
    SqliteCatalogue() = default;
    ~SqliteCatalogue() override;
    SqliteCatalogue(const SqliteCatalogue&) = delete;
    SqliteCatalogue& operator=(const SqliteCatalogue&) = delete;

    // As Catalogue::Open, for a file.
    bool Open(const std::string& path, bool create, std::string& error);

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
    bool Exec(const char* sql, std::string& error);
    void Rollback();
    bool Migrate(std::string& error);
    // The file in WAL mode, waiting for another program that switches it at the same moment.
    bool UseWal(std::string& error);
    // The schema version and the number of tables, views and indexes of the file.
    bool ReadVersion(int& version, int& tables, std::string& error);
    // Whether a file of `version` is this program's catalogue (or a new one) it can use.
    bool Recognise(int version, int tables, std::string& error);
    // The index made again from every block, and every disc's key, inside the caller's transaction.
    bool Reindex(std::string& error);
    bool Rekey(const std::map<int64_t, cat_internal::DiscKey>& keys, std::string& error);
    bool DiscIdentities(cat_internal::Statement& discs, std::vector<std::pair<int64_t, CatalogueDisc>>& ids,
                        std::string& error);
    // Version 1's rows of entries into the current blocks (their tables made), inside the caller's
    // transaction.
    bool ToVersion2(std::string& error);
    bool CopyVersion1Rows(std::string& error);
    // `entries` as the blocks of disc `disc`, their groups' trigrams into the add's lists.
    bool WriteBlocks(int64_t disc, const std::vector<CatalogueEntry>& entries, std::string& error);
    bool WriteBlock(int64_t disc, size_t n, const CatalogueBlock& block, std::string& error);
    // The add's steps inside its transaction: the walk's entries written as the blocks of disc row `id`
    // (their count and key taken on the way); then the disc settled: the same disc found before replaced,
    // its number chosen (in `use`) and its row completed.
    bool WriteWalk(int64_t id, const CatalogueWalk& walk, cat_internal::DiscKey& hash, uint64_t& entries,
                   std::string& error);
    bool Settle(int64_t id, const CatalogueDisc& disc, const std::string& key, uint64_t entries,
                const std::function<int()>& newNumber, int& use, bool& updated, std::string& error);
    // Disc `id` out of the index and the tables, inside the caller's transaction.
    bool DropDisc(int64_t id, std::string& error);

    void FinishStatements();

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_putBlock = nullptr; // a block's row, kept prepared
    cat_internal::IndexLists m_lists;   // the index's lists of the add's groups
    std::string m_path;
};
