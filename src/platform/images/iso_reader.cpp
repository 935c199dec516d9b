// A plain .iso: one data session of 2048-byte blocks from LBA 0.
#include <sys/stat.h>

#include "platform/images/disc_image.h"

namespace ckvd::images {

namespace {

constexpr uint64_t kMaxCdBlocks = 449850;

} // namespace

LoadResult load_iso(const std::string& path) {
    LoadResult r;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return load_failure(path, 0, "cannot open the image file");
    uint64_t blocks = static_cast<uint64_t>(st.st_size) / 2048;
    if (blocks == 0)
        return load_failure(path, 0, "not a CD image size (" + std::to_string(st.st_size) + " bytes)");
    if (blocks > kMaxCdBlocks) // 99:59:74, the last address a CD can have
        return load_failure(path, 0,
                            "larger than a CD: " + grouped(blocks) +
                                " blocks of 2,048 bytes; a CD holds at most " + grouped(kMaxCdBlocks));
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    Session s;
    s.number = 1;
    Track t;
    t.number = 1;
    t.control = 0x04;
    t.mode = TrackMode::Mode1;
    t.start = 0;
    t.length = static_cast<uint32_t>(blocks);
    t.file = path;
    s.tracks.push_back(t);
    s.leadout = static_cast<lba_t>(blocks);
    disc->sessions.push_back(s);
    disc->closed = true;
    disc->full_toc = make_full_toc(disc->sessions, true);
    r.disc = std::move(disc);
    return r;
}

} // namespace ckvd::images
