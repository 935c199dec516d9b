// Content of CWmfDlg: the header block and the group "Windows Media File" from what the ASF analysis found.
#pragma once

#include <vector>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/info_dialog_header.h"

// Fields: "Duration" ... "Codec Description" in the dialog's order; the three fields without a source
// ("Protected", "Trusted", "SignatureName") stay empty and are shown disabled.
class CWmfDlgModel final : public InfoFieldsModel {
  public:
    // `info` is read while the model is used (its records stay with their owner).
    CWmfDlgModel(const FileEntry* entry, const AsfInfo& info) : InfoFieldsModel(entry), m_info(info) {}
    // The records of the last Wmf_Analyze (the desktop's dialog).
    explicit CWmfDlgModel(const FileEntry* entry) : CWmfDlgModel(entry, Wmf_LastInfo()) {}

    // The header block, then the file properties, content description, attributes and audio codec.
    void OnInitDialog(uint16_t style);
    static bool FieldEnabled(const std::string& label);

  private:
    void Set(const char* label, std::string value);
    void ShowFileProperties();
    void ShowContentDescription();
    void ShowAttributes();
    void ShowAudioCodec();
    AsfInfo m_info;
};
