// ISO9660 and Joliet directory analysis of every data session: the volume descriptor set, the type L path
// table (ECMA-119 9.4) and the directory records (ECMA-119 9.1) of each directory it names.
#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

constexpr size_t kBufferSize = 2048;
constexpr size_t kPieceBlocks = 32;
constexpr uint32_t kMaxDirectories = 65535; // directory numbers are 16 bits
constexpr size_t kMinDirectoryRecord = 34;  // ECMA-119 9.1: 33 fixed bytes and one identifier byte

// Working state of one analysis.
std::array<uint8_t, kBufferSize> s_Descriptor{};
std::array<uint8_t, kBufferSize> s_Sector{};
std::vector<FileEntry*> s_Index; // directory number k at [k - 1]
std::vector<FileEntry*> s_Tail;  // last entry of each indexed directory's child list
FileEntry* s_CurrentNode = nullptr;
size_t s_CurrentIndex = 0; // index slot of the current directory (s_Index.size() when none)

bool JolietFlag() {
    return (s_Descriptor[90] & 0x40) != 0;
}

SessionEntry* CurrentSession() {
    return g_DiscModel ? g_DiscModel->currentSessionEntry : nullptr;
}

// Whether an identifier holds a character beyond ASCII: a byte of 0x80 or more, or in UCS-2 (big-endian) a
// high byte that is not zero. Eight bytes at a time, since every name of a disc passes here.
bool BeyondAscii(const uint8_t* id, uint32_t length, bool ucs2) {
    const uint64_t mask =
        ucs2 ? (std::endian::native == std::endian::little ? 0x80FF80FF80FF80FFull : 0xFF80FF80FF80FF80ull)
             : 0x8080808080808080ull;
    uint64_t beyond = 0;
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word;
        std::memcpy(&word, id + i, sizeof word);
        beyond |= word & mask;
    }
    for (; i < length; ++i)
        beyond |= id[i] & (ucs2 && i % 2 == 0 ? 0xFFu : 0x80u);
    return beyond != 0;
}

// An identifier's Shift-JIS form (the report's) and, where it reads otherwise, its Unicode name.
void SetName(FileEntry* e, const uint8_t* id, uint32_t length) {
    const bool joliet = JolietFlag();
    if (joliet) {
        Iso_UcsToSjis(e->name, sizeof e->name, id, length / 2, 1, 1);
    } else {
        Iso_UcsToSjis(e->name, sizeof e->name, id, length, 0, 1);
    }
    // Most names are ASCII, which both forms write alike: only the others are decoded again.
    if (!BeyondAscii(id, joliet ? length & ~1u : length, joliet))
        return;
    const std::string text = joliet ? Iso_Utf16ToUtf8(id, length / 2, true) : Iso_BytesToUtf8(id, length);
    if (!SetEntryText(e, text))
        throw std::bad_alloc();
}

// One past the last block a session's structures may use: its lead-out, where the TOC gives a sound one,
// else the end of the disc. Earlier sessions' blocks count (a later session refers to their files).
uint64_t SessionEnd(const SessionEntry* s) {
    const uint64_t discEnd = uint64_t(s->lastBlock) + 1;
    if (s->leadOut != 0 && s->leadOut < discEnd && int32_t(s->leadOut) > 0)
        return s->leadOut;
    return discEnd;
}

// Number of blocks of an extent that lie inside the session, so that no disc-given length costs more than
// the recorded area it claims; 0 for an extent that starts past it.
uint64_t BlocksInsideSession(const SessionEntry* s, uint32_t lbn, uint64_t blocks) {
    const uint64_t end = SessionEnd(s);
    if (lbn >= end)
        return 0;
    return std::min(blocks, end - lbn);
}

// Blocks of the session walked as directory records so far, as [first, end) runs keyed by first block.
std::map<uint64_t, uint64_t> s_Walked;

// Blocks of the run [lbn, lbn + blocks) not yet walked, counted from lbn up to the first walked block; the
// run counted is marked walked.
uint64_t TakeUnwalked(uint64_t lbn, uint64_t blocks) {
    auto next = s_Walked.upper_bound(lbn);
    if (next != s_Walked.begin()) {
        auto prev = std::prev(next);
        if (prev->second > lbn)
            return 0; // lbn itself was walked
    }
    if (next != s_Walked.end())
        blocks = std::min(blocks, next->first - lbn);
    if (blocks > 0)
        s_Walked.emplace(lbn, lbn + blocks);
    return blocks;
}

