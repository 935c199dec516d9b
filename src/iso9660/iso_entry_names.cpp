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
void iso_internal::SetName(Disc& d, FileEntry* e, const uint8_t* id, uint32_t length) {
    if (JolietFlag(*d.walk)) {
        char text[3 * 128]; // an identifier holds at most 127 units of UTF-16
        const size_t n =
            Iso_JolietName(id, std::min<uint32_t>(length / 2, 127), e->name, sizeof e->name, text);
        if (!SetEntryText(d, e, std::string_view(text, n)))
            throw std::bad_alloc();
        return;
    }
    Iso_UcsToSjis(e->name, sizeof e->name, id, length, 0, 1);
    // Most names are ASCII, which both forms write alike: only the others are decoded again.
    if (BeyondAscii(id, length, false) && !SetEntryText(d, e, Iso_BytesToUtf8(id, length)))
        throw std::bad_alloc();
}

// A Rock Ridge name (UTF-8 as Linux records it, at most the 255 bytes a Linux name holds, cut before a
// character) into the model's two forms; the record's own identifier is kept beside it.
void iso_internal::SetRockRidgeName(Disc& d, FileEntry* e, const std::string& recorded,
                                    std::span<const uint8_t> rec, int mode) {
    size_t length = std::min<size_t>(recorded.size(), 255);
    while (length > 0 && length < recorded.size() && (uint8_t(recorded[length]) & 0xC0) == 0x80)
        --length;
    const auto* bytes = reinterpret_cast<const uint8_t*>(recorded.data());
    if (const void* zero = std::memchr(bytes, 0, length))
        length = size_t(static_cast<const uint8_t*>(zero) - bytes);
    std::string decoded;
    std::string_view text(recorded.data(), length);
    if (!BeyondAscii(bytes, uint32_t(length), false)) {
        std::memcpy(e->name, bytes, length); // ASCII, as most names are: both forms alike
        e->name[length] = 0;
    } else {
        // A Linux name is UTF-8 as it stands; bytes that are not are read as the other 8-bit names are.
        if (!Iso_IsUtf8(bytes, length))
            text = decoded = Iso_BytesToUtf8(bytes, length);
        Iso_Utf8ToSjis(e->name, sizeof e->name, text.substr(0, std::min<size_t>(text.size(), 255)));
    }
    const uint8_t idLength = rec[ecma119::kRecordIdentifierLength];
    const uint8_t* id = rec.data() + ecma119::kRecordIdentifier;
    std::string decodedId;
    if (BeyondAscii(id, idLength, false))
        decodedId = Iso_BytesToUtf8(id, idLength);
    const auto* ascii = reinterpret_cast<const char*>(id);
    const std::string_view identifier =
        decodedId.empty() ? std::string_view(ascii, strnlen(ascii, idLength)) : std::string_view(decodedId);
    if (!SetEntryText(d, e, text, identifier != text ? identifier : std::string_view(), mode))
        throw std::bad_alloc();
}

// An entry deleted before the model is released takes what is kept beside it along.
void iso_internal::Forget(Disc& d, FileEntry* e) {
    d.entryExtras.erase(e);
    d.directoryDates.erase(e);
    d.symlinkTargets.erase(e);
    d.unreadableReasons.erase(e);
    delete e;
}
