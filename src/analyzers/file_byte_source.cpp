#include "analyzers/file_byte_source.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileByteSource::~FileByteSource() {
    if (fd_ >= 0)
        close(fd_);
}

bool FileByteSource::Open(const std::string& path, std::string* why) {
    // Without blocking: a FIFO or device is refused below, never waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    const char* error = nullptr;
    if (fd < 0 || fstat(fd, &st) != 0)
        error = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        error = "not a regular file";
    if (error) {
        if (why)
            *why = error;
        if (fd >= 0)
            close(fd);
        return false;
    }
    fd_ = fd;
    size_ = uint64_t(st.st_size);
    return true;
}

int FileByteSource::ReadWithin(uint64_t offset, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) // a file cut while it was read ends in zeros, as past its size
            return n < 0 ? BYTES_ERR_READ : BYTES_OK;
        done += size_t(n);
    }
    return BYTES_OK;
}