// The last entry of a directory's child list: kept per indexed directory, found by a walk otherwise.
FileEntry* TailOf(size_t index, FileEntry* dir) {
    if (index < s_Tail.size() && s_Index.size() > index && s_Index[index] == dir)
        return s_Tail[index];
    FileEntry* tail = dir->firstChild;
    while (tail && tail->nextSibling)
        tail = tail->nextSibling;
    return tail;
}

void Append(size_t index, FileEntry* dir, FileEntry* e) {
    FileEntry* tail = TailOf(index, dir);
    if (tail) {
        tail->nextSibling = e;
    } else {
        dir->firstChild = e;
    }
    if (index < s_Tail.size() && s_Index.size() > index && s_Index[index] == dir)
        s_Tail[index] = e;
}

// Without a usable path table the directories come from the directory records themselves: the ones met in
// a directory's blocks wait here until its files are placed, so that, as with the path table, a directory
// lists its files first and then its subdirectories in record order.
bool s_FromRecords = false;
std::vector<FileEntry*> s_Subdirectories;

// Rock Ridge names, links, times and modes (a primary volume's tree whose root carries the SUSP "SP" entry
// and Rock Ridge entries); relocated directories are then found at their real places through the records.
bool s_RockRidge = false;
uint8_t s_SuspSkip = 0;
uint16_t s_Device = 0;
// The root directory's first block, read to look for Rock Ridge: the directory walk takes it from here once
// instead of reading it again.
std::vector<uint8_t> s_RootBlock;
uint32_t s_RootBlockLbn = 0;

// One block of the session for a System Use continuation area.
bool ReadSessionBlock(uint32_t lbn, std::span<uint8_t> block) {
    const SessionEntry* s = CurrentSession();
    return s && lbn < SessionEnd(s) && block.size() == s->blockLength &&
           Aspi_ReadSectors(s_Device, lbn, s->blockLength, 1, block.data()) == ASPI_OK;
}

RockRidgeEntry ReadRockRidge(std::span<const uint8_t> rec) {
    RockRidgeEntry rr;
    if (s_RockRidge) {
        const SessionEntry* s = CurrentSession();
        RockRidge_Parse(rec, s_SuspSkip, s ? s->blockLength : 0, ReadSessionBlock, rr);
    }
    return rr;
}

// A Rock Ridge name (UTF-8 as Linux records it, at most the 255 bytes a Linux name holds, cut before a
// character) into the model's two forms; the record's own identifier is kept beside it.
void SetRockRidgeName(FileEntry* e, const std::string& recorded, std::span<const uint8_t> rec) {
    size_t length = std::min<size_t>(recorded.size(), 255);
    while (length > 0 && length < recorded.size() && (uint8_t(recorded[length]) & 0xC0) == 0x80)
        --length;
    const std::string text = Iso_BytesToUtf8(reinterpret_cast<const uint8_t*>(recorded.data()), length);
    uint8_t ucs[2 * 256];
    const uint32_t chars = Iso_Utf8ToUcs2(reinterpret_cast<const uint8_t*>(text.data()),
                                          uint32_t(std::min<size_t>(text.size(), 255)), ucs);
    Iso_UcsToSjis(e->name, sizeof e->name, ucs, chars, 1, 1);
    if (!SetEntryText(e, text))
        throw std::bad_alloc();
    const std::string identifier = Iso_BytesToUtf8(rec.data() + 33, rec[32]);
    if (identifier != text)
        g_RecordedIdentifiers[e] = identifier;
}

// An entry deleted before the model is released takes what is kept beside it along.
void Forget(FileEntry* e) {
    g_RecordedIdentifiers.erase(e);
    g_DirectoryDates.erase(e);
    g_SymlinkTargets.erase(e);
    delete e;
}

