// The tracks of a disc as its checked TOC gives them, each from its start to the next track of its session
// (the last to its session's lead-out), bounded by the blocks a CD addresses or the drive's capacity: what
// the verify reads and the dump copies.
#pragma once

#include <cstdint>
#include <vector>

#include "iso9660/iso_disc_toc.h"

// How a track's blocks are checked.
enum class VerifyCheck : uint8_t {
    Pending,  // not yet known (before its first read)
    Sectors,  // whole sectors: sync, header, EDC and ECC
    UserData, // 2048-byte blocks: read only (the drive or image gives no whole sectors)
    Audio,    // CD-DA: read only
    // Whole sectors the drive gives without EDC and ECC: the user data read, sync and header checked
    NoErrorCodes,
};

struct VerifyTrack {
    int session = 0; // 1..
    int number = 0;  // track number
    bool audio = false;
    uint32_t start = 0;    // first block
    uint32_t recorded = 0; // blocks of the track in the TOC
    // Blocks verified: more than recorded where the session's volume descriptor claims blocks past the
    // track (an image cut short), so what the file system expects there is read and found missing.
    uint32_t blocks = 0;
    VerifyCheck check = VerifyCheck::Pending;
    // The last track of a session whose lead-out the TOC did not give (a drive without a full TOC): a data
    // track ends where its volume does, never past where the lead-out was estimated.
    bool endEstimated = false;
};

// Blocks a plan may hold on the disc of `device`: what a CD addresses, or more where the drive's READ
// CAPACITY says so (a DVD image); no TOC is taken to claim more.
uint64_t Verify_BlockLimit(uint16_t device);

// The tracks of every session of the disc in `device` (of the 0-based `session` alone when not -1), in
// block order, their `recorded` and `blocks` set, each below `limit`; the TOC they come from into `toc`.
// 1, or the TOC read's failure code.
int Verify_PlanTracks(uint16_t device, int session, uint64_t limit, std::vector<VerifyTrack>& tracks,
                      IsoDiscToc& toc);
