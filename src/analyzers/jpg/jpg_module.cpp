#include "analyzers/jpg/jpg_module.h"

#include <cstring>

#include "analyzers/analyzers.h"
#include "analyzers/byte_source.h"
#include "analyzers/disc_entry_source.h"
#include "platform/bytes/byte_order.h"

namespace {

constexpr int kMaxSegments = 4096; // real files hold a few dozen before their first scan

JpgInfo s_Last;

int ReadCode(int rc) {
    return rc == BYTES_ERR_NO_MEMORY ? JPG_ERR_NO_MEMORY : rc;
}

bool IsFrameMarker(uint8_t m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

// The start of one APPn segment's data (`length` bytes after its length field) names its kind.
void NoteApplication(const uint8_t* data, uint16_t length, uint8_t marker, JpgInfo& info) {
    info.appn |= uint16_t(1u << (marker - 0xE0));
    if (marker == 0xE0 && length >= 5 && std::memcmp(data, "JFIF", 5) == 0)
        info.jfif = true;
    if (marker == 0xE1 && length >= 6 && std::memcmp(data, "Exif\0", 6) == 0)
        info.exif = true;
}

} // namespace

int Jpg_Read(ByteSource& source, JpgInfo& info) {
    info = JpgInfo{};
    uint8_t soi[2];
    int rc = ReadCode(source.Read(0, soi));
    if (rc != JPG_OK)
        return rc;
    if (soi[0] != 0xFF || soi[1] != 0xD8)
        return JPG_ERR_NOT_JPEG;
    const uint64_t size = source.Size();
    uint64_t p = 2;
    for (int n = 0; n < kMaxSegments && p + 2 <= size; ++n) {
        // Marker, length, and the first eight bytes of a segment: enough for a frame header or an APPn's
        // kind.
        uint8_t s[12];
        if ((rc = ReadCode(source.Read(p, s))) != JPG_OK)
            return rc;
        if (s[0] != 0xFF)
            break; // not a marker where one must be
        const uint8_t marker = s[1];
        if (marker == 0xFF) { // a fill byte before the marker
            ++p;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without a segment
            p += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            break; // end of image, start of scan: the header is over
        const uint16_t length = bytes::Be16(s + 2);
        if (length < 2 || p + 2 + length > size)
            break; // a length the file does not hold
        if (IsFrameMarker(marker) && length >= 8 && !info.frameMarker) {
            info.frameMarker = marker;
            info.precision = s[4];
            info.height = bytes::Be16(s + 5);
            info.width = bytes::Be16(s + 7);
            info.components = s[9];
        } else if (marker >= 0xE0 && marker <= 0xEF) {
            NoteApplication(s + 4, uint16_t(length - 2), marker, info);
        }
        p += 2 + uint64_t(length);
    }
    return info.frameMarker ? JPG_OK : JPG_ERR_NOT_JPEG;
}

int Jpg_AnalyzeEntry(const FileEntry& entry, JpgInfo& info) {
    return Jpg_AnalyzeEntry(DiscEntry_Current(entry), info);
}

int Jpg_AnalyzeEntry(const DiscEntryAt& at, JpgInfo& info) {
    info = JpgInfo{};
    DiscEntrySource source(at);
    const int rc = source.Open();
    return rc != BYTES_OK ? ReadCode(rc) : Jpg_Read(source, info);
}

int Jpg_Analyze(const FileEntry* entry) {
    s_Last = JpgInfo{};
    return entry ? Jpg_AnalyzeEntry(*entry, s_Last) : JPG_ERR_NOT_JPEG;
}

const JpgInfo& Jpg_LastInfo() {
    return s_Last;
}

const char* Jpg_CodingName(uint8_t frameMarker) {
    static const char* const kNames[16] = {"Baseline DCT",
                                           "Extended sequential DCT",
                                           "Progressive DCT",
                                           "Lossless",
                                           "",
                                           "Differential sequential DCT",
                                           "Differential progressive DCT",
                                           "Differential lossless",
                                           "",
                                           "Extended sequential DCT, arithmetic",
                                           "Progressive DCT, arithmetic",
                                           "Lossless, arithmetic",
                                           "",
                                           "Differential sequential DCT, arithmetic",
                                           "Differential progressive DCT, arithmetic",
                                           "Differential lossless, arithmetic"};
    return IsFrameMarker(frameMarker) ? kNames[frameMarker - 0xC0] : "";
}

int Jpg_Initialize() {
    return 1;
}

void Jpg_Terminate() {
    s_Last = JpgInfo{};
}
