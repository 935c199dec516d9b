#include "desktop/dialogs/level1_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <algorithm>

CLevel1Dlg::CLevel1Dlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Lumaset Algorithm (Level1)");
    setModal(true);
    // OK above Cancel at the right, as the dialog has always had them; the room to their left stays empty.
    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    buttons->addButton(QDialogButtonBox::Cancel);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QHBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(buttons, 0, Qt::AlignTop);
    // At least as wide as its title with the window manager's icon and buttons beside it.
    const int titleWidth = fontMetrics().horizontalAdvance(windowTitle()) + fontMetrics().height() * 8;
    setMinimumSize(std::max(fontMetrics().averageCharWidth() * 44, titleWidth), fontMetrics().height() * 6);
}
