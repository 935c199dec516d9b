// The dump's map: a plan of two tracks with a gap between them written as runs of disc addresses, and the
// maps a resume must refuse.
#include <gtest/gtest.h>

#include "dump/dump_map.h"

namespace {

// Track 1 at blocks 0-99, track 2 at 250-299 (a pregap the image leaves out before it).
DumpPlan TwoTracks() {
    DumpPlan plan;
    plan.identity = "abc";
    plan.sectorBytes = 2352;
    plan.tracks = {
        {.session = 1, .number = 1, .start = 0, .blocks = 100},
        {.session = 1, .number = 2, .audio = true, .start = 250, .blocks = 50, .pregap = 150, .at = 100}};
    plan.total = 150;
    return plan;
}

const char* kHeader = "ckvd-dump-map 1 disc=abc sector=2352 blocks=150\n";

TEST(DumpMap, RunsOfStatesByDiscAddress) {
    const DumpPlan plan = TwoTracks();
    std::vector<uint8_t> states(150, DUMP_READ);
    std::fill(states.begin() + 10, states.begin() + 13, DUMP_UNREADABLE);
    states[99] = DUMP_RETRIED;
    std::fill(states.begin() + 140, states.end(), DUMP_NOT_TRIED);
    const std::string text = Dump_MapText(plan, states);
    EXPECT_EQ(text,
              std::string(kHeader) +
                  "0-9 read\n10-12 unreadable\n13-98 read\n99-99 retried\n250-289 read\n290-299 not-tried\n");
    std::vector<uint8_t> back;
    std::string why;
    ASSERT_TRUE(Dump_ParseMap(text, plan, back, why)) << why;
    EXPECT_EQ(back, states);
    EXPECT_EQ(Dump_UnreadableRuns(plan, back), std::vector<std::string>{"10-12"});
    // Blocks no line names are not tried.
    ASSERT_TRUE(Dump_ParseMap(std::string(kHeader) + "250-251 read\n", plan, back, why)) << why;
    EXPECT_EQ(std::count(back.begin(), back.end(), DUMP_READ), 2);
}

TEST(DumpMap, RefusesWhatIsNoMapOfThisPlan) {
    const DumpPlan plan = TwoTracks();
    const std::string header = kHeader;
    const std::pair<std::string, const char*> cases[] = {
        {"", "no map"},
        {"ckvd-dump-map 2 disc=abc sector=2352 blocks=150\n", "no map"},
        {"ckvd-dump-map 1 disc=abd sector=2352 blocks=150\n", "another disc"},
        {"ckvd-dump-map 1 disc=abc sector=2048 blocks=150\n", "another disc"},
        {header + "0-9 read\n100-100 read\n", "line 3 names blocks"},
        {header + "95-260 read\n", "line 2 names blocks"},
        {header + "0-4294967295 read\n", "line 2 names blocks"},
        {header + "0-99999999999 read\n", "line 2 is no"},
        {header + "9-3 read\n", "line 2 is no"},
        {header + "3 read\n", "line 2 is no"},
        {header + "0-3 done\n", "line 2 is no"},
        {header + "-3-4 read\n", "line 2 is no"},
    };
    for (const auto& [text, said] : cases) {
        std::vector<uint8_t> states;
        std::string why;
        EXPECT_FALSE(Dump_ParseMap(text, plan, states, why)) << text;
        EXPECT_NE(why.find(said), std::string::npos) << text << ": " << why;
    }
}

} // namespace
