// The verify run: the plan from the full TOC, the reads, the checks and the damage's files.
#include "verify/disc_verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <span>

#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso_disc_toc.h"
#include "listing/disc_text.h"
#include "platform/cd/cd_time.h"
#include "verify/sector_check.h"

namespace {

constexpr uint32_t kUserBytes = 2048;
// Blocks a run: what every SG_IO path takes (64 KB and a little more) from a drive, more from an image.
constexpr uint32_t kDriveRun = 27, kImageRun = 256;
constexpr uint8_t kImageAdapter = 1;
using ckvd::drives::kSenseNotReady;
constexpr uint8_t kSenseMedium = ckvd::drives::kSenseMediumError, kSenseHardware = 4,
                  kSenseIllegal = ckvd::drives::kSenseIllegalRequest;
constexpr uint8_t kAscOutOfRange = ckvd::drives::kAscLbaOutOfRange,
                  kAscIllegalMode = ckvd::drives::kAscIllegalModeForTrack;
constexpr const char* kPastTheEnd = "past the end of the recorded area";

// Whether whole sectors were made up from their user data rather than read: every one without EDC and error
// correction code, as an emulated drive that keeps only the user data answers READ CD (QEMU's IDE and AHCI
// drives). A recorded sector's EDC is never zero over a whole run, so such a track's sectors have only their
// sync and headers checked.
bool SectorsMadeUp(const std::vector<uint8_t>& sectors, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        if (!Sector_IsSynthesised(&sectors[size_t{i} * VERIFY_RAW_BYTES]))
            return false;
    return count > 0;
}

} // namespace

struct DiscVerify::Index {
    struct Extent {
        uint64_t start, end; // blocks [start, end)
        int session;
        char type;
        const FileEntry* entry;
        std::string path;
    };
    std::vector<Extent> extents;   // by start
    std::vector<uint64_t> reaches; // the furthest end of the extents up to each one
};

DiscVerify::DiscVerify() = default;
DiscVerify::~DiscVerify() = default;

int DiscVerify::Start(const Disc& disc, uint16_t device, int session) {
    m_disc = &disc;
    m_tracks.clear();
    m_trackAt.clear();
    m_reasons.clear();
    m_index.reset();
    m_track = m_next = m_single = 0;
    m_done = m_total = 0;
    m_stopped = false;
    m_device = device;
    m_session = session;
    m_runs.clear();
    m_lastRun = 0;
    m_limit = Verify_BlockLimit(device);
    const DeviceEntry* dev = Aspi_GetDevice(device);
    m_image = dev && dev->hostAdapterId == kImageAdapter;
    IsoDiscToc toc;
    if (const int rc = Verify_PlanTracks(device, session, m_limit, m_tracks, toc); rc != ISO_OK)
        return rc;
    ExtendToVolumes();
    for (const VerifyTrack& t : m_tracks) {
        m_trackAt.push_back(m_total);
        m_total += t.blocks;
    }
    return ASPI_OK;
}

void DiscVerify::ExtendToVolumes() {
    if (!m_disc->model)
        return;
    std::vector<uint8_t> block(kUserBytes);
    for (const SessionEntry* s = m_disc->model->firstSession; s; s = s->next) {
        // The session's last data track in the plan, and where the next track of the disc begins.
        VerifyTrack* last = nullptr;
        for (VerifyTrack& t : m_tracks)
            if (t.session == s->sessionNumber && !t.audio)
                last = &t;
        if (!last || s->pvdLbn == 0)
            continue;
        uint64_t limit = std::min<uint64_t>(m_limit, UINT32_MAX);
        for (const VerifyTrack& t : m_tracks)
            if (t.start > last->start)
                limit = std::min<uint64_t>(limit, t.start);
        // The primary descriptor: the first of type 1 in the set (others may stand in front of it).
        for (uint32_t lbn = s->pvdLbn; lbn < s->pvdLbn + 16; ++lbn) {
            if (Aspi_ReadSectors(m_device, lbn, kUserBytes, 1, block.data()) != ASPI_OK ||
                std::memcmp(&block[1], "CD001", 5) || block[0] == 255)
                break;
            if (block[0] != 1)
                continue;
            const uint32_t size = uint32_t{block[80]} | uint32_t{block[81]} << 8 | uint32_t{block[82]} << 16 |
                                  uint32_t{block[83]} << 24;
            // The size counts from the disc's first block; some writers count a later session's own blocks.
            const uint64_t claimed = size <= last->start ? uint64_t{last->start} + size : size;
            const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(claimed, limit));
            if (last->endEstimated && end > last->start && end - last->start < last->recorded)
                last->recorded = last->blocks = end - last->start;
            if (end > last->start + last->blocks)
                last->blocks = end - last->start;
            break;
        }
    }
}

