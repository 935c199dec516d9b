// A file of hand-made bytes at block 100 of a test drive that serves no other sector; every analysis is
// checked to have read none but the file's sectors.
#pragma once

#include <algorithm>

#include "analyzer_tests.h"
#include "fake_drive.h"

namespace antest {

template <auto Initialize, auto Analyzer, auto Terminate> class FileOnDrive : public ::testing::Test {
  protected:
    static constexpr uint32_t kLbn = 100;
    void SetUp() override {
        drive = std::make_shared<isotest::FakeDrive>();
        isotest::InstallFileDrive(drive);
        ASSERT_EQ(Initialize(), 1);
    }
    void TearDown() override {
        Analyzer_SetHeapExhausted(false);
        Terminate();
        Iso_Terminate();
        isotest::RemoveDrives();
    }
    // Serves `bytes` at kLbn as the sectors of a file of `size` bytes (all of `bytes` by default).
    int Analyze(const Bytes& bytes, size_t size = SIZE_MAX) {
        file.lbn = kLbn;
        file.size = uint32_t(std::min(size, bytes.size()));
        drive->sectors.clear();
        isotest::PutBytes(*drive, kLbn, bytes);
        drive->reads.clear();
        const int result = Analyzer(&file);
        for (const isotest::ReadCommand& r : drive->reads)
            EXPECT_TRUE(r.lba >= kLbn && r.lba + r.count <= kLbn + (file.size + 2047) / 2048) << r.lba;
        return result;
    }
    std::shared_ptr<isotest::FakeDrive> drive;
    FileEntry file{};
};

} // namespace antest
