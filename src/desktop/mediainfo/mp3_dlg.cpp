#include "desktop/mediainfo/mp3_dlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "listing/lbn_size_style.h"

CMp3Dlg::CMp3Dlg(const FileEntry* entry, QWidget* parent)
    : QDialog(parent), m_model(entry), m_version(new QComboBox(this)), m_tag(new InfoForm(this)),
      m_mpeg(new InfoForm(this)) {
    setWindowTitle("MP3");
    setModal(true);
    m_model.OnInitDialog(g_LbnSizeStyle);

    auto* tagBox = new QGroupBox("TAG", this);
    auto* tagLayout = new QVBoxLayout(tagBox);
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(new QLabel("ID3 TagVersion", tagBox));
    versionRow->addWidget(m_version, 1);
    tagLayout->addLayout(versionRow);
    for (const char* label : CMp3DlgModel::kTagLabels)
        m_tag->AddRow({label, {}, {}, {}});
    tagLayout->addWidget(m_tag);
    tagLayout->addStretch(1);

    auto* mpegBox = new QGroupBox("MPEG", this);
    auto* mpegLayout = new QVBoxLayout(mpegBox);
    for (const InfoField& f : m_model.Mpeg())
        m_mpeg->AddRow(f);
    m_mpeg->SetValues(m_model.Mpeg());
    mpegLayout->addWidget(m_mpeg);
    mpegLayout->addStretch(1);

    for (const std::string& v : m_model.TagVersions())
        m_version->addItem(QString::fromStdString(v));
    m_version->setCurrentIndex(m_model.SelectedVersion());
    ShowTag();
    connect(m_version, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_model.OnSelchangeTagVersion(index);
        ShowTag();
    });

    auto* groups = new QHBoxLayout;
    groups->addWidget(tagBox, 1);
    groups->addWidget(mpegBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeInfoHeader(m_model.Header(), this));
    layout->addLayout(groups, 1);
    AddOkButton(this, layout);
}

void CMp3Dlg::ShowTag() {
    std::vector<InfoField> values;
    for (size_t i = 0; i < CMp3DlgModel::kTagLabels.size(); ++i)
        values.push_back({CMp3DlgModel::kTagLabels[i], m_model.TagValues()[i], {}, {}});
    m_tag->SetValues(values);
}
