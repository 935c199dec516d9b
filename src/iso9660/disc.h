// One disc's analysis as an object: its records, names, the tables kept beside its entries, its TOC answer,
// the working state of its directory walk and its file image, and the device it was read from. Two Discs
// share nothing, so two discs can be open at once and each analysed on a thread of its own. The module's
// Iso_* functions without a Disc and the g_ names (iso_facade) serve the window's and ckvd's current Disc.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "iso9660/iso_model.h"
#include "iso9660/iso_record_pool.h"
#include "iso9660/iso_zisofs.h"

namespace ckvd::cdtext {
struct DiscText;
struct TrackText;
} // namespace ckvd::cdtext

namespace iso_internal {
struct DirectoryWalk;
// The texts and mode of the rare entry whose Shift-JIS name leaves no room for their address after it.
struct EntryExtras {
    const char* text = nullptr;
    uint16_t mode = 0;
};
} // namespace iso_internal

class Disc {
  public:
    Disc();
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    // Reads the disc in `device` into this Disc, emptied first. `names`: the name set each data session is
    // read in where it records it (ISO_NAMES_*); 0, or a set a session does not record: Rock Ridge, else
    // Joliet, else the primary names. ISO_OK, or the code of the failure (what was read before it stays).
    int Analyze(uint16_t device, uint8_t names = 0);
    // Frees the records and what is kept beside them (the file image stays).
    void Clear();

    // Session `index` (0 the first; past the last, the last) when its blocks can be read, else nullptr.
    SessionEntry* Session(unsigned index) const;
    // The file image: `size` bytes from `lbn` of `session`, or the bytes of `entry` uncompressed where the
    // disc stores it compressed (zisofs), read from device `from` (the Disc's own where none is given).
    // ISO_OK or the code of the failure.
    int ReadFile(const SessionEntry& session, uint32_t lbn, uint32_t size, uint16_t from);
    int ReadEntry(const SessionEntry& session, const FileEntry& entry, uint16_t from);
    int ReadEntry(const SessionEntry& session, const FileEntry& entry) {
        return ReadEntry(session, entry, device);
    }
    std::span<const uint8_t> FileBytes() const { return {fileData, size_t(fileLength)}; }
    void FreeFile();

    // For an analysis on a worker: Analyze ends with ISO_ERR_CANCELLED before the next directory once `stop`
    // is set, and counts the directories read so far in `directoriesRead`, which the work shows as progress.
    const std::atomic<bool>* stop = nullptr;
    std::atomic<uint32_t> directoriesRead{0};
    bool Stopped() const { return stop && stop->load(std::memory_order_relaxed); }

    // The pool the entries are cut from (declared first, so that it goes last), the records and what is kept
    // beside them.
    RecordPool pool;
    DiscModel* model = nullptr;
    uint16_t device = 0; // the device the disc was read from
    // Made from a listing of its entries (Iso_ListedDisc), not read from a device: nothing of it can be read.
    bool listed = false;
    uint16_t shownSession = 0; // the session shown (the list's, where the analysis left it)
    // The last READ TOC answer (full or formatted) and its TOC data length field.
    std::vector<uint8_t> tocBuffer;
    uint16_t tocDataLength = 0;
    // Beside the entries: the targets of Rock Ridge symbolic links as recorded, the dates of directories (an
    // entry's own date is a file's), why an entry flagged ISO_UNREADABLE could not be read, what the ZF entry
    // of a compressed file says.
    std::unordered_map<const FileEntry*, std::string> symlinkTargets;
    std::unordered_map<const FileEntry*, std::array<uint8_t, 7>> directoryDates;
    std::unordered_map<const FileEntry*, std::string> unreadableReasons;
    std::unordered_map<const FileEntry*, IsoZisofs> zisofsFiles;
    // The blocks the entries' UTF-8 names are cut from, the bytes used of the last one, and the texts of the
    // entries that have no room for their address.
    std::vector<std::unique_ptr<char[]>> textBlocks;
    size_t textUsed = 0;
    std::unordered_map<const FileEntry*, iso_internal::EntryExtras> entryExtras;
    std::unique_ptr<iso_internal::DirectoryWalk> walk;
    // The file image (a block of room after it for the last read) and its length, the file's size.
    uint8_t* fileData = nullptr;
    uint64_t fileLength = 0;
};

