#include "platform/aspi32/drive_setup.h"

#include <climits>
#include <cstdlib>

#include "platform/aspi32/aspi_library.h"

namespace ckvd::aspi32 {

namespace {

// An image drive, answering READ TOC as a drive of the convention CKVD_IMAGE_DRIVE_TOC names ("sff8020i",
// "no-full-toc"), and failing the reads of the blocks CKVD_IMAGE_DRIVE_UNREADABLE names, so that every
// command can be tried against such drives and discs without one.
std::unique_ptr<drives::ImageDrive> NewImageDrive(const std::string& path,
                                                  std::unique_ptr<images::DiscImage> disc) {
    auto drive = std::make_unique<drives::ImageDrive>(path, std::move(disc));
    const char* convention = std::getenv("CKVD_IMAGE_DRIVE_TOC");
    const std::string name = convention ? convention : "";
    if (name == "sff8020i")
        drive->set_toc_convention(drives::TocConvention::Sff8020i);
    else if (name == "no-full-toc")
        drive->set_toc_convention(drives::TocConvention::NoFullToc);
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
    return drive;
}

} // namespace

bool SetupDrives(const std::vector<std::string>& imagePaths, std::string* error) {
    auto images = std::make_shared<drives::ImageAdapter>();
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
                         std::to_string(drives::ImageAdapter::kMaxTargets) + ")";
            return false;
        }
    }
    SetHostAdapters({std::make_shared<drives::SgAdapter>(), std::move(images)});
    return true;
}

int AddImageDrive(const std::string& path, std::string* error) {
    if (!ImageDrives())
        SetupDrives({}, nullptr);
    drives::ImageAdapter* adapter = ImageDrives();
    images::LoadResult loaded = images::load_image(path);
    if (!loaded) {
        if (error)
            *error = loaded.error;
        return -1;
    }
    for (uint8_t id = 0; id < adapter->max_targets(); ++id) {
        drives::ImageDrive* d = adapter->drive(id);
        if (d && d->device_path() == path) {
            d->change_medium(std::move(loaded.disc));
            // The system's own poll of the drive takes the medium change's UNIT ATTENTION, as a desktop's
            // media watcher does, so the program's spin-up does not fail on it.
            const uint8_t testUnitReady[6] = {};
            d->execute(testUnitReady, drives::Direction::None, {});
            return id;
        }
    }
    int id = adapter->add(NewImageDrive(path, std::move(loaded.disc)));
    if (id >= 0)
        return id;
    if (error)
        *error = path + ":0: no free target for another image drive (at most " +
                 std::to_string(drives::ImageAdapter::kMaxTargets) + ")";
    return -2;
}

drives::ImageAdapter* ImageDrives() {
    const auto& adapters = HostAdapters();
    if (adapters.size() <= kImageAdapter)
        return nullptr;
    return dynamic_cast<drives::ImageAdapter*>(adapters[kImageAdapter].get());
}

drives::SgAdapter* SgDrives() {
    const auto& adapters = HostAdapters();
    if (adapters.size() <= kSgAdapter)
        return nullptr;
    return dynamic_cast<drives::SgAdapter*>(adapters[kSgAdapter].get());
}

drives::ImageDrive* FindImageDrive(const std::string& path) {
    drives::ImageAdapter* adapter = ImageDrives();
    if (!adapter)
        return nullptr;
    for (uint8_t id = 0; id < adapter->max_targets(); ++id) {
        drives::ImageDrive* d = adapter->drive(id);
        if (d && d->device_path() == path)
            return d;
    }
    return nullptr;
}

} // namespace ckvd::aspi32
