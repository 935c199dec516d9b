#include "analyzers/disc_entry_source.h"

#include <algorithm>
#include <new>

#include "analyzers/analyzer_heap.h"
#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"

namespace {

// Largest READ(10) sent, in bytes (at least one block), and the least a zisofs file is inflated by.
constexpr uint32_t kPieceBytes = 64 * 1024;

} // namespace

DiscEntryAt DiscEntry_In(const Disc& disc, unsigned index, const FileEntry& entry) {
    return {disc, disc.Session(index), disc.device, entry};
}

DiscEntryAt DiscEntry_Current(const FileEntry& entry) {
    const Disc& disc = Iso_CurrentDisc();
    const SessionEntry* session = Iso_SelectSession() == ISO_OK ? g_DiscModel->currentSessionEntry : nullptr;
    return {disc, session, g_CurrentDevice, entry};
}

DiscEntrySource::~DiscEntrySource() {
    Analyzer_Free(piece_);
}

int DiscEntrySource::Open() {
    const SessionEntry* session = at_.session;
    if (!session || session->blockLength == 0)
        return ISO_ERR_NO_MODEL;
    bl_ = session->blockLength;
    pieceBlocks_ = std::max<uint32_t>(1, kPieceBytes / bl_);
    if ((zisofs_ = Iso_Zisofs(at_.disc, &entry_))) {
        // Iso_ZisofsUncompress checks the extent, its header and every pointer itself.
        size_ = entry_.size;
        return zisofs_->readable ? BYTES_OK : ISO_ERR_ZISOFS;
    }
    for (const FileEntry* e = &entry_; e; e = Iso_NextExtent(e)) {
        if (e->size != 0 && uint64_t(e->lbn) + (uint64_t(e->size) - 1) / bl_ > session->lastBlock)
            return ISO_ERR_EXTENT;
        extents_.push_back({e->lbn, e->size, size_});
        size_ += e->size;
    }
    // A piece never holds more than one extent: a small file's is its few blocks, not a zeroed 64 KiB (a
    // disc of 90,000 small files hashed for the catalogue zeroed 6 GB).
    uint64_t largest = 1;
    for (const Extent& x : extents_)
        largest = std::max<uint64_t>(largest, (uint64_t(x.size) + bl_ - 1) / bl_);
    pieceBlocks_ = uint32_t(std::min<uint64_t>(pieceBlocks_, largest));
    return BYTES_OK;
}

int DiscEntrySource::ReadWithin(uint64_t offset, std::span<uint8_t> out) {
    if (zisofs_)
        return ReadUncompressed(offset, out);
    for (size_t i = 0; i < extents_.size() && !out.empty(); ++i) {
        const Extent& x = extents_[i];
        if (offset >= x.offset + x.size)
            continue;
        const size_t n = size_t(std::min<uint64_t>(out.size(), x.offset + x.size - offset));
        const int rc = ReadExtent(i, offset - x.offset, out.first(n));
        if (rc != BYTES_OK)
            return rc;
        out = out.subspan(n);
        offset += n;
    }
    return BYTES_OK;
}

// A request not wholly among the blocks held is read from its own first block on, so an object that starts
// in a block read before still comes in one command.
int DiscEntrySource::ReadExtent(size_t index, uint64_t offset, std::span<uint8_t> out) {
    const uint64_t first = offset / bl_, last = (offset + out.size() - 1) / bl_;
    bool fetched = false;
    for (uint64_t block = first; block <= last; ++block) {
        const bool held =
            pieceCount_ && pieceExtent_ == index && block >= pieceFirst_ && block < pieceFirst_ + pieceCount_;
        if (!held) {
            const uint64_t from = fetched || block - first >= pieceBlocks_ ? block : first;
            const int rc = Fetch(index, from, uint32_t(std::min<uint64_t>(pieceBlocks_, last - from + 1)));
            if (rc != BYTES_OK)
                return rc;
            fetched = true;
        }
        const uint64_t blockStart = block * bl_;
        const uint64_t from = std::max(offset, blockStart);
        const uint64_t to = std::min(offset + out.size(), blockStart + bl_);
        std::memcpy(out.data() + (from - offset), piece_ + (block - pieceFirst_) * bl_ + (from - blockStart),
                    size_t(to - from));
    }
    return BYTES_OK;
}

int DiscEntrySource::Fetch(size_t index, uint64_t block, uint32_t count) {
    pieceCount_ = 0;
    if (!piece_ && !(piece_ = static_cast<uint8_t*>(Analyzer_Alloc(size_t(pieceBlocks_) * bl_))))
        return BYTES_ERR_NO_MEMORY;
    const int rc =
        Aspi_ReadSectors(at_.device, uint32_t(extents_[index].lbn + block), bl_, uint16_t(count), piece_);
    if (rc != ASPI_OK)
        return rc;
    pieceExtent_ = index;
    pieceFirst_ = block;
    pieceCount_ = count;
    return BYTES_OK;
}

// Inflated from the file's start up to the end of the request each time it is not held (the format allows
// no other way in through Iso_ZisofsUncompress), at least kPieceBytes kept so neighbouring reads are free.
int DiscEntrySource::ReadUncompressed(uint64_t offset, std::span<uint8_t> out) {
    if (offset < unpackedAt_ || offset + out.size() > unpackedAt_ + unpacked_.size()) {
        const uint64_t length =
            std::min<uint64_t>(std::max<uint64_t>(out.size(), kPieceBytes), size_ - offset);
        try {
            unpacked_.assign(size_t(length), 0);
        } catch (const std::bad_alloc&) {
            unpacked_.clear();
            return BYTES_ERR_NO_MEMORY;
        }
        unpackedAt_ = offset;
        uint64_t at = 0;
        const IsoZisofsResult r = Iso_ZisofsUncompress(
            at_.disc, *at_.session, at_.device, entry_, [&](const uint8_t* data, size_t n) {
                const uint64_t from = std::max(at, offset), to = std::min(at + n, offset + length);
                if (from < to)
                    std::memcpy(unpacked_.data() + (from - offset), data + (from - at), size_t(to - from));
                at += n;
                return at < offset + length;
            });
        if (r.code != ISO_OK) {
            unpacked_.clear();
            return r.code;
        }
    }
    std::memcpy(out.data(), unpacked_.data() + (offset - unpackedAt_), out.size());
    return BYTES_OK;
}