// Name, time and mode of an entry from its record and, where recorded, its Rock Ridge entries.
void Describe(FileEntry* e, std::span<const uint8_t> rec, const RockRidgeEntry& rr) {
    if (rr.hasName)
        SetRockRidgeName(e, rr.name, rec);
    else
        SetName(e, rec.data() + 33, rec[32]);
    memcpy(e->date, rr.hasDate ? rr.date : rec.data() + 18, sizeof e->date);
    if (rr.hasMode)
        e->mode = static_cast<uint16_t>(rr.mode);
}

bool IsSelfOrParent(std::span<const uint8_t> rec) {
    return rec[32] == 1 && (rec[33] == 0 || rec[33] == 1); // ECMA-119 9.1.11: the 0x00 and 0x01 identifiers
}

// Walks the records of one block, placing a file entry for each record that is not a directory.
void WalkBlock(std::span<const uint8_t> block, FileEntry* dir, FileEntry*& tail, SessionTree* tree) {
    size_t off = 0;
    while (off < block.size() && block[off] != 0) {
        const size_t len = block[off];
        if (len < kMinDirectoryRecord || off + len > block.size())
            return;
        const std::span<const uint8_t> rec = block.subspan(off, len);
        const size_t idLength = rec[32];
        if (33 + idLength > len)
            return;
        off += len;
        const uint8_t flags = rec[25]; // ECMA-119 9.1.6
        const bool directory = flags & 0x02;
        if (directory && (!s_FromRecords || IsSelfOrParent(rec)))
            continue;
        const RockRidgeEntry rr = ReadRockRidge(rec);
        // A directory moved away for depth (RE) is listed where its CL record stands, which names its extent.
        if (directory && rr.relocated)
            continue;
        if (directory || (s_FromRecords && rr.child)) {
            FileEntry* d = NewRecord<FileEntry>();
            if (!d)
                throw std::bad_alloc();
            d->type = 'D';
            Describe(d, rec, rr);
            memset(d->date, 0, sizeof d->date); // directories carry no date in the model
            d->lbn = directory ? Le32(rec, 2) : rr.childLocation;
            d->parentNumber = dir->directoryNumber;
            s_Subdirectories.push_back(d);
            continue;
        }
        FileEntry* e = NewRecord<FileEntry>();
        if (!e)
            throw std::bad_alloc();
        e->type = 'F';
        Describe(e, rec, rr);
        e->lbn = Le32(rec, 2);
        e->size = Le32(rec, 10);
        if (rr.symlink) {
            // A link has no data of its own, whatever its record's extent says.
            e->flags |= ISO_SYMLINK;
            e->lbn = 0;
            e->size = 0;
            g_SymlinkTargets[e] = rr.target;
        }
        e->directoryNumber = dir->directoryNumber;
        e->parentNumber = dir->parentNumber;
        // A file of several extents has one record per extent under one name, each but the last flagged.
        if (flags & 0x80)
            e->flags |= ISO_EXTENT_MORE;
        if (tail && tail->type == 'F' && (tail->flags & ISO_EXTENT_MORE) &&
            strcmp(Iso_EntryName(tail), Iso_EntryName(e)) == 0)
            e->flags |= ISO_EXTENT_CONTINUED;
        if (tail) {
            tail->nextSibling = e;
        } else {
            dir->firstChild = e;
        }
        tail = e;
        ++tree->fileCount;
        s_CurrentNode = e;
    }
}

} // namespace

int Iso_ReadExtent(uint16_t device, uint32_t lbn, uint32_t count, uint8_t* buffer) {
    const SessionEntry* s = CurrentSession();
    if (!s || !buffer)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    if (uint64_t(lbn) + count > 0x100000000ull)
        return ISO_ERR_EXTENT;
    for (uint64_t done = 0; done < count;) {
        // Whole pieces of 32 first, then the remainder.
        const uint64_t n = std::min<uint64_t>(kPieceBlocks, count - done);
        int rc = Aspi_ReadSectors(device, static_cast<uint32_t>(lbn + done), bl, static_cast<uint16_t>(n),
                                  buffer + done * bl);
        if (rc != ASPI_OK)
            return rc;
        done += n;
    }
    return ISO_OK;
}

