#include "desktop/dialogs/save_image_dlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr uint32_t kMapCell = 7; // pixels a cell
constexpr int kTick = 100;       // ms between looks at the worker's progress

} // namespace

CSaveImageDlg::CSaveImageDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_status(new QLabel(this)), m_file(new QLineEdit(this)),
      m_browse(new QPushButton("&Browse...", this)), m_progress(new QProgressBar(this)),
      m_map(new QLabel(this)), m_result(new QLabel(this)), m_start(new QPushButton("&Start", this)),
      m_stop(new QPushButton("S&top", this)) {
    setWindowTitle(IDS_SAVE_IMAGE_CAPTION);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* file = new QHBoxLayout;
    auto* label = new QLabel("Image &file:", this);
    label->setBuddy(m_file);
    file->addWidget(label);
    file->addWidget(m_file, 1);
    file->addWidget(m_browse);
    layout->addLayout(file);
    m_progress->setRange(0, 1000);
    layout->addWidget(m_progress);
    m_map->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_map);
    layout->addWidget(new QLabel("Green: read; red: unreadable; grey: not read yet", this));
    m_result->setWordWrap(true);
    m_result->setAlignment(Qt::AlignLeft |
                           Qt::AlignTop); // the outcome right below the map, the room left under it
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_result, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_start, QDialogButtonBox::ActionRole);
    buttons->addButton(m_stop, QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    resize(640, 460);

    m_file->setText(QDir::home().filePath(QString::fromStdString(CSaveImageDlgModel::ProposedName())));
    connect(buttons, &QDialogButtonBox::rejected, this, &CSaveImageDlg::reject);
    connect(m_browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
    connect(m_file, &QLineEdit::textChanged, this, [this] { Refresh(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_model.Stop(); });
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTick(); });
    Refresh();
}

void CSaveImageDlg::OnBrowse() {
    const QString file =
        QFileDialog::getSaveFileName(this, IDS_SAVE_IMAGE_CAPTION, m_file->text(),
                                     "Disc images (*.iso *.cue)", nullptr, QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty())
        m_file->setText(file);
}

void CSaveImageDlg::Start(bool wait) {
    if (m_model.Running() || !m_model.Start(m_file->text().toStdString(), wait))
        return;
    Refresh();
    if (!wait)
        m_timer.start(kTick);
}

void CSaveImageDlg::reject() {
    m_model.Stop(); // the worker ends before its next read (the model waits for it); what it read stays
    m_timer.stop();
    QDialog::reject();
}

void CSaveImageDlg::OnTick() {
    const bool more = m_model.Poll();
    Refresh();
    if (!more)
        m_timer.stop();
}

void CSaveImageDlg::Refresh() {
    m_status->setText(QString::fromStdString(m_model.StatusText()));
    m_progress->setValue(int(m_model.Done() * 1000 / std::max<uint64_t>(m_model.Total(), 1)));
    const VerifyPicture p = m_model.Picture(kMapCell);
    const QImage image(p.rgb.data(), int(p.width), int(p.height), int(p.width) * 3, QImage::Format_RGB888);
    m_map->setPixmap(QPixmap::fromImage(image.copy()));
    m_result->setText(QString::fromStdString(m_model.ResultText()));
    const QString name = m_file->text().toLower();
    m_start->setEnabled(!m_model.Running() && (name.endsWith(".iso") || name.endsWith(".cue")));
    m_file->setEnabled(!m_model.Running());
    m_browse->setEnabled(!m_model.Running());
    m_stop->setEnabled(m_model.Running());
}
