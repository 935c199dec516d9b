#include "analyzers/wav/wav_module.h"

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/wav/wav_info.h"

WavHeader* g_WavHeader = nullptr;
uint32_t g_WavLength = 0;
int g_WavSubFormat = -1;

int Wav_Analyze(const FileEntry* entry) {
    if (!entry || !g_WavHeader)
        return WAV_ERR_NOT_WAVE;
    WavInfo info;
    const int rc = Wav_AnalyzeEntry(*entry, info);
    *g_WavHeader = info.header;
    if (rc == WAV_OK) {
        g_WavLength = info.length;
        g_WavSubFormat = info.subFormat;
    }
    return rc;
}

WavInfo Wav_LastInfo() {
    WavInfo info;
    if (g_WavHeader)
        info.header = *g_WavHeader;
    info.length = g_WavLength;
    info.subFormat = g_WavSubFormat;
    return info;
}

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
