// Scriptable SCSI targets and host adapters for the ASPI tests: hard disks, scanners, CD drives that fail.
#pragma once

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/drives/scsi_target.h"

namespace ckvd::testing {

struct SeenCommand {
    std::vector<uint8_t> cdb;
    drives::Direction dir;
    size_t data_size;
    bool operator==(const SeenCommand&) const = default;
};

// Answers the next commands from `script`, then INQUIRY and READ CAPACITY from its fields, else GOOD.
class FakeTarget : public drives::ScsiTarget {
  public:
    FakeTarget(uint8_t type, std::string vendor, std::string product, std::string path)
        : type_(type), vendor_(std::move(vendor)), product_(std::move(product)), path_(std::move(path)) {}
    uint8_t device_type() const override { return type_; }
    std::string device_path() const override { return path_; }

    drives::CommandResult execute(std::span<const uint8_t> cdb, drives::Direction dir,
                                  std::span<uint8_t> data) override {
        seen.push_back({{cdb.begin(), cdb.end()}, dir, data.size()});
        if (!script.empty()) {
            drives::CommandResult r = script.front();
            script.pop_front();
            return r;
        }
        if (cdb[0] == 0x12 && data.size() >= 36) {
            std::memset(data.data(), 0, 36);
            data[0] = inquiry_byte0;
            std::memcpy(&data[8], vendor_.data(), std::min<size_t>(8, vendor_.size()));
            std::memcpy(&data[16], product_.data(), std::min<size_t>(16, product_.size()));
        } else if (cdb[0] == 0x25 && data.size() >= 8) {
            std::memcpy(data.data(), capacity, 8);
        }
        return {};
    }

    uint8_t inquiry_byte0 = 5;
    uint8_t capacity[8] = {0x00, 0x01, 0x23, 0x45, 0x00, 0x00, 0x08, 0x00};
    std::deque<drives::CommandResult> script;
    std::vector<SeenCommand> seen;

  private:
    uint8_t type_;
    std::string vendor_, product_, path_;
};

class FakeAdapter : public drives::HostAdapter {
  public:
    explicit FakeAdapter(uint8_t max_targets) : max_targets_(max_targets) {}
    std::string identifier() const override { return "FAKE"; }
    uint8_t max_targets() const override { return max_targets_; }
    drives::ScsiTarget* target(uint8_t id) override {
        auto it = targets.find(id);
        return it == targets.end() ? nullptr : it->second.get();
    }
    FakeTarget* put(uint8_t id, uint8_t type, std::string vendor = "ACME    ",
                    std::string product = "CD-ROM DRIVE    ", std::string path = {}) {
        return (targets[id] = std::make_unique<FakeTarget>(type, vendor, product, path)).get();
    }
    std::map<uint8_t, std::unique_ptr<FakeTarget>> targets;

  private:
    uint8_t max_targets_;
};

inline drives::CommandResult transport_failure() {
    drives::CommandResult r;
    r.transport_ok = false;
    r.host_status = drives::kHostSelectionTimeout;
    return r;
}

} // namespace ckvd::testing
