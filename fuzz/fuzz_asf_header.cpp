// Fuzzes the ASF header walk: a sound ISO9660 disc whose root holds one file A.WMA, the fuzzed bytes being
// the file's data, served by an image drive and analysed with Wmf_Analyze through the real ASPI manager.
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "fuzz_iso_disc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 80 * 2048)
        return 0;
    isofuzz::WithDisc(isofuzz::OneFileDisc(data, size, "A.WMA;1"), "asf", [](uint16_t, int) {
        Wmf_Initialize();
        const SessionTree* tree = g_DiscModel ? g_DiscModel->firstTree : nullptr;
        for (FileEntry* e = tree && tree->root ? tree->root->firstChild : nullptr; e; e = e->nextSibling)
            if (e->type == 'F')
                Wmf_Analyze(e);
        Wmf_Terminate();
    });
    return 0;
}
