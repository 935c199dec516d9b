// The bytes the media analyzers read: a file's size and its bytes at an offset, from wherever the file lies
// (a disc entry, a local file, memory). A read never reaches past the size: what lies beyond reads as zero.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

// Result codes of a read besides a drive's own (analyzers pass those on).
constexpr int BYTES_OK = 1;
constexpr int BYTES_ERR_NO_MEMORY = 0x70FF; // no room for the source's read buffer
constexpr int BYTES_ERR_READ = 0x7002;      // the local file could not be read

class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Fills `out` with the bytes from `offset`: BYTES_OK, or the failed read's code. Bytes at or past Size()
    // read as zero and cost no read.
    int Read(uint64_t offset, std::span<uint8_t> out) {
        std::memset(out.data(), 0, out.size());
        const uint64_t size = Size();
        if (offset >= size || out.empty())
            return BYTES_OK;
        const uint64_t n = std::min<uint64_t>(out.size(), size - offset);
        return ReadWithin(offset, out.first(size_t(n)));
    }

  protected:
    // `out` lies wholly within the source.
    virtual int ReadWithin(uint64_t offset, std::span<uint8_t> out) = 0;
};

// Bytes already in memory (the fuzz targets, tests).
class MemoryByteSource final : public ByteSource {
  public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }

  protected:
    int ReadWithin(uint64_t offset, std::span<uint8_t> out) override {
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
        return BYTES_OK;
    }

  private:
    std::span<const uint8_t> bytes_;
};
