// CBurnDlgModel: the content of File > Burn Disc Image: the CD drives to burn on (or a file, libburn's stdio:
// pseudo-drive), the burn on a worker with its progress, then the disc read back and held against the image
// block by block.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "appmodel/background_job.h"
#include "appmodel/message_sink.h"
#include "discmaker/burn_disc.h"
#include "discmaker/burn_verify.h"

constexpr const char* IDS_BURN_CAPTION = "Burn Disc Image";

struct BurnTarget {
    std::string label;   // as the list shows it
    std::string address; // for libburn: "/dev/sr0" or "stdio:PATH"
    int device = -1;     // the engine's device to read the disc back through; -1: the file of stdio:PATH
    // The file libburn's stdio: pseudo-drive writes, or empty for a drive.
    std::string File() const { return Burn_StdioFile(address); }
    // The pseudo-drive that writes the file `path`.
    static BurnTarget ToFile(const std::string& path) { return {"", Burn_StdioDrive(path), -1}; }
};

class CBurnDlgModel {
  public:
    explicit CBurnDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // Whether another session is offered for a disc planned for `profile` (its `multisession` key: a player
    // of the first session alone never sees a later one); true without a profile.
    static bool OffersMultisession(const std::string& profile);
    // The CD drives of the last scan, by their device paths.
    std::vector<BurnTarget> Drives() const;
    // Burns `image` onto `target`, then reads it back; false after the message when it cannot start.
    bool Start(const std::string& image, const BurnTarget& target, const BurnOptions& options,
               BackgroundJob::Where where = BackgroundJob::Where::OwnThread);
    bool Busy() const { return m_work != nullptr; }
    bool Ready() const { return m_work && m_work->job->Finished(); }
    BackgroundJob::Progress Now() const { return m_work ? m_work->job->Now() : BackgroundJob::Progress{}; }
    // Waits for the worker and takes its result; false after the message when the burn or the reading back
    // failed.
    bool Finish();

    bool Compared() const { return m_compared; }
    const std::vector<BurnRange>& Bad() const { return m_bad; }
    uint32_t Blocks() const { return m_blocks; }
    const BurnTarget& Burned() const { return m_target; }
    // "verified: N blocks read back equal the image", or how many ranges are not the image's.
    std::string ResultText() const;

  private:
    struct Work {
        std::string image, error;
        BurnTarget target;
        BurnOptions options;
        std::vector<BurnRange> bad;
        uint32_t blocks = 0, start = 0; // the image's blocks, the block its session was written at
        bool ok = false;
        std::unique_ptr<BackgroundJob> job; // last: joined before the rest goes
    };
    ckvd::ui::MessageSink& m_sink;
    std::unique_ptr<Work> m_work;
    BurnTarget m_target;
    std::vector<BurnRange> m_bad;
    uint32_t m_blocks = 0;
    bool m_compared = false;
};
