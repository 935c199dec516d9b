#include "desktop/mediainfo/wmf_dlg.h"

#include "listing/lbn_size_style.h"

CWmfDlg::CWmfDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)) {
    m_model.OnInitDialog(g_LbnSizeStyle);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f, CWmfDlgModel::FieldEnabled(f.label));
    m_fields->SetValues(m_model.Fields());
    LayOutInfoDialog(this, "Windows Media File", m_model.Header(), m_fields);
}
