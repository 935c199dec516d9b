// Content of CWavDlg (the header block and the group "WAV") from the WAV analyzer's state after Wav_Analyze
// returned 1, and of CPcmFormatDlg, the fixed list of WAVE format codes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "analyzers/info_dialog_header.h"

class CWavDlgModel {
  public:
    explicit CWavDlgModel(const FileEntry* entry) : m_entry(entry) {}
    void OnInitDialog(uint16_t style);
    const std::vector<InfoField>& Header() const { return m_header; }
    // "Format" (the button's value field), "Sampling Freq.", "Channel", "Sample", "Length", with their units.
    const std::vector<InfoField>& Fields() const { return m_fields; }

  private:
    const FileEntry* m_entry;
    std::vector<InfoField> m_header;
    std::vector<InfoField> m_fields;
};

// The rows of CPcmFormatDlg: "0x%04X" of each code and its name (Shift-JIS), in the table's order.
std::vector<std::pair<std::string, std::string>> Wav_FormatRows();
