// zisofs files: what their ZF entries say, and their data uncompressed as the Linux kernel and xorriso read
// it. Every number of the file's header and pointers comes from the disc, so each is checked against the
// file's extent before it is used.
#include "iso9660/iso_zisofs.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

void iso_internal::SetZisofs(Disc& d, FileEntry* e, const RockRidgeEntry& rr, uint32_t extentSize) {
    IsoZisofs z;
    z.extentSize = extentSize;
    z.size = rr.zfSize;
    z.headerWords = rr.zfHeaderWords;
    z.blockLog2 = rr.zfBlockLog2;
    for (int i = 0; i < 2; ++i) // shown in messages and JSON: printable ASCII only
        z.algorithm[i] = rr.zfAlgorithm[i] >= 0x20 && rr.zfAlgorithm[i] < 0x7F ? rr.zfAlgorithm[i] : '?';
    // A compressed file has one extent; pieces of one would each need a header of their own.
    z.readable = rr.zfVersion == 1 && rr.zfAlgorithm[0] == 'p' && rr.zfAlgorithm[1] == 'z' &&
                 !(e->flags & (ISO_EXTENT_MORE | ISO_EXTENT_CONTINUED));
    d.zisofsFiles[e] = z;
    if (z.readable)
        e->size = z.size;
}

const IsoZisofs* Iso_Zisofs(const Disc& d, const FileEntry* entry) {
    if (!entry || d.zisofsFiles.empty())
        return nullptr;
    const auto it = d.zisofsFiles.find(entry);
    return it == d.zisofsFiles.end() ? nullptr : &it->second;
}

uint32_t Iso_ExtentSize(const Disc& d, const FileEntry* entry) {
    const IsoZisofs* z = Iso_Zisofs(d, entry);
    return z ? z->extentSize : entry ? entry->size : 0;
}

std::string Iso_ZisofsText(const Disc& d, const FileEntry* entry) {
    const IsoZisofs* z = Iso_Zisofs(d, entry);
    if (!z)
        return {};
    if (!z->readable)
        return "compressed by \"" + std::string(z->algorithm) + "\", which is not read here";
    const unsigned kib = z->blockLog2 >= 10 && z->blockLog2 < 32 ? 1u << (z->blockLog2 - 10) : 0;
    return "zisofs: " + std::to_string(z->extentSize) + " bytes stored in blocks of " + std::to_string(kib) +
           " KiB";
}

namespace {

constexpr uint8_t kMagic[8] = {0x37, 0xE4, 0x53, 0x96, 0xC9, 0xDB, 0xD6, 0x07};
constexpr size_t kHeaderBytes = 16;
constexpr uint32_t kWindowBlocks = 32; // blocks of the extent read at a time

// Bytes of one extent of a session, read a window of blocks at a time.
class ExtentBytes {
  public:
    ExtentBytes(uint16_t device, uint32_t lbn, uint32_t size, uint32_t blockLength)
        : m_device(device), m_lbn(lbn), m_size(size), m_blockLength(blockLength) {}

