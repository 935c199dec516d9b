#include "desktop/dialogs/verify_dlg.h"
#include "platform/text/grouped_number.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

constexpr uint32_t kMapCell = 7;   // pixels a cell on screen (the map written to a file has 9)
constexpr int kMapMaxHeight = 240; //
constexpr int kTick = 100;         // ms between looks at the worker's progress

// The map's pixels as a Qt image (deep copy: the picture goes away).
QPixmap MapPixmap(const VerifyPicture& p) {
    const QImage image(p.rgb.data(), int(p.width), int(p.height), int(p.width) * 3, QImage::Format_RGB888);
    return QPixmap::fromImage(image.copy());
}

// One legend item: a square of the state's colour and its name.
QWidget* LegendItem(uint8_t state, const char* name, QWidget* parent) {
    auto* item = new QWidget(parent);
    auto* row = new QHBoxLayout(item);
    row->setContentsMargins(0, 0, 0, 0);
    auto* swatch = new QLabel(item);
    QPixmap square(12, 12);
    square.fill(QColor::fromRgb(kVerifyColours[state]));
    swatch->setPixmap(square);
    row->addWidget(swatch);
    row->addWidget(new QLabel(name, item));
    row->addStretch(1);
    return item;
}

} // namespace

CVerifyDlg::CVerifyDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_status(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_map(new QLabel), m_scale(new QLabel(this)), m_list(new QTreeWidget(this)),
      m_checked(new QLabel(this)), m_summary(new QLabel(this)), m_stop(new QPushButton("&Stop", this)),
      m_save(new QPushButton("Save &Map...", this)) {
    setWindowTitle(IDS_VERIFY_CAPTION);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    layout->addWidget(m_status);
    m_progress->setRange(0, 1000);
    layout->addWidget(m_progress);

    // The map with its legend beside it on top, the damaged entries below at the dialog's full width.
    auto* top = new QHBoxLayout;
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_map);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_map->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    top->addWidget(m_scroll, 0, Qt::AlignTop);
    auto* legend = new QVBoxLayout;
    legend->addWidget(LegendItem(VERIFY_READABLE, "Sound", this));
    legend->addWidget(LegendItem(VERIFY_CORRUPT, "Corrupt", this));
    legend->addWidget(LegendItem(VERIFY_UNREADABLE, "Unreadable", this));
    legend->addWidget(LegendItem(VERIFY_NOT_READ, "Not read yet", this));
    legend->addWidget(LegendItem(VERIFY_GAP, "Not in the image", this));
    m_noCodes = LegendItem(VERIFY_NO_EDC, "Read; the drive gives no EDC/ECC", this);
    m_noCodes->hide();
    legend->addWidget(m_noCodes);
    m_scale->setWordWrap(true);
    legend->addWidget(m_scale);
    legend->addStretch(1);
    top->addLayout(legend, 1);
    layout->addLayout(top);

    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({"Damaged file or directory", "Blocks", "Damage"});
    m_list->setToolTip("Double-click an entry to show it in the tree and list");
    m_list->setMinimumHeight(120);
    const QFontMetrics fm = m_list->fontMetrics();
    m_list->setColumnWidth(0, fm.horizontalAdvance("(Session1) /DAMAGED FILE OR DIRECTORY/NAME.MP3"));
    m_list->setColumnWidth(1, fm.horizontalAdvance("000,000-000,000") + 16);
    layout->addWidget(m_list, 1);

    m_checked->setWordWrap(true);
    m_checked->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_checked);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_save, QDialogButtonBox::ActionRole);
    buttons->addButton(m_stop, QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    resize(860, 600);

    connect(buttons, &QDialogButtonBox::rejected, this, &CVerifyDlg::reject);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        m_model.Stop();
        Refresh();
    });
    connect(m_save, &QPushButton::clicked, this, [this] { OnSaveMap(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        const int row = m_list->indexOfTopLevelItem(item);
        if (row < 0 || size_t(row) >= m_model.Rows().size() || !onSelect)
            return;
        const CVerifyDlgModel::Row& r = m_model.Rows()[size_t(row)];
        if (r.session > 0)
            onSelect(r.session, r.path);
    });
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTick(); });
    Refresh();
}

void CVerifyDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_autoStart)
        return;
    m_autoStart = false;
    if (!m_model.StartOnWorker()) {
        QTimer::singleShot(0, this, [this] { QDialog::reject(); });
        return;
    }
    Refresh();
    m_timer.start(kTick);
}

void CVerifyDlg::reject() {
    m_model.Stop();
    m_timer.stop();
    QDialog::reject();
}

void CVerifyDlg::OnTick() {
    const bool more = m_model.Poll();
    if (!m_model.Started()) { // the plan failed on the worker: its message is shown
        reject();
        return;
    }
    Refresh();
    if (!more)
        m_timer.stop();
}

void CVerifyDlg::Refresh() {
    m_status->setText(QString::fromStdString(m_model.StatusText()));
    m_progress->setValue(int(m_model.Done() * 1000 / std::max<uint64_t>(m_model.Total(), 1)));
    m_map->setPixmap(MapPixmap(m_model.Picture(kMapCell)));
    m_map->adjustSize();
    // The whole map where it fits, up to about 30 rows of cells; more scroll.
    const int frame = 2 * m_scroll->frameWidth();
    m_scroll->setFixedSize(m_map->width() + frame +
                               m_scroll->verticalScrollBar()->sizeHint().width() *
                                   (m_map->height() > kMapMaxHeight ? 1 : 0),
                           std::min(m_map->height(), kMapMaxHeight) + frame);
    const VerifyMapLayout layout = Verify_MapLayout(m_model.Total());
    m_scale->setText(
        QString::fromStdString("One cell: " + Verify_Count(layout.blocksPerCell, "block", "blocks") + " of " +
                               ckvd::text::grouped(m_model.Total())));
    if (m_list->topLevelItemCount() != int(m_model.Rows().size())) {
        m_list->clear();
        for (const CVerifyDlgModel::Row& r : m_model.Rows()) {
            auto* item =
                new QTreeWidgetItem(m_list, {QString::fromStdString(r.name), QString::fromStdString(r.blocks),
                                             QString::fromStdString(r.damage)});
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        for (int c = 0; c < 3 && !m_model.Rows().empty(); ++c)
            m_list->resizeColumnToContents(c);
    }
    m_checked->setText(QString::fromStdString(m_model.CheckedText()));
    m_noCodes->setVisible(m_model.NoErrorCodes());
    m_summary->setText(QString::fromStdString(m_model.SummaryText()));
    m_stop->setEnabled(m_model.Running() && !m_model.Stopping());
    m_save->setEnabled(!m_model.Running() && m_model.Total() > 0);
}

void CVerifyDlg::OnSaveMap() {
    const QString file =
        QFileDialog::getSaveFileName(this, "Save Map", "verify-map.png", "PNG pictures (*.png)");
    if (file.isEmpty())
        return;
    std::string error;
    if (!Verify_WritePng(file.toStdString(), m_model.Picture(), error))
        m_model.Sink().ShowUtf8("The map was not saved.\n" + error);
}