int Iso_ReadVolumeDescriptors(uint16_t device) {
    const SessionEntry* s = CurrentSession();
    if (!s)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    s_Descriptor.fill(0);
    // The last Joliet descriptor serves when there is one, else the last primary one, in whatever order
    // they come (ECMA-119 8.4, 8.5; Joliet).
    std::array<uint8_t, kBufferSize> primary{};
    bool havePrimary = false, haveJoliet = false;
    // The set cannot run past the session's recorded area; each block is read once.
    const uint64_t end = SessionEnd(s);
    for (uint64_t lbn = s->pvdLbn; lbn < end; ++lbn) {
        s_Sector.fill(0);
        int rc = Aspi_ReadSectors(device, static_cast<uint32_t>(lbn), bl, 1, s_Sector.data());
        if (rc != ASPI_OK)
            return rc;
        const uint8_t* d = s_Sector.data();
        if (memcmp(d + 1, "CD001", 5) != 0)
            return ISO_ERR_DESCRIPTOR;
        const uint8_t type = d[0], version = d[6];
        if (type == 255 && version == 1) {
            if (haveJoliet)
                return ISO_OK; // already in s_Descriptor
            if (!havePrimary)
                return ISO_ERR_DESCRIPTOR; // a set without a primary descriptor describes no volume
            s_Descriptor = primary;
            return ISO_OK;
        }
        if (type == 1 && version == 1) {
            primary = s_Sector;
            havePrimary = true;
        } else if (type == 2 && version == 1) {
            const bool joliet = d[7] == 0 && d[88] == 0x25 && d[89] == 0x2F &&
                                (d[90] == 0x40 || d[90] == 0x43 || d[90] == 0x45);
            if (joliet) {
                s_Descriptor = s_Sector;
                haveJoliet = true;
            }
        } else if ((type == 0 || type == 3) && version == 1) {
            // A boot record (El Torito) or a volume partition descriptor: nothing of the file tree.
        } else if (type == 2 && version == 2) {
            // The enhanced volume descriptor of ISO 9660:1999: the primary (or Joliet) one serves.
        } else {
            return ISO_ERR_DESCRIPTOR;
        }
    }
    return ISO_ERR_DESCRIPTOR;
}

int Iso_AnalyzeDirectory(uint16_t device) {
    const SessionEntry* s = CurrentSession();
    FileEntry* dir = s_CurrentNode;
    SessionTree* tree = g_DiscModel ? g_DiscModel->currentTree : nullptr;
    if (!s || !dir || !tree)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;

    s_Sector.fill(0);
    int rc = ASPI_OK;
    if (!s_RootBlock.empty() && s_RootBlockLbn == dir->lbn && s_RootBlock.size() == bl)
        std::copy(s_RootBlock.begin(), s_RootBlock.end(), s_Sector.begin());
    else
        rc = Aspi_ReadSectors(device, dir->lbn, bl, 1, s_Sector.data());
    s_RootBlock.clear();
    if (rc != ASPI_OK)
        return rc;
    const std::span<const uint8_t> first(s_Sector.data(), bl);
    // The first record describes the directory itself; without a sound one there is nothing to list.
    if (first[0] < kMinDirectoryRecord || first[0] > bl)
        return ISO_OK;
    const uint32_t length = Le32(first, 10);
    dir->size = length;
    if (dir->type == 'D' || dir->type == 'V') {
        // The directory's time is its own "." record's (or that record's Rock Ridge time).
        const RockRidgeEntry self = ReadRockRidge(first.subspan(0, first[0]));
        std::array<uint8_t, 7> date{};
        std::copy_n(self.hasDate ? self.date : first.data() + 18, date.size(), date.begin());
        try {
            g_DirectoryDates[dir] = date;
        } catch (const std::bad_alloc&) {
            return ISO_ERR_NO_MEMORY;
        }
    }
    // Each block of the session is walked as directory records once: a directory listed twice, or one whose
    // extent runs into blocks walked before (a disc-given length of 4 GiB), stops where they begin.
    const uint64_t blocks = TakeUnwalked(dir->lbn, BlocksInsideSession(s, dir->lbn, length / bl));
    if (blocks == 0)
        return ISO_OK;
    std::vector<uint8_t> extent;
    std::span<const uint8_t> data = first;
    if (blocks > 1) {
        try {
            extent.assign(blocks * bl, 0);
        } catch (const std::bad_alloc&) {
            return ISO_ERR_NO_MEMORY;
        }
        // The first block is here already: only the ones after it are read, so each block is read once.
        std::copy(first.begin(), first.end(), extent.begin());
        rc = Iso_ReadExtent(device, dir->lbn + 1, static_cast<uint32_t>(blocks - 1), extent.data() + bl);
        if (rc != ISO_OK)
            return rc;
        data = extent;
    }
    FileEntry* tail = TailOf(s_CurrentIndex, dir);
    int result = ISO_OK;
    try {
        for (uint64_t b = 0; b < blocks; ++b)
            WalkBlock(data.subspan(b * bl, bl), dir, tail, tree);
    } catch (const std::bad_alloc&) {
        result = ISO_ERR_NO_MEMORY;
    }
    if (s_CurrentIndex < s_Tail.size() && s_Index.size() > s_CurrentIndex && s_Index[s_CurrentIndex] == dir)
        s_Tail[s_CurrentIndex] = tail;
    return result;
}