    // Copies bytes [from, from + n) of the extent (the caller keeps them inside it) into `out`.
    int Read(uint64_t from, size_t n, uint8_t* out, IsoZisofsResult& r) {
        const uint64_t bl = m_blockLength;
        while (n > 0) {
            const uint64_t block = from / bl;
            if (block < m_first || block >= m_first + m_count) {
                const uint64_t blocks = (uint64_t(m_size) + bl - 1) / bl;
                const uint64_t want = std::max<uint64_t>((from + n + bl - 1) / bl - block, kWindowBlocks);
                m_count = std::min<uint64_t>(want, blocks - block);
                m_first = block;
                int rc = Load(block);
                // A bad block further on must not cost the blocks this piece needs.
                if (rc != ASPI_OK && m_count > (from + n + bl - 1) / bl - block) {
                    m_count = (from + n + bl - 1) / bl - block;
                    rc = Load(block);
                }
                if (rc != ASPI_OK)
                    return Failed(block, rc, r);
            }
            const uint64_t at = from - m_first * bl;
            const size_t take = static_cast<size_t>(std::min<uint64_t>(n, m_window.size() - at));
            std::memcpy(out, m_window.data() + at, take);
            out += take;
            from += take;
            n -= take;
        }
        return ISO_OK;
    }
    // The block that fails is named: the blocks of the window are read one at a time up to it.
    int Failed(uint64_t block, int rc, IsoZisofsResult& r) {
        const uint64_t count = m_count;
        m_count = 1;
        r.code = rc;
        r.failedLba = static_cast<uint32_t>(m_lbn + block);
        for (uint64_t b = block; b < block + count; ++b)
            if (const int one = Load(b); one != ASPI_OK) {
                r.code = one;
                r.failedLba = static_cast<uint32_t>(m_lbn + b);
                break;
            }
        m_count = 0;
        return r.code;
    }
    int Load(uint64_t block) {
        m_window.assign(m_count * m_blockLength, 0);
        return Aspi_ReadSectors(m_device, static_cast<uint32_t>(m_lbn + block), m_blockLength,
                                static_cast<uint16_t>(m_count), m_window.data());
    }
    uint32_t LbaOf(uint64_t offset) const { return static_cast<uint32_t>(m_lbn + offset / m_blockLength); }

  private:
    uint16_t m_device;
    uint32_t m_lbn, m_size, m_blockLength;
    std::vector<uint8_t> m_window;
    uint64_t m_first = 0, m_count = 0;
};

IsoZisofsResult Fault(uint32_t lba, std::string why) {
    IsoZisofsResult r;
    r.code = ISO_ERR_ZISOFS;
    r.failedLba = lba;
    r.why = std::move(why);
    return r;
}

// One block inflated into exactly `expected` bytes of `out`; the fault in words, or empty.
std::string Inflate(const std::vector<uint8_t>& in, uint8_t* out, uint32_t expected, size_t index) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return "zlib could not be started";
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out;
    z.avail_out = expected;
    const int rc = inflate(&z, Z_FINISH);
    const std::string message = z.msg ? z.msg : "";
    const uInt left = z.avail_out;
    inflateEnd(&z);
    const std::string block = "block " + std::to_string(index);
    if (rc == Z_STREAM_END && left == 0)
        return {};
    if (rc == Z_STREAM_END)
        return block + " inflates to " + std::to_string(expected - left) + " bytes, short of its " +
               std::to_string(expected);
    if (rc == Z_BUF_ERROR && left == 0)
        return block + " inflates past its " + std::to_string(expected) + " bytes";
    if (rc == Z_BUF_ERROR)
        return block + " ends before its " + std::to_string(expected) + " bytes";
    return block + " is not deflated data" + (message.empty() ? "" : " (" + message + ")");
}

// The header checked against the ZF entry; the fault in words, or empty.
std::string CheckHeader(const uint8_t* h, const IsoZisofs& z) {
    if (std::memcmp(h, kMagic, sizeof kMagic) != 0)
        return "no zisofs header (magic number) at the start of its data";
    if (bytes::Le32(h + 8) != z.size || h[12] != z.headerWords || h[13] != z.blockLog2)
        return "its zisofs header disagrees with its ZF entry (size " + std::to_string(bytes::Le32(h + 8)) +
               ", header " + std::to_string(h[12]) + " words, block size 2^" + std::to_string(h[13]) + ")";
    if (z.blockLog2 < 15 || z.blockLog2 > 17)
        return "block size 2^" + std::to_string(z.blockLog2) + " (zisofs has 2^15, 2^16 or 2^17)";
    if (z.headerWords < kHeaderBytes / 4)
        return "a header of " + std::to_string(z.headerWords) + " words (zisofs has 4)";
    return {};
}

} // namespace

