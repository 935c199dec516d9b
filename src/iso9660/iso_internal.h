// Working state and helpers shared by the files of the ISO9660 manager; not for other modules.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso_model.h"
#include "iso9660/iso_zisofs.h"
#include "platform/bytes/byte_order.h"
#include "platform/cd/cd_time.h"

namespace iso_internal {

// Flags `e` unreadable for `reason` (the first reason given is kept).
void MarkUnreadable(Disc& d, FileEntry* e, std::string reason);
// Keeps what an entry has beside its Shift-JIS name, which is written before: `utf8`, its name, where it
// differs; a Rock Ridge entry's recorded `identifier` and its POSIX `mode` (negative: none). False when the
// heap is exhausted.
bool SetEntryText(Disc& d, FileEntry* entry, std::string_view utf8, std::string_view identifier = {},
                  int mode = -1);
// A mode for an entry whose texts are kept already.
bool SetEntryMode(Disc& d, FileEntry* entry, uint16_t mode);
// The same in the facade's current Disc (for models built by hand).
bool SetEntryText(FileEntry* entry, std::string_view utf8, std::string_view identifier = {}, int mode = -1);
bool SetEntryMode(FileEntry* entry, uint16_t mode);
// Records the target of a Rock Ridge symbolic link.
void SetSymlinkTarget(Disc& d, const FileEntry* e, std::string target);

// Zero-filled record allocation; nullptr when the heap is exhausted. File entries come from the Disc's pool.
template <class T> T* NewRecord() {
    return new (std::nothrow) T{};
}
inline FileEntry* NewEntry(Disc& d) {
    return new (d.pool, std::nothrow) FileEntry{};
}

// Frees a model with its sessions, tracks, trees and entries (nothing for null).
void ReleaseDiscModel(DiscModel* model);
// Frees the sessions with their tracks, the trees with their entries, and forgets them.
void ReleaseSessions(DiscModel* model);
void ReleaseTrees(DiscModel* model);
void ReleaseEntries(FileEntry* root);

// Bounds-checked little- and big-endian readers over disc bytes; reads outside the span give 0.
using bytes::Be16;
using bytes::Le16;
using bytes::Le32;

// A TOC time as a logical block address, in signed arithmetic: times before 00:02:00 are negative, and a
// time at or above 90:00:00 lies in the lead-in, which MMC numbers from -450150 (97:27:00 is -11,625).
inline int32_t MsfToLba(uint8_t m, uint8_t s, uint8_t f) {
    return ckvd::cd::toc_msf_to_lba(m, s, f);
}

// What the Rock Ridge entries of one directory record say.
// Its texts apart from its other fields, so that one entry serves record after record: Reset() keeps the
// texts' memory.
struct RockRidgeFields {
    bool sharingProtocol = false; // SP: the System Use Sharing Protocol is in use (the root's "." record)
    uint8_t skip = 0;             // SP: bytes to skip at the start of every System Use area
    bool extension = false;       // ER naming Rock Ridge
    bool rockRidge = false;       // any Rock Ridge entry
    bool hasName = false;
    bool symlink = false;      // SL
    bool separatorDue = false; // a "/" goes before the next component (not after ROOT or a continued one)
    uint8_t date[7] = {};      // TF modification time, as a directory record's date
    bool hasDate = false;
    uint32_t mode = 0; // PX
    bool hasMode = false;
    uint32_t childLocation = 0; // CL: the directory relocated from here lives at this block
    bool child = false;
    bool relocated = false; // RE: this directory is shown where a CL names it
    // ZF: the file's data is stored compressed (zisofs: algorithm "pz", version 1).
    bool compressed = false;
    uint8_t zfVersion = 0;
    char zfAlgorithm[2] = {};
    uint8_t zfHeaderWords = 0; // the file header's size in 4-byte words
    uint8_t zfBlockLog2 = 0;
    uint32_t zfSize = 0; // uncompressed
};
struct RockRidgeEntry : RockRidgeFields {
    std::string name;   // NM, its pieces joined (the bytes as recorded: UTF-8 on Linux discs)
    std::string target; // SL
    void Reset() {
        static_cast<RockRidgeFields&>(*this) = RockRidgeFields{};
        name.clear();
        target.clear();
    }
};

// Records what a ZF entry says of the file `e` (its record's extent holds `extentSize` bytes), beside it in
// the Disc; FileEntry::size becomes its size uncompressed.
void SetZisofs(Disc& d, FileEntry* e, const RockRidgeEntry& rr, uint32_t extentSize);

// A continuation area (SUSP CE).
struct Continuation {
    uint32_t lbn = 0, offset = 0, length = 0;
    bool present = false;
};

// The blocks of one session on one device.
struct SessionBlocks {
    const SessionEntry* session = nullptr;
    uint16_t device = 0;
};
// One block of the session (false when it cannot be read or lies outside it).
bool ReadSessionBlock(const SessionBlocks& from, uint32_t lbn, std::span<uint8_t> block);

// The System Use area of a directory record (ECMA-119 9.1.13), after `skip` bytes.
std::span<const uint8_t> SystemUseArea(std::span<const uint8_t> record, uint8_t skip);
// Reads the record's System Use entries, and the continuation areas they name from `blocks` (none when
// null).
void RockRidge_Parse(std::span<const uint8_t> record, uint8_t skip, uint32_t blockLength,
                     const SessionBlocks* blocks, RockRidgeEntry& out);

// Directory analysis (iso_directories, iso_volume_descriptors, iso_entry_names).
constexpr size_t kBufferSize = 2048; // the largest block a session may have

// Working state of one analysis of a session's directories (one per Disc).
struct DirectoryWalk {
    // The session walked, on the Disc's device, and its tree.
    SessionBlocks blocks;
    SessionTree* tree = nullptr;
    std::array<uint8_t, kBufferSize> descriptor{}; // the volume descriptor the tree comes from
    // The set's last primary and Joliet descriptors (Iso_ReadVolumeDescriptors), one of which is
    // `descriptor`.
    std::array<uint8_t, kBufferSize> primary{}, joliet{};
    bool haveJoliet = false;
    uint8_t preferred = 0; // the names sessions are read in where they record them (Iso_AnalyzeDisc)
    std::array<uint8_t, kBufferSize> sector{};
    std::vector<uint8_t> piece;    // the blocks of a directory after its first, a piece at a time
    RockRidgeEntry entry;          // the Rock Ridge entries of the record being read
    std::vector<FileEntry*> index; // directory number k at [k - 1]
    std::vector<FileEntry*> tail;  // last entry of each indexed directory's child list
    FileEntry* currentNode = nullptr;
    size_t currentIndex = 0; // index slot of the current directory (index.size() when none)
    // Blocks of the session walked as directory records so far, as [first, end) runs keyed by first block.
    std::map<uint64_t, uint64_t> walked;
    // Without a usable path table the directories come from the directory records themselves: the ones met
    // in a directory's blocks wait here until its files are placed, so that, as with the path table, a
    // directory lists its files first and then its subdirectories in record order.
    bool fromRecords = false;
    std::vector<FileEntry*> subdirectories;
    // Rock Ridge names, links, times and modes (a primary volume's tree whose root carries the SUSP "SP"
    // entry and Rock Ridge entries, set by the session's analysis when it reads those names); relocated
    // directories are then found at their real places.
    bool rockRidge = false;
    uint8_t suspSkip = 0;
    // The root directory's first block, read to look for Rock Ridge: the walk takes it from here once
    // instead of reading it again.
    std::vector<uint8_t> rootBlock;
    uint32_t rootBlockLbn = 0;
};

inline bool JolietFlag(const DirectoryWalk& w) {
    return (w.descriptor[90] & 0x40) != 0; // the third byte of a Joliet escape sequence (8.5.6)
}
// One past the last block a session's structures may use: its lead-out, where the TOC gives a sound one,
// else the end of the disc. Earlier sessions' blocks count (a later session refers to their files).
inline uint64_t SessionEnd(const SessionEntry* s) {
    const uint64_t discEnd = uint64_t(s->lastBlock) + 1;
    if (s->leadOut != 0 && s->leadOut < discEnd && int32_t(s->leadOut) > 0)
        return s->leadOut;
    return discEnd;
}
// An identifier's Shift-JIS form (the report's) and, where it reads otherwise, its Unicode name; a Rock
// Ridge name the same way, the record's own identifier kept beside it. std::bad_alloc when the heap is
// exhausted.
void SetName(Disc& d, FileEntry* e, const uint8_t* id, uint32_t length);
void SetRockRidgeName(Disc& d, FileEntry* e, const std::string& recorded, std::span<const uint8_t> record,
                      int mode);
// Deletes an entry before the model is released, with what is kept beside it.
void Forget(Disc& d, FileEntry* e);

// The root directory record's extent in the walk's descriptor.
uint32_t RootExtent(const DirectoryWalk& w);
// One data session's tree in the names `wanted` (0: the names it is shown in) from its volume descriptor set
// on; `*stop` is set when a read or memory failure should end the disc's analysis.
int AnalyzeSession(Disc& d, SessionEntry* session, SessionTree* tree, uint8_t wanted, bool* stop);
// The steps of Disc::Analyze: the TOC into sessions and tracks, the CD-TEXT, the audio sessions and tracks,
// the data sessions' volume descriptors and directories.
int AnalyzeToc(Disc& d);
void ReadDiscText(Disc& d);
int AnalyzeAudioSession(Disc& d, SessionEntry* session, SessionTree* tree);
int AddAudioFolder(Disc& d, SessionEntry* session, SessionTree* tree);
int AnalyzeDataSessions(Disc& d, uint8_t names);
int ReadVolumeDescriptors(Disc& d);
int AnalyzePathTable(Disc& d);
int AnalyzeDirectory(Disc& d);
// `count` blocks of `session` from `lbn` on, 32 at a time.
int ReadExtent(const SessionBlocks& from, uint32_t lbn, uint32_t count, uint8_t* buffer);
// `size` bytes of the file at `lbn` of `session` into `buffer`, 32 blocks at a time.
int ReadFileData(const SessionEntry& session, uint16_t device, uint8_t* buffer, uint32_t lbn, uint32_t size);
// The last READ TOC answer, kept in the Disc.
int ReadToc(Disc& d, uint8_t msf, uint8_t format);
// Frees what Iso_SameEntry kept for a tree.
void ReleaseLinks(IsoEntryLinks* links);

// One READ TOC answer: its header first for the length, then the whole, at most `limit` bytes. `answer`
// holds the bytes the drive gave, never more; `sense` (when given) the failed command's sense.
int ReadTocAnswer(uint16_t device, uint8_t msf, uint8_t format, std::vector<uint8_t>& answer,
                  uint16_t limit = 0xFFFF, AspiSense* sense = nullptr);

} // namespace iso_internal
