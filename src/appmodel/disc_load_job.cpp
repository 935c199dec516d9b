#include "appmodel/disc_load_job.h"

#include <utility>

#include "appmodel/disc_analysis.h"
#include "iso9660/iso9660.h"

DiscLoadJob::DiscLoadJob(uint16_t device) : m_device(device) {
    m_job = std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) {
        control.Report(0, 0, "Reading the disc");
        m_analysis = AnalyzeDisc(m_device);
        if (m_analysis.result != ISO_OK && !control.Cancelled())
            m_reason = App_LoadFailureReason(m_device, m_analysis.result);
    });
}

DiscAnalysis DiscLoadJob::TakeAnalysis() {
    Wait();
    DiscAnalysis taken = std::move(m_analysis);
    if (!m_job->Failure().empty()) {
        taken.result = ISO_ERR_NO_MEMORY;
        taken.disc.reset();
    }
    return taken;
}
