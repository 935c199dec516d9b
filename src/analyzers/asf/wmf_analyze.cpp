// ASF header analysis: the Header Object's sub-objects read from a byte source, four kinds kept. Everything
// here comes from the file, so every size, length and count is checked against the object it lies in before
// it is used.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "analyzers/analyzer_heap.h"
#include "analyzers/asf/wmf_internal.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/byte_source.h"
#include "analyzers/disc_entry_source.h"
#include "analyzers/tag_text.h"
#include "iso9660/iso9660.h"
#include "platform/bytes/byte_order.h"

namespace {

constexpr uint32_t kHeaderBytes = 30; // GUID, size, object count, two reserved bytes
constexpr uint64_t kObjectHead = 24;  // GUID and size, at the start of every object
// An object is read whole when it ends within 32 units of 2,048 bytes from the start of the unit it starts
// in (a disc's 32 sectors); a larger one is passed over.
constexpr uint32_t kUnit = 2048;
constexpr uint64_t kMaxObjectReach = 32 * kUnit;

constexpr size_t kFilePropertiesBytes = sizeof(AsfFileProperties::bytes);
constexpr size_t kContentHeadBytes = sizeof(AsfContentDescription::head);
constexpr size_t kExtendedHeadBytes = sizeof(AsfExtendedContent::head);
constexpr size_t kCodecHeadBytes = sizeof(AsfCodecList::head);

struct KnownObject {
    uint16_t code;
    uint8_t guid[16];
};
constexpr KnownObject kKnownObjects[] = {
    {WMF_OBJECT_HEADER,
     {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}},
    {WMF_OBJECT_FILE_PROPERTIES,
     {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}},
    {WMF_OBJECT_CONTENT_DESCRIPTION,
     {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}},
    {WMF_OBJECT_EXTENDED_CONTENT,
     {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11, 0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}},
    {WMF_OBJECT_CODEC_LIST,
     {0x40, 0x52, 0xD1, 0x86, 0x1D, 0x31, 0xD0, 0x11, 0xA3, 0xA4, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6}},
};

// Content Encryption (2211B3FB-BD23-11D2-B4B7-00A0C955FC6E) and Extended Content Encryption
// (298AE614-2622-4C17-B935-DAE07EE9289C) objects, as the header stores their GUIDs.
constexpr uint8_t kEncryptionObjects[2][16] = {
    {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E},
    {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C, 0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C}};

using bytes::Le16;
using bytes::Le32;
using bytes::Le64;

int ReadCode(int rc) {
    return rc == BYTES_ERR_NO_MEMORY ? WMF_ERR_NO_MEMORY : rc;
}

template <class T> T* NewRecord() {
    return static_cast<T*>(Analyzer_Alloc(sizeof(T)));
}

// `chars` UCS-2 little-endian characters as a new zero-terminated Shift-JIS text (a character takes at most
// two bytes); nullptr when the heap is exhausted.
char* NewText(const uint8_t* ucs2, uint32_t chars) {
    const size_t capacity = size_t(chars) * 2 + 1;
    char* text = static_cast<char*>(Analyzer_Alloc(capacity));
    if (text)
        Iso_UcsToSjis(text, capacity, ucs2, chars, 1, 0);
    return text;
}

// The same characters as a new UTF-8 text, for display.
char* NewDisplayText(const uint8_t* ucs2, uint32_t chars) {
    return Analyzer_NewText(Iso_Utf16ToUtf8(ucs2, chars, false));
}

// Both forms of one text into `sjis` and `utf8`: 1, or WMF_ERR_NO_MEMORY.
int KeepText(const uint8_t* ucs2, uint32_t chars, char** sjis, char** utf8) {
    *sjis = NewText(ucs2, chars);
    *utf8 = NewDisplayText(ucs2, chars);
    return *sjis && *utf8 ? WMF_OK : WMF_ERR_NO_MEMORY;
}

// One object's bytes, `size` of them from `bytes`, owned.
struct Object {
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ~Object() { Analyzer_Free(bytes); }
    uint8_t* bytes = nullptr;
    uint64_t size = 0;
    // The n bytes at `at` lie inside the object (at never passes the size).
    bool Holds(uint64_t at, uint64_t n) const { return at <= size && n <= size - at; }
};

// Common start of the object readers: the object at byte `p` of the file, read whole. Gives 1 with no bytes
// when the object is skipped: it reaches too far, or it is shorter than its own fixed part, which a record
// could not hold.
int LoadObject(ByteSource& file, uint64_t p, size_t fixedPart, Object* object) {
    uint8_t head[kObjectHead];
    int rc = ReadCode(file.Read(p, head));
    if (rc != WMF_OK)
        return rc;
    const uint64_t size = Le64(head + 16);
    // Compared with the limit before anything is added to it, so no size can overflow.
    if (size > kMaxObjectReach || p % kUnit + size > kMaxObjectReach || size < fixedPart)
        return WMF_OK;
    object->bytes = static_cast<uint8_t*>(Analyzer_Alloc(size_t(std::max<uint64_t>(size, 1))));
    if (!object->bytes)
        return WMF_ERR_NO_MEMORY;
    rc = ReadCode(file.Read(p, {object->bytes, size_t(size)}));
    if (rc != WMF_OK)
        return rc;
    object->size = size;
    return WMF_OK;
}

uint16_t Wmf_ClassifyObject(const uint8_t* guid) {
    for (const KnownObject& k : kKnownObjects)
        if (std::memcmp(guid, k.guid, sizeof k.guid) == 0)
            return k.code;
    return WMF_OBJECT_OTHER;
}

// The Header Object at the file's start: its object count and size, or WMF_ERR_NOT_ASF.
int CheckHeader(ByteSource& file, uint32_t* objectCount, uint64_t* headerSize) {
    uint8_t at[kHeaderBytes];
    const int rc = ReadCode(file.Read(0, at));
    if (rc != WMF_OK)
        return rc;
    if (Wmf_ClassifyObject(at) != WMF_OBJECT_HEADER)
        return WMF_ERR_NOT_ASF;
    *headerSize = Le64(at + 16);
    *objectCount = Le32(at + 24);
    return WMF_OK;
}

int ReadFileProperties(ByteSource& file, uint64_t p, AsfInfo& info) {
    Object object;
    const int rc = LoadObject(file, p, kFilePropertiesBytes, &object);
    if (rc != WMF_OK || !object.size)
        return rc;
    auto* record = NewRecord<AsfFileProperties>();
    if (!record)
        return WMF_ERR_NO_MEMORY;
    wmf_internal::ReleaseFileProperties(info);
    info.fileProperties = record;
    std::memcpy(record->bytes, object.bytes, kFilePropertiesBytes);
    return WMF_OK;
}

int ReadContentDescription(ByteSource& file, uint64_t p, AsfInfo& info) {
    Object object;
    const int rc = LoadObject(file, p, kContentHeadBytes, &object);
    if (rc != WMF_OK || !object.size)
        return rc;
    auto* record = NewRecord<AsfContentDescription>();
    if (!record)
        return WMF_ERR_NO_MEMORY;
    wmf_internal::ReleaseContentDescription(info);
    info.contentDescription = record;
    std::memcpy(record->head, object.bytes, kContentHeadBytes);
    // The five strings follow one another; a length of 0 leaves its text absent.
    char** texts[][2] = {{&record->title, &record->titleText},
                         {&record->author, &record->authorText},
                         {&record->copyright, &record->copyrightText},
                         {&record->description, &record->descriptionText},
                         {&record->rating, &record->ratingText}};
    uint64_t at = kContentHeadBytes;
    for (size_t i = 0; i < std::size(texts); ++i) {
        const uint16_t length = Le16(object.bytes + 24 + 2 * i);
        if (!object.Holds(at, length))
            break;
        if (length != 0 && KeepText(object.bytes + at, length / 2u, texts[i][0], texts[i][1]) != WMF_OK)
            return WMF_ERR_NO_MEMORY;
        at += length;
    }
    return WMF_OK;
}

// Keeps a descriptor's value of `length` bytes: a string converted, a byte array copied, a number copied up
// to its type's width (a shorter value leaves the rest zero); other types keep nothing.
int KeepValue(AsfDescriptor* d, const uint8_t* value, uint16_t length) {
    size_t width = 0;
    switch (d->valueType) {
    case WMF_VALUE_STRING: {
        char* text = nullptr;
        const int rc = KeepText(value, length / 2u, &text, &d->valueText);
        d->value = text;
        return rc;
    }
    case WMF_VALUE_BYTES:
        width = length;
        break;
    case WMF_VALUE_BOOL:
    case WMF_VALUE_DWORD:
        width = 4;
        break;
    case WMF_VALUE_QWORD:
        width = 8;
        break;
    case WMF_VALUE_WORD:
        width = 2;
        break;
    default:
        return WMF_OK;
    }
    auto* bytes = static_cast<uint8_t*>(Analyzer_Alloc(width));
    if (!bytes)
        return WMF_ERR_NO_MEMORY;
    std::memcpy(bytes, value, std::min<size_t>(width, length));
    d->value = bytes;
    return WMF_OK;
}

int ReadExtendedContent(ByteSource& file, uint64_t p, AsfInfo& info) {
    Object object;
    int rc = LoadObject(file, p, kExtendedHeadBytes, &object);
    if (rc != WMF_OK || !object.size)
        return rc;
    auto* record = NewRecord<AsfExtendedContent>();
    if (!record)
        return WMF_ERR_NO_MEMORY;
    wmf_internal::ReleaseExtendedContent(info);
    info.extendedContent = record;
    std::memcpy(record->head, object.bytes, kExtendedHeadBytes);
    const uint16_t count = Le16(object.bytes + 24);
    AsfDescriptor** tail = &info.descriptors;
    uint64_t at = kExtendedHeadBytes;
    // Parsing stops at the first field that would cross the object's end, so no count costs more than the
    // object holds.
    for (uint32_t k = 0; k < count && object.Holds(at, 2); ++k) {
        auto* d = NewRecord<AsfDescriptor>();
        if (!d)
            return WMF_ERR_NO_MEMORY;
        *tail = d;
        tail = &d->next;
        d->nameLength = Le16(object.bytes + at);
        at += 2;
        if (!object.Holds(at, d->nameLength))
            break;
        if (d->nameLength != 0 &&
            KeepText(object.bytes + at, d->nameLength / 2u, &d->name, &d->nameText) != WMF_OK)
            return WMF_ERR_NO_MEMORY;
        at += d->nameLength;
        if (!object.Holds(at, 4))
            break;
        d->valueType = Le16(object.bytes + at);
        d->valueLength = Le16(object.bytes + at + 2);
        at += 4;
        if (!object.Holds(at, d->valueLength))
            break;
        if (d->valueLength != 0 && (rc = KeepValue(d, object.bytes + at, d->valueLength)) != WMF_OK)
            return rc;
        // The next descriptor follows the value's own length, whatever width its type has.
        at += d->valueLength;
    }
    return WMF_OK;
}

int ReadCodecList(ByteSource& file, uint64_t p, AsfInfo& info) {
    Object object;
    const int rc = LoadObject(file, p, kCodecHeadBytes, &object);
    if (rc != WMF_OK || !object.size)
        return rc;
    auto* record = NewRecord<AsfCodecList>();
    if (!record)
        return WMF_ERR_NO_MEMORY;
    wmf_internal::ReleaseCodecList(info);
    info.codecList = record;
    std::memcpy(record->head, object.bytes, kCodecHeadBytes);
    const uint32_t count = Le32(object.bytes + 40);
    AsfCodecEntry** tail = &info.codecEntries;
    uint64_t at = kCodecHeadBytes;
    for (uint32_t k = 0; k < count && object.Holds(at, 4); ++k) {
        auto* e = NewRecord<AsfCodecEntry>();
        if (!e)
            return WMF_ERR_NO_MEMORY;
        *tail = e;
        tail = &e->next;
        e->type = Le16(object.bytes + at);
        e->nameLength = Le16(object.bytes + at + 2);
        at += 4;
        if (!object.Holds(at, 2u * e->nameLength))
            break;
        if (e->nameLength != 0 &&
            KeepText(object.bytes + at, e->nameLength, &e->name, &e->nameText) != WMF_OK)
            return WMF_ERR_NO_MEMORY;
        at += 2u * e->nameLength;
        if (!object.Holds(at, 2))
            break;
        e->descriptionLength = Le16(object.bytes + at);
        at += 2;
        if (!object.Holds(at, 2u * e->descriptionLength))
            break;
        if (e->descriptionLength != 0 &&
            KeepText(object.bytes + at, e->descriptionLength, &e->description, &e->descriptionText) != WMF_OK)
            return WMF_ERR_NO_MEMORY;
        at += 2u * e->descriptionLength;
        if (!object.Holds(at, 2))
            break;
        e->infoLength = Le16(object.bytes + at);
        at += 2;
        if (!object.Holds(at, e->infoLength))
            break;
        if (e->infoLength != 0) {
            // Copied up to the first zero byte; the buffer's own zeros end it.
            if (!(e->info = static_cast<uint8_t*>(Analyzer_Alloc(size_t(e->infoLength) + 1))))
                return WMF_ERR_NO_MEMORY;
            const uint8_t* info = object.bytes + at;
            for (size_t i = 0; i < e->infoLength && info[i] != 0; ++i)
                e->info[i] = info[i];
        }
        at += e->infoLength;
    }
    return WMF_OK;
}

// The walk over the header's objects.
int WalkHeader(ByteSource& file, AsfInfo& info) {
    // A file too short for the Header Object's fixed part cannot start with one.
    if (file.Size() < kHeaderBytes)
        return WMF_ERR_NOT_ASF;
    uint32_t count = 0;
    uint64_t headerSize = 0;
    int rc = CheckHeader(file, &count, &headerSize);
    if (rc != WMF_OK)
        return rc;
    // Objects are read only inside the header and inside the file.
    const uint64_t end = std::min(headerSize, file.Size());
    uint64_t p = kHeaderBytes;
    int result = WMF_OK;
    for (uint32_t k = 0; k < count && result == WMF_OK; ++k) {
        if (p > end || end - p < kObjectHead)
            break;
        uint8_t at[kObjectHead];
        rc = ReadCode(file.Read(p, at));
        if (rc != WMF_OK)
            return rc;
        const uint64_t size = Le64(at + 16);
        // An object smaller than its own GUID and size, or one running past the header, ends the walk.
        if (size < kObjectHead || size > end - p)
            break;
        switch (Wmf_ClassifyObject(at)) {
        case WMF_OBJECT_FILE_PROPERTIES:
            result = ReadFileProperties(file, p, info);
            break;
        case WMF_OBJECT_CONTENT_DESCRIPTION:
            result = ReadContentDescription(file, p, info);
            break;
        case WMF_OBJECT_EXTENDED_CONTENT:
            result = ReadExtendedContent(file, p, info);
            break;
        case WMF_OBJECT_CODEC_LIST:
            result = ReadCodecList(file, p, info);
            break;
        default:
            for (const auto& guid : kEncryptionObjects)
                info.encrypted = info.encrypted || std::equal(guid, guid + 16, at);
            break;
        }
        p += size;
    }
    return result;
}

} // namespace

