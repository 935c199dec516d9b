#include "platform/drives/image_drive.h"
#include "platform/bytes/byte_order.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/cd/cd_time.h"
#include "platform/drives/mmc.h"

namespace ckvd::drives {

namespace {

using namespace mmc;

CommandResult good() {
    return CommandResult{};
}
CommandResult invalid_field() {
    return check_condition(kSenseIllegalRequest, kAscInvalidFieldInCdb);
}
CommandResult out_of_range() {
    return check_condition(kSenseIllegalRequest, kAscLbaOutOfRange);
}

using bytes::Be16;
using bytes::Be32;

// A response built in full and then cut to what the initiator asked for.
class Response {
  public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v >> 8));
        u8(static_cast<uint8_t>(v));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v >> 16));
        u16(static_cast<uint16_t>(v));
    }
    void text(const char* s, size_t width) {
        const size_t n = std::strlen(s);
        for (size_t i = 0; i < width; ++i)
            u8(i < n ? static_cast<uint8_t>(s[i]) : ' ');
    }
    // Track start or lead-out address as READ TOC writes it: LBA, or 0/M/S/F absolute time; an address past
    // the last time (a DVD image's) is given as that time, 99:59:74, as drives do.
    void address(images::lba_t lba, bool msf) {
        if (!msf) {
            u32(static_cast<uint32_t>(lba));
            return;
        }
        const images::Msf t = uint64_t(std::max<images::lba_t>(lba, 0)) < images::kMaxCdBlocks
                                  ? images::lba_to_msf(lba)
                                  : images::Msf{99, 59, 74};
        u8(0);
        u8(t.m);
        u8(t.s);
        u8(t.f);
    }
    void set_u16(size_t at, uint16_t v) {
        bytes_[at] = static_cast<uint8_t>(v >> 8);
        bytes_[at + 1] = static_cast<uint8_t>(v);
    }
    size_t size() const { return bytes_.size(); }

    // Copies min(allocation, size) bytes into the caller's buffer; a buffer too small for that is a bad
    // request.
    CommandResult send(uint32_t allocation, Direction dir, std::span<uint8_t> data) const {
        const size_t n = std::min<size_t>(allocation, bytes_.size());
        if (n == 0)
            return good();
        if (dir != Direction::In || data.size() < n)
            return invalid_field();
        std::memcpy(data.data(), bytes_.data(), n);
        CommandResult r;
        r.transferred = static_cast<uint32_t>(n);
        return r;
    }

  private:
    std::vector<uint8_t> bytes_;
};

bool is_data(const images::Track& t) {
    return t.mode != images::TrackMode::Audio;
}

// Nothing when every block of [first, end) lies in a recorded track of the kind wanted (data or audio),
// else the refusal: LBA OUT OF RANGE in a gap or past the lead-out, `wrongKind` at a block of the other kind.
std::optional<CommandResult> refuse_blocks(const images::DiscImage& disc, int64_t first, int64_t end,
                                           bool data, const CommandResult& wrongKind) {
    if (first < INT32_MIN || end - 1 > INT32_MAX)
        return out_of_range();
    for (int64_t lba = first; lba < end;) {
        const images::Track* t = disc.track_at(static_cast<images::lba_t>(lba));
        if (!t)
            return out_of_range();
        if (is_data(*t) != data)
            return wrongKind;
        const int64_t track_end = int64_t{t->start} + t->length;
        if (track_end <= lba) // a reader that answers outside its own track must not stall this walk
            return out_of_range();
        lba = track_end;
    }
    return std::nullopt;
}

// The answer to a read of `count` blocks of `blockLength` bytes of which the file gave `got`: a block the
// file cannot give ends the transfer before it.
CommandResult transfer_result(uint32_t got, uint32_t count, uint32_t blockLength) {
    CommandResult r;
    if (got < count)
        r = check_condition(kSenseMediumError, kAscReadError);
    r.transferred = got * blockLength;
    return r;
}

} // namespace

ImageDrive::ImageDrive(std::string path, std::unique_ptr<images::DiscImage> disc) : path_(std::move(path)) {
    change_medium(std::move(disc));
    unit_attention_ = false; // a medium present at power-on is not a change
}

