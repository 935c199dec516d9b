#include <algorithm>
#include <cstring>

#include "analyzers/disc_entry_source.h"
#include "analyzers/wav/wav_info.h"
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

using bytes::Le32;

int ReadCode(int rc) {
    return rc == BYTES_ERR_NO_MEMORY ? WAV_ERR_NO_MEMORY : rc;
}

// The bytes of the "data" chunk, found by walking the chunks after "WAVE" (an id, a little-endian size, the
// body padded to an even length) inside the file: 1 with *found set when there is one, or the read's code.
// A size of 0 or 0xFFFFFFFF (what streaming writers leave) means the rest of the file; no size counts more
// than the file holds after the chunk's header.
int FindDataBytes(ByteSource& file, bool* found, uint64_t* dataBytes) {
    *found = false;
    uint64_t p = 12;
    const uint64_t fileSize = file.Size(), end = fileSize;
    for (int n = 0; n < kMaxChunks && end >= 8 && p <= end - 8; ++n) {
        uint8_t head[8];
        const int rc = ReadCode(file.Read(p, head));
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

int Wav_Read(ByteSource& source, WavInfo& info) {
    info = WavInfo{};
    // An empty file has no byte of its own; all of its header bytes count as zero.
    if (source.Size() == 0)
        return WAV_ERR_NOT_WAVE;
    uint8_t b[kHeaderBytes];
    const int read = ReadCode(source.Read(0, b));
    if (read != WAV_OK)
        return read;
    std::memcpy(&info.header, b, sizeof(WavHeader));
    if (std::memcmp(b, "RIFF", 4) != 0 || std::memcmp(b + 8, "WAVE", 4) != 0 ||
        std::memcmp(b + 12, "fmt ", 4) != 0)
        return WAV_ERR_NOT_WAVE;
    const WavHeader& h = info.header;
    info.subFormat = h.formatTag == kExtensible && h.formatSize >= kExtensibleFormatBytes &&
                             source.Size() >= kSubFormatAt + 2
                         ? int(b[kSubFormatAt] | b[kSubFormatAt + 1] << 8)
                         : -1;
    const uint32_t extra =
        h.formatTag == 1 ? 0 : (uint32_t(b[kExtraSizeAt]) | uint32_t(b[kExtraSizeAt + 1]) << 8) + 2;
    // The data chunk's own size when the file has one; streaming writers leave RIFF sizes of 0 or
    // 0xFFFFFFFF, and fact or LIST chunks are no audio.
    const int walked = FindDataBytes(source, &info.dataFound, &info.dataBytes);
    if (walked != WAV_OK)
        return walked;
    if (info.dataFound)
        info.length = h.averageBytesPerSecond == 0 ? 0 : uint32_t(info.dataBytes / h.averageBytesPerSecond);
    else
        info.length = Wav_PlayLength(h.riffSize, h.averageBytesPerSecond, extra);
    return WAV_OK;
}

int Wav_AnalyzeEntry(const FileEntry& entry, WavInfo& info) {
    return Wav_AnalyzeEntry(DiscEntry_Current(entry), info);
}

int Wav_AnalyzeEntry(const DiscEntryAt& at, WavInfo& info) {
    info = WavInfo{};
    DiscEntrySource source(at);
    const int rc = source.Open();
    return rc != BYTES_OK ? ReadCode(rc) : Wav_Read(source, info);
}
