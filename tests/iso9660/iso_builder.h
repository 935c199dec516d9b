// Crafted ISO9660 structures for the unit tests (descriptors, type L path tables, directory extents) and
// their fixture.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "fake_drive.h"
#include "iso9660/iso9660.h"

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
    for (char16_t c : s)
        out += {char(c >> 8), char(c & 0xFF)};
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
        bytes.insert(bytes.end(),
                     {uint8_t(id.size()), 0, uint8_t(extent), uint8_t(extent >> 8), uint8_t(extent >> 16),
                      uint8_t(extent >> 24), uint8_t(parent), uint8_t(parent >> 8)});
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
        const uint8_t date[7] = {100, 1, 2, 3, 4, 5, 36};
        std::memcpy(r + 18, date, 7);
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

template <class... A> std::string Fmt(const char* format, A... args) {
    char line[400];
    snprintf(line, sizeof line, format, args...);
    return line;
}

// The disc model as text, for golden files: the analysis' result, each session with its tracks, each tree
// with its entries (names with bytes outside ASCII as \xHH), and with `reads` the READ(10) commands sent.
inline std::string Dump(int result, const std::vector<ReadCommand>* reads = nullptr) {
    std::string o = Fmt("result %d sessions %d current %d\n", result,
                        g_DiscModel ? g_DiscModel->sessionCount : 0, g_CurrentSession);
    for (const SessionEntry* s = g_DiscModel ? g_DiscModel->firstSession : nullptr; s; s = s->next) {
        o += Fmt(
            "session %d type %d pvd %u last %u block %u lastTrack %d leadIn %d leadOut %d mode5 %d next %u "
            "recordingLeadOut %u\n",
            s->sessionNumber, s->type, s->pvdLbn, s->lastBlock, s->blockLength, s->lastTrack,
            int32_t(s->leadIn), int32_t(s->leadOut), s->mode5Pointers, s->nextProgramArea,
            s->recordingAreaLeadOut);
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            o += Fmt("  track %d at %u size %u\n", t->trackNumber, t->address, t->size);
    }
    auto entry = [&](auto& self, const FileEntry* e, int depth) -> void {
        o += std::string(2 * depth, ' ') + e->type + " '";
        for (const char* c = e->name; *c; ++c)
            o += uint8_t(*c) < 0x20 || uint8_t(*c) >= 0x7F ? Fmt("\\x%02x", uint8_t(*c)) : std::string(1, *c);
        const uint8_t* d = e->date;
        o += Fmt("' lbn %u size %u dir %d parent %d date %d %d %d %d %d %d %d\n", e->lbn, e->size,
                 e->directoryNumber, e->parentNumber, d[0], d[1], d[2], d[3], d[4], d[5], d[6]);
        for (const FileEntry* c = e->firstChild; c; c = c->nextSibling)
            self(self, c, depth + 1);
    };
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next) {
        o += Fmt("tree directories %u files %u notes %d\n", t->directoryCount, t->fileCount, t->notes);
        if (t->root)
            entry(entry, t->root, 1);
    }
    for (const ReadCommand& r : reads ? *reads : std::vector<ReadCommand>{})
        o += Fmt("read %u +%u\n", r.lba, unsigned(r.count));
    return o;
}

// A crafted disc: its name in the golden file, what puts it on the fresh drive, and whether its reads count.
struct ModelCase {
    const char* name;
    std::function<void()> setup;
    bool reads = false;
};

// The fake drive installed as device 0 of the real ASPI manager, over a fresh model.
class DriveTest : public ::testing::Test {
  protected:
    void SetUp() override { Fresh(); }
    void TearDown() override {
        Iso_Terminate();
        RemoveDrives();
    }
    // A new drive (with the fixture's TOC) and an empty model.
    void Fresh() {
        Iso_Terminate();
        drive = std::make_shared<FakeDrive>();
        Toc();
        Iso_Initialize();
    }
    virtual void Toc() {}
    int Analyze() {
        InstallDrive(drive);
        drive->reads.clear();
        return Iso_AnalyzeDisc(0);
    }
    // Each case's model after analysing its disc, under "== name".
    std::string Models(const std::vector<ModelCase>& cases) {
        std::string all;
        for (const ModelCase& c : cases) {
            Fresh();
            c.setup();
            const int rc = Analyze();
            all += std::string("== ") + c.name + "\n" + Dump(rc, c.reads ? &drive->reads : nullptr);
        }
        return all;
    }
    static const SessionTree* Tree() { return g_DiscModel->firstTree; }
    // A plain ISO9660 session at `base`: PVD at base+16, terminator at base+17, path table at base+18,
    // root directory at base+20 with the given records.
    void PlainSession(uint32_t base, const PathTable& table, const Directory& root,
                      const std::string& volumeId = "VOLUME") {
        drive->at(base + 16) = VolumeDescriptor(1, volumeId, uint32_t(table.bytes.size()), base + 18,
                                                base + 20, uint32_t(root.blocks.size() * 2048));
        drive->at(base + 17) = Descriptor(255);
        PlaceBytes(*drive, base + 18, table.bytes, 2);
        root.place(*drive, base + 20);
    }
    // A session at `base` whose root (at base+20) holds the given records after "." and "..".
    void RootSession(uint32_t base, Directory root, const std::string& volumeId = "VOLUME") {
        PlainSession(base, PathTable().root(base + 20), root, volumeId);
    }
    // Two data sessions, the second starting at 12400 (a recorder's gap after a short first session).
    void TwoDataSessionToc() {
        TocBuilder t;
        t.points(1, 0x14, 1, 0x20, 1, 1000).add(1, 0x14, 0x01, {0, 0, 0}, 0, Msf(0));
        t.points(2, 0x14, 2, 0x20, 2, 13400).add(2, 0x14, 0x02, {0, 0, 0}, 0, Msf(12400));
        SetToc(*drive, t.build(2), {{4, 0}, {4, 12400}}, 13400);
    }
    // Zero-filled blocks recorded from `from` up to `end`.
    void RecordBlocks(uint32_t from, uint32_t end) {
        for (uint32_t b = from; b < end; ++b)
            drive->at(b);
    }
    std::shared_ptr<FakeDrive> drive;
};

} // namespace isotest
