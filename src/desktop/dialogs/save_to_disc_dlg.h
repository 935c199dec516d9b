// CSaveToDiscDlg: the thin progress window of Save to Disc over CSaveToDiscDlgModel. It starts the copy as
// soon as it is shown, on a worker (a read may keep a drive busy for seconds while the window answers), and
// closes itself half a second after the copy ends, whatever the outcome. Both windows read the worker's
// progress from a timer; Cancel, Escape or closing stops the copy before its next chunk, and the window
// waits for it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>

#include "appmodel/save_to_disc.h"
#include "appmodel/tree_copy.h"

#include <QFileDialog>
#include <QTimer>
#include <atomic>
#include <memory>

#include "appmodel/background_job.h"

// The file dialog Save to Disc asks where to write with, proposing the entry's name as the disc records it;
// for an audio track, the filters "WAV audio" and "FLAC audio", whose choice sets the name's extension
// (the extension picks the format, SaveToDisc_FormatOf).
std::unique_ptr<QFileDialog> App_SaveToDiscFileDialog(const std::string& proposed, QWidget* parent,
                                                      bool audioTrack = false);

class CSaveToDiscDlg final : public QDialog {
  public:
    CSaveToDiscDlg(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row, QWidget* parent = nullptr);

    CSaveToDiscDlgModel& Model() { return m_model; }
    QProgressBar* Progress() const { return m_progress; }
    const SaveOutcome& Outcome() const { return m_outcome; }
    // Whether the copy is running on its worker.
    bool Running() const { return m_job != nullptr; }

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // while the copy runs: stops it; the window closes when it has stopped

  private:
    void OnShowWindow();
    void Poll();
    int Units(uint64_t bytes) const;

    CSaveToDiscDlgModel m_model;
    QProgressBar* m_progress;
    QTimer m_poll;
    SaveOutcome m_outcome;
    uint64_t m_size = 0;
    bool m_started = false;
    std::unique_ptr<BackgroundJob> m_job; // last: stopped and joined before the model goes
};

// The folder chooser of Save to Disc on several rows or on a directory.
std::unique_ptr<QFileDialog> App_SaveToDiscFolderDialog(QWidget* parent);

// CSaveTreeDlg: Save to Disc's window for several rows or directories over CSaveTreeDlgModel: the files
// counted, one progress bar over all their bytes and a Cancel button that stops between chunks.
class CSaveTreeDlg final : public QDialog {
  public:
    CSaveTreeDlg(ckvd::ui::MessageSink& sink, std::vector<const FileEntry*> entries,
                 QWidget* parent = nullptr);

    CSaveTreeDlgModel& Model() { return m_model; }
    QProgressBar* Progress() const { return m_progress; }
    const TreeCopyResult& Result() const { return m_result; }
    // Starts the copy when shown; off for a picture of the window.
    void SetAutoStart(bool start) { m_started = !start; }
    bool Running() const { return m_job != nullptr; }

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Cancel and Escape stop the copy; the window closes when it has stopped

  private:
    void OnShowWindow();
    void Poll();
    void Show(const TreeCopyTotals& done);

    CSaveTreeDlgModel m_model;
    QLabel* m_files;
    QProgressBar* m_progress;
    QTimer m_poll;
    int m_shift = 0; // a progress bar counts in int: totals past its range are counted in KiB
    TreeCopyResult m_result;
    bool m_started = false;
    std::atomic<uint32_t> m_filesDone{0}; // written by the worker, beside its job's bytes
    std::unique_ptr<BackgroundJob> m_job; // last: stopped and joined before the model goes
};
