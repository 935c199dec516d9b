// Reads the 2048 user bytes of a block from the file that holds its track.
#include <fcntl.h>
#include <unistd.h>

#include <map>

#include "platform/images/disc_image.h"

namespace ckvd::images {

struct SectorReader::Impl {
    const DiscImage& disc;
    std::map<std::string, int> fds; // kept open: an analysis reads many blocks
    explicit Impl(const DiscImage& d) : disc(d) {}
    ~Impl() {
        for (auto& [name, fd] : fds)
            if (fd >= 0)
                ::close(fd);
    }
    int fd_for(const std::string& file) {
        auto it = fds.find(file);
        if (it != fds.end())
            return it->second;
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        fds.emplace(file, fd);
        return fd;
    }
};

SectorReader::SectorReader(const DiscImage& disc) : impl_(std::make_unique<Impl>(disc)) {}
SectorReader::~SectorReader() = default;

bool SectorReader::read_user_data(lba_t lba, std::span<uint8_t, 2048> out) {
    const Track* t = impl_->disc.track_at(lba);
    if (!t || t->mode == TrackMode::Audio || t->sector_size < t->user_offset + 2048)
        return false;
    int fd = impl_->fd_for(t->file);
    if (fd < 0)
        return false;
    uint64_t off = t->file_offset + static_cast<uint64_t>(lba - t->start) * t->sector_size + t->user_offset;
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(off + done));
        if (n <= 0)
            return false; // short file or read error
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace ckvd::images
