// Content of CCdaDlg: the header block and the group "CDA" from the CDA analyzer's state after Cda_Analyze
// returned 1.
#pragma once

#include "analyzers/info_dialog_header.h"

// Fields: "File Version", "Number of Track", "Disc Serial Number", "Track Start Address", "Track Size", then
// the CD-TEXT and codes the disc records: "Title", "Performer", "Songwriter", "ISRC", "Album Title", "Album
// Performer", "Catalog Number".
class CCdaDlgModel final : public InfoFieldsModel {
  public:
    using InfoFieldsModel::InfoFieldsModel;
    // `style` (g_LbnSizeStyle) is used for the header and for the track's start and size.
    void OnInitDialog(uint16_t style);

  private:
    void AddText(uint8_t trackNumber);
};
