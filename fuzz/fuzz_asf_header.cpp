// Fuzzes the ASF header walk: a sound ISO9660 disc whose root holds one file A.WMA, the fuzzed bytes being
// the file's data, served by an image drive and analysed with Wmf_Analyze through the real ASPI manager.
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "fuzz_iso_disc.h"

namespace {

constexpr uint32_t kRoot = 20;
constexpr uint32_t kFile = 24;

void Record(uint8_t* r, const char* id, uint8_t idLength, uint32_t extent, uint32_t size, uint8_t flags) {
    r[0] = uint8_t(33 + idLength + ((33 + idLength) & 1));
    isofuzz::PutBoth32(r + 2, extent);
    isofuzz::PutBoth32(r + 10, size);
    r[18] = 100;
    r[19] = 1;
    r[20] = 1;
    r[25] = flags;
    r[28] = 1;
    r[31] = 1;
    r[32] = idLength;
    std::memcpy(r + 33, id, idLength);
}

void AnalyzeFiles(const isofuzz::Image& img) {
    static const std::string path = "/tmp/ckvd-fuzz-asf-" + std::to_string(::getpid()) + ".iso";
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
            Wmf_Initialize();
            Iso_AnalyzeDisc(index);
            g_CurrentDevice = index;
            g_CurrentSession = 0;
            const SessionTree* tree = g_DiscModel ? g_DiscModel->firstTree : nullptr;
            for (FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
                if (e->type == 'F')
                    Wmf_Analyze(e);
            Wmf_Terminate();
            Iso_Terminate();
        }
    }
    Aspi_Terminate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 80 * 2048)
        return 0;
    isofuzz::Image img;
    const uint8_t table[] = {1, 0, kRoot, 0, 0, 0, 1, 0, 0, 0};
    isofuzz::Descriptor(img, 16, 1, sizeof table, 18, kRoot);
    isofuzz::Descriptor(img, 17, 255, 0, 0, 0);
    isofuzz::Place(img, 18, table, sizeof table);
    uint8_t* root = isofuzz::Block(img, kRoot);
    Record(root, "\0", 1, kRoot, 2048, 2);
    Record(root + 34, "\1", 1, kRoot, 2048, 2);
    Record(root + 68, "A.WMA;1", 7, kFile, uint32_t(size), 0);
    isofuzz::Place(img, kFile, data, size);
    // One more block, as a recorded disc has after its last file, for the walk's two-block reads.
    isofuzz::Block(img, kFile + uint32_t(size / 2048) + 1);
    AnalyzeFiles(img);
    return 0;
}
