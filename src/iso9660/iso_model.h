// The disc model: sessions and tracks of the TOC and, per session, a tree of volume, directories, files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

// Result codes of the ISO9660 manager.
constexpr int ISO_OK = 1;
constexpr int ISO_ERR_DESCRIPTOR = 0x1002; // bad volume descriptor set / malformed structure
constexpr int ISO_ERR_DISC_TYPE = 0x1003;  // unsupported disc type
constexpr int ISO_ERR_TRACK_FILE = 0x1010; // a track file could not be opened, positioned or read
constexpr int ISO_ERR_NO_MEMORY = 0x10FF;
constexpr int ISO_ERR_FILE_NO_MEMORY = 0x20FF;
constexpr int ISO_ERR_NO_MODEL = 0x1004;  // no (complete) disc model to select or read from
constexpr int ISO_ERR_EXTENT = 0x1005;    // a file's extent runs past its session
constexpr int ISO_ERR_CANCELLED = 0x1008; // the work that asked for the analysis stopped it

// File kinds.
constexpr uint16_t KIND_CDA = 1;
constexpr uint16_t KIND_WAV = 2;
constexpr uint16_t KIND_MP3 = 4;
constexpr uint16_t KIND_WMF = 8;
constexpr uint16_t KIND_JPG = 16;
constexpr uint16_t KIND_LMX = 128;
constexpr uint16_t KIND_OTHER = 2048;
constexpr uint16_t KIND_ACCEPTED = 0x8000;
constexpr uint16_t KIND_UNSUPPORTED = 0x8800;

class RecordPool;
class Disc;

struct TrackEntry {
    uint8_t trackNumber;
    uint32_t address;
    uint32_t size; // in sectors: an audio track's length from the TOC (0 for a data track)
    TrackEntry* next;
    uint8_t control; // the track's own CONTROL nibble: bit 2 set for data, clear for audio
};

// True for a track that holds audio: its own CONTROL, whatever its session's first track holds.
inline bool Iso_IsAudioTrack(const TrackEntry* track) {
    return track && (track->control & 0x04) == 0;
}

struct SessionEntry {
    uint8_t type; // high nibble: A0 disc type; low nibble: A0 CONTROL
    uint8_t sessionNumber;
    uint32_t lastBlock;
    uint32_t blockLength;
    uint32_t pvdLbn;
    uint32_t leadIn;
    uint32_t leadOut;
    uint8_t mode5Pointers;
    uint32_t nextProgramArea;
    uint32_t recordingAreaLeadOut;
    uint8_t lastTrack;
    TrackEntry* firstTrack;
    SessionEntry* next;
};

struct FileEntry {
    char type;       // 'V', 'D', 'F'
    char name[256];  // Shift-JIS, as the report writes it
    uint8_t date[7]; // years since 1900, month, day, hour, minute, second, GMT offset (15 min units)
    uint32_t lbn;
    uint32_t size;
    uint16_t directoryNumber;
    uint16_t parentNumber;
    uint16_t kind;
    uint8_t flags; // ISO_EXTENT_* bits of a file recorded in several extents (ECMA-119 9.1.6), ISO_SYMLINK
    // The name as the disc records it, in UTF-8, where it differs (Iso_EntryName), a Rock Ridge entry's
    // recorded identifier and POSIX mode (Iso_RecordedIdentifier, Iso_EntryMode) follow the Shift-JIS name's
    // terminator in `name` (ISO_TEXT, ISO_IDENTIFIER, ISO_MODE): a disc holds tens of thousands of entries,
    // and a field of their own would make each larger than most names are long.
    FileEntry* firstChild;
    FileEntry* nextSibling;

    // Entries are drawn from a record pool (iso_record_pool): zero-filled memory in large blocks, since a
    // disc holds tens of thousands of them and each heap block or page fault of its own costs more than the
    // entry. A disc's analysis cuts them from its own pool; a plain `new` from the shared one.
    static void* operator new(size_t size);
    static void* operator new(size_t size, const std::nothrow_t&) noexcept;
    static void* operator new(size_t size, RecordPool& pool, const std::nothrow_t&) noexcept;
    static void operator delete(void* entry, size_t size) noexcept;
    static void operator delete(void* entry, RecordPool& pool, const std::nothrow_t&) noexcept;
};

// FileEntry::flags: the record's multi-extent flag (another extent of the file follows it), and the mark
// of an extent that continues the entry before it. The list shows one row per extent; a copy takes them all.
constexpr uint8_t ISO_EXTENT_MORE = 0x80;
constexpr uint8_t ISO_EXTENT_CONTINUED = 0x01;
// A Rock Ridge symbolic link (its target: Iso_SymlinkTarget).
constexpr uint8_t ISO_SYMLINK = 0x02;
// A directory whose records, or a file whose extent, could not be read (why: Iso_UnreadableReason); the
// rest of the session was read all the same.
constexpr uint8_t ISO_UNREADABLE = 0x04;
// What follows the Shift-JIS name (iso_entry_extras.cpp): the entry's Unicode name (ISO_TEXT), after it the
// record's own identifier beside a Rock Ridge name (ISO_IDENTIFIER), and a POSIX mode (ISO_MODE); kept
// elsewhere, its address in their place, when they do not fit (ISO_TEXT_AWAY).
constexpr uint8_t ISO_IDENTIFIER = 0x08;
constexpr uint8_t ISO_TEXT = 0x10;
constexpr uint8_t ISO_MODE = 0x20;
constexpr uint8_t ISO_TEXT_AWAY = 0x40;

