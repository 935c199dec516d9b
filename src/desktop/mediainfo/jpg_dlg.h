// CJpgDlg: "JPG", the header block alone.
#pragma once

#include <QDialog>

#include "desktop/mediainfo/info_dialog.h"

class CJpgDlg final : public QDialog {
  public:
    CJpgDlg(const FileEntry* entry, QWidget* parent = nullptr);
};
