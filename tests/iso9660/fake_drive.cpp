#include "fake_drive.h"

#include <algorithm>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/iso_model.h"
#include "platform/aspi32/aspi_library.h"

namespace isotest {

using namespace ckvd::drives;

namespace {

class FakeAdapter final : public HostAdapter {
  public:
    explicit FakeAdapter(std::shared_ptr<FakeDrive> d) : drive_(std::move(d)) {}
    std::string identifier() const override { return "TEST ADAPTER"; }
    uint8_t max_targets() const override { return 8; }
    ScsiTarget* target(uint8_t id) override { return id == 0 ? drive_.get() : nullptr; }

  private:
    std::shared_ptr<FakeDrive> drive_;
};

void Copy(const std::vector<uint8_t>& from, std::span<uint8_t> to, CommandResult& r) {
    size_t n = std::min(from.size(), to.size());
    std::memcpy(to.data(), from.data(), n);
    r.transferred = static_cast<uint32_t>(n);
}

} // namespace

CommandResult FakeDrive::execute(std::span<const uint8_t> cdb, Direction, std::span<uint8_t> data) {
    CommandResult r;
    switch (cdb[0]) {
    case 0x00: // TEST UNIT READY
    case 0x1B: // START STOP UNIT
        return r;
    case 0x12: { // INQUIRY
        std::vector<uint8_t> inq(36, ' ');
        inq[0] = 5;
        inq[1] = 0x80;
        inq[4] = 31;
        Copy(inq, data, r);
        return r;
    }
    case 0x25: {
        std::vector<uint8_t> cap = {uint8_t(lastLba >> 24),     uint8_t(lastLba >> 16),
                                    uint8_t(lastLba >> 8),      uint8_t(lastLba),
                                    uint8_t(blockLength >> 24), uint8_t(blockLength >> 16),
                                    uint8_t(blockLength >> 8),  uint8_t(blockLength)};
        Copy(cap, data, r);
        return r;
    }
    case 0x43: {
        const int format = cdb[2] & 0x0F;
        const bool msf = (cdb[1] & 0x02) != 0;
        tocFormats.push_back(format);
        if (format == 2) {
            Copy(fullToc, data, r);
        } else if (format == 0 && msf) {
            Copy(formattedToc, data, r);
        } else if (format == 0) {
            if (failLbaToc)
                return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
            std::vector<uint8_t> lba = formattedTocLba;
            if (lba.empty()) {
                lba = formattedToc;
                for (size_t off = 4; off + 8 <= lba.size(); off += 8) {
                    int32_t v = (lba[off + 5] * 60 + lba[off + 6]) * 75 + lba[off + 7] - 150;
                    lba[off + 4] = uint8_t(uint32_t(v) >> 24);
                    lba[off + 5] = uint8_t(uint32_t(v) >> 16);
                    lba[off + 6] = uint8_t(uint32_t(v) >> 8);
                    lba[off + 7] = uint8_t(v);
                }
            }
            Copy(lba, data, r);
        } else {
            return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
        }
        return r;
    }
    case 0x28: {
        const uint32_t lba = uint32_t(cdb[2]) << 24 | uint32_t(cdb[3]) << 16 | uint32_t(cdb[4]) << 8 | cdb[5];
        const uint16_t count = uint16_t(cdb[7] << 8 | cdb[8]);
        reads.push_back({lba, count});
        if (size_t(count) * blockLength != data.size())
            return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
        for (uint32_t i = 0; i < count; ++i) {
            auto it = sectors.find(lba + i);
            if (it == sectors.end())
                return check_condition(kSenseIllegalRequest, kAscLbaOutOfRange);
            std::memcpy(data.data() + size_t(i) * blockLength, it->second.data(),
                        std::min<size_t>(blockLength, 2048));
        }
        r.transferred = count * blockLength;
        return r;
    }
    default:
        return check_condition(kSenseIllegalRequest, kAscInvalidOpcode);
    }
}

void InstallDrive(std::shared_ptr<FakeDrive> drive) {
    Aspi_Terminate();
    ckvd::aspi32::SetHostAdapters({std::make_shared<FakeAdapter>(std::move(drive))});
    Aspi_Initialize();
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
}

void InstallFileDrive(std::shared_ptr<FakeDrive> drive) {
    InstallDrive(std::move(drive));
    g_CurrentDevice = 0;
    g_CurrentSession = 0;
    g_DiscModel = new DiscModel{};
    g_DiscModel->firstSession = new SessionEntry{};
    g_DiscModel->firstSession->blockLength = 2048;
    g_DiscModel->firstSession->lastBlock = 9999;
}

void PutBytes(FakeDrive& drive, uint32_t lba, const std::vector<uint8_t>& bytes) {
    for (size_t off = 0; off < bytes.size(); off += 2048) {
        Sector& s = drive.at(lba + uint32_t(off / 2048));
        s.fill(0);
        std::memcpy(s.data(), bytes.data() + off, std::min<size_t>(2048, bytes.size() - off));
    }
}

void RemoveDrives() {
    Aspi_Terminate();
    ckvd::aspi32::SetHostAdapters({});
}

TocBuilder& TocBuilder::add(uint8_t session, uint8_t adrControl, uint8_t point, std::array<uint8_t, 3> msf,
                            uint8_t zero, std::array<uint8_t, 3> pmsf) {
    bytes.insert(bytes.end(),
                 {session, adrControl, 0, point, msf[0], msf[1], msf[2], zero, pmsf[0], pmsf[1], pmsf[2]});
    return *this;
}

std::vector<uint8_t> TocBuilder::build(uint8_t lastSession) {
    std::vector<uint8_t> out = bytes;
    const size_t len = out.size() - 2;
    out[0] = uint8_t(len >> 8);
    out[1] = uint8_t(len);
    out[2] = 1;
    out[3] = lastSession;
    return out;
}

std::array<uint8_t, 3> Msf(int32_t lba) {
    int32_t t = lba + 150;
    return {uint8_t(t / 75 / 60), uint8_t(t / 75 % 60), uint8_t(t % 75)};
}

std::vector<uint8_t> FormattedToc(const std::vector<std::pair<uint8_t, uint32_t>>& tracks, uint32_t leadout) {
    std::vector<uint8_t> out{0, 0, 1, uint8_t(tracks.size())};
    uint8_t n = 1;
    auto put = [&](uint8_t control, uint8_t number, uint32_t lba) {
        auto m = Msf(int32_t(lba));
        out.insert(out.end(), {0, uint8_t(0x10 | control), number, 0, 0, m[0], m[1], m[2]});
    };
    for (auto [control, start] : tracks)
        put(control, n++, start);
    put(tracks.empty() ? 0 : tracks.back().first, 0xAA, leadout);
    const size_t len = out.size() - 2;
    out[0] = uint8_t(len >> 8);
    out[1] = uint8_t(len);
    return out;
}

} // namespace isotest
