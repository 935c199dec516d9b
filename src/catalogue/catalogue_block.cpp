// A block: a zero and the records' format (none in the first format), the size of its records as a varint,
// then the records compressed: by LZ4 (its block format) in the first two formats, by zstd in the third,
// which packs names and tags a third smaller and still unpacks at over a gigabyte a second (a search of a
// common word reads most blocks). A record: session, type, LBN, size, the path as the length it shares with
// the one before and the rest, the date, title, artist, album and codec texts, bit rate, sampling rate and
// length, and from the second format on the content hash (a text, empty without one). Numbers are varints,
// texts a varint length and bytes.
#include "catalogue/catalogue_block.h"

#include <lz4.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <system_error>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_text.h"
#include "platform/bytes/varint.h"

namespace {

// The records' format: the second adds each file's content hash; the third compresses them by zstd.
constexpr uint64_t kFormat = 3;
// zstd's level: a third smaller than LZ4 on names and tags, unpacked at over a gigabyte a second.
constexpr int kZstdLevel = 2;
// No block of kCatBlockEntries records comes near this; a larger stated size is a damaged block.
constexpr uint64_t kMaxBlockBytes = 128u << 20;
// A text longer than this (a tag of junk) is kept cut at a character's start, so that every block stays
// below kMaxBlockBytes: kCatBlockEntries records of six texts.
constexpr size_t kMaxText = 32u << 10;

void PutText(std::string_view t, std::string& out) {
    if (t.size() > kMaxText) {
        size_t cut = kMaxText;
        while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80)
            --cut;
        t = t.substr(0, cut);
    }
    bytes::PutVarint(t.size(), out);
    out += t;
}

// Reads a block's records; every length is checked against what is left.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool Number(uint64_t& v) { return bytes::GetVarint(m_bytes, m_at, v); }
    template <class T> bool Small(T& v) {
        uint64_t n;
        if (!Number(n) || n > uint64_t(std::numeric_limits<T>::max()))
            return false;
        v = T(n);
        return true;
    }
    // Assigned to `t`, or appended with `append`; no text is longer than the encoder writes.
    bool Text(std::string& t, bool append = false) {
        uint64_t n;
        if (!Number(n) || n > m_bytes.size() - m_at || n > kMaxText)
            return false;
        if (!append)
            t.clear();
        t.append(m_bytes.substr(m_at, n));
        m_at += n;
        return true;
    }
    bool Byte(char& c) {
        if (m_at >= m_bytes.size())
            return false;
        c = m_bytes[m_at++];
        return true;
    }
    bool Done() const { return m_at == m_bytes.size(); }
    size_t At() const { return m_at; }

  private:
    std::string_view m_bytes;
    size_t m_at = 0;
};

} // namespace

std::string Cat_EncodeBlock(std::span<const CatalogueEntry> entries) {
    std::string records;
    std::string_view previous;
    for (const CatalogueEntry& e : entries) {
        bytes::PutVarint(uint64_t(e.session), records);
        records += e.type;
        bytes::PutVarint(e.lbn, records);
        bytes::PutVarint(e.size, records);
        size_t shared = 0;
        while (shared < previous.size() && shared < e.path.size() && previous[shared] == e.path[shared])
            ++shared;
        bytes::PutVarint(shared, records);
        PutText(std::string_view(e.path).substr(shared), records);
        previous = e.path;
        for (const std::string* t : {&e.date, &e.title, &e.artist, &e.album, &e.codec})
            PutText(*t, records);
        bytes::PutVarint(e.bitrate, records);
        bytes::PutVarint(e.sampling, records);
        bytes::PutVarint(e.seconds, records);
        PutText(e.hash, records);
    }
    // A block of a later format starts with a zero and its format (a first one starts with its records'
    // size, which is never zero).
    std::string block(1, '\0');
    bytes::PutVarint(kFormat, block);
    bytes::PutVarint(records.size(), block);
    const size_t head = block.size();
    block.resize(head + ZSTD_compressBound(records.size()));
    thread_local const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> cctx(ZSTD_createCCtx(),
                                                                               ZSTD_freeCCtx);
    const size_t packed = ZSTD_compressCCtx(cctx.get(), block.data() + head, block.size() - head,
                                            records.data(), records.size(), kZstdLevel);
    block.resize(head + (ZSTD_isError(packed) ? 0 : packed));
    return block;
}

namespace {

// A block's records unpacked into `records`; false for bytes that do not unpack to `size`.
bool Unpack(uint64_t format, std::string_view packed, size_t size, std::string& records) {
    records.resize(size);
    if (format == 3) {
        thread_local const std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> dctx(ZSTD_createDCtx(),
                                                                                   ZSTD_freeDCtx);
        const unsigned long long stated = ZSTD_getFrameContentSize(packed.data(), packed.size());
        return stated == size &&
               ZSTD_decompressDCtx(dctx.get(), records.data(), size, packed.data(), packed.size()) == size;
    }
    // LZ4 makes at most 255 bytes of one: nothing is unpacked past what the row can hold.
    return size <= packed.size() * 255 && packed.size() <= size_t(LZ4_compressBound(int(size))) &&
           LZ4_decompress_safe(packed.data(), records.data(), int(packed.size()), int(size)) == int(size);
}

} // namespace

