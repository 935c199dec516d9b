#include "app/drive_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

CDriveDlg::CDriveDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_list(new QTreeWidget(this)), m_ok(new QPushButton("OK", this)),
      m_cancel(new QPushButton("Cancel", this)) {
    setWindowTitle("Select Drive");
    setModal(true);
    resize(560, 260);
    auto* icon = new QLabel(this);
    icon->setPixmap(ckvd::ui::DrawImage(IMG_CDDRIVE, 32));
    icon->setAlignment(Qt::AlignTop);
    m_list->setRootIsDecorated(false);
    m_list->setSortingEnabled(false);
    m_list->setColumnCount(4);
    QStringList headings;
    for (const DriveColumn& c : kDriveColumns)
        headings << c.heading;
    m_list->setHeaderLabels(headings);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_model.OnCancel();
        reject();
    });
    // Only a selection starts a drive: the focus a list takes on its first row by itself does not.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& i : deselected.indexes())
                    if (i.column() == 0)
                        m_model.OnItemChanged(i.row(), 0);
                for (const QModelIndex& i : selected.indexes())
                    if (i.column() == 0) {
                        m_model.OnItemChanged(i.row(), 1);
                        Sync();
                    }
            });
    m_model.repaint = [this] {
        Sync();
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
}

int CDriveDlg::exec() {
    if (!m_initialised) {
        m_initialised = true;
        Fill();
    }
    return QDialog::exec();
}

void CDriveDlg::Fill() {
    int w = m_list->viewport()->width() > 0 ? width() - 60 : 500;
    m_model.OnInitDialog();
    m_list->clear();
    for (int c = 0; c < 4; ++c)
        m_list->setColumnWidth(c, w / kDriveColumns[c].widthDivisor);
    for (const DriveRow& row : m_model.Rows()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, ckvd::ui::SjisToQString(row.drive));
        item->setText(1, QString::fromStdString(row.id));
        item->setText(2, ckvd::ui::SjisToQString(row.vendor));
        item->setText(3, ckvd::ui::SjisToQString(row.product));
    }
    m_list->setCurrentItem(nullptr);
}

void CDriveDlg::OnOK() {
    m_model.OnOK();
    Sync();
}

void CDriveDlg::Sync() {
    bool enabled = m_model.ControlsEnabled();
    m_list->setEnabled(enabled);
    m_ok->setEnabled(enabled);
    m_cancel->setEnabled(enabled);
    if (m_model.DialogResult() == CDriveDlgModel::Result::Ok)
        accept();
}
