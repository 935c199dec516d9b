#include "platform/drives/mmc_commands.h"

#include <algorithm>
#include <array>

#include "platform/bytes/byte_order.h"
#include "platform/drives/mmc.h"

namespace ckvd::drives {

namespace {

// A CDB of the opcode's length with `opcode` and byte 1 as given, the rest zero.
template <size_t N> std::array<uint8_t, N> Cdb(uint8_t opcode, uint8_t byte1 = 0) {
    static_assert(N >= 6 && N <= 16);
    std::array<uint8_t, N> cdb{};
    cdb[0] = opcode;
    cdb[1] = byte1;
    return cdb;
}

void PutBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// A read command block: the first block at bytes 2-5 and the count at bytes 7-8, big-endian.
template <size_t N>
std::array<uint8_t, N> ReadCdb(uint8_t opcode, uint8_t byte1, uint32_t lba, uint16_t count) {
    std::array<uint8_t, N> cdb = Cdb<N>(opcode, byte1);
    for (int i = 0; i < 4; ++i)
        cdb[2 + i] = static_cast<uint8_t>(lba >> (24 - 8 * i));
    PutBe16(&cdb[7], count);
    return cdb;
}

CommandResult ReadCd(Drive& drive, uint8_t sectorType, uint8_t fields, uint32_t lba, uint16_t count,
                     std::span<uint8_t> data) {
    std::array<uint8_t, 12> cdb =
        ReadCdb<12>(mmc::kReadCd, static_cast<uint8_t>(sectorType << 2), lba, count);
    cdb[9] = fields;
    return drive.execute(cdb, Direction::In, data);
}

} // namespace

CommandResult TestUnitReady(Drive& drive) {
    return drive.execute(Cdb<6>(mmc::kTestUnitReady), Direction::None, {});
}

CommandResult StartStopUnit(Drive& drive, uint8_t startByte) {
    std::array<uint8_t, 6> cdb = Cdb<6>(mmc::kStartStopUnit);
    cdb[4] = startByte;
    return drive.execute(cdb, Direction::None, {});
}

CommandResult Inquiry(Drive& drive, std::span<uint8_t> answer) {
    std::array<uint8_t, 6> cdb = Cdb<6>(mmc::kInquiry);
    cdb[4] = static_cast<uint8_t>(std::min<size_t>(answer.size(), 0xFF));
    return drive.execute(cdb, Direction::In, answer.first(cdb[4]));
}

CommandResult ReadCapacity(Drive& drive, uint32_t* lastLba, uint32_t* blockLength) {
    uint8_t answer[8] = {};
    CommandResult r = drive.execute(Cdb<10>(mmc::kReadCapacity), Direction::In, answer);
    if (r.ok() && r.transferred < sizeof answer) {
        r.target_status = kStatusCheckCondition; // half an answer is no capacity
        return r;
    }
    if (r.ok() && lastLba)
        *lastLba = bytes::Be32(answer);
    if (r.ok() && blockLength)
        *blockLength = bytes::Be32(answer + 4);
    return r;
}

CommandResult ReadToc(Drive& drive, bool msf, uint8_t format, uint8_t track, std::span<uint8_t> answer) {
    const auto allocation = static_cast<uint16_t>(std::min<size_t>(answer.size(), 0xFFFF));
    std::array<uint8_t, 10> cdb = Cdb<10>(mmc::kReadToc, msf ? 0x02 : 0x00);
    cdb[2] = format & 0x0F;
    cdb[6] = track;
    PutBe16(&cdb[7], allocation);
    // MMC reads the format from byte 2. Drives of the older ATAPI convention (SFF-8020i: many drives of that
    // era, and the IDE and AHCI drives of emulators) read it from bits 7-6 of byte 9 and ignore byte 2, so
    // the format goes in both places; byte 9 has room for the formatted TOC, session information and full
    // TOC.
    cdb[9] = format <= mmc::kTocFull ? static_cast<uint8_t>(format << 6) : 0;
    return drive.execute(cdb, Direction::In, answer.first(allocation));
}

CommandResult ReadTocAnswer(Drive& drive, bool msf, uint8_t format, uint8_t track,
                            std::vector<uint8_t>& answer, uint16_t limit) {
    answer.clear();
    uint8_t head[8] = {};
    CommandResult r = ReadToc(drive, msf, format, track, head);
    if (!r.ok())
        return r;
    // The length field counts the bytes after itself; the allocation length field is 16 bits, so an answer
    // announcing more is read as far as that goes (and then fails its reader's check).
    const uint32_t announced = r.transferred >= 2 ? uint32_t{bytes::Be16(head)} + 2 : 2;
    answer.assign(std::min<uint32_t>(announced, limit), 0);
    r = ReadToc(drive, msf, format, track, answer);
    answer.resize(r.ok() ? std::min<size_t>(answer.size(), r.transferred) : 0);
    return r;
}

CommandResult ReadSubChannel(Drive& drive, uint8_t format, uint8_t track, std::span<uint8_t> answer) {
    const auto allocation = static_cast<uint16_t>(std::min<size_t>(answer.size(), 0xFFFF));
    std::array<uint8_t, 10> cdb = Cdb<10>(mmc::kReadSubChannel);
    cdb[2] = 0x40; // SUBQ: the sub-channel data, not only the header
    cdb[3] = format;
    cdb[6] = track;
    PutBe16(&cdb[7], allocation);
    return drive.execute(cdb, Direction::In, answer.first(allocation));
}

CommandResult Read10(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data) {
    return drive.execute(ReadCdb<10>(mmc::kRead10, 0, lba, count), Direction::In, data);
}

CommandResult ReadCdAudio(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data) {
    return ReadCd(drive, mmc::kSectorCdda, mmc::kFieldsUserData, lba, count, data);
}

CommandResult ReadCdRaw(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data) {
    return ReadCd(drive, mmc::kSectorAny, mmc::kFieldsWhole, lba, count, data);
}

CommandResult ReadCdForm2(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data) {
    return ReadCd(drive, mmc::kSectorMode2Form2, mmc::kFieldsUserData, lba, count, data);
}

} // namespace ckvd::drives
