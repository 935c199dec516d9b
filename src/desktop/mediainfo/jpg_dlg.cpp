#include "desktop/mediainfo/jpg_dlg.h"

#include <QVBoxLayout>

#include "listing/lbn_size_style.h"

CJpgDlg::CJpgDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)) {
    m_model.OnInitDialog(g_LbnSizeStyle);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f);
    m_fields->SetValues(m_model.Fields());
    LayOutInfoDialog(this, "JPG", m_model.Header(), m_fields);
}
