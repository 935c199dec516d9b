// CWmfDlg: "Windows Media File", the ASF analyzer's findings over CWmfDlgModel.
#pragma once

#include <QDialog>

#include "analyzers/asf/wmf_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

class CWmfDlg final : public QDialog {
  public:
    CWmfDlg(const FileEntry* entry, QWidget* parent = nullptr);
    CWmfDlgModel& Model() { return m_model; }
    InfoForm* Fields() const { return m_fields; }

  private:
    CWmfDlgModel m_model;
    InfoForm* m_fields;
};
