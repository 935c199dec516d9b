// Virtual CD drives, one per disc image, answering CDBs as an MMC drive does.
#pragma once

#include <chrono>
#include <utility>
#include <vector>

#include "images/disc_image.h"
#include "platform/drives/drive.h"

namespace ckvd::drives {

// How a drive takes READ TOC's format: as MMC has it (byte 2, or bits 7-6 of byte 9 when byte 2 is 0), as
// drives of the older ATAPI convention do (SFF-8020i: byte 9 only, byte 2 ignored; QEMU's IDE and AHCI
// drives), or as a drive that gives no full TOC (the formatted TOC wherever the full one is asked).
enum class TocConvention : uint8_t { Mmc, Sff8020i, NoFullToc };

class ImageDrive final : public Drive {
  public:
    // `disc` may be null: a drive without a medium (NOT READY, MEDIUM NOT PRESENT).
    ImageDrive(std::string path, std::unique_ptr<images::DiscImage> disc);
    ~ImageDrive() override;

    uint8_t device_type() const override { return 5; }
    std::string device_path() const override { return path_; }

    // Test hooks and the medium change of a real drive.
    void set_ready(bool ready) { ready_ = ready; } // not ready: TEST UNIT READY fails (NOT READY, 04/01)
    void set_start_fails(bool fails) { start_fails_ = fails; }   // START STOP UNIT fails (NOT READY, 04/00)
    void change_medium(std::unique_ptr<images::DiscImage> disc); // next command gets UNIT ATTENTION once
    void set_toc_convention(TocConvention c) { toc_convention_ = c; }
    // Every command takes this long, as a slow drive's do.
    void set_command_delay(std::chrono::milliseconds delay) { delay_ = delay; }
    // Blocks `first` to `last` answer every read with MEDIUM ERROR, UNRECOVERED READ ERROR, as a scratched
    // disc's do; the blocks before them in a read are given.
    void add_unreadable(images::lba_t first, images::lba_t last) { unreadable_.push_back({first, last}); }
    const images::DiscImage* disc() const { return disc_.get(); }
    // Counts the media put in (an empty one too), so a watcher tests the drive only after its medium changed.
    uint64_t medium_generation() const { return generation_.load(); }
    // The `nth` command from now on (1 the next) is answered UNIT ATTENTION with `asc` (0x28 medium may have
    // changed, 0x29 power on or reset), as a drive answers after a reset or a change it noticed itself.
    void attention_at(uint64_t nth, uint8_t asc);
    // The medium is replaced by `disc` just before the `nth` command from now on, which then gets the medium
    // change's UNIT ATTENTION: a disc swapped while it is being read.
    void swap_medium_at(uint64_t nth, std::unique_ptr<images::DiscImage> disc);
    // Whole data sectors are given with their EDC and error correction code zero, those of an image of
    // 2,048-byte blocks made up around the user data, as QEMU's IDE and AHCI drives give them.
    void set_zero_error_codes(bool zero) { zero_error_codes_ = zero; }

    // Counters for benchmarks and tests.
    uint64_t read10_commands = 0;
    uint64_t sectors_read = 0;

  protected:
    CommandResult run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) override;

  private:
    std::string path_;
    std::unique_ptr<images::DiscImage> disc_;
    std::unique_ptr<images::SectorReader> reader_;
    bool ready_ = true;
    bool unit_attention_ = false;
    bool start_fails_ = false;
    TocConvention toc_convention_ = TocConvention::Mmc;
    std::chrono::milliseconds delay_{0};
    std::vector<std::pair<images::lba_t, images::lba_t>> unreadable_;
    std::atomic<uint64_t> generation_{0};
    uint64_t commands_ = 0;                   // run so far
    uint64_t attention_at_ = 0, swap_at_ = 0; // the command that meets them (0: none)
    uint8_t attention_asc_ = 0;
    std::unique_ptr<images::DiscImage> swap_disc_; // what the swap puts in
    bool zero_error_codes_ = false;
    void put_medium(std::unique_ptr<images::DiscImage> disc); // under the command lock
    // Of `count` blocks from `first` on, how many come before an unreadable one.
    uint32_t intact(int64_t first, uint32_t count) const;
    std::vector<uint8_t> text_packs_; // what READ TOC format 5 answers

    CommandResult inquiry(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) const;
    CommandResult read_capacity(Direction dir, std::span<uint8_t> data) const;
    CommandResult read_toc(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) const;
    CommandResult read_sub_channel(std::span<const uint8_t> cdb, Direction dir,
                                   std::span<uint8_t> data) const;
    CommandResult read10(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data);
    CommandResult read_cd(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data);
    // Whole sectors as a drive that makes them up gives them (set_zero_error_codes): blocks given.
    uint32_t made_up_sectors(images::lba_t first, uint32_t count, std::span<uint8_t> data);
    // READ CD of the 2,324 user bytes of Mode 2 Form 2 blocks.
    CommandResult read_form2(int64_t first, uint32_t count, Direction dir, std::span<uint8_t> data);
};

class ImageAdapter final : public DriveGroup {
  public:
    static constexpr uint8_t kMaxTargets = 16;
    uint8_t slot_count() const override { return kMaxTargets; }
    ImageDrive* drive(uint8_t slot) override;

    // Adds a drive at the next free slot; returns the slot, or -1 when full.
    int add(std::unique_ptr<ImageDrive> drive);
    // Takes the drive at `id` away; its slot stays free until the next add, and the others keep theirs.
    void remove(uint8_t id);
    void clear();

  private:
    std::vector<std::unique_ptr<ImageDrive>> drives_;
};

} // namespace ckvd::drives
