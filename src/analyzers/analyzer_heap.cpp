#include "analyzers/analyzer_heap.h"

#include <cstdlib>

namespace {
bool s_Exhausted = false;
}

void* Analyzer_Alloc(size_t bytes) {
    if (s_Exhausted)
        return nullptr;
    return calloc(1, bytes);
}

void Analyzer_Free(void* p) {
    free(p);
}

void Analyzer_SetHeapExhausted(bool exhausted) {
    s_Exhausted = exhausted;
}
