#include "desktop/dialogs/save_to_disc_dlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

std::unique_ptr<QFileDialog> App_SaveToDiscFileDialog(const std::string& proposed, QWidget* parent,
                                                      bool audioTrack) {
    const QString kWav = "WAV audio (*.wav)", kFlac = "FLAC audio (*.flac)";
    auto dialog = std::make_unique<QFileDialog>(parent, "Save to Disc", QString(),
                                                audioTrack ? kWav + ";;" + kFlac
                                                           : "Save to Disc (*.*);;All Files (*.*)");
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(QString::fromStdString(proposed));
    if (audioTrack) {
        // The format follows the filter chosen: the proposed name takes its extension, and so does a name
        // typed without one.
        const QString base = QString::fromStdString(proposed).section('.', 0, -2);
        dialog->setDefaultSuffix("wav");
        QFileDialog* d = dialog.get();
        QObject::connect(d, &QFileDialog::filterSelected, d, [d, base, kFlac](const QString& filter) {
            const QString suffix = filter == kFlac ? "flac" : "wav";
            d->setDefaultSuffix(suffix);
            d->selectFile(base + "." + suffix);
        });
    }
    return dialog;
}

namespace {
constexpr int kPollMs = 50;
} // namespace

CSaveToDiscDlg::CSaveToDiscDlg(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_model(sink, entries, row),
      m_progress(new QProgressBar(this)) {
    setModal(true);
    setFixedSize(330, 26);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_progress);
    m_progress->setTextVisible(false);
    m_model.chooseFile = [this](const std::string& proposed) {
        const std::unique_ptr<QFileDialog> dialog =
            App_SaveToDiscFileDialog(proposed, nullptr, m_model.AudioTrack());
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::string();
        return dialog->selectedFiles().front().toStdString();
    };
    m_model.setRange = [this](uint64_t size) {
        m_size = size;
        m_progress->setRange(1, std::max(1, Units(size)));
    };
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
}

int CSaveToDiscDlg::Units(uint64_t bytes) const {
    // A progress bar counts in int: sizes past its range are counted in KiB.
    return int(m_size > uint64_t(INT_MAX) ? bytes >> 10 : bytes);
}

void CSaveToDiscDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, [this] { OnShowWindow(); });
    }
}

void CSaveToDiscDlg::reject() {
    if (m_job)
        m_job->Cancel(); // the copy stops before its next chunk; the timer then closes the window
    else
        QDialog::reject();
}

void CSaveToDiscDlg::OnShowWindow() {
    repaint();
    if (!m_model.Begin()) {
        m_outcome = m_model.Outcome();
        QTimer::singleShot(SAVE_CLOSE_DELAY_MS, this, [this] { accept(); });
        return;
    }
    // The worker reads only the Disc the model shares; its progress goes to the job, which the timer reads.
    m_job = std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) {
        m_model.Copy([&control](uint64_t written) { control.Report(written, 0); },
                     [&control] { return control.Cancelled(); });
    });
    m_poll.start(kPollMs);
}

void CSaveToDiscDlg::Poll() {
    const bool finished = m_job->Finished();
    if (const uint64_t written = m_job->Now().done)
        m_progress->setValue(Units(written));
    if (!finished)
        return;
    m_poll.stop();
    m_job.reset();
    m_outcome = m_model.End();
    QTimer::singleShot(SAVE_CLOSE_DELAY_MS, this, [this] { accept(); });
}

std::unique_ptr<QFileDialog> App_SaveToDiscFolderDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, "Save to Disc: choose a folder");
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return dialog;
}

CSaveTreeDlg::CSaveTreeDlg(ckvd::ui::MessageSink& sink, std::vector<const FileEntry*> entries,
                           QWidget* parent)
    : QDialog(parent), m_model(sink, std::move(entries)), m_files(new QLabel(this)),
      m_progress(new QProgressBar(this)) {
    setModal(true);
    setWindowTitle("Save to Disc");
    setMinimumWidth(380);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_files);
    layout->addWidget(m_progress);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSaveTreeDlg::reject);
    layout->addWidget(buttons);
    const uint64_t total = m_model.Total().bytes;
    m_shift = total > uint64_t(INT_MAX) ? 10 : 0;
    m_progress->setRange(0, std::max(1, int(total >> m_shift)));
    m_model.chooseFolder = [this] {
        const std::unique_ptr<QFileDialog> dialog = App_SaveToDiscFolderDialog(this);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::string();
        return dialog->selectedFiles().front().toStdString();
    };
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
    Show({});
}

void CSaveTreeDlg::Show(const TreeCopyTotals& done) {
    m_files->setText(QString("%1 of %2 files, %3 of %4 bytes")
                         .arg(done.files)
                         .arg(m_model.Total().files)
                         .arg(qulonglong(done.bytes))
                         .arg(qulonglong(m_model.Total().bytes)));
    if (done.bytes) // until the first bytes the bar stays blank, as the window opens
        m_progress->setValue(int(done.bytes >> m_shift));
}

void CSaveTreeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, [this] { OnShowWindow(); });
    }
}

void CSaveTreeDlg::reject() {
    if (m_job)
        m_job->Cancel(); // the copy stops before its next chunk; the timer then closes the window
    else
        QDialog::reject();
}

void CSaveTreeDlg::OnShowWindow() {
    if (!m_model.Begin()) {
        m_result = m_model.Result();
        accept();
        return;
    }
    m_job = std::make_unique<BackgroundJob>([this](BackgroundJob::Control& control) {
        m_model.Copy(
            [this, &control](const TreeCopyTotals& done) {
                m_filesDone.store(done.files, std::memory_order_relaxed);
                control.Report(done.bytes, 0);
            },
            [&control] { return control.Cancelled(); });
    });
    m_poll.start(kPollMs);
}

void CSaveTreeDlg::Poll() {
    const bool finished = m_job->Finished();
    Show({m_filesDone.load(std::memory_order_relaxed), m_job->Now().done});
    if (!finished)
        return;
    m_poll.stop();
    m_job.reset();
    Show(m_model.Done());
    m_result = m_model.End();
    accept();
}
