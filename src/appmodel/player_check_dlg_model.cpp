#include "appmodel/player_check_dlg_model.h"

#include "iso9660/iso9660.h"
#include "playercheck/player_text.h"
#include "res/app_strings.h"

std::vector<std::string> CPlayerCheckDlgModel::Profiles() const {
    std::vector<std::string> names = Player_BuiltinNames();
    for (const std::string& user : Player_UserProfileNames())
        names.push_back(user);
    return names;
}

bool CPlayerCheckDlgModel::Run(const std::string& profile) {
    if (!g_DiscModel || !g_DiscModel->firstSession) {
        m_sink.Show(IDS_NO_DISC);
        return false;
    }
    std::string error;
    PlayerProfile chosen;
    if (!Player_FindProfile(profile, chosen, error)) {
        m_sink.ShowUtf8("The player profile was not read.\n" + error);
        return false;
    }
    m_profile = chosen;
    m_source = profile;
    // The check reads the player's own session; the list keeps showing the one the user chose.
    m_result = Player_Check(m_profile);
    m_ran = true;
    return true;
}

std::string CPlayerCheckDlgModel::SummaryText() const {
    return m_ran ? Player_Summary(m_profile, m_result) : std::string();
}
