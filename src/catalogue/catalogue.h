// The disc catalogue: every examined disc in one SQLite file: discs (management number, volume name, TOC,
// comment, where and when it was read), their entries (path and name, extent, date, kind and for media files
// the tags and the stream's figures, kept in compressed blocks) and a full-text index (FTS5) of the trigrams
// of names, paths and tag texts that finds substrings in any script. Every add is one transaction, so a
// process killed in the middle leaves the catalogue as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Disc;

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
    std::string hash; // the SHA-1 of a file's bytes (20 bytes), empty where it was not taken
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

// One copy of a file found on several discs.
struct CatalogueCopy {
    int number = 0;
    std::string volume;
    int session = 0;
    std::string path;
};

// A file held by several discs (or twice on one): the same content (size and content hash) or, where a copy
// has no hash, the same name and size.
struct CatalogueDuplicate {
    std::string by;   // "content" or "name and size"
    std::string name; // the first copy's name
    uint64_t size = 0;
    std::string hash; // the SHA-1 in hex, empty without one
    std::vector<CatalogueCopy> copies;
    // What the copies past the first take.
    uint64_t Wasted() const { return copies.empty() ? 0 : size * (copies.size() - 1); }
};

// Each block of a disc's entries with its disc (number, volume name, source), until it returns false.
using CatalogueBlockVisit =
    std::function<bool(const CatalogueHit& disc, std::vector<CatalogueEntry>& entries)>;

class CatalogueStore;

// The catalogue: an SQLite file on this computer, or a PostgreSQL database a team shares
// ("postgresql://[user@]host[:port]/dbname"); every command works the same on both.
class Catalogue {
  public:
    Catalogue();
    ~Catalogue();
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens the catalogue at `path` (a file, or a PostgreSQL connection URI), brought to this version's
    // schema; with `create`, a missing one is made (a file with its folders), else it is "no catalogue at
    // PATH". False with the reason (also a damaged or foreign file, one that a newer version wrote, no
    // access, a server that cannot be reached).
    bool Open(const std::string& path, bool create, std::string& error);
    // The path, or the URI without its password.
    const std::string& Path() const { return m_path; }
    // Whether `path` names a PostgreSQL catalogue rather than a file.
    static bool IsServer(const std::string& path);

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
    void StopWhen(const std::atomic<bool>* stop);
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
    // Files held more than once, each with every copy, the most wasted bytes first.
    bool Duplicates(std::vector<CatalogueDuplicate>& found, std::string& error);
    // A copy of an SQLite catalogue at `path`, made by SQLite's online backup while others may read and
    // write it.
    bool Backup(const std::string& path, std::string& error);
    // Checks the catalogue (the database's own check, every block readable, the index in step with the
    // blocks, each disc's entry count): each fault found in `problems`, what could not be checked in
    // `notes`; false only when the check itself could not run.
    bool Check(std::vector<std::string>& problems, std::string& error,
               std::vector<std::string>* notes = nullptr);
    // Gives back the room of removed discs and brings the index to one piece.
    bool Vacuum(std::string& error);
    // Every disc of this catalogue into `to` under its own number, each in its own transaction (a disc `to`
    // holds already is updated); `done` is told each disc copied, `failed` each disc that could not go with
    // the reason, and the copy goes on (`error` then counts them).
    bool CopyTo(Catalogue& to, const std::function<void(const CatalogueDisc&)>& done, std::string& error,
                const std::function<void(int number, const std::string& why)>& failed);

  private:
    bool Opened(std::string& error) const;
    std::unique_ptr<CatalogueStore> m_store;
    std::string m_path;
};

// $XDG_DATA_HOME/ckvd-explorer/catalogue.sqlite, or ~/.local/share/ckvd-explorer/catalogue.sqlite.
std::string Cat_DefaultPath();
// A disc (the analyzers up) as the catalogue keeps it: its volume name, sessions and TOC, and a walk of every
// session's entries with the tags of its media files and the SHA-1 of each file of up to `hashUpTo` bytes
// (which stops reading once the Disc's stop is set).
void Cat_LoadedDisc(const Disc& from, CatalogueDisc& disc);
void Cat_EachLoadedEntry(Disc& disc, const std::function<void(CatalogueEntry&)>& put, uint64_t hashUpTo = 0);
// The size up to which an add hashes a file's bytes by default (CATALOGUE_HASH_MIB in the profile).
constexpr uint64_t kCatHashUpTo = 64ull << 20;
// A catalogued disc as a Disc to browse without the disc (Iso_ListedDisc): its sessions and tracks from its
// TOC, its entries in the catalogue's order, every session named by the disc's volume name. A file recorded
// in several extents is one entry of its whole size (at most 4 GiB - 1 shown). Null when memory runs out.
std::unique_ptr<Disc> Cat_ListedDisc(const CatalogueDisc& disc, const std::vector<CatalogueEntry>& entries);
// A CSV disc report this program wrote, as the catalogue keeps its disc (number, comment, TOC, every entry
// with its tags); false with the reason for a file that is no such report.
bool Cat_ReadReport(const std::string& path, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries,
                    std::string& error);
