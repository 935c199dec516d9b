#include "platform/drives/drive_setup.h"

#include <climits>
#include <cstdlib>

#include "platform/drives/mmc_commands.h"

namespace ckvd::drives {

namespace {

std::vector<std::shared_ptr<DriveGroup>>& Groups() {
    static std::vector<std::shared_ptr<DriveGroup>> groups;
    return groups;
}

// What happens to a drive's medium while it is read, for the tests of `ckvd`: CKVD_IMAGE_DRIVE_ATTENTION=28@N
// (or 29@N) answers the Nth command after INQUIRY with UNIT ATTENTION 06/28 (06/29),
// CKVD_IMAGE_DRIVE_SWAP=N@PATH puts the image at PATH in before the Nth, and CKVD_IMAGE_DRIVE_NO_EDC=1 gives
// whole sectors with EDC and ECC zero, as QEMU's drives do.
void AddMediumEvents(ImageDrive& drive) {
    const auto number = [](const char* text, int base, char** end) {
        const unsigned long long n = std::strtoull(text, end, base);
        return *end != text && n <= UINT32_MAX ? static_cast<uint64_t>(n) : 0;
    };
    char* end = nullptr;
    if (const char* attention = std::getenv("CKVD_IMAGE_DRIVE_ATTENTION")) {
        const uint64_t asc = number(attention, 16, &end);
        const uint64_t nth = *end == '@' ? number(end + 1, 10, &end) : 0;
        if ((asc == kAscMediumChanged || asc == kAscPowerOnOrReset) && *end == '\0')
            drive.attention_at(nth, static_cast<uint8_t>(asc));
    }
    if (const char* swap = std::getenv("CKVD_IMAGE_DRIVE_SWAP")) {
        const uint64_t nth = number(swap, 10, &end);
        if (nth > 0 && *end == '@')
            if (images::LoadResult other = images::load_image(end + 1))
                drive.swap_medium_at(nth, std::move(other.disc));
    }
    if (const char* zero = std::getenv("CKVD_IMAGE_DRIVE_NO_EDC"))
        drive.set_zero_error_codes(std::string(zero) == "1");
}

// An image drive, answering READ TOC as a drive of the convention CKVD_IMAGE_DRIVE_TOC names ("sff8020i",
// "no-full-toc"), failing the reads of the blocks CKVD_IMAGE_DRIVE_UNREADABLE names and taking
// CKVD_IMAGE_DRIVE_DELAY_MS milliseconds a command, so that every command can be tried against such drives
// and discs without one.
std::unique_ptr<ImageDrive> NewImageDrive(const std::string& path, std::unique_ptr<images::DiscImage> disc) {
    auto drive = std::make_unique<ImageDrive>(path, std::move(disc));
    const char* convention = std::getenv("CKVD_IMAGE_DRIVE_TOC");
    const std::string name = convention ? convention : "";
    if (name == "sff8020i")
        drive->set_toc_convention(TocConvention::Sff8020i);
    else if (name == "no-full-toc")
        drive->set_toc_convention(TocConvention::NoFullToc);
    // CKVD_IMAGE_DRIVE_UNREADABLE="FIRST-LAST[,FIRST-LAST]...": blocks a scratched disc could not give.
    const char* unreadable = std::getenv("CKVD_IMAGE_DRIVE_UNREADABLE");
    for (const char* p = unreadable; p && *p;) {
        char* end = nullptr;
        const long first = std::strtol(p, &end, 10);
        if (end == p)
            break;
        const long last = *end == '-' ? std::strtol(end + 1, &end, 10) : first;
        if (first >= 0 && last >= first && last <= INT32_MAX)
            drive->add_unreadable(static_cast<images::lba_t>(first), static_cast<images::lba_t>(last));
        p = *end == ',' ? end + 1 : "";
    }
    if (const char* delay = std::getenv("CKVD_IMAGE_DRIVE_DELAY_MS")) {
        char* end = nullptr;
        const long ms = std::strtol(delay, &end, 10);
        if (end != delay && *end == '\0' && ms > 0 && ms <= 60000)
            drive->set_command_delay(std::chrono::milliseconds(ms));
    }
    AddMediumEvents(*drive);
    return drive;
}

} // namespace

void SetDriveGroups(std::vector<std::shared_ptr<DriveGroup>> groups) {
    Groups() = std::move(groups);
}

const std::vector<std::shared_ptr<DriveGroup>>& DriveGroups() {
    return Groups();
}

Drive* FindDrive(unsigned group, unsigned slot) {
    const auto& groups = Groups();
    if (group >= groups.size() || !groups[group] || slot >= groups[group]->slot_count())
        return nullptr;
    return groups[group]->drive(static_cast<uint8_t>(slot));
}

bool SetupDrives(const std::vector<std::string>& imagePaths, std::string* error) {
    auto images = std::make_shared<ImageAdapter>();
    for (const auto& path : imagePaths) {
        images::LoadResult loaded = images::load_image(path);
        if (!loaded) {
            if (error)
                *error = loaded.error;
            return false;
        }
        if (images->add(NewImageDrive(path, std::move(loaded.disc))) < 0) {
            if (error)
                *error = path + ":0: no free target for another image drive (at most " +
                         std::to_string(ImageAdapter::kMaxTargets) + ")";
            return false;
        }
    }
    SetDriveGroups({std::make_shared<SgAdapter>(), std::move(images)});
    return true;
}

int AddImageDrive(const std::string& path, std::string* error) {
    if (!ImageDrives())
        SetupDrives({}, nullptr);
    ImageAdapter* adapter = ImageDrives();
    images::LoadResult loaded = images::load_image(path);
    if (!loaded) {
        if (error)
            *error = loaded.error;
        return -1;
    }
    for (uint8_t id = 0; id < adapter->slot_count(); ++id) {
        ImageDrive* d = adapter->drive(id);
        if (d && d->device_path() == path) {
            d->change_medium(std::move(loaded.disc));
            // The system's own poll of the drive takes the medium change's UNIT ATTENTION, as a desktop's
            // media watcher does, so the program's spin-up does not fail on it.
            TestUnitReady(*d);
            return id;
        }
    }
    int id = adapter->add(NewImageDrive(path, std::move(loaded.disc)));
    if (id >= 0)
        return id;
    if (error)
        *error = path + ":0: no free target for another image drive (at most " +
                 std::to_string(ImageAdapter::kMaxTargets) + ")";
    return -2;
}

ImageAdapter* ImageDrives() {
    const auto& adapters = DriveGroups();
    if (adapters.size() <= kImageAdapter)
        return nullptr;
    return dynamic_cast<ImageAdapter*>(adapters[kImageAdapter].get());
}

SgAdapter* SgDrives() {
    const auto& adapters = DriveGroups();
    if (adapters.size() <= kSgAdapter)
        return nullptr;
    return dynamic_cast<SgAdapter*>(adapters[kSgAdapter].get());
}

ImageDrive* FindImageDrive(const std::string& path) {
    ImageAdapter* adapter = ImageDrives();
    if (!adapter)
        return nullptr;
    for (uint8_t id = 0; id < adapter->slot_count(); ++id) {
        ImageDrive* d = adapter->drive(id);
        if (d && d->device_path() == path)
            return d;
    }
    return nullptr;
}

} // namespace ckvd::drives
