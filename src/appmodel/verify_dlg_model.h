// CVerifyDlgModel: the content of the Verify Disc window over the loaded disc: the verify run on a worker (so
// the window stays live while a read takes seconds, and its Stop button is heard), the progress and summary
// lines, the damaged files and directories as rows, and the sector map. The worker alone drives the verify;
// what the window shows is a copy it hands over (a view), taken by the window's timer.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "appmodel/background_job.h"
#include "appmodel/message_sink.h"
#include "verify/disc_verify.h"
#include "verify/verify_map.h"
#include "verify/verify_text.h"

class Disc;

constexpr const char* IDS_VERIFY_CAPTION = "Verify Disc";

class CVerifyDlgModel {
  public:
    explicit CVerifyDlgModel(ckvd::ui::MessageSink& sink);
    // Stops a verify still running on the worker and waits for its end (at most its run of blocks).
    ~CVerifyDlgModel();
    CVerifyDlgModel(const CVerifyDlgModel&) = delete;
    CVerifyDlgModel& operator=(const CVerifyDlgModel&) = delete;

    // Plans the verify of the loaded disc here; false after the message ("No Disc", or the TOC that could not
    // be read).
    bool Start();
    // Plans and reads on a worker, which takes its own hold of the loaded Disc; false after "No Disc". A TOC
    // that could not be read is said by the Poll that sees the worker's end.
    bool StartOnWorker();
    // Takes what the worker has done since the last call; false once it has ended (and after a failed plan,
    // with its message shown and Started() false).
    bool Poll();
    // Reads the rest here, or waits for the worker to read it.
    void RunToEnd();
    // Asks the worker to stop after its run of blocks (the view says "Stopped" once it has).
    void Stop();
    bool Started() const { return m_started; }
    bool Running() const { return m_started && !m_view->stopped && !m_view->finished; }
    bool Stopping() const { return m_stopAsked && Running(); }
    uint64_t Done() const { return m_view->done; }
    uint64_t Total() const { return m_view->total; }

    // "Reading block 12,345 of 390,799 (3 %)", then the verdict, which says how far a sound disc was checked.
    std::string StatusText() const;
    // What was checked of each track read so far, in the command line's words ("(Session1) track 1, data,
    // blocks 0-197: user data read (no whole sectors to check)"); a count of tracks a kind of check for a
    // disc of more than four tracks.
    std::string CheckedText() const;
    // The summary as ckvd verify prints it (empty before the end).
    std::string SummaryText() const { return Running() || !m_started ? std::string() : m_view->summary; }
    bool Sound() const;
    // Whether a track's drive gave its sectors without EDC/ECC (the map's legend names that state then).
    bool NoErrorCodes() const;

    // A damaged file or directory: its name, the blocks hit and what is wrong there; the same entry once
    // per damaged range that hits it.
    struct Row {
        std::string name;   // "(Session1) /SUB/F2.DAT"
        std::string blocks; // "38-197"
        std::string damage; // "unreadable: past the end of the recorded area"
        int session = 0;    // 1..
        std::string path;   // as ckvd ls prints it
    };
    // As far as the verify had read when the view was made.
    const std::vector<Row>& Rows() const { return m_view->rows; }

    VerifyPicture Picture(uint32_t cell = 9) const;
    ckvd::ui::MessageSink& Sink() { return m_sink; }

  private:
    // What the window shows of the verify, made by whoever drives it and read by the window alone.
    struct View {
        uint64_t done = 0, total = 0;
        bool stopped = false, finished = false;
        std::vector<VerifyTrack> tracks;
        VerifyMapLayout layout;
        std::vector<uint8_t> cells;
        size_t ranges = 0, damaged = 0;
        std::vector<Row> rows;
        std::string summary; // once it has ended
    };
    std::shared_ptr<const View> MakeView(); // of m_verify, by the thread that drives it
    void Publish();
    void Work(BackgroundJob::Control& control);
    bool ShowPlanFailure(int rc);

    ckvd::ui::MessageSink& m_sink;
    std::shared_ptr<const Disc> m_disc; // what the verify reads, held for as long as it may
    uint16_t m_device = 0;
    // Driven by one thread at a time: the worker while it runs, else the window's.
    DiscVerify m_verify;
    std::vector<VerifyDamagedEntry> m_damaged;
    int m_plan = 0; // Start's result on the worker, read once it has ended
    // The worker's newest view, handed over under the lock; the window's own.
    std::mutex m_mutex;
    std::shared_ptr<const View> m_published;
    std::shared_ptr<const View> m_view;
    bool m_started = false, m_stopAsked = false;
    std::unique_ptr<BackgroundJob> m_job; // last, so that the worker is joined before the rest goes
};
