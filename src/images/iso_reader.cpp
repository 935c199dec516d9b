// A plain .iso: one data session of 2048-byte blocks from LBA 0 (of any size: a DVD image too), or the
// sessions an ISO 9660 image grown in a file holds. A program that appends sessions to a file (as to
// overwritable media, which keep no TOC) writes the first session at block 32, each later one at the next
// multiple of 32 blocks after the one before, and copies the newest session's volume descriptors to blocks 16
// on, so that a reader of the plain file sees the newest tree. Each session's own primary descriptor, at its
// start + 16, records the session's size in its volume space size; the copy at 16 records the end of the
// whole. The chain of sessions is read the same way, and taken when it ends where the copy says and the
// copy's root is the newest session's.
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <tuple>

#include "images/disc_image.h"
#include "platform/bytes/byte_order.h"

namespace ckvd::images {

namespace {

constexpr uint64_t kGrownAlignment = 32; // blocks: the first session's start and every later one's multiple

// What the chain of grown sessions needs of a primary volume descriptor.
struct PrimaryDescriptor {
    uint32_t volume_blocks = 0;        // volume space size, little-endian half at 80 (ECMA-119 8.4.8)
    std::array<uint8_t, 34> root = {}; // the root directory record at 156 (ECMA-119 8.4.18)
};

std::optional<PrimaryDescriptor> primary_at(std::ifstream& in, uint64_t block) {
    std::array<uint8_t, 2048> b{};
    if (!in.seekg(std::streamoff(block * 2048)) || !in.read(reinterpret_cast<char*>(b.data()), b.size()))
        return std::nullopt;
    if (b[0] != 1 || std::memcmp(&b[1], "CD001", 5) != 0 || b[6] != 1)
        return std::nullopt;
    PrimaryDescriptor d;
    d.volume_blocks = bytes::Le32(&b[80]);
    std::memcpy(d.root.data(), &b[156], d.root.size());
    return d;
}

struct GrownSession {
    uint64_t start = 0, blocks = 0;
};

// The sessions of an image grown in a file; fewer than two when it is not one.
std::vector<GrownSession> grown_sessions(const std::string& path, uint64_t fileBlocks) {
    std::ifstream in(path, std::ios::binary);
    const auto head = primary_at(in, 16);
    if (!head || head->volume_blocks > fileBlocks)
        return {};
    const uint64_t end = head->volume_blocks;
    std::vector<GrownSession> sessions;
    std::optional<PrimaryDescriptor> newest;
    // Each step moves at least 32 blocks on, so the walk ends within the recorded area.
    for (uint64_t start = kGrownAlignment; start + 17 <= end && sessions.size() < 99;) {
        newest = primary_at(in, start + 16);
        if (!newest || newest->volume_blocks < 17 || start + newest->volume_blocks > end)
            return {};
        sessions.push_back({start, newest->volume_blocks});
        const uint64_t next = start + newest->volume_blocks;
        if (next == end)
            break;
        start = (next + kGrownAlignment - 1) / kGrownAlignment * kGrownAlignment;
    }
    if (sessions.size() < 2 || sessions.back().start + sessions.back().blocks != end ||
        newest->root != head->root)
        return {};
    return sessions;
}

} // namespace

LoadResult load_iso(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return load_failure(path, 0, "cannot open the image file");
    uint64_t blocks = static_cast<uint64_t>(st.st_size) / 2048;
    if (blocks == 0)
        return load_failure(path, 0, "not a CD image size (" + std::to_string(st.st_size) + " bytes)");
    // A plain image of any size is one medium (a DVD's or a BD's as well as a CD's): only what a block
    // address can count (2^31 blocks, 4 TiB) is refused. Nothing here is sized by the blocks.
    if (blocks > uint64_t(INT32_MAX))
        return load_failure(path, 0,
                            "larger than any disc: " + grouped(blocks) + " blocks of 2,048 bytes; at most " +
                                grouped(uint64_t(INT32_MAX)) + " can be addressed");
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    std::vector<GrownSession> grown = grown_sessions(path, blocks);
    if (grown.empty())
        grown.push_back({0, blocks});
    for (const GrownSession& g : grown) {
        Session s;
        s.number = static_cast<uint8_t>(disc->sessions.size() + 1);
        Track t;
        t.number = s.number;
        t.control = 0x04;
        t.mode = TrackMode::Mode1;
        t.start = static_cast<lba_t>(g.start);
        t.length = static_cast<uint32_t>(g.blocks);
        t.file = path;
        t.file_offset = g.start * 2048;
        s.tracks.push_back(t);
        s.leadout = static_cast<lba_t>(g.start + g.blocks);
        disc->sessions.push_back(s);
    }
    LoadResult r = closed_disc(std::move(disc));
    // No lead-out or lead-in lies between grown sessions: each B0 names where the next one really begins.
    for (FullTocEntry& e : r.disc->full_toc)
        if (e.point == 0xB0 && e.session < r.disc->sessions.size()) {
            const Msf next = lba_to_msf(r.disc->sessions[e.session].tracks.front().start);
            std::tie(e.min, e.sec, e.frame) = std::tuple(next.m, next.s, next.f);
        }
    return r;
}

} // namespace ckvd::images
