// The texts of a verify's tracks, damaged ranges, entries and summary.
#include "verify/verify_text.h"

#include <set>

#include "iso9660/disc.h"
#include "listing/disc_text.h"
#include "platform/text/grouped_number.h"

using ckvd::text::grouped;

std::vector<VerifyDamagedEntry> Verify_DamagedEntries(const Disc& disc, int session) {
    std::vector<VerifyDamagedEntry> found;
    int number = 1;
    for (SessionTree* t = disc.model ? disc.model->firstTree : nullptr; t; t = t->next, ++number) {
        if (session >= 0 && number != session + 1)
            continue;
        if (t->root && (t->root->flags & ISO_UNREADABLE))
            found.push_back({number, "/", 'D', Iso_UnreadableReason(disc, t->root), t->root});
        Report_WalkTree(disc, t->root, [&](FileEntry& e, const std::string& path, size_t) {
            if (e.flags & ISO_UNREADABLE)
                found.push_back(
                    {number, path, e.type == 'F' ? 'F' : 'D', Iso_UnreadableReason(disc, &e), &e});
        });
    }
    return found;
}

std::string Verify_Count(uint64_t n, const char* one, const char* many) {
    return grouped(n) + " " + (n == 1 ? one : many);
}

std::string Verify_TrackLine(const VerifyTrack& t) {
    static const char* const kChecks[] = {"not read", "whole sectors checked (sync, header, EDC, ECC)",
                                          "user data read (no whole sectors to check)", "audio read",
                                          kNoErrorCodesCheck};
    std::string text = "(Session" + std::to_string(t.session) + ") track " + std::to_string(t.number) + ", " +
                       (t.audio ? "audio" : "data") + ", blocks " + grouped(t.start) + "-" +
                       grouped(uint64_t{t.start} + t.blocks - (t.blocks ? 1 : 0)) + ": " +
                       kChecks[static_cast<int>(t.check)];
    if (t.blocks > t.recorded)
        text += "; its volume claims " + grouped(t.blocks - t.recorded) + " blocks past the track";
    return text;
}

std::string Verify_BlockSpan(uint64_t first, uint64_t count) {
    return count == 1 ? grouped(first) : grouped(first) + "-" + grouped(first + count - 1);
}

const char* Verify_StateName(uint8_t state) {
    return state == VERIFY_CORRUPT ? "corrupt" : "unreadable";
}

std::string Verify_RangeLine(const VerifyRange& r) {
    return (r.count == 1 ? "block " : "blocks ") + Verify_BlockSpan(r.first, r.count) + ": " +
           Verify_StateName(r.state) + ": " + r.reason;
}

std::string Verify_HitName(int session, const std::string& path, char type) {
    return "(Session" + std::to_string(session) + ") " + path + (type == 'F' || path == "/" ? "" : "/");
}

std::string Verify_Summary(const DiscVerify& v, const std::vector<VerifyRange>& ranges,
                           const std::vector<VerifyDamagedEntry>& damaged) {
    std::set<std::pair<int, std::string>> files, directories; // each once, however many ranges hit it
    for (const VerifyRange& r : ranges)
        for (const VerifyHit& h : v.Hits(r))
            (h.type == 'F' ? files : directories).insert({h.session, h.path});
    const std::vector<uint64_t> counts = v.Counts();
    std::string text = Verify_Count(v.Total(), "block", "blocks") + " in " +
                       Verify_Count(v.Tracks().size(), "track", "tracks") + ": " +
                       grouped(counts[VERIFY_READABLE]) + " sound, " + grouped(counts[VERIFY_CORRUPT]) +
                       " corrupt, " + grouped(counts[VERIFY_UNREADABLE]) + " unreadable";
    if (counts[VERIFY_NOT_READ])
        text += ", " + grouped(counts[VERIFY_NOT_READ]) + " not read";
    if (counts[VERIFY_GAP])
        text += ", " + grouped(counts[VERIFY_GAP]) + " in gaps before tracks that the image leaves out";
    if (counts[VERIFY_NO_EDC])
        text += ", " + grouped(counts[VERIFY_NO_EDC]) +
                " with no EDC/ECC from the drive (user data read, sync, header and mode checked)";
    if (!ranges.empty())
        text += "; " + Verify_Count(ranges.size(), "damaged range hits", "damaged ranges hit") + " " +
                Verify_Count(files.size(), "file", "files") + " and " +
                Verify_Count(directories.size(), "directory", "directories");
    if (!damaged.empty())
        text +=
            "; " + Verify_Count(damaged.size(), "entry", "entries") + " of the file system could not be read";
    return text;
}
