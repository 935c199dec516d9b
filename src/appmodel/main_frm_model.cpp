#include "appmodel/main_frm_model.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "appmodel/catalogue_browse.h"
#include "appmodel/disc_analysis.h"
#include "appmodel/first_drive.h"
#include "appmodel/image_open.h"
#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"
#include "report/report_number.h"
#include "res/app_strings.h"

namespace {
constexpr const char* kSource = "MainFrm";
}

CMainFrameModel::CMainFrameModel(ckvd::ui::MessageSink& sink, ckvd::ui::ProfileStore& profile)
    : m_sink(sink), m_profile(profile), m_list(&m_doc), m_recent(profile) {
    m_doc.updateListView = [this](bool fromView, uint32_t hint) { m_list.OnUpdate(fromView, hint); };
}

WindowPlacement CMainFrameModel::PreCreateWindow() {
    m_nDiscMngrNo = m_profile.GetInt("DISCMNGRNO", 0);
    return Placement_Read(m_profile);
}

void CMainFrameModel::DestroyWindow(const WindowPlacement& placement) {
    Placement_Write(m_profile, placement);
}

void CMainFrameModel::Report(const char* format, int line, int code, const std::string& reason) {
    char text[256];
    std::snprintf(text, sizeof text, format, kSource, line, static_cast<unsigned>(code) & 0xFFFFu);
    if (reason.empty()) {
        m_sink.Show(text);
        return;
    }
    // The reason names the image as the disc records nothing of it: the path is the local file's, in UTF-8.
    m_sink.ShowUtf8(std::string(text) + "\n\n" + reason + ".");
}

bool CMainFrameModel::LoadDisc(uint16_t device) {
    CancelLoad();
    m_load = std::make_unique<DiscLoadJob>(device, BackgroundJob::Where::Here);
    return FinishLoad();
}

void CMainFrameModel::StartLoad(uint16_t device) {
    CancelLoad();
    m_load = std::make_unique<DiscLoadJob>(device);
}

void CMainFrameModel::CancelLoad() {
    std::erase_if(m_dropped, [](const std::unique_ptr<DiscLoadJob>& job) { return job->Finished(); });
    if (!m_load)
        return;
    m_load->Cancel();
    m_dropped.push_back(std::move(m_load));
    // The drive the disc shown was read from answers the reads again.
    DriveDialogCancelled();
}

void CMainFrameModel::WaitForLoads() {
    m_dropped.clear(); // each waits for its work
}

bool CMainFrameModel::FinishLoad() {
    const std::unique_ptr<DiscLoadJob> load = std::move(m_load);
    if (!load)
        return false;
    DiscAnalysis analysis = load->TakeAnalysis();
    const uint16_t device = load->Device();
    // The disc shown stays whole aside until the new one is in place, so a failure can give it back (not
    // one shown from the catalogue, which no drive holds).
    const int previousDevice =
        g_DiscModel && g_DiscModel->firstSession && g_DiscModel->device != device && !Iso_CurrentDisc().listed
            ? g_DiscModel->device
            : -1;
    CLeftViewModel previousTree = std::move(m_tree);
    m_tree.Clear();
    m_list.Clear();
    if (viewsChanged)
        viewsChanged();
    IsoModelStash previous = Iso_SetModelAside();
    int rc = Iso_Initialize();
    if (rc != 1) {
        Report(IDS_ISO_INIT_ERROR, __LINE__, rc);
        return false;
    }
    if (analysis.result != 1) {
        LoadFailed(device, analysis.result, load->Reason(), previousDevice, std::move(previous),
                   std::move(previousTree));
        return false;
    }
    Iso_InstallDisc(std::move(analysis.disc));
    g_CurrentDevice = device;
    m_watch.Watch(device);
    ShowInstalled();
    return true;
}

bool CMainFrameModel::ShowCatalogued(int number) {
    std::unique_ptr<Disc> disc;
    CatalogueDisc info;
    std::string error;
    if (!App_ReadCataloguedDisc(number, disc, info, error)) {
        m_sink.ShowUtf8("Disc " + std::to_string(number) + " cannot be shown from the catalogue: " + error);
        return false;
    }
    CancelLoad();
    m_tree.Clear();
    m_list.Clear();
    if (viewsChanged)
        viewsChanged();
    Iso_SetModelAside(); // the disc shown before goes
    Iso_Initialize();
    m_catalogued = std::move(info);
    Iso_InstallDisc(std::move(disc));
    g_CurrentDevice = kIsoNoDevice; // reads that are not refused go to no drive
    m_watch.Forget();
    ShowInstalled();
    return true;
}

const CatalogueDisc* CMainFrameModel::Catalogued() const {
    return g_DiscModel && Iso_CurrentDisc().listed ? &m_catalogued : nullptr;
}

