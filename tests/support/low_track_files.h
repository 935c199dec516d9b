// Discs of small sector files for the image drive's tests and fuzz target.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "images/disc_image.h"

namespace lowdisc {

using ckvd::images::lba_t;

// Byte `i` of the user data of block `lba`: the block number first, then a pattern that moves with it.
inline std::string UserData(lba_t lba) {
    std::string b(2048, 0);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = char(i < 4 ? uint32_t(lba) >> (8 * (3 - i)) : lba * 7 + i);
    return b;
}

// A track of `length` stored sectors of `sector` bytes (user data at `offset`) in `file`, cut to `stored`
// bytes. Audio sectors (control without bit 2) hold 0x11.
inline ckvd::images::Track Track(const std::string& file, uint8_t number, lba_t start, uint32_t length,
                                 uint32_t sector = 2048, uint32_t offset = 0, uint8_t control = 0x04,
                                 size_t stored = SIZE_MAX) {
    const bool data = control & 0x04;
    ckvd::images::Track t;
    t.number = number;
    t.control = control;
    t.mode = data ? ckvd::images::TrackMode::Mode1 : ckvd::images::TrackMode::Audio;
    t.start = start;
    t.length = length;
    t.file = file;
    t.sector_size = sector;
    t.user_offset = offset;
    std::string bytes(size_t{length} * sector, data ? 0x55 : 0x11);
    for (uint32_t n = 0; n < length && data; ++n)
        bytes.replace(size_t{n} * sector + offset, 2048, UserData(start + lba_t(n)));
    bytes.resize(std::min(bytes.size(), stored));
    std::ofstream(t.file, std::ios::binary | std::ios::trunc) << bytes;
    return t;
}

inline std::unique_ptr<ckvd::images::DiscImage> Disc(std::vector<ckvd::images::Session> sessions,
                                                     bool closed = true) {
    auto d = std::make_unique<ckvd::images::DiscImage>();
    d->sessions = std::move(sessions);
    d->closed = closed;
    d->full_toc = ckvd::images::make_full_toc(d->sessions, closed);
    return d;
}
// One closed session of `tracks`.
inline std::unique_ptr<ckvd::images::DiscImage> Disc(std::vector<ckvd::images::Track> tracks, lba_t leadout) {
    return Disc({{1, 0, std::move(tracks), leadout}});
}

} // namespace lowdisc
