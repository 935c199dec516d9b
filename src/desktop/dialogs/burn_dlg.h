// CBurnDlg: File > Burn Disc Image over CBurnDlgModel: the image, where it goes (a CD drive, or a file as
// libburn's stdio: pseudo-drive writes one), blanking, another session and the speed; the burn and the
// reading back with a progress bar, then the ranges that are not the image's. The window then opens the
// burned disc and verifies it, with its sector map.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/burn_dlg_model.h"

class CBurnDlg final : public QDialog {
  public:
    CBurnDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CBurnDlgModel& Model() { return m_model; }
    QLineEdit* Image() const { return m_image; }
    QComboBox* Target() const { return m_target; }
    QLineEdit* File() const { return m_file; }
    QCheckBox* Blank() const { return m_blank; }
    QCheckBox* Multisession() const { return m_multi; }
    QComboBox* Speed() const { return m_speed; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* Status() const { return m_status; }
    QTreeWidget* Ranges() const { return m_ranges; }
    QPushButton* BurnButton() const { return m_burn; }
    // Burns with what the dialog shows (on a worker with background work); false when it cannot start.
    bool BurnNow();
    void SetBackground(bool on) { m_background = on; }
    // Where a player of the profile reads only the first session, another session is not offered.
    void OfferMultisession(bool offer);
    // The disc burned and compared: the window opens it and verifies it.
    std::function<void(const BurnTarget& target)> onBurned;

  protected:
    void reject() override; // a burn under way is not left: the disc would be half written

  private:
    void Poll();
    void Done();
    void Running(bool on);
    BurnTarget Chosen() const;

    CBurnDlgModel m_model;
    QLineEdit* m_image;
    QComboBox* m_target;
    QLineEdit* m_file;
    QCheckBox* m_blank;
    QCheckBox* m_multi;
    QComboBox* m_speed;
    QProgressBar* m_progress;
    QLabel* m_status;
    QTreeWidget* m_ranges;
    QPushButton* m_burn;
    QWidget* m_settings = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_poll;
    bool m_background = false;
};
