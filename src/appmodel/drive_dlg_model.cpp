#include "appmodel/drive_dlg_model.h"

#include <cstdio>

#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"
#include "res/app_strings.h"

namespace {

constexpr const char* kSource = "DriveDlg";

} // namespace

const DriveColumn kDriveColumns[6] = {{"Drive", 6},   {"ID", 6},        {"Vender", 3},
                                      {"Product", 3}, {"Revision", 12}, {"State", 12}};

namespace {

// The last `parts` names of `path`, or the whole path when it has no more.
std::string Tail(const std::string& path, int parts) {
    size_t pos = path.size();
    for (int i = 0; i < parts; ++i) {
        size_t slash = pos == 0 ? std::string::npos : path.rfind('/', pos - 1);
        if (slash == std::string::npos)
            return path;
        pos = slash;
    }
    return path.substr(pos + 1);
}

} // namespace

std::vector<std::string> Drive_DistinctNames(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (size_t i = 0; i < paths.size(); ++i) {
        for (int parts = 1;; ++parts) {
            std::string name = Tail(paths[i], parts);
            bool shared = false;
            for (size_t j = 0; j < paths.size() && !shared; ++j)
                shared = j != i && paths[j] != paths[i] && Tail(paths[j], parts) == name;
            if (!shared || name == paths[i]) {
                names.push_back(std::move(name));
                break;
            }
        }
    }
    return names;
}

void CDriveDlgModel::Report(const char* format, int line, int code) {
    char text[256];
    std::snprintf(text, sizeof text, format, kSource, line, static_cast<unsigned>(code) & 0xFFFFu);
    m_sink.Show(text);
}

bool CDriveDlgModel::OnInitDialog() {
    m_rows.clear();
    int rc = Aspi_ScanDevices();
    if (rc != ASPI_OK && rc != ASPI_SCAN_NO_DEVICE) {
        Report(IDS_SCAN_ERROR, __LINE__, rc);
        return false;
    }
    Aspi_AssignRootPaths();
    std::vector<std::string> imagePaths;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next) {
        DriveRow row;
        row.path = d->driveRootPath;
        if (!row.path.empty() && row.path.back() == '/')
            row.path.pop_back();
        row.drive = row.path;
        if (d->hostAdapterId == ckvd::drives::kImageAdapter)
            imagePaths.push_back(row.path);
        char id[16];
        std::snprintf(id, sizeof id, "%d:%d", d->hostAdapterId, d->targetId);
        row.id = id;
        row.vendor = d->vendor;
        row.product = d->product;
        row.revision = Aspi_Revision(*d);
        m_rows.push_back(std::move(row));
    }
    RefreshStates();
    std::vector<std::string> names = Drive_DistinctNames(imagePaths);
    size_t next = 0;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (next < names.size() && m_rows[i].path == imagePaths[next])
            m_rows[i].drive = names[next++];
    return true;
}

void CDriveDlgModel::RefreshStates() {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const auto device = static_cast<uint16_t>(i);
        AspiStartResult test;
        AspiOutcome outcome;
        test.ready = Aspi_TestUnitReady(device, &outcome);
        if (test.ready != ASPI_OK && outcome.sense.key == ckvd::drives::kSenseUnitAttention)
            test.ready = Aspi_TestUnitReady(device, &outcome);
        test.sense = outcome.sense;
        m_rows[i].state = Aspi_MediumState(test);
    }
}

void CDriveDlgModel::OnItemChanged(int row, unsigned newState) {
    if (newState != 0) {
        m_nSelected = row;
        OnOK();
    } else {
        m_nSelected = -1;
    }
}

void CDriveDlgModel::OnOK() {
    if (m_nSelected < 0 || m_nSelected >= static_cast<int>(m_rows.size()))
        return;
    const auto device = static_cast<uint16_t>(m_nSelected);
    m_enabled = false;
    if (repaint)
        repaint();
    AspiStartHooks hooks;
    hooks.spinUpFailed = [this](int code) { Report(IDS_SPINUP_ERROR, __LINE__, code); };
    if (sleep)
        hooks.wait = sleep;
    const AspiStartResult started = Aspi_StartDevice(device, hooks);
    m_tests = started.tests;
    const int rc = started.ready;
    if (rc == 1) {
        m_result = Result::Ok;
        return;
    }
    Report(IDS_NOT_READY, __LINE__, rc);
    m_enabled = true;
}
