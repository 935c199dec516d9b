// ISO9660 and Joliet directory analysis of every data session: the type L path table (ECMA-119 9.4), or the
// root directory record down, and the directory records (ECMA-119 9.1) of each directory, Rock Ridge
// included.
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
#include "iso9660/ecma119.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;
using namespace ecma119;

namespace {

constexpr uint32_t kMaxDirectories = 65535; // directory numbers are 16 bits
constexpr size_t kMinDirectoryRecord = 34;  // ECMA-119 9.1: 33 fixed bytes and one identifier byte
constexpr uint64_t kPieceBlocks = 32;       // blocks of a directory read at a time

// Number of blocks of an extent that lie inside the session, so that no disc-given length costs more than
// the recorded area it claims; 0 for an extent that starts past it.
uint64_t BlocksInsideSession(const SessionEntry* s, uint32_t lbn, uint64_t blocks) {
    const uint64_t end = SessionEnd(s);
    if (lbn >= end)
        return 0;
    return std::min(blocks, end - lbn);
}

// Blocks of the run [lbn, lbn + blocks) not yet walked, counted from lbn up to the first walked block; the
// run counted is marked walked.
uint64_t TakeUnwalked(DirectoryWalk& w, uint64_t lbn, uint64_t blocks) {
    auto next = w.walked.upper_bound(lbn);
    if (next != w.walked.begin()) {
        auto prev = std::prev(next);
        if (prev->second > lbn)
            return 0; // lbn itself was walked
    }
    if (next != w.walked.end())
        blocks = std::min(blocks, next->first - lbn);
    if (blocks > 0)
        w.walked.emplace(lbn, lbn + blocks);
    return blocks;
}

// The last entry of a directory's child list: kept per indexed directory, found by a walk otherwise.
FileEntry* TailOf(const DirectoryWalk& w, size_t index, FileEntry* dir) {
    if (index < w.tail.size() && w.index.size() > index && w.index[index] == dir)
        return w.tail[index];
    FileEntry* tail = dir->firstChild;
    while (tail && tail->nextSibling)
        tail = tail->nextSibling;
    return tail;
}

void Append(DirectoryWalk& w, size_t index, FileEntry* dir, FileEntry* e) {
    FileEntry* tail = TailOf(w, index, dir);
    if (tail) {
        tail->nextSibling = e;
    } else {
        dir->firstChild = e;
    }
    if (index < w.tail.size() && w.index.size() > index && w.index[index] == dir)
        w.tail[index] = e;
}

} // namespace

// One block of the session for a System Use continuation area.
bool iso_internal::ReadSessionBlock(const SessionBlocks& from, uint32_t lbn, std::span<uint8_t> block) {
    const SessionEntry* s = from.session;
    return s && lbn < SessionEnd(s) && block.size() == s->blockLength &&
           Aspi_ReadSectors(from.device, lbn, s->blockLength, 1, block.data()) == ASPI_OK;
}

