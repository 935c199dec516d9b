#include "analyzers/mp3/mp3_module.h"

#include <initializer_list>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"

uint16_t g_Mp3TagFlags = 0;
Id3v2Tag* g_Id3v2Tag = nullptr;
Id3v2Tag* g_Id3v2TagText = nullptr;
MpegHeaderInfo* g_MpegHeader = nullptr;
Id3v1Tag* g_Id3v1Tag = nullptr;

namespace {

void FreeTag(Id3v2Tag*& tag) {
    if (Id3v2Tag* t = tag) {
        for (char* text : {t->title, t->artist, t->album, t->year, t->comment, t->track, t->genre,
                           t->composer, t->originalArtist, t->copyright, t->url, t->encoder})
            Analyzer_Free(text);
        Analyzer_Free(t);
    }
    tag = nullptr;
}

} // namespace

void Mp3_ReleaseResults() {
    FreeTag(g_Id3v2Tag);
    FreeTag(g_Id3v2TagText);
    Analyzer_Free(g_MpegHeader);
    Analyzer_Free(g_Id3v1Tag);
    g_MpegHeader = nullptr;
    g_Id3v1Tag = nullptr;
    g_Mp3TagFlags = 0;
}

int Mp3_Initialize() {
    return 1;
}

void Mp3_Terminate() {
    Mp3_ReleaseResults();
}
