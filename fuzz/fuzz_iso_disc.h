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

inline void Analyze(const Image& img) {
    static const std::string path = "/tmp/ckvd-fuzz-iso-" + std::to_string(::getpid()) + ".iso";
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
            Iso_AnalyzeDisc(index);
            g_CurrentDevice = index;
            // Read back what was listed (bounded), so the file-data checks see disc-given extents too.
            int reads = 0;
            for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
                for (FileEntry* e = t->root ? t->root->firstChild : nullptr; e && reads < 8;
                     e = e->nextSibling, ++reads)
                    if (e->type == 'F' && e->size < (1u << 20)) {
                        Iso_ReadFile(e->lbn, e->size);
                        Iso_FreeFile();
                    }
            Iso_Terminate();
        }
    }
    Aspi_Terminate();
}

} // namespace isofuzz
