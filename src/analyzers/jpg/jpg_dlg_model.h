// Content of CJpgDlg: the header block and the group "JPG" from what the JPG analysis found.
#pragma once

#include "analyzers/info_dialog_header.h"
#include "analyzers/jpg/jpg_module.h"

// Fields: "Format" (JFIF, Exif, both, or empty), "Coding", "Width", "Height", "Components", "Precision".
class CJpgDlgModel final : public InfoFieldsModel {
  public:
    CJpgDlgModel(const FileEntry* entry, const JpgInfo& info) : InfoFieldsModel(entry), m_info(info) {}
    // What the last Jpg_Analyze found (the desktop's dialog).
    explicit CJpgDlgModel(const FileEntry* entry) : CJpgDlgModel(entry, Jpg_LastInfo()) {}
    void OnInitDialog(uint16_t style);

  private:
    JpgInfo m_info;
};
