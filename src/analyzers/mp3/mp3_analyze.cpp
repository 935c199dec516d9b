// The MP3 analysis: ID3v2 tag, first MPEG audio frame header, ID3v1 tag, then length and frame figures.
// Everything is read straight from the drive with the current session's block length. Every offset, size and
// count in the file is bounded by the file itself: no sector outside the file is read, bytes past its end
// read as zero, and nothing larger than the file is allocated.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "analyzers/analyzer_heap.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/tag_text.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/bytes/byte_order.h"

namespace {

constexpr uint32_t kId3v2HeaderSize = 10;
constexpr uint32_t kId3v1Size = 128;
// Largest READ(10) the reader sends, in bytes (at least one block).
constexpr uint32_t kPieceBytes = 64 * 1024;

// Reads bytes of one file through Aspi_ReadSectors, whole blocks at a time, remembering the last piece read
// so that neighbouring frame headers and overlapping windows cost no second command.
class FileReader {
  public:
    FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    ~FileReader() { Analyzer_Free(piece_); }

    // Selects the current session and takes its block length.
    int Open(const FileEntry* entry) {
        if (!entry)
            return MP3_ERR_NO_FRAME_HEADER;
        const int rc = Iso_SelectSession();
        if (rc != ISO_OK)
            return rc;
        session_ = g_DiscModel->currentSessionEntry;
        bl_ = session_->blockLength;
        lbn_ = entry->lbn;
        size_ = entry->size;
        pieceBlocks_ = std::max<uint32_t>(1, kPieceBytes / bl_);
        // A file whose blocks run past the recorded area is refused before any command is sent; every read
        // below stays within the file's blocks.
        if (size_ != 0 && uint64_t(lbn_) + (uint64_t(size_) - 1) / bl_ > session_->lastBlock)
            return ISO_ERR_EXTENT;
        return MP3_OK;
    }

    uint32_t blockLength() const { return bl_; }
    uint32_t size() const { return size_; }

    // Copies the file bytes [offset, offset + length) to `out`. Offsets before the file's start or past its
    // end give zeros and read nothing. 1, MP3_ERR_NO_MEMORY or the code of the failed read.
    int Read(int64_t offset, size_t length, uint8_t* out) {
        std::memset(out, 0, length);
        const int64_t begin = std::max<int64_t>(offset, 0);
        const int64_t end = std::min<int64_t>(offset + int64_t(length), size_);
        if (begin >= end)
            return MP3_OK;
        const uint64_t last = uint64_t(end - 1) / bl_;
        for (uint64_t block = uint64_t(begin) / bl_; block <= last; ++block) {
            if (!pieceCount_ || block < pieceFirst_ || block >= pieceFirst_ + pieceCount_) {
                const int rc = Fetch(block, uint32_t(std::min<uint64_t>(pieceBlocks_, last - block + 1)));
                if (rc != MP3_OK)
                    return rc;
            }
            const int64_t blockStart = int64_t(block * bl_);
            const int64_t from = std::max(begin, blockStart);
            const int64_t to = std::min(end, blockStart + int64_t(bl_));
            std::memcpy(out + (from - offset), piece_ + (block - pieceFirst_) * bl_ + (from - blockStart),
                        size_t(to - from));
        }
        return MP3_OK;
    }

  private:
    int Fetch(uint64_t block, uint32_t count) {
        pieceCount_ = 0;
        if (!piece_) {
            piece_ = static_cast<uint8_t*>(Analyzer_Alloc(size_t(pieceBlocks_) * bl_));
            if (!piece_)
                return MP3_ERR_NO_MEMORY;
        }
        const int rc =
            Aspi_ReadSectors(g_CurrentDevice, uint32_t(lbn_ + block), bl_, uint16_t(count), piece_);
        if (rc != ASPI_OK)
            return rc;
        pieceFirst_ = block;
        pieceCount_ = count;
        return MP3_OK;
    }

