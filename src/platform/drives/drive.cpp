#include "platform/drives/drive.h"

#include <algorithm>

namespace ckvd::drives {

CommandResult check_condition(uint8_t key, uint8_t asc, uint8_t ascq) {
    CommandResult r;
    r.target_status = kStatusCheckCondition;
    r.sense[0] = 0x70; // current error, fixed format
    r.sense[2] = key & 0x0F;
    r.sense[7] = 10; // additional sense length: bytes 8..17
    r.sense[12] = asc;
    r.sense[13] = ascq;
    return r;
}

Sense CommandResult::sense_code() const {
    if (!transport_ok || target_status != kStatusCheckCondition)
        return {};
    return {static_cast<uint8_t>(sense[2] & 0x0F), sense[12], sense[13]};
}

CommandResult Drive::execute(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) {
    if (cdb.empty() || cdb.size() > 16)
        return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
    std::lock_guard lock(mutex_);
    CommandResult r = run(cdb, dir, data);
    r.transferred = static_cast<uint32_t>(std::min<size_t>(r.transferred, data.size()));
    return r;
}

} // namespace ckvd::drives