namespace {

// A record's Rock Ridge entries, read into the walk's one entry, whose texts keep their memory from record
// to record (every record of a Rock Ridge disc has a name).
const RockRidgeEntry& ReadRockRidge(DirectoryWalk& w, std::span<const uint8_t> rec) {
    RockRidgeEntry& rr = w.entry;
    rr.Reset();
    if (w.rockRidge) {
        const SessionEntry* s = w.blocks.session;
        RockRidge_Parse(rec, w.suspSkip, s ? s->blockLength : 0, &w.blocks, rr);
    }
    return rr;
}

// Name, time and mode of an entry from its record and, where recorded, its Rock Ridge entries.
void Describe(Disc& d, FileEntry* e, std::span<const uint8_t> rec, const RockRidgeEntry& rr) {
    const int mode = rr.hasMode ? int(rr.mode & 0xFFFF) : -1;
    if (rr.hasName) {
        SetRockRidgeName(d, e, rr.name, rec, mode);
    } else {
        SetName(d, e, rec.data() + kRecordIdentifier, rec[kRecordIdentifierLength]);
        if (mode >= 0 && !SetEntryMode(d, e, uint16_t(mode)))
            throw std::bad_alloc();
    }
    memcpy(e->date, rr.hasDate ? rr.date : rec.data() + kRecordDate, sizeof e->date);
}

// Why an entry is marked unreadable, in the words ckvd and the window show.
std::string BlockUnreadable(uint64_t lbn) {
    return "block " + std::to_string(lbn) + " could not be read";
}
std::string PastTheEnd(const SessionEntry* s) {
    return "its extent runs past the end of the session at block " + std::to_string(SessionEnd(s));
}

bool IsSelfOrParent(std::span<const uint8_t> rec) {
    // The 0x00 and 0x01 identifiers (9.1.11).
    return rec[kRecordIdentifierLength] == 1 && (rec[kRecordIdentifier] == 0 || rec[kRecordIdentifier] == 1);
}

// Walks the records of one block, placing a file entry for each record that is not a directory.
void WalkBlock(Disc& d, std::span<const uint8_t> block, FileEntry* dir, FileEntry*& tail) {
    DirectoryWalk& w = *d.walk;
    SessionTree* tree = w.tree;
    size_t off = 0;
    while (off < block.size() && block[off] != 0) {
        const size_t len = block[off];
        if (len < kMinDirectoryRecord || off + len > block.size())
            return;
        const std::span<const uint8_t> rec = block.subspan(off, len);
        const size_t idLength = rec[kRecordIdentifierLength];
        if (kRecordIdentifier + idLength > len)
            return;
        off += len;
        const uint8_t flags = rec[kRecordFlags];
        const bool directory = flags & kFlagDirectory;
        if (directory && (!w.fromRecords || IsSelfOrParent(rec)))
            continue;
        const RockRidgeEntry& rr = ReadRockRidge(w, rec);
        // A directory moved away for depth (RE) is listed where its CL record stands, which names its extent.
        if (directory && rr.relocated)
            continue;
        if (directory || (w.fromRecords && rr.child)) {
            FileEntry* sub = NewEntry(d);
            if (!sub)
                throw std::bad_alloc();
            sub->type = 'D';
            Describe(d, sub, rec, rr);
            memset(sub->date, 0, sizeof sub->date); // directories carry no date in the model
            sub->lbn = directory ? Le32(rec, kRecordExtent) : rr.childLocation;
            sub->parentNumber = dir->directoryNumber;
            w.subdirectories.push_back(sub);
            continue;
        }
        FileEntry* e = NewEntry(d);
        if (!e)
            throw std::bad_alloc();
        e->type = 'F';
        Describe(d, e, rec, rr);
        e->lbn = Le32(rec, kRecordExtent);
        e->size = Le32(rec, kRecordDataLength);
        if (rr.symlink) {
            // A link has no data of its own, whatever its record's extent says.
            e->flags |= ISO_SYMLINK;
            e->lbn = 0;
            e->size = 0;
            SetSymlinkTarget(d, e, rr.target);
        }
        e->directoryNumber = dir->directoryNumber;
        e->parentNumber = dir->parentNumber;
        if (const SessionEntry* s = w.blocks.session;
            s && s->blockLength && e->size > 0 &&
            uint64_t{e->lbn} + (uint64_t{e->size} - 1) / s->blockLength >= SessionEnd(s))
            MarkUnreadable(d, e, PastTheEnd(s));
        // A file of several extents has one record per extent under one name, each but the last flagged.
        if (flags & kFlagMultiExtent)
            e->flags |= ISO_EXTENT_MORE;
        if (tail && tail->type == 'F' && (tail->flags & ISO_EXTENT_MORE) &&
            strcmp(Iso_EntryName(d, tail), Iso_EntryName(d, e)) == 0)
            e->flags |= ISO_EXTENT_CONTINUED;
        if (rr.compressed && !rr.symlink) // after the extent checks, which take the size as recorded
            SetZisofs(d, e, rr, e->size);
        if (tail) {
            tail->nextSibling = e;
        } else {
            dir->firstChild = e;
        }
        tail = e;
        ++tree->fileCount;
        w.currentNode = e;
    }
}

// The blocks of a directory after its first (read already, for the directory's own length), a piece of 32 at
// a time into the walk's one buffer, so each block is read once and no directory costs memory of its size. A
// piece that cannot be read is read block by block: the records of every block that can be are listed.
void WalkFollowingBlocks(Disc& d, FileEntry* dir, uint64_t blocks, FileEntry*& tail) {
    DirectoryWalk& w = *d.walk;
    const uint32_t bl = w.blocks.session->blockLength;
    std::vector<uint8_t>& piece = w.piece;
    for (uint64_t b = 1; b < blocks && !d.Stopped();) {
        const uint64_t n = std::min<uint64_t>(kPieceBlocks, blocks - b);
        piece.resize(n * bl);
        const auto lbn = static_cast<uint32_t>(dir->lbn + b);
        if (ReadExtent(w.blocks, lbn, static_cast<uint32_t>(n), piece.data()) != ISO_OK)
            for (uint64_t k = 0; k < n; ++k)
                if (ReadExtent(w.blocks, static_cast<uint32_t>(lbn + k), 1, piece.data() + k * bl) !=
                    ISO_OK) {
                    std::fill_n(piece.begin() + static_cast<std::ptrdiff_t>(k * bl), bl, uint8_t{0});
                    if (!(dir->flags & ISO_UNREADABLE))
                        MarkUnreadable(d, dir, BlockUnreadable(lbn + k));
                }
        for (uint64_t k = 0; k < n; ++k)
            WalkBlock(d, std::span<const uint8_t>(piece).subspan(k * bl, bl), dir, tail);
        b += n;
    }
}

} // namespace

