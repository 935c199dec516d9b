// Addresses on a CD, in one place: absolute time (minutes, seconds and frames of 1/75 s) and logical block
// addresses, which count from the end of the first track's two-second pregap.
#pragma once

#include <cstdint>

namespace ckvd::cd {

// Logical block address on the disc (may be negative only for lead-in times).
using lba_t = int32_t;

constexpr int32_t kFramesPerSecond = 75;
constexpr int32_t kFramesPerMinute = 60 * kFramesPerSecond;
// The absolute time of LBA 0, 00:02:00: the first track's pregap lies before it.
constexpr int32_t kLba0Frames = 2 * kFramesPerSecond;
// Times go round after 100 minutes: the lead-in's negative addresses are times from 90:00:00 on.
constexpr int32_t kTimeWrapFrames = 100 * kFramesPerMinute;
constexpr uint8_t kLeadInMinutes = 90;

struct Msf {
    uint8_t m = 0, s = 0, f = 0;
};

// A time as a count of frames.
constexpr int32_t msf_frames(uint8_t m, uint8_t s, uint8_t f) {
    return int32_t{m} * kFramesPerMinute + int32_t{s} * kFramesPerSecond + f;
}

// The absolute time of `lba`; a negative LBA (the lead-in) is given as a time before 100:00:00.
constexpr Msf lba_to_msf(int64_t lba) {
    int64_t t = lba + kLba0Frames;
    if (t < 0)
        t += kTimeWrapFrames;
    return {static_cast<uint8_t>(t / kFramesPerMinute % 100), static_cast<uint8_t>(t / kFramesPerSecond % 60),
            static_cast<uint8_t>(t % kFramesPerSecond)};
}

// The block at a time of the program area (up to 99:59:74).
constexpr lba_t msf_to_lba(uint8_t m, uint8_t s, uint8_t f) {
    return msf_frames(m, s, f) - kLba0Frames;
}

// The block at a time a TOC gives, which may lie in the lead-in: from 90:00:00 on, numbered from -450,150 as
// MMC has it (97:27:00 is -11,625).
constexpr lba_t toc_msf_to_lba(uint8_t m, uint8_t s, uint8_t f) {
    return m >= kLeadInMinutes ? msf_to_lba(m, s, f) - kTimeWrapFrames : msf_to_lba(m, s, f);
}

static_assert(msf_to_lba(0, 2, 0) == 0 && toc_msf_to_lba(97, 27, 0) == -11625);
static_assert(lba_to_msf(-11625).m == 97 && lba_to_msf(-11625).s == 27 && lba_to_msf(-1).f == 74);

// Blocks a CD can address: up to 99:59:74 of absolute time. Sheets and raw images, which describe CDs, are
// held to it; a plain image may be larger (a DVD's).
constexpr uint64_t kMaxCdBlocks = msf_to_lba(99, 59, 74) + 1;

// Session layout of a recorder: 6750 lead-out sectors after the first session, 2250 after later ones,
// then 4500 lead-in and 150 pregap before the next session's first track.
constexpr lba_t kFirstLeadoutSectors = 6750;
constexpr lba_t kLaterLeadoutSectors = 2250;
constexpr lba_t kLeadinSectors = 4500;
constexpr lba_t kPregapSectors = kLba0Frames;

} // namespace ckvd::cd
