// Checks of a raw 2,352-byte CD sector as ECMA-130 lays it out: the sync pattern, the header's address and
// mode, and for Mode 1 and Mode 2 Form 1 the EDC and the P and Q parity of the error correction code.
#pragma once

#include <cstdint>
#include <span>
#include <string>

constexpr uint32_t VERIFY_RAW_BYTES = 2352;

// Faults of a sector (bits; 0 when sound).
constexpr uint8_t VERIFY_FAULT_SYNC = 0x01;   // the 12-byte sync pattern is broken
constexpr uint8_t VERIFY_FAULT_HEADER = 0x02; // the header names another address, or a mode other than 1 or 2
constexpr uint8_t VERIFY_FAULT_EDC = 0x04;    // the error detection code does not match the bytes it covers
constexpr uint8_t VERIFY_FAULT_ECC = 0x08;    // the P or Q parity does not match

// The faults of `sector`, read at block `lba` (the header records lba + 150 as minutes, seconds, frames).
uint8_t Verify_CheckSector(std::span<const uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba);
// The 32-bit EDC of `bytes` (polynomial (x^16 + x^15 + x^2 + 1)(x^16 + x^2 + x + 1), least significant bit
// first), as a sector stores it little-endian after the bytes it covers.
uint32_t Verify_Edc(std::span<const uint8_t> bytes);
// Fills in sync, header, EDC and P and Q parity of a Mode 1 sector at block `lba` whose 2048 bytes of user
// data stand at offset 16 (what a drive reads of a data track whole).
void Verify_MakeMode1Sector(std::span<uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba);
// Whether a Mode 1 or Mode 2 Form 1 sector came without its error codes: EDC and ECC (from byte 2064 of Mode
// 1, 2072 of Form 1, to the end) all zero, as a drive that makes whole sectors up around the user data gives
// them (QEMU's IDE and AHCI drives). Such a sector says nothing of its bytes; only its sync and header can be
// checked (Verify_CheckHeader).
bool Sector_IsSynthesised(const uint8_t* sector2352);
// The sync and header faults of `sector` read at block `lba`: the sync pattern, the address (in BCD as
// ECMA-130 records it, or in binary as such drives make it up) and the mode (1 or 2).
uint8_t Verify_CheckHeader(std::span<const uint8_t, VERIFY_RAW_BYTES> sector, int32_t lba);
// "sync pattern broken, EDC and ECC do not match" for a set of faults.
std::string Verify_FaultText(uint8_t faults);
