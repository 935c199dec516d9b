#include "appmodel/burn_dlg_model.h"

#include <fcntl.h>
#include <unistd.h>

#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"
#include "playercheck/player_profile.h"

namespace {

// The blocks of the file libburn's stdio: pseudo-drive wrote: the disc itself.
bool ReadFile(int fd, uint32_t lba, uint16_t count, uint8_t* out) {
    const size_t bytes = size_t(count) * 2048;
    return fd >= 0 && pread(fd, out, bytes, off_t(uint64_t(lba) * 2048)) == ssize_t(bytes);
}

} // namespace

bool CBurnDlgModel::OffersMultisession(const std::string& profile) {
    PlayerProfile p;
    std::string ignored;
    return profile.empty() || !Player_FindProfile(profile, p, ignored) || p.multisession;
}

std::vector<BurnTarget> CBurnDlgModel::Drives() const {
    std::vector<BurnTarget> drives;
    int index = 0;
    for (const DeviceEntry* e = g_DeviceList; e; e = e->next, ++index) {
        const ckvd::drives::Drive* drive = Aspi_GetDrive(uint16_t(index));
        if (e->hostAdapterId == ckvd::drives::kImageAdapter || !drive)
            continue;
        const std::string path = drive->device_path();
        drives.push_back({std::string(e->vendor) + " " + e->product + " (" + path + ")", path, index});
    }
    return drives;
}

bool CBurnDlgModel::Start(const std::string& image, const BurnTarget& target, const BurnOptions& options,
                          BackgroundJob::Where where) {
    if (Busy() || image.empty() || target.address.empty())
        return false;
    auto work = std::make_unique<Work>();
    work->image = image;
    work->target = target;
    work->options = options;
    Work& w = *work;
    w.job = std::make_unique<BackgroundJob>(
        [&w](BackgroundJob::Control& control) {
            w.ok = Burn_Image(
                w.image, w.target.address, w.options,
                [&control](const char* phase, uint64_t done, uint64_t total) {
                    control.Report(done, total, phase[0] == 'b' ? "Blanking the disc" : "Writing the disc");
                },
                w.error, &w.start);
            if (!w.ok)
                return;
            const int fd = w.target.device < 0 ? open(w.target.File().c_str(), O_RDONLY | O_CLOEXEC) : -1;
            const int device = w.target.device;
            w.ok = Burn_Compare(
                w.image, w.start,
                [fd, device](uint32_t lba, uint16_t count, uint8_t* out) {
                    return device < 0 ? ReadFile(fd, lba, count, out)
                                      : Aspi_ReadSectors(uint16_t(device), lba, 2048, count, out) == ASPI_OK;
                },
                w.bad, w.blocks, w.error,
                [&control](uint32_t done, uint32_t total) {
                    control.Report(done, total, "Reading the disc back");
                    return true;
                });
            if (fd >= 0)
                close(fd);
        },
        where);
    m_work = std::move(work);
    return true;
}

bool CBurnDlgModel::Finish() {
    if (!m_work)
        return false;
    std::string failure;
    const std::unique_ptr<Work> done = BackgroundJob_Take(m_work, failure);
    if (!failure.empty()) {
        m_sink.ShowUtf8("The disc was not burned and compared.\n" + failure);
        return false;
    }
    m_target = done->target;
    m_bad = std::move(done->bad);
    m_blocks = done->blocks;
    m_compared = true;
    return true;
}

std::string CBurnDlgModel::ResultText() const {
    if (!m_compared)
        return {};
    if (m_bad.empty())
        return "verified: " + std::to_string(m_blocks) + " blocks read back equal the image";
    return "not verified: " + std::to_string(m_bad.size()) + " ranges of the " + std::to_string(m_blocks) +
           " blocks are not the image's";
}