int iso_internal::AnalyzeDirectory(Disc& d) {
    DirectoryWalk& w = *d.walk;
    const SessionEntry* s = w.blocks.session;
    FileEntry* dir = w.currentNode;
    SessionTree* tree = w.tree;
    if (!s || !dir || !tree)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    if (d.Stopped())
        return ISO_ERR_CANCELLED;
    d.directoriesRead.fetch_add(1, std::memory_order_relaxed);

    w.sector.fill(0);
    int rc = ASPI_OK;
    if (!w.rootBlock.empty() && w.rootBlockLbn == dir->lbn && w.rootBlock.size() == bl)
        std::copy(w.rootBlock.begin(), w.rootBlock.end(), w.sector.begin());
    else
        rc = Aspi_ReadSectors(w.blocks.device, dir->lbn, bl, 1, w.sector.data());
    w.rootBlock.clear();
    // A directory that cannot be read stays in the tree, marked; the rest of the session is read.
    if (rc != ASPI_OK) {
        MarkUnreadable(d, dir, dir->lbn >= SessionEnd(s) ? PastTheEnd(s) : BlockUnreadable(dir->lbn));
        return ISO_OK;
    }
    const std::span<const uint8_t> first(w.sector.data(), bl);
    // The first record describes the directory itself; without a sound one there is nothing to list.
    if (first[0] < kMinDirectoryRecord || first[0] > bl) {
        MarkUnreadable(d, dir, "block " + std::to_string(dir->lbn) + " holds no directory record");
        return ISO_OK;
    }
    const uint32_t length = Le32(first, kRecordDataLength);
    dir->size = length;
    if (dir->type == 'D' || dir->type == 'V') {
        // The directory's time is its own "." record's (or that record's Rock Ridge time).
        const RockRidgeEntry& self = ReadRockRidge(w, first.subspan(0, first[0]));
        std::array<uint8_t, 7> date{};
        std::copy_n(self.hasDate ? self.date : first.data() + kRecordDate, date.size(), date.begin());
        try {
            d.directoryDates[dir] = date;
        } catch (const std::bad_alloc&) {
            return ISO_ERR_NO_MEMORY;
        }
    }
    // Each block of the session is walked as directory records once: a directory listed twice, or one whose
    // extent runs into blocks walked before (a disc-given length of 4 GiB), stops where they begin.
    const uint64_t inside = BlocksInsideSession(s, dir->lbn, length / bl);
    if (inside < length / bl)
        MarkUnreadable(d, dir, PastTheEnd(s));
    const uint64_t blocks = TakeUnwalked(w, dir->lbn, inside);
    if (blocks == 0)
        return ISO_OK;
    FileEntry* tail = TailOf(w, w.currentIndex, dir);
    int result = ISO_OK;
    try {
        WalkBlock(d, first, dir, tail);
        WalkFollowingBlocks(d, dir, blocks, tail);
    } catch (const std::bad_alloc&) {
        result = ISO_ERR_NO_MEMORY;
    }
    if (w.currentIndex < w.tail.size() && w.index.size() > w.currentIndex && w.index[w.currentIndex] == dir)
        w.tail[w.currentIndex] = tail;
    return result == ISO_OK && d.Stopped() ? ISO_ERR_CANCELLED : result;
}

// The root directory record of the descriptor (ECMA-119 8.4.18) and its extent.
uint32_t iso_internal::RootExtent(const DirectoryWalk& w) {
    return Le32(std::span<const uint8_t>(w.descriptor), kRootDirectoryRecord + kRecordExtent);
}

