// The MP3 analysis: ID3v2 tag, first MPEG audio frame header, ID3v1 tag, then length and frame figures, from
// a byte source. Every offset, size and count in the file is bounded by the file itself: no byte outside the
// file is read, bytes past its end read as zero, and nothing larger than the file is allocated.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>

#include "analyzers/analyzer_heap.h"
#include "analyzers/byte_source.h"
#include "analyzers/mp3/mp3_info.h"
#include "analyzers/tag_text.h"
#include "iso9660/iso9660.h"
#include "platform/bytes/byte_order.h"

namespace {

constexpr uint32_t kId3v2HeaderSize = 10;
constexpr uint32_t kId3v1Size = 128;
// Memory from the analyzer heap, released at the end of the scope.
struct Buffer {
    explicit Buffer(size_t bytes) : data(static_cast<uint8_t*>(Analyzer_Alloc(bytes))) {}
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { Analyzer_Free(data); }
    uint8_t* data;
};

using bytes::Be32;
using bytes::Syncsafe32;

// A version 2.4 tag's footer, 10 bytes after its frames.
uint32_t Id3v2FooterSize(const uint8_t* header) {
    return header[3] == 4 && (header[5] & 0x10) ? 10 : 0;
}

// The tag size of an "ID3" header with its 10 bytes and a footer: the size bytes are taken whole (bit 7 not
// masked off), as stored reports were computed.
uint32_t Id3v2TagSize(const uint8_t* header) {
    return (uint32_t(header[6]) << 21) + (uint32_t(header[7]) << 14) + (uint32_t(header[8]) << 7) +
           header[9] + kId3v2HeaderSize + Id3v2FooterSize(header);
}

bool StartsWith(const uint8_t* bytes, const char* text) {
    return std::memcmp(bytes, text, std::strlen(text)) == 0;
}

// Undoes unsynchronisation in place (every 0xFF 0x00 becomes 0xFF); the new length.
size_t Resynchronise(uint8_t* bytes, size_t length) {
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        bytes[out++] = bytes[i];
        if (bytes[i] == 0xFF && i + 1 < length && bytes[i + 1] == 0x00)
            ++i;
    }
    return out;
}

using Field = std::optional<std::string> Id3v2Texts::*;

struct FrameField {
    const char* id22;
    const char* id23;
    std::optional<std::string> Id3v2Texts::*field;
};

// Version 2.4 uses the 2.3 ids, with its recording time TDRC for the year (TYER is gone from 2.4).
constexpr FrameField kFrameFields[] = {
    {"TT2", "TIT2", &Id3v2Texts::title},
    {"TP1", "TPE1", &Id3v2Texts::artist},
    {"TAL", "TALB", &Id3v2Texts::album},
    {"TYE", "TYER", &Id3v2Texts::year},
    {"COM", "COMM", &Id3v2Texts::comment},
    {"TRK", "TRCK", &Id3v2Texts::track},
    {"TCO", "TCON", &Id3v2Texts::genre},
    {"TCM", "TCOM", &Id3v2Texts::composer},
    {"TOA", "TOPE", &Id3v2Texts::originalArtist},
    {"WCP", "WCOP", &Id3v2Texts::copyright},
    {"WAR", "WOAR", &Id3v2Texts::url},
    {"TEN", "TENC", &Id3v2Texts::encoder},
};

Field FieldOf(const uint8_t* id, unsigned version) {
    const bool v22 = version == 2;
    if (version == 4 && std::memcmp(id, "TDRC", 4) == 0)
        return &Id3v2Texts::year;
    for (const FrameField& f : kFrameFields) {
        if (std::memcmp(id, v22 ? f.id22 : f.id23, v22 ? 3 : 4) == 0)
            return f.field;
    }
    return nullptr;
}

// A byte source's code as this analyzer's: no room for the source's buffer is its own out-of-memory.
int ReadCode(int rc) {
    return rc == BYTES_ERR_NO_MEMORY ? MP3_ERR_NO_MEMORY : rc;
}

