// Fuzzes the dump map's reader: arbitrary text as the map beside an image, against a plan of two tracks with
// a gap between them. A map it takes is written again as the same text, and read back as the same states.
#include <cstdint>
#include <string>
#include <vector>

#include "dump/dump_map.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DumpPlan plan;
    plan.identity = "abc";
    plan.sectorBytes = 2352;
    plan.tracks = {
        {.session = 1, .number = 1, .start = 0, .blocks = 100},
        {.session = 1, .number = 2, .audio = true, .start = 250, .blocks = 50, .pregap = 150, .at = 100}};
    plan.total = 150;
    const std::string header = "ckvd-dump-map 1 disc=abc sector=2352 blocks=150\n";
    std::vector<uint8_t> states, again;
    std::string why;
    const std::string text = header + std::string(reinterpret_cast<const char*>(data), size);
    if (!Dump_ParseMap(text, plan, states, why))
        return 0;
    if (states.size() != plan.total || !Dump_ParseMap(Dump_MapText(plan, states), plan, again, why) ||
        again != states)
        __builtin_trap();
    return 0;
}
