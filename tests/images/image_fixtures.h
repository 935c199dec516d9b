// What the image reader tests share: the fixtures made by make_fixtures.sh, files read whole, a temporary
// directory of the test's own, and blocks as a file holds them or as the sector reader reads them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "images/disc_image.h"

namespace image_tests {

namespace fs = std::filesystem;

inline std::string fx(const std::string& name) {
    const char* dir = std::getenv("CKVD_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), {}};
}

// A fresh directory of the test's own, removed at the end.
struct TempDir {
    fs::path path =
        fs::temp_directory_path() /
        ("ckvd-img-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
         std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
};

// `count` blocks from `first` on of a fixture file, or as `reader` reads them (empty when one is unreadable).
inline std::string file_blocks(const std::string& name, size_t first, size_t count) {
    std::ifstream in(fx(name), std::ios::binary);
    std::string b(count * 2048, '\0');
    EXPECT_TRUE(in.seekg(std::streamoff(first * 2048)).read(b.data(), std::streamsize(b.size()))) << name;
    return b;
}
// Audio blocks are the whole 2352 bytes of each sector.
inline std::string disc_blocks(ckvd::images::SectorReader& reader, ckvd::images::lba_t first, uint32_t count,
                               bool audio = false) {
    std::string b(size_t{count} * (audio ? 2352 : 2048), '\0');
    const std::span out(reinterpret_cast<uint8_t*>(b.data()), b.size());
    const uint32_t read =
        audio ? reader.read_audio(first, count, out) : reader.read_user_data(first, count, out);
    return read == count ? b : "";
}

} // namespace image_tests