// The bytes of an ID3v2 tag, [0, end): read from the source as needed, or held in memory once its
// unsynchronisation has been undone. Bytes past the end read as zero.
class TagBytes {
  public:
    TagBytes(ByteSource& source, uint64_t end) : source_(source), end_(end) {}
    TagBytes(const TagBytes&) = delete;
    TagBytes& operator=(const TagBytes&) = delete;
    ~TagBytes() { Analyzer_Free(memory_); }

    uint64_t end() const { return end_; }

    int Read(uint64_t offset, size_t length, uint8_t* out) {
        std::memset(out, 0, length);
        if (offset >= end_)
            return MP3_OK;
        const size_t n = size_t(std::min<uint64_t>(length, end_ - offset));
        if (memory_) {
            std::memcpy(out, memory_ + offset, n);
            return MP3_OK;
        }
        return ReadCode(source_.Read(offset, {out, n}));
    }

    // Reads the whole tag (bounded by the file) and undoes the unsynchronisation after its header.
    int LoadResynchronised() {
        memory_ = static_cast<uint8_t*>(Analyzer_Alloc(size_t(std::max<uint64_t>(end_, 1))));
        if (!memory_)
            return MP3_ERR_NO_MEMORY;
        const int rc = ReadCode(source_.Read(0, {memory_, size_t(end_)}));
        if (rc != MP3_OK)
            return rc;
        if (end_ > kId3v2HeaderSize)
            end_ =
                kId3v2HeaderSize + Resynchronise(memory_ + kId3v2HeaderSize, size_t(end_ - kId3v2HeaderSize));
        return MP3_OK;
    }

  private:
    ByteSource& source_;
    uint64_t end_;
    uint8_t* memory_ = nullptr;
};

// A frame content (encoding byte and text) of `size` bytes as Shift-JIS into the field of `info.id3v2Sjis`,
// and as UTF-8 into that of `info.id3v2Text`. Encoding 0 is copied as it stands (read as Analyzer_TagText
// reads it for display), 3 (version 2.4 only) is UTF-8, every other value UCS-2 (UTF-16 for display).
int TakeText(const uint8_t* content, uint32_t size, Field field, bool v24, MpegInfo& info) {
    Buffer text(size);
    if (!text.data)
        return MP3_ERR_NO_MEMORY;
    char* sjis = reinterpret_cast<char*>(text.data);
    const uint8_t* src = content + 1;
    uint32_t bytes = size - 1;
    std::string utf8;
    if (content[0] == 0) {
        Iso_UcsToSjis(sjis, size, src, bytes, 0, 1);
        utf8 = Analyzer_TagText(src, bytes);
    } else if (v24 && content[0] == 3) {
        Buffer ucs(2 * size_t(bytes) + 2);
        if (!ucs.data)
            return MP3_ERR_NO_MEMORY;
        Iso_UcsToSjis(sjis, size, ucs.data, Iso_Utf8ToUcs2(src, bytes, ucs.data), 1, 1);
        utf8 = Analyzer_TagText(src, bytes);
    } else {
        // UCS-2: a byte-order mark chooses the order and is dropped; without one the text is big-endian.
        uint16_t bigEndian = 1;
        if (bytes >= 2 && ((src[0] == 0xFF && src[1] == 0xFE) || (src[0] == 0xFE && src[1] == 0xFF))) {
            bigEndian = src[0] == 0xFE ? 1 : 0;
            src += 2;
            bytes -= 2;
        }
        Iso_UcsToSjis(sjis, size, src, bytes / 2, 1, bigEndian);
        utf8 = Iso_Utf16ToUtf8(src, bytes / 2, bigEndian == 1);
    }
    // A repeated frame replaces the earlier text.
    info.id3v2Sjis.*field = std::string(sjis, strnlen(sjis, size));
    info.id3v2Text.*field = std::move(utf8);
    return MP3_OK;
}

// Version 2.4 frame format flags.
constexpr uint8_t kFrameGrouped = 0x40, kFrameCompressed = 0x08, kFrameEncrypted = 0x04,
                  kFrameUnsynchronised = 0x02, kFrameDataLength = 0x01;