bool Cat_DecodeBlock(std::string_view bytes, size_t count, std::vector<CatalogueEntry>& entries) {
    Reader head(bytes);
    uint64_t size, format = 1;
    if (!head.Number(size) ||
        (size == 0 && (!head.Number(format) || format < 2 || format > kFormat || !head.Number(size))) ||
        size > kMaxBlockBytes)
        return false;
    // No block holds more than kCatBlockEntries, and a record takes at least a byte for each of its 14
    // fields.
    thread_local std::string records;
    if (count > kCatBlockEntries || count * 14 > size ||
        !Unpack(format, bytes.substr(head.At()), size_t(size), records))
        return false;
    Reader r(records);
    entries.resize(count);
    for (size_t i = 0; i < count; ++i) {
        // Each entry's texts are assigned over, so a reused vector's memory serves again.
        CatalogueEntry& e = entries[i];
        uint64_t shared;
        if (!r.Small(e.session) || !r.Byte(e.type) || !r.Small(e.lbn) || !r.Small(e.size) ||
            !r.Number(shared) || shared > (i ? entries[i - 1].path.size() : 0))
            return false;
        if (i)
            e.path.assign(entries[i - 1].path, 0, shared);
        else
            e.path.clear();
        if (!r.Text(e.path, true) || !r.Text(e.date) || !r.Text(e.title) || !r.Text(e.artist) ||
            !r.Text(e.album) || !r.Text(e.codec) || !r.Small(e.bitrate) || !r.Small(e.sampling) ||
            !r.Small(e.seconds))
            return false;
        if (format == 1)
            e.hash.clear();
        else if (!r.Text(e.hash))
            return false;
    }
    return r.Done();
}

std::vector<std::vector<uint64_t>> Cat_GroupGrams(std::span<const CatalogueEntry> entries,
                                                  std::string* masks) {
    std::vector<std::vector<uint64_t>> grams;
    std::vector<uint64_t> each;
    const size_t size = Cat_GroupSize(entries.size());
    for (size_t at = 0; at < entries.size(); at += size)
        grams.push_back(Cat_IndexGrams(entries.subspan(at, std::min(size, entries.size() - at)),
                                       masks ? &each : nullptr));
    if (masks)
        for (uint64_t m : each)
            for (int i = 0; i < 8; ++i)
                *masks += char(m >> (8 * i));
    return grams;
}

bool Cat_MaskHolds(std::string_view masks, size_t entry, uint64_t wanted) {
    if (masks.size() / 8 <= entry)
        return true;
    uint64_t m = 0;
    for (int i = 7; i >= 0; --i)
        m = m << 8 | static_cast<unsigned char>(masks[entry * 8 + size_t(i)]);
    return (m & wanted) == wanted;
}

std::vector<CatalogueBlock> Cat_MakeBlocks(std::span<const CatalogueEntry> entries) {
    std::vector<CatalogueBlock> blocks;
    // The entries that fill a row, from the block before (of this disc or the one before it): one
    // compression a block, mostly.
    thread_local size_t guess = kCatBlockEntries;
    for (size_t at = 0; at < entries.size();) {
        size_t n = std::min(guess, entries.size() - at);
        std::string bytes = Cat_EncodeBlock(entries.subspan(at, n));
        // Fewer entries while the row would overflow its page, in proportion, a little under; a few tries
        // (a block of one long tag after another may stay large).
        for (int tries = 0; tries < 4 && n > kCatGroupEntries && bytes.size() + 8 * n > kCatBlockBytes;
             ++tries) {
            n = std::max(kCatGroupEntries, n * kCatBlockBytes / (bytes.size() + 8 * n) * 15 / 16);
            bytes = Cat_EncodeBlock(entries.subspan(at, n));
        }
        const size_t full = bytes.size() + 8 * n;
        if (at + n < entries.size())
            guess = std::clamp(n * kCatBlockBytes / std::max<size_t>(full, 1) * 31 / 32, kCatGroupEntries,
                               kCatBlockEntries);
        CatalogueBlock block{std::move(bytes), n, {}, {}};
        block.grams = Cat_GroupGrams(entries.subspan(at, n), &block.masks);
        blocks.push_back(std::move(block));
        at += n;
    }
    return blocks;
}

CatalogueBlockMaker::CatalogueBlockMaker() {
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // no second thread: Put makes each block itself
    }
}

CatalogueBlockMaker::~CatalogueBlockMaker() {
    {
        std::lock_guard hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CatalogueBlockMaker::Run() {
    std::unique_lock hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [this] { return m_in || m_stop; });
        if (!m_in)
            return;
        const std::span<const CatalogueEntry> entries = *m_in;
        m_in.reset();
        hold.unlock();
        std::vector<CatalogueBlock> made = Cat_MakeBlocks(entries);
        hold.lock();
        m_out = std::move(made);
        m_changed.notify_all();
    }
}

void CatalogueBlockMaker::Put(std::span<const CatalogueEntry> entries) {
    m_busy = true;
    if (!m_thread.joinable()) {
        m_out = Cat_MakeBlocks(entries);
        return;
    }
    {
        std::lock_guard hold(m_lock);
        m_in = entries;
    }
    m_changed.notify_all();
}

std::vector<CatalogueBlock> CatalogueBlockMaker::Take() {
    std::unique_lock hold(m_lock);
    m_changed.wait(hold, [this] { return m_out.has_value(); });
    std::vector<CatalogueBlock> made = std::move(*m_out);
    m_out.reset();
    m_busy = false;
    return made;
}
