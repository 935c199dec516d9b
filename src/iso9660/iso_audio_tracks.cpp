// Every audio track becomes a "TrackNN.cda" entry, NN its own number: an audio session becomes the "Audio CD"
// volume of its tracks; a data session's audio tracks (a mixed-mode disc) are one more folder, "Audio
// Tracks", in its root. Audio recorded before track 1 (a first pregap that holds audio) is "Track00.cda".
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "platform/trackfiles/track_files.h"

using namespace iso_internal;

namespace {

constexpr const char* kAudioFolder = "Audio Tracks";

// Reads the 44 bytes of one track file; false on a failed seek or a short read.
bool ReadTrackFile(int fd, uint8_t (&bytes)[TRK_FILE_SIZE]) {
    if (Trk_Lseek(fd, 0, SEEK_SET) != 0)
        return false;
    return Trk_Read(fd, bytes, sizeof bytes) == static_cast<long>(sizeof bytes);
}

// Where the entries of one session's tracks go: the directory, its last child so far, the numbers its
// entries carry, and the tree that counts them.
struct TrackFolder {
    FileEntry* directory;
    FileEntry* last;
    uint16_t directoryNumber, parentNumber;
    SessionTree* tree;
};

// The entry of track `number` from its track file, after `folder.last`. ENOENT from the file (no such audio
// track) makes no entry and is no failure.
int AddTrackEntry(Disc& d, const char* root, int number, TrackEntry* track, TrackFolder& folder) {
    char path[sizeof DeviceEntry::driveRootPath + 16];
    snprintf(path, sizeof path, "%sTrack%02d.cda", root, number);
    const int fd = Trk_Open(path);
    if (fd < 0)
        return errno == ENOENT ? ISO_OK : ISO_ERR_TRACK_FILE;
    uint8_t bytes[TRK_FILE_SIZE] = {};
    const bool ok = ReadTrackFile(fd, bytes);
    Trk_Close(fd);
    if (!ok)
        return ISO_ERR_TRACK_FILE;
    FileEntry* file = NewEntry(d);
    if (!file)
        return ISO_ERR_NO_MEMORY;
    (folder.last ? folder.last->nextSibling : folder.directory->firstChild) = file;
    folder.last = file;
    ++folder.tree->fileCount; // the report's File[N] and the progress count them as a data session's files
    file->type = 'F';
    snprintf(file->name, sizeof file->name, "Track%02d.cda", number);
    file->directoryNumber = folder.directoryNumber;
    file->parentNumber = folder.parentNumber;
    file->lbn = Le32(bytes, 28);
    file->size = Le32(bytes, 32);
    if (track) {
        track->address = file->lbn;
        track->size = file->size;
    }
    // 1995-01-01 with the track's start position in the time fields.
    file->date[0] = 95;
    file->date[1] = 1;
    file->date[2] = 1;
    file->date[3] = bytes[39];
    file->date[4] = bytes[38];
    file->date[5] = bytes[37];
    file->date[6] = bytes[36];
    return ISO_OK;
}

// The entries of `session`'s audio tracks, in TOC order, Track00 first where audio precedes track 1.
int AddTrackEntries(Disc& d, SessionEntry* session, TrackFolder& folder) {
    const DeviceEntry* dev = Aspi_GetDevice(d.device);
    const char* root = dev ? dev->driveRootPath : "";
    if (session == d.model->firstSession && Iso_HiddenTrackSectors(d) > 0)
        if (int rc = AddTrackEntry(d, root, 0, nullptr, folder); rc != ISO_OK)
            return rc;
    for (TrackEntry* t = session->firstTrack; t; t = t->next)
        if (Iso_IsAudioTrack(t) && t->trackNumber >= 1 && t->trackNumber <= 99)
            if (int rc = AddTrackEntry(d, root, t->trackNumber, t, folder); rc != ISO_OK)
                return rc;
    return ISO_OK;
}

bool HasAudioTrack(const SessionEntry* session) {
    for (const TrackEntry* t = session->firstTrack; t; t = t->next)
        if (Iso_IsAudioTrack(t))
            return true;
    return false;
}

// A root child named `name` already (a disc's own folder of that name keeps it).
bool RootHolds(const Disc& d, const FileEntry* root, const char* name) {
    for (const FileEntry* e = root->firstChild; e; e = e->nextSibling)
        if (std::strcmp(Iso_EntryName(d, e), name) == 0)
            return true;
    return false;
}

} // namespace