namespace {

// The session's volume entry, directory number 1, named from the descriptor's volume identifier.
void PlaceVolume(Disc& d, SessionTree* tree, FileEntry* volume, uint16_t parent) {
    DirectoryWalk& w = *d.walk;
    const std::span<const uint8_t> desc(w.descriptor);
    volume->type = 'V';
    SetName(d, volume, desc.data() + kVolumeIdentifier, 32);
    // The identifier is padded with spaces to its field (ECMA-119 8.4.6): the padding is no part of the name
    // shown, though the report keeps the field as recorded.
    std::string shown = Iso_EntryName(d, volume);
    shown.erase(shown.find_last_not_of(' ') + 1);
    if (!SetEntryText(d, volume, shown))
        throw std::bad_alloc();
    volume->lbn = RootExtent(w);
    volume->parentNumber = parent;
    volume->directoryNumber = 1;
    ++tree->directoryCount;
    w.index.push_back(volume);
    w.tail.push_back(nullptr);
    w.currentNode = volume;
    w.currentIndex = 0;
}

// A path table serves when its first record is the root's (ECMA-119 9.4: identifier 0x00, parent 1) and
// names the extent the root directory record names; an empty or zeroed table, or one from another volume,
// would give an empty or a wrong tree.
bool PathTableNamesRoot(const DirectoryWalk& w, std::span<const uint8_t> records) {
    return records.size() >= 10 && records[kPathIdentifierLength] == 1 && records[kPathIdentifier] == 0 &&
           Le16(records, kPathParent) == 1 && Le32(records, kPathExtent) == RootExtent(w);
}

// The directories read from the root directory record down, breadth first as the path table lists them:
// each directory's records name its subdirectories. Every block is walked once (a directory that points
// back at one already walked lists nothing), so the walk ends within the session.
int AnalyzeFromRecords(Disc& d, const SessionEntry* s, SessionTree* tree, FileEntry* volume,
                       bool passedOver = true) {
    DirectoryWalk& w = *d.walk;
    if (passedOver)
        tree->notes |= ISO_TREE_PATH_TABLE_PASSED;
    const std::span<const uint8_t> desc(w.descriptor);
    if (desc[kRootDirectoryRecord] < kMinDirectoryRecord ||
        !(desc[kRootDirectoryRecord + kRecordFlags] & kFlagDirectory) || RootExtent(w) >= SessionEnd(s))
        return ISO_ERR_DESCRIPTOR;
    PlaceVolume(d, tree, volume, 1);
    w.fromRecords = true;
    int result = ISO_OK;
    size_t placed = 0; // of w.subdirectories, the ones in the tree
    try {
        for (size_t i = 0; i < w.index.size() && result == ISO_OK; ++i) {
            FileEntry* dir = w.index[i];
            w.currentNode = dir;
            w.currentIndex = i;
            w.subdirectories.clear();
            placed = 0;
            result = AnalyzeDirectory(d);
            if (i == 0 && result == ISO_OK && dir->size == 0)
                result = ISO_ERR_DESCRIPTOR; // no sound root directory either: nothing describes the volume
            for (FileEntry* sub : w.subdirectories) {
                if (result != ISO_OK)
                    break;
                if (w.index.size() >= kMaxDirectories) {
                    result = ISO_ERR_DESCRIPTOR;
                    break;
                }
                sub->directoryNumber = static_cast<uint16_t>(w.index.size() + 1);
                Append(w, i, dir, sub);
                ++placed;
                w.index.push_back(sub);
                w.tail.push_back(nullptr);
                ++tree->directoryCount;
            }
        }
    } catch (const std::bad_alloc&) {
        result = ISO_ERR_NO_MEMORY;
    }
    // Subdirectories not placed (after a failure) belong to no tree.
    for (size_t k = placed; k < w.subdirectories.size(); ++k)
        Forget(d, w.subdirectories[k]);
    w.subdirectories.clear();
    w.fromRecords = false;
    return result;
}

// The directory that held relocated directories lists nothing once they are shown at their places.
void HideRelocationDirectory(Disc& d, SessionTree* tree, FileEntry* volume) {
    FileEntry** link = &volume->firstChild;
    for (FileEntry* e = *link; e; link = &e->nextSibling, e = *link) {
        std::string name(Iso_EntryName(d, e));
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (e->type == 'D' && !e->firstChild && (name == "rr_moved" || name == ".rr_moved")) {
            *link = e->nextSibling;
            --tree->directoryCount;
            Forget(d, e);
            return;
        }
    }
}

} // namespace

