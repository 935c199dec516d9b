// The tracks of the checked TOC, laid end to end within their sessions.
#include "verify/track_plan.h"

#include <algorithm>
#include <map>

#include "aspi/aspi_manager.h"
#include "iso9660/iso_model.h"
#include "platform/cd/cd_time.h"

uint64_t Verify_BlockLimit(uint16_t device) {
    uint32_t lastLba = 0, blockLength = 0;
    uint64_t limit = ckvd::cd::kMaxCdBlocks;
    if (Aspi_ReadCapacity(device, &lastLba, &blockLength) == ASPI_OK)
        limit = std::max<uint64_t>(limit, uint64_t{lastLba} + 1);
    return limit;
}

int Verify_PlanTracks(uint16_t device, int session, uint64_t limit, std::vector<VerifyTrack>& tracks,
                      IsoDiscToc& toc) {
    tracks.clear();
    toc = IsoDiscToc{};
    // The tracks of the TOC the disc analysis reads, checked as it checks them.
    if (const int rc = Iso_ReadDiscToc(device, &toc); rc != ISO_OK)
        return rc;
    std::map<int, uint32_t> leadouts; // A2 of each session
    for (const IsoTocSession& s : toc.sessions) {
        leadouts[s.number] = s.leadOut;
        for (const IsoTocTrack& track : s.tracks) {
            if (session >= 0 && s.number != session + 1)
                continue;
            VerifyTrack t;
            t.session = s.number;
            t.number = track.number;
            t.audio = !(track.control & 0x04);
            t.start = track.start;
            t.check = t.audio ? VerifyCheck::Audio : VerifyCheck::Pending;
            t.endEstimated = s.leadOutEstimated && &track == &s.tracks.back();
            tracks.push_back(t);
        }
    }
    std::sort(tracks.begin(), tracks.end(),
              [](const VerifyTrack& a, const VerifyTrack& b) { return a.start < b.start; });
    // A track ends where the next one of its session begins, the last at its session's lead-out; never
    // past the next track of the disc, so no block is planned twice whatever the TOC says.
    const uint64_t bound = std::min<uint64_t>(limit, UINT32_MAX);
    for (size_t i = 0; i < tracks.size(); ++i) {
        VerifyTrack& t = tracks[i];
        uint32_t end = leadouts.count(t.session) ? leadouts[t.session] : t.start;
        if (i + 1 < tracks.size() && (tracks[i + 1].session == t.session || tracks[i + 1].start < end))
            end = tracks[i + 1].start;
        t.recorded = t.blocks =
            end > t.start
                ? static_cast<uint32_t>(std::min<uint64_t>(end, bound) - std::min<uint64_t>(t.start, bound))
                : 0;
    }
    return ISO_OK;
}
