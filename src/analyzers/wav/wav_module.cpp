#include "analyzers/wav/wav_module.h"

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"

WavHeader* g_WavHeader = nullptr;
uint32_t g_WavLength = 0;
int g_WavSubFormat = -1;

int Wav_Initialize() {
    if (!g_WavHeader)
        g_WavHeader = static_cast<WavHeader*>(Analyzer_Alloc(sizeof(WavHeader)));
    return g_WavHeader ? 1 : WAV_ERR_NO_MEMORY;
}

void Wav_Terminate() {
    Analyzer_Free(g_WavHeader);
    g_WavHeader = nullptr;
    g_WavLength = 0;
    g_WavSubFormat = -1;
}