bool DiscVerify::Step() {
    while (m_track < m_tracks.size() && m_next >= m_tracks[m_track].blocks) {
        ++m_track;
        m_next = 0;
    }
    if (m_track >= m_tracks.size())
        return false;
    if (m_stopped || StopAsked()) {
        m_stopped = true;
        return false;
    }
    VerifyTrack& t = m_tracks[m_track];
    const uint64_t at = m_trackAt[m_track] + m_next;
    if (m_single > 0) { // around a failure, each block on its own: what can be read is, the rest is named
        const bool laterTrack = m_track + 1 < m_tracks.size() && m_tracks[m_track + 1].session == t.session;
        if (ReadBlocks(t, t.start + m_next, 1))
            Take(t, t.start + m_next, 1, at);
        else if (laterTrack && m_sense.key == kSenseIllegal && m_sense.asc == kAscOutOfRange)
            Mark(at, VERIFY_GAP, 0);
        else
            Mark(at, VERIFY_UNREADABLE, FailureDetail());
        --m_single;
        ++m_next;
        ++m_done;
        return m_done < m_total;
    }
    if (m_next >= t.recorded) { // what the volume claims past the track's end: no drive reads it
        const uint32_t past = t.blocks - m_next;
        Mark(at, VERIFY_UNREADABLE, ReasonIndex(kPastTheEnd), past);
        m_next += past;
        m_done += past;
        return m_done < m_total;
    }
    const uint32_t run = std::min(m_image ? kImageRun : kDriveRun, t.recorded - m_next);
    if (!ReadBlocks(t, t.start + m_next, run)) {
        m_single = run; // read by the next steps, one a step
        return true;
    }
    Take(t, t.start + m_next, run, at);
    m_next += run;
    m_done += run;
    return m_done < m_total;
}

void DiscVerify::Take(const VerifyTrack& t, uint32_t lba, uint32_t count, uint64_t at) {
    for (uint32_t i = 0; i < count; ++i) {
        const std::span<const uint8_t, VERIFY_RAW_BYTES> sector(
            m_buffer.data() + size_t{i} * VERIFY_RAW_BYTES, VERIFY_RAW_BYTES);
        const auto block = static_cast<int32_t>(lba + i);
        if (t.check == VerifyCheck::NoErrorCodes && Sector_IsSynthesised(sector.data())) {
            const uint8_t faults = Verify_CheckHeader(sector, block);
            Mark(at + i, faults ? VERIFY_CORRUPT : VERIFY_NO_EDC, faults);
            continue;
        }
        const bool whole = t.check == VerifyCheck::Sectors || t.check == VerifyCheck::NoErrorCodes;
        const uint8_t faults = whole ? Verify_CheckSector(sector, block) : 0;
        Mark(at + i, faults ? VERIFY_CORRUPT : VERIFY_READABLE, faults);
    }
}

