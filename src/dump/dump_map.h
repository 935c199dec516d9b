// The map of a dump: what became of each block, as runs of block addresses in a text file beside the image,
// so a later run reads only what is still missing.
//
//   ckvd-dump-map 1 disc=SHA1 sector=2352 blocks=N
//   0-1023 read
//   1024-1030 unreadable
//
// The header names the format's version and the disc (a hash of its TOC and the sector size); each line
// after it a run of blocks FIRST-LAST (disc addresses, inclusive) in one state. Blocks no line names are
// not tried.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dump/dump_plan.h"

constexpr uint8_t DUMP_NOT_TRIED = 0;
constexpr uint8_t DUMP_READ = 1;
constexpr uint8_t DUMP_RETRIED = 2; // unreadable once, read on a later pass
constexpr uint8_t DUMP_UNREADABLE = 3;

const char* Dump_StateName(uint8_t state);

// The map's text of `states` (one a planned block, in plan order).
std::string Dump_MapText(const DumpPlan& plan, const std::vector<uint8_t>& states);
// The states of a map's `text` for `plan` into `states` (sized to the plan); false with why when it is no
// map, a map of another disc or sector size, or names blocks the plan does not hold.
bool Dump_ParseMap(const std::string& text, const DumpPlan& plan, std::vector<uint8_t>& states,
                   std::string& why);

// The map written to `path` through a new file renamed over it, so a map on disk is always whole.
bool Dump_WriteMap(const std::string& path, const DumpPlan& plan, const std::vector<uint8_t>& states,
                   std::string& why);

// The runs of unreadable blocks, "FIRST-LAST" (or "N" for one block), in plan order.
std::vector<std::string> Dump_UnreadableRuns(const DumpPlan& plan, const std::vector<uint8_t>& states);
