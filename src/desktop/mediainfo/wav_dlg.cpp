#include "desktop/mediainfo/wav_dlg.h"

#include "desktop/mediainfo/pcm_format_dlg.h"
#include "listing/lbn_size_style.h"

CWavDlg::CWavDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)),
      m_format(new QPushButton("Format", this)) {
    m_model.OnInitDialog(g_LbnSizeStyle);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f, true, f.label == "Format" ? m_format : nullptr);
    m_fields->SetValues(m_model.Fields());
    connect(m_format, &QPushButton::clicked, this, &CWavDlg::OnFormat);
    LayOutInfoDialog(this, "WAV", m_model.Header(), m_fields);
}

void CWavDlg::OnFormat() {
    CPcmFormatDlg dlg(this);
    dlg.exec();
}
