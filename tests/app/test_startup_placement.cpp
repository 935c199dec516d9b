// Start-up order of the engine modules, the instance guard, the show command and the window placement.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "appmodel/app_startup.h"
#include "appmodel/window_placement.h"

namespace {

std::vector<std::string> g_calls;
int g_failAt = -1; // module index whose initialise fails

template <int N> int Init() {
    g_calls.push_back("init" + std::to_string(N));
    return N == g_failAt ? 0x99 : 1;
}
template <int N> void Term() {
    g_calls.push_back("term" + std::to_string(N));
}

const EngineModule kFakeModules[] = {
    {Init<0>, Term<0>, "ASPI Manager Initialize Error"},
    {Init<1>, Term<1>, "ISO9660 Manager Initialize Error"},
    {Init<2>, Term<2>, "CDA Analyzer Initialize Error"},
    {Init<3>, Term<3>, "MP3 Analyzer Initialize Error"},
    {Init<4>, Term<4>, "WMF Analyzer Initialize Error"},
    {Init<5>, Term<5>, "WAV Analyzer Initialize Error"},
    {Init<6>, Term<6>, "JPG Analyzer Initialize Error"},
};

struct FakeGuard final : ckvd::ui::InstanceGuard {
    bool othersHold = false, held = false;
    int releases = 0;
    bool Acquire() override { return held = !othersHold; }
    void Release() override { releases += held, held = false; }
};

// No module failing, each one failing in turn, and another copy holding the instance lock.
TEST(Startup, ModulesComeUpInOrderStopAtAFailureAndAllGoDownInReverse) {
    for (int fail = -2; fail < 7; ++fail) {
        SCOPED_TRACE(fail);
        const bool secondCopy = fail == -2;
        g_calls.clear();
        g_failAt = fail;
        FakeGuard guard;
        guard.othersHold = secondCopy;
        ckvd::ui::RecordingSink sink;
        CKVDAppCore app(guard, sink, kFakeModules);
        EXPECT_EQ(app.InitInstance(), fail == -1);
        EXPECT_EQ(app.AnotherCopyRunning(), secondCopy);
        EXPECT_EQ(sink.shown, fail >= 0 ? std::vector<std::string>{kFakeModules[fail].failureMessage}
                                        : std::vector<std::string>{});
        if (fail >= 0) { // the program's own table has the same messages in the same order
            EXPECT_STREQ(App_EngineModules()[size_t(fail)].failureMessage, kFakeModules[fail].failureMessage);
        }
        std::vector<std::string> expected;
        for (int i = 0; !secondCopy && i <= (fail < 0 ? 6 : fail); ++i)
            expected.push_back("init" + std::to_string(i));
        EXPECT_EQ(g_calls, expected);
        app.ExitInstance();
        for (int i = 6; i >= 0; --i)
            expected.push_back("term" + std::to_string(i));
        EXPECT_EQ(g_calls, expected);
        app.ExitInstance(); // a second exit gives nothing up twice
        EXPECT_EQ(guard.releases, secondCopy ? 0 : 1);
    }
    g_failAt = -1;
    EXPECT_EQ(App_EngineModules().size(), 7u);
}

TEST(Placement, ShowCommandDefaultsAndRoundTrip) {
    ckvd::ui::MemoryProfile p;
    EXPECT_EQ(App_ShowCommand(p), 5);
    EXPECT_EQ(Placement_Read(p).normal, (ScreenRect{0, 0, 640, 400}));
    EXPECT_FALSE(Placement_Read(p).zoomed);
    Placement_Write(p, {{100, 50, 800, 600}, true, true});
    EXPECT_EQ(p.values, (std::map<std::string, int>{
                            {"X", 100}, {"Y", 50}, {"CX", 800}, {"CY", 600}, {"ISZOOM", 1}, {"ISICON", 0}}));
    EXPECT_EQ(App_ShowCommand(p), 3);
    EXPECT_EQ(Placement_Read(p).normal, (ScreenRect{100, 50, 800, 600})); // survives a maximised close
    EXPECT_TRUE(Placement_Read(p).zoomed);
    Placement_Write(p, {{1, 2, 300, 200}, false, true});
    EXPECT_EQ(p.values["ISZOOM"], 0);
    EXPECT_EQ(p.values["ISICON"], 1);
    EXPECT_EQ(App_ShowCommand(p), 2);
}

TEST(Placement, KeptOnScreen) {
    const std::vector<ScreenRect> one = {{0, 0, 1920, 1080}},
                                  two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const struct {
        ScreenRect in;
        const std::vector<ScreenRect>& screens;
        ScreenRect out;
    } cases[] = {
        {{100, 100, 640, 400}, one, {100, 100, 640, 400}}, // on screen: unchanged
        {{5000, 3000, 640, 400}, one, {0, 0, 640, 400}},   // off every monitor: the primary's corner
        {{-2000, -900, 640, 400}, one, {0, 0, 640, 400}},
        {{-100, -20, 640, 400}, one, {0, 0, 640, 400}}, // partly off: pulled in
        {{1800, 1000, 640, 400}, one, {1280, 680, 640, 400}},
        {{10, 10, -5, 0}, one, {10, 10, 640, 400}}, // no size: the default
        {{10, 10, 0, -5}, one, {10, 10, 640, 400}},
        {{0, 0, 2147483647, 2147483647}, one, {0, 0, 1920, 1080}},
        {{-2147483647 - 1, 5, 640, 400}, one, {0, 0, 640, 400}},
        {{2000, 100, 640, 400}, two, {2000, 100, 640, 400}}, // on the second monitor
        {{3100, 100, 640, 400}, two, {2560, 100, 640, 400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.in.x << "," << c.in.y << " " << c.in.width << "x" << c.in.height);
        EXPECT_EQ(Placement_KeepOnScreen(c.in, c.screens), c.out);
    }
}

} // namespace
