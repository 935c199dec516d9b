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
    Jpg_Terminate();
    Wav_Terminate();
    Wmf_Terminate();
    Mp3_Terminate();
    Cda_Terminate();
}

TEST(AnalyzerLifecycle, TerminateWithoutInitialiseReleasesNothing) {
    TerminateAll();
    TerminateAll();
    EXPECT_EQ(g_CdaHeader, nullptr);
    EXPECT_EQ(g_WavHeader, nullptr);
    EXPECT_EQ(g_Id3v2Tag, nullptr);
    EXPECT_EQ(g_AsfDescriptors, nullptr);
}

TEST(AnalyzerLifecycle, StartUpOrderAllocatesZeroFilledRecords) {
    ASSERT_EQ(Cda_Initialize(), 1);
    ASSERT_EQ(Mp3_Initialize(), 1);
    ASSERT_EQ(Wmf_Initialize(), 1);
    ASSERT_EQ(Wav_Initialize(), 1);
    ASSERT_EQ(Jpg_Initialize(), 1);
    ASSERT_NE(g_CdaHeader, nullptr);
    ASSERT_NE(g_WavHeader, nullptr);
    EXPECT_EQ(g_CdaHeader->trackStart, 0u);
    EXPECT_EQ(g_WavHeader->channels, 0u);
    TerminateAll();
    EXPECT_EQ(g_CdaHeader, nullptr);
    EXPECT_EQ(g_WavHeader, nullptr);
}

TEST(AnalyzerLifecycle, ExhaustedHeapGivesTheModuleCodes) {
    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Cda_Initialize(), 0x30FF);
    EXPECT_EQ(Wav_Initialize(), 0x60FF);
    EXPECT_EQ(Mp3_Initialize(), 1);
    EXPECT_EQ(Wmf_Initialize(), 1);
    Analyzer_SetHeapExhausted(false);
    TerminateAll();
}

TEST(AnalyzerLifecycle, TerminateReleasesOwnedTextsAndLists) {
    g_Id3v2Tag = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    g_Id3v2Tag->title = static_cast<char*>(Analyzer_Alloc(8));
    g_Mp3TagFlags = 0x0008;
    AsfDescriptor* d = static_cast<AsfDescriptor*>(Analyzer_Alloc(sizeof(AsfDescriptor)));
    d->name = static_cast<char*>(Analyzer_Alloc(4));
    d->next = static_cast<AsfDescriptor*>(Analyzer_Alloc(sizeof(AsfDescriptor)));
    g_AsfDescriptors = d;
    Mp3_Terminate();
    Wmf_Terminate(); // the sanitizer build reports any leak
    EXPECT_EQ(g_Id3v2Tag, nullptr);
    EXPECT_EQ(g_Mp3TagFlags, 0);
    EXPECT_EQ(g_AsfDescriptors, nullptr);
}

} // namespace
