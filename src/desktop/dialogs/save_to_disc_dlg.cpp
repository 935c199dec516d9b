#include "desktop/dialogs/save_to_disc_dlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

std::unique_ptr<QFileDialog> App_SaveToDiscFileDialog(const std::string& proposed, QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, "Save to Disc", QString(),
                                                "Save to Disc (*.*);;All Files (*.*)");
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(QString::fromStdString(proposed));
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
    m_model.chooseFile = [](const std::string& proposed) {
        const std::unique_ptr<QFileDialog> dialog = App_SaveToDiscFileDialog(proposed, nullptr);
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