namespace {

// The type L path table of the descriptor read into `table`; `records` is the part of it the descriptor
// gives as its size. `usable` is false when the table cannot serve: it starts past the session or names no
// root.
int ReadPathTable(const DirectoryWalk& w, const SessionEntry* s, std::vector<uint8_t>& table,
                  std::span<const uint8_t>& records, bool& usable) {
    usable = false;
    const uint32_t bl = s->blockLength;
    const std::span<const uint8_t> desc(w.descriptor);
    const uint32_t tableSize = Le32(desc, kPathTableSize);
    const uint32_t tableLbn = Le32(desc, kTypeLPathTable);
    // A table that starts past the session is refused before anything is allocated for it.
    const uint64_t blocks = BlocksInsideSession(s, tableLbn, uint64_t(tableSize) / bl + 1);
    if (blocks == 0)
        return ISO_OK;
    try {
        table.assign(blocks * bl, 0);
    } catch (const std::bad_alloc&) {
        return ISO_ERR_NO_MEMORY;
    }
    int rc = ReadExtent(w.blocks, tableLbn, static_cast<uint32_t>(blocks), table.data());
    if (rc != ISO_OK)
        return rc;
    records = std::span<const uint8_t>(table.data(), std::min<uint64_t>(tableSize, table.size()));
    if (!PathTableNamesRoot(w, records)) {
        records = {};
        table = {};
        return ISO_OK;
    }
    usable = true;
    return ISO_OK;
}

// Directory `number` of the path table below its parent, an already placed directory with a smaller number,
// and its records read.
int PlacePathTableDirectory(Disc& d, SessionTree* tree, std::span<const uint8_t> rec, size_t idLength,
                            uint32_t number) {
    DirectoryWalk& w = *d.walk;
    const uint32_t extent = Le32(rec, kPathExtent);
    const uint16_t parent = Le16(rec, kPathParent);
    if (parent == 0 || parent >= number || parent > w.index.size())
        return ISO_ERR_DESCRIPTOR;
    FileEntry* e = NewEntry(d);
    if (!e)
        return ISO_ERR_NO_MEMORY;
    const size_t parentIndex = parent - 1;
    Append(w, parentIndex, w.index[parentIndex], e);
    e->type = 'D';
    SetName(d, e, rec.data() + kPathIdentifier, static_cast<uint32_t>(idLength));
    e->lbn = extent;
    e->parentNumber = parent;
    e->directoryNumber = static_cast<uint16_t>(number);
    ++tree->directoryCount;
    try {
        w.index.push_back(e);
        w.tail.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        return ISO_ERR_NO_MEMORY;
    }
    w.currentNode = e;
    w.currentIndex = w.index.size() - 1;
    const int result = AnalyzeDirectory(d);
    if (result == ISO_OK)
        w.currentNode = e;
    return result;
}

// The directories in path table order, each with its records; the first, in the root's form, is the volume.
int WalkPathTable(Disc& d, SessionTree* tree, FileEntry* volume, std::span<const uint8_t> records) {
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
        const bool rootForm = rec[kPathIdentifier] == 0 && (rec.size() < 10 || rec[9] == 0);
        if (number == 1 && rootForm) {
            PlaceVolume(d, tree, volume, Le16(rec, kPathParent));
            // A root that cannot be read still lets its subdirectories be listed.
            result = AnalyzeDirectory(d);
        } else {
            result = PlacePathTableDirectory(d, tree, rec, idLength, number);
            if (result != ISO_OK)
                return result;
        }
        ++number;
        off += recordLength;
    }
    return result;
}

int WalkSession(Disc& d) {
    DirectoryWalk& w = *d.walk;
    const SessionEntry* s = w.blocks.session;
    SessionTree* tree = w.tree;
    if (!s || !tree || !tree->root)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    FileEntry* volume = tree->root;
    w.index.clear();
    w.tail.clear();
    w.walked.clear();
    if (w.rockRidge) {
        const int result = AnalyzeFromRecords(d, s, tree, volume, false);
        HideRelocationDirectory(d, tree, volume);
        w.rockRidge = false;
        return result;
    }
    std::vector<uint8_t> table;
    std::span<const uint8_t> records;
    bool usable = false;
    const int rc = ReadPathTable(w, s, table, records, usable);
    if (rc != ISO_OK)
        return rc;
    if (!usable)
        return AnalyzeFromRecords(d, s, tree, volume);
    return WalkPathTable(d, tree, volume, records);
}

} // namespace

int iso_internal::AnalyzePathTable(Disc& d) {
    DirectoryWalk& w = *d.walk;
    try {
        return WalkSession(d);
    } catch (const std::bad_alloc&) {
        w.rockRidge = false;
        w.fromRecords = false;
        return ISO_ERR_NO_MEMORY;
    }
}
