// Work on threads of its own: a job's progress, cancel and failure as the window's timer reads them. Run
// under ThreadSanitizer in CI (the label "threads").
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "appmodel/background_job.h"

namespace {

void WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 20000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(condition()) << "not reached within 20 s";
}

} // namespace

TEST(BackgroundJobThreads, ProgressIsReadWhileTheWorkRunsAndCancelEndsIt) {
    auto result = std::make_shared<uint64_t>(0);
    BackgroundJob job([result](BackgroundJob::Control& control) {
        uint64_t n = 0;
        while (!control.Cancelled()) {
            control.Report(++n, 0, "counting");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        *result = n;
    });
    WaitUntil([&] { return job.Now().done >= 5; });
    EXPECT_FALSE(job.Finished());
    EXPECT_EQ(job.Now().what, "counting");
    job.Cancel();
    job.Wait();
    EXPECT_TRUE(job.Finished());
    EXPECT_GE(*result, 5u);
    EXPECT_EQ(job.Failure(), "");
}

TEST(BackgroundJobThreads, AFailureIsKeptAndAJobLeftRunningIsStoppedByItsOwner) {
    BackgroundJob failing(
        [](BackgroundJob::Control&) { throw std::runtime_error("block 16 could not be read"); });
    WaitUntil([&] { return failing.Finished(); });
    EXPECT_EQ(failing.Failure(), "block 16 could not be read");

    // A job whose owner goes away while it runs (the window closed during a load) is cancelled and joined.
    auto ended = std::make_shared<std::atomic<bool>>(false);
    {
        BackgroundJob endless([ended](BackgroundJob::Control& control) {
            while (!control.Cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ended->store(true);
        });
    }
    EXPECT_TRUE(ended->load());
}
