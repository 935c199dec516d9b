// CJpgDlg: "JPG", the JPG analyzer's findings over CJpgDlgModel.
#pragma once

#include <QDialog>

#include "analyzers/jpg/jpg_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

class CJpgDlg final : public QDialog {
  public:
    CJpgDlg(const FileEntry* entry, QWidget* parent = nullptr);
    CJpgDlgModel& Model() { return m_model; }

  private:
    CJpgDlgModel m_model;
    InfoForm* m_fields;
};
