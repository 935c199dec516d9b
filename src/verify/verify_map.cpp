// The sector map's cells, its pixels and the PNG file they are written to.
#include "verify/verify_map.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "verify/disc_verify.h"

const uint32_t kVerifyColours[VERIFY_STATES] = {0xC8C8C8, 0x43A047, 0xFB8C00, 0xD32F2F, 0x90A4AE, 0x4DB6AC};

namespace {

constexpr uint64_t kMaxCells = 2048;
constexpr uint32_t kMaxColumns = 64;
constexpr uint32_t kBackground = 0xFFFFFF;

// A cell shows its worst block: unreadable, corrupt, not yet read (so a cell is done when all of it is), read
// without EDC/ECC, readable, then a gap the image leaves out.
int Rank(uint8_t state) {
    static constexpr int kRank[VERIFY_STATES] = {3, 1, 4, 5, 0, 2};
    return state < VERIFY_STATES ? kRank[state] : 5;
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t length) {
    PutBe32(out, static_cast<uint32_t>(length));
    const size_t at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + length);
    PutBe32(out, static_cast<uint32_t>(crc32(0, out.data() + at, static_cast<uInt>(length + 4))));
}

} // namespace

VerifyMapLayout Verify_MapLayout(uint64_t blocks) {
    VerifyMapLayout layout;
    if (blocks == 0)
        return layout;
    layout.blocksPerCell = (blocks + kMaxCells - 1) / kMaxCells;
    const uint64_t cells = (blocks + layout.blocksPerCell - 1) / layout.blocksPerCell;
    layout.columns = static_cast<uint32_t>(std::min<uint64_t>(cells, kMaxColumns));
    layout.rows = static_cast<uint32_t>((cells + layout.columns - 1) / layout.columns);
    return layout;
}

std::vector<uint8_t> Verify_MapCells(const DiscVerify& verify, const VerifyMapLayout& layout) {
    return Verify_MapCellsOf(
        verify.Total(), [&verify](uint64_t i) { return verify.StateAt(i); }, layout);
}

std::vector<uint8_t> Verify_MapCellsOf(uint64_t total, const std::function<uint8_t(uint64_t)>& stateAt,
                                       const VerifyMapLayout& layout) {
    std::vector<uint8_t> cells;
    for (uint64_t first = 0; first < total; first += layout.blocksPerCell) {
        const uint64_t end = std::min(total, first + layout.blocksPerCell);
        uint8_t worst = VERIFY_GAP;
        for (uint64_t i = first; i < end && worst != VERIFY_UNREADABLE; ++i)
            if (const uint8_t state = stateAt(i); Rank(state) > Rank(worst))
                worst = state;
        cells.push_back(worst);
    }
    return cells;
}

VerifyPicture Verify_MapPicture(const std::vector<uint8_t>& cells, const VerifyMapLayout& layout,
                                uint32_t cell) {
    VerifyPicture p;
    const uint32_t pitch = cell + 1;
    p.width = std::max<uint32_t>(1, layout.columns * pitch + 1);
    p.height = std::max<uint32_t>(1, layout.rows * pitch + 1);
    p.rgb.resize(size_t{p.width} * p.height * 3);
    for (size_t i = 0; i < p.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c)
            p.rgb[i + c] = static_cast<uint8_t>(kBackground >> (16 - 8 * c));
    for (size_t k = 0; k < cells.size() && layout.columns; ++k) {
        const uint32_t colour = kVerifyColours[cells[k] < VERIFY_STATES ? cells[k] : VERIFY_UNREADABLE];
        const uint32_t x0 = static_cast<uint32_t>(k % layout.columns) * pitch + 1;
        const uint32_t y0 = static_cast<uint32_t>(k / layout.columns) * pitch + 1;
        for (uint32_t y = y0; y < y0 + cell && y < p.height; ++y)
            for (uint32_t x = x0; x < x0 + cell && x < p.width; ++x)
                for (int c = 0; c < 3; ++c)
                    p.rgb[(size_t{y} * p.width + x) * 3 + c] = static_cast<uint8_t>(colour >> (16 - 8 * c));
    }
    return p;
}

bool Verify_WritePng(const std::string& path, const VerifyPicture& picture, std::string& error) {
    // Rows each led by filter type 0, deflated whole: the picture is a few hundred kilobytes at most.
    std::vector<uint8_t> raw;
    raw.reserve((size_t{picture.width} * 3 + 1) * picture.height);
    for (uint32_t y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        const auto row = picture.rgb.begin() + static_cast<ptrdiff_t>(size_t{y} * picture.width * 3);
        raw.insert(raw.end(), row, row + static_cast<ptrdiff_t>(picture.width) * 3);
    }
    uLongf packedLength = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedLength);
    if (compress2(packed.data(), &packedLength, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        error = "the picture could not be compressed";
        return false;
    }
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBe32(header, picture.width);
    PutBe32(header, picture.height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, deflate, no filter choice, no interlace
    PutChunk(png, "IHDR", header.data(), header.size());
    PutChunk(png, "IDAT", packed.data(), packedLength);
    PutChunk(png, "IEND", nullptr, 0);
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && std::fwrite(png.data(), 1, png.size(), f) == png.size();
    const int saved = errno;
    if (f && std::fclose(f) != 0 && written) {
        error = path + ": " + std::strerror(errno);
        std::remove(path.c_str());
        return false;
    }
    if (!written) {
        error = path + ": " + std::strerror(saved);
        if (f)
            std::remove(path.c_str());
        return false;
    }
    return true;
}
