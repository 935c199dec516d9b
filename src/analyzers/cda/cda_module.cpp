#include "analyzers/cda/cda_module.h"

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/cda/cda_info.h"

CdaFileHeader* g_CdaHeader = nullptr;

int Cda_Analyze(const FileEntry* entry) {
    if (!entry || !g_CdaHeader)
        return CDA_ERR_OPEN;
    CdaInfo info;
    const int rc = Cda_AnalyzeEntry(*entry, info);
    *g_CdaHeader = info.header;
    return rc;
}

CdaInfo Cda_LastInfo() {
    CdaInfo info;
    if (g_CdaHeader)
        info.header = *g_CdaHeader;
    return info;
}

int Cda_Initialize() {
    if (!g_CdaHeader)
        g_CdaHeader = static_cast<CdaFileHeader*>(Analyzer_Alloc(sizeof(CdaFileHeader)));
    return g_CdaHeader ? 1 : CDA_ERR_NO_MEMORY;
}

void Cda_Terminate() {
    Analyzer_Free(g_CdaHeader);
    g_CdaHeader = nullptr;
}
