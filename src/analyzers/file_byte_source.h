// A local file as the analyzers' byte source (ckvd info --file, ckvd-mknav).
#pragma once

#include <string>

#include "analyzers/byte_source.h"

class FileByteSource final : public ByteSource {
  public:
    FileByteSource() = default;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;
    ~FileByteSource() override;
    // Opens a regular file; false with errno's words in `why`.
    bool Open(const std::string& path, std::string* why);
    uint64_t Size() const override { return size_; }

  protected:
    int ReadWithin(uint64_t offset, std::span<uint8_t> out) override;

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};
