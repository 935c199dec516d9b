// What was dumped, read back from the image files: each whole sector checked (sync, header, EDC, ECC) and
// the CRC32, MD5 and SHA-1 of each track's bytes and of each file, as disc preservation databases list them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dump/dump_plan.h"

struct DumpHashes {
    uint64_t size = 0;
    std::string crc32, md5, sha1; // lowercase hex; CRC32 in 8 digits
};

struct DumpCheck {
    std::vector<DumpHashes> tracks, files; // as the plan's
    std::vector<int> trackMode;            // 0 audio, 1 or 2 as a data track's first sector says (1 if none)
    uint64_t verified = 0;                 // whole sectors whose checks hold
    uint64_t synthesised = 0;              // sectors the drive made up (EDC and ECC zero), made again here
    uint64_t corrupt = 0;                  // sectors whose checks fail
    std::vector<uint32_t> corruptBlocks;   // the first of them
};

// Reads the plan's files back; false with why when one cannot be read. `made` says which tracks' sectors
// were made here from their user data and why (DUMP_SECTORS_...; sound by making, so not counted as
// verified).
bool Dump_Check(const DumpPlan& plan, const std::vector<uint8_t>& states, const std::vector<uint8_t>& made,
                const std::vector<bool>& remade, DumpCheck& check, std::string& why);

// The SHA-1 of `text` in lowercase hex.
std::string Dump_Sha1(const std::string& text);
