#include "appmodel/first_drive.h"

#include <functional>

#include "appmodel/drive_dlg_model.h"
#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"

namespace {

// The drive dialog's scan, a click on the first row `wanted` accepts, and its spin-up.
int StartDrive(const std::function<bool(const DeviceEntry&)>& wanted, ckvd::ui::MessageSink& sink,
               bool waitBetweenTests) {
    CDriveDlgModel dlg(sink);
    if (!waitBetweenTests)
        dlg.sleep = [](int) {};
    if (!dlg.OnInitDialog())
        return -1;
    int row = 0;
    int chosen = -1;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next, ++row) {
        if (wanted(*d)) {
            chosen = row;
            break;
        }
    }
    if (chosen < 0) {
        sink.Show("No CD drive was found.");
        return -1;
    }
    dlg.OnItemChanged(chosen, 1);
    return dlg.DialogResult() == CDriveDlgModel::Result::Ok ? chosen : -1;
}

} // namespace

int App_StartFirstDrive(bool imageDrive, ckvd::ui::MessageSink& sink, bool waitBetweenTests) {
    return StartDrive(
        [imageDrive](const DeviceEntry& d) {
            return !imageDrive || d.hostAdapterId == ckvd::drives::kImageAdapter;
        },
        sink, waitBetweenTests);
}

int App_StartImageDrive(int target, ckvd::ui::MessageSink& sink, bool waitBetweenTests) {
    return StartDrive(
        [target](const DeviceEntry& d) {
            return d.hostAdapterId == ckvd::drives::kImageAdapter && d.targetId == target;
        },
        sink, waitBetweenTests);
}
