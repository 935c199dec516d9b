// Crafted ISO9660 structures for the unit tests: descriptors, type L path tables and directory extents.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "fake_drive.h"

namespace isotest {

inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
inline void PutBoth32(uint8_t* p, uint32_t v) {
    PutLe32(p, v);
    for (int i = 0; i < 4; ++i)
        p[4 + i] = uint8_t(v >> (8 * (3 - i)));
}

inline std::string Ucs2Be(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out.push_back(char(c >> 8));
        out.push_back(char(c & 0xFF));
    }
    return out;
}

inline Sector Descriptor(uint8_t type, uint8_t version = 1) {
    Sector s{};
    s[0] = type;
    std::memcpy(&s[1], "CD001", 5);
    s[6] = version;
    return s;
}

// A primary (or, with `joliet` escape bytes, supplementary) volume descriptor.
inline Sector VolumeDescriptor(uint8_t type, const std::string& volumeId, uint32_t pathTableSize,
                               uint32_t pathTableLbn, uint32_t rootLbn, uint32_t rootSize, uint8_t escape = 0,
                               uint8_t flags = 0) {
    Sector s = Descriptor(type);
    s[7] = flags;
    std::memset(&s[40], escape ? 0 : ' ', 32);
    std::memcpy(&s[40], volumeId.data(), std::min<size_t>(volumeId.size(), 32));
    if (escape) {
        s[88] = 0x25;
        s[89] = 0x2F;
        s[90] = escape;
    }
    PutBoth32(&s[132], pathTableSize);
    PutLe32(&s[140], pathTableLbn);
    s[156] = 34;
    PutBoth32(&s[158], rootLbn);
    PutBoth32(&s[166], rootSize);
    s[181] = 2;
    return s;
}

struct PathTable {
    std::vector<uint8_t> bytes;
    PathTable& add(const std::string& id, uint32_t extent, uint16_t parent) {
        bytes.push_back(uint8_t(id.size()));
        bytes.push_back(0);
        uint8_t e[4];
        PutLe32(e, extent);
        bytes.insert(bytes.end(), e, e + 4);
        bytes.push_back(uint8_t(parent));
        bytes.push_back(uint8_t(parent >> 8));
        bytes.insert(bytes.end(), id.begin(), id.end());
        if (id.size() & 1)
            bytes.push_back(0);
        return *this;
    }
    PathTable& root(uint32_t extent) { return add(std::string(1, '\0'), extent, 1); }
};

// A directory extent of whole blocks; records never cross a block boundary.
struct Directory {
    std::vector<Sector> blocks{Sector{}};
    size_t offset = 0;
    // `systemUse`: the System Use bytes after the identifier and its padding (Rock Ridge entries).
    Directory& add(const std::string& id, uint32_t extent, uint32_t size, uint8_t flags = 0,
                   std::array<uint8_t, 7> date = {100, 1, 2, 3, 4, 5, 36},
                   const std::vector<uint8_t>& systemUse = {}) {
        size_t len = 33 + id.size();
        len += len & 1;
        const size_t idEnd = len;
        len += systemUse.size() + (systemUse.size() & 1);
        if (offset + len > 2048) {
            blocks.push_back(Sector{});
            offset = 0;
        }
        uint8_t* r = blocks.back().data() + offset;
        r[0] = uint8_t(len);
        PutBoth32(r + 2, extent);
        PutBoth32(r + 10, size);
        std::memcpy(r + 18, date.data(), 7);
        r[25] = flags;
        r[28] = 1;
        r[32] = uint8_t(id.size());
        std::memcpy(r + 33, id.data(), id.size());
        std::copy(systemUse.begin(), systemUse.end(), r + idEnd);
        offset += len;
        return *this;
    }
    // "." and ".." with the given data length.
    Directory& self(uint32_t extent, uint32_t size, uint32_t parentExtent) {
        add(std::string(1, '\0'), extent, size, 2);
        return add(std::string(1, '\1'), parentExtent, 2048, 2);
    }
    void place(FakeDrive& d, uint32_t lbn) const {
        for (size_t i = 0; i < blocks.size(); ++i)
            d.at(lbn + uint32_t(i)) = blocks[i];
    }
};

inline void PlaceBytes(FakeDrive& d, uint32_t lbn, const std::vector<uint8_t>& bytes, size_t minBlocks = 1) {
    size_t blocks = std::max(minBlocks, (bytes.size() + 2047) / 2048);
    for (size_t b = 0; b < blocks; ++b) {
        Sector& s = d.at(lbn + uint32_t(b));
        s.fill(0);
        size_t from = b * 2048;
        if (from < bytes.size())
            std::memcpy(s.data(), bytes.data() + from, std::min<size_t>(2048, bytes.size() - from));
    }
}

// The drive's full TOC, its formatted TOC of the given (CONTROL, start) tracks and its last block before
// `leadout`.
inline void SetToc(FakeDrive& d, std::vector<uint8_t> fullToc,
                   const std::vector<std::pair<uint8_t, uint32_t>>& tracks, uint32_t leadout) {
    d.fullToc = std::move(fullToc);
    d.formattedToc = FormattedToc(tracks, leadout);
    d.lastLba = leadout - 1;
}

// A one-session CD-ROM TOC whose data track starts at `start` and ends at `leadout`.
inline void SingleDataSessionToc(FakeDrive& d, uint32_t start = 0, uint32_t leadout = 1000) {
    TocBuilder t;
    t.add(1, 0x14, 0xA0, {0, 0, 0}, 0, {1, 0x00, 0});
    t.add(1, 0x14, 0xA1, {0, 0, 0}, 0, {1, 0, 0});
    t.add(1, 0x14, 0xA2, {0, 0, 0}, 0, Msf(int32_t(leadout)));
    t.add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(int32_t(start)));
    SetToc(d, t.build(1), {{0x04, start}}, leadout);
}

} // namespace isotest
