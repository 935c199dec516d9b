#include "app/cda_dlg.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "report/lbn_size_style.h"

CCdaDlg::CCdaDlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_fields(new InfoForm(this)) {
    setWindowTitle("CDA");
    setModal(true);
    m_model.OnInitDialog(g_LbnSizeStyle);
    auto* box = new QGroupBox("CDA", this);
    auto* boxLayout = new QVBoxLayout(box);
    for (const InfoField& f : m_model.Fields())
        m_fields->AddRow(f);
    m_fields->SetValues(m_model.Fields());
    boxLayout->addWidget(m_fields);
    boxLayout->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeInfoHeader(m_model.Header(), this));
    layout->addWidget(box, 1);
    AddOkButton(this, layout);
}

CJpgDlg::CJpgDlg(const FileEntry* entry, QWidget* parent) : QDialog(parent) {
    setWindowTitle("JPG");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    if (entry)
        layout->addWidget(MakeInfoHeader(InfoDialogHeader(*entry, g_LbnSizeStyle), this));
    AddOkButton(this, layout);
}
