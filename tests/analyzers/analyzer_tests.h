// Shared by the analyzer tests: bytes built by hand served by a test drive, and the discs other tools make
// loaded in an image drive.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/info_dialog_header.h"
#include "fake_drive.h"
#include "image_disc.h"

namespace antest {

using Bytes = std::vector<uint8_t>;
using testdisc::RunCommand;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
inline Bytes Le(uint64_t v, int width) {
    Bytes b;
    for (int i = 0; i < width; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
    return b;
}
inline Bytes Hex(const std::string& hex) {
    Bytes b;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

// "key=value" lines of a peer tool's output.
inline std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (size_t eq = line.find('='); eq != std::string::npos)
            out[line.substr(0, eq)] = line.substr(eq + 1);
    return out;
}

inline void LoadDisc(const std::string& iso) {
    std::string error;
    ASSERT_EQ(testdisc::LoadImageDisc(iso, &error), 1) << error;
    g_CurrentSession = 0;
}
inline FileEntry* OnDisc(const std::string& name) {
    for (FileEntry* e = g_DiscModel->firstTree->root->firstChild; e; e = e->nextSibling)
        if (name == e->name)
            return e;
    ADD_FAILURE() << name << " is not on the disc";
    static FileEntry missing{};
    return &missing;
}

// A disc other tools made, loaded for the whole suite (by the suite's SetUpTestSuite) in an image drive.
template <auto Analyzer, auto Terminate> class ImageDiscSuite : public ::testing::Test {
  protected:
    static void TearDownTestSuite() {
        Terminate();
        Iso_Terminate();
        Aspi_Terminate();
    }
    static int Analyze(const std::string& name) { return Analyzer(OnDisc(name)); }
};

// A file of hand-made bytes at block 100 of a test drive that serves no other sector; every analysis is
// checked to have read none but the file's sectors.
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