namespace {

// The lead-in's CD-TEXT packs: as the image carries them, else made from its sheet's text.
std::vector<uint8_t> text_packs(const images::DiscImage& disc) {
    if (!disc.text_packs.empty())
        return {disc.text_packs.begin(),
                disc.text_packs.begin() + static_cast<std::ptrdiff_t>(disc.text_packs.size() /
                                                                      cdtext::kPackSize * cdtext::kPackSize)};
    uint8_t first = 99, last = 1;
    for (const auto& s : disc.sessions)
        for (const auto& t : s.tracks) {
            first = std::min(first, t.number);
            last = std::max(last, t.number);
        }
    return first <= last ? cdtext::MakePacks(disc.text, first, last) : std::vector<uint8_t>{};
}

// READ TOC format 5, CD-TEXT: the packs of the lead-in, none (the header alone) on a disc without text.
CommandResult text_answer(const std::vector<uint8_t>& packs, uint16_t allocation, Direction dir,
                          std::span<uint8_t> data) {
    Response r;
    r.u16(static_cast<uint16_t>(std::min<size_t>(packs.size() + 2, 0xFFFF)));
    r.u16(0);
    for (uint8_t b : packs)
        r.u8(b);
    return r.send(allocation, dir, data);
}

} // namespace

ImageDrive::~ImageDrive() = default;

void ImageDrive::change_medium(std::unique_ptr<images::DiscImage> disc) {
    std::lock_guard lock(command_lock());
    put_medium(std::move(disc));
}

void ImageDrive::attention_at(uint64_t nth, uint8_t asc) {
    std::lock_guard lock(command_lock());
    attention_at_ = nth ? commands_ + nth : 0;
    attention_asc_ = asc;
}

void ImageDrive::swap_medium_at(uint64_t nth, std::unique_ptr<images::DiscImage> disc) {
    std::lock_guard lock(command_lock());
    swap_at_ = nth ? commands_ + nth : 0;
    swap_disc_ = std::move(disc);
}

void ImageDrive::put_medium(std::unique_ptr<images::DiscImage> disc) {
    ++generation_;
    reader_.reset();
    disc_ = std::move(disc);
    text_packs_.clear();
    if (disc_) {
        reader_ = std::make_unique<images::SectorReader>(*disc_);
        text_packs_ = text_packs(*disc_);
    }
    unit_attention_ = true;
}

CommandResult ImageDrive::run(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) {
    if (delay_.count() > 0)
        std::this_thread::sleep_for(delay_);
    const uint8_t opcode = cdb[0];
    const size_t length = CdbLength(opcode);
    if (length == 0)
        return check_condition(kSenseIllegalRequest, kAscInvalidOpcode);
    if (cdb.size() != length)
        return invalid_field();
    if (opcode == kRead10)
        ++read10_commands;

    // INQUIRY answers whatever the medium state; everything else reports a medium change first.
    if (opcode == kInquiry)
        return inquiry(cdb, dir, data);
    // The commands after INQUIRY (which answers whatever happened) are counted for the test hooks.
    if (++commands_ == swap_at_) {
        swap_at_ = 0;
        put_medium(std::move(swap_disc_));
    }
    if (commands_ == attention_at_) {
        attention_at_ = 0;
        return check_condition(kSenseUnitAttention, attention_asc_);
    }
    if (unit_attention_) {
        unit_attention_ = false;
        return check_condition(kSenseUnitAttention, kAscMediumChanged);
    }
    if (opcode == kStartStopUnit) {
        if (start_fails_)
            return check_condition(kSenseNotReady, 0x04, 0x00);
        const bool start = cdb[4] & 0x01;
        const bool eject = cdb[4] & 0x02;
        if (start && !eject && !disc_)
            return check_condition(kSenseNotReady, kAscMediumNotPresent);
        return good();
    }

    // Medium access commands.
    if (!disc_)
        return check_condition(kSenseNotReady, kAscMediumNotPresent);
    if (!ready_)
        return check_condition(kSenseNotReady, 0x04, 0x01); // becoming ready
    switch (opcode) {
    case kTestUnitReady:
        return good();
    case kReadCapacity:
        return read_capacity(dir, data);
    case kReadToc:
        return read_toc(cdb, dir, data);
    case kReadSubChannel:
        return read_sub_channel(cdb, dir, data);
    case kReadCd:
        return read_cd(cdb, dir, data);
    default:
        return read10(cdb, dir, data);
    }
}

CommandResult ImageDrive::inquiry(std::span<const uint8_t> cdb, Direction dir,
                                  std::span<uint8_t> data) const {
    if (cdb[1] & 0x01) // no vital product data pages
        return invalid_field();
    Response r;
    r.u8(device_type());
    r.u8(0x80); // removable medium
    r.u8(0x05); // SPC-3
    r.u8(0x02); // response data format
    r.u8(31);   // additional length
    r.u8(0);
    r.u8(0);
    r.u8(0);
    r.text("CKVD", 8);
    r.text("IMAGE DRIVE", 16);
    r.text("0.90", 4);
    return r.send(Be16(&cdb[3]), dir, data);
}