namespace {

// The root directory record of the descriptor (ECMA-119 8.4.18) and its extent.
constexpr size_t kRootRecord = 156;
uint32_t RootExtent() {
    return Le32(std::span<const uint8_t>(s_Descriptor), kRootRecord + 2);
}

// The session's volume entry, directory number 1, named from the descriptor's volume identifier.
void PlaceVolume(SessionTree* tree, FileEntry* volume, uint16_t parent) {
    const std::span<const uint8_t> desc(s_Descriptor);
    volume->type = 'V';
    SetName(volume, desc.data() + 40, 32);
    // The identifier is padded with spaces to its field (ECMA-119 8.4.6): the padding is no part of the name
    // shown, though the report keeps the field as recorded.
    std::string shown = Iso_EntryName(volume);
    shown.erase(shown.find_last_not_of(' ') + 1);
    if (!SetEntryText(volume, shown))
        throw std::bad_alloc();
    volume->lbn = RootExtent();
    volume->parentNumber = parent;
    volume->directoryNumber = 1;
    ++tree->directoryCount;
    s_Index.push_back(volume);
    s_Tail.push_back(nullptr);
    s_CurrentNode = volume;
    s_CurrentIndex = 0;
}

// A path table serves when its first record is the root's (ECMA-119 9.4: identifier 0x00, parent 1) and
// names the extent the root directory record names; an empty or zeroed table, or one from another volume,
// would give an empty or a wrong tree.
bool PathTableNamesRoot(std::span<const uint8_t> records) {
    return records.size() >= 10 && records[0] == 1 && records[8] == 0 && Le16(records, 6) == 1 &&
           Le32(records, 2) == RootExtent();
}

// The directories read from the root directory record down, breadth first as the path table lists them:
// each directory's records name its subdirectories. Every block is walked once (a directory that points
// back at one already walked lists nothing), so the walk ends within the session.
int AnalyzeFromRecords(uint16_t device, const SessionEntry* s, SessionTree* tree, FileEntry* volume,
                       bool passedOver = true) {
    if (passedOver)
        tree->notes |= ISO_TREE_PATH_TABLE_PASSED;
    const std::span<const uint8_t> desc(s_Descriptor);
    if (desc[kRootRecord] < kMinDirectoryRecord || !(desc[kRootRecord + 25] & 0x02) ||
        RootExtent() >= SessionEnd(s))
        return ISO_ERR_DESCRIPTOR;
    PlaceVolume(tree, volume, 1);
    s_FromRecords = true;
    int result = ISO_OK;
    size_t placed = 0; // of s_Subdirectories, the ones in the tree
    try {
        for (size_t i = 0; i < s_Index.size() && result == ISO_OK; ++i) {
            FileEntry* dir = s_Index[i];
            s_CurrentNode = dir;
            s_CurrentIndex = i;
            s_Subdirectories.clear();
            placed = 0;
            result = Iso_AnalyzeDirectory(device);
            if (i == 0 && result == ISO_OK && dir->size == 0)
                result = ISO_ERR_DESCRIPTOR; // no sound root directory either: nothing describes the volume
            for (FileEntry* sub : s_Subdirectories) {
                if (result != ISO_OK)
                    break;
                if (s_Index.size() >= kMaxDirectories) {
                    result = ISO_ERR_DESCRIPTOR;
                    break;
                }
                sub->directoryNumber = static_cast<uint16_t>(s_Index.size() + 1);
                Append(i, dir, sub);
                ++placed;
                s_Index.push_back(sub);
                s_Tail.push_back(nullptr);
                ++tree->directoryCount;
            }
        }
    } catch (const std::bad_alloc&) {
        result = ISO_ERR_NO_MEMORY;
    }
    // Subdirectories not placed (after a failure) belong to no tree.
    for (size_t k = placed; k < s_Subdirectories.size(); ++k)
        Forget(s_Subdirectories[k]);
    s_Subdirectories.clear();
    s_FromRecords = false;
    return result;
}

// Whether the root directory's "." record starts its System Use area with the SUSP "SP" entry and Rock Ridge
// entries follow (ER, or the entries themselves); the skip of every area comes from SP.
bool DetectRockRidge(uint16_t device, const SessionEntry* s) {
    s_RootBlock.clear();
    if (JolietFlag() || RootExtent() >= SessionEnd(s))
        return false;
    std::vector<uint8_t>& block = s_RootBlock;
    block.assign(s->blockLength, 0);
    if (Aspi_ReadSectors(device, RootExtent(), s->blockLength, 1, block.data()) != ASPI_OK) {
        block.clear();
        return false;
    }
    s_RootBlockLbn = RootExtent();
    const size_t length = block[0];
    if (length < kMinDirectoryRecord || length > block.size())
        return false;
    const std::span<const uint8_t> self(block.data(), length);
    const std::span<const uint8_t> area = SystemUseArea(self, 0);
    if (area.size() < 7 || area[0] != 'S' || area[1] != 'P')
        return false;
    RockRidgeEntry rr;
    RockRidge_Parse(self, 0, s->blockLength, ReadSessionBlock, rr);
    s_SuspSkip = rr.skip;
    return rr.sharingProtocol && (rr.extension || rr.rockRidge);
}

// The directory that held relocated directories lists nothing once they are shown at their places.
void HideRelocationDirectory(SessionTree* tree, FileEntry* volume) {
    FileEntry** link = &volume->firstChild;
    for (FileEntry* e = *link; e; link = &e->nextSibling, e = *link) {
        std::string name(Iso_EntryName(e));
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (e->type == 'D' && !e->firstChild && (name == "rr_moved" || name == ".rr_moved")) {
            *link = e->nextSibling;
            --tree->directoryCount;
            Forget(e);
            return;
        }
    }
}

} // namespace

