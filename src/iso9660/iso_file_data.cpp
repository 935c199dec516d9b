// File data straight from the drive by block address, with the block length of the selected session.
#include <cstdlib>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

uint8_t* g_FileData = nullptr;
uint8_t* g_FileCursor = nullptr;
uint64_t g_FileDataLength = 0;

namespace {

constexpr uint32_t kPieceBlocks = 32;

// The file's blocks lie inside the recorded area of the session.
bool ExtentInsideSession(const SessionEntry* s, uint32_t lbn, uint32_t size) {
    if (size == 0)
        return true;
    const uint64_t blocks = (uint64_t(size) + s->blockLength - 1) / s->blockLength;
    return uint64_t(lbn) + blocks - 1 <= s->lastBlock;
}

} // namespace

int Iso_SelectSession() {
    if (!g_DiscModel || !g_DiscModel->firstSession)
        return ISO_ERR_NO_MODEL;
    SessionEntry* s = g_DiscModel->firstSession;
    for (unsigned i = 0; i < g_CurrentSession && s->next; ++i)
        s = s->next;
    // A session that READ CAPACITY never filled cannot be read from.
    if (s->blockLength == 0)
        return ISO_ERR_NO_MODEL;
    g_DiscModel->currentSessionEntry = s;
    return ISO_OK;
}

int Iso_ReadFileData(uint8_t* buffer, uint32_t lbn, uint32_t size) {
    if (size == 0)
        return ISO_OK;
    const SessionEntry* s = g_DiscModel ? g_DiscModel->currentSessionEntry : nullptr;
    if (!s || !buffer || s->blockLength == 0)
        return ISO_ERR_NO_MODEL;
    const uint64_t bl = s->blockLength;
    const uint64_t blocks = (uint64_t(size) + bl - 1) / bl;
    // An extent that runs past the recorded area is refused before any command is sent.
    if (uint64_t(lbn) + blocks - 1 > s->lastBlock)
        return ISO_ERR_EXTENT;
    // The odd piece comes first, then whole pieces of 32 blocks.
    uint64_t done = 0;
    uint64_t piece = blocks % kPieceBlocks;
    if (piece == 0)
        piece = kPieceBlocks;
    while (done < blocks) {
        int rc = Aspi_ReadSectors(g_CurrentDevice, static_cast<uint32_t>(lbn + done), s->blockLength,
                                  static_cast<uint16_t>(piece), buffer + done * bl);
        if (rc != ASPI_OK)
            return rc;
        done += piece;
        piece = kPieceBlocks;
    }
    return ISO_OK;
}

namespace {

// The file image of `size` bytes, zero-filled, with a block of room after it for the last read.
int AllocateFile(uint32_t size) {
    const uint64_t bytes = uint64_t(size) + g_DiscModel->currentSessionEntry->blockLength;
    if (bytes > SIZE_MAX)
        return ISO_ERR_FILE_NO_MEMORY;
    g_FileData = static_cast<uint8_t*>(calloc(1, static_cast<size_t>(bytes)));
    if (!g_FileData)
        return ISO_ERR_FILE_NO_MEMORY;
    g_FileCursor = g_FileData;
    g_FileDataLength = size;
    return ISO_OK;
}

} // namespace

int Iso_ReadFile(uint32_t lbn, uint32_t size) {
    int rc = Iso_SelectSession();
    if (rc != ISO_OK)
        return rc;
    Iso_FreeFile();
    if (!ExtentInsideSession(g_DiscModel->currentSessionEntry, lbn, size))
        return ISO_ERR_EXTENT;
    rc = AllocateFile(size);
    return rc == ISO_OK ? Iso_ReadFileData(g_FileData, lbn, size) : rc;
}

int Iso_ReadEntry(const FileEntry& entry) {
    if (!Iso_Zisofs(&entry))
        return Iso_ReadFile(entry.lbn, entry.size);
    int rc = Iso_SelectSession();
    if (rc != ISO_OK)
        return rc;
    Iso_FreeFile();
    if ((rc = AllocateFile(entry.size)) != ISO_OK)
        return rc;
    uint64_t at = 0;
    return Iso_ZisofsUncompress(entry,
                                [&at](const uint8_t* data, size_t length) {
                                    std::memcpy(g_FileData + at, data, length);
                                    at += length;
                                    return true;
                                })
        .code;
}

void Iso_FreeFile() {
    free(g_FileData);
    g_FileData = nullptr;
    g_FileCursor = nullptr;
    g_FileDataLength = 0;
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
