// Content of the main frame apart from its widgets: disc loading, the commands that need a disc, the
// management number and the window placement.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "appmodel/disc_load_job.h"
#include "appmodel/drive_watch.h"

#include "appmodel/kvd_app_doc_model.h"
#include "appmodel/kvd_app_view_model.h"
#include "appmodel/left_view_model.h"
#include "appmodel/message_sink.h"
#include "appmodel/profile_store.h"
#include "appmodel/recent_images.h"
#include "appmodel/save_disc_info_dlg_model.h"
#include "appmodel/window_placement.h"
#include "catalogue/catalogue.h"

class CMainFrameModel {
  public:
    CMainFrameModel(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile);

    CKVDAppDocModel& Doc() { return m_doc; }
    CLeftViewModel& Tree() { return m_tree; }
    CKVDAppViewModel& List() { return m_list; }

    // Frame creation: "DISCMNGRNO" and the placement from the profile.
    WindowPlacement PreCreateWindow();
    // Frame destruction: writes the placement ("DISCMNGRNO" is stored only when a report takes a number).
    void DestroyWindow(const WindowPlacement& placement);

    // Loads the disc of `device` (the drive dialog's row): empties both views, sets the model aside,
    // analyses, fills the tree and selects the first session. False after a failure, whose message was shown
    // with the reason in plain words for an image; the disc shown before (on another drive) is then shown
    // again as it was, else "No Disc" applies, and a broken image (its file system, not a read error) leaves
    // the drives.
    bool LoadDisc(uint16_t device);
    // The same load in two steps, the analysis on a worker with a Disc of its own while the window keeps
    // answering: StartLoad starts it (cancelling one still running), the disc shown staying as it is;
    // FinishLoad waits for the work's end (LoadReady says when it will not wait) and shows the new disc, or
    // the failure, exactly as LoadDisc does. CancelLoad drops the running load: the disc shown stays, and the
    // work's Disc is freed when it ends (WaitForLoads waits for that, before the drives are scanned again).
    void StartLoad(uint16_t device);
    bool Loading() const { return m_load != nullptr; }
    // The directories the running load has read (0 when none runs).
    uint64_t LoadProgress() const { return m_load ? m_load->Now().done : 0; }
    bool LoadReady() const { return m_load && m_load->Finished(); }
    bool FinishLoad();
    void CancelLoad();
    void WaitForLoads();
    // Called when the load has emptied both views' content, and again when a failed load put the earlier
    // disc back (before its message, so the window shows that disc behind it): the widgets show anew what
    // the models hold.
    std::function<void()> viewsChanged;
    // Puts the disc image at `path` into an image drive and starts that drive as the drive dialog does.
    // Returns the device index to load, or -1 after a message that names the file and says why.
    int StartImageDrive(const std::string& path);
    // A recent-images entry was chosen: its path, or empty after "no longer exists" (the entry is removed).
    std::string TakeRecentImage(const std::string& path);
    RecentImages& Recent() { return m_recent; }
    // The drive of the disc shown, watched from the last load on for its disc taken out or another put in.
    DriveWatch& ShownDrive() { return m_watch; }
    // Waits between the readiness tests of a drive started here (off in tests).
    bool waitBetweenTests = true;

    // The drive dialog was cancelled: reads go on from the drive of the disc shown.
    void DriveDialogCancelled();

    // A disc counts as loaded when the model holds a session; otherwise "No Disc" is shown and false
    // returned.
    bool CheckDisc();
    // Shows disc `number` of the catalogue as a load shows a disc (App_ReadCataloguedDisc): read-only, no
    // drive behind it, the title marked "(catalogue)". False after a message saying why.
    bool ShowCatalogued(int number);
    // The catalogue's fields of the disc shown when it is shown from the catalogue, else nullptr.
    const CatalogueDisc* Catalogued() const;
    // For a command that reads the disc's sectors: CheckDisc, and for a disc shown from the catalogue false,
    // after its image was handed to `openImage` when it is still where it was read from, else after "insert
    // disc VOLUME (number N)".
    bool CheckDiscBytes();
    std::function<void(const std::string& image)> openImage;
    // Disc Information: true when the dialog is to be opened.
    bool OnDiscInformation() { return CheckDisc(); }
    // Lumaset Algorithm(Level1) Simulation: true when its dialog is to be opened, after "No Disc" or "This
    // Medium is Not CD-ROM" (no data track in the first session) otherwise.
    bool OnLevel1Simulation();
    // Save DiscInfomation: "No Disc" check, then the disc report.
    void OnSaveDiscInformation();
    // Offers the disc report through `runReportDialog`; the number is taken from the profile when the report
    // is saved.
    void DoSaveDiscInformation();
    // Whether the report is offered after every disc load (the offer's own check box; on until turned off).
    // Save DiscInformation offers it either way.
    bool OffersReportAfterLoad() { return m_profile.GetInt("OFFERREPORT", 1) != 0; }
    void SetOffersReportAfterLoad(bool offer) {
        if (offer != OffersReportAfterLoad())
            m_profile.WriteInt("OFFERREPORT", offer ? 1 : 0);
    }
    // Runs "Are You Save DiscInformation?" for a number and the numbers' store: how it closed and the number
    // the report used.
    std::function<std::pair<ReportDlgResult, int>(int number, const ReportNumbers& numbers)> runReportDialog;
    // The management numbers of the profile: taken under the lock of its file, which ckvd report shares, and
    // read from the file each time (never from memory); a profile in memory keeps its own.
    ReportNumbers Numbers();

    // The profile, for what the window keeps of its own (the widths the user set).
    ckvd::ui::ProfileStore& Profile() { return m_profile; }
    int DiscMngrNo() const { return m_nDiscMngrNo; }

  private:
    // The Disc just made current shown: the tree filled, its first session selected.
    void ShowInstalled();
    void Report(const char* format, int line, int code, const std::string& reason = {});
    // A failed load: the disc of before back where it came from another drive, then the message.
    void LoadFailed(uint16_t device, int code, const std::string& reason, int previousDevice,
                    IsoModelStash&& previous, CLeftViewModel&& previousTree);

    ckvd::ui::MessageSink& m_sink;
    ckvd::ui::ProfileStore& m_profile;
    CKVDAppDocModel m_doc;
    CLeftViewModel m_tree;
    CKVDAppViewModel m_list;
    RecentImages m_recent;
    int m_nDiscMngrNo = 0;
    std::unique_ptr<DiscLoadJob> m_load;
    DriveWatch m_watch;
    std::vector<std::unique_ptr<DiscLoadJob>> m_dropped; // cancelled, until their work ends
    CatalogueDisc m_catalogued;                          // of the disc shown from the catalogue
};
