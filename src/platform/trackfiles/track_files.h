// The operating system's CD audio track files "Track%02d.cda" on a drive's root path, which Linux does not
// show: an open of "<drive root path>TrackNN.cda" is answered with the 44-byte RIFF CDDA image built from
// the drive's formatted TOC. The functions follow the runtime library's low-level file calls (-1 and errno
// on failure; ENOENT for a track the disc does not hold).
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

constexpr size_t TRK_FILE_SIZE = 44;

int Trk_Open(const char* path);
long Trk_Read(int fd, void* buffer, size_t count);
off_t Trk_Lseek(int fd, off_t offset, int whence);
int Trk_Close(int fd);
