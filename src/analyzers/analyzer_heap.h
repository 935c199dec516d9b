// Zero-filled allocation for the analyzers' records, with a seam that lets tests make the heap run dry.
#pragma once

#include <cstddef>

void* Analyzer_Alloc(size_t bytes); // nullptr when the heap cannot supply the bytes
void Analyzer_Free(void* p);
// Test seam: the next allocations fail while set.
void Analyzer_SetHeapExhausted(bool exhausted);