    const SessionEntry* session_ = nullptr;
    uint32_t bl_ = 0;
    uint32_t lbn_ = 0;
    uint32_t size_ = 0;
    uint32_t pieceBlocks_ = 1;
    uint8_t* piece_ = nullptr;
    uint64_t pieceFirst_ = 0;
    uint32_t pieceCount_ = 0;
};

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

// The bytes of an ID3v2 tag, [0, end): read from the drive as needed, or held in memory once its
// unsynchronisation has been undone. Bytes past the end read as zero.
class TagBytes {
  public:
    TagBytes(FileReader& reader, uint64_t end) : reader_(reader), end_(end) {}
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
        return reader_.Read(int64_t(offset), n, out);
    }

    // Reads the whole tag (bounded by the file) and undoes the unsynchronisation after its header.
    int LoadResynchronised() {
        memory_ = static_cast<uint8_t*>(Analyzer_Alloc(size_t(std::max<uint64_t>(end_, 1))));
        if (!memory_)
            return MP3_ERR_NO_MEMORY;
        const int rc = reader_.Read(0, size_t(end_), memory_);
        if (rc != MP3_OK)
            return rc;
        if (end_ > kId3v2HeaderSize)
            end_ =
                kId3v2HeaderSize + Resynchronise(memory_ + kId3v2HeaderSize, size_t(end_ - kId3v2HeaderSize));
        return MP3_OK;
    }

  private:
    FileReader& reader_;
    uint64_t end_;
    uint8_t* memory_ = nullptr;
};

struct FrameField {
    const char* id22;
    const char* id23;
    char* Id3v2Tag::*field;
};

// Version 2.4 uses the 2.3 ids, with its recording time TDRC for the year (TYER is gone from 2.4).
constexpr FrameField kFrameFields[] = {
    {"TT2", "TIT2", &Id3v2Tag::title},
    {"TP1", "TPE1", &Id3v2Tag::artist},
    {"TAL", "TALB", &Id3v2Tag::album},
    {"TYE", "TYER", &Id3v2Tag::year},
    {"COM", "COMM", &Id3v2Tag::comment},
    {"TRK", "TRCK", &Id3v2Tag::track},
    {"TCO", "TCON", &Id3v2Tag::genre},
    {"TCM", "TCOM", &Id3v2Tag::composer},
    {"TOA", "TOPE", &Id3v2Tag::originalArtist},
    {"WCP", "WCOP", &Id3v2Tag::copyright},
    {"WAR", "WOAR", &Id3v2Tag::url},
    {"TEN", "TENC", &Id3v2Tag::encoder},
};

char* Id3v2Tag::*FieldOf(const uint8_t* id, unsigned version) {
    const bool v22 = version == 2;
    if (version == 4 && std::memcmp(id, "TDRC", 4) == 0)
        return &Id3v2Tag::year;
    for (const FrameField& f : kFrameFields) {
        if (std::memcmp(id, v22 ? f.id22 : f.id23, v22 ? 3 : 4) == 0)
            return f.field;
    }
    return nullptr;
}

