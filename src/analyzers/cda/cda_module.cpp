#include "analyzers/cda/cda_module.h"

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"

CdaFileHeader* g_CdaHeader = nullptr;

int Cda_Initialize() {
    if (!g_CdaHeader)
        g_CdaHeader = static_cast<CdaFileHeader*>(Analyzer_Alloc(sizeof(CdaFileHeader)));
    return g_CdaHeader ? 1 : CDA_ERR_NO_MEMORY;
}

void Cda_Terminate() {
    Analyzer_Free(g_CdaHeader);
    g_CdaHeader = nullptr;
}
