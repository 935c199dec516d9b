// File data straight from the drive by block address, with the block length of its session.
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

namespace {

constexpr uint32_t kPieceBlocks = 32;

} // namespace

int iso_internal::ReadFileData(const SessionEntry& s, uint16_t device, uint8_t* buffer, uint32_t lbn,
                               uint32_t size) {
    if (size == 0)
        return ISO_OK;
    if (!buffer || s.blockLength == 0)
        return ISO_ERR_NO_MODEL;
    const uint64_t bl = s.blockLength;
    const uint64_t blocks = (uint64_t(size) + bl - 1) / bl;
    // An extent that runs past the recorded area is refused before any command is sent.
    if (uint64_t(lbn) + blocks - 1 > s.lastBlock)
        return ISO_ERR_EXTENT;
    // The odd piece comes first, then whole pieces of 32 blocks.
    uint64_t done = 0;
    uint64_t piece = blocks % kPieceBlocks;
    if (piece == 0)
        piece = kPieceBlocks;
    while (done < blocks) {
        int rc = Aspi_ReadSectors(device, static_cast<uint32_t>(lbn + done), s.blockLength,
                                  static_cast<uint16_t>(piece), buffer + done * bl);
        if (rc != ASPI_OK)
            return rc;
        done += piece;
        piece = kPieceBlocks;
    }
    return ISO_OK;
}

const FileEntry* Iso_NextExtent(const FileEntry* extent) {
    if (!extent || !(extent->flags & ISO_EXTENT_MORE))
        return nullptr;
    const FileEntry* next = extent->nextSibling;
    return next && (next->flags & ISO_EXTENT_CONTINUED) ? next : nullptr;
}

uint64_t Iso_FileSize(const FileEntry* entry) {
    uint64_t size = 0;
    for (const FileEntry* e = entry; e; e = Iso_NextExtent(e))
        size += e->size;
    return size;
}
