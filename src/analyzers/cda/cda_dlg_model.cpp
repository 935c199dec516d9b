#include "analyzers/cda/cda_dlg_model.h"

#include <cstdio>

#include "analyzers/cda/cda_module.h"

void CCdaDlgModel::OnInitDialog(uint16_t style) {
    Reset(style);
    const CdaFileHeader* h = g_CdaHeader;
    if (!h)
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%02u", unsigned(h->fileVersion));
    m_fields.push_back({"File Version", text, {}, {}});
    std::snprintf(text, sizeof text, "%02u", unsigned(h->trackNumber));
    m_fields.push_back({"Number of Track", text, {}, {}});
    std::snprintf(text, sizeof text, "%08X", h->discSerial);
    m_fields.push_back({"Disc Serial Number", text, {}, {}});
    m_fields.push_back({"Track Start Address", Info_NumberText(h->trackStart, style), {}, {}});
    m_fields.push_back({"Track Size", Info_NumberText(h->trackSize, style), {}, {}});
}