IsoZisofsResult Iso_ZisofsUncompress(const Disc& d, const SessionEntry& session, uint16_t device,
                                     const FileEntry& entry,
                                     const std::function<bool(const uint8_t* data, size_t length)>& put) {
    const IsoZisofs* z = Iso_Zisofs(d, &entry);
    if (!z || !z->readable)
        return Fault(entry.lbn, z && (entry.flags & (ISO_EXTENT_MORE | ISO_EXTENT_CONTINUED))
                                    ? "compressed, yet recorded in several extents"
                                    : Iso_ZisofsText(d, &entry));
    const SessionEntry* s = &session;
    IsoZisofsResult r;
    if (s->blockLength == 0 || s->blockLength > 65536) {
        r.code = ISO_ERR_NO_MODEL;
        return r;
    }
    const uint64_t bl = s->blockLength;
    if (z->extentSize > 0 && uint64_t(entry.lbn) + (z->extentSize - 1) / bl > s->lastBlock) {
        r.code = ISO_ERR_EXTENT;
        r.failedLba = static_cast<uint32_t>(std::min<uint64_t>(uint64_t(s->lastBlock) + 1, UINT32_MAX));
        return r;
    }
    ExtentBytes data(device, entry.lbn, z->extentSize, s->blockLength);
    uint8_t header[kHeaderBytes];
    if (z->extentSize < kHeaderBytes)
        return Fault(entry.lbn,
                     "its extent of " + std::to_string(z->extentSize) + " bytes holds no zisofs header");
    if (data.Read(0, kHeaderBytes, header, r) != ISO_OK)
        return r;
    if (std::string why = CheckHeader(header, *z); !why.empty())
        return Fault(entry.lbn, why);
    const uint32_t blockSize = 1u << z->blockLog2;
    const uint64_t blocks = (uint64_t(z->size) + blockSize - 1) / blockSize;
    const uint64_t table = uint64_t(z->headerWords) * 4, dataStart = table + (blocks + 1) * 4;
    if (dataStart > z->extentSize)
        return Fault(entry.lbn, "its " + std::to_string(blocks + 1) +
                                    " block pointers run past its extent of " +
                                    std::to_string(z->extentSize) + " bytes");
    std::vector<uint8_t> pointers(static_cast<size_t>((blocks + 1) * 4));
    if (data.Read(table, pointers.size(), pointers.data(), r) != ISO_OK)
        return r;
    const uLong most = compressBound(blockSize);
    std::vector<uint8_t> in, out(blockSize);
    for (size_t i = 0; i < blocks; ++i) {
        const uint32_t from = bytes::Le32(&pointers[4 * i]), to = bytes::Le32(&pointers[4 * i + 4]);
        const uint32_t expected =
            static_cast<uint32_t>(std::min<uint64_t>(blockSize, z->size - i * blockSize));
        if (from < dataStart || to < from || to > z->extentSize)
            return Fault(data.LbaOf(table + 4 * i), "block " + std::to_string(i) + " lies at bytes " +
                                                        std::to_string(from) + " to " + std::to_string(to) +
                                                        ", not between its pointers' end (" +
                                                        std::to_string(dataStart) + ") and its extent's (" +
                                                        std::to_string(z->extentSize) + ")");
        if (to - from > most)
            return Fault(data.LbaOf(from), "block " + std::to_string(i) + " holds " +
                                               std::to_string(to - from) + " bytes, more than " +
                                               std::to_string(blockSize) + " bytes ever deflate to");
        if (from == to) {
            std::fill_n(out.begin(), expected, uint8_t{0}); // a block of zeros is stored as nothing
        } else {
            in.resize(to - from);
            if (data.Read(from, in.size(), in.data(), r) != ISO_OK)
                return r;
            if (std::string why = Inflate(in, out.data(), expected, i); !why.empty())
                return Fault(data.LbaOf(from), why);
        }
        if (!put(out.data(), expected))
            break;
    }
    return r;
}
