// CPlayerCheckDlgModel: the content of Tool > Player Check: the profiles to choose from (built in, then the
// user's players/*.ini), the check of the loaded disc against the chosen one, its findings and order. A check
// runs at once (Run) or on a worker (Start, then Finish once Ready) that reads the shown disc again into a
// Disc of its own, in the names the player reads, so the window keeps answering.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "appmodel/background_job.h"
#include "appmodel/message_sink.h"
#include "iso9660/disc.h"
#include "playercheck/player_check.h"

constexpr const char* IDS_PLAYER_CHECK_CAPTION = "Player Check";

class CPlayerCheckDlgModel {
  public:
    explicit CPlayerCheckDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // Checks the loaded disc against the profile of that name or file; false after the message ("No Disc",
    // why the profile file was refused, or why the disc could not be read).
    bool Run(const std::string& profile);
    // The same check on a worker: false after the message when it cannot start; a check still running is
    // dropped first. The results of before stay until Finish takes the new ones.
    bool Start(const std::string& profile, BackgroundJob::Where where = BackgroundJob::Where::OwnThread);
    bool Checking() const { return m_check != nullptr; }
    bool Ready() const { return m_check && m_check->job->Finished(); }
    // Waits for the worker's end and takes its results; false after the message when the disc could not be
    // read again (the results of before stay).
    bool Finish();
    // Drops the running check; the results of before stay.
    void Cancel() { m_check.reset(); }
    // The profile the running check is against (empty when none runs).
    std::string Checked() const { return m_check ? m_check->source : std::string(); }

    const PlayerProfile& Profile() const { return m_profile; }
    // The profile's name or file the results come from, as it was chosen (empty before a check): a profile
    // refused later leaves the results, and this, as they were.
    const std::string& Source() const { return m_source; }
    const PlayerCheck& Result() const { return m_result; }
    // "car-cd, session 2: 12 folders, ... notes", or empty before a run.
    std::string SummaryText() const;

  private:
    // A check on its worker: what it checks against, its own Disc and what it found.
    struct Check {
        PlayerProfile profile;
        std::string source;
        uint16_t device = 0;
        std::unique_ptr<Disc> disc;
        int analysis = 0;
        std::string reason;
        PlayerCheck result;
        std::unique_ptr<BackgroundJob> job; // last: joined before the rest goes
    };

    ckvd::ui::MessageSink& m_sink;
    PlayerProfile m_profile;
    PlayerCheck m_result;
    std::string m_source;
    std::unique_ptr<Disc> m_disc; // the Disc the result's entries are in
    std::unique_ptr<Check> m_check;
    bool m_ran = false;
};
