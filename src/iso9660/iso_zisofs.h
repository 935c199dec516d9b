// Files a Linux disc stores compressed: zisofs, marked by a Rock Ridge "ZF" entry (mkzftree, xorriso -zisofs,
// the squashed files of live discs). The file's extent holds a 16-byte header (magic, size, header size,
// block size), a pointer for each block and one past the last, and the blocks, each deflated by zlib on its
// own; a block of length 0 is a block of zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct FileEntry;

// The compressed data of a file is not what its header and pointers say (the reason in words).
constexpr int ISO_ERR_ZISOFS = 0x1006;

struct IsoZisofs {
    uint32_t extentSize =
        0;             // bytes of the file's extent on the disc (FileEntry::size is the size uncompressed)
    uint32_t size = 0; // uncompressed, as the ZF entry records it
    uint8_t headerWords = 0; // the file header's size in 4-byte words
    uint8_t blockLog2 = 0;   // 15, 16 or 17
    // Compressed in a form read here ("pz" of version 1); otherwise `algorithm` names the one recorded.
    bool readable = false;
    char algorithm[3] = {};
};

// What the ZF entry of `entry` says; nullptr for a file stored as it is (and for every directory).
const IsoZisofs* Iso_Zisofs(const FileEntry* entry);
// The bytes the entry's extent takes on the disc: its size, or a compressed file's stored size.
uint32_t Iso_ExtentSize(const FileEntry* entry);
// "zisofs, 32 KiB blocks, 1,234 bytes stored", for a tool tip; empty for a file stored as it is.
std::string Iso_ZisofsText(const FileEntry* entry);

struct IsoZisofsResult {
    int code = 1;           // ISO_OK, a read's result code, ISO_ERR_EXTENT or ISO_ERR_ZISOFS
    uint32_t failedLba = 0; // the block that could not be read or holds what is wrong
    std::string why;        // what is wrong with the compressed data
};
// Uncompresses the file of `entry` (Iso_Zisofs) from g_CurrentDevice with the current session's block
// length (the form with a Disc: from `device` with `session`'s), a block at a time: each block's bytes go to
// `put` in order, and `put` returning false ends the work there (the result is then ISO_OK). Every pointer
// and length is checked against the extent before it is used, and a block inflates into a buffer of its own
// size only, so the memory used is one block whatever the data claims.
IsoZisofsResult Iso_ZisofsUncompress(const FileEntry& entry,
                                     const std::function<bool(const uint8_t* data, size_t length)>& put);
