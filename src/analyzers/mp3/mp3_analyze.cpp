// The MP3 analysis: ID3v2 tag, first MPEG audio frame header, ID3v1 tag, then length and frame figures.
// Everything is read straight from the drive with the current session's block length. Every offset, size and
// count in the file is bounded by the file itself: no sector outside the file is read, bytes past its end
// read as zero, and nothing larger than the file is allocated.
#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "analyzers/analyzer_heap.h"
#include "analyzers/mp3/mp3_module.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"

const uint32_t Mp3BitrateTable[2][3][16] = {
    {
        {1, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 1},
        {1, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 1},
        {1, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 1},
    },
    {
        {1, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 1},
        {1, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 1},
        {1, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 1},
    },
};

const uint32_t Mp3SamplingTable[2][4] = {{44100, 48000, 32000, 1}, {22050, 24000, 16000, 1}};

unsigned Mp3_VersionIndex(const MpegHeaderInfo* header) {
    return (header->headerBytes[1] & 0x08) ? 0 : 1;
}

unsigned Mp3_LayerIndex(const MpegHeaderInfo* header) {
    switch (header->headerBytes[1] & 0x06) {
    case 0x04:
        return 1;
    case 0x02:
        return 2;
    default: // 0x06 Layer I, and the reserved 0x00
        return 0;
    }
}

uint32_t Mp3_Bitrate(const MpegHeaderInfo* header) {
    return Mp3BitrateTable[Mp3_VersionIndex(header)][Mp3_LayerIndex(header)][header->headerBytes[2] >> 4];
}

uint32_t Mp3_SamplingRate(const MpegHeaderInfo* header) {
    return Mp3SamplingTable[Mp3_VersionIndex(header)][(header->headerBytes[2] >> 2) & 0x03];
}

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

// The tag size of an "ID3" header with its 10 bytes: the size bytes are taken whole (bit 7 not masked off),
// as stored reports were computed.
uint32_t Id3v2TagSize(const uint8_t* header) {
    return (uint32_t(header[6]) << 21) + (uint32_t(header[7]) << 14) + (uint32_t(header[8]) << 7) +
           header[9] + kId3v2HeaderSize;
}

bool StartsWithId3(const uint8_t* bytes) {
    return bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3';
}

struct FrameField {
    const char* id22;
    const char* id23;
    char* Id3v2Tag::*field;
};

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

char* Id3v2Tag::*FieldOf(const uint8_t* id, bool v22) {
    for (const FrameField& f : kFrameFields) {
        if (std::memcmp(id, v22 ? f.id22 : f.id23, v22 ? 3 : 4) == 0)
            return f.field;
    }
    return nullptr;
}

// The frame content (encoding byte and text) of `size` bytes at `offset` as Shift-JIS into the field.
int TakeText(FileReader& reader, int64_t offset, uint32_t size, char* Id3v2Tag::*field) {
    Buffer content(size);
    if (!content.data)
        return MP3_ERR_NO_MEMORY;
    const int rc = reader.Read(offset, size, content.data);
    if (rc != MP3_OK)
        return rc;
    char* text = static_cast<char*>(Analyzer_Alloc(size));
    if (!text)
        return MP3_ERR_NO_MEMORY;
    const uint8_t* src = content.data + 1;
    uint32_t bytes = size - 1;
    if (content.data[0] == 0) {
        Iso_UcsToSjis(text, size, src, bytes, 0, 1);
    } else {
        // UCS-2: a byte-order mark chooses the order and is dropped; without one the text is big-endian.
        uint16_t bigEndian = 1;
        if (bytes >= 2 && ((src[0] == 0xFF && src[1] == 0xFE) || (src[0] == 0xFE && src[1] == 0xFF))) {
            bigEndian = src[0] == 0xFE ? 1 : 0;
            src += 2;
            bytes -= 2;
        }
        Iso_UcsToSjis(text, size, src, bytes / 2, 1, bigEndian);
    }
    Analyzer_Free(g_Id3v2Tag->*field); // a repeated frame replaces the earlier text
    g_Id3v2Tag->*field = text;
    return MP3_OK;
}

