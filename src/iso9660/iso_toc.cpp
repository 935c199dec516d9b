// TOC and session analysis: the checked TOC (iso_toc_read) gives sessions, disc type and tracks; each
// session's first track locates its volume descriptors.
#include <algorithm>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "iso9660/iso_disc_toc.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

constexpr uint32_t kVolumeDescriptorsAt = 16; // blocks into a session's first track (ECMA-119 6.2.1)

// Fills last block and block length of `s` from READ CAPACITY.
int ReadCapacityInto(uint16_t device, SessionEntry* s) {
    uint32_t lastLba = 0, blockLength = 0;
    int rc = Aspi_ReadCapacity(device, &lastLba, &blockLength);
    if (rc != ASPI_OK)
        return rc;
    s->lastBlock = lastLba;
    s->blockLength = blockLength;
    return ISO_OK;
}

// The disc model emptied of its sessions, with one empty session and track for the TOC to fill.
int PrepareModel(Disc& d) {
    if (!d.model) {
        d.model = NewRecord<DiscModel>();
        if (!d.model)
            return ISO_ERR_NO_MEMORY;
    }
    DiscModel* model = d.model;
    ReleaseSessions(model);
    model->device = d.device;
    SessionEntry* session = NewRecord<SessionEntry>();
    if (!session)
        return ISO_ERR_NO_MEMORY;
    model->firstSession = session;
    TrackEntry* track = NewRecord<TrackEntry>();
    if (!track)
        return ISO_ERR_NO_MEMORY;
    session->firstTrack = track;
    return ISO_OK;
}

// The records of a session after the first: its tree (after `tree`, the tree of the session before it, or
// first when there is none), its session entry after `previous` and that entry's first track.
SessionEntry* AppendSession(DiscModel* model, SessionTree*& tree, SessionEntry* previous) {
    SessionTree* nextTree = NewRecord<SessionTree>();
    if (!nextTree)
        return nullptr;
    (tree ? tree->next : model->firstTree) = nextTree;
    tree = nextTree;
    SessionEntry* next = NewRecord<SessionEntry>();
    if (!next)
        return nullptr;
    previous->next = next;
    next->firstTrack = NewRecord<TrackEntry>();
    return next->firstTrack ? next : nullptr;
}

// One session of the TOC into its entry: disc type, points, tracks, the place of its volume descriptors (16
// blocks into its first track; a lone data session's never before block 16, an audio session has none) and
// READ CAPACITY's last block and block length.
int FillSession(uint16_t device, const IsoTocSession& from, bool single, SessionEntry* s) {
    s->type = static_cast<uint8_t>(from.discType | from.control);
    s->lastTrack = Iso_IsDataType(s->type) ? 1 : from.lastTrack;
    s->leadOut = from.leadOut;
    s->nextProgramArea = from.nextProgramArea;
    s->mode5Pointers = from.mode5Pointers;
    s->recordingAreaLeadOut = from.recordingAreaLeadOut;
    s->leadIn = from.leadIn;
    TrackEntry* t = s->firstTrack;
    for (size_t i = 0; i < from.tracks.size(); ++i) {
        if (i > 0) {
            t->next = NewRecord<TrackEntry>();
            if (!(t = t->next))
                return ISO_ERR_NO_MEMORY;
        }
        t->trackNumber = from.tracks[i].number;
        t->address = from.tracks[i].start;
        t->control = from.tracks[i].control;
    }
    // An audio track runs to the next track or to the session's lead-out; a data track's size stays 0.
    for (TrackEntry* k = s->firstTrack; k; k = k->next)
        if (Iso_IsAudioTrack(k) && !from.tracks.empty()) {
            const uint32_t end = k->next ? k->next->address : from.leadOut;
            k->size = end > k->address ? end - k->address : 0;
        }
    s->pvdLbn = from.tracks.empty() ? 0 : from.tracks.front().start + kVolumeDescriptorsAt;
    if (single) // a session dumped from a multi-session disc keeps its addresses: its track begins later
        s->pvdLbn = Iso_IsDataType(s->type) ? std::max(s->pvdLbn, kVolumeDescriptorsAt) : 0;
    return ReadCapacityInto(device, s);
}

} // namespace

int iso_internal::AnalyzeToc(Disc& d) {
    int rc = PrepareModel(d);
    if (rc != ISO_OK)
        return rc;
    const uint16_t device = d.device;
    DiscModel* model = d.model;
    IsoDiscToc toc;
    if ((rc = Iso_ReadDiscToc(device, &toc)) != ISO_OK)
        return rc;
    model->sessionCount = static_cast<uint8_t>(toc.sessions.size());
    if (toc.fromFormattedToc && model->firstTree)
        model->firstTree->notes |= ISO_TREE_NO_FULL_TOC;
    SessionTree* tree = model->firstTree;
    SessionEntry* session = model->firstSession;
    for (size_t k = 0; k < toc.sessions.size(); ++k) {
        if (k > 0 && !(session = AppendSession(model, tree, session)))
            return ISO_ERR_NO_MEMORY;
        session->sessionNumber = static_cast<uint8_t>(k + 1);
        if ((rc = FillSession(device, toc.sessions[k], toc.sessions.size() == 1, session)) != ISO_OK)
            return rc;
    }
    return ISO_OK;
}
