// CDriveDlg: "Select Drive", the device list over CDriveDlgModel.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>

#include "app/drive_dlg_model.h"

class CDriveDlg final : public QDialog {
  public:
    CDriveDlg(ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);
    int exec() override;

    CDriveDlgModel& Model() { return m_model; }
    QTreeWidget* List() const { return m_list; }
    int Selected() const { return m_model.Selected(); }

  private:
    void Fill();
    void Sync();
    void OnOK();

    CDriveDlgModel m_model;
    QTreeWidget* m_list;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_initialised = false;
};
