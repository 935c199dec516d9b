// Shared body of the ISO9660 fuzz targets: a disc image of crafted and fuzzed sectors in an image drive,
// analysed through the real ASPI manager, and every listed file read back.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/aspi32/drive_setup.h"

namespace isofuzz {

using Image = std::vector<uint8_t>;

inline void PutBoth32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t(v >> (8 * i));
        p[4 + i] = uint8_t(v >> (8 * (3 - i)));
    }
}

inline uint8_t* Block(Image& img, uint32_t lbn) {
    if (img.size() < (size_t(lbn) + 1) * 2048)
        img.resize((size_t(lbn) + 1) * 2048, 0);
    return img.data() + size_t(lbn) * 2048;
}

inline void Descriptor(Image& img, uint32_t lbn, uint8_t type, uint32_t ptSize, uint32_t ptLbn,
                       uint32_t root) {
    uint8_t* d = Block(img, lbn);
    d[0] = type;
    std::memcpy(d + 1, "CD001", 5);
    d[6] = 1;
    std::memset(d + 40, ' ', 32);
    PutBoth32(d + 132, ptSize);
    d[140] = uint8_t(ptLbn);
    d[141] = uint8_t(ptLbn >> 8);
    d[156] = 34;
    PutBoth32(d + 158, root);
    PutBoth32(d + 166, 2048);
}

inline void Place(Image& img, uint32_t lbn, const uint8_t* data, size_t size) {
    Block(img, lbn + uint32_t(size / 2048));
    std::memcpy(img.data() + size_t(lbn) * 2048, data, size);
}

// Writes `img` to a temporary image file named after `tag`, puts it into an image drive, analyses it and
// calls `withDisc(index, result)` with the drive's index and the analysis' result, then takes it all down.
template <class F> void WithDisc(const Image& img, const char* tag, F withDisc) {
    static const std::string path =
        "/tmp/ckvd-fuzz-" + std::string(tag) + "-" + std::to_string(::getpid()) + ".iso";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(img.data()), std::streamsize(img.size()));
    std::string error;
    Aspi_Initialize();
    if (ckvd::aspi32::SetupDrives({path}, &error)) {
        Aspi_ScanDevices();
        Aspi_AssignRootPaths();
        uint16_t index = 0;
        for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
            if (std::string(d->driveRootPath) != path + "/")
                continue;
            Aspi_TestUnitReady(index);
            Iso_Initialize();
            const int result = Iso_AnalyzeDisc(index);
            g_CurrentDevice = index;
            g_CurrentSession = 0;
            withDisc(index, result);
            Iso_Terminate();
        }
    }
    Aspi_Terminate();
}

// A sound one-session disc whose root (block 20) holds one file `name` (with its version, "A.MP3;1") at
// block 24 with the bytes of `file`, and one block after it, as a recorded disc has after its last file.
inline Image OneFileDisc(const uint8_t* file, size_t size, const char* name) {
    Image img;
    const uint8_t table[] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0}; // the root alone
    Descriptor(img, 16, 1, sizeof table, 18, 20);
    Descriptor(img, 17, 255, 0, 0, 0);
    Place(img, 18, table, sizeof table);
    uint8_t* dir = Block(img, 20);
    auto record = [&dir](uint32_t extent, uint32_t bytes, uint8_t flags, const char* id, uint8_t idLength) {
        const uint8_t length = uint8_t((33 + idLength + 1) & ~1);
        dir[0] = length;
        PutBoth32(dir + 2, extent);
        PutBoth32(dir + 10, bytes);
        dir[18] = 100;
        dir[19] = dir[20] = 1;
        dir[25] = flags;
        dir[28] = 1;
        dir[32] = idLength;
        std::memcpy(dir + 33, id, idLength);
        dir += length;
    };
    record(20, 2048, 2, "\0", 1);
    record(20, 2048, 2, "\1", 1);
    record(24, uint32_t(size), 0, name, uint8_t(std::strlen(name)));
    Block(img, 24 + uint32_t(size / 2048) + 1);
    if (size)
        Place(img, 24, file, size);
    return img;
}

// The ISO9660 targets: analyse, then read back what was listed (bounded), so the file-data checks see
// disc-given extents too.
inline void Analyze(const Image& img) {
    WithDisc(img, "iso", [](uint16_t, int) {
        int reads = 0;
        for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
            for (FileEntry* e = t->root ? t->root->firstChild : nullptr; e && reads < 8;
                 e = e->nextSibling, ++reads)
                if (e->type == 'F' && e->size < (1u << 20)) {
                    Iso_ReadFile(e->lbn, e->size);
                    Iso_FreeFile();
                }
    });
}

} // namespace isofuzz
