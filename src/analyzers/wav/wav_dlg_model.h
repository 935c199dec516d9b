// Content of CWavDlg (the header block and the group "WAV") from the WAV analyzer's state after Wav_Analyze
// returned 1, and of CPcmFormatDlg, the fixed list of WAVE format codes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "analyzers/info_dialog_header.h"

// Fields: "Format" (the button's value field), "Sub-format" ("0x%04X" and the name, for an extensible file
// only), "Sampling Freq.", "Channel", "Sample", "Length", with units.
class CWavDlgModel final : public InfoFieldsModel {
  public:
    using InfoFieldsModel::InfoFieldsModel;
    void OnInitDialog(uint16_t style);
};

// The rows of CPcmFormatDlg: "0x%04X" of each code and its name (UTF-8), in the table's order.
std::vector<std::pair<std::string, std::string>> Wav_FormatRows();
