#include "platform/drives/scsi_target.h"

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

} // namespace ckvd::drives