CommandResult ImageDrive::read_capacity(Direction dir, std::span<uint8_t> data) const {
    Response r;
    r.u32(static_cast<uint32_t>(std::max<images::lba_t>(disc_->last_lba(), 0)));
    r.u32(kDataBlockLength);
    return r.send(8, dir, data);
}

CommandResult ImageDrive::read_toc(std::span<const uint8_t> cdb, Direction dir,
                                   std::span<uint8_t> data) const {
    const bool msf = cdb[1] & 0x02;
    uint8_t format = toc_convention_ == TocConvention::Sff8020i ? 0 : cdb[2] & 0x0F;
    if (format == kTocFormatted)
        format = cdb[9] >> 6; // the older place of the format field
    if (format == kTocFull && toc_convention_ == TocConvention::NoFullToc)
        format = kTocFormatted;
    const uint8_t number = cdb[6];
    const uint16_t allocation = Be16(&cdb[7]);
    if (format == kTocCdText)
        return text_answer(text_packs_, allocation, dir, data);
    const auto& sessions = disc_->sessions;
    std::vector<const images::Track*> tracks;
    for (const auto& s : sessions)
        for (const auto& t : s.tracks)
            tracks.push_back(&t);
    if (tracks.empty())
        return invalid_field();

    Response r;
    switch (format) {
    case kTocFormatted: { // formatted TOC: the tracks from `number` on, then the lead-out
        if (number != kTocLeadOutTrack && number > tracks.back()->number)
            return invalid_field();
        r.u16(0);
        r.u8(tracks.front()->number);
        r.u8(tracks.back()->number);
        for (const auto* t : tracks) {
            if (number == kTocLeadOutTrack || t->number < number)
                continue;
            r.u8(0);
            r.u8(static_cast<uint8_t>(0x10 | (t->control & 0x0F)));
            r.u8(t->number);
            r.u8(0);
            r.address(t->start, msf);
        }
        r.u8(0);
        r.u8(static_cast<uint8_t>(0x10 | (tracks.back()->control & 0x0F)));
        r.u8(kTocLeadOutTrack);
        r.u8(0);
        r.address(sessions.back().leadout, msf);
        break;
    }
    case kTocSessionInfo: { // session information: the first track of the last session
        const images::Session& last = sessions.back();
        const images::Track& first = last.tracks.empty() ? *tracks.back() : last.tracks.front();
        r.u16(0);
        r.u8(sessions.front().number);
        r.u8(last.number);
        r.u8(0);
        r.u8(static_cast<uint8_t>(0x10 | (first.control & 0x0F)));
        r.u8(first.number);
        r.u8(0);
        r.address(first.start, msf);
        break;
    }
    case kTocFull: { // full TOC as the recorder left it, from session `number` on
        // A medium larger than its times can address (a DVD image) has none, as a drive says of a DVD.
        if (number > sessions.back().number || !disc_->has_full_toc())
            return invalid_field();
        r.u16(0);
        r.u8(sessions.front().number);
        r.u8(sessions.back().number);
        for (const auto& e : disc_->full_toc) {
            if (e.session < number)
                continue;
            for (uint8_t b : {e.session, e.adr_control, e.tno, e.point, e.min, e.sec, e.frame, e.zero, e.pmin,
                              e.psec, e.pframe})
                r.u8(b);
        }
        break;
    }
    default:
        return invalid_field();
    }
    // The length field counts the bytes after itself, whatever the allocation length cuts off.
    r.set_u16(0, static_cast<uint16_t>(std::min<size_t>(r.size() - 2, 0xFFFF)));
    return r.send(allocation, dir, data);
}

