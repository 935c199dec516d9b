// The main window's commands: loading a disc from a drive or an image (the file dialog, the recent list, a
// drop), the Tool menu's dialogs and showing an entry of the disc.
#include "desktop/mainwindow/main_frm.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QSignalBlocker>
#include <QStatusBar>
#include <string>

#include "appmodel/catalogue_add.h"
#include "appmodel/image_open.h"
#include "desktop/dialogs/about_dlg.h"
#include "desktop/dialogs/burn_dlg.h"
#include "desktop/dialogs/disc_info_dlg.h"
#include "desktop/dialogs/drive_dlg.h"
#include "desktop/dialogs/find_catalogue_dlg.h"
#include "desktop/dialogs/level1_dlg.h"
#include "desktop/dialogs/make_disc_dlg.h"
#include "desktop/dialogs/open_catalogued_dlg.h"
#include "desktop/dialogs/player_check_dlg.h"
#include "desktop/dialogs/save_image_dlg.h"
#include "desktop/dialogs/verify_dlg.h"
#include "listing/disc_text.h"
#include "res/app_strings.h"

void CMainFrame::OnSelectDrive() {
    StopDriveReaders(); // the dialog scans the drives again
    CDriveDlg dlg(m_sink, this);
    const int result = dlg.exec();
    if (result == CDriveDlg::OpenImage) {
        m_model.DriveDialogCancelled();
        OnOpenDiscImage();
        return;
    }
    if (result != QDialog::Accepted) {
        m_model.DriveDialogCancelled();
        return;
    }
    BeginLoad(static_cast<uint16_t>(dlg.Selected()));
}

void CMainFrame::OnOpenDiscImage() {
    QString path;
    if (chooseImage) {
        path = chooseImage();
    } else {
        // Start where the last image was opened.
        QString dir =
            m_model.Recent().Paths().empty()
                ? QDir::homePath()
                : QFileInfo(QString::fromStdString(m_model.Recent().Paths().front())).absolutePath();
        path = QFileDialog::getOpenFileName(this, "Open Disc Image", dir, IDS_IMAGE_FILTER);
    }
    if (!path.isEmpty())
        OpenDiscImage(path);
}

bool CMainFrame::OpenDiscImage(const QString& path, std::function<void(bool)> done) {
    StopDriveReaders(); // the image goes into the drives
    const std::string image = App_ImagePath(path.toStdString());
    const int device = m_model.StartImageDrive(image);
    if (device < 0) {
        if (done)
            done(false);
        return false;
    }
    return BeginLoad(static_cast<uint16_t>(device), [this, image, done = std::move(done)](bool loaded) {
        if (loaded && m_rememberImages) {
            m_model.Recent().Add(image);
            RefreshRecentMenu();
        }
        if (done)
            done(loaded);
    });
}

void CMainFrame::OpenRecentImage(int index) {
    const auto& paths = m_model.Recent().Paths();
    if (index < 0 || static_cast<size_t>(index) >= paths.size())
        return;
    const std::string entry = paths[static_cast<size_t>(index)]; // a copy: the list may change under it
    const std::string path = m_model.TakeRecentImage(entry);
    RefreshRecentMenu();
    if (!path.empty())
        OpenDiscImage(QString::fromStdString(path));
}

void CMainFrame::RefreshRecentMenu() {
    for (QAction* a : m_recentActions) {
        m_fileMenu->removeAction(a);
        delete a;
    }
    m_recentActions.clear();
    const auto& paths = m_model.Recent().Paths();
    for (size_t i = 0; i < paths.size(); ++i) {
        const QString path = QString::fromStdString(paths[i]);
        // "&1 disc.cue": the number is the key; the file name alone keeps the menu narrow.
        QString name = QFileInfo(path).fileName();
        name.replace('&', "&&");
        auto* a = new QAction(QString("&%1 %2").arg(i + 1).arg(name), this);
        a->setStatusTip(path);
        a->setToolTip(path);
        a->setData(path);
        const int index = static_cast<int>(i);
        connect(a, &QAction::triggered, this, [this, index] { OpenRecentImage(index); });
        m_recentActions.push_back(a);
    }
    if (!m_recentActions.empty())
        m_recentActions.push_back(new QAction(this));
    if (!m_recentActions.empty())
        m_recentActions.back()->setSeparator(true);
    m_fileMenu->insertActions(m_recentEnd, QList<QAction*>(m_recentActions.begin(), m_recentActions.end()));
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    // Every dropped file goes into a drive of its own; the first that can be read is loaded.
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    OpenDroppedImages(files);
}

void CMainFrame::OpenDroppedImages(QStringList files) {
    if (files.isEmpty())
        return;
    const QString first = files.takeFirst();
    OpenDiscImage(first, [this, files](bool loaded) {
        if (!loaded) {
            OpenDroppedImages(files);
            return;
        }
        for (const QString& file : files)
            App_PutImageIntoDrive(App_ImagePath(file.toStdString()), m_sink);
    });
}

void CMainFrame::OnLevel1Simulation() {
    if (!m_model.OnLevel1Simulation())
        return;
    CLevel1Dlg dlg(this);
    dlg.exec();
}

void CMainFrame::OnVerifyDisc() {
    if (!m_model.CheckDiscBytes())
        return;
    CVerifyDlg dlg(m_sink, this);
    dlg.onSelect = [this](int session, const std::string& path) { ShowEntry(path, session - 1); };
    dlg.exec();
}

