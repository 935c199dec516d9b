#include "app/wmf_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "report/lbn_size_style.h"

CWmfDlg::CWmfDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)) {
    setWindowTitle("Windows Media File");
    setModal(true);
    m_model.OnInitDialog(g_LbnSizeStyle);
    auto* box = new QGroupBox("Windows Media File", this);
    auto* boxLayout = new QVBoxLayout(box);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f, CWmfDlgModel::FieldEnabled(f.label));
    m_fields->SetValues(m_model.Fields());
    boxLayout->addWidget(m_fields);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeInfoHeader(m_model.Header(), this));
    layout->addWidget(box, 1);
    AddOkButton(this, layout);
}
