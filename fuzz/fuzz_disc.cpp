// Fuzzes the disc analysis on an image of crafted and fuzzed sectors, served by an image drive and analysed
// through the real device facade as the program does. CKVD_ISO_PART picks one walk of the ISO9660 analysis,
// every listed file then read back: "descriptors", the volume descriptor set, the fuzzed bytes being the
// sectors from block 16 on; "pathtable", the type L path table after a sound descriptor set and root;
// "directory", the directory records: a sound descriptor set and path table (root and one subdirectory), the
// fuzzed bytes as the root's extent and, further on, the subdirectory's (and, with Rock Ridge, the file data
// of links and zisofs files).
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"
#include "platform/drives/drive_setup.h"
#include "verify/disc_verify.h"
#include "verify/verify_map.h"

namespace {

using Image = std::vector<uint8_t>;

void PutBoth32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = uint8_t(v >> (8 * i));
        p[4 + i] = uint8_t(v >> (8 * (3 - i)));
    }
}

uint8_t* Block(Image& img, uint32_t lbn) {
    if (img.size() < (size_t(lbn) + 1) * 2048)
        img.resize((size_t(lbn) + 1) * 2048, 0);
    return img.data() + size_t(lbn) * 2048;
}

void Descriptor(Image& img, uint32_t lbn, uint8_t type, uint32_t ptSize, uint32_t ptLbn, uint32_t root) {
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
    d[181] = 2; // the root record is a directory's: a walk from the records (Rock Ridge) can start there
}

void Place(Image& img, uint32_t lbn, const uint8_t* data, size_t size) {
    Block(img, lbn + uint32_t(size / 2048));
    std::memcpy(img.data() + size_t(lbn) * 2048, data, size);
}

// Writes `img` to a temporary image file named after `tag`, puts it into an image drive, analyses it and
// calls `withDisc()` (the analysis' device current), then takes it all down.
template <class F> void WithDisc(const Image& img, const char* tag, F withDisc) {
    static const std::string path =
        "/tmp/ckvd-fuzz-" + std::string(tag) + "-" + std::to_string(::getpid()) + ".iso";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(img.data()), std::streamsize(img.size()));
    std::string error;
    Aspi_Initialize();
    const int index = ckvd::drives::SetupDrives({path}, &error) ? Aspi_FindDevice(path.c_str(), nullptr) : -1;
    if (index >= 0) {
        Aspi_TestUnitReady(uint16_t(index));
        Iso_Initialize();
        Iso_AnalyzeDisc(uint16_t(index));
        g_CurrentDevice = uint16_t(index);
        g_CurrentSession = 0;
        withDisc();
        Iso_Terminate();
    }
    Aspi_Terminate();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr std::string_view part = CKVD_ISO_PART;
    if (size > 64 * 2048)
        return 0;
    Image img;
    if (part == "descriptors") {
        Block(img, 15);
        Place(img, 16, data, size);
    } else if (part == "pathtable") {
        Descriptor(img, 16, 1, uint32_t(size), 30, 20);
        Descriptor(img, 17, 255, 0, 0, 0);
        uint8_t* root = Block(img, 20);
        root[0] = 34;
        PutBoth32(root + 2, 20);
        PutBoth32(root + 10, 2048);
        root[25] = 2;
        root[32] = 1;
        Place(img, 30, data, size);
    } else {
        const uint8_t table[] = {1, 0, 20, 0, 0, 0, 1, 0, 0, 0, 1, 0, 21, 0, 0, 0, 1, 0, 'X', 0};
        Descriptor(img, 16, 1, sizeof table, 18, 20);
        Descriptor(img, 17, 255, 0, 0, 0);
        Place(img, 18, table, sizeof table);
        Place(img, 20, data, size);
    }
    // Read back what was listed (bounded), so the file-data checks see disc-given extents too; then verify
    // the disc (the volume's size is disc-given) with its damage put to files and drawn.
    WithDisc(img, "iso", [] {
        DiscVerify verify;
        if (verify.Start(Iso_CurrentDisc(), g_CurrentDevice) == 1) {
            while (verify.Step()) {
            }
            for (const VerifyRange& r : verify.Ranges())
                (void)verify.Hits(r);
            const VerifyMapLayout layout = Verify_MapLayout(verify.Total());
            (void)Verify_MapPicture(Verify_MapCells(verify, layout), layout);
        }
        // Each session in its other names, its entries paired with theirs, every name form read back.
        for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
            for (SessionTree* other : {Iso_NamesTree(t, ISO_NAMES_PRIMARY), Iso_ReportTree(t)})
                Report_WalkTree(t->root, [&](FileEntry& e, const std::string&, size_t) {
                    const FileEntry* same = Iso_SameEntry(t, other, &e);
                    (void)std::strlen(Iso_EntryName(same ? same : &e));
                    (void)Iso_RecordedIdentifier(&e), (void)Iso_EntryMode(&e);
                });
        int reads = 0;
        for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
            for (FileEntry* e = t->root ? t->root->firstChild : nullptr; e && reads < 8;
                 e = e->nextSibling, ++reads)
                if (e->type == 'F' && e->size < (1u << 20)) {
                    Iso_ReadEntry(*e); // a compressed (zisofs) file uncompressed
                    Iso_FreeFile();
                }
    });
    return 0;
}
