#include "desktop/mainwindow/screenshot.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>
#include <functional>
#include <memory>

#include "appmodel/catalogue_add.h"
#include "appmodel/catalogue_browse.h"
#include "desktop/dialogs/about_dlg.h"
#include "desktop/dialogs/burn_dlg.h"
#include "desktop/dialogs/disc_info_dlg.h"
#include "desktop/dialogs/drive_dlg.h"
#include "desktop/dialogs/find_catalogue_dlg.h"
#include "desktop/dialogs/level1_dlg.h"
#include "desktop/dialogs/make_disc_dlg.h"
#include "desktop/dialogs/open_catalogued_dlg.h"
#include "desktop/dialogs/player_check_dlg.h"
#include "desktop/dialogs/save_disc_info_dlg.h"
#include "desktop/dialogs/save_image_dlg.h"
#include "desktop/dialogs/save_to_disc_dlg.h"
#include "desktop/dialogs/verify_dlg.h"
#include "desktop/mainwindow/main_frm.h"
#include "desktop/mediainfo/pcm_format_dlg.h"
#include "desktop/mediainfo/tag_information.h"
#include "desktop/navigation/nav_dlg.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"
#include "platform/ui/ui_message.h"
#include "platform/ui/ui_text.h"

namespace {

constexpr int kOwnCatalogueDisc = 12;
std::string g_selected; // --select's path

struct DialogMaker {
    const char* name;
    // The dialog; none for a picture of the window alone.
    std::function<std::unique_ptr<QDialog>(CMainFrame&, std::string* error)> make;
    // What the window is to show first; false with the reason.
    std::function<bool(CMainFrame&, std::string* error)> prepare = {};
};

// The disc shown added to a catalogue of the run's own (in the temporary folder, removed at its end) as disc
// 12, with a copy as disc 13 so that its files have duplicates; the catalogue's windows read that one.
bool UseOwnCatalogue(CMainFrame& frame, std::string* error) {
    static QTemporaryDir dir;
    if (!frame.Model().CheckDisc() || !dir.isValid()) {
        *error = "the catalogue's pictures need a disc loaded and a temporary folder";
        return false;
    }
    const std::string path = dir.filePath("catalogue.sqlite").toStdString();
    App_UseCatalogue(path);
    return App_CatalogueLoadedTwice(path, kOwnCatalogueDisc, "CKVD_DEMO_COPY", *error);
}

// The window showing the disc from the run's own catalogue, with what --select chose.
bool ShowCatalogued(CMainFrame& frame, std::string* error) {
    if (!UseOwnCatalogue(frame, error))
        return false;
    if (!frame.ShowCatalogued(kOwnCatalogueDisc, g_selected)) {
        *error = "the disc could not be shown from the catalogue";
        return false;
    }
    return true;
}

// The file row chosen with --select, or nullptr.
FileEntry* SelectedFile(CMainFrame& frame) {
    CKVDAppViewModel& list = frame.Model().List();
    auto* entry = const_cast<FileEntry*>(list.Entry(list.CurrentItem()));
    return entry && entry->type == 'F' ? entry : nullptr;
}

// The information dialog Tag Information opens for the file chosen with --select.
std::unique_ptr<QDialog> MakeTagInfo(CMainFrame& frame, std::string* error) {
    FileEntry* entry = SelectedFile(frame);
    if (!entry) {
        *error = "--dialog tag-info needs a file chosen with --select";
        return nullptr;
    }
    // A file no analyzer accepts: the message box the user gets instead.
    ckvd::ui::RecordingSink message;
    std::unique_ptr<QDialog> dlg = App_TagInfoDialog(entry, message, &frame);
    if (!dlg && !message.shown.empty())
        return ckvd::ui::MakeMessageBox(ckvd::ui::SjisToQString(message.shown.front()), &frame);
    return dlg;
}

// Save to Disc's file dialog for the file chosen with --select, with the name it proposes (Track02.wav for
// an audio track); for a directory chosen with --select, the folder chooser it asks for.
std::unique_ptr<QDialog> MakeSaveToDisc(CMainFrame& frame, std::string*) {
    if (const FileEntry* entry = SelectedFile(frame))
        return App_SaveToDiscFileDialog(SaveToDisc_ProposedName(*entry), &frame,
                                        SaveToDisc_IsAudioTrack(*entry));
    return App_SaveToDiscFolderDialog(&frame);
}

// Save to Disc's progress window for every row of the directory chosen with --select, before it starts.
std::unique_ptr<QDialog> MakeSaveProgress(CMainFrame& frame, std::string* error) {
    const CKVDAppViewModel& list = frame.Model().List();
    std::vector<int> rows;
    for (int row = 0; row < list.RowCount(); ++row)
        rows.push_back(row);
    std::vector<const FileEntry*> entries = SaveToDisc_RowEntries(list.Entries(), rows);
    if (entries.empty()) {
        *error = "--dialog save-progress needs a directory with entries chosen with --select";
        return nullptr;
    }
    auto dlg = std::make_unique<CSaveTreeDlg>(frame.Sink(), std::move(entries), &frame);
    dlg->SetAutoStart(false);
    return dlg;
}

// The navigation-file viewer of the .LMX file chosen with --select.
std::unique_ptr<QDialog> MakeNavigationViewer(CMainFrame& frame, std::string* error) {
    FileEntry* entry = SelectedFile(frame);
    if (!entry || !Nav_IsNavigationFile(*entry)) {
        *error = "--dialog nav needs a navigation file (.LMX) chosen with --select";
        return nullptr;
    }
    ckvd::ui::RecordingSink message;
    std::unique_ptr<QDialog> dlg = App_NavigationViewer(entry, message, &frame);
    if (!message.shown.empty())
        return ckvd::ui::MakeMessageBox(ckvd::ui::SjisToQString(message.shown.front()), &frame);
    return dlg;
}

// The profile file --player-profile names, chosen in Player Check after its first check.
std::string g_playerProfile;

std::unique_ptr<QDialog> MakePlayerCheck(CMainFrame& frame, std::string* error, int tab) {
    auto dlg = std::make_unique<CPlayerCheckDlg>(frame.Sink(), &frame);
    if (!dlg->Check()) {
        *error = "no disc is loaded, or the player profile was not read";
        return nullptr;
    }
    // As "Profile File..." chooses it: a refused file's message goes where the run's messages go.
    if (!g_playerProfile.empty())
        dlg->ChooseProfileFile(QString::fromStdString(g_playerProfile));
    dlg->Tabs()->setCurrentIndex(tab);
    return dlg;
}

// New Disc for Player with the plan of --music's folder for the first profile.
std::string g_music;
std::unique_ptr<QDialog> MakeNewDisc(CMainFrame& frame, std::string* error) {
    auto dlg = std::make_unique<CMakeDiscDlg>(frame.Sink(), &frame);
    if (!g_music.empty()) {
        dlg->Folder()->setText(QString::fromStdString(g_music));
        if (!dlg->PlanNow()) {
            *error = g_music + ": the music folder could not be planned";
            return nullptr;
        }
    }
    return dlg;
}

// Burn Disc Image as it opens, the file target chosen.
std::unique_ptr<QDialog> MakeBurn(CMainFrame& frame, std::string*) {
    auto dlg = std::make_unique<CBurnDlg>(frame.Sink(), &frame);
    dlg->Target()->setCurrentIndex(dlg->Target()->count() - 1);
    dlg->File()->setText("/tmp/burned.iso");
    return dlg;
}

// Burn Disc Image under way: the .iso image the window opened burned at the slowest speed into a file in the
// temporary folder (removed again), shown once a part of it is written; the burn is let finish when the
// dialog goes.
std::unique_ptr<QDialog> MakeBurnProgress(CMainFrame& frame, std::string* error) {
    const QString image = QString::fromStdString(frame.Model().ShownDrive().DriveName());
    if (!image.endsWith(".iso", Qt::CaseInsensitive)) {
        *error = "--dialog burn-progress needs a disc image (.iso) opened";
        return nullptr;
    }
    auto dlg = std::make_unique<CBurnDlg>(frame.Sink(), &frame);
    const QString dir =
        QDir::temp().filePath(QString("ckvd-screenshot-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    dlg->Image()->setText(image);
    dlg->Target()->setCurrentIndex(dlg->Target()->count() - 1);
    dlg->File()->setText(dir + "/burned.iso");
    dlg->Speed()->setCurrentIndex(1);
    dlg->SetBackground(true);
    dlg->show();
    if (!dlg->BurnNow()) {
        *error = "the burn did not start";
        return nullptr;
    }
    for (int i = 0; i < 3000 && dlg->Progress()->isVisible() && dlg->Progress()->value() < 30; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    QObject::connect(dlg.get(), &QObject::destroyed, [dir] { QDir(dir).removeRecursively(); });
    return dlg;
}

// Find in Catalogue, its field holding the --select path's last part when one was chosen.
std::unique_ptr<QDialog> MakeFindCatalogue(CMainFrame& frame, std::string*) {
    auto dlg = std::make_unique<CFindCatalogueDlg>(&frame);
    CKVDAppViewModel& list = frame.Model().List();
    if (const FileEntry* e = list.Entry(list.CurrentItem())) {
        dlg->Field()->setText(QString::fromUtf8(Iso_EntryName(e)));
        dlg->Search();
    }
    return dlg;
}

// Save Disc Image when it has dumped the disc into a file of the name it proposes, in the temporary folder
// (removed again).
std::unique_ptr<QDialog> MakeSaveImage(CMainFrame& frame, std::string* error) {
    auto dlg = std::make_unique<CSaveImageDlg>(frame.Sink(), &frame);
    const QString dir =
        QDir::temp().filePath(QString("ckvd-screenshot-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(dir);
    dlg->File()->setText(dir + "/" + QFileInfo(dlg->File()->text()).fileName());
    dlg->Start(true);
    QDir(dir).removeRecursively();
    if (!dlg->Model().Started()) {
        *error = "no disc is loaded";
        return nullptr;
    }
    return dlg;
}

// Verify Disc when it has read the whole disc.
std::unique_ptr<QDialog> MakeVerify(CMainFrame& frame, std::string* error) {
    auto dlg = std::make_unique<CVerifyDlg>(frame.Sink(), &frame);
    dlg->SetAutoStart(false);
    if (!dlg->Model().Start()) {
        *error = "no disc is loaded, or its TOC could not be read";
        return nullptr;
    }
    dlg->Model().RunToEnd();
    dlg->Refresh();
    return dlg;
}

// Each dialog is made as its command makes it; a command that would refuse ("No Disc") refuses here too.
const std::vector<DialogMaker>& Dialogs() {
    static const std::vector<DialogMaker> dialogs = {
        {"drive",
         [](CMainFrame& frame, std::string*) -> std::unique_ptr<QDialog> {
             auto dlg = std::make_unique<CDriveDlg>(frame.Sink(), &frame);
             dlg->Prepare();
             return dlg;
         }},
        {"disc-info",
         [](CMainFrame& frame, std::string* error) -> std::unique_ptr<QDialog> {
             if (!frame.Model().OnDiscInformation()) {
                 *error = "no disc is loaded";
                 return nullptr;
             }
             return std::make_unique<CDiscInfoDlg>(&frame);
         }},
        {"level1",
         [](CMainFrame& frame, std::string* error) -> std::unique_ptr<QDialog> {
             if (!frame.Model().OnLevel1Simulation()) {
                 *error = "the Level1 simulation needs a data disc";
                 return nullptr;
             }
             return std::make_unique<CLevel1Dlg>(&frame);
         }},
        {"about",
         [](CMainFrame& frame, std::string*) -> std::unique_ptr<QDialog> {
             return std::make_unique<CAboutDlg>(&frame);
         }},
        // The disc report's offer after "Yes...Please", as it stands before "Save...".
        {"save-report",
         [](CMainFrame& frame, std::string* error) -> std::unique_ptr<QDialog> {
             if (!frame.Model().CheckDisc()) {
                 *error = "no disc is loaded";
                 return nullptr;
             }
             auto dlg = std::make_unique<CSaveDiscInfoDlg>(frame.Model().DiscMngrNo(), frame.Sink(), &frame);
             dlg->OnYesPlease();
             return dlg;
         }},
        // The reference list of WAVE format codes the WAV dialog's "Format" button opens.
        {"pcm-formats",
         [](CMainFrame& frame, std::string*) -> std::unique_ptr<QDialog> {
             return std::make_unique<CPcmFormatDlg>(&frame);
         }},
        {"tag-info", MakeTagInfo},
        {"save-to-disc", MakeSaveToDisc},
        {"save-progress", MakeSaveProgress},
        {"nav", MakeNavigationViewer},
        // Player Check with the first profile; `player-check-order` on its playback order tab.
        {"player-check",
         [](CMainFrame& frame, std::string* error) { return MakePlayerCheck(frame, error, 0); }},
        {"player-check-order",
         [](CMainFrame& frame, std::string* error) { return MakePlayerCheck(frame, error, 1); }},
        {"find-catalogue", MakeFindCatalogue},
        {"new-disc", MakeNewDisc},
        {"burn", MakeBurn},
        {"burn-progress", MakeBurnProgress},
        {"save-image", MakeSaveImage},
        {"verify", MakeVerify},
        // The catalogue's windows over a catalogue of the run's own: the disc shown and a copy of it.
        {"open-catalogued",
         [](CMainFrame& frame, std::string*) -> std::unique_ptr<QDialog> {
             return std::make_unique<COpenCataloguedDlg>(&frame);
         },
         UseOwnCatalogue},
        {"catalogue-disc", nullptr, ShowCatalogued},
        {"catalogue-duplicates",
         [](CMainFrame& frame, std::string*) -> std::unique_ptr<QDialog> {
             auto dlg = std::make_unique<CFindCatalogueDlg>(&frame);
             dlg->Tabs()->setCurrentIndex(CFindCatalogueDlg::DuplicatesTab);
             return dlg;
         },
         UseOwnCatalogue},
    };
    return dialogs;
}

void WaitExposed(QWidget& w) {
    for (int i = 0; i < 500 && !(w.windowHandle() && w.windowHandle()->isExposed()); ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    QApplication::processEvents();
}

} // namespace

std::vector<std::string> Screenshot_DialogNames() {
    std::vector<std::string> names;
    for (const DialogMaker& d : Dialogs())
        names.emplace_back(d.name);
    return names;
}

bool Screenshot_Select(CMainFrame& frame, const std::string& path, std::string* error) {
    g_selected = path;
    if (frame.ShowEntry(path))
        return true;
    *error = "nothing on the disc has the path " + path;
    return false;
}

QImage Screenshot_Grab(QWidget& window) {
    QImage body = window.grab().toImage();
    // Composed in the screen's own pixels, so a scaled screen (QT_SCALE_FACTOR) is shown as it looks.
    body.setDevicePixelRatio(1.0);
    // A platform with decorations draws its own caption; the offscreen and minimal ones draw none.
    const QString platform = QGuiApplication::platformName();
    if (platform != "offscreen" && platform != "minimal")
        return body;
    const QFontMetrics fm = window.fontMetrics();
    const int bar = fm.height() + 10;
    QImage shot(body.width(), body.height() + bar, QImage::Format_ARGB32);
    shot.fill(window.palette().color(QPalette::Window));
    QPainter p(&shot);
    p.fillRect(QRect(0, 0, shot.width(), bar), window.palette().color(QPalette::Highlight));
    int x = 6;
    const QIcon icon = window.windowIcon();
    if (!icon.isNull()) {
        p.drawPixmap(x, (bar - 16) / 2, icon.pixmap(16, 16));
        x += 22;
    }
    p.setPen(window.palette().color(QPalette::HighlightedText));
    p.setFont(window.font());
    p.drawText(QRect(x, 0, shot.width() - x - 6, bar), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(window.windowTitle(), Qt::ElideRight, shot.width() - x - 6));
    p.drawImage(0, bar, body);
    p.setPen(window.palette().color(QPalette::Dark));
    p.drawRect(shot.rect().adjusted(0, 0, -1, -1));
    return shot;
}

bool Screenshot_Save(CMainFrame& frame, const std::string& dialog, const QString& out, std::string* error,
                     const std::string& playerProfile, const std::string& music) {
    g_playerProfile = playerProfile;
    g_music = music;
    WaitExposed(frame);
    if (!frame.windowHandle() || !frame.windowHandle()->isExposed()) {
        *error = "the main window did not appear";
        return false;
    }
    const DialogMaker* maker = nullptr;
    for (const DialogMaker& d : Dialogs())
        if (dialog == d.name)
            maker = &d;
    if (!dialog.empty() && !maker) {
        *error = "no dialog is called " + dialog;
        return false;
    }
    if (maker && maker->prepare) {
        if (!maker->prepare(frame, error))
            return false;
        QApplication::processEvents();
    }
    QImage shot = Screenshot_Grab(frame);
    if (maker && maker->make) {
        std::unique_ptr<QDialog> dlg = maker->make(frame, error);
        if (!dlg)
            return false;
        dlg->show();
        WaitExposed(*dlg);
        const QImage over = Screenshot_Grab(*dlg);
        dlg->hide();
        // The dialog over its frame, centred as a modal dialog opens; the canvas grows for a larger dialog.
        QImage canvas(std::max(shot.width(), over.width() + 16), std::max(shot.height(), over.height() + 16),
                      QImage::Format_ARGB32);
        canvas.fill(frame.palette().color(QPalette::Dark));
        QPainter p(&canvas);
        p.drawImage(0, 0, shot);
        p.fillRect(QRect(0, 0, shot.width(), shot.height()), QColor(0, 0, 0, 60));
        const QPoint at((canvas.width() - over.width()) / 2, (canvas.height() - over.height()) / 2);
        p.fillRect(QRect(at + QPoint(3, 3), over.size()), QColor(0, 0, 0, 90));
        p.drawImage(at, over);
        p.end();
        shot = canvas;
    }
    if (!shot.save(out, "PNG")) {
        *error = "cannot write " + out.toStdString();
        return false;
    }
    return true;
}
