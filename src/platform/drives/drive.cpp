#include "platform/drives/drive.h"

#include <algorithm>
#include <cstdio>

#include "platform/bytes/byte_order.h"
#include "platform/drives/mmc.h"

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
    const Sense sense = r.sense_code();
    if (sense.key == kSenseUnitAttention && sense.asc == kAscMediumChanged)
        ++medium_changes_;
    if (!r.transport_ok && r.host_status == kHostCommandTimeout) {
        std::string text = DescribeCommand(cdb) + " timed out";
        if (const unsigned seconds = timeout_seconds())
            text += " after " + std::to_string(seconds) + " s";
        text += " on " + device_path();
        std::lock_guard words(timeout_mutex_);
        last_timeout_ = std::move(text);
        ++timeouts_;
    }
    return r;
}

std::string Drive::last_timeout() const {
    std::lock_guard words(timeout_mutex_);
    return last_timeout_;
}

std::string DescribeCommand(std::span<const uint8_t> cdb) {
    if (cdb.empty())
        return "no command";
    const uint8_t opcode = cdb[0];
    const char* name = nullptr;
    switch (opcode) {
    case mmc::kTestUnitReady:
        name = "TEST UNIT READY";
        break;
    case mmc::kInquiry:
        name = "INQUIRY";
        break;
    case mmc::kStartStopUnit:
        name = "START STOP UNIT";
        break;
    case mmc::kReadCapacity:
        name = "READ CAPACITY";
        break;
    case mmc::kRead10:
        name = "READ(10)";
        break;
    case mmc::kReadSubChannel:
        name = "READ SUB-CHANNEL";
        break;
    case mmc::kReadToc:
        name = "READ TOC";
        break;
    case mmc::kReadCd:
        name = "READ CD";
        break;
    default:
        break;
    }
    char text[64];
    if (!name) {
        std::snprintf(text, sizeof text, "command %02Xh", opcode);
        return text;
    }
    std::snprintf(text, sizeof text, "%s (%02Xh)", name, opcode);
    std::string words = text;
    // The reads name their first block (bytes 2-5 of both CDBs).
    if ((opcode == mmc::kRead10 || opcode == mmc::kReadCd) && cdb.size() >= 6) {
        words += " at block " + std::to_string(bytes::Be32(cdb, 2));
    }
    return words;
}

} // namespace ckvd::drives
