// The two forms of an entry's name: the Shift-JIS form the report writes and, where it reads otherwise, the
// name as the disc records it, in UTF-8; and what a Rock Ridge name keeps beside it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "iso9660/ecma119.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

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

} // namespace

// An identifier's Shift-JIS form (the report's) and, where it reads otherwise, its Unicode name.
void iso_internal::SetName(FileEntry* e, const uint8_t* id, uint32_t length) {
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

// A Rock Ridge name (UTF-8 as Linux records it, at most the 255 bytes a Linux name holds, cut before a
// character) into the model's two forms; the record's own identifier is kept beside it.
void iso_internal::SetRockRidgeName(FileEntry* e, const std::string& recorded, std::span<const uint8_t> rec) {
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
    const std::string identifier =
        Iso_BytesToUtf8(rec.data() + ecma119::kRecordIdentifier, rec[ecma119::kRecordIdentifierLength]);
    if (identifier != text)
        g_RecordedIdentifiers[e] = identifier;
}

// An entry deleted before the model is released takes what is kept beside it along.
void iso_internal::Forget(FileEntry* e) {
    g_RecordedIdentifiers.erase(e);
    g_DirectoryDates.erase(e);
    g_SymlinkTargets.erase(e);
    g_UnreadableReasons.erase(e);
    delete e;
}
