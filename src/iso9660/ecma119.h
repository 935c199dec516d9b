// Field offsets (byte positions from 0) of the ECMA-119 structures the directory reader walks, each with its
// clause, so that readers and writers name one field one way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ecma119 {

// Volume descriptors (8.1; primary 8.4, supplementary 8.5).
constexpr size_t kDescriptorType = 0;        // 8.1.1
constexpr size_t kStandardIdentifier = 1;    // 8.1.2: "CD001"
constexpr size_t kDescriptorVersion = 6;     // 8.1.3
constexpr size_t kVolumeFlags = 7;           // 8.5.3
constexpr size_t kVolumeIdentifier = 40;     // 8.4.6, 32 bytes
constexpr size_t kVolumeSpaceSize = 80;      // 8.4.8, both-byte order
constexpr size_t kEscapeSequences = 88;      // 8.5.6
constexpr size_t kPathTableSize = 132;       // 8.4.13, both-byte order
constexpr size_t kTypeLPathTable = 140;      // 8.4.14
constexpr size_t kRootDirectoryRecord = 156; // 8.4.18, 34 bytes

// Directory record (9.1).
constexpr size_t kRecordLength = 0;            // 9.1.1
constexpr size_t kRecordExtent = 2;            // 9.1.3, both-byte order
constexpr size_t kRecordDataLength = 10;       // 9.1.4, both-byte order
constexpr size_t kRecordDate = 18;             // 9.1.5, seven bytes
constexpr size_t kRecordFlags = 25;            // 9.1.6
constexpr size_t kRecordIdentifierLength = 32; // 9.1.10
constexpr size_t kRecordIdentifier = 33;       // 9.1.11
constexpr uint8_t kFlagDirectory = 0x02;       // 9.1.6, bit 1
constexpr uint8_t kFlagMultiExtent = 0x80;     // 9.1.6, bit 7

// Path table record (9.4).
constexpr size_t kPathIdentifierLength = 0; // 9.4.1
constexpr size_t kPathExtent = 2;           // 9.4.3
constexpr size_t kPathParent = 6;           // 9.4.4
constexpr size_t kPathIdentifier = 8;       // 9.4.5

} // namespace ecma119