namespace {

int AnalyzePathTable(uint16_t device) {
    const SessionEntry* s = CurrentSession();
    SessionTree* tree = g_DiscModel ? g_DiscModel->currentTree : nullptr;
    if (!s || !tree || !tree->root)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    FileEntry* volume = tree->root;
    s_Index.clear();
    s_Tail.clear();
    s_Walked.clear();
    s_Device = device;
    s_RockRidge = DetectRockRidge(device, s);
    if (s_RockRidge) {
        const int result = AnalyzeFromRecords(device, s, tree, volume, false);
        HideRelocationDirectory(tree, volume);
        s_RockRidge = false;
        return result;
    }

    const std::span<const uint8_t> desc(s_Descriptor);
    const uint32_t tableSize = Le32(desc, 132);
    const uint32_t tableLbn = Le32(desc, 140);
    // A table that starts past the session is refused before anything is allocated for it.
    const uint64_t blocks = BlocksInsideSession(s, tableLbn, uint64_t(tableSize) / bl + 1);
    if (blocks == 0)
        return AnalyzeFromRecords(device, s, tree, volume);
    std::vector<uint8_t> table;
    try {
        table.assign(blocks * bl, 0);
    } catch (const std::bad_alloc&) {
        return ISO_ERR_NO_MEMORY;
    }
    int rc = Iso_ReadExtent(device, tableLbn, static_cast<uint32_t>(blocks), table.data());
    if (rc != ISO_OK)
        return rc;
    const std::span<const uint8_t> records(table.data(), std::min<uint64_t>(tableSize, table.size()));
    if (!PathTableNamesRoot(records)) {
        table = {};
        return AnalyzeFromRecords(device, s, tree, volume);
    }

    int result = ISO_OK;
    uint32_t number = 1;
    size_t off = 0;
    while (off < records.size() && records[off] != 0) {
        const size_t idLength = records[off];
        const size_t recordLength = 8 + idLength + (idLength & 1);
        // Every record lies wholly inside the table.
        if (off + 8 + idLength > records.size())
            return ISO_ERR_DESCRIPTOR;
        if (number > kMaxDirectories)
            return ISO_ERR_DESCRIPTOR;
        const std::span<const uint8_t> rec =
            records.subspan(off, std::min(recordLength, records.size() - off));
        const uint32_t extent = Le32(rec, 2);
        const uint16_t parent = Le16(rec, 6);
        const bool rootForm = rec[8] == 0 && (rec.size() < 10 || rec[9] == 0);
        if (number == 1 && rootForm) {
            PlaceVolume(tree, volume, parent);
            // A root that cannot be read still lets its subdirectories be listed.
            result = Iso_AnalyzeDirectory(device);
        } else {
            // Parents come first: a parent is an already placed directory with a smaller number.
            if (parent == 0 || parent >= number || parent > s_Index.size())
                return ISO_ERR_DESCRIPTOR;
            FileEntry* e = NewRecord<FileEntry>();
            if (!e)
                return ISO_ERR_NO_MEMORY;
            const size_t parentIndex = parent - 1;
            Append(parentIndex, s_Index[parentIndex], e);
            e->type = 'D';
            SetName(e, rec.data() + 8, static_cast<uint32_t>(idLength));
            e->lbn = extent;
            e->parentNumber = parent;
            e->directoryNumber = static_cast<uint16_t>(number);
            ++tree->directoryCount;
            try {
                s_Index.push_back(e);
                s_Tail.push_back(nullptr);
            } catch (const std::bad_alloc&) {
                return ISO_ERR_NO_MEMORY;
            }
            s_CurrentNode = e;
            s_CurrentIndex = s_Index.size() - 1;
            result = Iso_AnalyzeDirectory(device);
            if (result != ISO_OK)
                return result;
            s_CurrentNode = e;
        }
        ++number;
        off += recordLength;
    }
    return result;
}

} // namespace

