// A disc's analysis on a worker thread, for the window: the worker reads the drive into a Disc of its own
// (touching neither the disc shown nor any global of the window), and the window takes that Disc once the
// work has ended. The reason of a failure is put in words on the worker too, as it reads the image again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "appmodel/background_job.h"
#include "iso9660/disc.h"

class DiscLoadJob {
  public:
    // Starts the analysis of the disc in `device` (Here: runs it to its end first).
    explicit DiscLoadJob(uint16_t device, BackgroundJob::Where where = BackgroundJob::Where::OwnThread);

    uint16_t Device() const { return m_device; }
    bool Finished() const { return m_job->Finished(); }
    void Cancel() { m_job->Cancel(); }
    bool Cancelled() const { return m_job->Cancelled(); }
    void Wait() { m_job->Wait(); }
    // The directories read so far ("Reading the disc", done = directories, total unknown).
    BackgroundJob::Progress Now() const;
    // After Wait: the analysis (ISO_OK or the failure's code, ISO_ERR_NO_MEMORY for work that threw) and,
    // for a failure, App_LoadFailureReason.
    DiscAnalysis TakeAnalysis();
    const std::string& Reason() const { return m_reason; }

  private:
    uint16_t m_device;
    DiscAnalysis m_analysis;
    const Disc* m_reading = nullptr; // m_analysis.disc until it is taken
    std::string m_reason;
    std::unique_ptr<BackgroundJob> m_job; // last, so that its thread is joined before the rest goes
};
