// The MMC commands the program sends, over any drive: each builds its CDB, runs it and returns that command's
// own result (status, sense, bytes moved).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/drives/drive.h"

namespace ckvd::drives {

CommandResult TestUnitReady(Drive& drive);
// START STOP UNIT with byte 4 as given (bit 0 start, bit 1 load or eject).
CommandResult StartStopUnit(Drive& drive, uint8_t startByte);
// INQUIRY of the standard data, `answer.size()` bytes at most (up to 255).
CommandResult Inquiry(Drive& drive, std::span<uint8_t> answer);
// READ CAPACITY: the last block and the block length, written only when the drive gave the whole answer
// (a shorter one fails with `transferred` telling how much came).
CommandResult ReadCapacity(Drive& drive, uint32_t* lastLba, uint32_t* blockLength);
// READ TOC of `format` from `track` (or session) on, into `answer` (its size the allocation length, at most
// 65,535), addresses as times when `msf`.
CommandResult ReadToc(Drive& drive, bool msf, uint8_t format, uint8_t track, std::span<uint8_t> answer);
// READ TOC read whole: its 8-byte head, then the length the head announces (at most `limit` bytes); `answer`
// holds the bytes that came (cut where the drive stopped).
CommandResult ReadTocAnswer(Drive& drive, bool msf, uint8_t format, uint8_t track,
                            std::vector<uint8_t>& answer, uint16_t limit = 0xFFFF);
// READ SUB-CHANNEL of the Q sub-channel's `format` (mmc::kSubQMcn, mmc::kSubQIsrc of `track`).
CommandResult ReadSubChannel(Drive& drive, uint8_t format, uint8_t track, std::span<uint8_t> answer);
// READ(10) of `count` blocks from `lba` into `data`, which holds them all (`count` x the block length).
CommandResult Read10(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data);
// READ CD of `count` blocks from `lba`: audio (CD-DA, 2352 bytes a block, the samples as the drive gives
// them), whole sectors of any type (2352), or the user data of Mode 2 Form 2 blocks (2324).
CommandResult ReadCdAudio(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data);
CommandResult ReadCdRaw(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data);
CommandResult ReadCdForm2(Drive& drive, uint32_t lba, uint16_t count, std::span<uint8_t> data);

} // namespace ckvd::drives