// A frame content (encoding byte and text) of `size` bytes as Shift-JIS into the field of g_Id3v2Tag, and as
// UTF-8 into that of g_Id3v2TagText. Encoding 0 is copied as it stands (read as Analyzer_TagText reads it for
// display), 3 (version 2.4 only) is UTF-8, every other value UCS-2 (UTF-16 for display).
int TakeText(const uint8_t* content, uint32_t size, char* Id3v2Tag::*field, bool v24) {
    char* text = static_cast<char*>(Analyzer_Alloc(size));
    if (!text)
        return MP3_ERR_NO_MEMORY;
    const uint8_t* src = content + 1;
    uint32_t bytes = size - 1;
    std::string utf8;
    if (content[0] == 0) {
        Iso_UcsToSjis(text, size, src, bytes, 0, 1);
        utf8 = Analyzer_TagText(src, bytes);
    } else if (v24 && content[0] == 3) {
        Buffer ucs(2 * size_t(bytes) + 2);
        if (!ucs.data) {
            Analyzer_Free(text);
            return MP3_ERR_NO_MEMORY;
        }
        Iso_UcsToSjis(text, size, ucs.data, Iso_Utf8ToUcs2(src, bytes, ucs.data), 1, 1);
        utf8 = Analyzer_TagText(src, bytes);
    } else {
        // UCS-2: a byte-order mark chooses the order and is dropped; without one the text is big-endian.
        uint16_t bigEndian = 1;
        if (bytes >= 2 && ((src[0] == 0xFF && src[1] == 0xFE) || (src[0] == 0xFE && src[1] == 0xFF))) {
            bigEndian = src[0] == 0xFE ? 1 : 0;
            src += 2;
            bytes -= 2;
        }
        Iso_UcsToSjis(text, size, src, bytes / 2, 1, bigEndian);
        utf8 = Iso_Utf16ToUtf8(src, bytes / 2, bigEndian == 1);
    }
    char* display = Analyzer_NewText(utf8);
    if (!display) {
        Analyzer_Free(text);
        return MP3_ERR_NO_MEMORY;
    }
    // A repeated frame replaces the earlier text.
    Analyzer_Free(g_Id3v2Tag->*field);
    g_Id3v2Tag->*field = text;
    Analyzer_Free(g_Id3v2TagText->*field);
    g_Id3v2TagText->*field = display;
    return MP3_OK;
}

// Version 2.4 frame format flags.
constexpr uint8_t kFrameGrouped = 0x40, kFrameCompressed = 0x08, kFrameEncrypted = 0x04,
                  kFrameUnsynchronised = 0x02, kFrameDataLength = 0x01;

// Takes the text of one picked-up frame whose content is `content` (`size` bytes, already bounded by the
// tag).
int TakeFrame(uint8_t* content, uint32_t size, const uint8_t* header, unsigned version,
              bool tagUnsynchronised, char* Id3v2Tag::*field) {
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
    return TakeText(content, size, field, version == 4);
}

// Walks the frames from `first` within the tag and the file. A frame's size is cut to what remains of them,
// so the walk never reads the audio data as frames.
int WalkFrames(TagBytes& tag, uint32_t first, unsigned version, bool tagUnsynchronised) {
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
        if (char* Id3v2Tag::*field = FieldOf(header, version); field && contentSize > 0) {
            Buffer content(contentSize);
            if (!content.data)
                return MP3_ERR_NO_MEMORY;
            rc = tag.Read(p + h, size_t(contentSize), content.data);
            if (rc == MP3_OK)
                rc =
                    TakeFrame(content.data, uint32_t(contentSize), header, version, tagUnsynchronised, field);
            if (rc != MP3_OK)
                return rc;
        }
        p += h + size;
    }
    return MP3_OK;
}

