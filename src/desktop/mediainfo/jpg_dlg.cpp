#include "desktop/mediainfo/jpg_dlg.h"

#include <QVBoxLayout>

#include "listing/lbn_size_style.h"

CJpgDlg::CJpgDlg(const FileEntry* entry, QWidget* parent) : QDialog(parent) {
    setWindowTitle("JPG");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    if (entry)
        layout->addWidget(MakeInfoHeader(InfoDialogHeader(*entry, g_LbnSizeStyle), this));
    AddOkButton(this, layout);
}
