// A session burned where the disc's next one starts: an ISO 9660 image is taken only where its addresses
// put it (its root directory inside the blocks it fills there), and the disc read back is compared from
// that block on. The images are laid out by ECMA-119: the primary descriptor at the session's block 16, the
// root directory record at its byte 156 with the extent's block at +2.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "discmaker/burn_disc.h"
#include "discmaker/burn_verify.h"

namespace {

constexpr size_t kBlock = 2048;

class BurnSession : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("ckvd-burn-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    // An image of `blocks` blocks, each filled with its number, whose volume's root directory is at `root`.
    std::string Image(const std::string& name, uint32_t blocks, uint32_t root) {
        std::vector<uint8_t> bytes(blocks * kBlock);
        for (uint32_t b = 0; b < blocks; ++b)
            std::memset(&bytes[b * kBlock], int(b & 0xFF), kBlock);
        uint8_t* pvd = &bytes[16 * kBlock];
        std::memset(pvd, 0, kBlock);
        pvd[0] = 1;
        std::memcpy(pvd + 1, "CD001", 5);
        pvd[6] = 1;
        for (int i = 0; i < 4; ++i) {
            pvd[158 + i] = uint8_t(root >> (8 * i)); // little-endian
            pvd[165 - i] = uint8_t(root >> (8 * i)); // then big-endian
        }
        const std::string path = (dir_ / name).string();
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        image_ = bytes;
        return path;
    }
    std::filesystem::path dir_;
    std::vector<uint8_t> image_;
};

TEST_F(BurnSession, AnImageGoesOnlyWhereItsAddressesPutIt) {
    const std::string first = Image("first.iso", 40, 21), second = Image("second.iso", 40, 11416 + 21);
    std::string why;
    EXPECT_TRUE(Burn_ImageFitsAt(first, 0, why)) << why;
    EXPECT_TRUE(Burn_ImageFitsAt(second, 11416, why)) << why;
    // Made for block 0, at the next session's 11416: its root at 21 is outside 11416-11455.
    EXPECT_FALSE(Burn_ImageFitsAt(first, 11416, why));
    EXPECT_NE(why.find("root directory is at block 21, outside the blocks 11416-11455"), std::string::npos)
        << why;
    EXPECT_NE(why.find("make the image for block 11416"), std::string::npos) << why;
    EXPECT_FALSE(Burn_ImageFitsAt(second, 0, why));
    EXPECT_NE(why.find("made for a later session"), std::string::npos) << why;
    // What is no ISO 9660 volume is not judged; what cannot be read is refused.
    std::vector<uint8_t> none(40 * kBlock, 0);
    const std::string plain = (dir_ / "plain.img").string();
    FILE* f = std::fopen(plain.c_str(), "wb");
    std::fwrite(none.data(), 1, none.size(), f);
    std::fclose(f);
    EXPECT_TRUE(Burn_ImageFitsAt(plain, 11416, why));
    EXPECT_FALSE(Burn_ImageFitsAt((dir_ / "none.iso").string(), 0, why));
}

TEST_F(BurnSession, TheDiscIsComparedFromItsSessionsStart) {
    const std::string image = Image("second.iso", 40, 500 + 21);
    // The disc: 500 blocks of an earlier session, then the image, with block 510 of the disc changed.
    std::vector<uint8_t> disc((500 + 40) * kBlock, 0xEE);
    std::memcpy(&disc[500 * kBlock], image_.data(), image_.size());
    disc[510 * kBlock + 7] ^= 1;
    const BurnReader read = [&disc](uint32_t lba, uint16_t count, uint8_t* out) {
        if ((size_t(lba) + count) * kBlock > disc.size())
            return false;
        std::memcpy(out, &disc[lba * kBlock], count * kBlock);
        return true;
    };
    std::vector<BurnRange> bad;
    uint32_t blocks = 0;
    std::string error;
    ASSERT_TRUE(Burn_Compare(image, 500, read, bad, blocks, error)) << error;
    EXPECT_EQ(blocks, 40u);
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(std::make_pair(bad[0].first, bad[0].last), std::make_pair(510u, 510u));
    EXPECT_STREQ(bad[0].state, "differ from the image");
    // From block 0 the earlier session is not the image.
    ASSERT_TRUE(Burn_Compare(image, 0, read, bad, blocks, error)) << error;
    EXPECT_EQ(std::make_pair(bad.front().first, bad.back().last), std::make_pair(0u, 39u));
}

} // namespace
