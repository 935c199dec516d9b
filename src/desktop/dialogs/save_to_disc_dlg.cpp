#include "desktop/dialogs/save_to_disc_dlg.h"

#include <QApplication>
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
        const FileEntry* entry = m_model.Entry();
        const std::unique_ptr<QFileDialog> dialog =
            App_SaveToDiscFileDialog(proposed, nullptr, entry && SaveToDisc_IsAudioTrack(*entry));
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::string();
        return dialog->selectedFiles().front().toStdString();
    };
    m_model.setRange = [this](uint64_t size) {
        m_size = size;
        m_progress->setRange(1, std::max(1, Units(size)));
    };
    m_model.progress = [this](uint64_t written) {
        m_progress->setValue(Units(written));
        m_progress->repaint();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
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

void CSaveToDiscDlg::OnShowWindow() {
    repaint();
    m_outcome = m_model.OnShowWindow();
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
    // A progress bar counts in int: totals past its range are counted in KiB.
    const uint64_t total = m_model.Total().bytes;
    const int shift = total > uint64_t(INT_MAX) ? 10 : 0;
    m_progress->setRange(0, std::max(1, int(total >> shift)));
    m_model.chooseFolder = [this] {
        const std::unique_ptr<QFileDialog> dialog = App_SaveToDiscFolderDialog(this);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
            return std::string();
        return dialog->selectedFiles().front().toStdString();
    };
    m_model.progress = [this, shift](const TreeCopyTotals& done) {
        Show(done);
        m_progress->setValue(int(done.bytes >> shift));
        // Every event, the Cancel button's click among them; the window is modal, so no other input arrives.
        QApplication::processEvents();
    };
    m_model.stop = [this] { return m_cancelled; };
    Show({});
}

void CSaveTreeDlg::Show(const TreeCopyTotals& done) {
    m_files->setText(QString("%1 of %2 files, %3 of %4 bytes")
                         .arg(done.files)
                         .arg(m_model.Total().files)
                         .arg(qulonglong(done.bytes))
                         .arg(qulonglong(m_model.Total().bytes)));
}

void CSaveTreeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, [this] { OnShowWindow(); });
    }
}

void CSaveTreeDlg::reject() {
    if (m_running)
        m_cancelled = true; // the copy stops before its next chunk and then closes the window
    else
        QDialog::reject();
}

void CSaveTreeDlg::OnShowWindow() {
    m_running = true;
    m_result = m_model.OnShowWindow();
    m_running = false;
    accept();
}