// Walks the frames from `first` within the tag and the file. A frame's size is cut to what remains of them,
// so the walk never reads the audio data as frames.
int WalkFrames(FileReader& reader, uint32_t first, bool v22) {
    const uint32_t h = v22 ? 6 : 10;
    const uint64_t end = std::min<uint64_t>(g_Id3v2Tag->tagSize, reader.size());
    bool firstFrame = true;
    for (uint64_t p = first; p + h <= end;) {
        uint8_t header[10];
        int rc = reader.Read(int64_t(p), h, header);
        if (rc != MP3_OK)
            return rc;
        // Three zero bytes where a frame would start: the tag's padding.
        if (!firstFrame && header[0] == 0 && header[1] == 0 && header[2] == 0)
            break;
        firstFrame = false;
        const uint64_t size = v22 ? (uint32_t(header[3]) << 16 | uint32_t(header[4]) << 8 | header[5])
                                  : (uint32_t(header[4]) << 24 | uint32_t(header[5]) << 16 |
                                     uint32_t(header[6]) << 8 | header[7]);
        if (size == 0) {
            if (v22)
                return MP3_ERR_NO_MEMORY;
            p += 10;
            continue;
        }
        const uint64_t contentSize = std::min<uint64_t>(size, end - (p + h));
        if (char* Id3v2Tag::*field = FieldOf(header, v22); field && contentSize > 0) {
            rc = TakeText(reader, int64_t(p + h), uint32_t(contentSize), field);
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
    if (!StartsWithId3(head))
        return MP3_OK;
    g_Id3v2Tag = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    if (!g_Id3v2Tag)
        return MP3_ERR_NO_MEMORY;
    g_Id3v2Tag->tagSize = Id3v2TagSize(head);
    if (head[4] != 0 || (head[3] != 2 && head[3] != 3))
        return MP3_OK; // a version not understood keeps only its size
    const bool v22 = head[3] == 2;
    g_Mp3TagFlags |= v22 ? MP3_TAG_ID3V2_2 : MP3_TAG_ID3V2_3;
    uint32_t first = kId3v2HeaderSize;
    if (!v22 && (head[5] & 0x40))
        first = (head[14] & 0x80) ? 24 : 20; // extended header of 14 bytes with its CRC, else 10
    return WalkFrames(reader, first, v22);
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
    g_MpegHeader = static_cast<MpegHeaderInfo*>(Analyzer_Alloc(sizeof(MpegHeaderInfo)));
    if (!g_MpegHeader)
        return MP3_ERR_NO_MEMORY;
    const uint32_t start = StartsWithId3(window.data) ? Id3v2TagSize(window.data) : 0;
    // Past the file's end every byte reads as zero and cannot match, so the windows stop at its last block
    // (never more than one window per block of the file).
    const uint32_t size = reader.size();
    if (start >= size)
        return MP3_ERR_NO_FRAME_HEADER;
    const uint64_t firstBlock = start / bl, lastBlock = (size - 1) / bl;
    for (uint64_t block = firstBlock; block <= lastBlock; ++block) {
        if (reader.Read(int64_t(block * bl), 2 * size_t(bl), window.data) != MP3_OK)
            return MP3_ERR_NO_FRAME_HEADER;
        const uint8_t* w = window.data;
        for (uint32_t i = block == firstBlock ? start % bl : 0; i < bl; ++i) {
            if (w[i] == 0xFF && (w[i + 1] & 0xF0) == 0xF0) {
                std::memcpy(g_MpegHeader->headerBytes, w + i, sizeof g_MpegHeader->headerBytes);
                g_MpegHeader->headerPosition = uint32_t(block * bl + i);
                return MP3_OK;
            }
        }
    }
    return MP3_ERR_NO_FRAME_HEADER;
}

int Mp3_ReadId3v1(const FileEntry* entry) {
    FileReader reader;
    int rc = reader.Open(entry);
    if (rc != MP3_OK)
        return rc;
    const uint32_t bl = reader.blockLength();
    // The two blocks that hold the file's last 128 bytes; for a file under 128 bytes the first of them lies
    // before the file and reads as zeros.
    const int64_t windowBlock = int64_t(entry->size / bl) - (entry->size % bl < kId3v1Size ? 1 : 0);
    const size_t windowSize = 2 * size_t(bl);
    Buffer window(windowSize);
    if (!window.data)
        return MP3_ERR_NO_MEMORY;
    rc = reader.Read(windowBlock * int64_t(bl), windowSize, window.data);
    if (rc != MP3_OK)
        return rc;
    g_Id3v1Tag = static_cast<Id3v1Tag*>(Analyzer_Alloc(sizeof(Id3v1Tag)));
    if (!g_Id3v1Tag)
        return MP3_ERR_NO_MEMORY;
    if (windowSize < kId3v1Size)
        return MP3_OK;
    for (size_t p = 0; p <= windowSize - kId3v1Size; ++p) {
        const uint8_t* t = window.data + p;
        if (t[0] != 'T' || t[1] != 'A' || t[2] != 'G')
            continue;
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
        break;
    }
    return MP3_OK;
}

int Mp3_ComputeLength(const FileEntry* entry) {
    if (!g_MpegHeader || !entry)
        return MP3_OK;
    g_MpegHeader->length = AudioSize(entry) / (Mp3_Bitrate(g_MpegHeader) * 1000 / 8);
    return MP3_OK;
}

int Mp3_ComputeFrames(const FileEntry* entry) {
    if (!g_MpegHeader || !entry)
        return MP3_OK;
    MpegHeaderInfo* m = g_MpegHeader;
    const uint32_t b = Mp3_Bitrate(m), r = Mp3_SamplingRate(m);
    const uint32_t pad = (m->headerBytes[2] & 0x02) ? 1 : 0;
    const uint32_t channels = (m->headerBytes[3] & 0xC0) == 0xC0 ? 1 : 2;
    if (Mp3_LayerIndex(m) == 0) {
        m->frameLength = (b * 1000 * 12 / r + pad) * 4;
        m->pcmSize = 768 * channels;
    } else if (Mp3_VersionIndex(m) == 0) {
        m->frameLength = b * 1000 * 144 / r + pad;
        m->pcmSize = 2304 * channels;
    } else {
        m->frameLength = b * 1000 * 72 / r + pad;
        m->pcmSize = 1152 * channels;
    }
    if (m->frameLength != 0)
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
