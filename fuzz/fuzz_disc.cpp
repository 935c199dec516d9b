// Fuzzes the disc analysis on an image of crafted and fuzzed sectors, served by an image drive and analysed
// through the real device facade as the program does. CKVD_ISO_PART picks one walk of the ISO9660 analysis,
// every listed file then read back: "descriptors", the volume descriptor set, the fuzzed bytes being the
// sectors from block 16 on; "pathtable", the type L path table after a sound descriptor set and root;
// "directory", the directory records: a sound descriptor set and path table (root and one subdirectory), the
// fuzzed bytes as the root's extent and, further on, the subdirectory's (and, with Rock Ridge, the file data
// of links and zisofs files). Else CKVD_FUZZ_TARGET picks an
// analyzer, run on the one file of a sound disc: a fixed start, then the fuzzed bytes.
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"
#include "listing/disc_text.h"
#ifdef CKVD_ISO_PART
#include "verify/disc_verify.h"
#include "verify/verify_map.h"
#endif
#ifndef CKVD_ISO_PART
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"
#endif

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

#ifndef CKVD_ISO_PART
// A sound one-session disc whose root (block 20) holds one file `name` (with its version, "A.MP3;1") at
// block 24 with the bytes of `file`, and one block after it, as a recorded disc has after its last file.
Image OneFileDisc(const uint8_t* file, size_t size, const char* name) {
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

struct Module {
    int (*initialize)();
    int (*analyze)(FileEntry*);
    void (*terminate)();
};
const Module kMp3{Mp3_Initialize, Mp3_Analyze, Mp3_Terminate},
    kAsf{Wmf_Initialize, Wmf_Analyze, Wmf_Terminate};
int AnalyzeWav(FileEntry* e) { // and build the dialog's content from what the analysis kept
    const int result = Wav_Analyze(e);
    if (result == 1)
        CWavDlgModel(e).OnInitDialog(2);
    return result;
}

struct Target {
    const char* target;
    const char* name; // on the disc, with its version
    std::vector<uint8_t> start;
    size_t largest; // fuzzed bytes taken at most
    Module module;
};
const Target kTargets[] = {
    // The frame header search and the figures computed from it: the fuzzed bytes are the whole file.
    {"fuzz_mp3_header", "A.MP3;1", {}, 64 * 1024, kMp3},
    // The ID3v1 tag: a free-format frame header (taken without a following frame, since it names no frame
    // length), then the rest of the file, whose last 128 bytes are the tag.
    {"fuzz_mp3_id3v1", "A.MP3;1", {0xFF, 0xFB, 0x00, 0x44}, 16 * 1024, kMp3},
    // The ID3v2 tag: version, flags, size and frames after "ID3".
    {"fuzz_mp3_id3v2", "A.MP3;1", {'I', 'D', '3'}, 64 * 1024, kMp3},
    {"fuzz_asf_header", "A.WMA;1", {}, 80 * 2048, kAsf},
    {"fuzz_wav_header", "A.WAV;1", {}, 4 * 2048, {Wav_Initialize, AnalyzeWav, Wav_Terminate}},
};
const Target& kTarget = *[] {
    for (const Target& t : kTargets)
        if (std::strcmp(t.target, CKVD_FUZZ_TARGET) == 0)
            return &t;
    __builtin_trap();
}();
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef CKVD_ISO_PART
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
        if (verify.Start(g_CurrentDevice) == 1) {
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
#else
    if (size > kTarget.largest)
        return 0;
    std::vector<uint8_t> file = kTarget.start;
    file.insert(file.end(), data, data + size);
    WithDisc(OneFileDisc(file.data(), file.size(), kTarget.name), kTarget.target, [] {
        kTarget.module.initialize();
        const SessionTree* tree = g_DiscModel ? g_DiscModel->firstTree : nullptr;
        for (FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
            if (e->type == 'F')
                kTarget.module.analyze(e);
        kTarget.module.terminate();
    });
#endif
    return 0;
}
