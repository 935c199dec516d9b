#include <algorithm>
#include <cstring>
#include <memory>

#include "analyzers/analyzer_heap.h"
#include "analyzers/wav/wav_module.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"

namespace {

// The header and the extra-format size after it.
constexpr uint32_t kHeaderBytes = sizeof(WavHeader) + 2;

struct FreeBuffer {
    void operator()(uint8_t* p) const { Analyzer_Free(p); }
};

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
    const uint32_t extra = g_WavHeader->formatTag == 1 ? 0 : (uint32_t(b[36]) | uint32_t(b[37]) << 8) + 2;
    g_WavLength = Wav_PlayLength(g_WavHeader->riffSize, g_WavHeader->averageBytesPerSecond, extra);
    return WAV_OK;
}
