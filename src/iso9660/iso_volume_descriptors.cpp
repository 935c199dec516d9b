// A session's volume descriptor set (ECMA-119 8), and extents read in pieces.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "aspi/aspi_manager.h"
#include "iso9660/ecma119.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

constexpr size_t kPieceBlocks = 32;

} // namespace

int iso_internal::ReadExtent(const SessionBlocks& from, uint32_t lbn, uint32_t count, uint8_t* buffer) {
    const SessionEntry* s = from.session;
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
        int rc = Aspi_ReadSectors(from.device, static_cast<uint32_t>(lbn + done), bl,
                                  static_cast<uint16_t>(n), buffer + done * bl);
        if (rc != ASPI_OK)
            return rc;
        done += n;
    }
    return ISO_OK;
}

namespace {

// A set holds a few descriptors; a damaged one is looked past for at most this many blocks.
constexpr uint64_t kMaxDescriptorBlocks = 64;

// Notes a descriptor passed over in the session's tree: the first one's place and what it records.
void NotePassed(SessionTree* tree, uint64_t lbn, const uint8_t* d) {
    if (!tree)
        return;
    if (!(tree->notes & ISO_TREE_DESCRIPTOR_PASSED)) {
        tree->notes |= ISO_TREE_DESCRIPTOR_PASSED;
        tree->passedLbn = static_cast<uint32_t>(lbn);
        tree->passedType = d[ecma119::kDescriptorType];
        tree->passedVersion = d[ecma119::kDescriptorVersion];
        tree->passedIdentified = memcmp(d + ecma119::kStandardIdentifier, "CD001", 5) == 0;
    }
    if (tree->passedCount < 255)
        ++tree->passedCount;
}

enum class Descriptor { Primary, Joliet, Other, Failed };

// What a descriptor of the set (with its standard identifier) is to the file tree.
Descriptor Classify(const uint8_t* d) {
    const uint8_t type = d[ecma119::kDescriptorType], version = d[ecma119::kDescriptorVersion];
    if (type == 1 && version == 1)
        return Descriptor::Primary;
    if (type == 2 && version == 1) {
        // Joliet: no volume flags, and an escape sequence of UCS-2 level 1, 2 or 3 ("%/@", "%/C", "%/E"); any
        // other supplementary descriptor describes no tree read here.
        const uint8_t* escape = d + ecma119::kEscapeSequences;
        const bool joliet = d[ecma119::kVolumeFlags] == 0 && escape[0] == 0x25 && escape[1] == 0x2F &&
                            (escape[2] == 0x40 || escape[2] == 0x43 || escape[2] == 0x45);
        return joliet ? Descriptor::Joliet : Descriptor::Other;
    }
    // A boot record (El Torito), a volume partition descriptor, the enhanced volume descriptor of ISO
    // 9660:1999 (the primary or Joliet one serves): nothing of the file tree.
    if (((type == 0 || type == 3) && version == 1) || (type == 2 && version == 2))
        return Descriptor::Other;
    return Descriptor::Failed;
}

} // namespace

