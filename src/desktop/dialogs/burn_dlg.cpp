#include "desktop/dialogs/burn_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

constexpr int kFileTarget = -1; // the list's item data of "An image file (stdio:)"

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// A line edit with a Browse... button beside it, for a file to open or to save.
QHBoxLayout* WithBrowse(QWidget* parent, QLineEdit* edit, bool save, const QString& filter) {
    auto* row = new QHBoxLayout;
    auto* browse = new QPushButton("Browse...", parent);
    row->addWidget(edit, 1);
    row->addWidget(browse);
    QObject::connect(browse, &QPushButton::clicked, parent, [=] {
        const QString path = save ? QFileDialog::getSaveFileName(parent, "Image File", edit->text(), filter)
                                  : QFileDialog::getOpenFileName(parent, "Disc Image", edit->text(), filter);
        if (!path.isEmpty())
            edit->setText(path);
    });
    return row;
}

} // namespace

CBurnDlg::CBurnDlg(ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(sink), m_image(new QLineEdit(this)), m_target(new QComboBox(this)),
      m_file(new QLineEdit(this)), m_blank(new QCheckBox("&Blank the disc first (a CD-RW)", this)),
      m_multi(new QCheckBox("Leave it open for &another session", this)), m_speed(new QComboBox(this)),
      m_progress(new QProgressBar(this)), m_status(new QLabel(this)), m_ranges(new QTreeWidget(this)),
      m_burn(new QPushButton("B&urn", this)) {
    setWindowTitle(IDS_BURN_CAPTION);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    // What the burn is made with, held still while it runs.
    m_settings = new QWidget(this);
    auto* form = new QFormLayout(m_settings);
    form->setContentsMargins(0, 0, 0, 0);
    // A row's label names its field, so that its letter takes the focus there.
    const auto label = [this](const char* text, QWidget* field) {
        auto* l = new QLabel(text, this);
        l->setBuddy(field);
        return l;
    };
    form->addRow(label("Disc &image:", m_image), WithBrowse(this, m_image, false, "Disc images (*.iso)"));
    for (const BurnTarget& d : m_model.Drives())
        m_target->addItem(Text(d.label), d.device);
    m_target->addItem("An image file (stdio:)", kFileTarget);
    form->addRow("&Write to:", m_target);
    form->addRow(label("Image &file:", m_file), WithBrowse(this, m_file, true, "Disc images (*.iso)"));
    m_speed->addItem("The drive's best", 0);
    for (int x : {4, 8, 16, 24, 48})
        m_speed->addItem(QString("%1x").arg(x), x);
    form->addRow("&Speed:", m_speed);
    form->addRow(m_blank);
    form->addRow(m_multi);
    layout->addWidget(m_settings);
    m_status->setWordWrap(true);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    m_ranges->setRootIsDecorated(false);
    m_ranges->setHeaderLabels({"Blocks", "State"});
    layout->addWidget(m_ranges, 1);
    m_progress->setVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_close = buttons->button(QDialogButtonBox::Close);
    buttons->addButton(m_burn, QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    resize(640, 420);
    const auto showFile = [this] { m_file->setEnabled(m_target->currentData().toInt() == kFileTarget); };
    showFile();
    connect(m_target, &QComboBox::currentIndexChanged, this, showFile);
    connect(buttons, &QDialogButtonBox::rejected, this, &CBurnDlg::reject);
    connect(m_burn, &QPushButton::clicked, this, [this] { BurnNow(); });
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
}

void CBurnDlg::OfferMultisession(bool offer) {
    m_multi->setEnabled(offer);
    if (!offer)
        m_multi->setChecked(false);
}

BurnTarget CBurnDlg::Chosen() const {
    const int device = m_target->currentData().toInt();
    if (device == kFileTarget)
        return BurnTarget::ToFile(m_file->text().toStdString());
    for (const BurnTarget& d : m_model.Drives())
        if (d.device == device)
            return d;
    return {};
}

bool CBurnDlg::BurnNow() {
    BurnOptions options;
    options.blank = m_blank->isChecked();
    options.multisession = m_multi->isChecked();
    options.speed = m_speed->currentData().toInt() * 150 * 1024 / 1000;
    const auto where = m_background ? BackgroundJob::Where::OwnThread : BackgroundJob::Where::Here;
    if (!m_model.Start(m_image->text().toStdString(), Chosen(), options, where)) {
        m_status->setText("Choose the disc image and where it goes.");
        return false;
    }
    Running(true);
    m_ranges->clear();
    m_progress->setVisible(true);
    m_progress->setValue(0);
    m_status->setText(QString::fromUtf8("Burning\u2026"));
    if (!m_background) {
        Done();
        return m_model.Compared();
    }
    m_poll.start(100);
    return true;
}

void CBurnDlg::Poll() {
    const BackgroundJob::Progress p = m_model.Now();
    m_progress->setMaximum(p.total ? 1000 : 0);
    m_progress->setValue(p.total ? int(p.done * 1000 / p.total) : 0);
    if (!p.what.empty())
        m_status->setText(Text(p.what) + QString::fromUtf8("\u2026") +
                          (p.total ? QString(" %1 of %2 MB")
                                         .arg(double(p.done) / 1e6, 0, 'f', 1)
                                         .arg(double(p.total) / 1e6, 0, 'f', 1)
                                   : QString()));
    if (m_model.Ready()) {
        m_poll.stop();
        Done();
    }
}

void CBurnDlg::Done() {
    const bool ok = m_model.Finish();
    m_progress->setVisible(false);
    Running(false);
    if (!ok) {
        m_status->setText("The disc was not burned.");
        return;
    }
    m_status->setText(Text(m_model.ResultText()));
    for (const BurnRange& r : m_model.Bad())
        new QTreeWidgetItem(m_ranges, {QString("%1-%2").arg(r.first).arg(r.last), r.state});
    if (onBurned)
        onBurned(m_model.Burned());
}

// A disc half written is lost: while the burn runs nothing can change it or close the dialog.
void CBurnDlg::Running(bool on) {
    m_settings->setEnabled(!on);
    m_burn->setEnabled(!on);
    m_close->setEnabled(!on);
}

void CBurnDlg::reject() {
    if (!m_model.Busy())
        QDialog::reject();
}
