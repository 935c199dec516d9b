// Fuzzes one analyzer (the target's name, CKVD_FUZZ_TARGET, picks it below) over one file: a sound ISO9660
// disc whose root holds the file, its bytes a fixed start and then the fuzzed bytes, served by an image drive
// and analysed through the real ASPI manager as the file list does.
#include <cstring>
#include <vector>

#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"
#include "fuzz_iso_disc.h"

namespace {

struct Target {
    const char* target;
    const char* name; // on the disc, with its version
    std::vector<uint8_t> start;
    size_t largest; // fuzzed bytes taken at most
    int (*initialize)();
    int (*analyze)(FileEntry*);
    void (*terminate)();
};

const Target kTargets[] = {
    // The frame header search and the figures computed from it: the fuzzed bytes are the whole file.
    {"fuzz_mp3_header", "A.MP3;1", {}, 64 * 1024, Mp3_Initialize, Mp3_Analyze, Mp3_Terminate},
    // The ID3v1 tag: a free-format frame header (taken without a following frame, since it names no frame
    // length), then the rest of the file, whose last 128 bytes are the tag.
    {"fuzz_mp3_id3v1",
     "A.MP3;1",
     {0xFF, 0xFB, 0x00, 0x44},
     16 * 1024,
     Mp3_Initialize,
     Mp3_Analyze,
     Mp3_Terminate},
    // The ID3v2 tag: version, flags, size and frames after "ID3".
    {"fuzz_mp3_id3v2", "A.MP3;1", {'I', 'D', '3'}, 64 * 1024, Mp3_Initialize, Mp3_Analyze, Mp3_Terminate},
    // The ASF header walk.
    {"fuzz_asf_header", "A.WMA;1", {}, 80 * 2048, Wmf_Initialize, Wmf_Analyze, Wmf_Terminate},
    // The WAVE header check and play length, and the dialog's content built from what the analysis kept.
    {"fuzz_wav_header",
     "A.WAV;1",
     {},
     4 * 2048,
     Wav_Initialize,
     [](FileEntry* e) {
         const int result = Wav_Analyze(e);
         if (result == 1)
             CWavDlgModel(e).OnInitDialog(2);
         return result;
     },
     Wav_Terminate},
};

const Target& kTarget = *[] {
    for (const Target& t : kTargets)
        if (std::strcmp(t.target, CKVD_FUZZ_TARGET) == 0)
            return &t;
    __builtin_trap();
}();

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kTarget.largest)
        return 0;
    std::vector<uint8_t> file = kTarget.start;
    file.insert(file.end(), data, data + size);
    isofuzz::WithDisc(
        isofuzz::OneFileDisc(file.data(), file.size(), kTarget.name), kTarget.target, [](uint16_t, int) {
            kTarget.initialize();
            const SessionTree* tree = g_DiscModel ? g_DiscModel->firstTree : nullptr;
            for (FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
                if (e->type == 'F')
                    kTarget.analyze(e);
            kTarget.terminate();
        });
    return 0;
}
