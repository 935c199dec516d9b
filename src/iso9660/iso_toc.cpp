// TOC and session analysis: the full TOC gives sessions, disc type and tracks; the formatted TOC gives the
// track starts that locate each session's volume descriptors.
#include <algorithm>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

namespace {

constexpr size_t kFullTocHeader = 4;
constexpr size_t kFullTocDescriptor = 11;
constexpr size_t kFormattedTocDescriptor = 8;

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

uint32_t Address(uint8_t m, uint8_t s, uint8_t f) {
    return static_cast<uint32_t>(MsfToLba(m, s, f));
}

} // namespace

int Iso_ReadToc(uint16_t device, uint8_t msf, uint8_t format) {
    g_TocBuffer.clear();
    g_TocDataLength = 0;
    uint8_t head[8] = {};
    int rc = Aspi_ReadToc(device, msf, format, 0, sizeof head, head);
    if (rc != ASPI_OK)
        return rc;
    // The allocation length field is 16 bits: a TOC announcing more than fits is read as far as it fits.
    uint32_t want = uint32_t(Be16(head, 0)) + 2;
    if (want > 0xFFFF)
        want = 0xFFFF;
    try {
        g_TocBuffer.assign(want, 0);
    } catch (const std::bad_alloc&) {
        return ISO_ERR_NO_MEMORY;
    }
    rc = Aspi_ReadToc(device, msf, format, 0, static_cast<uint16_t>(want), g_TocBuffer.data());
    if (rc != ASPI_OK) {
        g_TocBuffer.clear();
        return rc;
    }
    g_TocDataLength = Be16(g_TocBuffer, 0);
    return ISO_OK;
}