CommandResult ImageDrive::read_sub_channel(std::span<const uint8_t> cdb, Direction dir,
                                           std::span<uint8_t> data) const {
    // MMC READ SUB-CHANNEL: byte 2 bit 6 SUBQ, byte 3 the data format (2 the media catalogue number, 3 a
    // track's ISRC), byte 6 the track. The header's audio status 0x15: no audio play operation.
    const uint8_t format = cdb[3], number = cdb[6];
    Response r;
    r.u8(0);
    r.u8(0x15);
    r.u16(0);
    if (cdb[2] & 0x40) {
        std::string code;
        if (format == kSubQMcn) {
            code = disc_->mcn;
        } else if (format == kSubQIsrc) {
            const images::Track* track = nullptr;
            for (const auto& s : disc_->sessions)
                for (const auto& t : s.tracks)
                    track = t.number == number ? &t : track;
            if (!track)
                return invalid_field();
            auto it = disc_->isrc.find(number);
            code = it == disc_->isrc.end() ? std::string() : it->second;
        } else {
            return invalid_field();
        }
        // Format, then for an ISRC ADR/control and the track; the VALID bit and the code, 13 digits of an MCN
        // or 12 characters of an ISRC, in a field of 15 bytes.
        r.u8(format);
        r.u8(0);
        r.u8(format == kSubQIsrc ? number : 0);
        r.u8(0);
        r.u8(code.empty() ? 0x00 : 0x80);
        for (size_t i = 0; i < 15; ++i)
            r.u8(i < code.size() ? static_cast<uint8_t>(code[i]) : 0);
        r.set_u16(2, static_cast<uint16_t>(r.size() - 4));
    }
    return r.send(Be16(&cdb[7]), dir, data);
}

CommandResult ImageDrive::read10(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) {
    const int64_t first = Be32(&cdb[2]);
    const uint32_t count = Be16(&cdb[7]);
    if (count == 0)
        return good();
    const uint64_t bytes = uint64_t{count} * kDataBlockLength;
    if (dir != Direction::In || data.size() < bytes)
        return invalid_field();

    // Every block must lie in a recorded data track; gaps between sessions and audio blocks are not readable.
    if (auto refused = refuse_blocks(*disc_, first, first + count, true, out_of_range()))
        return *refused;
    // Straight into the initiator's buffer.
    const uint32_t got =
        reader_->read_user_data(static_cast<images::lba_t>(first), intact(first, count), data.first(bytes));
    sectors_read += got;
    // A Form 2 sector holds no 2048 bytes of user data: a drive refuses to read it so (MMC READ(10)).
    if (got < count && reader_->is_form2(static_cast<images::lba_t>(first + got))) {
        CommandResult r = check_condition(kSenseIllegalRequest, kAscIllegalModeForTrack);
        r.transferred = got * kDataBlockLength;
        return r;
    }
    return transfer_result(got, count, kDataBlockLength);
}

CommandResult ImageDrive::read_cd(std::span<const uint8_t> cdb, Direction dir, std::span<uint8_t> data) {
    // MMC READ CD: byte 1 bits 4-2 the expected sector type (0 any, 1 CD-DA), bytes 2-5 the LBA, 6-8 the
    // transfer length in blocks, byte 9 the fields of each sector (bit 7 sync, bits 6-5 headers, bit 4 user
    // data, bit 3 EDC and ECC, bits 2-1 C2 errors), byte 10 the sub-channel. This drive gives the 2352 bytes
    // of audio blocks, of data blocks whole (0xF8, any type) where the image stores their sectors whole, and
    // the 2,324 user bytes of Mode 2 Form 2 blocks (type 5, 0x10).
    const uint8_t expected = (cdb[1] >> 2) & 0x07;
    const uint32_t count = uint32_t{cdb[6]} << 16 | uint32_t{cdb[7]} << 8 | cdb[8];
    if (expected == kSectorMode2Form2 && cdb[9] == kFieldsUserData && !(cdb[10] & 0x07))
        return read_form2(Be32(&cdb[2]), count, dir, data);
    if (expected > kSectorCdda || (cdb[9] & 0x06) || (cdb[10] & 0x07))
        return invalid_field();
    if (count == 0 || !(cdb[9] & kFieldsUserData))
        return good();
    const uint64_t bytes = uint64_t{count} * kRawBlockLength;
    if (dir != Direction::In || data.size() < bytes)
        return invalid_field();
    const int64_t first = static_cast<int32_t>(Be32(&cdb[2]));
    if (first < 0)
        return out_of_range();
    const images::Track* track = disc_->track_at(static_cast<images::lba_t>(first));
    const bool whole = expected == kSectorAny && track && is_data(*track);
    if (whole && cdb[9] != kFieldsWhole) // the parts of a data sector one by one are not offered
        return invalid_field();
    const CommandResult illegalMode = check_condition(kSenseIllegalRequest, kAscIllegalModeForTrack);
    if (auto refused = refuse_blocks(*disc_, first, first + count, whole, illegalMode))
        return *refused;
    const auto to = static_cast<images::lba_t>(first);
    uint32_t got = 0;
    if (whole && zero_error_codes_) {
        got = made_up_sectors(to, intact(first, count), data.first(bytes));
    } else if (whole) {
        for (int64_t lba = first; lba < first + count;) { // every track covered must hold whole sectors
            const images::Track* t = disc_->track_at(static_cast<images::lba_t>(lba));
            if (t->user_offset != 16 && t->user_offset != 24)
                return illegalMode;
            lba = int64_t{t->start} + t->length;
        }
        got = reader_->read_raw(to, intact(first, count), data.first(bytes));
    } else {
        got = reader_->read_audio(to, intact(first, count), data.first(bytes));
    }
    sectors_read += got;
    return transfer_result(got, count, kRawBlockLength);
}

