#include <algorithm>
#include <cstring>
#include <memory>

#include "analyzers/analyzer_heap.h"
#include "analyzers/wav/wav_module.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/bytes/byte_order.h"

namespace {

// The header, the extra-format size after it, and the rest of an extensible format chunk up to the first two
// bytes of its sub-format GUID (file offsets 38 to 45).
constexpr uint32_t kHeaderBytes = sizeof(WavHeader) + 10;
constexpr uint32_t kExtraSizeAt = 36;
constexpr uint32_t kSubFormatAt = 44;
constexpr uint16_t kExtensible = 0xFFFE;
constexpr uint32_t kExtensibleFormatBytes = 40; // the 16 of every format chunk and 24 of the extension
// Real files hold a handful of chunks before their data; a walk stops after this many.
constexpr int kMaxChunks = 256;

struct FreeBuffer {
    void operator()(uint8_t* p) const { Analyzer_Free(p); }
};

using bytes::Le32;

// The file's bytes read block by block from the drive, the block read last kept in `block` (bl bytes).
class FileBytes {
  public:
    // `block` holds the file's first block already.
    FileBytes(const FileEntry& entry, uint32_t bl, uint8_t* block) : entry_(entry), bl_(bl), block_(block) {}
    // `n` bytes at `offset` into `out`: 1 or the read's code; never a byte outside the file.
    int Read(uint64_t offset, uint8_t* out, size_t n) {
        if (offset > entry_.size || n > entry_.size - offset)
            return WAV_ERR_NOT_WAVE;
        for (size_t i = 0; i < n; ++i) {
            const uint64_t at = offset + i, index = at / bl_;
            if (index != cached_) {
                if (entry_.lbn + index > UINT32_MAX) // past the last block a drive can address
                    return WAV_ERR_NOT_WAVE;
                const int rc =
                    Aspi_ReadSectors(g_CurrentDevice, uint32_t(entry_.lbn + index), bl_, 1, block_);
                if (rc != ASPI_OK)
                    return rc;
                cached_ = index;
            }
            out[i] = block_[at % bl_];
        }
        return WAV_OK;
    }

  private:
    const FileEntry& entry_;
    uint32_t bl_;
    uint8_t* block_;
    uint64_t cached_ = 0;
};

// The bytes of the "data" chunk, found by walking the chunks after "WAVE" (an id, a little-endian size, the
// body padded to an even length) inside the file: 1 with *found set when there is one, or the read's code.
// A size of 0 or 0xFFFFFFFF (what streaming writers leave) means the rest of the file; no size counts more
// than the file holds after the chunk's header.
int FindDataBytes(FileBytes& file, uint64_t fileSize, uint64_t readable, bool* found, uint64_t* dataBytes) {
    *found = false;
    uint64_t p = 12;
    // Chunk headers are read only where the file is and a 32-bit block address reaches (`readable`).
    const uint64_t end = std::min(fileSize, readable);
    for (int n = 0; n < kMaxChunks && end >= 8 && p <= end - 8; ++n) {
        uint8_t head[8];
        const int rc = file.Read(p, head, sizeof head);
        if (rc != WAV_OK)
            return rc;
        const uint32_t size = Le32(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            const uint64_t held = fileSize - (p + 8);
            *dataBytes = size == 0 || size == 0xFFFFFFFF ? held : std::min<uint64_t>(size, held);
            *found = true;
            return WAV_OK;
        }
        p += 8 + uint64_t(size) + (size & 1);
    }
    return WAV_OK;
}

} // namespace

uint32_t Wav_PlayLength(uint32_t riffSize, uint32_t averageBytesPerSecond, uint32_t extraBytes) {
    // 64-bit, so that a RIFF size near 4 GiB or a header larger than the file cannot wrap around.
    const uint64_t fileBytes = uint64_t(riffSize) + 8;
    const uint64_t headerBytes = uint64_t(sizeof(WavHeader)) + extraBytes;
    if (averageBytesPerSecond == 0 || fileBytes <= headerBytes)
        return 0;
    return static_cast<uint32_t>((fileBytes - headerBytes) / averageBytesPerSecond);
}

int Wav_Analyze(const FileEntry* entry) {
    if (!entry || !g_WavHeader)
        return WAV_ERR_NOT_WAVE;
    const int rc = Iso_SelectSession();
    if (rc != ISO_OK)
        return rc;
    const uint32_t bl = g_DiscModel->currentSessionEntry->blockLength;
    // A session whose READ CAPACITY never gave a block length has no block to read.
    if (bl == 0)
        return ISO_ERR_NO_MODEL;
    // One block holds the header on every real disc; a drive reporting tiny blocks gets as many as it takes.
    // 64-bit, so that a block length near 4 GiB cannot wrap the count to 0 blocks.
    const uint32_t blocks = uint32_t((uint64_t(kHeaderBytes) + bl - 1) / bl);
    std::unique_ptr<uint8_t, FreeBuffer> buffer(static_cast<uint8_t*>(Analyzer_Alloc(size_t(blocks) * bl)));
    if (!buffer)
        return WAV_ERR_NO_MEMORY;
    // An empty file has no sector of its own; all of its header bytes count as zero.
    if (entry->size == 0) {
        std::memset(g_WavHeader, 0, sizeof(WavHeader));
        return WAV_ERR_NOT_WAVE;
    }
    const int read = Aspi_ReadSectors(g_CurrentDevice, entry->lbn, bl, uint16_t(blocks), buffer.get());
    if (read != ASPI_OK)
        return read;
    // Bytes past the file's end in its last block are not the file's.
    if (entry->size < kHeaderBytes)
        std::memset(buffer.get() + entry->size, 0, kHeaderBytes - entry->size);
    const uint8_t* b = buffer.get();
    std::memcpy(g_WavHeader, b, sizeof(WavHeader));
    if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0 ||
        std::memcmp(b + 12, "fmt ", 4) != 0)
        return WAV_ERR_NOT_WAVE;
    const WavHeader& h = *g_WavHeader;
    g_WavSubFormat = h.formatTag == kExtensible && h.formatSize >= kExtensibleFormatBytes &&
                             entry->size >= kSubFormatAt + 2
                         ? int(b[kSubFormatAt] | b[kSubFormatAt + 1] << 8)
                         : -1;
    const uint32_t extra =
        h.formatTag == 1 ? 0 : (uint32_t(b[kExtraSizeAt]) | uint32_t(b[kExtraSizeAt + 1]) << 8) + 2;
    // The data chunk's own size when the file has one (the walk reuses the buffer's first block); streaming
    // writers leave RIFF sizes of 0 or 0xFFFFFFFF, and fact or LIST chunks are no audio.
    FileBytes file(*entry, bl, buffer.get());
    bool found = false;
    uint64_t dataBytes = 0;
    const int walked =
        FindDataBytes(file, entry->size, (uint64_t(UINT32_MAX) - entry->lbn + 1) * bl, &found, &dataBytes);
    if (walked != WAV_OK)
        return walked;
    if (found) {
        g_WavLength = h.averageBytesPerSecond == 0 ? 0 : uint32_t(dataBytes / h.averageBytesPerSecond);
        return WAV_OK;
    }
    g_WavLength = Wav_PlayLength(h.riffSize, h.averageBytesPerSecond, extra);
    return WAV_OK;
}