namespace {

// Where the walk over the full TOC's descriptors stands: the session and track being filled, and the tree
// of the last session added after the first.
struct TocWalk {
    uint16_t device = 0;
    DiscModel* model = nullptr;
    SessionEntry* session = nullptr;
    TrackEntry* track = nullptr;
    SessionTree* tree = nullptr;
    uint8_t current = 1;
    unsigned tracksInSession = 0;
};

// The disc model emptied of its sessions, with one empty session and track for the full TOC to fill.
int PrepareModel(uint16_t device) {
    if (!g_DiscModel) {
        g_DiscModel = NewRecord<DiscModel>();
        if (!g_DiscModel)
            return ISO_ERR_NO_MEMORY;
    }
    DiscModel* model = g_DiscModel;
    ReleaseSessions(model);
    model->device = device;
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

// A descriptor of a later session: its tree, session and first track records, and its capacity.
int StartNextSession(TocWalk& w) {
    SessionTree* nextTree = NewRecord<SessionTree>();
    if (!nextTree)
        return ISO_ERR_NO_MEMORY;
    if (w.tree) {
        w.tree->next = nextTree;
    } else {
        w.model->firstTree = nextTree;
    }
    w.tree = nextTree;
    SessionEntry* next = NewRecord<SessionEntry>();
    if (!next)
        return ISO_ERR_NO_MEMORY;
    w.session->next = next;
    w.session = next;
    w.track = NewRecord<TrackEntry>();
    if (!w.track)
        return ISO_ERR_NO_MEMORY;
    w.session->firstTrack = w.track;
    ++w.current;
    w.session->sessionNumber = w.current;
    w.tracksInSession = 0;
    return ReadCapacityInto(w.device, w.session);
}

// One descriptor's point into the current session: disc type, last track, lead-out, next program area,
// lead-in, or a track start.
int TakePoint(TocWalk& w, std::span<const uint8_t> d) {
    SessionEntry* session = w.session;
    const uint8_t adr = d[1] >> 4, control = d[1] & 0x0F, point = d[3];
    switch (point) {
    case 0xA0:
        session->type = static_cast<uint8_t>(d[9] | control);
        break;
    case 0xA1:
        session->lastTrack = Iso_IsDataType(session->type) ? 1 : d[8];
        break;
    case 0xA2:
        session->leadOut = Address(d[8], d[9], d[10]);
        break;
    case 0xB0:
        session->nextProgramArea = Address(d[4], d[5], d[6]);
        session->mode5Pointers = d[7];
        session->recordingAreaLeadOut = Address(d[8], d[9], d[10]);
        break;
    case 0xC0:
        session->leadIn = Address(d[8], d[9], d[10]);
        break;
    default:
        if (point >= 1 && point <= 99 && adr == 1) {
            if (w.tracksInSession > 0) {
                TrackEntry* t = NewRecord<TrackEntry>();
                if (!t)
                    return ISO_ERR_NO_MEMORY;
                w.track->next = t;
                w.track = t;
            }
            ++w.tracksInSession;
            w.track->trackNumber = point;
            w.track->address = (d[8] | d[9] | d[10]) == 0 ? 0 : Address(d[8], d[9], d[10]);
        }
        break;
    }
    return ISO_OK;
}

// The sessions and tracks of the full TOC in g_TocBuffer, from the first session (already read) on.
int BuildSessions(TocWalk& w) {
    // Only whole descriptors inside both the announced data and the bytes received are walked.
    size_t end = std::min<size_t>(size_t(g_TocDataLength) + 2, g_TocBuffer.size());
    const std::span<const uint8_t> toc(g_TocBuffer.data(), end);
    for (size_t off = kFullTocHeader; off + kFullTocDescriptor <= toc.size(); off += kFullTocDescriptor) {
        const std::span<const uint8_t> d = toc.subspan(off, kFullTocDescriptor);
        int rc = ISO_OK;
        if (d[0] != w.current && (rc = StartNextSession(w)) != ISO_OK)
            return rc;
        if ((rc = TakePoint(w, d)) != ISO_OK)
            return rc;
    }
    return ISO_OK;
}

// The start of track `number` in the formatted TOC, or -1 when it lists no such track.
int TrackStart(std::span<const uint8_t> formatted, uint8_t number) {
    for (size_t off = kFullTocHeader; off + kFormattedTocDescriptor <= formatted.size();
         off += kFormattedTocDescriptor)
        if (number != 0 && formatted[off + 2] == number)
            return MsfToLba(formatted[off + 5], formatted[off + 6], formatted[off + 7]);
    return -1;
}

// Each session's PVD LBN: 16 blocks past the start of the session's first track in the formatted TOC (a
// later session's first track follows every track of the sessions before). A single data session whose
// track is not listed keeps block 16; any other session without a track start keeps PVD LBN 0.
int ReadPvdLocations(uint16_t device, DiscModel* model) {
    int rc = Iso_ReadToc(device, 1, 0);
    if (rc != ISO_OK)
        return rc;
    const size_t formattedEnd = std::min<size_t>(size_t(g_TocDataLength) + 2, g_TocBuffer.size());
    const std::span<const uint8_t> formatted(g_TocBuffer.data(), formattedEnd);
    SessionEntry* first = model->firstSession;
    const bool single = model->sessionCount <= 1 && !first->next;
    for (SessionEntry* s = first; s; s = s->next) {
        const int start = TrackStart(formatted, s->firstTrack ? s->firstTrack->trackNumber : 0);
        s->pvdLbn = start >= 0 ? static_cast<uint32_t>(start + 16) : 0;
        if (single) {
            // A session dumped from a multi-session disc keeps its addresses: its track begins later.
            s->pvdLbn = Iso_IsDataType(s->type) ? std::max<uint32_t>(s->pvdLbn, 16) : 0;
            break;
        }
    }
    return ISO_OK;
}

} // namespace

int Iso_AnalyzeToc(uint16_t device) {
    int rc = PrepareModel(device);
    if (rc != ISO_OK)
        return rc;
    DiscModel* model = g_DiscModel;
    if ((rc = Iso_ReadToc(device, 1, 2)) != ISO_OK)
        return rc;
    model->sessionCount = g_TocBuffer.size() > 3 ? g_TocBuffer[3] : 0;

    TocWalk walk;
    walk.device = device;
    walk.model = model;
    walk.session = model->firstSession;
    walk.track = walk.session->firstTrack;
    walk.tree = model->firstTree;
    walk.session->sessionNumber = 1;
    if ((rc = ReadCapacityInto(device, walk.session)) != ISO_OK)
        return rc;
    if ((rc = BuildSessions(walk)) != ISO_OK)
        return rc;
    return ReadPvdLocations(device, model);
}

int Iso_AnalyzeDisc(uint16_t device) {
    ReleaseModel();
    g_DiscModel = NewRecord<DiscModel>();
    if (!g_DiscModel)
        return ISO_ERR_NO_MEMORY;
    g_DiscModel->device = device;
    g_DiscModel->firstTree = NewRecord<SessionTree>();
    if (!g_DiscModel->firstTree)
        return ISO_ERR_NO_MEMORY;
    g_CurrentSession = 0;

    int rc = Iso_AnalyzeToc(device);
    if (rc != ISO_OK)
        return rc;
    const uint8_t type = g_DiscModel->firstSession->type;
    const uint8_t discType = type & 0xF0;
    if (discType != 0x00 && discType != 0x20)
        return ISO_ERR_DISC_TYPE;
    if (!Iso_IsDataType(type))
        return Iso_AnalyzeAudioTracks(device);
    return Iso_AnalyzeDataSessions(device);
}