uint32_t Iso_HiddenTrackSectors(const Disc& d) {
    const SessionEntry* s = d.model ? d.model->firstSession : nullptr;
    const TrackEntry* first = s ? s->firstTrack : nullptr;
    return first && first->trackNumber == 1 && Iso_IsAudioTrack(first) ? first->address : 0;
}

int iso_internal::AnalyzeAudioSession(Disc& d, SessionEntry* session, SessionTree* tree) {
    if (!d.model || !tree || !session)
        return ISO_ERR_NO_MODEL;
    tree->directoryCount = 1;
    FileEntry* volume = NewEntry(d);
    if (!volume)
        return ISO_ERR_NO_MEMORY;
    volume->type = 'V';
    snprintf(volume->name, sizeof volume->name, "%s", "Audio CD");
    tree->root = volume;
    TrackFolder folder{volume, nullptr, 0, 0, tree};
    const int result = AddTrackEntries(d, session, folder);
    if (result != ISO_OK) {
        ReleaseEntries(volume);
        tree->root = nullptr;
    }
    return result;
}

int iso_internal::AddAudioFolder(Disc& d, SessionEntry* session, SessionTree* tree) {
    FileEntry* root = tree ? tree->root : nullptr;
    if (!d.model || !root || !session || !HasAudioTrack(session))
        return ISO_OK;
    char name[32];
    snprintf(name, sizeof name, "%s", kAudioFolder);
    for (int n = 2; RootHolds(d, root, name) && n < 100; ++n)
        snprintf(name, sizeof name, "%s (%d)", kAudioFolder, n);
    FileEntry* folder = NewEntry(d);
    if (!folder)
        return ISO_ERR_NO_MEMORY;
    folder->type = 'D';
    snprintf(folder->name, sizeof folder->name, "%s", name);
    folder->parentNumber = root->directoryNumber ? root->directoryNumber : 1;
    folder->directoryNumber = static_cast<uint16_t>(tree->directoryCount + 1);
    for (const TrackEntry* t = session->firstTrack; t; t = t->next)
        if (Iso_IsAudioTrack(t)) {
            folder->lbn = t->address;
            break;
        }
    FileEntry** link = &root->firstChild;
    while (*link)
        link = &(*link)->nextSibling;
    *link = folder;
    ++tree->directoryCount;
    TrackFolder tracks{folder, nullptr, folder->directoryNumber, folder->parentNumber, tree};
    return AddTrackEntries(d, session, tracks);
}

const SessionEntry* Iso_AudioTrackSession(const Disc& d, const FileEntry* entry, int* number) {
    const DiscModel* model = d.model;
    if (!entry || entry->type != 'F' || !model)
        return nullptr;
    unsigned n = 0;
    char tail = 0;
    if (std::strlen(entry->name) != 11 || std::sscanf(entry->name, "Track%2u.cd%c", &n, &tail) != 2 ||
        tail != 'a')
        return nullptr;
    // The entry names a track of the TOC and stands at its start: a data file named like a track file does
    // not.
    const SessionEntry* found = nullptr;
    for (const SessionEntry* s = model->firstSession; s && !found; s = s->next)
        for (const TrackEntry* t = s->firstTrack; t && !found; t = t->next)
            if (n == 0 ? (s == model->firstSession && entry->lbn == 0 && Iso_HiddenTrackSectors(d) > 0)
                       : (t->trackNumber == n && Iso_IsAudioTrack(t) && t->address == entry->lbn))
                found = s;
    if (found && number)
        *number = int(n);
    return found;
}

bool Iso_IsAudioFolder(const Disc& d, const FileEntry* entry) {
    if (!entry || entry->type != 'D' || !entry->firstChild)
        return false;
    for (const FileEntry* c = entry->firstChild; c; c = c->nextSibling)
        if (!Iso_AudioTrackSession(d, c))
            return false;
    return true;
}