bool DiscVerify::ReadBlocks(VerifyTrack& t, uint32_t lba, uint32_t count) {
    m_buffer.resize(size_t{count} * VERIFY_RAW_BYTES);
    const auto blocks = static_cast<uint16_t>(count);
    AspiOutcome o;
    // Each read leaves its sense in m_sense, the reason a block that fails is given.
    const auto done = [&](int rc) {
        m_sense = o.sense;
        m_timedOut = o.timedOut;
        return rc == ASPI_OK;
    };
    if (t.check == VerifyCheck::Audio)
        return done(Aspi_ReadCd(m_device, lba, blocks, m_buffer.data(), &o));
    if (t.check != VerifyCheck::UserData) {
        const bool read = done(Aspi_ReadCdRaw(m_device, lba, blocks, m_buffer.data(), &o));
        if (read && t.check == VerifyCheck::Pending)
            t.check = SectorsMadeUp(m_buffer, count) ? VerifyCheck::NoErrorCodes : VerifyCheck::Sectors;
        if (read)
            return true;
        // A drive or image that gives no whole sectors of this track refuses the request itself.
        if (t.check != VerifyCheck::Pending || m_sense.key != kSenseIllegal || m_sense.asc == kAscOutOfRange)
            return false;
        t.check = VerifyCheck::UserData;
    }
    if (done(Aspi_ReadSectors(m_device, lba, kUserBytes, blocks, m_buffer.data(), &o)))
        return true;
    // Form 2 sectors (an XA file's) hold no 2048 bytes: READ(10) refuses them, READ CD gives their 2,324.
    return m_sense.key == kSenseIllegal && m_sense.asc == kAscIllegalMode &&
           done(Aspi_ReadCdForm2(m_device, lba, blocks, m_buffer.data(), &o));
}

void DiscVerify::Mark(uint64_t at, uint8_t state, uint8_t detail, uint64_t count) {
    if (!m_runs.empty()) {
        Run& last = m_runs.back();
        if (at < last.first + last.count)
            return; // every block is marked once, in plan order
        if (at == last.first + last.count && last.state == state && last.detail == detail) {
            last.count += count;
            return;
        }
    }
    m_runs.push_back({at, count, state, detail});
}

uint8_t DiscVerify::StateAt(uint64_t index) const {
    if (m_runs.empty())
        return VERIFY_NOT_READ;
    size_t k = m_lastRun < m_runs.size() ? m_lastRun : 0;
    if (index < m_runs[k].first || (k + 1 < m_runs.size() && index >= m_runs[k + 1].first)) {
        const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                            [](uint64_t i, const Run& r) { return i < r.first; });
        if (after == m_runs.begin())
            return VERIFY_NOT_READ;
        k = static_cast<size_t>(after - m_runs.begin()) - 1;
    }
    m_lastRun = k;
    return index < m_runs[k].first + m_runs[k].count ? m_runs[k].state : VERIFY_NOT_READ;
}

uint8_t DiscVerify::FailureDetail() {
    char text[64];
    const AspiSense s = m_sense;
    if (s.key == kSenseIllegal && s.asc == kAscOutOfRange)
        std::snprintf(text, sizeof text, "%s", kPastTheEnd);
    else if (s.key == kSenseMedium && s.asc == ckvd::drives::kAscReadError)
        std::snprintf(text, sizeof text, "unrecovered read error");
    else if (s.key == kSenseMedium)
        std::snprintf(text, sizeof text, "medium error (%02X/%02X)", s.asc, s.ascq);
    else if (s.key == kSenseHardware)
        std::snprintf(text, sizeof text, "hardware error (%02X/%02X)", s.asc, s.ascq);
    else if (s.key == kSenseNotReady)
        std::snprintf(text, sizeof text, "drive not ready");
    else if (s.key != 0)
        std::snprintf(text, sizeof text, "refused (sense %X/%02X/%02X)", s.key, s.asc, s.ascq);
    else if (m_timedOut)
        std::snprintf(text, sizeof text, "the drive did not answer in time");
    else
        std::snprintf(text, sizeof text, "read failed");
    return ReasonIndex(text);
}

uint8_t DiscVerify::ReasonIndex(const std::string& text) {
    const auto found = std::find(m_reasons.begin(), m_reasons.end(), text);
    if (found != m_reasons.end())
        return static_cast<uint8_t>(found - m_reasons.begin());
    if (m_reasons.size() == 255) // so many kinds of failure: the last one stands for the rest
        return 254;
    m_reasons.emplace_back(text);
    return static_cast<uint8_t>(m_reasons.size() - 1);
}

