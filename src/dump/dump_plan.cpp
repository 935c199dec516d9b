// The dump's plan: the verify's tracks of the checked TOC, the gaps an image leaves out found by a few reads,
// the image files and the disc's identity.
#include "dump/dump_plan.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "aspi/aspi_manager.h"
#include "dump/dump_check.h"
#include "verify/sector_check.h"
#include "verify/track_plan.h"

namespace {

constexpr uint8_t kImageAdapter = 1;
using ckvd::drives::kAscLbaOutOfRange;
using ckvd::drives::kSenseIllegalRequest;

// Whether block `lba` is recorded: 1 read, 0 the drive says no such block (ILLEGAL REQUEST, LBA out of
// range), -1 another failure (a damaged block is recorded all the same).
int Recorded(uint16_t device, uint32_t lba, bool audio) {
    uint8_t sector[VERIFY_RAW_BYTES];
    AspiOutcome o;
    const auto outOfRange = [&o] {
        return o.sense.key == kSenseIllegalRequest && o.sense.asc == kAscLbaOutOfRange;
    };
    if ((audio ? Aspi_ReadCd(device, lba, 1, sector, &o) : Aspi_ReadCdRaw(device, lba, 1, sector, &o)) ==
        ASPI_OK)
        return 1;
    if (outOfRange())
        return 0;
    // A drive that gives no whole sectors of this track refuses READ CD itself: ask for the user data.
    if (!audio && o.sense.key == kSenseIllegalRequest) {
        if (Aspi_ReadSectors(device, lba, 2048, 1, sector, &o) == ASPI_OK)
            return 1;
        if (outOfRange())
            return 0;
    }
    return -1;
}

// A track's end that the drive says is not recorded (the pregap an image leaves out before the next
// track): the first such block, found by halving, or the track's end.
uint32_t RecordedEnd(uint16_t device, const DumpTrack& t) {
    const uint32_t end = t.start + t.blocks;
    if (t.blocks < 2 || Recorded(device, end - 1, t.audio) != 0)
        return end;
    uint32_t lo = t.start, hi = end - 1; // lo is taken as recorded, hi is not
    while (hi - lo > 1) {
        const uint32_t mid = lo + (hi - lo) / 2;
        (Recorded(device, mid, t.audio) == 0 ? hi : lo) = mid;
    }
    return hi;
}

// The TOC's sessions and tracks as every drive reads the disc (not the answer's layout, which differs
// between drives), and the sector size.
std::string Identity(const IsoDiscToc& toc, uint32_t sectorBytes) {
    std::string text = "sector " + std::to_string(sectorBytes) + "\n";
    for (const IsoTocSession& s : toc.sessions) {
        text += "session " + std::to_string(s.number) + " lead-out " + std::to_string(s.leadOut) + "\n";
        for (const IsoTocTrack& t : s.tracks)
            text += "track " + std::to_string(t.number) + " " + std::to_string(t.control & 0x04) + " " +
                    std::to_string(t.start) + "\n";
    }
    return Dump_Sha1(text);
}

// Why the disc is no single data session, for an .iso; empty when it is one.
std::string NotOneDataSession(const std::vector<VerifyTrack>& tracks) {
    std::set<int> sessions;
    for (const VerifyTrack& t : tracks) {
        sessions.insert(t.session);
        if (t.audio)
            return "track " + std::to_string(t.number) + " is audio";
    }
    if (sessions.size() > 1)
        return "the disc has " + std::to_string(sessions.size()) + " sessions";
    return tracks.empty() ? "the disc has no tracks" : "";
}

std::string BinName(const std::string& out, int session, bool several) {
    const std::string base = out.substr(0, out.size() - 4);
    return several && session > 1 ? base + "-session" + std::to_string(session) + ".bin" : base + ".bin";
}

} // namespace

int Dump_MakePlan(uint16_t device, DumpFormat format, const std::string& out, DumpPlan& plan,
                  std::string& why) {
    plan = DumpPlan{};
    plan.format = format;
    plan.sectorBytes = format == DumpFormat::Iso ? 2048 : VERIFY_RAW_BYTES;
    const DeviceEntry* dev = Aspi_GetDevice(device);
    plan.imageDrive = dev && dev->hostAdapterId == kImageAdapter;
    std::vector<VerifyTrack> tracks;
    IsoDiscToc toc;
    if (const int rc = Verify_PlanTracks(device, -1, Verify_BlockLimit(device), tracks, toc); rc != 1)
        return rc;
    if (format == DumpFormat::Iso) {
        why = NotOneDataSession(tracks);
        if (!why.empty())
            return 0;
    }
    plan.identity = Identity(toc, plan.sectorBytes);
    const bool several = toc.sessions.size() > 1;
    for (const VerifyTrack& v : tracks) {
        DumpTrack t;
        t.session = v.session;
        t.number = v.number;
        t.audio = v.audio;
        t.start = v.start;
        t.blocks = v.blocks;
        if (format == DumpFormat::Cue) {
            const std::string file = BinName(out, t.session, several);
            if (plan.files.empty() || plan.files.back() != file)
                plan.files.push_back(file);
        } else if (plan.files.empty()) {
            plan.files.push_back(out);
        }
        t.file = plan.files.size() - 1;
        plan.tracks.push_back(t);
    }
    for (size_t i = 0; format == DumpFormat::Cue && i + 1 < plan.tracks.size(); ++i) {
        DumpTrack& t = plan.tracks[i];
        if (plan.tracks[i + 1].session != t.session)
            continue;
        const uint32_t end = RecordedEnd(device, t);
        plan.tracks[i + 1].pregap = t.start + t.blocks - end;
        t.blocks = end - t.start;
    }
    // A first track after LBA 0 starts where the disc has it: audio before it (a hidden track) is copied as
    // its INDEX 00, what precedes a data track is a PREGAP of the sheet.
    if (format == DumpFormat::Cue && !plan.tracks.empty() && plan.tracks.front().start > 0) {
        DumpTrack& first = plan.tracks.front();
        if (first.audio) {
            first.hidden = first.start;
            first.blocks += first.start;
            first.start = 0;
        } else {
            first.pregap = first.start;
        }
    }
    std::vector<uint64_t> fileBytes(plan.files.size());
    for (DumpTrack& t : plan.tracks) {
        t.at = plan.total;
        t.byte = fileBytes[t.file];
        plan.total += t.blocks;
        fileBytes[t.file] += uint64_t{t.blocks} * plan.sectorBytes;
    }
    return 1;
}

uint64_t Dump_PlanIndex(const DumpPlan& plan, uint32_t lba) {
    for (const DumpTrack& t : plan.tracks)
        if (lba >= t.start && lba - t.start < t.blocks)
            return t.at + (lba - t.start);
    return UINT64_MAX;
}

const DumpTrack& Dump_TrackAt(const DumpPlan& plan, uint64_t at) {
    const auto after = std::upper_bound(plan.tracks.begin(), plan.tracks.end(), at,
                                        [](uint64_t i, const DumpTrack& t) { return i < t.at; });
    return *(after == plan.tracks.begin() ? after : after - 1);
}

uint32_t Dump_Lba(const DumpPlan& plan, uint64_t at) {
    const DumpTrack& t = Dump_TrackAt(plan, at);
    return static_cast<uint32_t>(t.start + (at - t.at));
}
