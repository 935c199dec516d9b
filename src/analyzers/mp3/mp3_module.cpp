// The MP3 module: its lifecycle, and the records the last Mp3_Analyze keeps for the desktop's dialogs, made
// from the value the analysis returns.
#include "analyzers/mp3/mp3_module.h"

#include <iterator>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/disc_entry_source.h"
#include "analyzers/mp3/mp3_info.h"
#include "analyzers/tag_text.h"

uint16_t g_Mp3TagFlags = 0;
Id3v2Tag* g_Id3v2Tag = nullptr;
Id3v2Tag* g_Id3v2TagText = nullptr;
MpegHeaderInfo* g_MpegHeader = nullptr;
Id3v1Tag* g_Id3v1Tag = nullptr;

namespace {

char* Id3v2Tag::*const kTagFields[] = {&Id3v2Tag::title,     &Id3v2Tag::artist,   &Id3v2Tag::album,
                                       &Id3v2Tag::year,      &Id3v2Tag::comment,  &Id3v2Tag::track,
                                       &Id3v2Tag::genre,     &Id3v2Tag::composer, &Id3v2Tag::originalArtist,
                                       &Id3v2Tag::copyright, &Id3v2Tag::url,      &Id3v2Tag::encoder};
std::optional<std::string> Id3v2Texts::*const kTextFields[] = {
    &Id3v2Texts::title,          &Id3v2Texts::artist,    &Id3v2Texts::album, &Id3v2Texts::year,
    &Id3v2Texts::comment,        &Id3v2Texts::track,     &Id3v2Texts::genre, &Id3v2Texts::composer,
    &Id3v2Texts::originalArtist, &Id3v2Texts::copyright, &Id3v2Texts::url,   &Id3v2Texts::encoder};

void FreeTag(Id3v2Tag*& tag) {
    if (Id3v2Tag* t = tag) {
        for (char* Id3v2Tag::*field : kTagFields)
            Analyzer_Free(t->*field);
        Analyzer_Free(t);
    }
    tag = nullptr;
}

// A tag record holding the texts present in `texts`; nullptr when the heap is exhausted.
Id3v2Tag* NewTag(const Id3v2Texts& texts, uint32_t size) {
    auto* tag = static_cast<Id3v2Tag*>(Analyzer_Alloc(sizeof(Id3v2Tag)));
    if (!tag)
        return nullptr;
    tag->tagSize = size;
    for (size_t i = 0; i < std::size(kTagFields); ++i)
        if (const auto& text = texts.*kTextFields[i];
            text && !(tag->*kTagFields[i] = Analyzer_NewText(*text))) {
            FreeTag(tag);
            return nullptr;
        }
    return tag;
}

template <class T> T* NewCopy(const T& value) {
    auto* copy = static_cast<T*>(Analyzer_Alloc(sizeof(T)));
    if (copy)
        *copy = value;
    return copy;
}

// The records of a value the analysis gave: 1, or MP3_ERR_NO_MEMORY with none kept.
int KeepRecords(const MpegInfo& info) {
    if (info.id3v2) {
        g_Id3v2Tag = NewTag(info.id3v2Sjis, info.id3v2Size);
        g_Id3v2TagText = NewTag(info.id3v2Text, info.id3v2Size);
    }
    g_MpegHeader = NewCopy(info.header);
    g_Id3v1Tag = NewCopy(info.id3v1);
    g_Mp3TagFlags = info.tagFlags;
    if ((info.id3v2 && (!g_Id3v2Tag || !g_Id3v2TagText)) || !g_MpegHeader || !g_Id3v1Tag) {
        Mp3_ReleaseResults();
        return MP3_ERR_NO_MEMORY;
    }
    return MP3_OK;
}

} // namespace

int Mp3_AnalyzeEntry(const FileEntry& entry, MpegInfo& info) {
    return Mp3_AnalyzeEntry(DiscEntry_Current(entry), info);
}

int Mp3_AnalyzeEntry(const DiscEntryAt& at, MpegInfo& info) {
    info = MpegInfo{};
    DiscEntrySource source(at);
    const int rc = source.Open();
    if (rc != BYTES_OK)
        return rc == BYTES_ERR_NO_MEMORY ? MP3_ERR_NO_MEMORY : rc;
    return Mp3_Read(source, info);
}

MpegInfo Mp3_LastInfo() {
    MpegInfo info;
    info.tagFlags = g_Mp3TagFlags;
    info.id3v2 = g_Id3v2Tag || g_Id3v2TagText;
    info.id3v2Size = g_Id3v2Tag ? g_Id3v2Tag->tagSize : 0;
    for (size_t i = 0; i < std::size(kTagFields); ++i) {
        if (g_Id3v2Tag && g_Id3v2Tag->*kTagFields[i])
            info.id3v2Sjis.*kTextFields[i] = g_Id3v2Tag->*kTagFields[i];
        if (g_Id3v2TagText && g_Id3v2TagText->*kTagFields[i])
            info.id3v2Text.*kTextFields[i] = g_Id3v2TagText->*kTagFields[i];
    }
    if (g_Id3v1Tag)
        info.id3v1 = *g_Id3v1Tag;
    if (g_MpegHeader)
        info.header = *g_MpegHeader;
    return info;
}

int Mp3_Analyze(FileEntry* entry) {
    Mp3_ReleaseResults();
    if (!entry)
        return MP3_ERR_NO_FRAME_HEADER;
    MpegInfo info;
    const int rc = Mp3_AnalyzeEntry(*entry, info);
    return rc == MP3_OK ? KeepRecords(info) : rc;
}

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
