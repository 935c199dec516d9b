// A burned disc read back and held against its image, block by block: the ranges that differ or cannot be
// read. The reading is the caller's (the disc engine's READ(10) of a drive, or the file libburn's stdio:
// pseudo-drive wrote).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BurnRange {
    uint32_t first = 0, last = 0;
    const char* state = ""; // "differ from the image", "unreadable"
};

// Reads `count` 2,048-byte blocks from block `lba` of the burned disc into `out`; false when they cannot be.
using BurnReader = std::function<bool(uint32_t lba, uint16_t count, uint8_t* out)>;

// Compares every block of the image file `image` with the disc's through `read`, the image's first block
// with the disc's block `start` (where its session was written): the ranges of the disc's blocks that are
// not the image's in `bad`, the image's blocks in `blocks`. `progress` (blocks done, of
// all) may stop it by returning false. False with the reason in `error` when the image cannot be read or
// the comparison was stopped.
bool Burn_Compare(const std::string& image, uint32_t start, const BurnReader& read,
                  std::vector<BurnRange>& bad, uint32_t& blocks, std::string& error,
                  const std::function<bool(uint32_t done, uint32_t total)>& progress = {});
