// Content of CWmfDlg: the header block and the group "Windows Media File" from the ASF analyzer's state
// after Wmf_Analyze returned 1.
#pragma once

#include <vector>

#include "analyzers/info_dialog_header.h"

// Fields: "Duration" ... "Codec Description" in the dialog's order; the three fields without a source
// ("Protected", "Trusted", "SignatureName") stay empty and are shown disabled.
class CWmfDlgModel final : public InfoFieldsModel {
  public:
    using InfoFieldsModel::InfoFieldsModel;

    // The header block, then the file properties, content description, attributes and audio codec.
    void OnInitDialog(uint16_t style);
    static bool FieldEnabled(const std::string& label);

  private:
    void Set(const char* label, std::string value);
    void ShowFileProperties();
    void ShowContentDescription();
    void ShowAttributes();
    void ShowAudioCodec();
};
