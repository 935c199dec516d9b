// CMp3Dlg: "MP3", the MP3 analyzer's findings over CMp3DlgModel.
#pragma once

#include <QComboBox>
#include <QDialog>

#include "analyzers/mp3/mp3_dlg_model.h"
#include "desktop/mediainfo/info_dialog.h"

class CMp3Dlg final : public QDialog {
  public:
    CMp3Dlg(const FileEntry* entry, QWidget* parent = nullptr);
    CMp3DlgModel& Model() { return m_model; }
    QComboBox* TagVersion() const { return m_version; }
    InfoForm* Tag() const { return m_tag; }
    InfoForm* Mpeg() const { return m_mpeg; }

  private:
    void ShowTag();

    CMp3DlgModel m_model;
    QComboBox* m_version;
    InfoForm* m_tag;
    InfoForm* m_mpeg;
};