CommandResult ImageDrive::read_form2(int64_t first, uint32_t count, Direction dir, std::span<uint8_t> data) {
    if (count == 0)
        return good();
    const uint64_t bytes = uint64_t{count} * kForm2BlockLength;
    if (dir != Direction::In || data.size() < bytes)
        return invalid_field();
    if (auto refused = refuse_blocks(*disc_, first, first + count, true, out_of_range()))
        return *refused;
    const auto to = static_cast<images::lba_t>(first);
    const uint32_t got = reader_->read_form2(to, intact(first, count), data.first(bytes));
    sectors_read += got;
    // A block of another form is not the type asked for; one that cannot be read at all is a read error.
    std::array<uint8_t, kDataBlockLength> form1{};
    if (got < count && reader_->read_user_data(static_cast<images::lba_t>(first + got), form1)) {
        CommandResult r = check_condition(kSenseIllegalRequest, kAscIllegalModeForTrack);
        r.transferred = got * kForm2BlockLength;
        return r;
    }
    return transfer_result(got, count, kForm2BlockLength);
}

uint32_t ImageDrive::made_up_sectors(images::lba_t first, uint32_t count, std::span<uint8_t> data) {
    // As QEMU's IDE and AHCI drives make a data sector from its 2048 bytes: sync, the address in binary
    // minutes, seconds and frames, mode 1, the user data, then EDC and ECC left zero. A sector stored whole
    // keeps its header (and its mode, Form 1's subheader), its EDC and ECC zeroed.
    static constexpr uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    for (uint32_t i = 0; i < count; ++i) {
        const auto lba = static_cast<images::lba_t>(first + i);
        const images::Track* t = disc_->track_at(lba);
        uint8_t* sector = data.data() + size_t{i} * kRawBlockLength;
        const std::span<uint8_t> one(sector, kRawBlockLength);
        if (t && (t->user_offset == 16 || t->user_offset == 24)) {
            if (reader_->read_raw(lba, 1, one) != 1)
                return i;
        } else {
            std::memset(sector, 0, kRawBlockLength);
            if (!reader_->read_user_data(lba, one.subspan(16).first<kDataBlockLength>()))
                return i;
            std::memcpy(sector, kSync, sizeof kSync);
            const cd::Msf at = cd::lba_to_msf(lba);
            sector[12] = at.m;
            sector[13] = at.s;
            sector[14] = at.f;
            sector[15] = 1;
        }
        // Mode 1: EDC from byte 2064 on; Mode 2 Form 1: from 2072 on (Form 2 keeps its optional EDC).
        const size_t from = sector[15] == 1 ? 2064 : sector[15] == 2 && !(sector[18] & 0x20) ? 2072 : 0;
        if (from)
            std::memset(sector + from, 0, kRawBlockLength - from);
    }
    return count;
}

uint32_t ImageDrive::intact(int64_t first, uint32_t count) const {
    int64_t end = first + count;
    for (const auto& [from, to] : unreadable_)
        if (from < end && to >= first)
            end = std::max<int64_t>(first, from);
    return static_cast<uint32_t>(end - first);
}

int ImageAdapter::add(std::unique_ptr<ImageDrive> drive) {
    if (!drive)
        return -1;
    for (size_t id = 0; id < drives_.size(); ++id) {
        if (!drives_[id]) {
            drives_[id] = std::move(drive);
            return static_cast<int>(id);
        }
    }
    if (drives_.size() >= kMaxTargets)
        return -1;
    drives_.push_back(std::move(drive));
    return static_cast<int>(drives_.size() - 1);
}

void ImageAdapter::remove(uint8_t id) {
    if (id < drives_.size())
        drives_[id].reset();
}

ImageDrive* ImageAdapter::drive(uint8_t slot) {
    return slot < drives_.size() ? drives_[slot].get() : nullptr;
}

void ImageAdapter::clear() {
    drives_.clear();
}

} // namespace ckvd::drives
