// Working state and helpers shared by the files of the ISO9660 manager; not for other modules.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "iso9660/iso_model.h"

namespace iso_internal {

// The last READ TOC response (full or formatted) and its TOC data length field.
extern std::vector<uint8_t> g_TocBuffer;
extern uint16_t g_TocDataLength;

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

} // namespace iso_internal
