// A disc entry's bytes as the analyzers' byte source, through the disc engine's reads of a Disc: its
// session's blocks by READ(10) for each of the file's extents, a zisofs file uncompressed.
#pragma once

#include <vector>

#include "analyzers/byte_source.h"

class Disc;
struct FileEntry;
struct IsoZisofs;
struct SessionEntry;

// Where an entry is read: `disc`'s `session` (nullptr: a session whose blocks cannot be read) from `device`.
struct DiscEntryAt {
    const Disc& disc;
    const SessionEntry* session;
    uint16_t device;
    const FileEntry& entry;
};
// `entry` of session `index` of `disc` (Disc::Session), read from the disc's own device.
DiscEntryAt DiscEntry_In(const Disc& disc, unsigned index, const FileEntry& entry);
// `entry` of the current Disc's current session (selected, Iso_SelectSession) from g_CurrentDevice: the
// form the window's and ckvd's facade calls use.
DiscEntryAt DiscEntry_Current(const FileEntry& entry);

class DiscEntrySource final : public ByteSource {
  public:
    explicit DiscEntrySource(const DiscEntryAt& at) : at_(at), entry_(at.entry) {}
    DiscEntrySource(const DiscEntrySource&) = delete;
    DiscEntrySource& operator=(const DiscEntrySource&) = delete;
    ~DiscEntrySource() override;

    // Checks every extent against the session's recorded area before any command is sent: BYTES_OK,
    // ISO_ERR_NO_MODEL without a session, ISO_ERR_EXTENT, or ISO_ERR_ZISOFS for a compression not read here.
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

    const DiscEntryAt at_;
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
