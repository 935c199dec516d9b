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
    g_Walk.descriptor.fill(0);
    // The last Joliet descriptor serves when there is one, else the last primary one, in whatever order
    // they come (ECMA-119 8.4, 8.5; Joliet).
    std::array<uint8_t, kBufferSize> primary{};
    bool havePrimary = false, haveJoliet = false;
    // The set cannot run past the session's recorded area; each block is read once.
    const uint64_t end = SessionEnd(s);
    for (uint64_t lbn = s->pvdLbn; lbn < end; ++lbn) {
        g_Walk.sector.fill(0);
        int rc = Aspi_ReadSectors(device, static_cast<uint32_t>(lbn), bl, 1, g_Walk.sector.data());
        if (rc != ASPI_OK)
            return rc;
        const uint8_t* d = g_Walk.sector.data();
        if (memcmp(d + ecma119::kStandardIdentifier, "CD001", 5) != 0)
            return ISO_ERR_DESCRIPTOR;
        const uint8_t type = d[ecma119::kDescriptorType], version = d[ecma119::kDescriptorVersion];
        if (type == 255 && version == 1) {
            if (haveJoliet)
                return ISO_OK; // already in g_Walk.descriptor
            if (!havePrimary)
                return ISO_ERR_DESCRIPTOR; // a set without a primary descriptor describes no volume
            g_Walk.descriptor = primary;
            return ISO_OK;
        }
        if (type == 1 && version == 1) {
            primary = g_Walk.sector;
            havePrimary = true;
        } else if (type == 2 && version == 1) {
            // Joliet: no volume flags, and an escape sequence of UCS-2 level 1, 2 or 3 ("%/@", "%/C", "%/E").
            const uint8_t* escape = d + ecma119::kEscapeSequences;
            const bool joliet = d[ecma119::kVolumeFlags] == 0 && escape[0] == 0x25 && escape[1] == 0x2F &&
                                (escape[2] == 0x40 || escape[2] == 0x43 || escape[2] == 0x45);
            if (joliet) {
                g_Walk.descriptor = g_Walk.sector;
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
