// CDriveDlg: "Select Drive", the device list over CDriveDlgModel.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "appmodel/drive_dlg_model.h"

class CDriveDlg final : public QDialog {
  public:
    // exec()'s result when the user chose to open a disc image instead of a drive.
    static constexpr int OpenImage = 2;

    CDriveDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);
    int exec() override;
    // Scans and fills the list once, as the dialog's opening does (exec calls it).
    void Prepare();

    CDriveDlgModel& Model() { return m_model; }
    QTreeWidget* List() const { return m_list; }
    // The text shown over the list when no device was found (hidden otherwise).
    QLabel* EmptyHint() const { return m_empty; }
    int Selected() const { return m_model.Selected(); }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Fill();
    void FitColumns();
    void Sync();
    void OnOK();
    void ShowStates(); // the State column from the model's rows

    CDriveDlgModel m_model;
    QTreeWidget* m_list;
    QLabel* m_empty;
    QPushButton* m_open;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_initialised = false;
    QTimer m_states; // the drives' states tested again every two seconds
};
