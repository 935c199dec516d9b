// An audio disc becomes the "Audio CD" volume with one file per track file of the drive.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "platform/trackfiles/track_files.h"

using namespace iso_internal;

namespace {

constexpr int kMaxTrackFiles = 99;

// Reads the 44 bytes of one track file; false on a failed seek or a short read.
bool ReadTrackFile(int fd, uint8_t (&bytes)[TRK_FILE_SIZE]) {
    if (Trk_Lseek(fd, 0, SEEK_SET) != 0)
        return false;
    return Trk_Read(fd, bytes, sizeof bytes) == static_cast<long>(sizeof bytes);
}

} // namespace

int Iso_AnalyzeAudioTracks(uint16_t device) {
    if (!g_DiscModel || !g_DiscModel->firstTree || !g_DiscModel->firstSession)
        return ISO_ERR_NO_MODEL;
    SessionTree* tree = g_DiscModel->firstTree;
    tree->directoryCount = 1;
    FileEntry* volume = NewRecord<FileEntry>();
    if (!volume)
        return ISO_ERR_NO_MEMORY;
    volume->type = 'V';
    snprintf(volume->name, sizeof volume->name, "%s", "Audio CD");
    tree->root = volume;

    const DeviceEntry* dev = Aspi_GetDevice(device);
    const char* root = dev ? dev->driveRootPath : "";
    TrackEntry* track = g_DiscModel->firstSession->firstTrack;
    FileEntry* last = nullptr;
    int result = ISO_OK;
    for (int n = 1; n <= kMaxTrackFiles; ++n) {
        char path[sizeof dev->driveRootPath + 16];
        snprintf(path, sizeof path, "%sTrack%02d.cda", root, n);
        int fd = Trk_Open(path);
        if (fd < 0) {
            if (errno != ENOENT)
                result = ISO_ERR_TRACK_FILE;
            break;
        }
        FileEntry* file = NewRecord<FileEntry>();
        if (!file) {
            Trk_Close(fd);
            result = ISO_ERR_NO_MEMORY;
            break;
        }
        if (last) {
            last->nextSibling = file;
        } else {
            volume->firstChild = file;
        }
        last = file;
        ++tree->fileCount; // the tree's count, as a data session's: the report's File[N] and progress use it
        file->type = 'F';
        snprintf(file->name, sizeof file->name, "Track%02d.cda", n);
        uint8_t bytes[TRK_FILE_SIZE] = {};
        bool ok = ReadTrackFile(fd, bytes);
        Trk_Close(fd);
        if (!ok) {
            result = ISO_ERR_TRACK_FILE;
            break;
        }
        file->lbn = Le32(bytes, 28);
        file->size = Le32(bytes, 32);
        if (track) {
            track->address = file->lbn;
            track->size = file->size;
            if (track->next)
                track = track->next;
        }
        // 1995-01-01 with the track's start position in the time fields.
        file->date[0] = 95;
        file->date[1] = 1;
        file->date[2] = 1;
        file->date[3] = bytes[39];
        file->date[4] = bytes[38];
        file->date[5] = bytes[37];
        file->date[6] = bytes[36];
    }
    if (result != ISO_OK) {
        ReleaseEntries(volume);
        tree->root = nullptr;
    }
    return result;
}
