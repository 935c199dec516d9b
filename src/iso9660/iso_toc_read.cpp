// Reading the TOC so that nothing but a TOC is ever taken for one. A drive may answer READ TOC in another
// format than asked: a drive of the older ATAPI convention that gets the full TOC's format in byte 2 only
// answers the formatted TOC, and walked as 11-byte descriptors that makes a wrong disc. So every answer is
// held against what its format must look like before a byte of it is used; a drive that gives no full TOC
// that passes is read through the formatted TOC and the session information instead.
#include <algorithm>
#include <new>
#include <span>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_disc_toc.h"
#include "iso9660/iso_internal.h"
#include "platform/drives/mmc.h"

using namespace iso_internal;

namespace {

constexpr size_t kHeader = 4, kFullDescriptor = 11, kFormattedDescriptor = 8;
constexpr uint8_t kFormattedToc = ckvd::mmc::kTocFormatted, kSessionInfo = ckvd::mmc::kTocSessionInfo,
                  kFullToc = ckvd::mmc::kTocFull;
constexpr uint8_t kLeadOutTrack = 0xAA, kMaxNumber = 99;
constexpr uint8_t kSenseIllegalRequest = ckvd::drives::kSenseIllegalRequest;
// What a recorder leaves between two sessions: the lead-out (6750 blocks after the first session, 2250 after
// a later one), the next session's lead-in (4500) and its first track's pregap (150).
constexpr uint32_t kFirstLeadOut = 6750, kLaterLeadOut = 2250, kLeadInAndPregap = 4500 + 150;

// The descriptors of an answer whose length field counts exactly the bytes that came back, as a whole number
// of descriptors of `size` bytes; empty when it does not.
std::span<const uint8_t> Descriptors(const std::vector<uint8_t>& answer, size_t size) {
    if (answer.size() < kHeader + size || size_t{bytes::Be16(answer.data())} + 2 != answer.size() ||
        (answer.size() - kHeader) % size != 0)
        return {};
    return std::span<const uint8_t>(answer).subspan(kHeader);
}

// A track or lead-out time of the program area: a real time (seconds below 60, frames below 75) from
// 00:02:00 on, below the lead-in's 90:00:00; -1 for any other.
int64_t ProgramAreaBlock(const uint8_t* msf) {
    if (msf[1] >= 60 || msf[2] >= 75)
        return -1;
    const int32_t block = MsfToLba(msf[0], msf[1], msf[2]);
    return msf[0] >= 90 || block < 0 ? -1 : block;
}

// The points of one session of the full TOC met so far.
struct SessionPoints {
    IsoTocSession session;
    bool a0 = false, a1 = false, a2 = false;
};

// One descriptor's point into its session; false when it cannot be one of a full TOC: a Q mode other than 1
// and 5, a point of mode 1 that no lead-in carries, a point given twice, a number or time out of range.
bool TakePoint(const uint8_t* d, SessionPoints& p) {
    const uint8_t adr = d[1] >> 4, control = d[1] & 0x0F, point = d[3];
    IsoTocSession& s = p.session;
    if (adr == 5) {
        if (point == 0xB0) {
            s.nextProgramArea = static_cast<uint32_t>(MsfToLba(d[4], d[5], d[6]));
            s.mode5Pointers = d[7];
            s.recordingAreaLeadOut = static_cast<uint32_t>(MsfToLba(d[8], d[9], d[10]));
        } else if (point == 0xC0) {
            s.leadIn = static_cast<uint32_t>(MsfToLba(d[8], d[9], d[10]));
        }
        return true; // the other mode 5 points (B1-B4, C1, skip pointers) say nothing the disc model keeps
    }
    if (adr != 1)
        return false;
    if (point == 0xA0 || point == 0xA1) {
        bool& seen = point == 0xA0 ? p.a0 : p.a1;
        if (seen || d[8] < 1 || d[8] > kMaxNumber)
            return false;
        seen = true;
        if (point == 0xA1) {
            s.lastTrack = d[8];
            return true;
        }
        s.firstTrack = d[8];
        s.discType = d[9];
        s.control = control;
        return d[9] == 0x00 || d[9] == 0x10 || d[9] == 0x20;
    }
    if (point == 0xA2) {
        const int64_t leadOut = ProgramAreaBlock(d + 8);
        if (p.a2 || leadOut < 0)
            return false;
        p.a2 = true;
        s.leadOut = static_cast<uint32_t>(leadOut);
        return true;
    }
    if (point < 1 || point > kMaxNumber)
        return false;
    // A track at 00:00:00 starts at block 0 (an emulated drive's own way of writing it).
    const int64_t start = (d[8] | d[9] | d[10]) == 0 ? 0 : ProgramAreaBlock(d + 8);
    if (start < 0)
        return false;
    s.tracks.push_back({point, control, static_cast<uint32_t>(start)});
    return true;
}

// Whether the sessions read are those of a disc: every session with its A0, A1 and A2; its tracks numbered
// from A0's first to A1's last, each once and in order, starting in order before its lead-out; each session
// after the one before it, in numbers and in blocks.
bool SessionsHold(const std::vector<SessionPoints>& sessions) {
    uint32_t end = 0;
    uint8_t lastNumber = 0;
    for (const SessionPoints& p : sessions) {
        const IsoTocSession& s = p.session;
        if (!p.a0 || !p.a1 || !p.a2 || s.firstTrack > s.lastTrack || s.firstTrack <= lastNumber ||
            s.tracks.size() != size_t{s.lastTrack} - s.firstTrack + 1u)
            return false;
        for (size_t i = 0; i < s.tracks.size(); ++i) {
            const IsoTocTrack& t = s.tracks[i];
            if (t.number != s.firstTrack + i || t.start < end || t.start >= s.leadOut)
                return false;
            end = t.start + 1;
        }
        end = s.leadOut;
        lastNumber = s.lastTrack;
    }
    return true;
}

// The sessions of a full TOC answer (READ TOC format 2), or false when the answer cannot be one: its length
// must count the bytes that came back and be 11-byte descriptors after the 4-byte header (a formatted TOC is
// 8-byte ones: its length less 2 is a multiple of 8); its header names sessions 1 to N; each descriptor
// belongs to the session being read or the next (a formatted answer's reserved first byte names session 0);
// and the points describe a disc (TakePoint, SessionsHold).
bool ParseFullToc(const std::vector<uint8_t>& answer, IsoDiscToc& toc) {
    const std::span<const uint8_t> d = Descriptors(answer, kFullDescriptor);
    if (d.empty() || answer[2] != 1 || answer[3] < 1 || answer[3] > kMaxNumber)
        return false;
    std::vector<SessionPoints> sessions;
    for (size_t off = 0; off < d.size(); off += kFullDescriptor) {
        const uint8_t number = d[off];
        if (number < 1 || number > answer[3] || number < sessions.size() || number > sessions.size() + 1)
            return false;
        if (number > sessions.size()) {
            sessions.emplace_back();
            sessions.back().session.number = number;
        }
        if (!TakePoint(&d[off], sessions.back()))
            return false;
    }
    if (sessions.size() != answer[3] || !SessionsHold(sessions))
        return false;
    toc.sessions.clear();
    for (SessionPoints& p : sessions)
        toc.sessions.push_back(std::move(p.session));
    return true;
}

// The tracks of a formatted TOC answer (READ TOC format 0, block addresses) and its lead-out, or false when
// it cannot be one: 8-byte descriptors counted exactly by its length, one for each track from the header's
// first to its last, in order, then the lead-out (AA); the starts in order and the lead-out after them.
bool ParseFormattedToc(const std::vector<uint8_t>& answer, std::vector<IsoTocTrack>& tracks,
                       uint32_t& leadOut) {
    const std::span<const uint8_t> d = Descriptors(answer, kFormattedDescriptor);
    const uint8_t first = answer.size() > 3 ? answer[2] : 0, last = answer.size() > 3 ? answer[3] : 0;
    if (d.empty() || first < 1 || last < first || last > kMaxNumber ||
        d.size() / kFormattedDescriptor != size_t{last} - first + 2u)
        return false;
    tracks.clear();
    int64_t previous = -1;
    for (size_t off = 0; off < d.size(); off += kFormattedDescriptor) {
        const bool isLeadOut = off + kFormattedDescriptor == d.size();
        const uint8_t number = d[off + 2];
        const auto start = static_cast<int32_t>(bytes::Be32(&d[off + 4]));
        if (number != (isLeadOut ? kLeadOutTrack : first + off / kFormattedDescriptor) || start <= previous)
            return false;
        previous = start;
        if (isLeadOut)
            leadOut = static_cast<uint32_t>(start);
        else
            tracks.push_back({number, static_cast<uint8_t>(d[off + 1] & 0x0F), static_cast<uint32_t>(start)});
    }
    return true;
}

// The number of the last session and the index in `tracks` of its first track, from the session information
// (READ TOC format 1): a 12-byte answer whose track is one of the formatted TOC's, starting where that one
// says. A single session's own track is not looked at (some drives leave it 0).
bool ParseSessionInfo(const std::vector<uint8_t>& answer, const std::vector<IsoTocTrack>& tracks,
                      uint8_t& sessions, size_t& lastFirst) {
    const std::span<const uint8_t> d = Descriptors(answer, kFormattedDescriptor);
    if (d.size() != kFormattedDescriptor || answer[2] != 1 || answer[3] < 1 || answer[3] > kMaxNumber)
        return false;
    sessions = answer[3];
    lastFirst = 0;
    if (sessions == 1)
        return true;
    for (size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].number == d[2] && tracks[i].start == bytes::Be32(&d[4]))
            lastFirst = i;
    // Every session holds a track: the sessions before the last need one each.
    return lastFirst >= size_t{sessions} - 1 && tracks[lastFirst].number == d[2];
}

