#include "appmodel/disc_info_dlg_model.h"

#include <cstdio>

#include "listing/disc_text.h"
#include "listing/lbn_size_style.h"

const DiscInfoColumn kDiscInfoColumns[DISCINFO_COLUMNS] = {
    {"DiscType", DiscInfoAlign::Left},
    {"MaxSector", DiscInfoAlign::Left},
    {"SectorSize", DiscInfoAlign::Left},
    {"Session", DiscInfoAlign::Left},
    {"Mode", DiscInfoAlign::Left},
    {"Track", DiscInfoAlign::Left},
    {"Address", DiscInfoAlign::Right},
    {"Size", DiscInfoAlign::Right},
    {"PvdLBN", DiscInfoAlign::Right},
    {"LeadIn", DiscInfoAlign::Right},
    {"LeadOut", DiscInfoAlign::Right},
    {"Mode5", DiscInfoAlign::Centre},
    {"NextProgramArea", DiscInfoAlign::Right},
    {"RecordingAreaLeadOut", DiscInfoAlign::Right},
};

std::string DiscInfo_NumberText(uint32_t value, uint16_t style) {
    if (style == LBNSIZE_BASE16 || style == LBNSIZE_MSF)
        return Report_LbnSizeText(value, style);
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(static_cast<int32_t>(value)));
    return text;
}

void CDiscInfoDlgModel::OnInitDialog(const DiscModel* model, uint16_t style) {
    m_rows.clear();
    if (!model || !model->firstSession)
        return;
    const SessionEntry* first = model->firstSession;
    auto num = [style](uint32_t v) { return DiscInfo_NumberText(v, style); };
    for (const SessionEntry* s = first; s; s = s->next) {
        DiscInfoRow row{};
        row[0] = Report_DiscTypeName(s->type, first->type);
        row[1] = num(s->lastBlock);
        row[2] = num(s->blockLength);
        row[3] = std::to_string(s->sessionNumber);
        row[8] = num(s->pvdLbn);
        row[9] = num(s->leadIn);
        row[10] = num(s->leadOut);
        char mode5[8];
        std::snprintf(mode5, sizeof mode5, "%02X", s->mode5Pointers);
        row[11] = mode5;
        row[12] = num(s->nextProgramArea);
        row[13] = num(s->recordingAreaLeadOut);
        bool firstTrack = true;
        for (const TrackEntry* t = s->firstTrack; t; t = t->next) {
            if (!firstTrack) {
                m_rows.push_back(std::move(row));
                row = DiscInfoRow{};
                row[0] = " ";
            }
            firstTrack = false;
            row[4] = Report_TrackKind(t);
            row[5] = std::to_string(t->trackNumber);
            row[6] = num(t->address);
            row[7] = num(t->size);
        }
        m_rows.push_back(std::move(row));
    }
}
