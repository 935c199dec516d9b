// CMakeDiscDlgModel: the content of File > New Disc for Player: a music folder planned for a player's
// profile (the playback order, every change to a name, every file left out and why) and written as a disc
// image, each on a worker so the window keeps answering; the image written is then opened and checked by
// the window as any disc.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "appmodel/background_job.h"
#include "appmodel/message_sink.h"
#include "discmaker/make_plan.h"

constexpr const char* IDS_MAKE_DISC_CAPTION = "New Disc for Player";

class CMakeDiscDlgModel {
  public:
    explicit CMakeDiscDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // Plans the disc of `folder` for the profile of that name or file; false after the message when the
    // profile cannot be read. A plan or image under way is dropped first.
    bool StartPlan(const std::string& folder, const std::string& profile,
                   BackgroundJob::Where where = BackgroundJob::Where::OwnThread);
    // Writes the plan shown into the image file `image`; false when there is no plan.
    bool StartMake(const std::string& image, BackgroundJob::Where where = BackgroundJob::Where::OwnThread);
    bool Busy() const { return m_work != nullptr; }
    bool Ready() const { return m_work && m_work->job->Finished(); }
    bool Making() const { return m_work && !m_work->image.empty(); }
    BackgroundJob::Progress Now() const { return m_work ? m_work->job->Now() : BackgroundJob::Progress{}; }
    // Waits for the worker and takes what it made; false after the message when it failed (a plan of
    // before stays).
    bool Finish();
    void Cancel() { m_work.reset(); }

    bool Planned() const { return m_planned; }
    const MakePlan& Plan() const { return m_plan; }
    const PlayerProfile& Profile() const { return m_profile; }
    // "car-cd: Trip, 9 folders, 306 tracks, 502 MB; 2 files left out", or empty before a plan.
    std::string SummaryText() const;
    // The image written last (empty before one is), and what could not be done as planned on the way.
    const std::string& Made() const { return m_made; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }

  private:
    struct Work {
        PlayerProfile profile;
        std::string folder, image, error;
        MakePlan plan;
        std::vector<std::string> warnings;
        bool ok = false;
        std::unique_ptr<BackgroundJob> job; // last: joined before the rest goes
    };

    ckvd::ui::MessageSink& m_sink;
    PlayerProfile m_profile;
    MakePlan m_plan;
    bool m_planned = false;
    std::string m_made;
    std::vector<std::string> m_warnings;
    std::unique_ptr<Work> m_work;
};