// Sessions from the formatted TOC: the tracks before the last session's first track go one to each session
// before it (the last of those taking any left over: the formatted TOC does not say where they part), and
// each session but the last ends where a recorder ends it before the next (or at the next, when they abut).
void SessionsFromTracks(const std::vector<IsoTocTrack>& tracks, uint8_t count, size_t lastFirst,
                        uint32_t leadOut, IsoDiscToc& toc) {
    toc.sessions.assign(count, IsoTocSession{});
    for (size_t i = 0; i < tracks.size(); ++i) {
        const size_t k = i >= lastFirst ? count - 1u : std::min<size_t>(i, count - 2u);
        toc.sessions[k].tracks.push_back(tracks[i]);
    }
    for (size_t k = 0; k < count; ++k) {
        IsoTocSession& s = toc.sessions[k];
        s.number = static_cast<uint8_t>(k + 1);
        s.firstTrack = s.tracks.front().number;
        s.lastTrack = s.tracks.back().number;
        s.control = s.tracks.front().control;
        s.leadOut = leadOut;
        if (k + 1 < count) {
            const uint32_t next = tracks[k + 1 < count - 1u ? k + 1 : lastFirst].start;
            const uint32_t gap = (k == 0 ? kFirstLeadOut : kLaterLeadOut) + kLeadInAndPregap;
            s.leadOut = next > gap && next - gap > s.tracks.back().start ? next - gap : next;
            s.leadOutEstimated = true;
        }
    }
}

