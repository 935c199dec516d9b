#include "appmodel/player_check_dlg_model.h"

#include "appmodel/disc_analysis.h"
#include "iso9660/iso9660.h"
#include "playercheck/player_text.h"
#include "res/app_strings.h"

bool CPlayerCheckDlgModel::Run(const std::string& profile) {
    return Start(profile, BackgroundJob::Where::Here) && Finish();
}

bool CPlayerCheckDlgModel::Start(const std::string& profile, BackgroundJob::Where where) {
    Cancel();
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    auto check = std::make_unique<Check>();
    std::string error;
    if (!Player_FindProfile(profile, check->profile, error)) {
        m_sink.ShowUtf8("The player profile was not read.\n" + error);
        return false;
    }
    check->source = profile;
    check->device = g_DiscModel->device;
    check->disc = std::make_unique<Disc>();
    // The disc is read again in the names its player reads, as ckvd check reads it: the shown Disc stays the
    // window's alone.
    Check& c = *check;
    c.job = std::make_unique<BackgroundJob>(
        [&c](BackgroundJob::Control& control) {
            c.disc->stop = &control.CancelFlag();
            c.analysis = c.disc->Analyze(c.device, Player_ReadNames(c.profile));
            if (c.analysis == ISO_OK)
                c.result = Player_Check(*c.disc, c.profile);
            else if (!control.Cancelled())
                c.reason = App_LoadFailureReason(c.device, c.analysis);
            c.disc->stop = nullptr;
        },
        where);
    m_check = std::move(check);
    return true;
}

bool CPlayerCheckDlgModel::Finish() {
    if (!m_check)
        return false;
    m_check->job->Wait();
    const std::unique_ptr<Check> done = std::move(m_check);
    if (done->analysis != ISO_OK || !done->job->Failure().empty()) {
        const std::string why = done->job->Failure().empty() ? done->reason : done->job->Failure();
        m_sink.ShowUtf8("The disc could not be read for the check.\n" + why);
        return false;
    }
    m_profile = std::move(done->profile);
    m_source = std::move(done->source);
    m_result = std::move(done->result);
    m_disc = std::move(done->disc);
    m_ran = true;
    return true;
}

std::string CPlayerCheckDlgModel::SummaryText() const {
    return m_ran ? Player_Summary(m_profile, m_result) : std::string();
}
