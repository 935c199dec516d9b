// CWavDlg: "WAV", the WAV analyzer's findings over CWavDlgModel, with the "Format" button that opens
// CPcmFormatDlg, the reference list of WAVE format codes.
#pragma once

#include <QDialog>
#include <QPushButton>

#include "analyzers/wav/wav_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

class CWavDlg final : public QDialog {
  public:
    CWavDlg(const FileEntry* entry, QWidget* parent = nullptr);
    CWavDlgModel& Model() { return m_model; }
    InfoForm* Fields() const { return m_fields; }
    QPushButton* FormatButton() const { return m_format; }
    // The "Format" button: the format list, modally.
    void OnFormat();

  private:
    CWavDlgModel m_model;
    InfoForm* m_fields;
    QPushButton* m_format;
};
