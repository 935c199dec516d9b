// Content of CCdaDlg: the header block and the group "CDA" from what the CDA analysis found.
#pragma once

#include "analyzers/cda/cda_info.h"
#include "analyzers/info_dialog_header.h"

// Fields: "File Version", "Number of Track", "Disc Serial Number", "Track Start Address", "Track Size", then
// the CD-TEXT and codes the disc records: "Title", "Performer", "Songwriter", "ISRC", "Album Title", "Album
// Performer", "Catalog Number".
class CCdaDlgModel final : public InfoFieldsModel {
  public:
    CCdaDlgModel(const FileEntry* entry, const CdaInfo& info) : InfoFieldsModel(entry), m_info(info) {}
    // What the last Cda_Analyze found (the desktop's dialog).
    explicit CCdaDlgModel(const FileEntry* entry) : CCdaDlgModel(entry, Cda_LastInfo()) {}
    // `style` (g_LbnSizeStyle) is used for the header and for the track's start and size.
    void OnInitDialog(uint16_t style);

  private:
    void AddText(uint8_t trackNumber);
    CdaInfo m_info;
};
