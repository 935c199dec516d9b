// Shared set-up of the unit tests: a fake drive installed as device 0 of the real ASPI manager.
#pragma once

#include <gtest/gtest.h>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso_builder.h"

namespace isotest {

class DriveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        drive = std::make_shared<FakeDrive>();
        Iso_Initialize();
    }
    void TearDown() override {
        Iso_Terminate();
        RemoveDrives();
    }
    int Analyze() {
        InstallDrive(drive);
        drive->reads.clear();
        return Iso_AnalyzeDisc(0);
    }
    // A plain ISO9660 session at `base`: PVD at base+16, terminator at base+17, path table at base+18,
    // root directory at base+20 with the given records.
    void PlainSession(uint32_t base, const PathTable& table, const Directory& root,
                      const std::string& volumeId = "VOLUME") {
        drive->at(base + 16) = VolumeDescriptor(1, volumeId, uint32_t(table.bytes.size()), base + 18,
                                                base + 20, uint32_t(root.blocks.size() * 2048));
        drive->at(base + 17) = Descriptor(255);
        PlaceBytes(*drive, base + 18, table.bytes, 2);
        root.place(*drive, base + 20);
    }
    // Two data sessions, the second starting at 12400 (a recorder's gap after a short first session).
    void TwoDataSessionToc() {
        TocBuilder t;
        t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x20, 0});
        t.add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
        t.add(2, 0x14, 0xA0, {0, 0, 0}, 0, {2, 0x20, 0});
        t.add(2, 0x14, 0x02, {0, 0, 0}, 0, Msf(12400));
        SetToc(*drive, t.build(2), {{4, 0}, {4, 12400}}, 13400);
    }
    // Zero-filled blocks recorded from `from` up to `end`.
    void RecordBlocks(uint32_t from, uint32_t end) {
        for (uint32_t b = from; b < end; ++b)
            drive->at(b);
    }
    uint64_t SectorsRead() const {
        uint64_t sectors = 0;
        for (const auto& r : drive->reads)
            sectors += r.count;
        return sectors;
    }
    std::shared_ptr<FakeDrive> drive;
};

// The same over a one-session CD-ROM TOC reaching block 999.
class SingleSessionTest : public DriveTest {
  protected:
    void SetUp() override {
        DriveTest::SetUp();
        SingleDataSessionToc(*drive);
    }
};

inline std::vector<std::string> ChildNames(const FileEntry* dir) {
    std::vector<std::string> names;
    for (const FileEntry* e = dir ? dir->firstChild : nullptr; e; e = e->nextSibling)
        names.push_back(e->name);
    return names;
}

} // namespace isotest
