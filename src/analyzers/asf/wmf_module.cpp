#include "analyzers/asf/wmf_module.h"

#include <initializer_list>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_internal.h"

AsfFileProperties* g_AsfFileProperties = nullptr;
AsfContentDescription* g_AsfContentDescription = nullptr;
AsfExtendedContent* g_AsfExtendedContent = nullptr;
AsfDescriptor* g_AsfDescriptors = nullptr;
AsfCodecList* g_AsfCodecList = nullptr;
AsfCodecEntry* g_AsfCodecEntries = nullptr;
bool g_AsfEncrypted = false;

namespace wmf_internal {

void ReleaseFileProperties(AsfInfo& info) {
    Analyzer_Free(info.fileProperties);
    info.fileProperties = nullptr;
}

void ReleaseContentDescription(AsfInfo& info) {
    if (AsfContentDescription* c = info.contentDescription) {
        for (char* text : {c->title, c->author, c->copyright, c->description, c->rating, c->titleText,
                           c->authorText, c->copyrightText, c->descriptionText, c->ratingText})
            Analyzer_Free(text);
        Analyzer_Free(c);
    }
    info.contentDescription = nullptr;
}

void ReleaseExtendedContent(AsfInfo& info) {
    Analyzer_Free(info.extendedContent);
    for (AsfDescriptor* d = info.descriptors; d;) {
        AsfDescriptor* next = d->next;
        Analyzer_Free(d->name);
        Analyzer_Free(d->value);
        Analyzer_Free(d->nameText);
        Analyzer_Free(d->valueText);
        Analyzer_Free(d);
        d = next;
    }
    info.extendedContent = nullptr;
    info.descriptors = nullptr;
}

void ReleaseCodecList(AsfInfo& info) {
    Analyzer_Free(info.codecList);
    for (AsfCodecEntry* e = info.codecEntries; e;) {
        AsfCodecEntry* next = e->next;
        Analyzer_Free(e->name);
        Analyzer_Free(e->description);
        Analyzer_Free(e->info);
        Analyzer_Free(e->nameText);
        Analyzer_Free(e->descriptionText);
        Analyzer_Free(e);
        e = next;
    }
    info.codecList = nullptr;
    info.codecEntries = nullptr;
}

} // namespace wmf_internal

void Wmf_Release(AsfInfo& info) {
    wmf_internal::ReleaseFileProperties(info);
    wmf_internal::ReleaseContentDescription(info);
    wmf_internal::ReleaseExtendedContent(info);
    wmf_internal::ReleaseCodecList(info);
    info.encrypted = false;
}

AsfInfo Wmf_LastInfo() {
    return {g_AsfFileProperties, g_AsfContentDescription, g_AsfExtendedContent, g_AsfDescriptors,
            g_AsfCodecList,      g_AsfCodecEntries,       g_AsfEncrypted};
}

namespace {

void SetLast(const AsfInfo& info) {
    g_AsfFileProperties = info.fileProperties;
    g_AsfContentDescription = info.contentDescription;
    g_AsfExtendedContent = info.extendedContent;
    g_AsfDescriptors = info.descriptors;
    g_AsfCodecList = info.codecList;
    g_AsfCodecEntries = info.codecEntries;
    g_AsfEncrypted = info.encrypted;
}

} // namespace

void Wmf_ReleaseResults() {
    AsfInfo last = Wmf_LastInfo();
    Wmf_Release(last);
    SetLast(last);
}

int Wmf_Analyze(FileEntry* entry) {
    Wmf_ReleaseResults();
    if (!entry)
        return WMF_ERR_NOT_ASF;
    AsfRecords records;
    const int rc = Wmf_AnalyzeEntry(*entry, records);
    if (rc == WMF_OK) {
        SetLast(records.info);
        records.info = {}; // now the module's
    }
    return rc;
}

int Wmf_Initialize() {
    // Results not yet made point nowhere.
    SetLast(AsfInfo{});
    return 1;
}

void Wmf_Terminate() {
    Wmf_ReleaseResults();
}