int Wmf_Read(ByteSource& source, AsfRecords& records) {
    records.Clear();
    return WalkHeader(source, records.info);
}

int Wmf_AnalyzeEntry(const FileEntry& entry, AsfRecords& records) {
    return Wmf_AnalyzeEntry(DiscEntry_Current(entry), records);
}

int Wmf_AnalyzeEntry(const DiscEntryAt& at, AsfRecords& records) {
    records.Clear();
    DiscEntrySource source(at);
    const int rc = source.Open();
    return rc != BYTES_OK ? ReadCode(rc) : Wmf_Read(source, records);
}

uint64_t Wmf_PlayDuration(const AsfFileProperties* p) {
    return p ? Le64(p->bytes + 64) : 0;
}
uint64_t Wmf_Preroll(const AsfFileProperties* p) {
    return p ? Le64(p->bytes + 80) : 0;
}
uint64_t Wmf_Duration(const AsfFileProperties* p) {
    const uint64_t play = Wmf_PlayDuration(p), preroll = Wmf_Preroll(p);
    // Compared in milliseconds first, so that a preroll longer than the play duration (or too large to
    // scale) gives 0 rather than wrapping around.
    if (preroll > play / 10000)
        return 0;
    return play - preroll * 10000;
}
uint32_t Wmf_Flags(const AsfFileProperties* p) {
    return p ? Le32(p->bytes + 88) : 0;
}
uint32_t Wmf_MaximumBitrate(const AsfFileProperties* p) {
    return p ? Le32(p->bytes + 100) : 0;
}

