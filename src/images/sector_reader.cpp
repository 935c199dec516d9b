// Reads the 2048 user bytes of blocks from the files that hold their tracks: a run of cooked blocks with one
// pread straight into the caller's buffer, raw sectors a bounded chunk at a time.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include "images/disc_image.h"

namespace ckvd::images {

namespace {

constexpr uint32_t kUserBytes = 2048;
constexpr uint32_t kAudioBytes = 2352; // a CD-DA sector: 588 stereo frames of 16-bit samples
constexpr uint32_t kForm2Bytes = 2324; // the user data of a Mode 2 Form 2 sector
// Raw sectors are read through a buffer of at most this many bytes, whatever the request.
constexpr size_t kRawChunkBytes = 64 * 2352;
// A read of at most this many bytes reads a whole chunk, for the reads after it (SectorReader::Impl).
constexpr size_t kSmallReadBytes = 8 * 2352;

// Reads up to `length` bytes at `offset`, going on after short reads; the bytes read (fewer at the end of
// the file or on an error).
size_t read_at(int fd, uint8_t* out, size_t length, uint64_t offset) {
    size_t done = 0;
    while (done < length) {
        if (offset + done > static_cast<uint64_t>(INT64_MAX) - (length - done))
            break; // no file reaches that far
        const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

// A Mode 2 track stored with the subheader before its user data (2336 bytes a sector, or 2352 with sync
// and header): each sector's submode says its form.
bool has_subheader(const Track& t) {
    return t.mode == TrackMode::Mode2 && (t.user_offset == 8 || t.user_offset == 24);
}

} // namespace

struct SectorReader::Impl {
    const DiscImage& disc;
    std::map<std::string, int> fds; // kept open: an analysis reads many blocks
    std::vector<uint8_t> raw;       // raw sectors of the current chunk
    explicit Impl(const DiscImage& d) : disc(d) {}
    ~Impl() {
        for (auto& [name, fd] : fds)
            if (fd >= 0)
                ::close(fd);
    }
    // A small read takes the bytes after it too: an analysis or a catalogue add asks for one file's few
    // blocks after another's, laid out one after another (90,000 files were 90,000 preads).
    int aheadFd = -1;
    uint64_t aheadAt = 0;
    std::vector<uint8_t> ahead;
    size_t read_ahead(int fd, uint8_t* out, size_t length, uint64_t offset) {
        if (fd == aheadFd && offset >= aheadAt && offset - aheadAt + length <= ahead.size()) {
            std::memcpy(out, ahead.data() + (offset - aheadAt), length);
            return length;
        }
        if (length > kSmallReadBytes) // a large read gains nothing, and would be copied twice
            return read_at(fd, out, length, offset);
        ahead.resize(kRawChunkBytes);
        ahead.resize(read_at(fd, ahead.data(), ahead.size(), offset));
        aheadFd = fd;
        aheadAt = offset;
        const size_t n = std::min(length, ahead.size());
        std::memcpy(out, ahead.data(), n);
        return n;
    }
    int fd_for(const std::string& file) {
        auto it = fds.find(file);
        if (it != fds.end())
            return it->second;
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        fds.emplace(file, fd);
        return fd;
    }
    // Blocks [lba, lba + count) of track `t`, all inside it: `bytes` of each from `offset` of its stored
    // sector, back to back in `out`; how many were read, from the first on.
    uint32_t read_in_track(const Track& t, int fd, lba_t lba, uint32_t count, uint8_t* out, uint32_t offset,
                           uint32_t bytes);
    // `count` blocks from `first` on, all of data tracks (2048 user bytes each), all of audio tracks (2352)
    // or all of data tracks stored as whole sectors (their 2352 bytes).
    enum class Want { UserData, Audio, Raw, Form2 };
    uint32_t read_blocks(lba_t first, uint32_t count, std::span<uint8_t> out, Want want);
    // The form the blocks of the read under way must have (0 any, 1 or 2), and whether the stored sector
    // `sector` of `t` has it: by its subheader's submode (Form 2 bit) where the track stores one.
    int form = 0;
    bool form_matches(const Track& t, const uint8_t* sector) const {
        return form == 0 || !has_subheader(t) || ((sector[t.user_offset - 6] & 0x20) ? 2 : 1) == form;
    }
    // Block `lba` of track `t` past the sectors its file holds whole: the file's bytes of it, if any, then
    // zeros. False when the file is short or unreadable.
    bool read_padded(const Track& t, lba_t lba, uint8_t* out, uint32_t offset, uint32_t bytes);
    // Block `lba` of a track of pieces: the bytes of the pieces it spans, zeros past the last.
    bool read_pieces(const Track& t, lba_t lba, uint8_t* out, uint32_t offset, uint32_t bytes);
};

namespace {

// 16-bit samples most significant byte first into the CD's order.
void swap_samples(uint8_t* p, size_t n) {
    for (size_t i = 0; i + 1 < n; i += 2)
        std::swap(p[i], p[i + 1]);
}

} // namespace

bool SectorReader::Impl::read_padded(const Track& t, lba_t lba, uint8_t* out, uint32_t offset,
                                     uint32_t bytes) {
    const uint64_t at = static_cast<uint64_t>(lba - t.start) * t.sector_size;
    const uint64_t held = t.file_bytes > at ? std::min<uint64_t>(t.sector_size, t.file_bytes - at) : 0;
    raw.assign(t.sector_size, 0);
    if (held > 0) {
        const int fd = fd_for(t.file);
        if (fd < 0 || read_at(fd, raw.data(), held, t.file_offset + at) != held)
            return false;
    }
    if (!form_matches(t, raw.data()))
        return false;
    std::memcpy(out, raw.data() + offset, bytes);
    return true;
}

bool SectorReader::Impl::read_pieces(const Track& t, lba_t lba, uint8_t* out, uint32_t offset,
                                     uint32_t bytes) {
    const uint64_t at = static_cast<uint64_t>(lba - t.start) * t.sector_size, end = at + t.sector_size;
    raw.assign(t.sector_size, 0);
    // The first piece that ends after the block's first byte; the pieces follow on without gaps.
    auto p = std::upper_bound(t.pieces.begin(), t.pieces.end(), at,
                              [](uint64_t a, const TrackPiece& q) { return a < q.start + q.bytes; });
    for (; p != t.pieces.end() && p->start < end; ++p) {
        if (p->file.empty())
            continue;
        const uint64_t from = std::max(at, p->start), to = std::min(end, p->start + p->bytes);
        uint8_t* into = raw.data() + (from - at);
        const int fd = fd_for(p->file);
        if (fd < 0 || read_at(fd, into, to - from, p->offset + (from - p->start)) != to - from)
            return false;
        if (p->swap)
            swap_samples(into, to - from);
    }
    if (!form_matches(t, raw.data()))
        return false;
    std::memcpy(out, raw.data() + offset, bytes);
    return true;
}

uint32_t SectorReader::Impl::read_in_track(const Track& t, int fd, lba_t lba, uint32_t count, uint8_t* out,
                                           uint32_t offset, uint32_t bytes) {
    const uint64_t first = t.file_offset + static_cast<uint64_t>(lba - t.start) * t.sector_size;
    if (t.sector_size == bytes) // the blocks lie back to back as wanted
        return static_cast<uint32_t>(read_ahead(fd, out, uint64_t{count} * bytes, first) / bytes);

    if (t.sector_size > kRawChunkBytes) { // no chunk holds two such sectors: only the wanted bytes are read
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t at = first + uint64_t{i} * t.sector_size + offset;
            if (read_at(fd, out + uint64_t{i} * bytes, bytes, at) != bytes)
                return i;
        }
        return count;
    }
    const uint32_t perChunk = static_cast<uint32_t>(kRawChunkBytes / t.sector_size);
    uint32_t done = 0;
    while (done < count) {
        const uint32_t n = std::min(perChunk, count - done);
        raw.resize(size_t{n} * t.sector_size);
        const size_t got = read_ahead(fd, raw.data(), raw.size(), first + uint64_t{done} * t.sector_size);
        for (uint32_t i = 0; i < n; ++i) {
            const size_t at = size_t{i} * t.sector_size + offset;
            // A block counts once its user bytes are there, even if the file ends inside its EDC/ECC.
            if (at + bytes > got || !form_matches(t, raw.data() + size_t{i} * t.sector_size))
                return done + i;
            std::memcpy(out + uint64_t{done + i} * bytes, raw.data() + at, bytes);
        }
        done += n;
    }
    return done;
}

SectorReader::SectorReader(const DiscImage& disc) : impl_(std::make_unique<Impl>(disc)) {}
SectorReader::~SectorReader() = default;

bool SectorReader::read_user_data(lba_t lba, std::span<uint8_t, 2048> out) {
    return read_user_data(lba, 1, out) == 1;
}

uint32_t SectorReader::read_user_data(lba_t first, uint32_t count, std::span<uint8_t> out) {
    return impl_->read_blocks(first, count, out, Impl::Want::UserData);
}

uint32_t SectorReader::read_audio(lba_t first, uint32_t count, std::span<uint8_t> out) {
    return impl_->read_blocks(first, count, out, Impl::Want::Audio);
}

uint32_t SectorReader::read_raw(lba_t first, uint32_t count, std::span<uint8_t> out) {
    return impl_->read_blocks(first, count, out, Impl::Want::Raw);
}

uint32_t SectorReader::read_form2(lba_t first, uint32_t count, std::span<uint8_t> out) {
    return impl_->read_blocks(first, count, out, Impl::Want::Form2);
}

bool SectorReader::is_form2(lba_t lba) {
    const Track* t = impl_->disc.track_at(lba);
    if (!t || t->mode != TrackMode::Mode2)
        return false;
    if (t->form2 || !has_subheader(*t))
        return t->form2;
    uint8_t user[kForm2Bytes];
    return read_form2(lba, 1, user) == 1;
}

uint32_t SectorReader::Impl::read_blocks(lba_t first, uint32_t count, std::span<uint8_t> out, Want want) {
    const bool audio = want == Want::Audio;
    const uint32_t bytes = want == Want::UserData ? kUserBytes
                           : want == Want::Form2  ? kForm2Bytes
                                                  : kAudioBytes;
    form = want == Want::UserData ? 1 : want == Want::Form2 ? 2 : 0;
    count = static_cast<uint32_t>(std::min<uint64_t>(count, out.size() / bytes));
    uint32_t done = 0;
    while (done < count) {
        const int64_t lba = int64_t{first} + done;
        if (lba > INT32_MAX)
            break;
        const Track* t = disc.track_at(static_cast<lba_t>(lba));
        if (!t || (t->mode == TrackMode::Audio) != audio)
            break;
        // A data track's whole sectors are there only where the user data follows sync and header.
        if (want == Want::Raw && t->user_offset != 16 && t->user_offset != 24)
            break;
        // Form 2 user data is in Form 2 sectors only: every one of a track stored as such, or those whose
        // subheader says so; 2048 bytes are none of theirs.
        if (want == Want::Form2 ? !t->form2 && !has_subheader(*t) : want == Want::UserData && t->form2)
            break;
        const uint32_t offset = want == Want::UserData || want == Want::Form2 ? t->user_offset : 0;
        if (t->sector_size < uint64_t{offset} + bytes)
            break;
        const int64_t trackEnd = int64_t{t->start} + t->length;
        if (trackEnd <= lba) // a track that does not hold the block it was found for
            break;
        uint8_t* to = out.data() + uint64_t{done} * bytes;
        if (!t->pieces.empty()) { // a block at a time: one may span two files
            if (!read_pieces(*t, static_cast<lba_t>(lba), to, offset, bytes))
                break;
            ++done;
            continue;
        }
        const uint64_t whole = t->file_bytes / t->sector_size; // sectors the file holds whole
        const uint64_t rel = static_cast<uint64_t>(lba - t->start);
        if (rel >= whole) {
            if (!read_padded(*t, static_cast<lba_t>(lba), to, offset, bytes))
                break;
            if (audio && t->swap_samples)
                swap_samples(to, bytes);
            ++done;
            continue;
        }
        const int fd = fd_for(t->file);
        if (fd < 0)
            break;
        const uint32_t n = static_cast<uint32_t>(
            std::min<uint64_t>({uint64_t{count - done}, static_cast<uint64_t>(trackEnd - lba), whole - rel}));
        const uint32_t got = read_in_track(*t, fd, static_cast<lba_t>(lba), n, to, offset, bytes);
        if (audio && t->swap_samples)
            swap_samples(to, size_t{got} * bytes);
        done += got;
        if (got < n)
            break; // short file or read error
    }
    return done;
}

} // namespace ckvd::images
