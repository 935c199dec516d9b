// A disc entry's bytes as the analyzers' byte source, through the disc engine's reads of the loaded disc:
// the current session's blocks by READ(10) for each of the file's extents, a zisofs file uncompressed.
#pragma once

#include <vector>

#include "analyzers/byte_source.h"

struct FileEntry;
struct IsoZisofs;

class DiscEntrySource final : public ByteSource {
  public:
    explicit DiscEntrySource(const FileEntry& entry) : entry_(entry) {}
    DiscEntrySource(const DiscEntrySource&) = delete;
    DiscEntrySource& operator=(const DiscEntrySource&) = delete;
    ~DiscEntrySource() override;

    // Selects the current session and checks every extent against its recorded area before any command is
    // sent: BYTES_OK, Iso_SelectSession's code, ISO_ERR_EXTENT, or ISO_ERR_ZISOFS for a compression not read
    // here.
    int Open();
    uint64_t Size() const override { return size_; }

  protected:
    int ReadWithin(uint64_t offset, std::span<uint8_t> out) override;

  private:
    struct Extent {
        uint32_t lbn;
        uint32_t size;
        uint64_t offset; // of its first byte in the file
    };
    int ReadExtent(size_t index, uint64_t offset, std::span<uint8_t> out);
    int Fetch(size_t index, uint64_t block, uint32_t count);
    int ReadUncompressed(uint64_t offset, std::span<uint8_t> out);

    const FileEntry& entry_;
    std::vector<Extent> extents_;
    uint64_t size_ = 0;
    uint32_t bl_ = 0;
    uint32_t pieceBlocks_ = 1;
    // The blocks read last: a request wholly among them costs no command.
    uint8_t* piece_ = nullptr;
    size_t pieceExtent_ = 0;
    uint64_t pieceFirst_ = 0;
    uint32_t pieceCount_ = 0;
    // A zisofs file: the uncompressed bytes [unpackedAt_, + unpacked_.size()) inflated last.
    const IsoZisofs* zisofs_ = nullptr;
    std::vector<uint8_t> unpacked_;
    uint64_t unpackedAt_ = 0;
};