int Iso_AnalyzePathTable(uint16_t device) {
    try {
        return AnalyzePathTable(device);
    } catch (const std::bad_alloc&) {
        s_RockRidge = false;
        s_FromRecords = false;
        return ISO_ERR_NO_MEMORY;
    }
}

int Iso_AnalyzeDataSessions(uint16_t device) {
    if (!g_DiscModel)
        return ISO_ERR_NO_MODEL;
    int result = ISO_OK;
    g_CurrentSession = 0;
    SessionEntry* session = g_DiscModel->firstSession;
    for (SessionTree* tree = g_DiscModel->firstTree; tree && session; tree = tree->next) {
        g_DiscModel->currentSessionEntry = session;
        g_DiscModel->currentTree = tree;
        FileEntry* volume = NewRecord<FileEntry>();
        if (!volume)
            return ISO_ERR_NO_MEMORY;
        volume->type = 'V';
        tree->root = volume;
        s_CurrentNode = volume;
        s_CurrentIndex = 0;
        s_Index.clear();
        s_Tail.clear();

        // A session whose block length no buffer can take is refused like a bad descriptor set.
        const bool usable = session->blockLength != 0 && session->blockLength <= kBufferSize;
        result = usable ? Iso_ReadVolumeDescriptors(device) : ISO_ERR_DESCRIPTOR;
        if (result == ISO_OK) {
            result = Iso_AnalyzePathTable(device);
            // A malformed path table keeps what was placed and lets the later sessions be read; read and
            // memory failures end the analysis.
            if (result != ISO_OK && result != ISO_ERR_DESCRIPTOR)
                break;
        }
        session = session->next;
        ++g_CurrentSession;
    }
    s_Index.clear();
    s_Tail.clear();
    s_Walked.clear();
    s_CurrentNode = nullptr;
    return result;
}
