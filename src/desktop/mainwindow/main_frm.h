// CMainFrame: menu, tool bar, status bar and the splitter with the disc tree and the file list.
#pragma once

#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <map>
#include <vector>

#include "appmodel/catalogue_add.h"
#include "appmodel/main_frm_model.h"
#include "desktop/mainwindow/kvd_app_view.h"
#include "desktop/mainwindow/left_view.h"
#include "res/app_strings.h"

class CMainFrame final : public QMainWindow {
  public:
    CMainFrame(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CMainFrameModel& Model() { return m_model; }
    ckvd::ui::MessageSink& Sink() { return m_sink; }
    // The document opened from the command line: its name is the title until a disc sets the volume's.
    void SetDocumentTitle(const QString& name);
    CLeftView* GetLeftPane() const { return m_left; }
    CKVDAppView* GetRightPane() const { return m_right; }
    QAction* Action(int command) const;
    QToolBar* ToolBar() const { return m_wndToolBar; }

    // Shows the window as the profile says (3 maximised, 2 minimised, 5 normal).
    void ShowWindow(int showCommand);

    // Commands.
    void OnSelectDrive();
    // Open Disc Image: the file dialog (or `chooseImage`), then OpenDiscImage.
    void OnOpenDiscImage();
    // Puts the image into an image drive and loads it exactly as Select Drive loads a drive; the image then
    // heads the recent list. False after a message that names the file and says why.
    bool OpenDiscImage(const QString& path, std::function<void(bool)> done = {});
    // The recent-images entry `index` of the File menu (a vanished file is taken off with a message).
    void OpenRecentImage(int index);
    // Off for runs that must leave the profile alone (screenshots).
    void SetRememberImages(bool remember) { m_rememberImages = remember; }
    // Whether every successful load ends with the offer of a disc report (off for runs nobody answers).
    void SetOfferReports(bool offer) { m_offerReports = offer; }
    // Replaces the file dialog of Open Disc Image (tests); returns the chosen path or an empty one.
    std::function<QString()> chooseImage;
    QMenu* FileMenu() const { return m_fileMenu; }
    void OnDiscInformation();
    void OnLevel1Simulation();
    void OnVerifyDisc();
    void OnSaveDiscImage();
    void OnPlayerCheck(const std::string& profile = {});
    void OnNewDisc();
    void OnBurnImage();
    void OnAddToCatalogue();
    void OnFindInCatalogue();
    // File > Open Catalogued Disc: the catalogue's discs, the one chosen shown by ShowCatalogued.
    void OnOpenCatalogued();
    // Shows disc `number` of the catalogue without the disc (read-only, its title marked "(catalogue)") and,
    // where `path` is given, that entry of it as ShowEntry does. False when it cannot be shown.
    bool ShowCatalogued(int number, const std::string& path = {}, int session = -1);
    // Shows the entry at `path` (as ckvd ls prints it) of the 0-based session, or of the last session that
    // holds it with -1: its directory in the tree and, for a file, its row in the list. False when there is
    // none.
    bool ShowEntry(const std::string& path, int session = -1);
    void OnSaveDiscInformation();
    void OnAppAbout();
    void OnViewStyle(int command);
    // Backspace or Alt+Up: the folder above the one shown, the folder left its current row.
    void OnParentFolder();
    // What the last Save to Disc or report did stays in the status bar (`text` empty: nothing was done).
    void ShowLastAction(const std::string& text);
    QLabel* EntryCount() const { return m_entryCount; }
    // What the last Save to Disc or report did, whole ("Ready" before any).
    const QString& LastAction() const { return m_idleMessage; }

    // Loads the disc of `device` and shows it; false after a failure (its message was shown).
    bool LoadDisc(uint16_t device);
    // Whether the window's own loads (Select Drive, Open Disc Image, the recent list, a drop, images handed
    // over), Player Check and Add to Catalogue run on a worker while the window keeps answering; off, they
    // wait as the command line's and the screenshots' do.
    void SetBackgroundWork(bool on) { m_backgroundWork = on; }
    // Loads `device` as LoadDisc does, on a worker when background loads are on: then true when started,
    // and `done` gets the outcome once the disc is shown (never for a load cancelled); else LoadDisc's
    // outcome, also given to `done`.
    bool BeginLoad(uint16_t device, std::function<void(bool)> done = {});
    bool Loading() const { return m_model.Loading(); }
    // Whether the drive of the disc shown is tested every two seconds (the interactive program; off in
    // screenshots and tests unless one turns it on): its disc taken out is said in the status bar ("No disc
    // in /dev/sr0"), a new one is loaded as Select Drive loads it.
    void SetDrivePoll(bool on);
    // One such test, as the poll's timer runs it.
    void PollDrive();
    // Esc or the status bar's Cancel: the disc shown stays.
    void CancelLoad();
    // The restored outer geometry and state, as they are written to the profile.
    WindowPlacement CurrentPlacement() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    // Says in the status bar what was passed over in reading the sessions (every note in its tool tip).
    void ShowTreeNotes();
    void ShowEntryCount();
    // The idle message, elided to the room the panes leave.
    QString IdleText() const;
    void ShowIdle();
    void OnUpdateViewStyles();
    void RefreshRecentMenu();
    void ArrangeSplitter();
    void RememberNormalGeometry();
    void UpdateTitle(const std::string& docTitle);
    // Drops a load on a worker and waits for the dropped ones; before the drives change, the catalogue add
    // on a worker too.
    void StopLoads();
    void StopDriveReaders();
    void PollLoad();
    void ShowLoaded(bool ok);
    void ShowLoading(bool on);
    QString LoadingText() const;
    void PollCatalogueAdd();
    // The add's outcome: its words in the status bar, or the reason in a message.
    void ShowCatalogueAdd(bool added, const std::string& message);
    void FinishCatalogueAdd(); // waits for the add on a worker and says how it went
    // The files of a drop: the first that loads is shown, the others go into drives.
    void OpenDroppedImages(QStringList files);

    ckvd::ui::MessageSink& m_sink;
    CMainFrameModel m_model;
    QSplitter* m_wndSplitter;
    CLeftView* m_left = nullptr;
    CKVDAppView* m_right = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    QLabel* m_entryCount = nullptr;
    QString m_idleMessage = IDS_IDLE_MESSAGE;
    QString m_shownIdle; // as shown, elided
    QActionGroup* m_viewStyles = nullptr;
    std::map<int, QAction*> m_actions;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentEnd = nullptr; // the separator above Exit
    std::vector<QAction*> m_recentActions;
    bool m_rememberImages = true;
    std::string m_madeImage, m_madeProfile; // New Disc for Player's last image, which Burn Disc Image offers
    bool m_offerReports = false;
    bool m_splitterMoved = false;
    ScreenRect m_normal;
    bool m_placementSaved = false;
    bool m_firstShow = true;
    bool m_sizedToFrame = false;
    bool m_backgroundWork = false;
    QWidget* m_loadPanel = nullptr; // progress and Cancel, made for the first load on a worker
    bool m_showingLoad = false;     // the panel is up: the status bar tells of the load
    QShortcut* m_loadEscape = nullptr;
    QTimer* m_loadTimer = nullptr;
    std::function<void(bool)> m_loadDone;
    std::unique_ptr<CatalogueAddJob> m_catalogueAdd; // File > Add to Catalogue on a worker
    QTimer* m_catalogueTimer = nullptr;
    QTimer* m_driveTimer = nullptr; // the drive poll, made when it is turned on
    bool m_noDiscShown = false;     // the status bar says the drive of the disc shown has none
};
