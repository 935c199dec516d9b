// A raw image without a sheet: 2352-byte sectors as a drive reads them whole (dd of a READ CD, an .mdf
// without its .mds, a .bin whose .cue was lost). The sectors say what they are: each begins with the
// 12-byte sync pattern and a 4-byte header whose last byte is the mode (ECMA-130 14.1, 14.3); a Mode 2
// sector's subheader says Form 1 or 2 (bit 5 of its submode). Such an image is one data track, starting at
// the address its first sector's header records, so a track dumped from a later session keeps the absolute
// addresses its directories point at.
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <fstream>
#include <optional>

#include "images/disc_image.h"

namespace ckvd::images {

namespace {

constexpr uint32_t kRawSector = 2352;
constexpr std::array<uint8_t, 12> kSync = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

struct RawHeader {
    TrackMode mode = TrackMode::Mode1;
    lba_t lba = 0; // from the header's BCD minute, second and frame; -1 when they are not BCD
};

int from_bcd(uint8_t b) {
    const int hi = b >> 4, lo = b & 0x0F;
    return hi > 9 || lo > 9 ? -1 : hi * 10 + lo;
}

// The header of one stored sector, when it is a synced Mode 1 or Mode 2 Form 1 data sector.
std::optional<RawHeader> data_header(std::span<const uint8_t, kRawSector> s) {
    if (std::memcmp(s.data(), kSync.data(), kSync.size()) != 0)
        return std::nullopt;
    RawHeader h;
    if (s[15] == 1)
        h.mode = TrackMode::Mode1;
    else if (s[15] == 2 && (s[18] & 0x20) == 0) // Form 1: 2048 user bytes after the 8-byte subheader
        h.mode = TrackMode::Mode2;
    else
        return std::nullopt;
    const int m = from_bcd(s[12]), sec = from_bcd(s[13]), f = from_bcd(s[14]);
    h.lba = m < 0 || sec < 0 || sec > 59 || f < 0 || f > 74
                ? -1
                : msf_to_lba(uint8_t(m), uint8_t(sec), uint8_t(f));
    return h;
}

// The first sector's header when `path` holds raw data sectors: the first sector and, in a file long
// enough, sector 16 (where a volume descriptor lies) synced alike, of the same mode, 16 addresses apart.
std::optional<RawHeader> raw_layout(const std::string& path, uint64_t size) {
    if (size < kRawSector) // a cut last sector is left out: the image may be an incomplete dump
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::array<uint8_t, kRawSector> sector{};
    auto header_at = [&](uint64_t index) -> std::optional<RawHeader> {
        if (!in.seekg(std::streamoff(index * kRawSector)) ||
            !in.read(reinterpret_cast<char*>(sector.data()), kRawSector))
            return std::nullopt;
        return data_header(sector);
    };
    const auto first = header_at(0);
    if (!first || size / kRawSector <= 16)
        return first;
    const auto later = header_at(16);
    if (!later || later->mode != first->mode)
        return std::nullopt;
    RawHeader h = *first;
    if (first->lba < 0 || later->lba != first->lba + 16)
        h.lba = 0; // addresses not as a drive writes them: the track is placed at the disc's start
    return h;
}

} // namespace

bool is_raw_image(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           raw_layout(path, static_cast<uint64_t>(st.st_size)).has_value();
}

LoadResult load_raw(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return load_failure(path, 0, "cannot open the image file");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    const auto header = raw_layout(path, size);
    if (!header)
        return load_failure(
            path, 0, "not a raw image of 2,352-byte Mode 1 or Mode 2 Form 1 sectors (no sync and header)");
    const uint64_t blocks = size / kRawSector;
    if (uint64_t(header->lba) + blocks > kMaxCdBlocks)
        return load_failure(path, 0,
                            "larger than a CD: " + grouped(blocks) + " sectors from block " +
                                grouped(uint64_t(header->lba)) + "; a CD holds at most " +
                                grouped(kMaxCdBlocks));
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    Session s;
    s.number = 1;
    s.disc_type = header->mode == TrackMode::Mode2 ? 0x20 : 0x00;
    Track t;
    t.number = 1;
    t.control = 0x04;
    t.mode = header->mode;
    t.start = header->lba;
    t.length = static_cast<uint32_t>(blocks);
    t.file = path;
    t.sector_size = kRawSector;
    t.user_offset = header->mode == TrackMode::Mode2 ? 24 : 16;
    s.tracks.push_back(t);
    s.leadout = t.start + static_cast<lba_t>(blocks);
    disc->sessions.push_back(s);
    return closed_disc(std::move(disc));
}

} // namespace ckvd::images