// Takes the text of one picked-up frame whose content is `content` (`size` bytes, already bounded by the
// tag).
int TakeFrame(uint8_t* content, uint32_t size, const uint8_t* header, unsigned version,
              bool tagUnsynchronised, Field field, MpegInfo& info) {
    if (version == 4) {
        // The data a 2.4 frame's flags add comes first; compressed or encrypted text is not readable as text.
        const uint8_t flags = header[9];
        if (flags & (kFrameCompressed | kFrameEncrypted))
            return MP3_OK;
        const uint32_t skip = ((flags & kFrameGrouped) ? 1 : 0) + ((flags & kFrameDataLength) ? 4 : 0);
        if (skip >= size)
            return MP3_OK;
        content += skip;
        size -= skip;
        if ((flags & kFrameUnsynchronised) || tagUnsynchronised)
            size = uint32_t(Resynchronise(content, size));
    }
    return TakeText(content, size, field, version == 4, info);
}

// Walks the frames from `first` within the tag and the file. A frame's size is cut to what remains of them,
// so the walk never reads the audio data as frames.
int WalkFrames(TagBytes& tag, uint32_t first, unsigned version, bool tagUnsynchronised, MpegInfo& info) {
    const bool v22 = version == 2;
    const uint32_t h = v22 ? 6 : 10;
    const uint64_t end = tag.end();
    bool firstFrame = true;
    for (uint64_t p = first; p + h <= end;) {
        uint8_t header[10];
        int rc = tag.Read(p, h, header);
        if (rc != MP3_OK)
            return rc;
        // Three zero bytes where a frame would start: the tag's padding.
        if (!firstFrame && header[0] == 0 && header[1] == 0 && header[2] == 0)
            break;
        firstFrame = false;
        const uint64_t size = v22 ? (uint32_t(header[3]) << 16 | uint32_t(header[4]) << 8 | header[5])
                              : version == 4 ? Syncsafe32(header + 4)
                                             : Be32(header + 4);
        if (size == 0) {
            if (v22)
                return MP3_ERR_NO_MEMORY;
            p += 10;
            continue;
        }
        const uint64_t contentSize = std::min<uint64_t>(size, end - (p + h));
        if (Field field = FieldOf(header, version); field && contentSize > 0) {
            Buffer content(contentSize);
            if (!content.data)
                return MP3_ERR_NO_MEMORY;
            rc = tag.Read(p + h, size_t(contentSize), content.data);
            if (rc == MP3_OK)
                rc = TakeFrame(content.data, uint32_t(contentSize), header, version, tagUnsynchronised, field,
                               info);
            if (rc != MP3_OK)
                return rc;
        }
        p += h + size;
    }
    return MP3_OK;
}

// The audio size: the file less the tags whose flags are set (unsigned 32-bit, as stored reports have it).
uint32_t AudioSize(uint64_t fileSize, const MpegInfo& info) {
    uint32_t a = uint32_t(fileSize);
    if (info.tagFlags & MP3_TAG_ID3V1)
        a -= kId3v1Size;
    if ((info.tagFlags & MP3_TAG_ID3V2) && info.id3v2)
        a -= info.id3v2Size;
    return a;
}

struct FrameFigures {
    uint32_t frameLength;
    uint32_t pcmSize;
    uint32_t samples; // per channel
};

// Frame length and PCM size of one frame. Layer II holds 1152 samples in every version, Layer III 576 in
// MPEG-2 and 2.5.
FrameFigures FiguresOf(const MpegHeaderInfo* m) {
    const uint32_t b = Mp3_Bitrate(m), r = Mp3_SamplingRate(m);
    const uint32_t pad = (m->headerBytes[2] & 0x02) ? 1 : 0;
    const uint32_t channels = (m->headerBytes[3] & 0xC0) == 0xC0 ? 1 : 2;
    if (Mp3_LayerIndex(m) == 0)
        return {(b * 1000 * 12 / r + pad) * 4, 768 * channels, 384};
    if (Mp3_VersionIndex(m) == 0 || Mp3_LayerIndex(m) == 1)
        return {b * 1000 * 144 / r + pad, 2304 * channels, 1152};
    return {b * 1000 * 72 / r + pad, 1152 * channels, 576};
}

