// What a verify found, in the words `ckvd verify` prints and the Verify window shows.
#pragma once

#include <string>
#include <vector>

#include "verify/disc_verify.h"

// An entry the disc analysis could not read (flagged unreadable in the model), with its reason.
struct VerifyDamagedEntry {
    int session = 0; // 1..
    std::string path;
    char type = 'F'; // 'F' file, 'D' directory
    std::string reason;
    const FileEntry* entry = nullptr;
};
// Those of `disc` in every session, or in the 0-based `session` alone.
std::vector<VerifyDamagedEntry> Verify_DamagedEntries(const Disc& disc, int session = -1);

// What was checked of a track whose drive gives its sectors without EDC and ECC.
constexpr const char* kNoErrorCodesCheck =
    "the drive gives no EDC/ECC: user data read, headers checked (sync, address, mode)";
// "(Session1) track 1, data, blocks 0-197: whole sectors checked (sync, header, EDC, ECC)"
std::string Verify_TrackLine(const VerifyTrack& track);
// "38-197", or "38" for one block.
std::string Verify_BlockSpan(uint64_t first, uint64_t count);
// "corrupt" or "unreadable".
const char* Verify_StateName(uint8_t state);
// "blocks 38-197: unreadable: past the end of the recorded area"
std::string Verify_RangeLine(const VerifyRange& range);
// "(Session1) /SUB/F2.DAT", a directory with a slash after it.
std::string Verify_HitName(int session, const std::string& path, char type);
// "198 blocks in 1 track: 38 sound, 0 corrupt, 160 unreadable; 1 damaged range hits 2 files and 0
// directories; ..."
std::string Verify_Summary(const DiscVerify& verify, const std::vector<VerifyRange>& ranges,
                           const std::vector<VerifyDamagedEntry>& damaged);
// "1,234 blocks" or "1 block".
std::string Verify_Count(uint64_t n, const char* one, const char* many);
