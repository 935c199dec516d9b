// Content of CWavDlg (the header block and the group "WAV") from what the WAV analysis found, and of
// CPcmFormatDlg, the fixed list of WAVE format codes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "analyzers/info_dialog_header.h"
#include "analyzers/wav/wav_info.h"

// Fields: "Format" (the button's value field), "Sub-format" ("0x%04X" and the name, for an extensible file
// only), "Sampling Freq.", "Channel", "Sample", "Length", with units.
class CWavDlgModel final : public InfoFieldsModel {
  public:
    CWavDlgModel(const FileEntry* entry, const WavInfo& info) : InfoFieldsModel(entry), m_info(info) {}
    // What the last Wav_Analyze found (the desktop's dialog).
    explicit CWavDlgModel(const FileEntry* entry) : CWavDlgModel(entry, Wav_LastInfo()) {}
    void OnInitDialog(uint16_t style);

  private:
    WavInfo m_info;
};

// The rows of CPcmFormatDlg: "0x%04X" of each code and its name (UTF-8), in the table's order.
std::vector<std::pair<std::string, std::string>> Wav_FormatRows();
