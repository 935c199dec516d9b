#include "appmodel/disc_analysis.h"

#include <array>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/ecma119.h"
#include "iso9660/iso9660.h"
#include "platform/bytes/byte_order.h"
#include "platform/drives/drive_setup.h"

namespace {

namespace images = ckvd::images;

const ckvd::drives::ImageDrive* ImageDriveOf(uint16_t device) {
    const DeviceEntry* d = Aspi_GetDevice(device);
    if (!d || d->hostAdapterId != ckvd::drives::kImageAdapter)
        return nullptr;
    ckvd::drives::ImageAdapter* adapter = ckvd::drives::ImageDrives();
    return adapter ? adapter->drive(d->targetId) : nullptr;
}

std::string CodeReason(int code) {
    switch (code) {
    case ISO_ERR_DESCRIPTOR:
        return "its ISO 9660 file system (volume descriptors, path table or directories) is missing or "
               "damaged";
    case ISO_ERR_DISC_TYPE:
        return "it holds a kind of disc this program does not read";
    case ISO_ERR_TRACK_FILE:
        return "its audio tracks could not be listed";
    case ISO_ERR_NO_MEMORY:
        return "there is not enough memory for its directories";
    case ISO_ERR_CANCELLED:
        return "its reading was cancelled";
    default:
        return "a block of its file system could not be read";
    }
}

// The last data track of an image and the volume its descriptor set describes, for an image cut short (the
// incomplete download): the blocks the file holds (`end`), and the descriptor the tree is read from, Joliet's
// where there is one. False when there is no data track or no descriptor within the file.
bool ChosenDescriptor(uint16_t device, const images::DiscImage& disc, int64_t& first, int64_t& end,
                      std::array<uint8_t, 2048>& chosen) {
    const images::Track* data = nullptr;
    for (const images::Session& s : disc.sessions)
        for (const images::Track& t : s.tracks)
            if (t.mode != images::TrackMode::Audio)
                data = &t;
    if (!data)
        return false;
    end = int64_t{disc.last_lba()} + 1;
    first = int64_t{data->start} + 16;
    // The set ends with its terminator.
    std::array<uint8_t, 2048> block{};
    bool found = false;
    for (int64_t lba = first; lba < end && lba < first + 64; ++lba) {
        if (Aspi_ReadSectors(device, static_cast<uint32_t>(lba), 2048, 1, block.data()) != ASPI_OK ||
            std::memcmp(&block[ecma119::kStandardIdentifier], "CD001", 5) != 0 ||
            block[ecma119::kDescriptorType] == 255)
            break;
        if (block[ecma119::kDescriptorType] == 1 || (block[ecma119::kDescriptorType] == 2 && found)) {
            chosen = block;
            found = true;
        }
    }
    return found;
}

std::string EndsAt(int64_t end) {
    return "the image file ends at block " + std::to_string(end);
}

std::string VolumeRecords(int64_t end, uint32_t volumeEnd) {
    return EndsAt(end) + "; the volume records " + std::to_string(volumeEnd) +
           " blocks: the file is incomplete";
}

// Why a cut image failed to load: the first structure of its tree the file no longer holds. Empty when the
// image holds all its volume says it has.
std::string TruncationReason(uint16_t device, const images::DiscImage& disc) {
    int64_t first = 0, end = 0;
    std::array<uint8_t, 2048> chosen{};
    const bool found = ChosenDescriptor(device, disc, first, end, chosen);
    if (end > 0 && first >= end)
        return EndsAt(end) + "; the disc's volume descriptors lie at block " + std::to_string(first) +
               ": the file is incomplete";
    if (!found)
        return {};
    const uint32_t volumeEnd = bytes::Le32(&chosen[ecma119::kVolumeSpaceSize]);
    if (volumeEnd <= end)
        return {};
    int64_t missing = volumeEnd;
    for (const uint32_t lba : {bytes::Le32(&chosen[ecma119::kTypeLPathTable]),
                               bytes::Le32(&chosen[ecma119::kRootDirectoryRecord + ecma119::kRecordExtent])})
        if (lba >= end && lba < missing)
            missing = lba;
    if (missing == volumeEnd)
        return VolumeRecords(end, volumeEnd);
    return EndsAt(end) + "; the disc's directory lies at block " + std::to_string(missing) +
           ": the file is incomplete";
}

} // namespace

std::string App_LoadFailureReason(uint16_t device, int code) {
    const ckvd::drives::ImageDrive* drive = ImageDriveOf(device);
    if (!drive)
        return {};
    const std::string path = drive->device_path() + ": ";
    if (!drive->disc())
        return path + "the drive holds no image";
    const std::string truncated = TruncationReason(device, *drive->disc());
    return path + (truncated.empty() ? CodeReason(code) : truncated);
}

std::string App_IncompleteImage(uint16_t device) {
    const ckvd::drives::ImageDrive* drive = ImageDriveOf(device);
    if (!drive || !drive->disc())
        return {};
    int64_t first = 0, end = 0;
    std::array<uint8_t, 2048> chosen{};
    if (!ChosenDescriptor(device, *drive->disc(), first, end, chosen))
        return {};
    const uint32_t volumeEnd = bytes::Le32(&chosen[ecma119::kVolumeSpaceSize]);
    return volumeEnd > end ? drive->device_path() + ": " + VolumeRecords(end, volumeEnd) : std::string();
}

int App_AnalyzeDisc(uint16_t device, std::string* reason, uint8_t names) {
    const int rc = Iso_AnalyzeDisc(device, names);
    if (rc != ISO_OK && reason)
        *reason = App_LoadFailureReason(device, rc);
    return rc;
}

bool App_IsDiscFault(int code) {
    return code == ISO_ERR_DESCRIPTOR || code == ISO_ERR_DISC_TYPE || code == ISO_ERR_EXTENT;
}

int App_RemoveImageDrive(uint16_t device, int keep) {
    const DeviceEntry* failed = Aspi_GetDevice(device);
    const DeviceEntry* kept = keep >= 0 ? Aspi_GetDevice(static_cast<uint16_t>(keep)) : nullptr;
    ckvd::drives::ImageAdapter* adapter = ckvd::drives::ImageDrives();
    if (!failed || failed->hostAdapterId != ckvd::drives::kImageAdapter || !adapter)
        return keep;
    const int keepAdapter = kept ? kept->hostAdapterId : -1;
    const int keepTarget = kept ? kept->targetId : -1;
    adapter->remove(failed->targetId);
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    int index = 0;
    for (const DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        if (d->hostAdapterId == keepAdapter && d->targetId == keepTarget)
            return index;
    }
    return -1;
}
