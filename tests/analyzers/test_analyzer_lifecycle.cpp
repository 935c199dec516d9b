// The five analyzers' initialise and terminate operations.
#include <gtest/gtest.h>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/cda/cda_module.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/wav/wav_module.h"

namespace {

void TerminateAll() {
    for (void (*term)() : {Jpg_Terminate, Wav_Terminate, Wmf_Terminate, Mp3_Terminate, Cda_Terminate})
        term();
}

TEST(AnalyzerLifecycle, InitialiseAndTerminate) {
    TerminateAll(); // without initialise: releases nothing, twice over
    TerminateAll();
    EXPECT_EQ(g_Id3v2Tag, nullptr);
    EXPECT_EQ(g_AsfDescriptors, nullptr);
    // Start-up order; records are allocated zero-filled and released again.
    for (int (*init)() : {Cda_Initialize, Mp3_Initialize, Wmf_Initialize, Wav_Initialize, Jpg_Initialize})
        ASSERT_EQ(init(), 1);
    ASSERT_NE(g_CdaHeader, nullptr);
    ASSERT_NE(g_WavHeader, nullptr);
    EXPECT_EQ(g_CdaHeader->trackStart, 0u);
    EXPECT_EQ(g_WavHeader->channels, 0u);
    TerminateAll();
    EXPECT_EQ(g_CdaHeader, nullptr);
    EXPECT_EQ(g_WavHeader, nullptr);
    // Out of memory: the module's code, 0xFF under its high byte.
    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Cda_Initialize(), 0x30FF);
    EXPECT_EQ(Wav_Initialize(), 0x60FF);
    EXPECT_EQ(Mp3_Initialize(), 1);
    EXPECT_EQ(Wmf_Initialize(), 1);
    Analyzer_SetHeapExhausted(false);
    TerminateAll();
    // Terminate releases owned texts and lists (the sanitizer build reports any leak).
    g_Id3v2Tag = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    g_Id3v2Tag->title = static_cast<char*>(Analyzer_Alloc(8));
    g_Mp3TagFlags = 0x0008;
    AsfDescriptor* d = static_cast<AsfDescriptor*>(Analyzer_Alloc(sizeof(AsfDescriptor)));
    d->name = static_cast<char*>(Analyzer_Alloc(4));
    d->next = static_cast<AsfDescriptor*>(Analyzer_Alloc(sizeof(AsfDescriptor)));
    g_AsfDescriptors = d;
    TerminateAll();
    EXPECT_EQ(g_Id3v2Tag, nullptr);
    EXPECT_EQ(g_Mp3TagFlags, 0);
    EXPECT_EQ(g_AsfDescriptors, nullptr);
}

} // namespace
