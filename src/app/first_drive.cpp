#include "app/first_drive.h"

#include "app/drive_dlg_model.h"
#include "aspi/aspi_manager.h"
#include "platform/aspi32/drive_setup.h"

int App_StartFirstDrive(bool imageDrive, ckvd::ui::MessageSink& sink, bool waitBetweenTests) {
    CDriveDlgModel dlg(sink);
    if (!waitBetweenTests)
        dlg.sleep = [](int) {};
    if (!dlg.OnInitDialog())
        return -1;
    int row = 0;
    int chosen = -1;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next, ++row) {
        if (!imageDrive || d->hostAdapterId == ckvd::aspi32::kImageAdapter) {
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
