// A block: a zero and the records' format (none in the first format), the size of its records as a varint,
// then the records compressed by LZ4 (its block format), which unpacks ten times as fast as deflate: a search
// of a common word reads most blocks. A record: session, type, LBN, size, the path as the length it shares
// with the one before and the rest, the date, title, artist, album and codec texts, bit rate, sampling rate
// and length, and in the second format the content hash (a text, empty without one). Numbers are varints,
// texts a varint length and bytes.
#include "catalogue/catalogue_block.h"

#include <lz4.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <system_error>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_text.h"

namespace {

// The records' format: the second adds each file's content hash.
constexpr uint64_t kFormat = 2;
// No block of kCatBlockEntries records comes near this; a larger stated size is a damaged block.
constexpr uint64_t kMaxBlockBytes = 64u << 20;
// A text longer than this (a tag of junk) is kept cut at a character's start, so that every block stays
// below kMaxBlockBytes: 256 records of six texts.
constexpr size_t kMaxText = 32u << 10;

void PutNumber(uint64_t v, std::string& out) {
    for (; v >= 0x80; v >>= 7)
        out += char(0x80 | (v & 0x7F));
    out += char(v);
}

void PutText(std::string_view t, std::string& out) {
    if (t.size() > kMaxText) {
        size_t cut = kMaxText;
        while (cut > 0 && (static_cast<unsigned char>(t[cut]) & 0xC0) == 0x80)
            --cut;
        t = t.substr(0, cut);
    }
    PutNumber(t.size(), out);
    out += t;
}

// Reads a block's records; every length is checked against what is left.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool Number(uint64_t& v) {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_at >= m_bytes.size())
                return false;
            const auto b = static_cast<unsigned char>(m_bytes[m_at++]);
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
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
        PutNumber(uint64_t(e.session), records);
        records += e.type;
        PutNumber(e.lbn, records);
        PutNumber(e.size, records);
        size_t shared = 0;
        while (shared < previous.size() && shared < e.path.size() && previous[shared] == e.path[shared])
            ++shared;
        PutNumber(shared, records);
        PutText(std::string_view(e.path).substr(shared), records);
        previous = e.path;
        for (const std::string* t : {&e.date, &e.title, &e.artist, &e.album, &e.codec})
            PutText(*t, records);
        PutNumber(e.bitrate, records);
        PutNumber(e.sampling, records);
        PutNumber(e.seconds, records);
        PutText(e.hash, records);
    }
    // A block of the second format starts with a zero and its format (a first one starts with its records'
    // size, which is never zero).
    std::string block(1, '\0');
    PutNumber(kFormat, block);
    PutNumber(records.size(), block);
    const size_t head = block.size();
    block.resize(head + size_t(LZ4_compressBound(int(records.size()))));
    const int packed = LZ4_compress_default(records.data(), block.data() + head, int(records.size()),
                                            int(block.size() - head));
    block.resize(head + size_t(std::max(packed, 0)));
    return block;
}

bool Cat_DecodeBlock(std::string_view bytes, size_t count, std::vector<CatalogueEntry>& entries) {
    Reader head(bytes);
    uint64_t size, format = 1;
    if (!head.Number(size) ||
        (size == 0 && (!head.Number(format) || format != kFormat || !head.Number(size))) ||
        size > kMaxBlockBytes)
        return false;
    const std::string_view packed = bytes.substr(head.At());
    // No block holds more than kCatBlockEntries, a record takes at least a byte for each of its 14 fields,
    // and LZ4 makes at most 255 bytes of one: nothing is unpacked past what the row can hold.
    if (count > kCatBlockEntries || count * 14 > size || size > packed.size() * 255 ||
        packed.size() > size_t(LZ4_compressBound(int(size))))
        return false;
    thread_local std::string records;
    records.resize(size);
    if (LZ4_decompress_safe(packed.data(), records.data(), int(packed.size()), int(size)) != int(size))
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

CatalogueBlock Cat_MakeBlock(std::span<const CatalogueEntry> entries) {
    CatalogueBlock b{Cat_EncodeBlock(entries), entries.size(), {}, {}};
    b.masks.reserve(entries.size() * sizeof(CatalogueMask));
    b.text = Cat_IndexText(entries, &b.masks);
    return b;
}

std::vector<CatalogueBlock> Cat_MakeBlocks(std::span<const CatalogueEntry> entries) {
    std::vector<CatalogueBlock> blocks;
    for (size_t at = 0; at < entries.size(); at += kCatBlockEntries)
        blocks.push_back(Cat_MakeBlock(entries.subspan(at, std::min(kCatBlockEntries, entries.size() - at))));
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
