#include "analyzers/cda/cda_dlg_model.h"

#include <cstdio>

#include "analyzers/cda/cda_module.h"
#include "iso9660/iso_cdtext.h"

void CCdaDlgModel::OnInitDialog(uint16_t style) {
    Reset(style);
    const CdaFileHeader* h = &m_info.header;
    char text[32];
    std::snprintf(text, sizeof text, "%02u", unsigned(h->fileVersion));
    m_fields.push_back({"File Version", text, {}, {}});
    std::snprintf(text, sizeof text, "%02u", unsigned(h->trackNumber));
    m_fields.push_back({"Number of Track", text, {}, {}});
    std::snprintf(text, sizeof text, "%08X", h->discSerial);
    m_fields.push_back({"Disc Serial Number", text, {}, {}});
    m_fields.push_back({"Track Start Address", Info_NumberText(h->trackStart, style), {}, {}});
    m_fields.push_back({"Track Size", Info_NumberText(h->trackSize, style), {}, {}});
    AddText(static_cast<uint8_t>(h->trackNumber));
}

void CCdaDlgModel::AddText(uint8_t trackNumber) {
    // The disc's CD-TEXT and codes, each row only where the disc records it.
    auto add = [this](const char* label, const std::string& value) {
        if (!value.empty())
            m_fields.push_back({label, value, {}, {}});
    };
    if (const ckvd::cdtext::TrackText* t = Iso_TrackText(trackNumber)) {
        add("Title", t->title);
        add("Performer", t->performer);
        add("Songwriter", t->songwriter);
        add("ISRC", t->isrc);
    }
    if (const ckvd::cdtext::DiscText* d = Iso_DiscText()) {
        add("Album Title", d->title);
        add("Album Performer", d->performer);
        add("Catalog Number", d->catalog);
    }
}
