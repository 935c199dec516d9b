// The disc catalogue: every examined disc in one SQLite file: discs (management number, volume name, TOC,
// comment, where and when it was read), their entries (path and name, extent, date, kind and for media files
// the tags and the stream's figures, kept in compressed blocks) and a full-text index (FTS5) of the trigrams
// of names, paths and tag texts that finds substrings in any script. Every add is one transaction, so a
// process killed in the middle leaves the catalogue as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class Disc;
namespace cat_internal {
class DiscKey;
struct Statement;
} // namespace cat_internal

struct CatalogueDisc {
    int number = -1; // the management number (0 and up); -1 for none yet
    std::string volume;
    int sessions = 0;
    std::string toc; // "S1 T1 0+337; S2 T2 11737+247": session, track, start + blocks
    std::string comment;
    std::string source; // the image or device it was read from
    std::string added;  // when, "YYYY-MM-DD HH:MM:SS" UTC
    uint64_t entries = 0;
};

// One entry of a disc as the catalogue keeps it.
struct CatalogueEntry {
    int session = 0;
    std::string path; // as ckvd ls prints it
    char type = 'F';  // 'F' or 'D'
    uint32_t lbn = 0;
    uint64_t size = 0;
    std::string date; // "YYYY-MM-DD HH:MM:SS" as recorded, empty without one
    std::string title, artist, album, codec;
    uint32_t bitrate = 0, sampling = 0, seconds = 0;
};

struct CatalogueHit {
    int number = 0;
    std::string volume;
    std::string source; // where the disc was read from
    CatalogueEntry entry;
};

// Hands each entry of a disc to `put`, in order. `put` may take the entry's texts (swap them with its own):
// the walk sets every field of the entry anew before the next call.
using CatalogueWalk = std::function<void(const std::function<void(CatalogueEntry&)>& put)>;

class Catalogue {
  public:
    Catalogue() = default;
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens the catalogue at `path`, brought to this version's schema; with `create`, a missing one is made
    // with its folders, else it is "no catalogue at PATH". False with the reason (also a damaged or foreign
    // file, one that a newer version wrote, no access).
    bool Open(const std::string& path, bool create, std::string& error);
    const std::string& Path() const { return m_path; }

    // Adds `entries` as disc `disc` in one transaction; a disc with the same volume name, TOC and entries
    // (its `key`) is updated in place and keeps its number unless `disc.number` is given (0 and up). The
    // number used in `*number`, whether an old disc was updated in `*updated`. False with the reason (the
    // catalogue busy for more than a few seconds, a number taken by another disc). `newNumber` gives the
    // number of a disc new to the catalogue without one (-1 when none can be had).
    bool Add(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries,
             const std::function<int()>& newNumber, int* number, bool* updated, std::string& error);
    // The same with the entries handed over one at a time (a large disc is never held whole), their count in
    // `*count`.
    bool Add(const CatalogueDisc& disc, const CatalogueWalk& walk, const std::function<int()>& newNumber,
             int* number, bool* updated, uint64_t* count, std::string& error);
    // An add whose work is cancelled (`stop` set, by another thread) while it walks fails and writes nothing.
    void StopWhen(const std::atomic<bool>* stop) { m_stop = stop; }
    // Entries whose path, name or tag texts hold `text` (in any case and without diacritics, in any
    // script), at most `limit`.
    bool Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits, std::string& error);
    bool List(std::vector<CatalogueDisc>& discs, std::string& error);
    // Disc `number` and its entries; false when there is none (with the reason).
    bool Show(int number, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries, std::string& error);
    bool Remove(int number, std::string& error);
    // The next free number (the highest + 1).
    int NextNumber();
    // Every entry of every disc, in number and disc order, each with its disc's number and volume name.
    bool Export(const std::function<void(const CatalogueHit&)>& each, std::string& error);
    // Files found on several discs: by the same name and size, or by the same title and artist.
    struct Duplicate {
        std::string what;         // "name and size" or "title and artist"
        std::string text;         // "T0001.MP3, 17,135 bytes" / "Title / Artist"
        std::vector<int> numbers; // the discs
    };
    bool Duplicates(std::vector<Duplicate>& found, std::string& error);
    // A copy of the catalogue at `path`, made by SQLite's online backup while others may read and write it.
    bool Backup(const std::string& path, std::string& error);

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
    // Every block's index document and masks made again, and every disc's key, inside the caller's
    // transaction.
    bool Reindex(std::string& error);
    bool Rekey(const std::map<int64_t, cat_internal::DiscKey>& keys, std::string& error);
    bool DiscIdentities(cat_internal::Statement& discs, std::vector<std::pair<int64_t, CatalogueDisc>>& ids,
                        std::string& error);
    // Version 1's rows of entries into blocks, inside the caller's transaction.
    bool ToVersion2(std::string& error);
    bool CopyVersion1Rows(std::string& error);
    // `entries` as the blocks of disc `disc`, each with its masks and index document.
    bool WriteBlocks(int64_t disc, const std::vector<CatalogueEntry>& entries, std::string& error);
    bool WriteBlock(int64_t disc, size_t n, const struct CatalogueBlock& block, std::string& error);
    // The add's steps inside its transaction: the walk's entries written as the blocks of disc row `id`
    // (their count and key taken on the way); then the disc settled: the same disc found before replaced,
    // its number chosen (in `use`) and its row completed.
    bool WriteWalk(int64_t id, const CatalogueWalk& walk, cat_internal::DiscKey& hash, uint64_t& entries,
                   std::string& error);
    bool Settle(int64_t id, const CatalogueDisc& disc, const std::string& key, uint64_t entries,
                const std::function<int()>& newNumber, int& use, bool& updated, std::string& error);
    // The discs with their entry counts: every one, or the one numbered `number` (0 and up).
    bool Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error);
    // Disc `id` out of the index and the tables, inside the caller's transaction.
    bool DropDisc(int64_t id, std::string& error);

    void FinishStatements();

    sqlite3* m_db = nullptr;
    const std::atomic<bool>* m_stop = nullptr;
    sqlite3_stmt* m_putBlock[3] = {}; // a block's row, its masks and its index document, kept prepared
    std::string m_path;
};

// $XDG_DATA_HOME/ckvd-explorer/catalogue.sqlite, or ~/.local/share/ckvd-explorer/catalogue.sqlite.
std::string Cat_DefaultPath();
// A disc (the analyzers up) as the catalogue keeps it: its volume name, sessions and TOC, and a walk of every
// session's entries with the tags of its media files (which stops reading once the Disc's stop is set).
void Cat_LoadedDisc(const Disc& from, CatalogueDisc& disc);
void Cat_EachLoadedEntry(Disc& disc, const std::function<void(CatalogueEntry&)>& put);
// A catalogued disc as a Disc to browse without the disc (Iso_ListedDisc): its sessions and tracks from its
// TOC, its entries in the catalogue's order, every session named by the disc's volume name. A file recorded
// in several extents is one entry of its whole size (at most 4 GiB - 1 shown). Null when memory runs out.
std::unique_ptr<Disc> Cat_ListedDisc(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries);
// A CSV disc report this program wrote, as the catalogue keeps its disc (number, comment, TOC, every entry
// with its tags); false with the reason for a file that is no such report.
bool Cat_ReadReport(const std::string& path, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries,
                    std::string& error);
