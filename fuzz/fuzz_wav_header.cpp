// Fuzzes the WAVE header check and play length: a sound ISO9660 disc whose root holds one file A.WAV, the
// fuzzed bytes being the file's data, served by an image drive and analysed with Wav_Analyze through the
// real ASPI manager; the dialog's content is built from what the analysis kept.
#include "analyzers/analyzers.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"
#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4 * 2048)
        return 0;
    isofuzz::WithDisc(isofuzz::OneFileDisc(data, size, "A.WAV;1"), "wav", [](uint16_t, int) {
        Wav_Initialize();
        const SessionTree* tree = g_DiscModel ? g_DiscModel->firstTree : nullptr;
        for (FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
            if (e->type == 'F' && Wav_Analyze(e) == 1) {
                CWavDlgModel dlg(e);
                dlg.OnInitDialog(2);
            }
        Wav_Terminate();
    });
    return 0;
}