bool CMainFrameModel::CheckDiscBytes() {
    if (!CheckDisc())
        return false;
    const CatalogueDisc* shown = Catalogued();
    if (!shown)
        return true;
    if (const std::string image = App_CataloguedImage(shown->source); !image.empty() && openImage)
        openImage(image);
    else
        m_sink.ShowUtf8(App_InsertDiscText(*shown));
    return false;
}

void CMainFrameModel::ShowInstalled() {
    if (g_DiscModel)
        g_DiscModel->currentTree = g_DiscModel->firstTree;
    m_tree.Fill(g_DiscModel);
    uint32_t hint = 0;
    if (!m_tree.TopLevel().empty() && m_tree.Select(m_tree.TopLevel().front(), &hint))
        m_doc.UpdateAllViews(true, hint);
}

void CMainFrameModel::LoadFailed(uint16_t device, int code, const std::string& reason, int previousDevice,
                                 IsoModelStash&& previous, CLeftViewModel&& previousTree) {
    // A broken image leaves the drives; a drive that could not read keeps its medium for another try.
    const int kept = App_IsDiscFault(code) ? App_RemoveImageDrive(device, previousDevice) : previousDevice;
    Iso_Terminate();
    Iso_Initialize();
    m_watch.Forget();
    if (kept >= 0) {
        Iso_RestoreModel(std::move(previous));
        g_DiscModel->device = static_cast<uint16_t>(kept);
        g_CurrentDevice = static_cast<uint16_t>(kept);
        m_tree = std::move(previousTree);
        m_watch.Watch(static_cast<uint16_t>(kept));
        const int selected = m_tree.Selected();
        if (selected >= 0)
            m_doc.UpdateAllViews(true, m_tree.Items()[static_cast<size_t>(selected)].number);
    }
    if (viewsChanged)
        viewsChanged();
    Report(IDS_ISO_ANALYZE_ERROR, __LINE__, code, reason);
}

int CMainFrameModel::StartImageDrive(const std::string& path) {
    const int target = App_PutImageIntoDrive(path, m_sink);
    return target < 0 ? -1 : App_StartImageDrive(target, m_sink, waitBetweenTests);
}

std::string CMainFrameModel::TakeRecentImage(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        return path;
    m_recent.Remove(path);
    m_sink.ShowUtf8(App_ImageFailureText(path, ImageFailure::Gone, {}));
    return {};
}

void CMainFrameModel::DriveDialogCancelled() {
    if (g_DiscModel && g_DiscModel->firstSession)
        g_CurrentDevice = g_DiscModel->device;
}

bool CMainFrameModel::CheckDisc() {
    if (g_DiscModel && g_DiscModel->firstSession)
        return true;
    m_sink.Show(IDS_NO_DISC);
    return false;
}

bool CMainFrameModel::OnLevel1Simulation() {
    if (!CheckDisc())
        return false;
    // The first session's CONTROL field: all four bits clear is an audio medium.
    if ((g_DiscModel->firstSession->type & 0x0F) == 0) {
        m_sink.Show(IDS_NOT_CDROM);
        return false;
    }
    return true;
}

void CMainFrameModel::OnSaveDiscInformation() {
    if (CheckDiscBytes()) // the report reads every media file
        DoSaveDiscInformation();
}

void CMainFrameModel::DoSaveDiscInformation() {
    if (!runReportDialog)
        return;
    const auto [result, used] = runReportDialog(m_nDiscMngrNo, Numbers());
    if (result == ReportDlgResult::Ok)
        m_nDiscMngrNo = Report_NextNumber(used);
}

ReportNumbers CMainFrameModel::Numbers() {
    ReportNumbers n;
    const std::string file = m_profile.FilePath();
    if (!file.empty()) {
        n.next = [file] { return Report_ReadNumber(file); };
        n.take = [file](int wanted, bool orStored, int* used, int* stored, std::string* error) {
            return Report_TakeNumber(file, wanted, orStored, used, stored, error);
        };
        n.giveBack = [file](int used, int stored) { Report_ReturnNumber(file, used, stored); };
        return n;
    }
    n.next = [this] { return m_profile.GetInt("DISCMNGRNO", 0); };
    n.take = [this](int wanted, bool orStored, int* used, int* stored, std::string*) {
        *stored = m_profile.GetInt("DISCMNGRNO", 0);
        *used = orStored ? std::max(wanted, *stored) : wanted;
        m_profile.WriteInt("DISCMNGRNO", Report_NextNumber(*used));
        return true;
    };
    n.giveBack = [this](int used, int stored) {
        if (m_profile.GetInt("DISCMNGRNO", 0) == Report_NextNumber(used))
            m_profile.WriteInt("DISCMNGRNO", stored);
    };
    return n;
}