const AsfDescriptor* Wmf_FindAttribute(const AsfInfo& info, const char* name) {
    if (!info.extendedContent || !name)
        return nullptr;
    // Whole names only: "WM/Genre" is not "WM/GenreX", whatever the stored name length says.
    for (const AsfDescriptor* d = info.descriptors; d; d = d->next)
        if (d->name && std::strcmp(d->name, name) == 0)
            return d;
    return nullptr;
}

void Wmf_AttributeText(const AsfDescriptor* d, char* text, size_t capacity) {
    if (!text || capacity == 0)
        return;
    text[0] = 0;
    if (!d || !d->value)
        return;
    const auto* v = static_cast<const uint8_t*>(d->value);
    // A number is read only when the file gave all of its bytes.
    switch (d->valueType) {
    case WMF_VALUE_STRING:
        std::snprintf(text, capacity, "%s", static_cast<const char*>(d->value));
        break;
    case WMF_VALUE_BOOL:
    case WMF_VALUE_DWORD:
        if (d->valueLength >= 4)
            std::snprintf(text, capacity, "%" PRIu32, Le32(v));
        break;
    case WMF_VALUE_QWORD:
        if (d->valueLength >= 8)
            std::snprintf(text, capacity, "%" PRIu64, Le64(v));
        break;
    case WMF_VALUE_WORD:
        if (d->valueLength >= 2)
            std::snprintf(text, capacity, "%u", unsigned(Le16(v)));
        break;
    default:
        break;
    }
}

std::string Wmf_AttributeDisplayText(const AsfDescriptor* d) {
    if (d && d->valueType == WMF_VALUE_STRING)
        return d->valueText ? d->valueText : "";
    char text[32];
    Wmf_AttributeText(d, text, sizeof text);
    return text;
}