int iso_internal::ReadVolumeDescriptors(Disc& d) {
    DirectoryWalk& w = *d.walk;
    const SessionEntry* s = w.blocks.session;
    if (!s)
        return ISO_ERR_NO_MODEL;
    const uint32_t bl = s->blockLength;
    if (bl == 0 || bl > kBufferSize)
        return ISO_ERR_DESCRIPTOR;
    SessionTree* tree = w.tree;
    auto clearNotes = [tree] {
        if (tree) {
            tree->notes &= static_cast<uint8_t>(~(ISO_TREE_DESCRIPTOR_PASSED | ISO_TREE_NO_TERMINATOR));
            tree->passedCount = 0;
        }
    };
    clearNotes();
    w.descriptor.fill(0);
    w.primary.fill(0);
    w.joliet.fill(0);
    w.haveJoliet = false;
    // The last primary and the last Joliet descriptor are kept, in whatever order they come (ECMA-119 8.4,
    // 8.5; Joliet); the Joliet one serves when there is one. A descriptor that fails its checks (an unknown
    // type or version, no standard identifier) is passed over and noted, so that a damaged boot record or
    // supplementary descriptor leaves the volume its primary descriptor describes; a set without a primary
    // descriptor describes no volume.
    bool havePrimary = false;
    // The set cannot run past the session's recorded area; each block is read once.
    const uint64_t end = std::min<uint64_t>(SessionEnd(s), uint64_t{s->pvdLbn} + kMaxDescriptorBlocks);
    uint64_t lbn = s->pvdLbn;
    bool terminated = false;
    for (; lbn < end && !terminated; ++lbn) {
        w.sector.fill(0);
        int rc = Aspi_ReadSectors(w.blocks.device, static_cast<uint32_t>(lbn), bl, 1, w.sector.data());
        if (rc != ASPI_OK) {
            if (havePrimary)
                break; // what was read describes the volume; the set is noted as cut short there
            clearNotes();
            return rc;
        }
        const uint8_t* d = w.sector.data();
        if (memcmp(d + ecma119::kStandardIdentifier, "CD001", 5) != 0) {
            if (havePrimary)
                break; // the set ends here without its terminator
            NotePassed(tree, lbn, d);
            continue;
        }
        if (d[ecma119::kDescriptorType] == 255 && d[ecma119::kDescriptorVersion] == 1) {
            terminated = true;
            continue;
        }
        const Descriptor kind = Classify(d);
        if (kind == Descriptor::Primary)
            w.primary = w.sector;
        else if (kind == Descriptor::Joliet)
            w.joliet = w.sector;
        else if (kind == Descriptor::Failed)
            NotePassed(tree, lbn, d);
        havePrimary = havePrimary || kind == Descriptor::Primary;
        w.haveJoliet = w.haveJoliet || kind == Descriptor::Joliet;
    }
    if (!havePrimary) {
        clearNotes();
        w.haveJoliet = false;
        return ISO_ERR_DESCRIPTOR;
    }
    if (!terminated && tree) {
        tree->notes |= ISO_TREE_NO_TERMINATOR;
        tree->setEndLbn = static_cast<uint32_t>(lbn);
    }
    w.descriptor = w.haveJoliet ? w.joliet : w.primary;
    return ISO_OK;
}

namespace {

std::string DescriptorName(uint8_t type) {
    switch (type) {
    case 0:
        return "boot record";
    case 1:
        return "primary volume descriptor";
    case 2:
        return "supplementary volume descriptor";
    case 3:
        return "volume partition descriptor";
    case 255:
        return "set terminator";
    default:
        return "descriptor of type " + std::to_string(type);
    }
}

} // namespace

std::vector<IsoTreeNote> Iso_TreeNotes(const SessionTree* tree) {
    std::vector<IsoTreeNote> notes;
    if (!tree)
        return notes;
    if (tree->notes & ISO_TREE_DESCRIPTOR_PASSED) {
        const std::string block = "block " + std::to_string(tree->passedLbn);
        std::string what = tree->passedIdentified
                               ? "the " + DescriptorName(tree->passedType) + " at " + block + " (version " +
                                     std::to_string(tree->passedVersion) + ")"
                               : block + " (not a volume descriptor: no \"CD001\")";
        if (tree->passedCount > 1)
            what += " and " + std::to_string(tree->passedCount - 1) + " more";
        notes.push_back({"the volume descriptor set was read past " + what +
                             ", which failed its checks; the primary volume descriptor describes the volume",
                         "volume descriptor at " + block + " passed over"});
    }
    if (tree->notes & ISO_TREE_NO_TERMINATOR)
        notes.push_back({"the volume descriptor set has no terminator: it ends at block " +
                             std::to_string(tree->setEndLbn) + ", where a block is not a volume descriptor",
                         "volume descriptor set without terminator"});
    if (tree->notes & ISO_TREE_PATH_TABLE_PASSED)
        notes.push_back({kPathTablePassedOver, kPathTablePassedOverShort});
    if (tree->notes & ISO_TREE_NO_FULL_TOC)
        notes.push_back({"the drive gave no full TOC: the sessions come from its formatted TOC and session "
                         "information (disc type, B0 and C0 unknown)",
                         "no full TOC, sessions from the formatted TOC"});
    // Entries that could not be read, counted without recursion over the tree.
    size_t unreadable = 0;
    std::vector<const FileEntry*> pending{tree->root};
    while (!pending.empty()) {
        const FileEntry* e = pending.back();
        pending.pop_back();
        for (; e; e = e->nextSibling) {
            unreadable += (e->flags & ISO_UNREADABLE) ? 1 : 0;
            if (e->type != 'F' && e->firstChild)
                pending.push_back(e->firstChild);
        }
    }
    if (unreadable > 0) {
        const std::string count = std::to_string(unreadable) + (unreadable == 1 ? " entry" : " entries");
        notes.push_back({count + " could not be read (marked in the tree and the list); the rest was read",
                         count + " unreadable", unreadable});
    }
    return notes;
}
