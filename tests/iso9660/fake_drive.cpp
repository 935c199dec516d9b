#include "fake_drive.h"

#include <algorithm>
#include <cstring>

#include "aspi/aspi_manager.h"
#include "iso9660/iso_model.h"
#include "platform/drives/drive_setup.h"
#include "platform/drives/mmc.h"

namespace isotest {

using namespace ckvd::drives;

namespace {

class FakeAdapter final : public DriveGroup {
  public:
    explicit FakeAdapter(std::shared_ptr<FakeDrive> d) : drive_(std::move(d)) {}
    uint8_t slot_count() const override { return 8; }
    Drive* drive(uint8_t slot) override { return slot == 0 ? drive_.get() : nullptr; }

  private:
    std::shared_ptr<FakeDrive> drive_;
};

CommandResult Copy(const std::vector<uint8_t>& from, std::span<uint8_t> to) {
    CommandResult r;
    size_t n = std::min(from.size(), to.size());
    std::memcpy(to.data(), from.data(), n);
    r.transferred = static_cast<uint32_t>(n);
    return r;
}

void PutBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

} // namespace

CommandResult FakeDrive::run(std::span<const uint8_t> cdb, Direction, std::span<uint8_t> data) {
    using namespace ckvd::mmc;
    switch (cdb[0]) {
    case kTestUnitReady:
    case kStartStopUnit:
        return {};
    case kInquiry: {
        std::vector<uint8_t> inq(36, ' ');
        inq[0] = 5;
        inq[1] = 0x80;
        inq[4] = 31;
        return Copy(inq, data);
    }
    case kReadCapacity: {
        std::vector<uint8_t> cap(8);
        PutBe32(&cap[0], lastLba);
        PutBe32(&cap[4], blockLength);
        return Copy(cap, data);
    }
    case kReadToc: {
        const int format = cdb[2] & 0x0F;
        if ((format == 2 && !refuseFullToc) || (format == 1 && !sessionInfo.empty()))
            return Copy(format == 2 ? fullToc : sessionInfo, data);
        if (format != 0 || (!(cdb[1] & 0x02) && failLbaToc))
            return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
        std::vector<uint8_t> toc = formattedToc;
        for (size_t off = 4; !(cdb[1] & 0x02) && off + 8 <= toc.size(); off += 8)
            PutBe32(&toc[off + 4],
                    uint32_t(ckvd::images::msf_to_lba(toc[off + 5], toc[off + 6], toc[off + 7])));
        return Copy(toc, data);
    }
    case kRead10: {
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
        CommandResult r;
        r.transferred = count * blockLength;
        return r;
    }
    default:
        return check_condition(kSenseIllegalRequest, kAscInvalidOpcode);
    }
}

void InstallDrive(std::shared_ptr<FakeDrive> drive) {
    Aspi_Terminate();
    ckvd::drives::SetDriveGroups({std::make_shared<FakeAdapter>(std::move(drive))});
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

void RemoveDrives() {
    Aspi_Terminate();
    ckvd::drives::SetDriveGroups({});
}

void PlaceBytes(FakeDrive& d, uint32_t lba, const std::vector<uint8_t>& bytes, size_t minBlocks) {
    for (size_t b = 0; b < std::max(minBlocks, (bytes.size() + 2047) / 2048); ++b) {
        Sector& s = d.at(lba + uint32_t(b));
        s.fill(0);
        if (b * 2048 < bytes.size())
            std::memcpy(s.data(), bytes.data() + b * 2048, std::min<size_t>(2048, bytes.size() - b * 2048));
    }
}

TocBuilder& TocBuilder::add(uint8_t session, uint8_t adrControl, uint8_t point, std::array<uint8_t, 3> msf,
                            uint8_t zero, std::array<uint8_t, 3> pmsf) {
    bytes.insert(bytes.end(),
                 {session, adrControl, 0, point, msf[0], msf[1], msf[2], zero, pmsf[0], pmsf[1], pmsf[2]});
    return *this;
}

TocBuilder& TocBuilder::points(uint8_t session, uint8_t adrControl, uint8_t first, uint8_t discType,
                               uint8_t last, int32_t leadout) {
    add(session, adrControl, 0xA0, {0, 0, 0}, 0, {first, discType, 0});
    add(session, adrControl, 0xA1, {0, 0, 0}, 0, {last, 0, 0});
    return add(session, adrControl, 0xA2, {0, 0, 0}, 0, Msf(leadout));
}

std::vector<uint8_t> TocBuilder::build(uint8_t lastSession) {
    std::vector<uint8_t> out = bytes;
    out[0] = uint8_t((out.size() - 2) >> 8);
    out[1] = uint8_t(out.size() - 2);
    out[3] = lastSession;
    return out;
}

std::array<uint8_t, 3> Msf(int32_t lba) {
    int32_t t = lba + 150;
    return {uint8_t(t / 75 / 60), uint8_t(t / 75 % 60), uint8_t(t % 75)};
}

void SetToc(FakeDrive& d, std::vector<uint8_t> fullToc,
            const std::vector<std::pair<uint8_t, uint32_t>>& tracks, uint32_t leadout) {
    d.fullToc = std::move(fullToc);
    std::vector<uint8_t>& out = d.formattedToc = {0, 0, 1, uint8_t(tracks.size())};
    uint8_t n = 1;
    auto put = [&](uint8_t control, uint8_t number, uint32_t lba) {
        auto m = Msf(int32_t(lba));
        out.insert(out.end(), {0, uint8_t(0x10 | control), number, 0, 0, m[0], m[1], m[2]});
    };
    for (auto [control, start] : tracks)
        put(control, n++, start);
    put(tracks.empty() ? 0 : tracks.back().first, 0xAA, leadout);
    out[0] = uint8_t((out.size() - 2) >> 8);
    out[1] = uint8_t(out.size() - 2);
    d.lastLba = leadout - 1;
}

void SingleDataSessionToc(FakeDrive& d, uint32_t start, uint32_t leadout) {
    TocBuilder t;
    t.points(1, 0x14, 1, 0x00, 1, int32_t(leadout)).add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(int32_t(start)));
    SetToc(d, t.build(1), {{0x04, start}}, leadout);
}

} // namespace isotest
