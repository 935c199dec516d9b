// The MMC commands the program sends and the image drive answers: their operation codes, CDB lengths and the
// fields both sides share. No other file spells an opcode as a number.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ckvd::mmc {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kReadCapacity = 0x25;
constexpr uint8_t kRead10 = 0x28;
constexpr uint8_t kReadSubChannel = 0x42;
constexpr uint8_t kReadToc = 0x43;
constexpr uint8_t kReadCd = 0xBE;

// The CDB length of an opcode above, 0 for any other.
constexpr size_t CdbLength(uint8_t opcode) {
    switch (opcode) {
    case kTestUnitReady:
    case kInquiry:
    case kStartStopUnit:
        return 6;
    case kReadCapacity:
    case kRead10:
    case kReadSubChannel:
    case kReadToc:
        return 10;
    case kReadCd:
        return 12;
    default:
        return 0;
    }
}

// READ TOC formats.
constexpr uint8_t kTocFormatted = 0, kTocSessionInfo = 1, kTocFull = 2, kTocCdText = 5;
constexpr uint8_t kTocLeadOutTrack = 0xAA;
// READ SUB-CHANNEL data formats of the Q sub-channel: the media catalogue number, a track's ISRC.
constexpr uint8_t kSubQMcn = 2, kSubQIsrc = 3;
// READ CD's expected sector types (byte 1 bits 4-2) and fields (byte 9).
constexpr uint8_t kSectorAny = 0, kSectorCdda = 1, kSectorMode2Form2 = 5;
constexpr uint8_t kFieldsUserData = 0x10, kFieldsWhole = 0xF8; // whole: sync, headers, data, EDC and ECC

// Bytes a block of each read: READ(10)'s user data, READ CD of audio or whole sectors, Form 2 user data.
constexpr uint32_t kDataBlockLength = 2048;
constexpr uint32_t kRawBlockLength = 2352;
constexpr uint32_t kForm2BlockLength = 2324;

constexpr uint8_t kCdRomDeviceType = 5; // INQUIRY byte 0: qualifier 0, CD/DVD device
constexpr size_t kInquiryLength = 36;

} // namespace ckvd::mmc
