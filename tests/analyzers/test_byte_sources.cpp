// The analyzers over bytes in memory and in a local file: what a file claims costs no more than the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/file_byte_source.h"
#include "analyzers/jpg/jpg_module.h"
#include "analyzers/mp3/mp3_info.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes in memory, counting what the analyzer reads.
class CountingSource final : public ByteSource {
  public:
    explicit CountingSource(Bytes bytes) : bytes_(std::move(bytes)) {}
    uint64_t Size() const override { return bytes_.size(); }
    uint64_t read = 0;

  protected:
    int ReadWithin(uint64_t offset, std::span<uint8_t> out) override {
        read += out.size();
        std::copy_n(bytes_.begin() + std::ptrdiff_t(offset), out.size(), out.begin());
        return BYTES_OK;
    }

  private:
    Bytes bytes_;
};

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(ByteSources, ClaimsLargerThanTheFileCostTheFileAtMost) {
    // An unsynchronised ID3v2.3 tag claiming 256 MiB (size bytes 7F 7F 7F 7F) in a 4 KiB file: its title is
    // read, and the whole tag is read once, as far as the file goes.
    const Bytes id3 = Text("ID3") + Bytes{3, 0, 0x80, 0x7F, 0x7F, 0x7F, 0x7F} + Text("TIT2") +
                      Bytes{0, 0, 0, 2, 0, 0, 0} + Text("A");
    CountingSource mp3(id3 + Bytes(4096 - id3.size(), 0));
    MpegInfo info;
    EXPECT_EQ(Mp3_Read(mp3, info), MP3_ERR_NO_FRAME_HEADER);
    EXPECT_EQ(info.id3v2Text.title, "A");
    EXPECT_LE(mp3.read, 2u * 4096);

    // An ASF header claiming 2^32 - 1 objects and a size of 2^63, then objects of 24 bytes to the end.
    const Bytes guid{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    Bytes asf = guid + Bytes{0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2};
    while (asf.size() + 24 <= 4096)
        asf = asf + Bytes(16, 0x11) + Bytes{24, 0, 0, 0, 0, 0, 0, 0};
    CountingSource header(asf);
    AsfRecords records;
    EXPECT_EQ(Wmf_Read(header, records), 1);
    EXPECT_LE(header.read, 2u * 4096);
}

TEST(ByteSources, JpegMarkersToTheFirstScan) {
    const Bytes soi{0xFF, 0xD8}, sos{0xFF, 0xDA, 0, 2};
    const Bytes exif = Bytes{0xFF, 0xE1, 0, 8} + Text("Exif") + Bytes{0, 0};
    // SOF2 (progressive): 8 bits, 480 lines, 640 samples a line, 3 components.
    const Bytes sof2{0xFF, 0xC2, 0, 17, 8, 0x01, 0xE0, 0x02, 0x80, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    struct Case {
        Bytes file;
        int result;
        const char* coding;
    } cases[] = {
        {soi + exif + Bytes{0xFF, 0xFF} + sof2 + sos, JPG_OK, "Progressive DCT"}, // a fill byte before SOF2
        {soi + exif + sos + sof2, JPG_ERR_NOT_JPEG, ""},                          // a frame after the scan
        {soi + Bytes{0xFF, 0xE0, 0xFF, 0xFF} + sof2, JPG_ERR_NOT_JPEG, ""},       // APP0 longer than the file
        {Bytes{0xFF, 0xD9} + sof2, JPG_ERR_NOT_JPEG, ""},                         // no start of image
    };
    for (const Case& c : cases) {
        MemoryByteSource source(c.file);
        JpgInfo info;
        EXPECT_EQ(Jpg_Read(source, info), c.result);
        EXPECT_STREQ(Jpg_CodingName(info.frameMarker), c.coding);
    }
    MemoryByteSource source(cases[0].file);
    JpgInfo info;
    ASSERT_EQ(Jpg_Read(source, info), JPG_OK);
    EXPECT_TRUE(info.exif && !info.jfif);
    EXPECT_EQ(std::vector<int>({info.width, info.height, info.components, info.precision}),
              std::vector<int>({640, 480, 3, 8}));
}

TEST(ByteSources, LocalFileReadsZeroPastItsEndAndRefusesWhatIsNoFile) {
    char path[] = "/tmp/ckvd-byte-source-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "abcdef", 6), 6);
    close(fd);
    FileByteSource file;
    std::string why;
    ASSERT_TRUE(file.Open(path, &why)) << why;
    uint8_t out[4] = {9, 9, 9, 9};
    EXPECT_EQ(file.Read(4, out), BYTES_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), std::string("ef\0\0", 4));
    unlink(path);
    FileByteSource directory;
    EXPECT_FALSE(directory.Open("/tmp", &why));
    EXPECT_EQ(why, "not a regular file");
    EXPECT_FALSE(directory.Open(path, &why));
    EXPECT_EQ(why, "No such file or directory");
}

} // namespace
