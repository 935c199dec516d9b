// CSaveToDiscDlg: the thin progress window of Save to Disc over CSaveToDiscDlgModel. It carries out the
// copy as soon as it is shown and closes itself half a second after, whatever the outcome.
#pragma once

#include <QDialog>
#include <QProgressBar>

#include "appmodel/save_to_disc.h"

#include <QFileDialog>
#include <memory>

// The file dialog Save to Disc asks where to write with, proposing the entry's name as the disc records it.
std::unique_ptr<QFileDialog> App_SaveToDiscFileDialog(const std::string& proposed, QWidget* parent);

class CSaveToDiscDlg final : public QDialog {
  public:
    CSaveToDiscDlg(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row, QWidget* parent = nullptr);

    CSaveToDiscDlgModel& Model() { return m_model; }
    QProgressBar* Progress() const { return m_progress; }
    const SaveOutcome& Outcome() const { return m_outcome; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnShowWindow();
    int Units(uint64_t bytes) const;

    CSaveToDiscDlgModel m_model;
    QProgressBar* m_progress;
    SaveOutcome m_outcome;
    uint64_t m_size = 0;
    bool m_started = false;
};