// A new Disc with the analysis of the disc in `device` (Disc::Analyze), and its result.
struct DiscAnalysis {
    int result = 0;
    std::unique_ptr<Disc> disc;
};
DiscAnalysis AnalyzeDisc(uint16_t device, uint8_t names = 0);

// A disc known only by the listing of its entries (the catalogue's), to be browsed without the disc: its
// tracks, then every entry in listing order (a directory before what it holds; an entry whose folder is not
// listed before it is left out). Its sessions have no block length and its device is kIsoNoDevice, which no
// drive answers, so every read of it fails; `listed` marks it.
constexpr uint16_t kIsoNoDevice = 0xFFFF;
struct IsoListedTrack {
    uint8_t session = 1, track = 1;
    uint32_t address = 0, size = 0; // size: an audio track's blocks, 0 for a data track
};
struct IsoListedEntry {
    uint8_t session = 1;   // 1 and up
    std::string_view path; // "/DIR/FILE" as the listing prints it (UTF-8)
    char type = 'F';       // 'F' or 'D'
    uint32_t lbn = 0, size = 0;
    const uint8_t* date = nullptr; // as FileEntry::date, null without one
};
std::unique_ptr<Disc> Iso_ListedDisc(std::string_view volume, const std::vector<IsoListedTrack>& tracks,
                                     const std::vector<IsoListedEntry>& entries);

// What a Disc keeps of its entries (the Iso_* forms without a Disc look in the current one).
const char* Iso_EntryText(const Disc& disc, const FileEntry* entry);
inline const char* Iso_EntryName(const Disc& disc, const FileEntry* entry) {
    return (entry->flags & ISO_TEXT) ? Iso_EntryText(disc, entry) : entry->name;
}
uint16_t Iso_EntryMode(const Disc& disc, const FileEntry* entry);
const char* Iso_RecordedIdentifier(const Disc& disc, const FileEntry* entry);
const uint8_t* Iso_DirectoryDate(const Disc& disc, const FileEntry* entry);
const char* Iso_UnreadableReason(const Disc& disc, const FileEntry* entry);
const char* Iso_SymlinkTarget(const Disc& disc, const FileEntry* entry);
const IsoZisofs* Iso_Zisofs(const Disc& disc, const FileEntry* entry);
uint32_t Iso_ExtentSize(const Disc& disc, const FileEntry* entry);
std::string Iso_ZisofsText(const Disc& disc, const FileEntry* entry);
// Uncompresses the file of `entry` from `device` with `session`'s block length (Iso_ZisofsUncompress).
IsoZisofsResult Iso_ZisofsUncompress(const Disc& disc, const SessionEntry& session, uint16_t device,
                                     const FileEntry& entry,
                                     const std::function<bool(const uint8_t* data, size_t length)>& put);
// A session's trees in other names and the pairing of their entries (Iso_NamesTree, Iso_SameEntry).
SessionTree* Iso_NamesTree(Disc& disc, SessionTree* tree, uint8_t names);
SessionTree* Iso_ReportTree(Disc& disc, SessionTree* tree);
const FileEntry* Iso_SameEntry(const Disc& disc, SessionTree* tree, SessionTree* other,
                               const FileEntry* entry);
// Audio tracks (Iso_HiddenTrackSectors, Iso_AudioTrackSession, Iso_IsAudioFolder).
uint32_t Iso_HiddenTrackSectors(const Disc& disc);
const SessionEntry* Iso_AudioTrackSession(const Disc& disc, const FileEntry* entry, int* number = nullptr);
bool Iso_IsAudioFolder(const Disc& disc, const FileEntry* entry);
// The disc's CD-TEXT (Iso_DiscText, Iso_TrackText).
const ckvd::cdtext::DiscText* Iso_DiscText(const Disc& disc);
const ckvd::cdtext::TrackText* Iso_TrackText(const Disc& disc, uint8_t trackNumber);
