// What an entry keeps beside its Shift-JIS name, in the bytes of `FileEntry::name` after that name's
// terminator: its POSIX mode (two bytes, ISO_MODE), then its Unicode name and the record's own identifier
// after it (ISO_TEXT, ISO_IDENTIFIER), each zero-terminated. Texts that do not fit are cut from the model's
// text blocks and only their address follows (ISO_TEXT_AWAY); where even the address has no room (a
// Shift-JIS name of nearly 256 bytes) the Disc keeps it in a table of its own.
#include <cstring>
#include <string>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

constexpr size_t kModeBytes = sizeof(uint16_t);
constexpr size_t kAddressBytes = sizeof(const char*);

// Where the bytes after the Shift-JIS name begin, and how many there are.
char* TailOf(const FileEntry* e, size_t& room) {
    const size_t used = strnlen(e->name, sizeof e->name - 1) + 1;
    room = sizeof e->name - used;
    return const_cast<char*>(e->name) + used;
}

// Whether the entry's texts and mode are kept in the table, for want of room after its name.
bool InTable(const FileEntry* e, size_t room) {
    const size_t mode = (e->flags & ISO_MODE) ? kModeBytes : 0;
    return (e->flags & ISO_TEXT_AWAY) && room < mode + kAddressBytes;
}

// `need` bytes for texts from the model's blocks of 64 KiB, which live as long as the model.
char* CutText(Disc& d, size_t need) {
    constexpr size_t kTextBlock = 64 * 1024;
    auto& blocks = d.textBlocks;
    if (need > kTextBlock) {
        blocks.insert(blocks.begin(), std::unique_ptr<char[]>(new (std::nothrow) char[need]));
        return blocks.front().get();
    }
    if (blocks.empty() || d.textUsed + need > kTextBlock) {
        blocks.push_back(std::unique_ptr<char[]>(new (std::nothrow) char[kTextBlock]));
        d.textUsed = 0;
    }
    char* at = blocks.back() ? blocks.back().get() + d.textUsed : nullptr;
    if (at)
        d.textUsed += need;
    return at;
}

} // namespace

bool iso_internal::SetEntryText(Disc& d, FileEntry* entry, std::string_view utf8, std::string_view identifier,
                                int mode) {
    const bool text = !identifier.empty() || utf8.size() >= sizeof entry->name || utf8 != entry->name;
    const size_t need = text ? utf8.size() + 1 + (identifier.empty() ? 0 : identifier.size() + 1) : 0;
    // The texts as they are to be written, read before anything is (they may be the entry's own): a Joliet
    // name of 381 bytes of UTF-8 and an identifier of 255 fit the buffer on the stack.
    char buffer[640];
    std::string larger;
    char* texts = need <= sizeof buffer ? buffer : (larger.resize(need), larger.data());
    if (text) {
        std::memcpy(texts, utf8.data(), utf8.size());
        texts[utf8.size()] = 0;
        if (!identifier.empty()) {
            std::memcpy(texts + utf8.size() + 1, identifier.data(), identifier.size());
            texts[need - 1] = 0;
        }
    }
    d.entryExtras.erase(entry);
    entry->flags &= static_cast<uint8_t>(~(ISO_TEXT | ISO_IDENTIFIER | ISO_MODE | ISO_TEXT_AWAY));
    entry->flags |= static_cast<uint8_t>((text ? ISO_TEXT : 0) | (identifier.empty() ? 0 : ISO_IDENTIFIER) |
                                         (mode >= 0 ? ISO_MODE : 0));
    // In place where everything fits; else the texts cut elsewhere and their address after the mode; else
    // (no room for even that) all of it in the table.
    size_t room = 0;
    char* tail = TailOf(entry, room);
    const size_t modeBytes = mode >= 0 ? kModeBytes : 0;
    const bool away = modeBytes + need > room;
    entry->flags |= away ? ISO_TEXT_AWAY : 0;
    char* at = !text ? nullptr : away ? CutText(d, need) : tail + modeBytes;
    if (text && !at)
        return false;
    if (text)
        std::memcpy(at, texts, need);
    if (InTable(entry, room)) {
        try {
            d.entryExtras[entry] = {at, static_cast<uint16_t>(mode >= 0 ? mode : 0)};
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }
    if (mode >= 0) {
        const auto m = static_cast<uint16_t>(mode);
        std::memcpy(tail, &m, kModeBytes);
    }
    if (text && away)
        std::memcpy(tail + modeBytes, &at, kAddressBytes);
    return true;
}

bool iso_internal::SetEntryMode(Disc& d, FileEntry* entry, uint16_t mode) {
    const char* identifier = Iso_RecordedIdentifier(d, entry);
    return SetEntryText(d, entry, Iso_EntryName(d, entry), identifier ? identifier : "", mode);
}

const char* Iso_EntryText(const Disc& d, const FileEntry* entry) {
    if (!(entry->flags & ISO_TEXT))
        return entry->name;
    size_t room = 0;
    const char* tail = TailOf(entry, room);
    if (InTable(entry, room)) {
        const auto it = d.entryExtras.find(entry);
        return it != d.entryExtras.end() && it->second.text ? it->second.text : entry->name;
    }
    tail += (entry->flags & ISO_MODE) ? kModeBytes : 0;
    if (!(entry->flags & ISO_TEXT_AWAY))
        return tail;
    const char* away = nullptr;
    std::memcpy(&away, tail, kAddressBytes);
    return away;
}

const char* Iso_RecordedIdentifier(const Disc& d, const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_IDENTIFIER))
        return nullptr;
    const char* text = Iso_EntryText(d, entry);
    return text + std::strlen(text) + 1;
}

uint16_t Iso_EntryMode(const Disc& d, const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_MODE))
        return 0;
    size_t room = 0;
    const char* tail = TailOf(entry, room);
    if (InTable(entry, room)) {
        const auto it = d.entryExtras.find(entry);
        return it != d.entryExtras.end() ? it->second.mode : 0;
    }
    uint16_t mode = 0;
    std::memcpy(&mode, tail, kModeBytes);
    return mode;
}
