// What a catalogue keeps its discs in: an SQLite file on this computer or a PostgreSQL database a team
// shares. The facade (Catalogue) gives both the same commands and does on top what needs no database (the
// duplicates, a copy from one to the other); a store does what needs its own.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

class CatalogueStore {
  public:
    virtual ~CatalogueStore() = default;
    // As Catalogue::Add, cancelled by the flag StopWhen gave.
    virtual bool Add(const CatalogueDisc& disc, const CatalogueWalk& walk,
                     const std::function<int()>& newNumber, int* number, bool* updated, uint64_t* count,
                     std::string& error) = 0;
    // As Catalogue::Search.
    virtual bool Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                        std::string& error) = 0;
    // The discs with their entry counts, in number order: every one (`number` < 0) or the one numbered
    // `number`.
    virtual bool Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) = 0;
    // The blocks of disc `number` (of every disc for `number` < 0), in number and block order, until `each`
    // returns false; a block that cannot be read fails the walk.
    virtual bool Blocks(int number, const CatalogueBlockVisit& each, std::string& error) = 0;
    // "no disc N in the catalogue" when there is none.
    virtual bool Remove(int number, std::string& error) = 0;
    virtual int NextNumber() = 0;
    virtual bool Check(std::vector<std::string>& problems, std::string& error) = 0;
    virtual bool Vacuum(std::string& error) = 0;
    virtual bool Backup(const std::string& path, std::string& error) = 0;
    void StopWhen(const std::atomic<bool>* stop) { m_stop = stop; }

  protected:
    const std::atomic<bool>* m_stop = nullptr;
};

// The store at `path` opened (made with `create`), brought to this version's schema; null with the reason.
std::unique_ptr<CatalogueStore> Cat_OpenSqlite(const std::string& path, bool create, std::string& error);
// The same for a "postgresql://" URI; in a build without libpq, null with the reason.
std::unique_ptr<CatalogueStore> Cat_OpenPostgres(const std::string& uri, bool create, std::string& error);
