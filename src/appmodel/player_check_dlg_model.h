// CPlayerCheckDlgModel: the content of Tool > Player Check: the profiles to choose from (built in, then the
// user's players/*.ini), the check of the loaded disc against the chosen one, its findings and order.
#pragma once

#include <string>
#include <vector>

#include "appmodel/message_sink.h"
#include "playercheck/player_check.h"

constexpr const char* IDS_PLAYER_CHECK_CAPTION = "Player Check";

class CPlayerCheckDlgModel {
  public:
    explicit CPlayerCheckDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // The built-in profiles, then the user's.
    std::vector<std::string> Profiles() const;
    // Checks the loaded disc against the profile of that name or file; false after the message ("No Disc",
    // or why the profile file was refused).
    bool Run(const std::string& profile);

    const PlayerProfile& Profile() const { return m_profile; }
    // The profile's name or file the results come from, as it was chosen (empty before a check): a profile
    // refused later leaves the results, and this, as they were.
    const std::string& Source() const { return m_source; }
    const PlayerCheck& Result() const { return m_result; }
    // "car-cd, session 2: 12 folders, ... notes", or empty before a run.
    std::string SummaryText() const;

  private:
    ckvd::ui::MessageSink& m_sink;
    PlayerProfile m_profile;
    PlayerCheck m_result;
    std::string m_source;
    bool m_ran = false;
};