std::vector<uint64_t> DiscVerify::Counts() const {
    std::vector<uint64_t> counts(VERIFY_STATES);
    uint64_t marked = 0;
    for (const Run& r : m_runs) {
        counts[r.state] += r.count;
        marked += r.count;
    }
    counts[VERIFY_NOT_READ] += m_total - marked;
    return counts;
}

std::vector<VerifyRange> DiscVerify::Ranges() const {
    // Each damaged run, cut where it crosses from one track into the next.
    std::vector<VerifyRange> ranges;
    size_t k = 0;
    for (const Run& r : m_runs) {
        if (r.state != VERIFY_CORRUPT && r.state != VERIFY_UNREADABLE)
            continue;
        for (uint64_t at = r.first, end = r.first + r.count; at < end;) {
            while (k + 1 < m_tracks.size() && m_trackAt[k + 1] <= at)
                ++k;
            const uint64_t trackEnd = m_trackAt[k] + m_tracks[k].blocks;
            const uint64_t n = std::min(end, trackEnd) - at;
            ranges.push_back({static_cast<uint32_t>(m_tracks[k].start + (at - m_trackAt[k])),
                              static_cast<uint32_t>(n), r.state,
                              r.state == VERIFY_CORRUPT ? Verify_FaultText(r.detail) : m_reasons[r.detail]});
            at += n;
        }
    }
    return ranges;
}

std::vector<VerifyHit> DiscVerify::Hits(const VerifyRange& range) const {
    if (!m_disc || !m_disc->model)
        return {};
    if (!m_index) {
        m_index = std::make_unique<Index>();
        int number = 1;
        for (SessionTree* tree = m_disc->model->firstTree; tree; tree = tree->next, ++number) {
            if (m_session >= 0 && number != m_session + 1)
                continue;
            Report_WalkTree(*m_disc, tree->root, [&](FileEntry& e, const std::string& path, size_t) {
                // The blocks the entry takes on the disc (a compressed file's stored size).
                const uint64_t blocks = (uint64_t{Iso_ExtentSize(*m_disc, &e)} + kUserBytes - 1) / kUserBytes;
                if (blocks == 0)
                    return;
                m_index->extents.push_back(
                    {e.lbn, e.lbn + blocks, number, e.type == 'F' ? 'F' : 'D', &e, path});
            });
        }
        auto& x = m_index->extents;
        std::sort(x.begin(), x.end(),
                  [](const Index::Extent& a, const Index::Extent& b) { return a.start < b.start; });
        uint64_t reach = 0;
        for (const Index::Extent& e : x)
            m_index->reaches.push_back(reach = std::max(reach, e.end));
    }
    std::vector<VerifyHit> hits;
    // An audio track is its track file.
    for (const VerifyTrack& t : m_tracks)
        if (t.audio && range.first >= t.start && range.first < t.start + t.blocks) {
            char name[24];
            std::snprintf(name, sizeof name, "/Track%02d.cda", t.number);
            hits.push_back({t.session, name, 'F', nullptr});
        }
    const auto& x = m_index->extents;
    const uint64_t end = uint64_t{range.first} + range.count;
    size_t i = static_cast<size_t>(
        std::partition_point(x.begin(), x.end(), [&](const Index::Extent& e) { return e.start < end; }) -
        x.begin());
    std::vector<const Index::Extent*> found;
    while (i > 0 && m_index->reaches[i - 1] > range.first) {
        --i;
        if (x[i].end > range.first)
            found.push_back(&x[i]);
    }
    std::sort(found.begin(), found.end(), [](const Index::Extent* a, const Index::Extent* b) {
        return a->session != b->session ? a->session < b->session : a->start < b->start;
    });
    std::set<std::pair<int, std::string>> seen; // a file of several extents, a track file listed
    for (const VerifyHit& h : hits)
        seen.insert({h.session, h.path});
    for (const Index::Extent* e : found)
        if (seen.insert({e->session, e->path}).second)
            hits.push_back({e->session, e->path, e->type, e->entry});
    return hits;
}
