// Track files made from the formatted TOC that the drive itself answers. The READ TOC goes straight to the
// drive, so the device facade's current device is left as it was.
#include "platform/trackfiles/track_files.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bytes/byte_order.h"
#include "platform/cd/cd_time.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc.h"
#include "platform/drives/mmc_commands.h"

namespace {

using ckvd::drives::Drive;

struct OpenFile {
    std::array<uint8_t, TRK_FILE_SIZE> bytes{};
    size_t position = 0;
};

// The open track files, one table for the process: every use holds FilesLock, since two Discs may be
// analysed on two threads at once.
std::map<int, OpenFile>& Files() {
    static std::map<int, OpenFile> files;
    return files;
}
std::mutex& FilesLock() {
    static std::mutex lock;
    return lock;
}

// The drive whose device path, with a trailing "/", begins `path`; the rest of the path is returned.
Drive* FindByRootPath(const std::string& path, std::string* rest) {
    for (const auto& group : ckvd::drives::DriveGroups()) {
        if (!group)
            continue;
        for (unsigned slot = 0; slot < group->slot_count(); ++slot) {
            Drive* t = group->drive(static_cast<uint8_t>(slot));
            if (!t)
                continue;
            std::string root = t->device_path() + "/";
            if (path.size() > root.size() && path.compare(0, root.size(), root) == 0) {
                *rest = path.substr(root.size());
                return t;
            }
        }
    }
    return nullptr;
}

// "TrackNN.cda" in any case, NN two digits (00: audio before track 1); -1 when the name is not a track
// file's.
int TrackNumberOf(const std::string& name) {
    if (name.size() != 11)
        return -1;
    static const char kPattern[] = "track##.cda";
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (kPattern[i] == '#') {
            if (c < '0' || c > '9')
                return -1;
        } else if (std::tolower(static_cast<unsigned char>(c)) != kPattern[i]) {
            return -1;
        }
    }
    return (name[5] - '0') * 10 + (name[6] - '0');
}

// The formatted TOC with block addresses, cut to the length it announces.
bool ReadFormattedToc(Drive& drive, std::vector<uint8_t>* toc) {
    if (!ckvd::drives::ReadTocAnswer(drive, false, ckvd::mmc::kTocFormatted, 0, *toc).ok())
        return false;
    if (toc->size() >= 2 && size_t{bytes::Be16(toc->data())} + 2 < toc->size())
        toc->resize(size_t{bytes::Be16(toc->data())} + 2);
    return true;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// A time of `frames` as frame, second, minute and a zero byte.
void PutMsf(uint8_t* p, uint32_t frames) {
    using namespace ckvd::cd;
    p[0] = uint8_t(frames % kFramesPerSecond);
    p[1] = uint8_t(frames / kFramesPerSecond % 60);
    p[2] = uint8_t(frames / kFramesPerMinute);
    p[3] = 0;
}

// Builds track `number` from the LBA-form formatted TOC; ENOENT when the disc holds no such audio track.
int BuildTrackFile(const std::vector<uint8_t>& toc, int number, OpenFile* file) {
    struct Entry {
        uint8_t control, track;
        uint32_t start;
    };
    std::vector<Entry> entries;
    for (size_t off = 4; off + 8 <= toc.size(); off += 8) {
        const uint8_t* d = &toc[off];
        entries.push_back({uint8_t(d[1] & 0x0F), d[2], bytes::Be32(d + 4)});
    }
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        const Entry& e = entries[i];
        // Track 0: the audio a disc holds before track 1 starts, from block 0 (a hidden first track).
        const bool hidden = number == 0 && i == 0 && e.track == 1 && e.start > 0 && e.start < 0x80000000u;
        if (e.track != number && !hidden)
            continue;
        if (e.control & 0x04)
            return ENOENT; // data tracks have no track file
        uint32_t start = hidden ? 0 : e.start;
        uint32_t next = hidden ? e.start : entries[i + 1].start;
        uint32_t length = next > start ? next - start : 0;
        // Before a data track of a later session (CD-Extra) lie the lead-out, lead-in and pregap that a
        // recorder leaves between sessions; they are no part of the audio track.
        using namespace ckvd::cd;
        constexpr uint32_t kSessionGap = kFirstLeadoutSectors + kLeadinSectors + kPregapSectors;
        if (!hidden && (entries[i + 1].control & 0x04) && length > kSessionGap)
            length -= kSessionGap;
        // The disc serial: a 32-bit sum of the TOC bytes taken as little-endian words.
        uint32_t serial = 0;
        for (size_t k = 0; k < toc.size(); k += 4) {
            uint32_t w = 0;
            for (size_t b = 0; b < 4 && k + b < toc.size(); ++b)
                w |= uint32_t(toc[k + b]) << (8 * b);
            serial += w;
        }
        uint8_t* p = file->bytes.data();
        memcpy(p, "RIFF", 4);
        PutLe32(p + 4, 36);
        memcpy(p + 8, "CDDA", 4);
        memcpy(p + 12, "fmt ", 4);
        PutLe32(p + 16, 24);
        p[20] = 1;
        p[21] = 0;
        p[22] = uint8_t(number);
        p[23] = 0;
        PutLe32(p + 24, serial);
        PutLe32(p + 28, start);
        PutLe32(p + 32, length);
        PutMsf(p + 36, start + kLba0Frames); // start as an absolute disc time
        PutMsf(p + 40, length);
        return 0;
    }
    return ENOENT;
}

} // namespace

int Trk_Open(const char* path) {
    if (!path) {
        errno = EINVAL;
        return -1;
    }
    std::string rest;
    Drive* target = FindByRootPath(path, &rest);
    int number = target ? TrackNumberOf(rest) : -1;
    if (!target || number < 0 || number > 99) {
        errno = ENOENT;
        return -1;
    }
    std::vector<uint8_t> toc;
    if (!ReadFormattedToc(*target, &toc)) {
        errno = EIO; // no medium, or the drive refused the TOC
        return -1;
    }
    OpenFile file;
    if (int err = BuildTrackFile(toc, number, &file)) {
        errno = err;
        return -1;
    }
    const std::lock_guard<std::mutex> held(FilesLock());
    auto& files = Files();
    int fd = 3;
    while (files.count(fd))
        ++fd;
    files.emplace(fd, file);
    return fd;
}

long Trk_Read(int fd, void* buffer, size_t count) {
    const std::lock_guard<std::mutex> held(FilesLock());
    auto it = Files().find(fd);
    if (it == Files().end() || !buffer) {
        errno = EBADF;
        return -1;
    }
    OpenFile& f = it->second;
    size_t n = std::min(count, TRK_FILE_SIZE - std::min(f.position, TRK_FILE_SIZE));
    memcpy(buffer, f.bytes.data() + f.position, n);
    f.position += n;
    return static_cast<long>(n);
}

off_t Trk_Lseek(int fd, off_t offset, int whence) {
    const std::lock_guard<std::mutex> held(FilesLock());
    auto it = Files().find(fd);
    if (it == Files().end()) {
        errno = EBADF;
        return -1;
    }
    OpenFile& f = it->second;
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? off_t(f.position)
                 : whence == SEEK_END ? off_t(TRK_FILE_SIZE)
                                      : -1;
    if (base < 0 || offset < -base) {
        errno = EINVAL;
        return -1;
    }
    f.position = static_cast<size_t>(base + offset);
    return off_t(f.position);
}

int Trk_Close(int fd) {
    const std::lock_guard<std::mutex> held(FilesLock());
    if (Files().erase(fd) == 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}