// The fallback of a drive without a usable full TOC: formats 0 and 1 with block addresses, which stay exact
// where a time could not (a disc beyond 99:59:74).
int ReadFormattedSessions(uint16_t device, IsoDiscToc& toc) {
    std::vector<uint8_t> answer;
    int rc = ReadTocAnswer(device, 0, kFormattedToc, answer);
    if (rc != ISO_OK)
        return rc;
    std::vector<IsoTocTrack> tracks;
    uint32_t leadOut = 0;
    if (!ParseFormattedToc(answer, tracks, leadOut))
        return ISO_ERR_TOC;
    uint8_t sessions = 1;
    size_t lastFirst = 0;
    AspiSense sense;
    rc = ReadTocAnswer(device, 0, kSessionInfo, answer, 0xFFFF, &sense);
    if (rc != ISO_OK && sense.key != kSenseIllegalRequest)
        return rc;
    // A drive without session information holds one session.
    if (rc == ISO_OK && !ParseSessionInfo(answer, tracks, sessions, lastFirst))
        return ISO_ERR_TOC;
    SessionsFromTracks(tracks, sessions, lastFirst, leadOut, toc);
    toc.fromFormattedToc = true;
    return ISO_OK;
}

} // namespace

int iso_internal::ReadTocAnswer(uint16_t device, uint8_t msf, uint8_t format, std::vector<uint8_t>& answer,
                                uint16_t limit, AspiSense* sense) {
    AspiOutcome outcome;
    int rc;
    try {
        rc = Aspi_ReadTocAnswer(device, msf, format, answer, limit, &outcome);
    } catch (const std::bad_alloc&) {
        answer.clear();
        return ISO_ERR_NO_MEMORY;
    }
    if (sense)
        *sense = outcome.sense;
    return rc == ASPI_OK ? ISO_OK : rc;
}

int Iso_ReadDiscToc(uint16_t device, IsoDiscToc* toc) {
    *toc = IsoDiscToc{};
    std::vector<uint8_t> answer;
    AspiSense sense;
    const int rc = ReadTocAnswer(device, 1, kFullToc, answer, 0xFFFF, &sense);
    // A drive refusing the full TOC (a DVD, an old drive) is read through the formatted TOC; any other
    // failure (no disc, a medium error) is the drive's answer to the analysis.
    if (rc != ISO_OK && (rc == ISO_ERR_NO_MEMORY || sense.key != kSenseIllegalRequest))
        return rc;
    if (rc == ISO_OK && ParseFullToc(answer, *toc))
        return ISO_OK;
    return ReadFormattedSessions(device, *toc);
}

int iso_internal::ReadToc(Disc& d, uint8_t msf, uint8_t format) {
    d.tocBuffer.clear();
    d.tocDataLength = 0;
    const int rc = ReadTocAnswer(d.device, msf, format, d.tocBuffer);
    if (rc == ISO_OK)
        d.tocDataLength = Be16(d.tocBuffer, 0);
    return rc;
}
