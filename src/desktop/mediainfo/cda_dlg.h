// CCdaDlg: "CDA", a CD audio track file's fields over CCdaDlgModel.
#pragma once

#include <QDialog>

#include "analyzers/cda/cda_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

class CCdaDlg final : public QDialog {
  public:
    CCdaDlg(const FileEntry* entry, QWidget* parent = nullptr);
    CCdaDlgModel& Model() { return m_model; }
    InfoForm* Fields() const { return m_fields; }

  private:
    CCdaDlgModel m_model;
    InfoForm* m_fields;
};
