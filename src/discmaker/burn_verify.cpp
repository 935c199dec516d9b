#include "discmaker/burn_verify.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kBlock = 2048;
constexpr uint16_t kRun = 32; // blocks a read

} // namespace

bool Burn_Compare(const std::string& image, uint32_t start, const BurnReader& read,
                  std::vector<BurnRange>& bad, uint32_t& blocks, std::string& error,
                  const std::function<bool(uint32_t done, uint32_t total)>& progress) {
    bad.clear();
    const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = image + ": " + std::strerror(errno);
        return false;
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    // No disc address past 2^32 blocks: an image that would reach there is compared as far as they go.
    blocks =
        size > 0 ? uint32_t(std::min<uint64_t>(uint64_t(size) / kBlock, UINT32_MAX - uint64_t(start))) : 0;
    std::vector<uint8_t> disc(size_t(kRun) * kBlock), mine(disc.size());
    auto mark = [&bad](uint32_t block, const char* state) {
        if (!bad.empty() && bad.back().state == state && bad.back().last + 1 == block)
            bad.back().last = block;
        else
            bad.push_back({block, block, state});
    };
    bool ok = true;
    for (uint32_t at = 0; at < blocks && ok;) {
        const auto n = uint16_t(std::min<uint32_t>(kRun, blocks - at));
        const bool readable = read(start + at, n, disc.data());
        const ssize_t got = pread(fd, mine.data(), size_t(n) * kBlock, off_t(uint64_t(at) * kBlock));
        if (got != ssize_t(size_t(n) * kBlock)) {
            error =
                image + ": " + (got < 0 ? std::strerror(errno) : "the image changed while it was compared");
            ok = false;
            break;
        }
        for (uint32_t i = 0; i < n; ++i) {
            // A run that cannot be read is read again a block at a time, so only its bad blocks are named.
            uint8_t* block = disc.data() + size_t(i) * kBlock;
            if (!readable && !read(start + at + i, 1, block))
                mark(start + at + i, "unreadable");
            else if (std::memcmp(block, mine.data() + size_t(i) * kBlock, kBlock))
                mark(start + at + i, "differ from the image");
        }
        at += n;
        if (progress && !progress(at, blocks)) {
            error = "stopped";
            ok = false;
        }
    }
    close(fd);
    return ok;
}
