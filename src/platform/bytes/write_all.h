// Writing a whole buffer to a file descriptor: a write may take fewer bytes than asked or be cut short by a
// signal, and the rest is written again until all is.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace bytes {

// Writes `size` bytes of `data` to `fd`, at `offset` where it is 0 or more (pwrite), else at the file's
// position. 0 once all are written, else the failure's errno (ENOSPC for a write that took nothing).
inline int WriteAll(int fd, const void* data, size_t size, int64_t offset = -1) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t n = offset < 0 ? ::write(fd, p + done, size - done)
                                     : ::pwrite(fd, p + done, size - done, off_t(offset + int64_t(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += size_t(n);
    }
    return 0;
}

} // namespace bytes
