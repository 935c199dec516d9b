// Working state and helpers shared by the files of the ISO9660 manager; not for other modules.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "iso9660/iso_model.h"

namespace iso_internal {

// The last READ TOC response (full or formatted) and its TOC data length field.
extern std::vector<uint8_t> g_TocBuffer;
extern uint16_t g_TocDataLength;

// The targets of the Rock Ridge symbolic links of the model, as recorded.
extern std::unordered_map<const FileEntry*, std::string> g_SymlinkTargets;

// What only some entries have: the identifier of a record whose name came from Rock Ridge, and the dates of
// directories (an entry's own date stays that of a file).
extern std::unordered_map<const FileEntry*, std::string> g_RecordedIdentifiers;
extern std::unordered_map<const FileEntry*, std::array<uint8_t, 7>> g_DirectoryDates;
// The blocks the entries' UTF-8 names are cut from, and the bytes used of the last one.
extern std::vector<std::unique_ptr<char[]>> g_TextBlocks;
extern size_t g_TextUsed;
// Keeps `utf8` as the entry's name where it differs from its Shift-JIS form; false when the heap is
// exhausted.
bool SetEntryText(FileEntry* entry, std::string_view utf8);

// Zero-filled record allocation; nullptr when the heap is exhausted.
template <class T> T* NewRecord() {
    return new (std::nothrow) T{};
}

// Releases the whole model and the TOC buffer (the file buffer is left alone).
void ReleaseModel();

// Frees the sessions with their tracks, the trees with their entries, and forgets them.
void ReleaseSessions(DiscModel* model);
void ReleaseTrees(DiscModel* model);
void ReleaseEntries(FileEntry* root);

// Bounds-checked little- and big-endian readers over disc bytes; reads outside the span give 0.
inline uint32_t Le32(std::span<const uint8_t> b, size_t off) {
    if (off + 4 > b.size())
        return 0;
    return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 |
           uint32_t(b[off + 3]) << 24;
}
inline uint16_t Le16(std::span<const uint8_t> b, size_t off) {
    if (off + 2 > b.size())
        return 0;
    return uint16_t(b[off] | b[off + 1] << 8);
}
inline uint16_t Be16(std::span<const uint8_t> b, size_t off) {
    if (off + 2 > b.size())
        return 0;
    return uint16_t(b[off] << 8 | b[off + 1]);
}

// A TOC time as a logical block address, in signed arithmetic: times before 00:02:00 are negative, and a
// time at or above 90:00:00 lies in the lead-in, which MMC numbers from -450150 (97:27:00 is -11,400).
inline int32_t MsfToLba(uint8_t m, uint8_t s, uint8_t f) {
    const int32_t frames = (int32_t(m) * 60 + int32_t(s)) * 75 + int32_t(f);
    return m >= 90 ? frames - 450150 : frames - 150;
}

// What the Rock Ridge entries of one directory record say.
struct RockRidgeEntry {
    bool sharingProtocol = false; // SP: the System Use Sharing Protocol is in use (the root's "." record)
    uint8_t skip = 0;             // SP: bytes to skip at the start of every System Use area
    bool extension = false;       // ER naming Rock Ridge
    bool rockRidge = false;       // any Rock Ridge entry
    std::string name;             // NM, its pieces joined (the bytes as recorded: UTF-8 on Linux discs)
    bool hasName = false;
    bool symlink = false; // SL
    std::string target;
    bool componentContinues = false;
    uint8_t date[7] = {}; // TF modification time, as a directory record's date
    bool hasDate = false;
    uint32_t mode = 0; // PX
    bool hasMode = false;
    uint32_t childLocation = 0; // CL: the directory relocated from here lives at this block
    bool child = false;
    bool relocated = false; // RE: this directory is shown where a CL names it
};

// A continuation area (SUSP CE).
struct Continuation {
    uint32_t lbn = 0, offset = 0, length = 0;
    bool present = false;
};

// The System Use area of a directory record (ECMA-119 9.1.13), after `skip` bytes.
std::span<const uint8_t> SystemUseArea(std::span<const uint8_t> record, uint8_t skip);
// Reads the record's System Use entries, and the continuation areas they name through `readBlock` (one block
// of the session; false when it cannot be read or lies outside).
void RockRidge_Parse(std::span<const uint8_t> record, uint8_t skip, uint32_t blockLength,
                     const std::function<bool(uint32_t lbn, std::span<uint8_t> block)>& readBlock,
                     RockRidgeEntry& out);

} // namespace iso_internal