// Whether the frame `h` at `position` is followed, where the file holds it, by a header of the same stream
// (same version, layer and sampling rate). A free-format header names no frame length and stands alone.
// 1 (yes), 0 (no) or a failed read's MP3_ERR_NO_FRAME_HEADER.
int ConfirmFrame(ByteSource& source, uint32_t position, const uint8_t* h) {
    MpegHeaderInfo candidate{};
    std::memcpy(candidate.headerBytes, h, 4);
    const uint32_t length = FiguresOf(&candidate).frameLength;
    if ((h[2] >> 4) == 0 || length == 0 || uint64_t(position) + length + 4 > source.Size())
        return 1;
    uint8_t next[4];
    if (source.Read(uint64_t(position) + length, next) != BYTES_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    return next[0] == 0xFF && (next[1] & 0xFE) == (h[1] & 0xFE) && (next[2] & 0x0C) == (h[2] & 0x0C) ? 1 : 0;
}

// The frame count of a Xing/Info header (after the side information) or a VBRI header (32 bytes after the
// frame header) in the frame at `position`; 0 when there is none. Bytes past the file read as zero.
int ReadVbrFrames(ByteSource& source, uint32_t position, const uint8_t* h, uint32_t* frames) {
    const bool mono = (h[3] & 0xC0) == 0xC0;
    const uint32_t sideInfo = (h[1] & 0x08) ? (mono ? 17 : 32) : (mono ? 9 : 17);
    uint8_t xing[12], vbri[18];
    if (source.Read(uint64_t(position) + 4 + sideInfo, xing) != BYTES_OK ||
        source.Read(uint64_t(position) + 4 + 32, vbri) != BYTES_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    *frames = 0;
    if ((StartsWith(xing, "Xing") || StartsWith(xing, "Info")) && (xing[7] & 0x01))
        *frames = Be32(xing + 8);
    else if (StartsWith(vbri, "VBRI"))
        *frames = Be32(vbri + 14);
    return MP3_OK;
}

int ReadId3v2(ByteSource& source, MpegInfo& info) {
    uint8_t head[24];
    int rc = ReadCode(source.Read(0, head));
    if (rc != MP3_OK)
        return rc;
    if (!StartsWith(head, "ID3"))
        return MP3_OK;
    info.id3v2 = true;
    info.id3v2Size = Id3v2TagSize(head);
    const unsigned version = head[3];
    if (head[4] != 0 || version < 2 || version > 4)
        return MP3_OK; // a version not understood keeps only its size
    info.tagFlags |= version == 2 ? MP3_TAG_ID3V2_2 : version == 3 ? MP3_TAG_ID3V2_3 : MP3_TAG_ID3V2_4;
    TagBytes tag(source, std::min<uint64_t>(info.id3v2Size - Id3v2FooterSize(head), source.Size()));
    // Tag-level unsynchronisation: versions 2.2 and 2.3 apply it to the whole tag, frame headers included;
    // in 2.4 it is applied to each frame's content, whose size counts the unsynchronised bytes.
    const bool unsynchronised = head[5] & 0x80;
    if (unsynchronised && version != 4) {
        rc = tag.LoadResynchronised();
        if (rc == MP3_OK)
            rc = tag.Read(0, sizeof head, head);
        if (rc != MP3_OK)
            return rc;
    }
    uint32_t first = kId3v2HeaderSize;
    if (version == 3 && (head[5] & 0x40))
        first = (head[14] & 0x80) ? 24 : 20; // extended header of 14 bytes with its CRC, else 10
    else if (version == 4 && (head[5] & 0x40))
        first = kId3v2HeaderSize + Syncsafe32(head + 10); // the extended header's size counts itself
    return WalkFrames(tag, first, version, unsynchronised && version == 4, info);
}

// Searched in windows of two units, one unit further each time; a candidate header counts when the frame
// after it (where the file holds one) starts with a header of the same stream.
constexpr uint32_t kUnit = 2048;

int FindFrameHeader(ByteSource& source, MpegHeaderInfo& header) {
    Buffer window(2 * size_t(kUnit));
    if (!window.data)
        return MP3_ERR_NO_MEMORY;
    if (source.Read(0, {window.data, kUnit}) != BYTES_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    // A RIFF file (WAV and its kin) is left to the analyzers after this one.
    if (StartsWith(window.data, "RIFF"))
        return MP3_ERR_NO_FRAME_HEADER;
    const uint32_t start = StartsWith(window.data, "ID3") ? Id3v2TagSize(window.data) : 0;
    // Past the file's end every byte reads as zero and cannot match, so the windows stop at its last unit.
    const uint32_t size = uint32_t(std::min<uint64_t>(source.Size(), UINT32_MAX));
    if (start >= size)
        return MP3_ERR_NO_FRAME_HEADER;
    const uint64_t firstUnit = start / kUnit, lastUnit = (size - 1) / kUnit;
    for (uint64_t unit = firstUnit; unit <= lastUnit; ++unit) {
        if (source.Read(unit * kUnit, {window.data, 2 * size_t(kUnit)}) != BYTES_OK)
            return MP3_ERR_NO_FRAME_HEADER;
        for (uint32_t i = unit == firstUnit ? start % kUnit : 0; i < kUnit; ++i) {
            const uint8_t* h = window.data + i;
            if (!Mp3_IsFrameHeader(h))
                continue;
            const uint32_t position = uint32_t(unit * kUnit + i);
            if (uint64_t(position) + 4 > size)
                break; // the header does not lie whole in the file
            const int confirmed = ConfirmFrame(source, position, h);
            if (confirmed == MP3_ERR_NO_FRAME_HEADER)
                return confirmed;
            if (confirmed != 1)
                continue;
            // The two bytes after the header (a protected frame's CRC) lie in the window too.
            std::memcpy(header.headerBytes, h, sizeof header.headerBytes);
            header.headerPosition = position;
            return ReadVbrFrames(source, position, h, &header.vbrFrames);
        }
    }
    return MP3_ERR_NO_FRAME_HEADER;
}

int ReadId3v1(ByteSource& source, MpegInfo& info) {
    // The tag is the file's last 128 bytes when they begin "TAG" (an APEv2 tag may stand just before them).
    const uint64_t size = source.Size();
    if (size < kId3v1Size)
        return MP3_OK;
    uint8_t t[kId3v1Size];
    const int rc = ReadCode(source.Read(size - kId3v1Size, t));
    if (rc != MP3_OK || !StartsWith(t, "TAG"))
        return rc;
    Id3v1Tag& v1 = info.id3v1;
    std::memcpy(v1.title, t + 3, 30);
    std::memcpy(v1.artist, t + 33, 30);
    std::memcpy(v1.album, t + 63, 30);
    std::memcpy(v1.year, t + 93, 4);
    std::memcpy(v1.comment, t + 97, 30);
    v1.genre = t[127];
    if (t[125] == 0 && t[126] != 0) {
        v1.track = t[126];
        v1.comment[29] = 0;
        info.tagFlags |= MP3_TAG_ID3V1_1;
    } else {
        info.tagFlags |= MP3_TAG_ID3V1_0;
    }
    return MP3_OK;
}

// Length and frame figures. A VBR header's frame count gives the exact length and frames; without one the
// bitrate and frame length of the first frame do (exact for constant bitrate).
void ComputeFigures(uint64_t fileSize, MpegInfo& info) {
    MpegHeaderInfo& m = info.header;
    const FrameFigures f = FiguresOf(&m);
    m.frameLength = f.frameLength;
    m.pcmSize = f.pcmSize;
    if (m.vbrFrames != 0) {
        m.length = uint32_t(uint64_t(m.vbrFrames) * f.samples / Mp3_SamplingRate(&m));
        m.frames = m.vbrFrames;
        return;
    }
    m.length = AudioSize(fileSize, info) / (Mp3_Bitrate(&m) * 1000 / 8);
    if (m.frameLength != 0)
        m.frames = AudioSize(fileSize, info) / m.frameLength;
}

} // namespace

int Mp3_Read(ByteSource& source, MpegInfo& info) {
    info = MpegInfo{};
    int rc = ReadId3v2(source, info);
    if (rc == MP3_OK)
        rc = FindFrameHeader(source, info.header);
    if (rc == MP3_OK)
        rc = ReadId3v1(source, info);
    if (rc == MP3_OK)
        ComputeFigures(source.Size(), info);
    return rc;
}
