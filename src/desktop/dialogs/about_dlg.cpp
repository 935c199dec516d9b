#include "desktop/dialogs/about_dlg.h"

#include <QGridLayout>
#include <QPushButton>

#include "platform/ui/ui_images.h"
#include "res/app_strings.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_version(new QLabel(IDS_VERSION, this)), m_build(new QLabel(IDS_BUILD, this)) {
    setWindowTitle("Version");
    setModal(true);
    QFont f("Verdana");
    f.setPointSize(8);
    setFont(f);
    auto* icon = new QLabel(this);
    icon->setPixmap(ckvd::ui::ApplicationIcon().pixmap(32, 32));
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(new QLabel("CKVD Explorer Version ", this), 0, 1);
    grid->addWidget(m_version, 0, 2);
    grid->addWidget(new QLabel("Build", this), 1, 1);
    grid->addWidget(m_build, 1, 2);
    grid->addWidget(ok, 0, 3);
}
