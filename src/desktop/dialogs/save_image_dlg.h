// CSaveImageDlg: File > Save Disc Image over CSaveImageDlgModel: the image file to write (.iso or .cue),
// Start, the progress and a map of the blocks as they are read, Stop, and the outcome with the files written.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "appmodel/save_image_dlg_model.h"

class CSaveImageDlg final : public QDialog {
  public:
    CSaveImageDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CSaveImageDlgModel& Model() { return m_model; }
    QLineEdit* File() const { return m_file; }
    // Starts the dump into the file named; with `wait`, here and to its end (a picture of the window).
    void Start(bool wait = false);
    // Shows what the model holds now.
    void Refresh();

  protected:
    void reject() override; // Escape and the window's close button stop a running dump first

  private:
    void OnBrowse();
    void OnTick();

    CSaveImageDlgModel m_model;
    QLabel* m_status;
    QLineEdit* m_file;
    QPushButton* m_browse;
    QProgressBar* m_progress;
    QLabel* m_map;
    QLabel* m_result;
    QPushButton* m_start;
    QPushButton* m_stop;
    QTimer m_timer;
};
