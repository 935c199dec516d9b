#include "desktop/dialogs/save_disc_info_dlg.h"

#include "appmodel/catalogue_add.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "listing/disc_text.h"
#include "platform/ui/ui_text.h"

namespace {

bool IsDialogKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape;
}

} // namespace

CSaveDiscInfoDlg::CSaveDiscInfoDlg(int number, ckvd::ui::MessageSink& sink, QWidget* parent)
    : QDialog(parent), m_model(number, sink), m_number(new QLineEdit(this)), m_comment(new QLineEdit(this)),
      m_progress(new QProgressBar(this)), m_yes(new QPushButton("Yes...Please", this)),
      m_save(new QPushButton("Save...", this)), m_no(new QPushButton("No...", this)),
      m_offer(new QCheckBox("Offer a report after every disc load", this)) {
    setWindowTitle("Are You Save DiscInformation?");
    setModal(true);
    m_number->setMaxLength(REPORT_NUMBER_CHARS);
    m_number->setMinimumWidth(m_number->fontMetrics().horizontalAdvance("000000000000000") + 16);
    m_comment->setMaxLength(REPORT_COMMENT_BYTES);
    m_comment->setMinimumWidth(m_comment->fontMetrics().averageCharWidth() * 40);
    m_progress->setTextVisible(false);
    // A thin bar, so that it does not look like a third field to type in.
    m_progress->setFixedHeight(m_progress->fontMetrics().height() / 2 + 4);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel("Disc Management Number", this), 0, 0);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(m_number);
    numberRow->addWidget(new QLabel("(Automatic)", this));
    numberRow->addStretch(1);
    fields->addLayout(numberRow, 0, 1);
    fields->addWidget(new QLabel("Comment", this), 1, 0, 1, 2);
    fields->addWidget(m_comment, 2, 0, 1, 2);
    fields->addWidget(m_progress, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_yes);
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_no);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    m_offer->setChecked(true);
    layout->addWidget(m_offer);
    // Tab goes as the eye does: top to bottom, left to right.
    QWidget* const order[] = {m_number, m_comment, m_yes, m_save, m_no, m_offer};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    for (QPushButton* b : {m_yes, m_save, m_no}) {
        b->setAutoDefault(false);
        b->installEventFilter(this);
    }
    m_number->installEventFilter(this);
    m_comment->installEventFilter(this);
    connect(m_yes, &QPushButton::clicked, this, &CSaveDiscInfoDlg::OnYesPlease);
    connect(m_save, &QPushButton::clicked, this, &CSaveDiscInfoDlg::OnSave);
    connect(m_no, &QPushButton::clicked, this, [this] {
        m_model.OnNo();
        reject();
    });
    m_model.chooseFile = [this](const std::string& proposed) { return ChooseFile(proposed); };
    m_model.addToCatalogue = [](int number, const std::string& comment, std::string& message) {
        return App_AddToCatalogue(number, comment, {}, message);
    };
    // OnInitDialog: only "Yes...Please" and "No..." are usable.
    m_model.OnInitDialog();
    EnableReportControls(false);
}

void CSaveDiscInfoDlg::EnableReportControls(bool enable) {
    m_number->setEnabled(enable);
    m_comment->setEnabled(enable);
    m_progress->setEnabled(enable);
    m_save->setEnabled(enable);
}

void CSaveDiscInfoDlg::OnYesPlease() {
    m_number->setText(QString::fromStdString(m_model.OnYesPlease()));
    EnableReportControls(true);
    // The fields come first on the eye's way through the dialog, and Tab goes on from there.
    m_number->setFocus(Qt::OtherFocusReason);
}

std::string CSaveDiscInfoDlg::ChooseFile(const std::string& proposedName) {
    QFileDialog dlg(this, "Save DiscInformation");
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix("csv");
    dlg.setNameFilters({"DiscInformation Files (*.csv)", "All Files (*)"});
    dlg.selectFile(QString::fromStdString(proposedName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().front().toStdString();
}

void CSaveDiscInfoDlg::OnProgress(int, uint32_t done, uint32_t total) {
    if (done == 1) {
        m_progress->setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
        m_sincePaint.start();
    }
    m_progress->setValue(int(std::min<uint32_t>(done, INT32_MAX)));
    // The bar moves as the files are written; drawing it for every one of 50,000 files would cost more
    // than the report, so it is drawn at most every 30 ms.
    if (done == total || m_sincePaint.elapsed() >= 30) {
        m_progress->repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        m_sincePaint.restart();
    }
}

void CSaveDiscInfoDlg::OnSave() {
    const std::string comment = Report_Utf8ToSjis(m_comment->text().toStdString());
    setEnabled(false);
    m_model.OnSave(m_number->text().toStdString(), comment,
                   [this](int tree, uint32_t done, uint32_t total) { OnProgress(tree, done, total); });
    setEnabled(true);
    if (m_model.Result() == ReportDlgResult::Cancel)
        reject();
    else
        accept();
}

void CSaveDiscInfoDlg::reject() {
    if (m_model.State() != ReportDlgState::Writing)
        QDialog::reject();
}

bool CSaveDiscInfoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && IsDialogKey(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CSaveDiscInfoDlg::keyPressEvent(QKeyEvent* event) {
    if (IsDialogKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