// SessionTree::notes: the path table was passed over; a volume descriptor that failed its checks was passed
// over (the first at passedLbn); the descriptor set ended without its terminator (at setEndLbn).
constexpr uint8_t ISO_TREE_PATH_TABLE_PASSED = 0x01;
constexpr uint8_t ISO_TREE_DESCRIPTOR_PASSED = 0x02;
constexpr uint8_t ISO_TREE_NO_TERMINATOR = 0x04;
// The first session's tree: the drive gave no usable full TOC, the sessions come from its formatted TOC.
constexpr uint8_t ISO_TREE_NO_FULL_TOC = 0x08;
// A tree of a session's other names (SessionTree::otherNames) whose directories could not be read.
constexpr uint8_t ISO_TREE_NOT_READ = 0x80;
// What the window and ckvd say of a session with that note.
constexpr const char* kPathTablePassedOver =
    "the path table was passed over (empty, or not naming the root directory); "
    "the directories were read from the root directory down";
// The same in the few words a status bar holds beside its indicators at the window's first-start width.
constexpr const char* kPathTablePassedOverShort = "path table passed over, tree read from the root directory";

// The name sets a session's directories may record (SessionTree::names, SessionTree::recordedNames).
constexpr uint8_t ISO_NAMES_PRIMARY = 0x01;   // the primary volume's identifiers ("SONG.MP3;1")
constexpr uint8_t ISO_NAMES_JOLIET = 0x02;    // a Joliet volume's names (UCS-2, at most 64 or 103 characters)
constexpr uint8_t ISO_NAMES_ROCKRIDGE = 0x04; // the primary volume's records with their Rock Ridge names

struct IsoEntryLinks;

struct SessionTree {
    FileEntry* root;
    uint32_t directoryCount;
    uint32_t fileCount;
    SessionTree* next;
    uint8_t notes;
    uint8_t passedType;    // of the first descriptor passed over, as recorded
    uint8_t passedVersion; //
    bool passedIdentified; // it carried the standard identifier "CD001"
    uint8_t passedCount;   // descriptors passed over (at most 255 counted)
    uint32_t passedLbn;
    uint32_t setEndLbn; // the first block after the set that has no terminator
    // The names this tree's entries carry and every set the session records: a session is shown in its Rock
    // Ridge names, else its Joliet names, else its primary ones (Iso_NamesTree reads the others).
    uint8_t names;
    uint8_t recordedNames;
    SessionTree* otherNames; // the session's trees in other names, linked by `next`, read when asked for
    IsoEntryLinks* links;    // of such a tree: its entries by the entries of the tree shown (Iso_SameEntry)
};

namespace ckvd::cdtext {
struct DiscText;
}

struct DiscModel {
    uint8_t sessionCount;
    SessionEntry* firstSession;
    SessionTree* firstTree;
    SessionEntry* currentSessionEntry;
    SessionTree* currentTree;     // cursor of the analysis and of the list view
    uint16_t device;              // device index the model was read from
    ckvd::cdtext::DiscText* text; // CD-TEXT and the Q codes (MCN, ISRC), null on a disc without any
};

// The facade over the window's (or ckvd's) current Disc (iso_facade): its model (null when empty) and the
// session shown by the list.
extern DiscModel* g_DiscModel;
extern uint16_t g_CurrentSession;

int Iso_Initialize();
void Iso_Terminate();

// The loaded Disc (records, names, TOC, walk, file data, current session) moved out of the facade, so that
// a disc that fails to load can give way to the one shown before. Destroying a stash that was not put back
// frees what it holds.
class IsoModelStash {
  public:
    IsoModelStash();
    IsoModelStash(IsoModelStash&&) noexcept;
    IsoModelStash& operator=(IsoModelStash&&) noexcept;
    ~IsoModelStash();

  private:
    std::shared_ptr<Disc> m_disc;
    friend IsoModelStash Iso_SetModelAside();
    friend void Iso_RestoreModel(IsoModelStash&& stash);
};
// Why an entry flagged ISO_UNREADABLE could not be read ("block 24 could not be read"), else nullptr.
const char* Iso_UnreadableReason(const FileEntry* entry);
// Leaves the module empty, as after Iso_Terminate, with the model in the stash.
IsoModelStash Iso_SetModelAside();
// Frees the module's model and puts the stashed one back in its place.
void Iso_RestoreModel(IsoModelStash&& stash);
void Iso_SetFileKind(FileEntry* entry);
// Writes "%02d:%02d:%02d" into `text` of `capacity` bytes (always terminated).
void Iso_FramesToMsf(uint32_t frames, char* text, size_t capacity);

// True when the session type marks data (CONTROL bit 2).
inline bool Iso_IsDataType(uint8_t type) {
    return (type & 0x04) != 0;
}
