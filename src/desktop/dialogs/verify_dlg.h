// CVerifyDlg: Tool > Verify Disc over CVerifyDlgModel: progress with a Stop button, the sector map with its
// legend, the damaged files and directories beside it (a double-click shows one in the tree and list), what
// was checked of each track and the summary; Save Map writes the picture ckvd verify --map writes.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/verify_dlg_model.h"

class CVerifyDlg final : public QDialog {
  public:
    CVerifyDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CVerifyDlgModel& Model() { return m_model; }
    QTreeWidget* List() const { return m_list; }
    QLabel* Status() const { return m_status; }
    QLabel* Checked() const { return m_checked; }
    // Starts reading on a worker when shown; off for a picture of the window or a test that runs it itself.
    void SetAutoStart(bool start) { m_autoStart = start; }
    // Shows what the model holds now (progress, map, rows, summary).
    void Refresh();
    // What a double-click on a row asks for: the entry of `path` in session `session` (1..) shown.
    std::function<void(int session, const std::string& path)> onSelect;

  protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape and the window's close button stop a running verify first

  private:
    void OnTick(); // the worker's newest view shown
    void OnSaveMap();

    CVerifyDlgModel m_model;
    QLabel* m_status;
    QProgressBar* m_progress;
    QLabel* m_map;
    QScrollArea* m_scroll = nullptr;
    QLabel* m_scale;
    QWidget* m_noCodes = nullptr; // the legend's item of blocks without EDC/ECC, shown once there are some
    QTreeWidget* m_list;
    QLabel* m_checked; // what was checked of each track
    QLabel* m_summary;
    QPushButton* m_stop;
    QPushButton* m_save;
    QTimer m_timer;
    bool m_autoStart = true;
};
