// CPlayerCheckDlg: Tool > Player Check over CPlayerCheckDlgModel: a profile chooser, the findings with
// severity pictures (sorted by severity, folder or rule with a click on the heading), the playback order as
// the player numbers it on a second tab; a double-click on a row shows its file in the tree and list.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/player_check_dlg_model.h"

class CPlayerCheckDlg final : public QDialog {
  public:
    CPlayerCheckDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CPlayerCheckDlgModel& Model() { return m_model; }
    QComboBox* ProfileBox() const { return m_profiles; }
    QTreeWidget* Findings() const { return m_findings; }
    QTreeWidget* Order() const { return m_order; }
    QTabWidget* Tabs() const { return m_tabs; }
    QLabel* Summary() const { return m_summary; }
    // Runs the check with the chosen profile and fills both lists; false after the model's message, the box
    // then showing again the profile the results come from. With checks in the background the check runs on
    // a worker: the lists fill when it ends, and a later choice drops it.
    bool Check();
    void SetBackground(bool on) { m_background = on; }
    bool Checking() const { return m_model.Checking(); }
    // "Profile File...": the file put into the box and checked against (again when it is there already); a
    // file that is refused leaves the box.
    void ChooseProfileFile(const QString& path);
    // What a double-click asks for: the entry of `path` in session `session` (1..) shown.
    std::function<void(int session, const std::string& path)> onSelect;

  private:
    void Fill();
    void PollCheck();
    void ShowFailed();

    CPlayerCheckDlgModel m_model;
    QComboBox* m_profiles;
    QLabel* m_summary;
    QTabWidget* m_tabs;
    QTreeWidget* m_findings;
    QTreeWidget* m_order;
    QTimer m_poll;
    bool m_background = false;
};
