// CMakeDiscDlg: File > New Disc for Player over CMakeDiscDlgModel: the music folder and the player's profile,
// the plan (the playback order with each change to a name, the files left out and why) and Make Image,
// which writes the image with a progress bar and hands it to the window to be opened and checked.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/make_disc_dlg_model.h"

class CMakeDiscDlg final : public QDialog {
  public:
    CMakeDiscDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CMakeDiscDlgModel& Model() { return m_model; }
    QLineEdit* Folder() const { return m_folder; }
    QComboBox* ProfileBox() const { return m_profiles; }
    QTreeWidget* Order() const { return m_order; }
    QTreeWidget* LeftOut() const { return m_left; }
    QTabWidget* Tabs() const { return m_tabs; }
    QLabel* Summary() const { return m_summary; }
    QPushButton* MakeButton() const { return m_make; }
    QProgressBar* Progress() const { return m_progress; }
    // Plans the folder for the chosen profile (on a worker with background work: the lists fill when it
    // ends); false after the model's message.
    bool PlanNow();
    // Writes the plan into `image` (on a worker with background work); false when it cannot start.
    bool MakeNow(const QString& image);
    void SetBackground(bool on) { m_background = on; }
    // The image written and the profile it was planned for: the window opens it and checks it.
    std::function<void(const std::string& image, const std::string& profile)> onMade;

  private:
    void Poll();
    void Done();
    void FillPlan();
    void ShowBusy(bool busy);

    CMakeDiscDlgModel m_model;
    QLineEdit* m_folder;
    QComboBox* m_profiles;
    QLabel* m_summary;
    QTabWidget* m_tabs;
    QTreeWidget* m_order;
    QTreeWidget* m_left;
    QProgressBar* m_progress;
    QPushButton* m_plan;
    QPushButton* m_make;
    QTimer m_poll;
    bool m_background = false;
};
