#include "desktop/dialogs/drive_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ui/ui_images.h"
#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

CDriveDlg::CDriveDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_list(new QTreeWidget(this)), m_empty(new QLabel(m_list->viewport())),
      m_open(new QPushButton("Open Disc &Image...", this)), m_ok(new QPushButton("OK", this)),
      m_cancel(new QPushButton("Cancel", this)) {
    setWindowTitle("Select Drive");
    setModal(true);
    resize(560, 260);
    auto* icon = new QLabel(this);
    icon->setPixmap(ckvd::ui::DrawImage(IMG_CDDRIVE, 32));
    icon->setAlignment(Qt::AlignTop);
    m_list->setRootIsDecorated(false);
    m_list->setSortingEnabled(false);
    m_list->setColumnCount(int(std::size(kDriveColumns)));
    m_list->setTextElideMode(Qt::ElideMiddle);
    m_list->header()->setStretchLastSection(true);
    QStringList headings;
    for (const DriveColumn& c : kDriveColumns)
        headings << ckvd::ui::ShownCaption(c.heading);
    m_list->setHeaderLabels(headings);
    m_empty->setText(
        "No CD drive was found.\n\nTo look at a disc image (.iso, .cue, .ccd, .nrg, .toc, .mds, a raw .bin\n"
        "or .img), choose Open Disc Image... here or in the File menu (Ctrl+O).");
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->hide();
    (new QVBoxLayout(m_list->viewport()))->addWidget(m_empty);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    m_ok->setDefault(true);
    m_open->setAutoDefault(false);
    connect(m_open, &QPushButton::clicked, this, [this] {
        m_model.OnCancel();
        done(OpenImage);
    });
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
    connect(&m_states, &QTimer::timeout, this, [this] {
        if (!m_model.ControlsEnabled()) // a drive is being started: its tests are the start's
            return;
        m_model.RefreshStates();
        ShowStates();
    });
    m_model.repaint = [this] {
        Sync();
        repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
}

int CDriveDlg::exec() {
    Prepare();
    return QDialog::exec();
}

void CDriveDlg::Prepare() {
    if (!m_initialised) {
        m_initialised = true;
        Fill();
        m_states.start(2000);
    }
}

void CDriveDlg::Fill() {
    m_model.OnInitDialog();
    m_list->clear();
    for (const DriveRow& row : m_model.Rows()) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(row.drive));
        item->setToolTip(0, QString::fromStdString(row.path));
        item->setText(1, QString::fromStdString(row.id));
        item->setText(2, ckvd::ui::SjisToQString(row.vendor));
        item->setText(3, ckvd::ui::SjisToQString(row.product));
        item->setText(4, ckvd::ui::SjisToQString(row.revision));
    }
    ShowStates();
    m_list->setCurrentItem(nullptr);
    m_empty->setVisible(m_model.Rows().empty());
    FitColumns();
}

void CDriveDlg::ShowStates() {
    const std::vector<DriveRow>& rows = m_model.Rows();
    for (int i = 0; i < m_list->topLevelItemCount() && size_t(i) < rows.size(); ++i)
        m_list->topLevelItem(i)->setText(5, QString::fromStdString(rows[size_t(i)].state));
}

void CDriveDlg::FitColumns() {
    // The fractions of the list's width to start with; a column whose texts would be cut grows to them.
    const int w = m_list->viewport()->width();
    for (int c = 0; c < int(std::size(kDriveColumns)); ++c) {
        m_list->resizeColumnToContents(c);
        m_list->setColumnWidth(c, std::max(m_list->columnWidth(c), w / kDriveColumns[c].widthDivisor));
    }
}

void CDriveDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_initialised)
        FitColumns();
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
    m_open->setEnabled(enabled);
    if (m_model.DialogResult() == CDriveDlgModel::Result::Ok)
        accept();
}
