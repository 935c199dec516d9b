// Shared body of the MP3 analyzer's fuzz targets: the fuzzed file on a one-directory ISO9660 disc in an image
// drive, analysed through the real ASPI manager and disc model as the file list does.
#pragma once

#include "analyzers/analyzers.h"
#include "analyzers/mp3/mp3_module.h"
#include "fuzz_iso_disc.h"

namespace mp3fuzz {

// Puts `file` at block 24 as A.MP3 in the root directory (block 20) and runs Mp3_Analyze on it.
inline void AnalyzeFile(const std::vector<uint8_t>& file) {
    isofuzz::Image img;
    const uint8_t table[] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0}; // the root alone
    isofuzz::Descriptor(img, 16, 1, sizeof table, 18, 20);
    isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
    isofuzz::Place(img, 18, table, sizeof table);
    uint8_t* dir = isofuzz::Block(img, 20);
    auto record = [&dir](uint32_t extent, uint32_t size, uint8_t flags, const char* name,
                         uint8_t nameLength) {
        const uint8_t length = uint8_t((33 + nameLength + 1) & ~1);
        dir[0] = length;
        isofuzz::PutBoth32(dir + 2, extent);
        isofuzz::PutBoth32(dir + 10, size);
        dir[18] = 100;
        dir[19] = dir[20] = 1;
        dir[25] = flags;
        dir[28] = 1;
        dir[32] = nameLength;
        std::memcpy(dir + 33, name, nameLength);
        dir += length;
    };
    record(20, 2048, 2, "\0", 1);
    record(20, 2048, 2, "\1", 1);
    record(24, uint32_t(file.size()), 0, "A.MP3;1", 7);
    isofuzz::Block(img, 24 + uint32_t(file.size() / 2048) + 1); // the file and a block after it
    if (!file.empty())
        isofuzz::Place(img, 24, file.data(), file.size());

    static const std::string path = "/tmp/ckvd-fuzz-mp3-" + std::to_string(::getpid()) + ".iso";
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
            if (Iso_AnalyzeDisc(index) == 1) {
                g_CurrentDevice = index;
                g_CurrentSession = 0;
                Mp3_Initialize();
                for (FileEntry* e = g_DiscModel->firstTree->root->firstChild; e; e = e->nextSibling)
                    if (e->type == 'F')
                        Mp3_Analyze(e);
                Mp3_Terminate();
            }
            Iso_Terminate();
        }
    }
    Aspi_Terminate();
}

} // namespace mp3fuzz
