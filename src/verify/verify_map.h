// The sector map of a verify: the blocks in cells of equal runs, a row of cells after another, each cell
// coloured by the worst state of its blocks (unreadable over corrupt over not yet read over readable over
// gaps the image leaves out). The
// window shows it and `ckvd verify --map` writes it as a PNG file, from the same pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DiscVerify;

struct VerifyMapLayout {
    uint32_t columns = 0, rows = 0;
    uint64_t blocksPerCell = 1;
};

struct VerifyPicture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // 3 bytes a pixel, row after row
};

// Colours of the states, as 0xRRGGBB, indexed by VERIFY_*.
extern const uint32_t kVerifyColours[6];

// Cells for `blocks` blocks: at most 64 columns and 2,048 cells, a cell never less than one block.
VerifyMapLayout Verify_MapLayout(uint64_t blocks);
// The state each cell shows, row after row.
std::vector<uint8_t> Verify_MapCells(const DiscVerify& verify, const VerifyMapLayout& layout);
// The same for `total` blocks whose VERIFY_* state `stateAt` gives (a dump's map).
std::vector<uint8_t> Verify_MapCellsOf(uint64_t total, const std::function<uint8_t(uint64_t)>& stateAt,
                                       const VerifyMapLayout& layout);
// The picture of `cells`: squares of `cell` pixels with a one-pixel gap.
VerifyPicture Verify_MapPicture(const std::vector<uint8_t>& cells, const VerifyMapLayout& layout,
                                uint32_t cell = 9);
// Writes `picture` as an 8-bit RGB PNG file; false with the reason in `error`.
bool Verify_WritePng(const std::string& path, const VerifyPicture& picture, std::string& error);
