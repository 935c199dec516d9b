#include "appmodel/background_job.h"

#include <exception>
#include <utility>

void BackgroundJob::Control::Report(uint64_t done, uint64_t total, std::string what) {
    std::lock_guard lock(m_job.m_mutex);
    m_job.m_progress.done = done;
    m_job.m_progress.total = total;
    if (!what.empty())
        m_job.m_progress.what = std::move(what);
}

BackgroundJob::BackgroundJob(Work work, Where where) {
    if (where == Where::Here) {
        Run(work);
        return;
    }
    m_thread = std::thread([this, work = std::move(work)] { Run(work); });
}

void BackgroundJob::Run(const Work& work) {
    Control control(*this);
    try {
        work(control);
    } catch (const std::exception& e) {
        std::lock_guard lock(m_mutex);
        m_failure = e.what();
    } catch (...) {
        std::lock_guard lock(m_mutex);
        m_failure = "the work ended with an unknown exception";
    }
    m_finished.store(true, std::memory_order_release);
}

BackgroundJob::~BackgroundJob() {
    Cancel();
    Wait();
}

BackgroundJob::Progress BackgroundJob::Now() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

void BackgroundJob::Wait() {
    if (m_thread.joinable())
        m_thread.join();
}

std::string BackgroundJob::Failure() const {
    std::lock_guard lock(m_mutex);
    return m_failure;
}
