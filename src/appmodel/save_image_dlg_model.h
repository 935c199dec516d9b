// CSaveImageDlgModel: the content of File > Save Disc Image: the loaded disc dumped into an image file (.iso,
// or .cue with its .bin) on a worker, as ckvd dump does it (the map beside it, so a dump stopped here goes on
// from there, in the window or with ckvd dump), with its progress, a map of the blocks and the outcome. The
// worker alone drives the dump; what the window shows is a copy it hands over, taken by the window's timer.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "appmodel/background_job.h"
#include "appmodel/message_sink.h"
#include "dump/dump_job.h"
#include "verify/verify_map.h"

constexpr const char* IDS_SAVE_IMAGE_CAPTION = "Save Disc Image";

class CSaveImageDlgModel {
  public:
    explicit CSaveImageDlgModel(ckvd::ui::MessageSink& sink);
    // Stops a dump still running on the worker and waits for its end (at most its run of blocks).
    ~CSaveImageDlgModel();
    CSaveImageDlgModel(const CSaveImageDlgModel&) = delete;
    CSaveImageDlgModel& operator=(const CSaveImageDlgModel&) = delete;

    // The file name proposed for the loaded disc: "disc.iso" for one data session, else "disc.cue".
    static std::string ProposedName();
    // Dumps the loaded disc into `out` on a worker (here with `here`, for a caller that waits anyway);
    // false after "No Disc".
    bool Start(const std::string& out, bool here = false);
    // Takes what the worker has done since the last call; false once it has ended.
    bool Poll();
    // Asks the worker to stop before its next read; what was read stays, with its map.
    void Stop();
    bool Started() const { return m_started; }
    bool Running() const { return m_started && !m_view->ended; }
    uint64_t Done() const { return m_view->done; }
    uint64_t Total() const { return m_view->total; }

    // "Reading: 1,234 of 2,931 blocks (42 %)", then the outcome (or why there is none).
    std::string StatusText() const;
    // The counts, the files written and what is missing (empty before the end).
    std::string ResultText() const { return m_view->result; }
    // Whether the dump ended with every block read and every sector sound.
    bool Complete() const { return m_view->ended && m_view->complete; }
    VerifyPicture Picture(uint32_t cell = 9) const;

  private:
    struct View {
        uint64_t done = 0, total = 0;
        bool ended = false, complete = false;
        VerifyMapLayout layout;
        std::vector<uint8_t> cells;
        std::string result;  // once it has ended
        std::string failure; // why it could not start or go on
    };
    void Work(BackgroundJob::Control& control);
    void Publish(std::shared_ptr<View> view);
    std::shared_ptr<View> MakeView() const;

    ckvd::ui::MessageSink& m_sink;
    uint16_t m_device = 0;
    std::string m_out;
    std::unique_ptr<DumpJob> m_dump; // a new one each start, driven by the worker alone while it runs
    std::mutex m_mutex;
    std::shared_ptr<const View> m_published;
    std::shared_ptr<const View> m_view;
    bool m_started = false;
    std::unique_ptr<BackgroundJob> m_job; // last, so that the worker is joined before the rest goes
};
