// Golden files: texts and bytes a test compares whole with a file under tests/data. With CKVD_UPDATE_GOLDEN
// set the file is written instead, to be checked by hand (against the format's definition or a peer tool)
// before it is committed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

inline void ExpectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(CKVD_TEST_DATA) + "/" + name;
    if (std::getenv("CKVD_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path << " is missing";
    EXPECT_EQ(actual, std::string(std::istreambuf_iterator<char>(in), {})) << "differs from " << path;
}
