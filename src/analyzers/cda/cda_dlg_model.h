// Content of CCdaDlg: the header block and the group "CDA" from the CDA analyzer's state after Cda_Analyze
// returned 1.
#pragma once

#include <vector>

#include "analyzers/info_dialog_header.h"

class CCdaDlgModel {
  public:
    explicit CCdaDlgModel(const FileEntry* entry) : m_entry(entry) {}
    // `style` (g_LbnSizeStyle) is used for the header and for the track's start and size.
    void OnInitDialog(uint16_t style);
    const std::vector<InfoField>& Header() const { return m_header; }
    // "File Version", "Number of Track", "Disc Serial Number", "Track Start Address", "Track Size".
    const std::vector<InfoField>& Fields() const { return m_fields; }

  private:
    const FileEntry* m_entry;
    std::vector<InfoField> m_header;
    std::vector<InfoField> m_fields;
};
