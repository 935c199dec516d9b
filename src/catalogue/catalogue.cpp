// The catalogue's facade: the store its path names (an SQLite file or a PostgreSQL database), and what is
// the same on every store: a disc shown, the export, the duplicates and a copy from one catalogue to another.
#include "catalogue/catalogue.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>

#include "catalogue/catalogue_store.h"
#include "catalogue/postgres_connection.h"
#include "report/report_number.h"

Catalogue::Catalogue() = default;
Catalogue::~Catalogue() = default;

bool Catalogue::IsServer(const std::string& path) {
    return path.rfind("postgresql://", 0) == 0 || path.rfind("postgres://", 0) == 0;
}

bool Catalogue::Open(const std::string& path, bool create, std::string& error) {
    m_store.reset();
    m_path = IsServer(path) ? cat_pg::ShownUri(path) : path; // a password is never shown
    m_store = IsServer(path) ? Cat_OpenPostgres(path, create, error) : Cat_OpenSqlite(path, create, error);
    return m_store != nullptr;
}

bool Catalogue::Opened(std::string& error) const {
    if (!m_store)
        error = "no catalogue is open";
    return m_store != nullptr;
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
    if (!Opened(error))
        return false;
    if (!disc.added.empty()) // a report's or another catalogue's time stands
        return m_store->Add(disc, walk, newNumber, number, updated, count, error);
    CatalogueDisc now = disc;
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    now.added = text;
    return m_store->Add(now, walk, newNumber, number, updated, count, error);
}

void Catalogue::StopWhen(const std::atomic<bool>* stop) {
    if (m_store)
        m_store->StopWhen(stop);
}

bool Catalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                       std::string& error) {
    hits.clear();
    return Opened(error) && m_store->Search(text, limit, hits, error);
}

bool Catalogue::List(std::vector<CatalogueDisc>& discs, std::string& error) {
    return Opened(error) && m_store->Discs(-1, discs, error);
}

bool Catalogue::Show(int number, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries,
                     std::string& error) {
    std::vector<CatalogueDisc> found;
    if (!Opened(error) || !m_store->Discs(number, found, error))
        return false;
    if (number < 0 || found.empty()) {
        error = "no disc " + std::to_string(number) + " in the catalogue";
        return false;
    }
    disc = found.front();
    entries.clear();
    return m_store->Blocks(
        number,
        [&](const CatalogueHit&, std::vector<CatalogueEntry>& block) {
            std::move(block.begin(), block.end(), std::back_inserter(entries));
            return true;
        },
        error);
}

bool Catalogue::Remove(int number, std::string& error) {
    return Opened(error) && m_store->Remove(number, error);
}

int Catalogue::NextNumber() {
    return m_store ? m_store->NextNumber() : 1;
}

bool Catalogue::Export(const std::function<void(const CatalogueHit&)>& each, std::string& error) {
    return Opened(error) && m_store->Blocks(
                                -1,
                                [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries) {
                                    CatalogueHit hit{disc.number, disc.volume, disc.source, {}};
                                    for (CatalogueEntry& e : entries) {
                                        hit.entry = std::move(e);
                                        each(hit);
                                    }
                                    return true;
                                },
                                error);
}

bool Catalogue::Backup(const std::string& path, std::string& error) {
    return Opened(error) && m_store->Backup(path, error);
}

bool Catalogue::Check(std::vector<std::string>& problems, std::string& error,
                      std::vector<std::string>* notes) {
    problems.clear();
    std::vector<CatalogueDisc> discs;
    if (!Opened(error) || !m_store->Check(problems, error) || !m_store->Discs(-1, discs, error))
        return false;
    if (notes)
        *notes = m_store->Notes();
    // Every block read back, on every store, and each disc's entry count against its blocks'.
    std::map<int, uint64_t> counted;
    std::string damaged;
    if (!m_store->Blocks(
            -1,
            [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries) {
                counted[disc.number] += entries.size();
                return true;
            },
            damaged)) {
        problems.push_back(damaged);
        return true;
    }
    for (const CatalogueDisc& d : discs)
        if (counted[d.number] != d.entries)
            problems.push_back("disc " + std::to_string(d.number) + " claims " + std::to_string(d.entries) +
                               " entries, its blocks hold " + std::to_string(counted[d.number]));
    return true;
}

bool Catalogue::Vacuum(std::string& error) {
    return Opened(error) && m_store->Vacuum(error);
}

bool Catalogue::CopyTo(Catalogue& to, const std::function<void(const CatalogueDisc&)>& done,
                       std::string& error, const std::function<void(int, const std::string&)>& failed) {
    std::vector<CatalogueDisc> discs;
    if (!List(discs, error) || !to.Opened(error))
        return false;
    // Each disc on its own: one that cannot go (its number another disc's there) is told, the rest go on.
    size_t lost = 0;
    for (CatalogueDisc& disc : discs) {
        CatalogueDisc shown;
        std::vector<CatalogueEntry> entries;
        std::string why;
        if (!Show(disc.number, shown, entries, why) ||
            !to.Add(shown, entries, nullptr, nullptr, nullptr, why)) {
            ++lost;
            failed(disc.number, why);
            continue;
        }
        if (done)
            done(shown);
    }
    if (lost)
        error = std::to_string(lost) + (lost == 1 ? " disc was" : " discs were") + " not copied";
    return lost == 0;
}

std::string Cat_DefaultPath() {
    return Report_XdgDirectory("XDG_DATA_HOME", ".local/share") + "/ckvd-explorer/catalogue.sqlite";
}
