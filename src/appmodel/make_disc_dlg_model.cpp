#include "appmodel/make_disc_dlg_model.h"

#include <cstdio>

#include "discmaker/make_image.h"

bool CMakeDiscDlgModel::StartPlan(const std::string& folder, const std::string& profile,
                                  BackgroundJob::Where where) {
    Cancel();
    auto work = std::make_unique<Work>();
    std::string error;
    if (!Player_FindProfile(profile, work->profile, error)) {
        m_sink.ShowUtf8("The player profile was not read.\n" + error);
        return false;
    }
    work->folder = folder;
    Work& w = *work;
    w.job = std::make_unique<BackgroundJob>(
        [&w](BackgroundJob::Control& control) {
            control.Report(0, 0, "Reading the music folder");
            w.ok = Make_Plan(w.folder, w.profile, w.plan, w.error);
        },
        where);
    m_work = std::move(work);
    return true;
}

bool CMakeDiscDlgModel::StartMake(const std::string& image, BackgroundJob::Where where) {
    if (!m_planned || Busy())
        return false;
    auto work = std::make_unique<Work>();
    work->profile = m_profile;
    work->plan = m_plan;
    work->image = image;
    Work& w = *work;
    w.job = std::make_unique<BackgroundJob>(
        [&w](BackgroundJob::Control& control) {
            w.ok = Make_WriteImage(w.plan, w.profile, w.image, w.error, w.warnings,
                                   [&control](uint64_t written, uint64_t total) {
                                       control.Report(written, total, "Writing the image");
                                       return !control.Cancelled();
                                   });
        },
        where);
    m_work = std::move(work);
    return true;
}

bool CMakeDiscDlgModel::Finish() {
    if (!m_work)
        return false;
    std::string failure;
    const std::unique_ptr<Work> done = BackgroundJob_Take(m_work, failure);
    if (!failure.empty()) {
        m_sink.ShowUtf8((done->image.empty() ? "The music folder could not be planned.\n"
                                             : "The disc image was not written.\n") +
                        failure);
        return false;
    }
    if (!done->image.empty()) {
        m_made = done->image;
        m_warnings = done->warnings;
        return true;
    }
    m_profile = std::move(done->profile);
    m_plan = std::move(done->plan);
    m_planned = true;
    m_made.clear();
    m_warnings.clear();
    return true;
}

std::string CMakeDiscDlgModel::SummaryText() const {
    if (!m_planned)
        return {};
    const double mb = double(m_plan.Bytes()) / 1e6;
    char bytes[32];
    std::snprintf(bytes, sizeof bytes, "%.1f MB", mb);
    return m_profile.name + ": " + m_plan.volume + ", " + std::to_string(m_plan.folders.size()) +
           " folders, " + std::to_string(m_plan.Tracks()) + " tracks, " + bytes + "; " +
           std::to_string(m_plan.leftOut.size()) + (m_plan.leftOut.size() == 1 ? " file" : " files") +
           " left out" + (m_profile.numberPrefix ? "; names numbered in playback order" : "") +
           (m_plan.navigation.empty()
                ? ""
                : "; " + std::to_string(m_plan.navigation.size()) + " navigation files");
}
