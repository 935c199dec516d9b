// Work that runs on a thread of its own, so the window keeps answering while a disc loads or is verified,
// checked, added to the catalogue or copied: the work says how far it is and asks whether it was cancelled;
// the window reads both from its timer and takes the work's result once it has ended. The work owns what it
// reads (its own disc), so nothing it touches is shared with the window but this job's state.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class BackgroundJob {
  public:
    struct Progress {
        uint64_t done = 0, total = 0; // total 0: not known yet
        std::string what;             // what is being done, for the window's words
    };
    // What the work sees of its job.
    class Control {
      public:
        bool Cancelled() const { return m_job.Cancelled(); }
        // The flag itself, for an engine that looks at it as it goes (Disc::stop).
        const std::atomic<bool>& CancelFlag() const { return m_job.m_cancel; }
        void Report(uint64_t done, uint64_t total, std::string what = {});

      private:
        friend class BackgroundJob;
        explicit Control(BackgroundJob& job) : m_job(job) {}
        BackgroundJob& m_job;
    };
    using Work = std::function<void(Control&)>;

    // Starts `work` on a new thread, or runs it to its end here (for a caller that waits anyway: no thread
    // and its stack for nothing).
    enum class Where { OwnThread, Here };
    explicit BackgroundJob(Work work, Where where = Where::OwnThread);
    // Cancels the work and waits for it: a job never outlives the one who started it.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Asks the work to stop; it ends at its next look at Cancelled().
    void Cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool Cancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    // Whether the work has returned (its result may be read from then on).
    bool Finished() const { return m_finished.load(std::memory_order_acquire); }
    Progress Now() const;
    // Blocks until the work has returned.
    void Wait();
    // What an exception the work let out said; empty when it let none out.
    std::string Failure() const;

  private:
    void Run(const Work& work);

    std::atomic<bool> m_cancel{false}, m_finished{false};
    mutable std::mutex m_mutex;
    Progress m_progress;
    std::string m_failure;
    std::thread m_thread;
};

// For a window's timer over a job whose work hands over copies of what the window shows (views), the newest
// in `published` under `mutex`: takes that one into `view`; true while the work runs. Once it has ended,
// waits for it, puts what an exception it let out said into `failure` and drops the job.
template <typename View>
bool BackgroundJob_TakeView(std::unique_ptr<BackgroundJob>& job, std::mutex& mutex,
                            const std::shared_ptr<const View>& published, std::shared_ptr<const View>& view,
                            std::string& failure) {
    if (!job)
        return false;
    const bool ended = job->Finished(); // before the view is taken, so that the last one is
    {
        std::lock_guard lock(mutex);
        if (published)
            view = published;
    }
    if (!ended)
        return true;
    job->Wait();
    failure = job->Failure();
    job.reset();
    return false;
}

// For a model's work on a job (a struct with `job`, `ok` and `error`): waits for it and hands it over, with
// what went wrong in `failure` (what an exception it let out said, else its own error; empty when it went
// well).
template <typename Work>
std::unique_ptr<Work> BackgroundJob_Take(std::unique_ptr<Work>& work, std::string& failure) {
    work->job->Wait();
    std::unique_ptr<Work> done = std::move(work);
    failure = !done->job->Failure().empty() ? done->job->Failure()
              : done->ok                    ? std::string()
              : done->error.empty()         ? std::string("it failed")
                                            : done->error;
    return done;
}
