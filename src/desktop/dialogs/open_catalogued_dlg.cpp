#include "desktop/dialogs/open_catalogued_dlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

void FillCatalogueDiscList(QTreeWidget* list, const COpenCataloguedDlgModel& model) {
    QStringList columns;
    for (const std::string& c : COpenCataloguedDlgModel::Columns())
        columns << QString::fromStdString(c);
    list->clear();
    list->setRootIsDecorated(false);
    list->setHeaderLabels(columns);
    for (const CatalogueDisc& d : model.Discs()) {
        QStringList cells;
        for (const std::string& c : COpenCataloguedDlgModel::Row(d))
            cells << QString::fromStdString(c);
        auto* item = new QTreeWidgetItem(list, cells);
        item->setData(0, Qt::UserRole, d.number);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(4, cells[4]);
    }
    for (int c = 0; c < list->columnCount(); ++c)
        list->resizeColumnToContents(c);
    list->setColumnWidth(4, std::min(list->columnWidth(4), 260)); // a long path: its tool tip holds it whole
    if (list->topLevelItemCount() > 0)
        list->setCurrentItem(list->topLevelItem(0));
}

COpenCataloguedDlg::COpenCataloguedDlg(QWidget* parent)
    : QDialog(parent), m_discs(new QTreeWidget(this)), m_status(new QLabel(this)) {
    setWindowTitle(IDS_OPEN_CATALOGUED_CAPTION);
    auto* layout = new QVBoxLayout(this);
    m_discs->setToolTip("Double-click a disc to browse it from the catalogue");
    layout->addWidget(m_discs, 1);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    resize(720, 320);
    m_model.Open();
    FillCatalogueDiscList(m_discs, m_model);
    m_status->setText(QString::fromStdString(m_model.Status()));
    buttons->button(QDialogButtonBox::Open)->setEnabled(!m_model.Discs().empty());
    connect(m_discs, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int COpenCataloguedDlg::Selected() const {
    const QTreeWidgetItem* item = m_discs->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : -1;
}
