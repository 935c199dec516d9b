// WMF (ASF) analyzer: the records of an analysis with the lists, texts and values they own, and those of the
// last Wmf_Analyze kept for the desktop's dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct AsfFileProperties {
    uint8_t bytes[104]; // the object's first 104 bytes as they stand
};

// Texts are kept twice: in Shift-JIS (char* name), as the disc report writes them, and in UTF-8 (nameText),
// for display.
struct AsfContentDescription {
    uint8_t head[34]; // GUID, object size, five 16-bit text lengths
    char* title;
    char* author;
    char* copyright;
    char* description;
    char* rating;
    char* titleText;
    char* authorText;
    char* copyrightText;
    char* descriptionText;
    char* ratingText;
};

struct AsfExtendedContent {
    uint8_t head[26]; // GUID, object size, descriptor count
};

struct AsfDescriptor {
    uint16_t nameLength;
    char* name;
    uint16_t valueType;
    uint16_t valueLength;
    void* value;
    char* nameText;
    char* valueText; // a string value's UTF-8 form
    AsfDescriptor* next;
};

struct AsfCodecList {
    uint8_t head[44]; // GUID, object size, reserved GUID, entry count
};

struct AsfCodecEntry {
    uint16_t type;
    uint16_t nameLength;
    char* name;
    uint16_t descriptionLength;
    char* description;
    uint16_t infoLength;
    uint8_t* info;
    char* nameText;
    char* descriptionText;
    AsfCodecEntry* next;
};

// What the ASF analysis finds in a file: the records of the four objects kept (each absent where the header
// has none) and whether the file is protected. A view: the records are owned by an AsfRecords, or by the
// module's g_Asf* records of the last Wmf_Analyze.
struct AsfInfo {
    AsfFileProperties* fileProperties = nullptr;
    AsfContentDescription* contentDescription = nullptr;
    AsfExtendedContent* extendedContent = nullptr;
    AsfDescriptor* descriptors = nullptr;
    AsfCodecList* codecList = nullptr;
    AsfCodecEntry* codecEntries = nullptr;
    // The header holds a Content Encryption or Extended Content Encryption object: the file is protected.
    bool encrypted = false;
};

// Releases every record, list, text and value of `info` and sets it absent.
void Wmf_Release(AsfInfo& info);

// The owner of one analysis's records.
class AsfRecords {
  public:
    AsfRecords() = default;
    AsfRecords(const AsfRecords&) = delete;
    AsfRecords& operator=(const AsfRecords&) = delete;
    ~AsfRecords() { Wmf_Release(info); }
    void Clear() { Wmf_Release(info); }
    AsfInfo info;
};

extern AsfFileProperties* g_AsfFileProperties;
extern AsfContentDescription* g_AsfContentDescription;
extern AsfExtendedContent* g_AsfExtendedContent;
extern AsfDescriptor* g_AsfDescriptors;
extern AsfCodecList* g_AsfCodecList;
extern AsfCodecEntry* g_AsfCodecEntries;
// The header holds a Content Encryption or Extended Content Encryption object: the file is protected (DRM).
extern bool g_AsfEncrypted;

// Releases every record, list, text and value of the last analysis and sets the pointers absent.
void Wmf_ReleaseResults();

// Result codes of the analysis (besides the codes of Aspi_ReadSectors passed through).
constexpr int WMF_OK = 1;
constexpr int WMF_ERR_NOT_ASF = 0x5001;
constexpr int WMF_ERR_NO_MEMORY = 0x50FF;

// Object kinds, by the object's GUID.
constexpr uint16_t WMF_OBJECT_HEADER = 1;
constexpr uint16_t WMF_OBJECT_FILE_PROPERTIES = 2;
constexpr uint16_t WMF_OBJECT_CONTENT_DESCRIPTION = 4;
constexpr uint16_t WMF_OBJECT_EXTENDED_CONTENT = 8;
constexpr uint16_t WMF_OBJECT_CODEC_LIST = 16;
constexpr uint16_t WMF_OBJECT_OTHER = 0x8000;

// Descriptor value types.
constexpr uint16_t WMF_VALUE_STRING = 0;
constexpr uint16_t WMF_VALUE_BYTES = 1;
constexpr uint16_t WMF_VALUE_BOOL = 2;
constexpr uint16_t WMF_VALUE_DWORD = 3;
constexpr uint16_t WMF_VALUE_QWORD = 4;
constexpr uint16_t WMF_VALUE_WORD = 5;

struct FileEntry;

class ByteSource;
struct DiscEntryAt;

// Reads the ASF header of a file and keeps File Properties, Content Description, Extended Content
// Description and Codec List in `records`. Returns 1, WMF_ERR_NOT_ASF, WMF_ERR_NO_MEMORY or the code of a
// failed read. Results are valid only after a 1.
int Wmf_Read(ByteSource& source, AsfRecords& records);
// The same for a disc entry where `at` reads it, or the source's code (ISO_ERR_NO_MODEL when its session
// cannot be read from) when it cannot be read.
int Wmf_AnalyzeEntry(const DiscEntryAt& at, AsfRecords& records);
// The same for an entry of the current Disc's current session (DiscEntry_Current).
int Wmf_AnalyzeEntry(const FileEntry& entry, AsfRecords& records);
// Wmf_AnalyzeEntry with its records kept in the g_Asf* records for the desktop's dialog.
int Wmf_Analyze(FileEntry* entry);
// A view of the g_Asf* records.
AsfInfo Wmf_LastInfo();

// File Properties fields (little-endian in the kept bytes).
uint64_t Wmf_PlayDuration(const AsfFileProperties* p); // 100-nanosecond units, preroll included
uint64_t Wmf_Preroll(const AsfFileProperties* p);      // milliseconds
// What plays: the play duration less the preroll, in 100-nanosecond units; 0 when the preroll is longer.
uint64_t Wmf_Duration(const AsfFileProperties* p);
uint32_t Wmf_Flags(const AsfFileProperties* p); // bit 0 broadcast, bit 1 seekable
uint32_t Wmf_MaximumBitrate(const AsfFileProperties* p);

// The first descriptor of `info` whose Shift-JIS name is exactly `name`, or nullptr.
const AsfDescriptor* Wmf_FindAttribute(const AsfInfo& info, const char* name);
// The same in the last Wmf_Analyze's records.
inline const AsfDescriptor* Wmf_FindAttribute(const char* name) {
    return Wmf_FindAttribute(Wmf_LastInfo(), name);
}
// A descriptor's value as text: the Shift-JIS text of a string (type 0), the number of a BOOL, DWORD,
// QWORD or WORD whose value holds the type's full width, otherwise (byte arrays, short or absent values)
// an empty text. Always terminated within `capacity`.
void Wmf_AttributeText(const AsfDescriptor* d, char* text, size_t capacity);
// The same for display, a string in UTF-8.
std::string Wmf_AttributeDisplayText(const AsfDescriptor* d);