// The audio size: the file less the tags whose flags are set (unsigned 32-bit, as stored reports have it).
uint32_t AudioSize(const FileEntry* entry) {
    uint32_t a = entry->size;
    if (g_Mp3TagFlags & MP3_TAG_ID3V1)
        a -= kId3v1Size;
    if ((g_Mp3TagFlags & MP3_TAG_ID3V2) && g_Id3v2Tag)
        a -= g_Id3v2Tag->tagSize;
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
int ConfirmFrame(FileReader& reader, uint32_t position, const uint8_t* h) {
    MpegHeaderInfo candidate{};
    std::memcpy(candidate.headerBytes, h, 4);
    const uint32_t length = FiguresOf(&candidate).frameLength;
    if ((h[2] >> 4) == 0 || length == 0 || uint64_t(position) + length + 4 > reader.size())
        return 1;
    uint8_t next[4];
    if (reader.Read(int64_t(position) + length, sizeof next, next) != MP3_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    return next[0] == 0xFF && (next[1] & 0xFE) == (h[1] & 0xFE) && (next[2] & 0x0C) == (h[2] & 0x0C) ? 1 : 0;
}

// The frame count of a Xing/Info header (after the side information) or a VBRI header (32 bytes after the
// frame header) in the frame at `position`; 0 when there is none. Bytes past the file read as zero.
int ReadVbrFrames(FileReader& reader, uint32_t position, const uint8_t* h, uint32_t* frames) {
    const bool mono = (h[3] & 0xC0) == 0xC0;
    const uint32_t sideInfo = (h[1] & 0x08) ? (mono ? 17 : 32) : (mono ? 9 : 17);
    uint8_t xing[12], vbri[18];
    if (reader.Read(int64_t(position) + 4 + sideInfo, sizeof xing, xing) != MP3_OK ||
        reader.Read(int64_t(position) + 4 + 32, sizeof vbri, vbri) != MP3_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    *frames = 0;
    if ((StartsWith(xing, "Xing") || StartsWith(xing, "Info")) && (xing[7] & 0x01))
        *frames = Be32(xing + 8);
    else if (StartsWith(vbri, "VBRI"))
        *frames = Be32(vbri + 14);
    return MP3_OK;
}

} // namespace

int Mp3_ReadId3v2(const FileEntry* entry) {
    FileReader reader;
    int rc = reader.Open(entry);
    if (rc != MP3_OK)
        return rc;
    uint8_t head[24];
    rc = reader.Read(0, sizeof head, head);
    if (rc != MP3_OK)
        return rc;
    if (!StartsWith(head, "ID3"))
        return MP3_OK;
    g_Id3v2Tag = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    g_Id3v2TagText = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    if (!g_Id3v2Tag || !g_Id3v2TagText)
        return MP3_ERR_NO_MEMORY;
    g_Id3v2Tag->tagSize = Id3v2TagSize(head);
    const unsigned version = head[3];
    if (head[4] != 0 || version < 2 || version > 4)
        return MP3_OK; // a version not understood keeps only its size
    g_Mp3TagFlags |= version == 2 ? MP3_TAG_ID3V2_2 : version == 3 ? MP3_TAG_ID3V2_3 : MP3_TAG_ID3V2_4;
    TagBytes tag(reader, std::min<uint64_t>(g_Id3v2Tag->tagSize - Id3v2FooterSize(head), reader.size()));
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
    return WalkFrames(tag, first, version, unsynchronised && version == 4);
}

int Mp3_FindFrameHeader(const FileEntry* entry) {
    FileReader reader;
    if (reader.Open(entry) != MP3_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    const uint32_t bl = reader.blockLength();
    // Two sectors, and room for the six header bytes at the end of a very short block.
    Buffer window(2 * size_t(bl) + 8);
    if (!window.data)
        return MP3_ERR_NO_MEMORY;
    if (reader.Read(0, bl, window.data) != MP3_OK)
        return MP3_ERR_NO_FRAME_HEADER;
    // A RIFF file (WAV and its kin) is left to the analyzers after this one.
    if (StartsWith(window.data, "RIFF"))
        return MP3_ERR_NO_FRAME_HEADER;
    g_MpegHeader = static_cast<MpegHeaderInfo*>(Analyzer_Alloc(sizeof(MpegHeaderInfo)));
    if (!g_MpegHeader)
        return MP3_ERR_NO_MEMORY;
    const uint32_t start = StartsWith(window.data, "ID3") ? Id3v2TagSize(window.data) : 0;
    // Past the file's end every byte reads as zero and cannot match, so the windows stop at its last block
    // (never more than one window per block of the file).
    const uint32_t size = reader.size();
    if (start >= size)
        return MP3_ERR_NO_FRAME_HEADER;
    const uint64_t firstBlock = start / bl, lastBlock = (size - 1) / bl;
    for (uint64_t block = firstBlock; block <= lastBlock; ++block) {
        if (reader.Read(int64_t(block * bl), 2 * size_t(bl), window.data) != MP3_OK)
            return MP3_ERR_NO_FRAME_HEADER;
        // The following frame's header lies within the piece the reader holds, so confirming a candidate
        // costs no command of its own as a rule.
        for (uint32_t i = block == firstBlock ? start % bl : 0; i < bl; ++i) {
            const uint8_t* h = window.data + i;
            if (!Mp3_IsFrameHeader(h))
                continue;
            const uint32_t position = uint32_t(block * bl + i);
            if (uint64_t(position) + 4 > size)
                break; // the header does not lie whole in the file
            const int confirmed = ConfirmFrame(reader, position, h);
            if (confirmed == MP3_ERR_NO_FRAME_HEADER)
                return confirmed;
            if (confirmed != 1)
                continue;
            std::memcpy(g_MpegHeader->headerBytes, h, sizeof g_MpegHeader->headerBytes);
            g_MpegHeader->headerPosition = position;
            return ReadVbrFrames(reader, position, h, &g_MpegHeader->vbrFrames);
        }
    }
    return MP3_ERR_NO_FRAME_HEADER;
}

int Mp3_ReadId3v1(const FileEntry* entry) {
    FileReader reader;
    int rc = reader.Open(entry);
    if (rc != MP3_OK)
        return rc;
    // The tag is the file's last 128 bytes when they begin "TAG" (an APEv2 tag may stand just before them).
    uint8_t t[kId3v1Size];
    if (entry->size >= kId3v1Size) {
        rc = reader.Read(int64_t(entry->size - kId3v1Size), sizeof t, t);
        if (rc != MP3_OK)
            return rc;
    }
    g_Id3v1Tag = static_cast<Id3v1Tag*>(Analyzer_Alloc(sizeof(Id3v1Tag)));
    if (!g_Id3v1Tag)
        return MP3_ERR_NO_MEMORY;
    if (entry->size < kId3v1Size || !StartsWith(t, "TAG"))
        return MP3_OK;
    Id3v1Tag* v1 = g_Id3v1Tag;
    std::memcpy(v1->title, t + 3, 30);
    std::memcpy(v1->artist, t + 33, 30);
    std::memcpy(v1->album, t + 63, 30);
    std::memcpy(v1->year, t + 93, 4);
    std::memcpy(v1->comment, t + 97, 30);
    v1->genre = t[127];
    if (t[125] == 0 && t[126] != 0) {
        v1->track = t[126];
        v1->comment[29] = 0;
        g_Mp3TagFlags |= MP3_TAG_ID3V1_1;
    } else {
        g_Mp3TagFlags |= MP3_TAG_ID3V1_0;
    }
    return MP3_OK;
}

int Mp3_ComputeLength(const FileEntry* entry) {
    if (!g_MpegHeader || !entry)
        return MP3_OK;
    MpegHeaderInfo* m = g_MpegHeader;
    // A VBR header's frame count gives the exact length; without one the bitrate of the first frame does
    // (exact for constant bitrate).
    if (m->vbrFrames != 0)
        m->length = uint32_t(uint64_t(m->vbrFrames) * FiguresOf(m).samples / Mp3_SamplingRate(m));
    else
        m->length = AudioSize(entry) / (Mp3_Bitrate(m) * 1000 / 8);
    return MP3_OK;
}

int Mp3_ComputeFrames(const FileEntry* entry) {
    if (!g_MpegHeader || !entry)
        return MP3_OK;
    MpegHeaderInfo* m = g_MpegHeader;
    const FrameFigures f = FiguresOf(m);
    m->frameLength = f.frameLength;
    m->pcmSize = f.pcmSize;
    if (m->vbrFrames != 0)
        m->frames = m->vbrFrames;
    else if (m->frameLength != 0)
        m->frames = AudioSize(entry) / m->frameLength;
    return MP3_OK;
}

int Mp3_Analyze(FileEntry* entry) {
    Mp3_ReleaseResults();
    if (!entry)
        return MP3_ERR_NO_FRAME_HEADER;
    for (int (*step)(const FileEntry*) :
         {Mp3_ReadId3v2, Mp3_FindFrameHeader, Mp3_ReadId3v1, Mp3_ComputeLength, Mp3_ComputeFrames}) {
        const int rc = step(entry);
        if (rc != MP3_OK)
            return rc;
    }
    return MP3_OK;
}