void CMainFrame::OnSaveDiscImage() {
    if (!m_model.CheckDiscBytes())
        return;
    CSaveImageDlg dlg(m_sink, this);
    dlg.exec();
}

void CMainFrame::OnAddToCatalogue() {
    if (!m_model.CheckDiscBytes())
        return;
    if (m_backgroundWork) {
        if (m_catalogueAdd) // one add at a time: the one running says when it is done
            return;
        m_catalogueAdd =
            std::make_unique<CatalogueAddJob>(g_DiscModel->device, -1, std::string(), std::string());
        if (!m_catalogueTimer) {
            m_catalogueTimer = new QTimer(this);
            connect(m_catalogueTimer, &QTimer::timeout, this, [this] { PollCatalogueAdd(); });
        }
        m_catalogueTimer->start(50);
        ShowIdle();
        return;
    }
    std::string message;
    const bool added = App_AddToCatalogue(-1, {}, {}, message);
    ShowCatalogueAdd(added, message);
}

void CMainFrame::ShowCatalogueAdd(bool added, const std::string& message) {
    if (added)
        statusBar()->showMessage(QString::fromStdString(message), 8000);
    else
        m_sink.ShowUtf8("The disc was not added to the catalogue.\n" + message);
}

void CMainFrame::OnFindInCatalogue() {
    CFindCatalogueDlg dlg(this);
    dlg.onOpen = [this](const std::string& image, int session, const std::string& path) {
        return OpenDiscImage(QString::fromStdString(image)) && ShowEntry(path, session - 1);
    };
    dlg.onBrowse = [this](int number, int session, const std::string& path) {
        return ShowCatalogued(number, path, session - 1);
    };
    dlg.onMessage = [this](const std::string& message) { m_sink.ShowUtf8(message); };
    dlg.exec();
}

void CMainFrame::OnOpenCatalogued() {
    COpenCataloguedDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted && dlg.Selected() >= 0)
        ShowCatalogued(dlg.Selected());
}

bool CMainFrame::ShowCatalogued(int number, const std::string& path, int session) {
    StopLoads();
    if (!m_model.ShowCatalogued(number))
        return false;
    m_left->Reload();
    m_right->Reload();
    ArrangeSplitter();
    ShowTreeNotes();
    return path.empty() || ShowEntry(path, session);
}

void CMainFrame::OnPlayerCheck(const std::string& profile) {
    if (!m_model.CheckDiscBytes())
        return;
    CPlayerCheckDlg dlg(m_sink, this);
    dlg.SetBackground(m_backgroundWork);
    if (!profile.empty()) {
        const QSignalBlocker quiet(dlg.ProfileBox());
        if (dlg.ProfileBox()->findText(QString::fromStdString(profile)) < 0)
            dlg.ProfileBox()->addItem(QString::fromStdString(profile));
        dlg.ProfileBox()->setCurrentText(QString::fromStdString(profile));
    }
    dlg.onSelect = [this](int session, const std::string& path) { ShowEntry(path, session - 1); };
    if (dlg.Check())
        dlg.exec();
}

// The image made is opened as File > Open Disc Image opens one, then checked against the profile it was
// planned for.
void CMainFrame::OnNewDisc() {
    CMakeDiscDlg dlg(m_sink, this);
    dlg.SetBackground(m_backgroundWork);
    std::string made, profile;
    dlg.onMade = [&](const std::string& image, const std::string& player) {
        made = image;
        profile = player;
        dlg.accept();
    };
    dlg.exec();
    if (made.empty())
        return;
    m_madeImage = made;
    m_madeProfile = profile;
    OpenDiscImage(QString::fromStdString(made), [this, profile](bool loaded) {
        if (loaded)
            OnPlayerCheck(profile);
    });
}

// The burned disc is then shown and verified: a file as the image it is, a CD in its drive.
void CMainFrame::OnBurnImage() {
    CBurnDlg dlg(m_sink, this);
    dlg.SetBackground(m_backgroundWork);
    dlg.Image()->setText(QString::fromStdString(m_madeImage));
    dlg.OfferMultisession(CBurnDlgModel::OffersMultisession(m_madeProfile));
    BurnTarget burned;
    dlg.onBurned = [&](const BurnTarget& target) { burned = target; };
    dlg.exec();
    if (burned.address.empty())
        return;
    if (burned.device >= 0) {
        if (LoadDisc(uint16_t(burned.device)))
            OnVerifyDisc();
        return;
    }
    OpenDiscImage(QString::fromStdString(burned.File()), [this](bool loaded) {
        if (loaded)
            OnVerifyDisc();
    });
}

bool CMainFrame::ShowEntry(const std::string& path, int session) {
    const DiscPath found = Report_FindPath(path, session);
    if (!found.entry)
        return false;
    // A directory is shown itself in the tree; a file in its directory's list.
    const bool file = found.entry->type == 'F';
    if (!m_left->SelectEntry(file ? found.directory : found.entry))
        return false;
    if (file) {
        CKVDAppViewModel& list = m_model.List();
        for (int row = 0; row < list.RowCount(); ++row)
            if (list.Entry(row) == found.entry)
                m_right->SelectRow(row);
    }
    return true;
}

void CMainFrame::OnDiscInformation() {
    if (!m_model.OnDiscInformation())
        return;
    CDiscInfoDlg dlg(this);
    dlg.exec();
}

void CMainFrame::OnSaveDiscInformation() {
    m_model.OnSaveDiscInformation();
}

void CMainFrame::OnAppAbout() {
    CAboutDlg dlg(this);
    dlg.exec();
}
