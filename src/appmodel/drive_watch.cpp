#include "appmodel/drive_watch.h"

#include "aspi/aspi_manager.h"
#include "platform/drives/drive.h"
#include "platform/drives/image_drive.h"
#include "platform/drives/mmc_commands.h"

using namespace ckvd::drives;

void DriveWatch::Watch(uint16_t device) {
    *this = {};
    const Drive* drive = Aspi_GetDrive(device);
    if (!drive)
        return;
    m_device = device;
    m_name = drive->device_path();
    m_changes = drive->medium_changes();
    if (const auto* image = dynamic_cast<const ImageDrive*>(drive))
        m_generation = image->medium_generation();
}

DriveWatch::Event DriveWatch::Poll() {
    if (m_device < 0)
        return Event::None;
    const auto device = static_cast<uint16_t>(m_device);
    Drive* drive = Aspi_GetDrive(device);
    if (!drive || drive->device_path() != m_name) // gone, or another drive since a scan
        return Event::None;
    const auto* image = dynamic_cast<const ImageDrive*>(drive);
    const uint64_t generation = image ? image->medium_generation() : 0;
    if (image && generation == m_generation && !m_notReady)
        return Event::None;
    // One command a look, straight to the drive: the window's thread waits for no retry.
    const CommandResult result = TestUnitReady(*drive);
    const Sense sense = result.sense_code();
    const bool changed = drive->medium_changes() != m_changes;
    m_changes = drive->medium_changes();
    m_generation = generation;
    if (sense.key == kSenseUnitAttention) { // the change's notice: the next look tells what is in the drive
        m_notReady = true;
        return Event::None;
    }
    if (result.ok()) {
        const bool fresh = changed || m_absent || m_notReady;
        m_absent = m_notReady = false;
        return fresh ? Event::NewDisc : Event::None;
    }
    if (sense.key == kSenseNotReady && sense.asc == kAscMediumNotPresent) {
        m_notReady = false;
        if (m_absent)
            return Event::None;
        m_absent = true;
        return Event::NoDisc;
    }
    m_notReady = true; // spinning up, or not answering: looked at again next time
    return Event::None;
}
