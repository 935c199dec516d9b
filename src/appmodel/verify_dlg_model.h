// CVerifyDlgModel: the content of the Verify Disc window over the loaded disc: the verify run a slice of
// time at a time (so the window stays live and its Stop button is heard), the progress and summary lines,
// the damaged files and directories as rows, and the sector map.
#pragma once

#include <string>
#include <vector>

#include "appmodel/message_sink.h"
#include "verify/disc_verify.h"
#include "verify/verify_map.h"
#include "verify/verify_text.h"

constexpr const char* IDS_VERIFY_CAPTION = "Verify Disc";

class CVerifyDlgModel {
  public:
    explicit CVerifyDlgModel(ckvd::ui::MessageSink& sink) : m_sink(sink) {}

    // Plans the verify of the loaded disc; false after the message ("No Disc", or the TOC that could not
    // be read).
    bool Start();
    // Reads for about `milliseconds`; false once all was read or the verify was stopped.
    bool Step(int milliseconds = 40);
    void RunToEnd();
    void Stop() { m_verify.Stop(); }
    bool Running() const { return m_started && !m_verify.Stopped() && !m_verify.Finished(); }

    // "Reading block 12,345 of 390,799 (3 %)", then the verdict, which says how far a sound disc was checked.
    std::string StatusText() const;
    // What was checked of each track read so far, in the command line's words ("(Session1) track 1, data,
    // blocks 0-197: user data read (no whole sectors to check)"); a count of tracks a kind of check for a
    // disc of more than four tracks.
    std::string CheckedText() const;
    // The summary as ckvd verify prints it (empty before the end).
    std::string SummaryText() const;
    bool Sound() const;

    // A damaged file or directory: its name, the blocks hit and what is wrong there; the same entry once
    // per damaged range that hits it.
    struct Row {
        std::string name;   // "(Session1) /SUB/F2.DAT"
        std::string blocks; // "38-197"
        std::string damage; // "unreadable: past the end of the recorded area"
        int session = 0;    // 1..
        std::string path;   // as ckvd ls prints it
    };
    // Recomputed from what was read so far.
    void RefreshRows();
    const std::vector<Row>& Rows() const { return m_rows; }

    VerifyPicture Picture(uint32_t cell = 9) const;
    const DiscVerify& Verify() const { return m_verify; }
    ckvd::ui::MessageSink& Sink() { return m_sink; }

  private:
    ckvd::ui::MessageSink& m_sink;
    DiscVerify m_verify;
    std::vector<VerifyRange> m_ranges;
    std::vector<VerifyDamagedEntry> m_damaged;
    std::vector<Row> m_rows;
    bool m_started = false;
};
