#include "appmodel/disc_load_job.h"

#include <utility>

#include "appmodel/disc_analysis.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"

DiscLoadJob::DiscLoadJob(uint16_t device, BackgroundJob::Where where) : m_device(device) {
    // Made here, so that the window may read its count of directories while the worker fills it.
    m_analysis.disc = std::make_unique<Disc>();
    m_reading = m_analysis.disc.get();
    m_job = std::make_unique<BackgroundJob>(
        [this](BackgroundJob::Control& control) {
            Disc& disc = *m_analysis.disc;
            disc.stop = &control.CancelFlag();
            const ckvd::drives::Drive* drive = Aspi_GetDrive(m_device);
            const uint64_t timeouts = drive ? drive->timeouts() : 0;
            m_analysis.result = disc.Analyze(m_device);
            disc.stop = nullptr;
            if (m_analysis.result != ISO_OK && !control.Cancelled()) {
                m_reason = App_LoadFailureReason(m_device, m_analysis.result);
                // A command the system gave up on is named: "READ(10) (28h) at block 16 timed out after 15 s
                // on /dev/sr0".
                if (drive && drive->timeouts() != timeouts)
                    m_reason += (m_reason.empty() ? "" : "\n") + drive->last_timeout();
            }
        },
        where);
}

BackgroundJob::Progress DiscLoadJob::Now() const {
    BackgroundJob::Progress now;
    now.what = "Reading the disc";
    if (m_reading && !m_job->Finished())
        now.done = m_reading->directoriesRead.load(std::memory_order_relaxed);
    return now;
}

DiscAnalysis DiscLoadJob::TakeAnalysis() {
    Wait();
    m_reading = nullptr;
    DiscAnalysis taken = std::move(m_analysis);
    if (!m_job->Failure().empty()) {
        taken.result = ISO_ERR_NO_MEMORY;
        taken.disc.reset();
    }
    return taken;
}
