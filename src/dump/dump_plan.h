// What a dump copies: the tracks of the disc's checked TOC, each block's place in the image, and the
// disc's identity that ties a map to its disc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The image a dump writes: the user data of a data session (.iso), or whole sectors of every track in a
// .bin beside a cue sheet (one .bin a session).
enum class DumpFormat : uint8_t { Iso, Cue };

// Where a data track's whole sectors come from: the drive, or made here from their user data because the
// drive refuses READ CD of the track, or because it makes the sectors up itself (EDC and ECC all zero, a
// header it may not even write in BCD, as QEMU's ATAPI drives do), which would store its made-up bytes as
// the disc's.
constexpr uint8_t DUMP_SECTORS_READ = 0, DUMP_SECTORS_REFUSED = 1, DUMP_SECTORS_MADE_UP = 2;

struct DumpTrack {
    int session = 0, number = 0;
    bool audio = false;
    uint32_t start = 0;  // first block
    uint32_t blocks = 0; // blocks copied into the image
    // Blocks before `start` the drive says are not recorded (a gap an image leaves out before a track):
    // not in the image, a PREGAP of the cue sheet.
    uint32_t pregap = 0;
    // Blocks of the track before its INDEX 01: audio hidden before the first track, copied as its INDEX 00.
    uint32_t hidden = 0;
    size_t file = 0;   // the image file holding it (0: OUT itself, or the first .bin)
    uint64_t at = 0;   // plan index of its first block
    uint64_t byte = 0; // its first byte in that file
};

struct DumpPlan {
    DumpFormat format = DumpFormat::Iso;
    uint32_t sectorBytes = 2048;
    std::vector<DumpTrack> tracks;
    std::vector<std::string> files; // the image files: OUT for an .iso; a .bin a session for a cue
    uint64_t total = 0;             // blocks planned
    std::string identity;           // SHA-1 of the TOC's sessions and tracks and of the sector size
    bool imageDrive = false;        // longer runs from an image drive
};

// The plan of a dump of the disc in `device` into `out` (its extension chose `format`). 1; else 0 with
// why the disc cannot go into that format (an audio or multi-session disc as .iso), or the TOC read's code.
int Dump_MakePlan(uint16_t device, DumpFormat format, const std::string& out, DumpPlan& plan,
                  std::string& why);

// The plan index of block `lba`, or UINT64_MAX when no track copies it.
uint64_t Dump_PlanIndex(const DumpPlan& plan, uint32_t lba);
// The track holding plan index `at`.
const DumpTrack& Dump_TrackAt(const DumpPlan& plan, uint64_t at);
// The block at plan index `at`.
uint32_t Dump_Lba(const DumpPlan& plan, uint64_t at);
