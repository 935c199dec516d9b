// The window's disc loads: at once (the command line's, screenshots), or on a worker while the window keeps
// answering, with "Reading the disc..." and a Cancel button in the status bar (Esc cancels too); a timer
// takes the new disc once the work has ended and no dialog or menu is open over the window.
#include <QApplication>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "desktop/mainwindow/main_frm.h"
#include "platform/text/grouped_number.h"

namespace {
constexpr const char* kReading = "Reading the disc\u2026";
constexpr int kPollMs = 50;
constexpr int kDrivePollMs = 2000;
} // namespace

bool CMainFrame::LoadDisc(uint16_t device) {
    StopLoads();
    UpdateTitle({});
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = m_model.LoadDisc(device);
    QApplication::restoreOverrideCursor();
    ShowLoaded(ok);
    return ok;
}

bool CMainFrame::BeginLoad(uint16_t device, std::function<void(bool)> done) {
    if (!m_backgroundWork) {
        const bool ok = LoadDisc(device);
        if (done)
            done(ok);
        return ok;
    }
    StopLoads();
    m_model.StartLoad(device);
    m_loadDone = std::move(done);
    ShowLoading(true);
    return true;
}

void CMainFrame::CancelLoad() {
    if (!m_model.Loading())
        return;
    m_model.CancelLoad();
    m_loadDone = {};
    ShowLoading(false);
}

void CMainFrame::StopLoads() {
    CancelLoad();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model.WaitForLoads();
    QApplication::restoreOverrideCursor();
}

void CMainFrame::StopDriveReaders() {
    StopLoads();
    // A catalogue add reads through the drive list a scan rebuilds: it ends first.
    FinishCatalogueAdd();
}

void CMainFrame::FinishCatalogueAdd() {
    if (!m_catalogueAdd)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_catalogueAdd->Wait();
    QApplication::restoreOverrideCursor();
    PollCatalogueAdd(); // says how it went
}

void CMainFrame::PollCatalogueAdd() {
    if (!m_catalogueAdd || !m_catalogueAdd->Finished())
        return;
    const std::unique_ptr<CatalogueAddJob> done = std::move(m_catalogueAdd);
    m_catalogueTimer->stop();
    ShowIdle();
    const bool added = done->Added();
    ShowCatalogueAdd(added, done->Message());
}

void CMainFrame::PollLoad() {
    // A dialog or menu open over the window may hold a row of the disc shown: the new one waits for it.
    if (!m_model.LoadReady() || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        if (m_model.Loading() && statusBar()->currentMessage() != LoadingText())
            ShowIdle();
        return;
    }
    ShowLoading(false);
    UpdateTitle({});
    const bool ok = m_model.FinishLoad();
    ShowLoaded(ok);
    if (auto done = std::exchange(m_loadDone, {}))
        done(ok);
}

void CMainFrame::ShowLoaded(bool ok) {
    m_left->Reload();
    m_right->Reload();
    if (ok && m_noDiscShown) { // a disc is shown again: the drive's empty state is no news any more
        m_noDiscShown = false;
        m_idleMessage = IDS_IDLE_MESSAGE;
        statusBar()->setToolTip({});
        ShowIdle();
    }
    if (ok) {
        ArrangeSplitter();
        ShowTreeNotes();
    }
    // The last step of every successful load: the offer of a disc report, over the disc just shown.
    if (ok && m_offerReports && m_model.OffersReportAfterLoad())
        m_model.DoSaveDiscInformation();
}

void CMainFrame::ShowLoading(bool on) {
    if (!m_loadPanel) {
        // Made for the first load on a worker, so a window that never has one looks as it always did.
        m_loadPanel = new QWidget(statusBar());
        auto* layout = new QHBoxLayout(m_loadPanel);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* busy = new QProgressBar(m_loadPanel);
        busy->setRange(0, 0); // how much is left is not known
        busy->setMaximumWidth(120);
        busy->setTextVisible(false);
        auto* cancel = new QToolButton(m_loadPanel);
        cancel->setText("Cancel");
        cancel->setObjectName("cancelLoad");
        cancel->setToolTip("Stop reading the disc (Esc)");
        connect(cancel, &QToolButton::clicked, this, [this] { CancelLoad(); });
        layout->addWidget(busy);
        layout->addWidget(cancel);
        statusBar()->insertPermanentWidget(0, m_loadPanel);
        m_loadEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this, [this] { CancelLoad(); });
        m_loadTimer = new QTimer(this);
        connect(m_loadTimer, &QTimer::timeout, this, [this] { PollLoad(); });
    }
    m_loadPanel->setVisible(on);
    m_showingLoad = on;
    m_loadEscape->setEnabled(on);
    if (on)
        m_loadTimer->start(kPollMs);
    else
        m_loadTimer->stop();
    ShowIdle();
}

void CMainFrame::SetDrivePoll(bool on) {
    if (!m_driveTimer) {
        m_driveTimer = new QTimer(this);
        connect(m_driveTimer, &QTimer::timeout, this, [this] { PollDrive(); });
    }
    if (on)
        m_driveTimer->start(kDrivePollMs);
    else
        m_driveTimer->stop();
}

void CMainFrame::PollDrive() {
    // Not while the drive is read by a load or a dialog's work, nor while the drives may change.
    if (m_model.Loading() || m_catalogueAdd || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget())
        return;
    DriveWatch& watch = m_model.ShownDrive();
    switch (watch.Poll()) {
    case DriveWatch::Event::NoDisc:
        ShowLastAction("No disc in " + watch.DriveName());
        m_noDiscShown = true;
        break;
    case DriveWatch::Event::NewDisc:
        BeginLoad(static_cast<uint16_t>(watch.Device()));
        break;
    case DriveWatch::Event::None:
        break;
    }
}

QString CMainFrame::LoadingText() const {
    // Until the panel goes: a load that has ended is being shown, and its words then give way.
    if (!m_showingLoad)
        return m_catalogueAdd ? QString::fromUtf8("Adding the disc to the catalogue\u2026") : QString();
    const uint64_t folders = m_model.LoadProgress();
    if (folders == 0)
        return QString(kReading);
    return QString("%1 %2 %3")
        .arg(kReading, QString::fromStdString(ckvd::text::grouped(folders)),
             folders == 1 ? "folder" : "folders");
}
