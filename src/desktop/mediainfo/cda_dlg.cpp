#include "desktop/mediainfo/cda_dlg.h"

#include "listing/lbn_size_style.h"

CCdaDlg::CCdaDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)) {
    m_model.OnInitDialog(g_LbnSizeStyle);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f);
    m_fields->SetValues(m_model.Fields());
    LayOutInfoDialog(this, "CDA", m_model.Header(), m_fields);
}
